#include "services/records_log.h"

namespace quorvin::platform {

namespace {

class RecordsLog final : public EventLog {
public:
    explicit RecordsLog(evt::BackwardReader reader) : reader_(std::move(reader)) {}
    Error Read(std::uint8_t* buffer, std::uint32_t size, std::uint32_t& bytesRead,
               std::uint32_t& bytesNeeded) override {
        if (size > error::kLargestEventLogRead) {
            bytesRead = 0;
            bytesNeeded = 0;
            return error::kInvalidParameter;
        }
        return reader_.Read(buffer, size, bytesRead, bytesNeeded);
    }

private:
    evt::BackwardReader reader_;
};

}  // namespace

std::unique_ptr<EventLog> LogOfRecords(evt::BackwardReader reader) {
    return std::make_unique<RecordsLog>(std::move(reader));
}

}  // namespace quorvin::platform
