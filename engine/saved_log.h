#pragma once
// What a run over saved .evt files needs to read them with the Collector's
// log read: the file as a log of this machine, this machine's services
// when there are none, and the log a file's name names.

#include <memory>
#include <string>

#include "formats/evt/evt.h"
#include "services/services.h"

namespace quorvin::engine {

// The records of one parsed .evt file as the event log service serves a
// log: every open, whatever the server and log named, gives them from the
// newest on.
class SavedLogService final : public platform::EventLogService {
public:
    explicit SavedLogService(const std::vector<evt::LogRecord>& records) : reader_(evt::ReaderForLog(records)) {}
    platform::Error Open(const std::string& server, const std::string& source,
                         std::unique_ptr<platform::EventLog>& log) override;

private:
    evt::BackwardReader reader_;
};

// This machine where the program has none to ask (Linux without a
// network): no registry, no message files, no connections.
class NoMachine {
public:
    NoMachine();
    ~NoMachine();
    platform::Platform Services(platform::EventLogService& eventLog);

private:
    struct Parts;
    std::unique_ptr<Parts> parts_;
};

// The classic log a saved file's name names ("system" for SysEvent.Evt or
// System.evt, "security", "application"; the folders and case ignored);
// empty when it names none. `path` is CP932.
std::string LogOfFileName(const std::string& path);

// Whether `bytes` begin as an .evt file does (the header's size and signature).
bool LooksLikeEvtFile(const std::uint8_t* data, std::size_t size);

}  // namespace quorvin::engine
