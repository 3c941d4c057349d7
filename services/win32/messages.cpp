#include "core/wide.h"

#include <algorithm>

#include "services/win32/path_rules.h"
#include "services/win32/win32_platform.h"

namespace quorvin::win32 {

namespace {

namespace error = platform::error;

constexpr DWORD kSystemFlags =
    FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ARGUMENT_ARRAY;
constexpr DWORD kSystemTextFlags =
    FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
constexpr DWORD kUserDefaultLanguage = 1024;
// With an allocated buffer the minimum size changes no text, and Windows
// refuses sizes beyond 64 KB: no minimum is asked for.
constexpr DWORD kMinimumSize = 0;

// A message can name inserts up to %99, and "*" widths take up to two more
// arguments after that: an array of at least this many entries is never
// read past its end. The entries beyond the caller's are empty texts.
constexpr std::size_t kShortestArgumentArray = 102;

// ReadFile moves at most this much in one call: larger ranges are read in pieces.
constexpr DWORD kLargestRead = 1u << 20;

// A message file opened for reading, shared with every other opener (a
// service may be writing its log files beside it).
class MessageFile final : public platform::OpenedFile {
public:
    MessageFile(HANDLE file, platform::FileStamp stamp) : file_(file), stamp_(stamp) {}
    MessageFile(const MessageFile&) = delete;
    MessageFile& operator=(const MessageFile&) = delete;
    // A handle that cannot be closed has nobody left to tell.
    ~MessageFile() override { static_cast<void>(CloseHandle(file_)); }

    std::uint64_t Size() const override { return stamp_.size; }
    platform::FileStamp Stamp() const override { return stamp_; }

