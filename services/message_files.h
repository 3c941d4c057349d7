#pragma once
// The message service of both backends: message files read by our own
// reader, the same way on Windows and on the simulated network. A file is
// opened where it lies (a share of the computer, or this machine's drive),
// only its headers, resource directory and message-table and MUI resources
// are read, never the whole file and never a copy. A language-neutral file
// (a MUI resource, its texts moved out) is followed to its language files,
// <folder>\<language>\<name>.mui, in the order Windows' resource loader
// takes them for a program with a Japanese interface. A file read once is
// kept by its path, size and write time: it is read again only when it
// changed, within a budget of the bytes really kept.

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/lru_cache.h"
#include "formats/messages/message_file.h"
#include "services/services.h"

namespace quorvin::platform {

// Size and last write time (FILETIME ticks) of an opened file.
struct FileStamp {
    std::uint64_t size = 0;
    std::uint64_t writeTime = 0;
    bool operator==(const FileStamp& other) const { return size == other.size && writeTime == other.writeTime; }
};

// A file opened for reading, read in ranges.
class OpenedFile : public messages::ByteSource {
public:
    virtual FileStamp Stamp() const = 0;
};

// Where message files are opened: a computer's shares (\\NAME\C$\...) and
// this machine's drives.
class FileAccess {
public:
    virtual ~FileAccess() = default;
    // 0 and the file, or why it cannot be opened (2, 3, 5, 53, 67, ...).
    virtual Error Open(const std::string& path, std::unique_ptr<OpenedFile>& file) = 0;
};

// The system's own message table (FORMAT_MESSAGE_FROM_SYSTEM), which a
// number no message file holds is taken from.
class SystemMessages {
public:
    virtual ~SystemMessages() = default;
    // FormatMessageA(ALLOCATE_BUFFER | FROM_SYSTEM | ARGUMENT_ARRAY, id,
    // 1024) with CP932 arguments (null: none): 0 and the text, or the error.
    virtual Error Format(std::uint32_t id, const std::vector<std::string>* arguments, std::string& text) = 0;
    // FormatMessageA(FROM_SYSTEM | IGNORE_INSERTS): the text as it comes; empty when none.
    virtual std::string ErrorText(Error code) = 0;
};

// The languages of the collecting machine: its user-interface and system
// languages ("ja-JP"), which a neutral file's language files are looked for
// in first, and the thread, user and system languages a message table's
// language is chosen by (a Japanese Windows: all Japanese).
struct MessageLanguages {
    std::string ui = "ja-JP";
    std::string system = "ja-JP";
    messages::Locale locale;
};

class FileMessageService final : public MessageService {
public:
    static constexpr std::uint64_t kBudget = std::uint64_t{64} << 20;

    FileMessageService(FileAccess& files, SystemMessages& system, MessageLanguages languages,
                       std::uint64_t budget = kBudget)
        : files_(files), system_(system), languages_(std::move(languages)), cache_(budget) {}

    // The file and, for a neutral file, its language files that belong to
    // it. A file without a message table loads, as LoadLibraryEx loads it:
    // its lookups then fall to the system's table. 0, or the open's or the
    // read's error; 193 when it is no PE image, 1006 when it is empty.
    Error LoadDataFile(const std::string& path, std::unique_ptr<MessageModule>& module) override;
    // The message from the first of the module's tables that holds it (the
    // language files in order, then the file's own table), else from the
    // system's table, formatted as FormatMessageA formats it.
    Error FormatMessage(const MessageModule* module, std::uint32_t id, const std::vector<std::string>* arguments,
                        std::string& text) override;
    std::string SystemErrorText(Error code) override { return system_.ErrorText(code); }
    FileAccess* Files() override { return &files_; }

    // The tables a module this service loaded tries, in order (its language
    // files, then its own); empty for a module of another service. They live
    // as long as the module.
    static std::vector<const messages::MessageTable*> TablesOf(const MessageModule* module);

    // Whether files read are kept (off: every load reads its files again),
    // and the bytes kept at most (the least recently used are dropped).
    void KeepFiles(bool keep, std::uint64_t budget);
    // What the cache keeps now, in bytes (the files' bytes read and kept).
    std::uint64_t CachedBytes();

private:
    struct Cached {
        FileStamp stamp;
        std::shared_ptr<const messages::MessageFile> file;
    };
    // The parsed file at `path`, read unless the cache holds it with the same stamp.
    Error Read(const std::string& path, std::shared_ptr<const messages::MessageFile>& file);

    FileAccess& files_;
    SystemMessages& system_;
    const MessageLanguages languages_;
    std::mutex mutex_;
    bool keep_ = true;                     // guarded by mutex_
    LruCache<std::string, Cached> cache_;  // by the path's case-folded key; guarded by mutex_
};

}  // namespace quorvin::platform
