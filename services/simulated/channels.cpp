// The channel service: each computer's logs/*.evtx as its channels, read
// whole at each query as formats/evtx reads them; an event's texts from the
// publishers of the computer's registry.reg and its drives.

#include "services/simulated/network_state.h"

#include "formats/evtx/binxml.h"
#include "services/publishers.h"

#include <algorithm>

namespace quorvin::network {

namespace {

// The file winevt\Logs keeps a channel in: "/" is written "%4"
// ("Microsoft-Windows-Sysmon/Operational" -> "Microsoft-Windows-Sysmon%4Operational.evtx").
// Empty for a name no file stands for: empty, or holding the escape "%"
// itself or a "\".
std::string ChannelFileName(std::string_view channel) {
    std::string name;
    for (std::size_t i = 0; i < channel.size(); ++i) {
        if (text::IsLeadByte(static_cast<unsigned char>(channel[i])) && i + 1 < channel.size()) {
            name += channel.substr(i++, 2);
        } else if (channel[i] == '%' || channel[i] == '\\') {
            return std::string();
        } else {
            name += channel[i] == '/' ? std::string("%4") : std::string(1, channel[i]);
        }
    }
    return name.empty() ? name : name + ".evtx";
}

bool HoldsChannelFile(const fs::path& logs) {
    for (const std::string& name : ListEntries(logs, EntryKind::kFile))
        if (name.size() > 5 && Equal(std::string_view(name).substr(name.size() - 5), ".evtx")) return true;
    return false;
}

// A query's start time as a FILETIME and as the first 19 characters of
// TimeCreated's text ("YYYY-MM-DDTHH:MM:SS"), which compare as the times do.
struct StartTime {
    std::uint64_t fileTime = 0;
    std::u16string text;
};

StartTime StartOf(std::int64_t since) {
    constexpr std::int64_t kLast = 253402300799;  // 9999-12-31 23:59:59
    StartTime start;
    start.fileTime = static_cast<std::uint64_t>(std::min(since, kLast) + 11644473600) * 10000000u;
    std::uint8_t bytes[8];
    for (int i = 0; i < 8; ++i) bytes[i] = static_cast<std::uint8_t>(start.fileTime >> (8 * i));
    evtx::AppendValueText(evtx::ValueView{evtx::type::kFileTime, bytes, 8}, start.text);
    start.text.resize(19);
    return start;
}

bool Wanted(const evtx::Record& record, const platform::ChannelQuery& query, const StartTime& start) {
    if (record.id <= query.afterRecord) return false;
    if (query.since <= 0) return true;
    const std::u16string_view created = record.System(evtx::Field::kTimeCreated);
    if (created.size() >= 19 && created[4] == u'-' && created[10] == u'T') return created.substr(0, 19) >= start.text;
    return record.written >= start.fileTime;
}

// A query's events, newest first. A computer far away makes every batch a
// round trip; ReadFailsAfter ends the query as it ends a classic log's read.
class QueryEvents final : public platform::ChannelEvents {
public:
    QueryEvents(std::vector<evtx::Record> records, ServiceFault fault, const SimulatedNetwork::State* distant, int index)
        : records_(std::move(records)), fault_(fault), distant_(distant), index_(index) {}

    platform::Error Next(std::size_t most, std::vector<evtx::Record>& events) override {
        events.clear();
        if (distant_) distant_->RoundTrip(index_);
        if (fault_.Set() && given_ >= fault_.after) return fault_.error;
        if (next_ == records_.size()) return error::kNoMoreItems;
        std::size_t count = std::min(std::max<std::size_t>(most, 1), records_.size() - next_);
        if (fault_.Set()) count = std::min<std::size_t>(count, fault_.after - given_);
        for (std::size_t i = 0; i < count; ++i) events.push_back(std::move(records_[next_ + i]));
        next_ += count;
        given_ += static_cast<std::uint32_t>(count);
        return error::kSuccess;
    }

private:
    std::vector<evtx::Record> records_;
    std::size_t next_ = 0;
    ServiceFault fault_;
    std::uint32_t given_ = 0;
    const SimulatedNetwork::State* distant_;
    int index_;
};

class Session final : public platform::ChannelSession {
public:
    // `logs` empty: a computer without channels. `distant` set: every call is a round trip.
    Session(SimulatedNetwork::State& state, int index, fs::path logs, bool distant)
        : state_(state), index_(index), logs_(std::move(logs)), distant_(distant) {}

