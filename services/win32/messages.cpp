#include "core/wide.h"

#include <algorithm>

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
    explicit MessageModule(HMODULE module) : module_(module) {}
    MessageModule(const MessageModule&) = delete;
    MessageModule& operator=(const MessageModule&) = delete;

    // A module that cannot be freed has nobody left to tell: it stays mapped.
    ~MessageModule() override { static_cast<void>(FreeLibrary(module_)); }

    HMODULE Handle() const { return module_; }

private:
    HMODULE module_;
};

// Takes over a buffer FormatMessageW allocated: its text in CP932, or the
// failure of giving the buffer back.
platform::Error TakeText(wchar_t* buffer, DWORD length, std::string& text) {
    text = Narrow(buffer, length);
    if (LocalFree(buffer) != nullptr) return LastError();
    return error::kSuccess;
}

}  // namespace

platform::Error MessageService::LoadDataFile(const std::string& path, std::unique_ptr<platform::MessageModule>& module) {
    module.reset();
    HMODULE handle = LoadLibraryExW(Wide(path).c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES | LOAD_LIBRARY_AS_DATAFILE);
    if (handle == nullptr) return LastError();
    module = std::make_unique<MessageModule>(handle);
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
