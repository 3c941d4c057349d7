#include "cli/output.h"

#include "core/write_seam.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

#ifdef _WIN32
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <signal.h>
#include <unistd.h>
#endif

namespace quorvin::cli {

namespace fs = std::filesystem;

namespace {

std::string Describe(const fs::path& path) { return path.u8string(); }

std::string SystemText(int error) { return std::strerror(error); }

// Whether `status` is a file outputs replace (or none yet).
bool Replaceable(const fs::file_status& status) {
    return status.type() == fs::file_type::regular || status.type() == fs::file_type::not_found;
}

// Opens a new file that no one else has opened, for writing.
std::FILE* CreateNew(const fs::path& path) {
#ifdef _WIN32
    const int fd = _wopen(path.wstring().c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd < 0) return nullptr;
    std::FILE* file = _fdopen(fd, "wb");
    if (!file) _close(fd);
#else
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    std::FILE* file = ::fdopen(fd, "wb");
    if (!file) ::close(fd);
#endif
    return file;
}

std::FILE* OpenExisting(const fs::path& path) {
#ifdef _WIN32
    return _wfopen(path.wstring().c_str(), L"wb");
#else
    return std::fopen(path.c_str(), "wb");
#endif
}

int ProcessId() {
#ifdef _WIN32
    return _getpid();
#else
    return static_cast<int>(::getpid());
#endif
}

// The folder of `path` as the file system names it ("." for a bare name).
fs::path FolderOf(const fs::path& path) {
    const fs::path parent = path.parent_path();
    return parent.empty() ? fs::path(".") : parent;
}

// Puts `temporary` in the place of `target`. `durable`: the new name is on
// the disk when it returns (Windows writes the move through; Linux needs
// the folder forced to the disk after a rename).
bool ReplaceWith(const fs::path& temporary, const fs::path& target, bool durable) {
#ifdef _WIN32
    static_cast<void>(durable);
    if (MoveFileExW(temporary.wstring().c_str(), target.wstring().c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    errno = GetLastError() == ERROR_ACCESS_DENIED ? EACCES : EIO;
    return false;
#else
    if (std::rename(temporary.c_str(), target.c_str()) != 0) return false;
    if (!durable) return true;
    const int folder = ::open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) return false;
    const bool synced = ::fsync(folder) == 0;
    ::close(folder);
    return synced;
#endif
}

// Whether the process `id` may still run (a process that cannot be asked runs).
bool ProcessRuns(unsigned long id) {
#ifdef _WIN32
    const HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(id));
    if (!process) return GetLastError() != ERROR_INVALID_PARAMETER;
    const bool runs = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return runs;
#else
    if (::kill(static_cast<pid_t>(id), 0) != 0 && errno == ESRCH) return false;
    // A killed process whose parent has not reaped it yet (or is gone
    // itself, as `timeout -s KILL` is) is there to kill(), but runs no more.
    std::FILE* stat = std::fopen(("/proc/" + std::to_string(id) + "/stat").c_str(), "rb");
    if (!stat) return true;
    char buffer[512];
    const std::string text(buffer, std::fread(buffer, 1, sizeof buffer, stat));
    std::fclose(stat);
    // "PID (NAME) STATE ...": the name may hold anything, ')' too.
    const std::size_t name = text.rfind(')');
    return name == std::string::npos || name + 2 >= text.size() || (text[name + 2] != 'Z' && text[name + 2] != 'X');
#endif
}

// Removes the new files a run that has ended left beside `target` (a run
// killed before it could put them in place or remove them):
// ".NAME.PROCESS-N.tmp" whose process no longer runs.
void RemoveLeftNewFiles(const fs::path& target) {
    const std::string prefix = "." + target.filename().u8string() + ".";
    std::error_code ec;
    for (fs::directory_iterator it(FolderOf(target), ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().u8string();
        if (name.size() <= prefix.size() + 4 || name.compare(0, prefix.size(), prefix) != 0 ||
            name.compare(name.size() - 4, 4, ".tmp") != 0)
            continue;
        const std::string middle = name.substr(prefix.size(), name.size() - prefix.size() - 4);
        const std::size_t dash = middle.find('-');
        if (dash == 0 || dash == std::string::npos || dash > 10 ||
            middle.find_first_not_of("0123456789-") != std::string::npos || middle.find('-', dash + 1) != std::string::npos)
            continue;
        if (ProcessRuns(std::stoul(middle.substr(0, dash)))) continue;
        std::error_code ignored;
        fs::remove(it->path(), ignored);
    }
}

// Cuts an open file to `length` bytes; the next write goes to its new end.
bool Truncate(std::FILE* file, std::uint64_t length) {
    if (std::fflush(file) != 0) return false;
#ifdef _WIN32
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(length);
    if (handle == INVALID_HANDLE_VALUE || !SetFilePointerEx(handle, at, nullptr, FILE_BEGIN) || !SetEndOfFile(handle))
        return false;
    return _fseeki64(file, 0, SEEK_END) == 0;
#else
    if (::ftruncate(::fileno(file), static_cast<off_t>(length)) != 0) return false;
    return ::fseeko(file, 0, SEEK_END) == 0;
#endif
}

// Forces what was written to the disk.
bool ToDisk(std::FILE* file) {
    if (std::fflush(file) != 0) return false;
#ifdef _WIN32
    return FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)))) != 0;