    platform::Error Query(const platform::ChannelQuery& query, std::unique_ptr<platform::ChannelEvents>& events) override;
    void Format(const evtx::Record& event, platform::ChannelTexts& texts) override;

private:
    SimulatedNetwork::State& state_;
    int index_;
    fs::path logs_;
    bool distant_;
    // The computer's publishers, made at the first event to format: the
    // computer reads its own registry and files, whatever it shares.
    std::shared_ptr<backend::Hive> hive_;
    std::unique_ptr<platform::RegistryKey> machine_;
    std::unique_ptr<ComputerFiles> files_;
    std::unique_ptr<platform::PublisherCatalog> catalog_;
};

void Session::Format(const evtx::Record& event, platform::ChannelTexts& texts) {
    if (distant_) state_.RoundTrip(index_);
    if (!catalog_ && index_ >= 0 && state_.HiveOf(index_, hive_) == error::kSuccess) {
        machine_ = backend::ReadOnlyRoot(hive_);
        files_ = std::make_unique<ComputerFiles>(state_, index_);
        catalog_ = std::make_unique<platform::PublisherCatalog>(*machine_, *files_);
    }
    if (catalog_) {
        catalog_->Format(event, texts);
        return;
    }
    texts = platform::ChannelTexts{};
    texts.error = error::kPublisherMetadataNotFound;
}

platform::Error Session::Query(const platform::ChannelQuery& query, std::unique_ptr<platform::ChannelEvents>& events) {
    events.reset();
    if (distant_) state_.RoundTrip(index_);
    const std::string fileName = ChannelFileName(CString(query.channel));
    fs::path file;
    if (logs_.empty() || fileName.empty() || !FindEntry(logs_, fileName, EntryKind::kFile, file, &state_.folders))
        return error::kChannelNotFound;
    std::vector<std::uint8_t> data;
    const platform::Error read = ReadWholeFile(file, kLogLimit, data);
    if (read != error::kSuccess) return read == error::kNotEnoughMemory ? read : error::kEventLogFileCorrupt;

    std::vector<evtx::Record> records;
    if (!data.empty()) {
        evtx::FileReader reader(data.data(), data.size());
        if (!reader.Valid()) return error::kEventLogFileCorrupt;
        const StartTime start = StartOf(query.since);
        evtx::Record record;
        while (reader.Next(record))
            if (Wanted(record, query, start)) records.push_back(record);
    }
    std::stable_sort(records.begin(), records.end(),
                     [](const evtx::Record& a, const evtx::Record& b) { return a.id > b.id; });
    const ComputerConfig& computer = state_.config.computers[static_cast<std::size_t>(index_)];
    events = std::make_unique<QueryEvents>(std::move(records), computer.faults.read, distant_ ? &state_ : nullptr,
                                           index_);
    return error::kSuccess;
}

}  // namespace

platform::Error ChannelLogs::OpenSession(const std::string& server, const platform::ChannelAccount* account,
                                         std::unique_ptr<platform::ChannelSession>& session) {
    session.reset();
    const std::string name = ServerName(server);
    const NetworkConfig& config = state_.config;
    int index = -1;
    if (const platform::Error e = state_.Reach(name, index)) return e;
    if (index < 0) {
        // This machine without a folder of its own has no channels.
        session = std::make_unique<Session>(state_, index, fs::path(), false);
        return error::kSuccess;
    }
    const ComputerConfig& computer = config.computers[static_cast<std::size_t>(index)];
    fs::path logs;
    if (!FindEntry(computer.folder, "logs", EntryKind::kDirectory, logs, &state_.folders)) logs.clear();
    const bool on = computer.channels == ChannelAccess::kOn || computer.channels == ChannelAccess::kAuth ||
                    (computer.channels == ChannelAccess::kUnset && !logs.empty() && HoldsChannelFile(logs));
    if (!on) {
        state_.Unreachable(index);
        return error::kRpcServerUnavailable;
    }
    const bool remote = !name.empty();
    if (remote) state_.RoundTrip(index);
    // An account is checked as the shares check it; one of the computer's
    // accounts opens a computer that asks for one, as a connection made
    // beforehand does.
    if (remote && account && !IsAccountOf(computer, account->user, account->password)) return error::kLogonFailure;
    if (remote && computer.channels == ChannelAccess::kAuth && !account && !state_.Connected(name))
        return error::kAccessDenied;
    session = std::make_unique<Session>(state_, index, std::move(logs), remote && config.LatencyOf(index) > 0);
    return error::kSuccess;
}

}  // namespace quorvin::network
