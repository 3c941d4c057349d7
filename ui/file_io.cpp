#include "ui/file_io.h"

#include "core/write_seam.h"

#include <algorithm>
#include <optional>

namespace quorvin::ui {

namespace {
// One WriteFile or ReadFile call moves at most this much.
constexpr DWORD kChunk = 1u << 20;

// The folder part of `path` ("." for a bare name), for a file beside it.
std::wstring FolderOf(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L"\\/");
    if (slash == std::wstring::npos) return path.size() >= 2 && path[1] == L':' ? path.substr(0, 2) : L".";
    if (slash == 0 || (slash == 2 && path[1] == L':')) return path.substr(0, slash + 1);
    return path.substr(0, slash);
}

// Writes `bytes` to the open `file`, then flushes it to the disk.
platform::Error WriteAll(HANDLE file, std::string_view bytes) {
    const std::optional<std::uint64_t> limit = WriteFailsAfter();
    std::size_t done = 0;
    while (done < bytes.size()) {
        std::size_t part = std::min<std::size_t>(bytes.size() - done, kChunk);
        if (limit) {
            if (done >= *limit) return ERROR_DISK_FULL;
            part = static_cast<std::size_t>(std::min<std::uint64_t>(part, *limit - done));
        }
        DWORD written = 0;
        if (!WriteFile(file, bytes.data() + done, static_cast<DWORD>(part), &written, nullptr)) return win32::LastError();
        if (written == 0) return ERROR_DISK_FULL;
        done += written;
    }
    if (!FlushFileBuffers(file)) return win32::LastError();
    return 0;
}
}  // namespace

platform::Error WriteWholeFile(const std::wstring& path, std::string_view bytes) {
    // Opening the target for writing first gives the causes the user knows
    // (a read-only file, a file another program holds, a bad folder) before
    // anything is written, and the name itself when it is new.
    HANDLE target = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (target == INVALID_HANDLE_VALUE) return win32::LastError();
    const bool created = GetLastError() != ERROR_ALREADY_EXISTS;
    if (!CloseHandle(target)) return win32::LastError();
    // Whatever fails from here on, a file this call created goes again.
    auto fail = [&](platform::Error error) {
        if (created) static_cast<void>(DeleteFileW(path.c_str()));
        return error;
    };

    wchar_t temporary[MAX_PATH + 1] = {};
    if (GetTempFileNameW(FolderOf(path).c_str(), L"qrv", 0, temporary) == 0) return fail(win32::LastError());
    HANDLE file = CreateFileW(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const platform::Error error = win32::LastError();
        static_cast<void>(DeleteFileW(temporary));
        return fail(error);
    }
    platform::Error result = WriteAll(file, bytes);
    if (!CloseHandle(file) && result == 0) result = win32::LastError();
    if (result == 0 &&
        !MoveFileExW(temporary, path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        result = win32::LastError();
    if (result != 0) {
        static_cast<void>(DeleteFileW(temporary));
        return fail(result);
    }
    return 0;
}

platform::Error ReadWholeFile(const std::wstring& path, std::string& bytes, std::size_t maxBytes) {
    bytes.clear();
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return win32::LastError();
    platform::Error result = 0;
    std::string chunk(kChunk, '\0');
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file, chunk.data(), kChunk, &read, nullptr)) {
            result = win32::LastError();
            break;
        }
        if (read == 0) break;
        if (read > maxBytes - bytes.size()) {
            result = ERROR_NOT_ENOUGH_MEMORY;
            bytes.clear();
            break;
        }
        bytes.append(chunk.data(), read);
    }
    // A file only read from has nothing to lose when its handle does not close.
    static_cast<void>(CloseHandle(file));
    return result;
}

FileReader::~FileReader() {
    // A file only read from has nothing to lose when its handle does not close.
    if (file_ != INVALID_HANDLE_VALUE) static_cast<void>(CloseHandle(file_));
}

platform::Error FileReader::Open(const std::wstring& path) {
    file_ = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
    return file_ == INVALID_HANDLE_VALUE ? win32::LastError() : 0;
}

long long FileReader::Read(char* buffer, std::size_t size) {
    DWORD read = 0;
    const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(size, kChunk));
    if (file_ == INVALID_HANDLE_VALUE || !ReadFile(file_, buffer, wanted, &read, nullptr)) return -1;
    return static_cast<long long>(read);
}

}  // namespace quorvin::ui