#else
    return ::fsync(::fileno(file)) == 0;
#endif
}

// Opens a file to add to, made when missing; its length into `length`.
std::FILE* OpenForAppend(const fs::path& path, std::uint64_t& length) {
#ifdef _WIN32
    const int fd = _wopen(path.wstring().c_str(), _O_WRONLY | _O_CREAT | _O_APPEND | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd < 0) return nullptr;
    const long long size = _filelengthi64(fd);
    std::FILE* file = size >= 0 ? _fdopen(fd, "ab") : nullptr;
    if (!file) _close(fd);
#else
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    struct stat st {};
    const long long size = ::fstat(fd, &st) == 0 ? static_cast<long long>(st.st_size) : -1;
    std::FILE* file = size >= 0 ? ::fdopen(fd, "ab") : nullptr;
    if (!file) ::close(fd);
#endif
    length = file ? static_cast<std::uint64_t>(size) : 0;
    return file;
}

#ifdef _WIN32
std::optional<OutputPlace> PlaceOfHandle(HANDLE handle, bool shareable) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(handle, &info)) return std::nullopt;
    OutputPlace place;
    place.device = info.dwVolumeSerialNumber;
    place.file = static_cast<std::uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
    place.shareable = shareable;
    return place;
}

std::optional<OutputPlace> PlaceOfPath(const fs::path& path) {
    // FILE_FLAG_BACKUP_SEMANTICS opens folders too; no access is asked.
    HANDLE handle = CreateFileW(path.wstring().c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
    const bool disk = GetFileType(handle) == FILE_TYPE_DISK;
    std::optional<OutputPlace> place = disk ? PlaceOfHandle(handle, false) : std::nullopt;
    CloseHandle(handle);
    if (!disk) {
        place = OutputPlace{};
        place->shareable = true;
    }
    return place;
}
#else
std::optional<OutputPlace> PlaceOfStat(const struct stat& st) {
    OutputPlace place;
    place.device = static_cast<std::uint64_t>(st.st_dev);
    place.file = static_cast<std::uint64_t>(st.st_ino);
    place.shareable = !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode);
    return place;
}

std::optional<OutputPlace> PlaceOfPath(const fs::path& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    return PlaceOfStat(st);
}
#endif

// A file name as the file system compares it.
std::string NameKey(const fs::path& name) {
    std::string key = name.u8string();
#ifdef _WIN32
    for (char& c : key)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
#endif
    return key;
}

}  // namespace

OutputFile::~OutputFile() { Discard(); }

