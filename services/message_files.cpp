#include "services/message_files.h"

#include "core/cp932.h"
#include "formats/messages/format_message.h"

namespace quorvin::platform {

namespace {

constexpr Error kFileInvalid = 1006;  // ERROR_FILE_INVALID: an empty file cannot be mapped

// A loaded message file: the tables a lookup tries, in order, and the files
// they were read from, kept alive while the module is.
class FileModule final : public MessageModule {
public:
    std::uint64_t Bytes() const override { return bytes; }

    std::vector<std::shared_ptr<const messages::MessageFile>> files;
    std::vector<const messages::MessageTable*> tables;
    std::uint64_t bytes = 0;
};

bool HasTable(const messages::MessageFile& file) { return file.table.TableError() == error::kSuccess; }

}  // namespace

Error FileMessageService::Read(const std::string& path, std::shared_ptr<const messages::MessageFile>& file) {
    file.reset();
    std::unique_ptr<OpenedFile> opened;
    if (const Error e = files_.Open(path, opened)) return e;
    if (!opened) return error::kInvalidHandle;
    const FileStamp stamp = opened->Stamp();
    const std::string key = text::MbsICmpKey(path);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (const Cached* cached = keep_ ? cache_.Find(key) : nullptr; cached && cached->stamp == stamp) {
            file = cached->file;
            return error::kSuccess;
        }
    }
    if (stamp.size == 0) return kFileInvalid;
    auto read = std::make_shared<messages::MessageFile>();
    if (const Error e = messages::ReadMessageFile(*opened, *read)) return e;
    file = read;
    std::lock_guard<std::mutex> lock(mutex_);
    if (keep_) cache_.Put(key, Cached{stamp, read}, read->bytesRead + key.size());
    return error::kSuccess;
}

Error FileMessageService::LoadDataFile(const std::string& path, std::unique_ptr<MessageModule>& module) {
    module.reset();
    std::shared_ptr<const messages::MessageFile> file;
    if (const Error e = Read(path, file)) return e;
    auto loaded = std::make_unique<FileModule>();
    if (file->hasMui) {
        // The language files that exist and belong to this file, in the
        // loader's order; one that cannot be read is passed over.
        for (const std::string& language : messages::MuiLanguageOrder(languages_.ui, languages_.system, file->mui)) {
            std::shared_ptr<const messages::MessageFile> translated;
            if (Read(messages::MuiPath(path, language), translated) != error::kSuccess) continue;
            if (!translated->hasMui || !messages::BelongsTo(file->mui, translated->mui) || !HasTable(*translated))
                continue;
            loaded->tables.push_back(&translated->table);
            loaded->bytes += translated->bytesRead;
            loaded->files.push_back(std::move(translated));
        }
    }
    if (HasTable(*file)) loaded->tables.push_back(&file->table);
    loaded->bytes += file->bytesRead;
    loaded->files.push_back(std::move(file));
    module = std::move(loaded);
    return error::kSuccess;
}

Error FileMessageService::FormatMessage(const MessageModule* module, std::uint32_t id,
                                        const std::vector<std::string>* arguments, std::string& text) {
    text.clear();
    const auto* loaded = dynamic_cast<const FileModule*>(module);
    if (module != nullptr && loaded == nullptr) return error::kInvalidHandle;  // a module of another service
    if (loaded != nullptr && !loaded->tables.empty()) {
        bool found = false;
        const Error e =
            messages::FormatMessageA(loaded->tables, nullptr, id, arguments, text, &found, languages_.locale);
        // Only a number no table holds goes on to the system's table; a
        // message found but not formatted is the answer.
        if (found) return e;
    }
    return system_.Format(id, arguments, text);
}

std::vector<const messages::MessageTable*> FileMessageService::TablesOf(const MessageModule* module) {
    const auto* loaded = dynamic_cast<const FileModule*>(module);
    return loaded != nullptr ? loaded->tables : std::vector<const messages::MessageTable*>{};
}

void FileMessageService::KeepFiles(bool keep, std::uint64_t budget) {
    std::lock_guard<std::mutex> lock(mutex_);
    keep_ = keep;
    cache_.SetBudget(budget);
}

std::uint64_t FileMessageService::CachedBytes() {
    std::lock_guard<std::mutex> lock(mutex_);
    return cache_.Bytes();
}

}  // namespace quorvin::platform
