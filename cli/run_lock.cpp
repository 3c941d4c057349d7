#include "cli/run_lock.h"

#include <cerrno>
#include <cstring>
#include <ctime>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace quorvin::cli {

namespace {

// "process 1234 on HOST since 2026-12-08 13:00:05" (local time).
std::string ThisRun() {
    char when[32] = "";
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    char host[256] = "";
#ifdef _WIN32
    const unsigned long process = GetCurrentProcessId();
    if (localtime_s(&local, &now) == 0) std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S", &local);
    DWORD size = sizeof host;
    if (!GetComputerNameA(host, &size)) host[0] = '\0';
#else
    const unsigned long process = static_cast<unsigned long>(::getpid());
    if (localtime_r(&now, &local)) std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S", &local);
    if (::gethostname(host, sizeof host - 1) != 0) host[0] = '\0';
#endif
    return "process " + std::to_string(process) + (host[0] ? std::string(" on ") + host : "") + " since " + when;
}

// The holder's line: printable ASCII of the file's first line, at most 200 bytes.
std::string HolderOf(const char* bytes, std::size_t size) {
    std::string line;
    for (std::size_t i = 0; i < size && line.size() < 200 && bytes[i] != '\n' && bytes[i] != '\r'; ++i)
        line += bytes[i] >= 0x20 && bytes[i] < 0x7F ? bytes[i] : '?';
    return line.empty() ? "a run that has not said who it is" : line;
}

}  // namespace

#ifdef _WIN32

namespace {
// The locked byte: far past the end of any events file.
constexpr DWORD kLockedHigh = 0x7FFFFFFF;
}  // namespace

RunLock::~RunLock() {
    if (handle_) CloseHandle(handle_);
}

RunLock::Result RunLock::Take(const std::filesystem::path& path, bool describe, std::string& message) {
    HANDLE file = CreateFileW(path.wstring().c_str(), GENERIC_READ | (describe ? GENERIC_WRITE : 0),
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        message = "system error " + std::to_string(GetLastError());
        return Result::kFailed;
    }
    OVERLAPPED at{};
    at.OffsetHigh = kLockedHigh;
    if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
        const DWORD error = GetLastError();
        char bytes[256];
        DWORD read = 0;
        if (error == ERROR_LOCK_VIOLATION && describe && ReadFile(file, bytes, sizeof bytes, &read, nullptr))
            message = HolderOf(bytes, read);
        else if (error != ERROR_LOCK_VIOLATION)
            message = "system error " + std::to_string(error);
        CloseHandle(file);
        return error == ERROR_LOCK_VIOLATION ? Result::kHeld : Result::kFailed;
    }
    handle_ = file;
    if (describe) {
        const std::string line = ThisRun() + "\r\n";
        DWORD written = 0;
        // The line only informs a run that finds the lock held: a failure to write it is no failure of the lock.
        if (SetEndOfFile(file)) static_cast<void>(WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr));
    }
    return Result::kTaken;
}

#else

RunLock::~RunLock() {
    if (fd_ >= 0) ::close(fd_);
}

RunLock::Result RunLock::Take(const std::filesystem::path& path, bool describe, std::string& message) {
    const int fd = ::open(path.c_str(), (describe ? O_RDWR : O_RDONLY) | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        message = std::strerror(errno);
        return Result::kFailed;
    }
    // flock, not fcntl: its lock belongs to this descriptor alone, so no
    // other open of the file in this process lets it go.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        char bytes[256];
        const ssize_t read = error == EWOULDBLOCK && describe ? ::pread(fd, bytes, sizeof bytes, 0) : -1;
        message = error != EWOULDBLOCK ? std::strerror(error)
                  : read >= 0          ? HolderOf(bytes, static_cast<std::size_t>(read))
                                       : "";
        ::close(fd);
        return error == EWOULDBLOCK ? Result::kHeld : Result::kFailed;
    }
    fd_ = fd;
    if (describe) {
        const std::string line = ThisRun() + "\n";
        // The line only informs a run that finds the lock held.
        if (::ftruncate(fd, 0) == 0) static_cast<void>(::pwrite(fd, line.data(), line.size(), 0));
    }
    return Result::kTaken;
}

#endif

}  // namespace quorvin::cli