void OutputFile::Discard() {
    // An appended file loses what this run added; a new file goes.
    if (file_ && appendFrom_) static_cast<void>(Truncate(file_, *appendFrom_));
    if (file_) std::fclose(file_);
    file_ = nullptr;
    if (!temporary_.empty()) {
        std::error_code ignored;
        fs::remove(temporary_, ignored);
        temporary_.clear();
    }
}

bool OutputFile::Open(const fs::path& target, std::string& error) {
    Discard();
    target_ = target;
    final_ = target;
    written_ = 0;
    position_ = 0;
    appendFrom_.reset();
    error_ = 0;
    failAfter_ = WriteFailsAfter();

    std::error_code ec;
    const fs::file_status status = fs::status(target, ec);
    if (ec && status.type() != fs::file_type::not_found) {
        error = "cannot create " + Describe(target) + ": " + ec.message();
        return false;
    }
    if (status.type() == fs::file_type::directory) {
        error = "cannot create " + Describe(target) + ": it is a folder";
        return false;
    }
    if (!Replaceable(status)) {
        file_ = OpenExisting(target);
        if (!file_) {
            error = "cannot create " + Describe(target) + ": " + SystemText(errno);
            return false;
        }
        return true;
    }
    // A link is kept: the file it leads to is replaced.
    if (fs::is_symlink(fs::symlink_status(target, ec))) {
        const fs::path resolved = fs::weakly_canonical(target, ec);
        if (!ec) final_ = resolved;
    }

    RemoveLeftNewFiles(final_);
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100 && !file_; ++attempt) {
        fs::path name = FolderOf(final_) / ("." + final_.filename().u8string() + "." + std::to_string(ProcessId()) +
                                            "-" + std::to_string(counter++) + ".tmp");
        file_ = CreateNew(name);
        if (file_) {
            temporary_ = name;
        } else if (errno != EEXIST) {
            break;
        }
    }
    if (!file_) {
        error = "cannot create " + Describe(target) + ": " + SystemText(errno);
        return false;
    }
#ifndef _WIN32
    // The new file keeps the old one's permissions.
    struct stat old {};
    if (::stat(final_.c_str(), &old) == 0) static_cast<void>(::fchmod(::fileno(file_), old.st_mode & 07777));
#endif
    return true;
}

bool OutputFile::OpenAppend(const fs::path& target, std::string& error) {
    if (!Open(target, error)) return false;
    // A device or a pipe is written directly, as Open opened it: it has no
    // length to add to, to force to the disk or to cut back to.
    if (temporary_.empty()) return true;
    // Open made a new file beside the target: that one goes.
    Discard();
    std::uint64_t length = 0;
    std::error_code ec;
    if (fs::is_directory(fs::status(target, ec))) {
        error = "cannot append to " + Describe(target) + ": it is a folder";
        return false;
    }
    file_ = OpenForAppend(target, length);
    if (!file_) {
        error = "cannot append to " + Describe(target) + ": " + SystemText(errno);
        return false;
    }
    appendFrom_ = length;
    position_ = length;
    return true;
}

bool OutputFile::CutBack(std::uint64_t position) {
    if (!file_ || error_ != 0) return false;
    if (position >= position_) return true;
    if (!Truncate(file_, position)) {
        error_ = errno != 0 ? errno : EIO;
        return false;
    }
    position_ = position;
    return true;
}

bool OutputFile::Rewind(std::uint64_t length) {
    if (!appendFrom_ || !file_ || error_ != 0 || length > *appendFrom_) return false;
    if (!Truncate(file_, length)) {
        error_ = errno != 0 ? errno : EIO;
        return false;
    }
    appendFrom_ = position_ = length;
    return true;
}

bool OutputFile::Revert(std::string& error) {
    if (!appendFrom_) return true;
    std::uint64_t length = 0;
    std::FILE* file = OpenForAppend(final_, length);
    const bool cut = file && Truncate(file, *appendFrom_);
    const bool closed = file && std::fclose(file) == 0;
    if (cut && closed) return true;
    error = "cannot cut " + Describe(target_) + " back to its old length: " + SystemText(errno != 0 ? errno : EIO);
    return false;
}

