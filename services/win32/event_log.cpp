#include "core/wide.h"

#include "services/win32/record_pump.h"
#include "services/win32/win32_platform.h"

namespace quorvin::win32 {

namespace {

class EventLog final : public platform::EventLog {
public:
    explicit EventLog(HANDLE handle) : handle_(handle), pump_([handle](std::uint8_t* buffer, std::uint32_t size,
                                                                      std::uint32_t& bytesRead,
                                                                      std::uint32_t& bytesNeeded) {
        DWORD read = 0;
        DWORD needed = 0;
        if (ReadEventLogW(handle, EVENTLOG_SEQUENTIAL_READ | EVENTLOG_BACKWARDS_READ, 0, buffer, size, &read,
                          &needed)) {
            bytesRead = read;
            return platform::error::kSuccess;
        }
        const platform::Error e = LastError();
        bytesNeeded = needed;
        return e;
    }) {}

    EventLog(const EventLog&) = delete;
    EventLog& operator=(const EventLog&) = delete;

    // A log that cannot be closed has nobody left to tell: the handle is gone either way.
    ~EventLog() override { static_cast<void>(CloseEventLog(handle_)); }

    platform::Error Read(std::uint8_t* buffer, std::uint32_t size, std::uint32_t& bytesRead,
                         std::uint32_t& bytesNeeded) override {
        return pump_.Read(buffer, size, bytesRead, bytesNeeded);
    }

private:
    HANDLE handle_;
    RecordPump pump_;
};

}  // namespace

platform::Error EventLogService::Open(const std::string& server, const std::string& source,
                                      std::unique_ptr<platform::EventLog>& log) {
    log.reset();
    const std::wstring wideServer = Wide(server);
    const std::wstring wideSource = Wide(source);
    HANDLE handle = OpenEventLogW(server.empty() ? nullptr : wideServer.c_str(), wideSource.c_str());
    if (handle == nullptr) return LastError();
    log = std::make_unique<EventLog>(handle);
    return platform::error::kSuccess;
}

}  // namespace quorvin::win32
