#include "core/cp932.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <iconv.h>
#endif

#include <algorithm>
#include <array>
#include <cstdint>
#include <stdexcept>
#include <vector>

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

// Single bytes Windows alone maps (0x80 to U+0080, 0xA0 and 0xFD to 0xFF to
// private-use characters): no JIS characters, refused by other converters,
// so they are marked as bytes that form no character, as on every system.
constexpr std::string_view kWindowsOnlySingles("\x80\xA0\xFD\xFE\xFF", 5);

std::string Cp932ToUtf8Marked(std::string_view cp932) {
    // The whole text at once when every byte is part of a character; else
    // character by character, each asked of the system on its own.
    const auto convertsWhole = [](const char* bytes, int size) {
        return MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, bytes, size, nullptr, 0) > 0;
    };
    if (cp932.empty() || (cp932.find_first_of(kWindowsOnlySingles) == std::string_view::npos &&
                          convertsWhole(cp932.data(), static_cast<int>(cp932.size()))))
        return Cp932ToUtf8(cp932);
    std::u16string units;
    units.reserve(cp932.size());
    for (size_t i = 0; i < cp932.size();) {
        const bool pair = IsLeadByte(static_cast<unsigned char>(cp932[i])) && i + 1 < cp932.size();
        wchar_t unit = 0;
        if (pair && MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, cp932.data() + i, 2, &unit, 1) == 1) {
            units.push_back(static_cast<char16_t>(unit));
            i += 2;
            continue;
        }
        const bool single = !IsLeadByte(static_cast<unsigned char>(cp932[i])) &&
                            kWindowsOnlySingles.find(cp932[i]) == std::string_view::npos &&
                            MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, cp932.data() + i, 1, &unit, 1) == 1;
        units.push_back(single ? static_cast<char16_t>(unit) : u'\uFFFD');
        ++i;
    }
    return Utf16ToMultiByte(CP_UTF8, units);
}

#else

namespace {

// The conversion descriptor from `from` to `to`, opened once per thread
// (a descriptor keeps state and must not be shared between threads).
iconv_t Descriptor(const char* to, const char* from) {
    struct Entry {
        const char* to;
        const char* from;
        iconv_t cd;
    };
    struct Cache {
        std::vector<Entry> entries;
        ~Cache() {
            for (const Entry& e : entries) iconv_close(e.cd);
        }
    };
    thread_local Cache cache;
    for (const Entry& e : cache.entries)
        if (e.to == to && e.from == from) return e.cd;
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv_open failed");
    cache.entries.push_back({to, from, cd});
    return cd;
}

// One iconv conversion; on a sequence the target cannot hold or the source
// does not form, `bad` is written and one source unit of `step` bytes is skipped.
std::string Convert(const char* to, const char* from, std::string_view in, std::string_view bad, size_t step) {
    iconv_t cd = Descriptor(to, from);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);  // the initial state
    std::string out;
    out.reserve(in.size() * 2);
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
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    return out;
}

// Both directions of CP932 as tables, read once from iconv: decoding every
// byte and double-byte code, encoding every UTF-16 unit outside the
// surrogates. Conversions are then lookups.
struct Tables {
    static constexpr char16_t kNone = 0xFFFF;
    static constexpr std::uint16_t kNoCode = 0xFFFF;
    std::array<char16_t, 256> single;
    std::vector<char16_t> pairs = std::vector<char16_t>(256 * 256, kNone);  // lead << 8 | trail
    std::vector<std::uint16_t> encode = std::vector<std::uint16_t>(65536, kNoCode);
};

// The UTF-16 units iconv makes of `bytes`, or none when they form no character.
bool Decode(iconv_t cd, const char* bytes, size_t size, char16_t& unit) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char out[8];
    auto* src = const_cast<char*>(bytes);
    char* dst = out;
    size_t left = size, room = sizeof out;
    if (iconv(cd, &src, &left, &dst, &room) == static_cast<size_t>(-1) || left != 0 || dst - out != 2) return false;
    unit = static_cast<char16_t>(static_cast<unsigned char>(out[0]) | static_cast<unsigned char>(out[1]) << 8);
    return true;
}