void OutputFile::Write(std::string_view bytes) {
    if (!file_ || error_ != 0 || bytes.empty()) return;
    std::size_t take = bytes.size();
    if (failAfter_ && written_ + take > *failAfter_) take = static_cast<std::size_t>(*failAfter_ - written_);
    if (std::fwrite(bytes.data(), 1, take, file_) != take) {
        error_ = errno != 0 ? errno : EIO;
        return;
    }
    written_ += take;
    position_ += take;
    if (take < bytes.size()) error_ = ENOSPC;
}

bool OutputFile::Commit(std::string& error) {
    if (!file_) {
        error = "cannot write " + Describe(target_);
        return false;
    }
    errno = 0;
    if (error_ == 0 && std::fflush(file_) != 0) error_ = errno != 0 ? errno : EIO;
    // A device or a pipe (written directly, not appended to) has no disk to force.
    const bool onDisk = !temporary_.empty() || appendFrom_;
    if (error_ == 0 && onDisk && (durable_ || appendFrom_) && !ToDisk(file_)) error_ = errno != 0 ? errno : EIO;
    if (error_ != 0 && appendFrom_) static_cast<void>(Truncate(file_, *appendFrom_));
    const int closed = std::fclose(file_);
    file_ = nullptr;
    if (error_ == 0 && closed != 0) error_ = errno != 0 ? errno : EIO;
    if (error_ == 0 && !temporary_.empty()) {
        if (ReplaceWith(temporary_, final_, durable_))
            temporary_.clear();
        else
            error_ = errno != 0 ? errno : EIO;
    }
    if (error_ == 0) return true;
    if (closed != 0 && appendFrom_) {
        // The close itself failed: the file is opened again to be cut back.
        std::string ignored;
        static_cast<void>(Revert(ignored));
    }
    error = "cannot write " + Describe(target_) + ": " + SystemText(error_);
    Discard();
    return false;
}

std::optional<OutputPlace> PlaceOf(const fs::path& target) {
    std::error_code ec;
    if (fs::exists(fs::status(target, ec))) return PlaceOfPath(target);
    std::optional<OutputPlace> folder = PlaceOfPath(FolderOf(target));
    if (!folder) return std::nullopt;
    folder->newName = NameKey(target.filename());
    folder->shareable = false;
    return folder;
}

std::string IdentityOf(const fs::path& file) {
    const std::optional<OutputPlace> place = PlaceOf(file);
    if (!place || !place->newName.empty() || place->shareable) return {};
    return std::to_string(place->device) + ":" + std::to_string(place->file);
}

std::optional<OutputPlace> PlaceOf(std::FILE* stream) {
#ifdef _WIN32
    const intptr_t os = _get_osfhandle(_fileno(stream));
    if (os == -1) return std::nullopt;
    const HANDLE handle = reinterpret_cast<HANDLE>(os);
    if (GetFileType(handle) != FILE_TYPE_DISK) return std::nullopt;
    return PlaceOfHandle(handle, false);
#else
    struct stat st {};
    if (::fstat(::fileno(stream), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return PlaceOfStat(st);
#endif
}

std::string SharedOutputRefusal(const std::vector<NamedPlace>& outputs) {
    for (std::size_t i = 0; i < outputs.size(); ++i)
        for (std::size_t j = i + 1; j < outputs.size(); ++j) {
            const auto& a = outputs[i].place;
            const auto& b = outputs[j].place;
            if (a && b && !a->shareable && *a == *b)
                return outputs[i].what + " and " + outputs[j].what + " name the same file";
        }
    return {};
}

bool FinishStream(std::FILE* stream, bool close) {
    const bool flushed = std::fflush(stream) == 0;
    const bool clean = !std::ferror(stream);
    const bool closed = !close || std::fclose(stream) == 0;
    return flushed && clean && closed;
}

}  // namespace quorvin::cli
