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

bool ReplaceWith(const fs::path& temporary, const fs::path& target) {
#ifdef _WIN32
    if (MoveFileExW(temporary.wstring().c_str(), target.wstring().c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    errno = GetLastError() == ERROR_ACCESS_DENIED ? EACCES : EIO;
    return false;
#else
    return std::rename(temporary.c_str(), target.c_str()) == 0;
#endif
}

// The folder of `path` as the file system names it ("." for a bare name).
fs::path FolderOf(const fs::path& path) {
    const fs::path parent = path.parent_path();
    return parent.empty() ? fs::path(".") : parent;
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

void OutputFile::Write(std::string_view bytes) {
    if (!file_ || error_ != 0 || bytes.empty()) return;
    std::size_t take = bytes.size();
    if (failAfter_ && written_ + take > *failAfter_) take = static_cast<std::size_t>(*failAfter_ - written_);
    if (std::fwrite(bytes.data(), 1, take, file_) != take) {
        error_ = errno != 0 ? errno : EIO;
        return;
    }
    written_ += take;
    if (take < bytes.size()) error_ = ENOSPC;
}

bool OutputFile::Commit(std::string& error) {
    if (!file_) {
        error = "cannot write " + Describe(target_);
        return false;
    }
    errno = 0;
    if (error_ == 0 && std::fflush(file_) != 0) error_ = errno != 0 ? errno : EIO;
    const int closed = std::fclose(file_);
    file_ = nullptr;
    if (error_ == 0 && closed != 0) error_ = errno != 0 ? errno : EIO;
    if (error_ == 0 && !temporary_.empty()) {
        if (ReplaceWith(temporary_, final_))
            temporary_.clear();
        else
            error_ = errno != 0 ? errno : EIO;
    }
    if (error_ == 0) return true;
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