    // Each piece at its own offset (OVERLAPPED on a synchronous handle sets
    // the position, XP and later); a computer that went away fails the read.
    platform::Error ReadAt(std::uint64_t offset, std::size_t size, std::uint8_t* out) override {
        if (offset > stamp_.size || size > stamp_.size - offset) return error::kHandleEof;
        while (size > 0) {
            const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(size, kLargestRead));
            OVERLAPPED at = {};
            at.Offset = static_cast<DWORD>(offset);
            at.OffsetHigh = static_cast<DWORD>(offset >> 32);
            DWORD read = 0;
            if (!ReadFile(file_, out, piece, &read, &at)) return LastError();
            if (read == 0) return error::kHandleEof;  // the file shrank since it was opened
            offset += read;
            out += read;
            size -= read;
        }
        return error::kSuccess;
    }

private:
    HANDLE file_;
    const platform::FileStamp stamp_;
};

platform::Error OpenFile(const std::string& path, std::unique_ptr<platform::OpenedFile>& file) {
    const HANDLE handle = CreateFileW(Wide(path).c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_RANDOM_ACCESS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return LastError();
    BY_HANDLE_FILE_INFORMATION information = {};
    if (!GetFileInformationByHandle(handle, &information)) {
        const platform::Error e = LastError();
        static_cast<void>(CloseHandle(handle));
        return e;
    }
    // A folder opens too (with backup rights) but is no file.
    if (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        static_cast<void>(CloseHandle(handle));
        return error::kAccessDenied;
    }
    platform::FileStamp stamp;
    stamp.size = (std::uint64_t{information.nFileSizeHigh} << 32) | information.nFileSizeLow;
    stamp.writeTime =
        (std::uint64_t{information.ftLastWriteTime.dwHighDateTime} << 32) | information.ftLastWriteTime.dwLowDateTime;
    file = std::make_unique<MessageFile>(handle, stamp);
    return error::kSuccess;
}

// Takes over a buffer FormatMessageW allocated: its text in CP932, or the
// failure of giving the buffer back.
platform::Error TakeText(wchar_t* buffer, DWORD length, std::string& text) {
    text = Narrow(buffer, length);
    if (LocalFree(buffer) != nullptr) return LastError();
    return error::kSuccess;
}

// "ll-CC" of a language id, from the locale's ISO names (XP and later;
// LCIDToLocaleName is Vista and later); empty when the system has none.
std::string LanguageName(LANGID language) {
    const LCID locale = MAKELCID(language, SORT_DEFAULT);
    wchar_t lang[9] = {};
    wchar_t country[9] = {};
    if (GetLocaleInfoW(locale, LOCALE_SISO639LANGNAME, lang, 9) == 0 ||
        GetLocaleInfoW(locale, LOCALE_SISO3166CTRYNAME, country, 9) == 0)
        return {};
    return Narrow(lang, std::wcslen(lang)) + "-" + Narrow(country, std::wcslen(country));
}

}  // namespace

bool RunsUnderWow64() {
    // IsWow64Process: Windows XP SP2 and later; false on a 32-bit system.
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

MessageFileAccess::MessageFileAccess() : wow64_(RunsUnderWow64()) {
    if (wow64_) systemDirectory_ = SystemService().SystemDirectory();
}

platform::Error MessageFileAccess::Open(const std::string& path, std::unique_ptr<platform::OpenedFile>& file) {
    file.reset();
    if (wow64_ && !systemDirectory_.empty() && !IsNetworkPath(path)) {
        const std::string native = NativeSystemPath(path, systemDirectory_);
        // Without the file there (or without the alias, on 64-bit Windows XP
        // and Server 2003 without their update), the 32-bit one as before.
        if (native != path && OpenFile(native, file) == error::kSuccess) return error::kSuccess;
    }
    return OpenFile(path, file);
}

platform::Error SystemMessages::Format(std::uint32_t id, const std::vector<std::string>* arguments,
                                       std::string& text) {
    text.clear();
    std::vector<std::wstring> wideArguments;
    std::vector<DWORD_PTR> argumentArray;
    if (arguments != nullptr) {
        wideArguments.reserve(arguments->size());
        for (const std::string& argument : *arguments) wideArguments.push_back(Wide(argument));
        static const wchar_t kEmpty[] = L"";
        argumentArray.assign(std::max(wideArguments.size(), kShortestArgumentArray),
                             reinterpret_cast<DWORD_PTR>(kEmpty));
        for (std::size_t i = 0; i < wideArguments.size(); ++i)
            argumentArray[i] = reinterpret_cast<DWORD_PTR>(wideArguments[i].c_str());
    }
    wchar_t* buffer = nullptr;
    const DWORD length =
        format_(kSystemFlags, nullptr, id, kUserDefaultLanguage, reinterpret_cast<LPWSTR>(&buffer), kMinimumSize,
                arguments != nullptr ? reinterpret_cast<va_list*>(argumentArray.data()) : nullptr);
    if (length == 0) {
        const platform::Error e = LastError();
        // A failed call may still have allocated; giving it back cannot change the answer.
        if (buffer != nullptr) static_cast<void>(LocalFree(buffer));
        return e;
    }
    return TakeText(buffer, length, text);
}

std::string SystemMessages::ErrorText(platform::Error code) {
    wchar_t* buffer = nullptr;
    const DWORD length = format_(kSystemTextFlags, nullptr, code, kUserDefaultLanguage,
                                 reinterpret_cast<LPWSTR>(&buffer), kMinimumSize, nullptr);
    if (length == 0) {
        if (buffer != nullptr) static_cast<void>(LocalFree(buffer));
        return {};
    }
    std::string text;
    if (TakeText(buffer, length, text) != error::kSuccess) return {};
    return text;
}

platform::MessageLanguages MachineLanguages() {
    // GetUserDefaultUILanguage / GetSystemDefaultUILanguage: Windows 2000 and later.
    platform::MessageLanguages languages;
    languages.ui = LanguageName(GetUserDefaultUILanguage());
    languages.system = LanguageName(GetSystemDefaultUILanguage());
    // The languages FormatMessage chooses a table's language by for LANG_USER_DEFAULT.
    languages.locale.thread = LANGIDFROMLCID(GetThreadLocale());
    languages.locale.user = GetUserDefaultLangID();
    languages.locale.system = GetSystemDefaultLangID();
    return languages;
}

}  // namespace quorvin::win32
