#include "core/wide.h"

#include <algorithm>

#include "services/win32/path_rules.h"
#include "services/win32/win32_platform.h"

namespace quorvin::win32 {

namespace {

namespace error = platform::error;

constexpr DWORD kLookupFlags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_HMODULE |
                               FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ARGUMENT_ARRAY;
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

class MessageModule final : public platform::MessageModule {
public:
    // `copy`: the temporary copy the module was loaded from, or empty.
    MessageModule(HMODULE module, std::wstring copy) : module_(module), copy_(std::move(copy)) {}
    MessageModule(const MessageModule&) = delete;
    MessageModule& operator=(const MessageModule&) = delete;

    // A module that cannot be freed has nobody left to tell: it stays
    // mapped, and its copy (which cannot be deleted while mapped) stays in
    // the temporary folder.
    ~MessageModule() override {
        if (FreeLibrary(module_) && !copy_.empty()) static_cast<void>(DeleteFileW(copy_.c_str()));
    }

    HMODULE Handle() const { return module_; }

private:
    HMODULE module_;
    std::wstring copy_;
};

// Copies `source` to a new file of the temporary folder; its name in `copy`.
platform::Error CopyToTemporary(const std::wstring& source, std::wstring& copy) {
    // GetTempPathW: at most MAX_PATH characters and the terminator; the
    // count without it, or the size needed (with it) when the buffer is short.
    wchar_t folder[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    if (length == 0) return LastError();
    if (length > MAX_PATH) return ERROR_BUFFER_OVERFLOW;
    // GetTempFileNameW makes the file (folder up to MAX_PATH - 14 characters).
    wchar_t name[MAX_PATH] = {};
    if (GetTempFileNameW(folder, L"qvm", 0, name) == 0) return LastError();
    // CopyFileW carries the source's attributes over: a read-only copy
    // could not be deleted afterwards.
    if (!CopyFileW(source.c_str(), name, FALSE) || !SetFileAttributesW(name, FILE_ATTRIBUTE_NORMAL)) {
        const platform::Error e = LastError();
        static_cast<void>(SetFileAttributesW(name, FILE_ATTRIBUTE_NORMAL));
        static_cast<void>(DeleteFileW(name));
        return e;
    }
    copy = name;
    return error::kSuccess;
}

// Takes over a buffer FormatMessageW allocated: its text in CP932, or the
// failure of giving the buffer back.
platform::Error TakeText(wchar_t* buffer, DWORD length, std::string& text) {
    text = Narrow(buffer, length);
    if (LocalFree(buffer) != nullptr) return LastError();
    return error::kSuccess;
}

}  // namespace

bool RunsUnderWow64() {
    // IsWow64Process: Windows XP SP2 and later; false on a 32-bit system.
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

MessageService::MessageService(FormatFunction format, Copy copy)
    : format_(format), copy_(copy), wow64_(RunsUnderWow64()) {
    if (wow64_) systemDirectory_ = SystemService().SystemDirectory();
}

platform::Error MessageService::LoadDataFile(const std::string& path, std::unique_ptr<platform::MessageModule>& module) {
    module.reset();
    if (wow64_ && !systemDirectory_.empty() && !IsNetworkPath(path)) {
        const std::string native = NativeSystemPath(path, systemDirectory_);
        // Without the file there (or without the alias, on 64-bit Windows XP
        // and Server 2003 without their update), the 32-bit one as before.
        if (native != path && Load(native, module) == error::kSuccess) return error::kSuccess;
    }
    return Load(path, module);
}

platform::Error MessageService::Load(const std::string& path, std::unique_ptr<platform::MessageModule>& module) {
    const std::wstring wide = Wide(path);
    std::wstring copy;
    if (copy_ == Copy::kEveryFile || IsNetworkPath(path)) {
        if (const platform::Error e = CopyToTemporary(wide, copy)) return e;
    }
    HMODULE handle = LoadLibraryExW(copy.empty() ? wide.c_str() : copy.c_str(), nullptr,
                                    DONT_RESOLVE_DLL_REFERENCES | LOAD_LIBRARY_AS_DATAFILE);
    if (handle == nullptr) {
        const platform::Error e = LastError();
        if (!copy.empty()) static_cast<void>(DeleteFileW(copy.c_str()));
        return e;
    }
    module = std::make_unique<MessageModule>(handle, std::move(copy));
    return error::kSuccess;
}

platform::Error MessageService::FormatMessage(const platform::MessageModule* module, std::uint32_t id,
                                              const std::vector<std::string>* arguments, std::string& text) {
    text.clear();
    HMODULE handle = nullptr;
    if (module != nullptr) {
        const auto* own = dynamic_cast<const MessageModule*>(module);
        if (own == nullptr) return error::kInvalidHandle;
        handle = own->Handle();
    }

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
        format_(kLookupFlags, handle, id, kUserDefaultLanguage, reinterpret_cast<LPWSTR>(&buffer), kMinimumSize,
                       arguments != nullptr ? reinterpret_cast<va_list*>(argumentArray.data()) : nullptr);
    if (length == 0) {
        const platform::Error e = LastError();
        // A failed call may still have allocated; giving it back cannot change the answer.
        if (buffer != nullptr) static_cast<void>(LocalFree(buffer));
        return e;
    }
    return TakeText(buffer, length, text);
}

std::string MessageService::SystemErrorText(platform::Error code) {
    wchar_t* buffer = nullptr;
    const DWORD length =
        format_(kSystemTextFlags, nullptr, code, kUserDefaultLanguage, reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
    if (length == 0) {
        if (buffer != nullptr) static_cast<void>(LocalFree(buffer));
        return {};
    }
    std::string text;
    if (TakeText(buffer, length, text) != error::kSuccess) return {};
    return text;
}

}  // namespace quorvin::win32
