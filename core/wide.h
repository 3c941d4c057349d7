#pragma once
// The boundary between the program's CP932 texts and the W functions of
// the Win32 API. Windows build only; include it before any other header
// that brings in <windows.h>.

#include <windows.h>

// services.h has methods of these names; the A/W macros of <windows.h>
// would rename them in every file that includes both.
#undef FormatMessage
#undef ExpandEnvironmentStrings

#include <string>
#include <string_view>

#include "core/error.h"

namespace quorvin::win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "the W functions take UTF-16");

// CP932 to UTF-16 for a W function; an embedded NUL ends the text there
// when it is passed as c_str().
std::wstring Wide(std::string_view cp932);

// `count` UTF-16 units (NULs included) to CP932.
std::string Narrow(const wchar_t* text, std::size_t count);

// GetLastError() for a call that reported failure. A failure without a
// code becomes 31 (ERROR_GEN_FAILURE), so it never reads as success.
platform::Error LastError();

}  // namespace quorvin::win32
