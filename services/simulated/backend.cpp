#include "services/simulated/backend.h"

#include "formats/evt/evt.h"
#include "formats/messages/format_message.h"
#include "formats/messages/message_table.h"
#include "formats/registry/reg_file.h"
#include "services/simulated/hive_key.h"

namespace quorvin::network::backend {

// ---- Event logs -------------------------------------------------------------

namespace {

class FileLog final : public platform::EventLog {
public:
    explicit FileLog(evt::BackwardReader reader) : reader_(std::move(reader)) {}
    platform::Error Read(std::uint8_t* buffer, std::uint32_t size, std::uint32_t& bytesRead,
                         std::uint32_t& bytesNeeded) override {
        // The service refuses reads larger than the protocol allows.
        if (size > platform::error::kLargestEventLogRead) {
            bytesRead = 0;
            bytesNeeded = 0;
            return platform::error::kInvalidParameter;
        }
        return reader_.Read(buffer, size, bytesRead, bytesNeeded);
    }

private:
    evt::BackwardReader reader_;
};

}  // namespace

platform::Error OpenLogFile(const std::uint8_t* data, std::size_t size, std::unique_ptr<platform::EventLog>& log) {
    log.reset();
    const evt::ParsedLog parsed = evt::ParseLogFile(data, size);
    if (parsed.error != platform::error::kSuccess) return platform::error::kEventLogFileCorrupt;
    log = std::make_unique<FileLog>(evt::ReaderForLog(parsed.records));
    return platform::error::kSuccess;
}

std::unique_ptr<platform::EventLog> EmptyLog() { return std::make_unique<FileLog>(evt::BackwardReader({})); }

// ---- Registry ---------------------------------------------------------------

struct Hive {
    std::shared_ptr<reg::Hive> hive;
    reg::Format format = reg::Format::kVersion5;
};

std::shared_ptr<Hive> LoadHive(const std::uint8_t* data, std::size_t size, std::string& error) {
    reg::ParseResult parsed = reg::ParseRegFile(data, size);
    if (!parsed.hive) {
        error = parsed.error;
        return nullptr;
    }
    return std::make_shared<Hive>(Hive{std::move(parsed.hive), parsed.format});
}

std::shared_ptr<Hive> EmptyHive() { return std::make_shared<Hive>(Hive{std::make_shared<reg::Hive>()}); }

std::unique_ptr<platform::RegistryKey> ReadOnlyRoot(const std::shared_ptr<Hive>& hive) {
    return reg::OpenHiveRoot(hive->hive, false);
}

std::unique_ptr<platform::RegistryKey> WritableRoot(const std::shared_ptr<Hive>& hive,
                                                    std::function<platform::Error()> changed) {
    return reg::OpenHiveRoot(hive->hive, true, std::move(changed));
}

std::vector<std::uint8_t> SaveHive(const Hive& hive) { return reg::WriteRegFile(*hive.hive, hive.format); }

// ---- Message modules --------------------------------------------------------

namespace {

class TableModule final : public platform::MessageModule {
public:
    explicit TableModule(std::shared_ptr<const ModuleImage> i) : image(std::move(i)) {}
    std::uint64_t Bytes() const override;
    std::shared_ptr<const ModuleImage> image;
};

}  // namespace

struct ModuleImage {
    messages::MessageTable table;
    std::uint64_t fileBytes = 0;
};

std::uint64_t TableModule::Bytes() const { return image->fileBytes; }

platform::Error LoadModuleImage(const std::uint8_t* data, std::size_t size, std::shared_ptr<const ModuleImage>& image) {
    image.reset();
    auto loaded = std::make_shared<ModuleImage>();
    loaded->fileBytes = size;
    if (const platform::Error e = messages::MessageTable::Load(data, size, loaded->table)) return e;
    image = std::move(loaded);
    return platform::error::kSuccess;
}

std::unique_ptr<platform::MessageModule> ModuleOf(std::shared_ptr<const ModuleImage> image) {
    return std::make_unique<TableModule>(std::move(image));
}

platform::Error FormatMessage(const platform::MessageModule* module, std::uint32_t id,
                              const std::vector<std::string>* arguments, std::string& text) {
    text.clear();
    const auto* loaded = dynamic_cast<const TableModule*>(module);
    if (module && !loaded) return platform::error::kInvalidHandle;  // a module of another service
    return messages::FormatMessageA(loaded ? &loaded->image->table : nullptr, id, arguments, text);
}

std::string SystemErrorText(platform::Error code) { return messages::SystemErrorText(code); }

}  // namespace quorvin::network::backend
