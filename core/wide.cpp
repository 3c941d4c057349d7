#include "core/wide.h"

#include "core/cp932.h"

namespace quorvin::win32 {

std::wstring Wide(std::string_view cp932) {
    const std::u16string utf16 = text::ToUtf16(cp932);
    return std::wstring(utf16.begin(), utf16.end());
}

std::string Narrow(const wchar_t* text, std::size_t count) {
    if (text == nullptr || count == 0) return {};
    return text::FromUtf16(std::u16string_view(reinterpret_cast<const char16_t*>(text), count));
}

platform::Error LastError() {
    const DWORD code = GetLastError();
    return code != ERROR_SUCCESS ? code : ERROR_GEN_FAILURE;
}

}  // namespace quorvin::win32
