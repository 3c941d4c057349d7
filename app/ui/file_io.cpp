#include "app/ui/file_io.h"

#include "app/file_error.h"
#include "resources/resource.h"

#include <algorithm>

namespace quorvin::ui {

namespace {
// One WriteFile or ReadFile call moves at most this much.
constexpr DWORD kChunk = 1u << 20;
}  // namespace

platform::Error WriteWholeFile(const std::wstring& path, std::string_view bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return win32::LastError();
    platform::Error result = 0;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const DWORD part = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, kChunk));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data() + done, part, &written, nullptr)) {
            result = win32::LastError();
            break;
        }
        if (written == 0) {
            result = ERROR_DISK_FULL;
            break;
        }
        done += written;
    }
    if (!CloseHandle(file) && result == 0) result = win32::LastError();
    return result;
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

app::UserMessage FileErrorMessage(platform::Error code, const std::wstring& path) {
    const std::string text = LoadString(app::FileErrorStringId(app::FileErrorCauseOf(code)));
    const std::string name = win32::Narrow(path.c_str(), path.size());
    return {app::FillFileErrorText(text, name), LoadString(IDS_APP_TITLE), app::MessageIcon::Exclamation,
            app::MessageButtons::Ok};
}

}  // namespace quorvin::ui