Tables BuildTables() {
    Tables t;
    t.single.fill(Tables::kNone);
    iconv_t decoder = iconv_open("UTF-16LE", "CP932");
    iconv_t encoder = iconv_open("CP932", "UTF-16LE");
    if (decoder == reinterpret_cast<iconv_t>(-1) || encoder == reinterpret_cast<iconv_t>(-1))
        throw std::runtime_error("iconv has no CP932");
    for (unsigned b = 0; b < 256; ++b) {
        const char byte = static_cast<char>(b);
        char16_t unit;
        if (b == 0)
            t.single[0] = 0;
        else if (!IsLeadByte(static_cast<unsigned char>(b)) && Decode(decoder, &byte, 1, unit))
            t.single[b] = unit;
    }
    for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
        if (!IsLeadByte(static_cast<unsigned char>(lead))) continue;
        for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
            const char code[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            char16_t unit;
            if (Decode(decoder, code, 2, unit)) t.pairs[lead << 8 | trail] = unit;
        }
    }
    t.encode[0] = 0;
    for (unsigned u = 1; u < 0x10000; ++u) {
        if (u >= 0xD800 && u <= 0xDFFF) continue;
        const char in[2] = {static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)};
        char out[4];
        auto* src = const_cast<char*>(in);
        char* dst = out;
        size_t left = 2, room = sizeof out;
        iconv(encoder, nullptr, nullptr, nullptr, nullptr);
        if (iconv(encoder, &src, &left, &dst, &room) == static_cast<size_t>(-1) || left != 0) continue;
        if (dst - out == 1)
            t.encode[u] = static_cast<unsigned char>(out[0]);
        else if (dst - out == 2)
            t.encode[u] = static_cast<std::uint16_t>(static_cast<unsigned char>(out[0]) << 8 |
                                                     static_cast<unsigned char>(out[1]));
    }
    iconv_close(decoder);
    iconv_close(encoder);
    return t;
}

const Tables& CodeTables() {
    static const Tables tables = BuildTables();
    return tables;
}

}  // namespace

namespace {

std::u16string ToUtf16With(std::string_view cp932, char16_t replacement) {
    const Tables& t = CodeTables();
    std::u16string out;
    out.reserve(cp932.size());
    for (size_t i = 0; i < cp932.size();) {
        const auto c = static_cast<unsigned char>(cp932[i]);
        if (IsLeadByte(c) && i + 1 < cp932.size()) {
            const char16_t unit = t.pairs[c << 8 | static_cast<unsigned char>(cp932[i + 1])];
            if (unit != Tables::kNone) {
                out.push_back(unit);
                i += 2;
                continue;
            }
        }
        // A byte that forms no character on its own, or a lead byte whose
        // pair forms none, becomes the replacement; the next byte starts afresh.
        const char16_t unit = IsLeadByte(c) ? Tables::kNone : t.single[c];
        out.push_back(unit == Tables::kNone ? replacement : unit);
        ++i;
    }
    return out;
}

}  // namespace

std::u16string ToUtf16(std::string_view cp932) { return ToUtf16With(cp932, u'\u30FB'); }

std::string FromUtf16(std::u16string_view utf16) {
    const Tables& t = CodeTables();
    // At most two bytes a unit, written in place and cut to what was made.
    std::string out(utf16.size() * 2, '\0');
    char* at = out.data();
    for (char16_t unit : utf16) {
        const std::uint16_t code = t.encode[unit];
        if (code == Tables::kNoCode) {
            *at++ = '?';
        } else if (code > 0xFF) {
            *at++ = static_cast<char>(code >> 8);
            *at++ = static_cast<char>(code & 0xFF);
        } else {
            *at++ = static_cast<char>(code);
        }
    }
    out.resize(static_cast<std::size_t>(at - out.data()));
    return out;
}

std::string Utf8ToCp932(std::string_view utf8) { return Convert("CP932", "UTF-8", utf8, "?", 1); }
std::string Cp932ToUtf8(std::string_view cp932) { return Convert("UTF-8", "CP932", cp932, "\xE3\x83\xBB", 1); }

std::string Cp932ToUtf8Marked(std::string_view cp932) {
    // CP932 has no character outside the basic plane: one to three bytes a unit.
    std::string out;
    out.reserve(cp932.size() + cp932.size() / 2);
    for (const char16_t unit : ToUtf16With(cp932, u'\uFFFD')) {
        if (unit < 0x80) {
            out += static_cast<char>(unit);
        } else if (unit < 0x800) {
            out += static_cast<char>(0xC0 | unit >> 6);
            out += static_cast<char>(0x80 | (unit & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | unit >> 12);
            out += static_cast<char>(0x80 | (unit >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (unit & 0x3F));
        }
    }
    return out;
}

#endif

}  // namespace quorvin::text
