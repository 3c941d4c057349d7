#include "fake_platform.h"

#include <algorithm>

namespace quorvin::engine::test {

namespace {

void Put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
void Put16(std::vector<std::uint8_t>& b, std::size_t at, std::uint16_t v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

class Log : public platform::EventLog {
public:
    Log(FakePlatform& owner, std::string server, std::string name, const FakeLog& log)
        : owner_(owner), server_(std::move(server)), name_(std::move(name)), log_(log) {}
    platform::Error Read(std::uint8_t* buffer, std::uint32_t size, std::uint32_t& bytesRead,
                         std::uint32_t& bytesNeeded) override {
        bytesRead = bytesNeeded = 0;
        if (log_.sizesAsked) log_.sizesAsked->push_back(size);
        // Windows refuses larger reads.
        if (size > platform::error::kLargestEventLogRead) return platform::error::kInvalidParameter;
        if (raw_ < log_.rawReads.size()) {
            const auto& chunk = log_.rawReads[raw_++];
            std::memcpy(buffer, chunk.data(), std::min<std::size_t>(chunk.size(), size));
            bytesRead = static_cast<std::uint32_t>(chunk.size());
            return 0;
        }
        if (next_ >= log_.newestFirst.size()) return log_.readError ? log_.readError : platform::error::kHandleEof;
        while (next_ < log_.newestFirst.size()) {
            if (owner_.beforeRecord) owner_.beforeRecord(server_, name_, next_);
            FakeEvent event = log_.newestFirst[next_];
            if (event.recordNumber == 0) event.recordNumber = static_cast<std::uint32_t>(log_.newestFirst.size() - next_);
            const auto record = AnsiRecord(event);
            if (record.size() > size - bytesRead) {
                if (bytesRead == 0) {
                    bytesNeeded = static_cast<std::uint32_t>(record.size());
                    return platform::error::kInsufficientBuffer;
                }
                break;
            }
            std::memcpy(buffer + bytesRead, record.data(), record.size());
            bytesRead += static_cast<std::uint32_t>(record.size());
            ++next_;
        }
        return 0;
    }

private:
    FakePlatform& owner_;
    std::string server_;
    std::string name_;
    const FakeLog& log_;
    std::size_t next_ = 0;
    std::size_t raw_ = 0;
};

class Key : public platform::RegistryKey {
public:
    Key(FakeRegistry& registry, std::string path) : registry_(registry), path_(std::move(path)) {}
    platform::Error OpenKey(const std::string& sub, std::unique_ptr<platform::RegistryKey>& key) override {
        const std::string path = path_.empty() ? sub : path_ + "\\" + sub;
        if (const platform::Error once = TakeFailure(registry_.failOnce, path)) return once;
        if (!registry_.keys.count(path)) return platform::error::kFileNotFound;
        key = std::make_unique<Key>(registry_, path);
        return 0;
    }
    platform::Error CreateKey(const std::string& sub, std::unique_ptr<platform::RegistryKey>& key) override {
        const std::string path = path_.empty() ? sub : path_ + "\\" + sub;
        registry_.keys[path];
        key = std::make_unique<Key>(registry_, path);
        return 0;
    }
    platform::Error QueryValue(const std::string& name, std::uint32_t& type, std::uint8_t* data,
                               std::uint32_t& size) override {
        if (const platform::Error once = TakeFailure(registry_.failOnce, path_ + "|" + name)) return once;
        auto& values = registry_.keys[path_];
        auto it = values.find(name);
        if (it == values.end()) return platform::error::kFileNotFound;
        type = it->second.first;
        const std::string& text = it->second.second;
        const auto needed = static_cast<std::uint32_t>(text.size() + 1);
        if (!data) {
            size = needed;
            return 0;
        }
        if (size < needed) {
            size = needed;
            return platform::error::kMoreData;
        }
        std::memcpy(data, text.c_str(), needed);
        size = needed;
        return 0;
    }
    platform::Error SetValue(const std::string& name, std::uint32_t type, const std::uint8_t* data,
                             std::uint32_t size) override {
        registry_.keys[path_][name] = {type, std::string(reinterpret_cast<const char*>(data), size)};
        return 0;
    }

private:
    FakeRegistry& registry_;
    std::string path_;
};

struct Module : platform::MessageModule {
    const FakeModule* table;
};

}  // namespace

std::vector<std::uint8_t> AnsiRecord(const FakeEvent& e) {
    std::vector<std::uint8_t> tail;
    auto addText = [&](const std::string& s) {
        tail.insert(tail.end(), s.begin(), s.end());
        tail.push_back(0);
    };
    addText(e.source);
    addText("COMPUTER");
    while (tail.size() % 4) tail.push_back(0);
    const std::size_t stringOffset = 56 + tail.size();
    for (const auto& s : e.strings) addText(s);
    while ((56 + tail.size() + 4) % 4) tail.push_back(0);
    std::vector<std::uint8_t> r(56 + tail.size() + 4, 0);
    std::copy(tail.begin(), tail.end(), r.begin() + 56);
    const auto length = static_cast<std::uint32_t>(r.size());
    Put32(r, 0, length);
    Put32(r, 4, 0x654C664C);
    Put32(r, 8, e.recordNumber);
    Put32(r, 12, e.timeGenerated);
    Put32(r, 16, e.timeGenerated);
    Put32(r, 20, e.eventId);
    Put16(r, 24, e.eventType);
    Put16(r, 26, static_cast<std::uint16_t>(e.strings.size()));
    Put16(r, 28, e.category);
    Put32(r, 36, static_cast<std::uint32_t>(stringOffset));
    Put32(r, length - 4, length);
    return r;
}

platform::Error FakePlatform::Open(const std::string& server, const std::string& source,
                                   std::unique_ptr<platform::EventLog>& log) {
    auto computer = logs.find(server);
    if (computer == logs.end()) return platform::error::kRpcServerUnavailable;
    auto& fake = computer->second[source];
    if (fake.openError) return fake.openError;
    if (fake.opens++ > 0 && fake.reopenError) return fake.reopenError;
    log = std::make_unique<Log>(*this, server, source, fake);
    return 0;
}

platform::Error FakePlatform::ConnectLocalMachine(const std::string& machine,
                                                  std::unique_ptr<platform::RegistryKey>& key) {
    auto error = registryErrors.find(machine);
    if (error != registryErrors.end()) return error->second;
    key = std::make_unique<Key>(registries[machine], "");
    return 0;
}

platform::Error FakePlatform::AddConnection(const std::string& remote, const std::string& user,
                                            std::string_view password) {
    connectionLog.push_back("add " + remote + " " + user);
    if (auto failure = connectionErrors.find(remote); failure != connectionErrors.end()) return failure->second;
    auto it = passwords.find(remote);
    if (it == passwords.end()) return platform::error::kBadNetPath;
    return it->second == password ? 0 : platform::error::kLogonFailure;
}

platform::Error FakePlatform::CancelConnection(const std::string& remote) {
    connectionLog.push_back("cancel " + remote);
    return 0;
}

platform::Error FakePlatform::LoadDataFile(const std::string& path, std::unique_ptr<platform::MessageModule>& module) {
    loads.push_back(path);
    if (const platform::Error once = TakeFailure(loadFailsOnce, path)) return once;
    auto error = fileErrors.find(path);
    if (error != fileErrors.end()) return error->second;
    auto it = files.find(path);
    if (it == files.end()) return platform::error::kFileNotFound;
    auto m = std::make_unique<Module>();
    m->table = &it->second;
    module = std::move(m);
    return 0;
}

platform::Error FakePlatform::FormatMessage(const platform::MessageModule* module, std::uint32_t id,
                                            const std::vector<std::string>* arguments, std::string& text) {
    const auto* m = static_cast<const Module*>(module);
    std::string pattern;
    if (m && m->table->messages.count(id))
        pattern = m->table->messages.at(id);
    else if (systemMessages.count(id))
        pattern = systemMessages.at(id);
    else
        return platform::error::kMessageNotFound;
    text.clear();
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] >= '1' && pattern[i + 1] <= '9' && arguments) {
            text += (*arguments)[static_cast<std::size_t>(pattern[i + 1] - '1')];
            ++i;
        } else {
            text += pattern[i];
        }
    }
    return 0;
}

std::string FakePlatform::ExpandEnvironmentStrings(const std::string& text) {
    // This machine's %SystemRoot% (variable names ignore case) is C:\LOCAL.
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        if (text.size() - i >= 12 && text::MbsICmp(text.substr(i, 12), "%SystemRoot%") == 0) {
            out += "C:\\LOCAL";
            i += 12;
        } else {
            out += text[i++];
        }
    }
    return out;
}

}  // namespace quorvin::engine::test
