// The event log service: each computer's logs/*.evt read as the service reads them.

#include "services/simulated/network_state.h"

namespace quorvin::network {

namespace {

// A log of a computer far away: every read is a round trip.
class DistantLog final : public platform::EventLog {
public:
    DistantLog(std::unique_ptr<platform::EventLog> log, const SimulatedNetwork::State& state, int index)
        : log_(std::move(log)), state_(state), index_(index) {}
    platform::Error Read(std::uint8_t* buffer, std::uint32_t size, std::uint32_t& bytesRead,
                         std::uint32_t& bytesNeeded) override {
        state_.RoundTrip(index_);
        return log_->Read(buffer, size, bytesRead, bytesNeeded);
    }

private:
    std::unique_ptr<platform::EventLog> log_;
    const SimulatedNetwork::State& state_;
    int index_;
};

// Counts every read at the size it asks for (SimulatedNetwork::Traffic); a
// read the service refuses as too large moves nothing.
class CountedLog final : public platform::EventLog {
public:
    CountedLog(std::unique_ptr<platform::EventLog> log, SimulatedNetwork::State& state)
        : log_(std::move(log)), state_(state) {}
    platform::Error Read(std::uint8_t* buffer, std::uint32_t size, std::uint32_t& bytesRead,
                         std::uint32_t& bytesNeeded) override {
        state_.CountLogRead(size <= error::kLargestEventLogRead ? size : 0);
        return log_->Read(buffer, size, bytesRead, bytesNeeded);
    }

private:
    std::unique_ptr<platform::EventLog> log_;
    SimulatedNetwork::State& state_;
};

}  // namespace

platform::Error EventLogs::Open(const std::string& server, const std::string& source,
                                std::unique_ptr<platform::EventLog>& log) {
    log.reset();
    const std::string name = ServerName(server);
    const NetworkConfig& config = state_.config;
    int index = -1;
    if (const platform::Error e = state_.Reach(name, index)) return e;
    if (index < 0) {
        // This machine without a folder of its own has logs without records.
        log = std::make_unique<CountedLog>(backend::EmptyLog(), state_);
        return error::kSuccess;
    }
    const ComputerConfig& computer = config.computers[static_cast<std::size_t>(index)];
    if (!computer.eventLog) {
        state_.Unreachable(index);
        return error::kRpcServerUnavailable;
    }
    const bool remote = !name.empty();
    if (remote) {
        state_.UseShare(name, "IPC$");
        state_.RoundTrip(index);
    }
    const platform::Error opened = OpenLog(index, source, log);
    if (opened == error::kSuccess) log = FailingAfter(std::move(log), computer.faults.read);
    if (opened == error::kSuccess && remote && config.LatencyOf(index) > 0)
        log = std::make_unique<DistantLog>(std::move(log), state_, index);
    if (opened == error::kSuccess) log = std::make_unique<CountedLog>(std::move(log), state_);
    return opened;
}

platform::Error EventLogs::OpenLog(int index, const std::string& source, std::unique_ptr<platform::EventLog>& log) {
    const ComputerConfig& computer = state_.config.computers[static_cast<std::size_t>(index)];
    // A log without a file has no records yet. The service opens the
    // Application log for a name that is no log of its own.
    const std::string logName(CString(source));
    const bool standard = Equal(logName, "System") || Equal(logName, "Security") || Equal(logName, "Application");
    fs::path logs, file;
    bool haveFile = false;
    if (FindEntry(computer.folder, "logs", EntryKind::kDirectory, logs, &state_.folders)) {
        haveFile = !logName.empty() && FindEntry(logs, logName + ".evt", EntryKind::kFile, file, &state_.folders);
        if (!haveFile && !standard) haveFile = FindEntry(logs, "Application.evt", EntryKind::kFile, file, &state_.folders);
    }
    if (!haveFile) {
        log = backend::EmptyLog();
        return error::kSuccess;
    }

    const LogChange& change = computer.logChange;
    if (change.log.empty() || !Equal(change.log, logName)) {
        // The file is read as the records are asked for: a log of any length takes little memory.
        std::error_code ec;
        const std::uintmax_t size = fs::file_size(file, ec);
        if (ec) return error::kEventLogFileCorrupt;
        if (size > kLogLimit) return error::kNotEnoughMemory;
        if (size == 0) {
            log = backend::EmptyLog();
            return error::kSuccess;
        }
        return backend::OpenLogFileStream(file, size, log);
    }

    std::vector<std::uint8_t> data;
    const platform::Error read = ReadWholeFile(file, kLogLimit, data);
    if (read != error::kSuccess) return read == error::kNotEnoughMemory ? read : error::kEventLogFileCorrupt;
    if (data.empty()) {
        log = backend::EmptyLog();
        return error::kSuccess;
    }
    std::shared_ptr<std::atomic<bool>> changed;
    {
        std::lock_guard<std::mutex> lock(state_.mutex);
        auto& slot = state_.changedLogs[index];
        if (!slot) slot = std::make_shared<std::atomic<bool>>(false);
        changed = slot;
    }
    return backend::OpenChangingLogFile(data.data(), data.size(),
                                        backend::Change{change.afterRecords, change.cleared, change.count},
                                        std::move(changed), log);
}

}  // namespace quorvin::network
