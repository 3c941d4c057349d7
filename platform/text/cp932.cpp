#include "platform/text/cp932.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <iconv.h>
#endif

#include <stdexcept>

namespace quorvin::text {

#ifdef _WIN32

namespace {

std::u16string MultiByteToUtf16(UINT codePage, std::string_view s) {
    if (s.empty()) return {};
    const int n = MultiByteToWideChar(codePage, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    if (n <= 0) return {};
    std::u16string out(static_cast<size_t>(n), u'\0');
    MultiByteToWideChar(codePage, 0, s.data(), static_cast<int>(s.size()),
                        reinterpret_cast<wchar_t*>(out.data()), n);
    return out;
}

std::string Utf16ToMultiByte(UINT codePage, std::u16string_view s) {
    if (s.empty()) return {};
    const auto* w = reinterpret_cast<const wchar_t*>(s.data());
    const int n = WideCharToMultiByte(codePage, 0, w, static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr);
    if (n <= 0) return {};
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(codePage, 0, w, static_cast<int>(s.size()), out.data(), n, nullptr, nullptr);
    return out;
}

}  // namespace

std::u16string ToUtf16(std::string_view cp932) { return MultiByteToUtf16(932, cp932); }
std::string FromUtf16(std::u16string_view utf16) { return Utf16ToMultiByte(932, utf16); }
std::string Utf8ToCp932(std::string_view utf8) { return FromUtf16(MultiByteToUtf16(CP_UTF8, utf8)); }
std::string Cp932ToUtf8(std::string_view cp932) { return Utf16ToMultiByte(CP_UTF8, ToUtf16(cp932)); }

#else

namespace {

// One iconv conversion; on a sequence the target cannot hold or the source
// does not form, `bad` is written and one source unit of `step` bytes is skipped.
std::string Convert(const char* to, const char* from, std::string_view in, std::string_view bad, size_t step) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv_open failed");
    std::string out;
    char buffer[1024];
    auto* src = const_cast<char*>(in.data());
    size_t left = in.size();
    while (left > 0) {
        char* dst = buffer;
        size_t room = sizeof buffer;
        const size_t r = iconv(cd, &src, &left, &dst, &room);
        out.append(buffer, static_cast<size_t>(dst - buffer));
        if (r == static_cast<size_t>(-1) && errno != E2BIG) {
            out.append(bad);
            const size_t skip = std::min(step, left);
            src += skip;
            left -= skip;
        }
    }
    iconv_close(cd);
    return out;
}

std::u16string BytesToU16(const std::string& bytes) {
    std::u16string out(bytes.size() / 2, u'\0');
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                       static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
    return out;
}

std::string U16ToBytes(std::u16string_view s) {
    std::string out;
    out.reserve(s.size() * 2);
    for (char16_t c : s) {
        out.push_back(static_cast<char>(c & 0xFF));
        out.push_back(static_cast<char>(c >> 8));
    }
    return out;
}

const std::string_view kUnmappedUtf16Le("\xFB\x30", 2);  // U+30FB

}  // namespace

std::u16string ToUtf16(std::string_view cp932) {
    return BytesToU16(Convert("UTF-16LE", "CP932", cp932, kUnmappedUtf16Le, 1));
}

std::string FromUtf16(std::u16string_view utf16) {
    const std::string bytes = U16ToBytes(utf16);
    return Convert("CP932", "UTF-16LE", bytes, "?", 2);
}

std::string Utf8ToCp932(std::string_view utf8) { return Convert("CP932", "UTF-8", utf8, "?", 1); }
std::string Cp932ToUtf8(std::string_view cp932) { return Convert("UTF-8", "CP932", cp932, "\xE3\x83\xBB", 1); }

#endif

}  // namespace quorvin::text
