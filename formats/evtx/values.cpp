// The texts of binary XML values, as Windows' XML rendering shows them:
// integers in decimal, hexadecimal types as 0x3e7, GUIDs in braces and
// upper case, times in ISO 8601 UTC with their 100 ns, SIDs as S-1-5-18,
// binary data as upper-case hexadecimal.

#include <cstdio>
#include <cstring>

#include "core/cp932.h"
#include "formats/evtx/binxml.h"
#include "formats/evtx/bytes.h"

namespace quorvin::evtx {

namespace {

using bytes::LoadU16;
using bytes::LoadU32;

void AppendAscii(const char* text, std::u16string& out) {
    while (*text) out.push_back(static_cast<char16_t>(static_cast<unsigned char>(*text++)));
}

// In decimal, or in lower-case hexadecimal after "0x" without leading zeros.
void AppendNumber(std::uint64_t v, bool hex, std::u16string& out) {
    char16_t digits[24];
    int n = 0;
    const unsigned base = hex ? 16 : 10;
    do {
        digits[n++] = static_cast<char16_t>("0123456789abcdef"[v % base]);
        v /= base;
    } while (v != 0);
    if (hex) out += u"0x";
    while (n > 0) out.push_back(digits[--n]);
}

void AppendSigned(std::int64_t v, std::u16string& out) {
    if (v < 0) out.push_back(u'-');
    AppendNumber(v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v), false, out);
}

// Days since 1970-01-01 to the civil date (proleptic Gregorian).
void CivilFromDays(long long z, long long& y, unsigned& m, unsigned& d) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<long long>(yoe) + era * 400 + (m <= 2 ? 1 : 0);
}

// FILETIME: 100 ns steps since 1601-01-01 UTC.
void AppendFileTime(std::uint64_t t, std::u16string& out) {
    constexpr std::uint64_t kPerSecond = 10000000, kPerDay = 86400 * kPerSecond;
    constexpr long long kDays1601To1970 = 134774;
    long long y;
    unsigned m, d;
    CivilFromDays(static_cast<long long>(t / kPerDay) - kDays1601To1970, y, m, d);
    const std::uint64_t inDay = t % kPerDay;
    const std::uint64_t seconds = inDay / kPerSecond;
    char text[64];
    std::snprintf(text, sizeof text, "%04lld-%02u-%02uT%02u:%02u:%02u.%07uZ", y, m, d,
                  static_cast<unsigned>(seconds / 3600), static_cast<unsigned>(seconds / 60 % 60),
                  static_cast<unsigned>(seconds % 60), static_cast<unsigned>(inDay % kPerSecond));
    AppendAscii(text, out);
}

// SYSTEMTIME: year, month, day of week, day, hour, minute, second, milliseconds.
void AppendSystemTime(const std::uint8_t* p, std::u16string& out) {
    char text[64];
    std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02u.%03uZ", LoadU16(p), LoadU16(p + 2),
                  LoadU16(p + 6), LoadU16(p + 8), LoadU16(p + 10), LoadU16(p + 12), LoadU16(p + 14));
    AppendAscii(text, out);
}

void AppendGuid(const std::uint8_t* p, std::u16string& out) {
    char text[48];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", LoadU32(p), LoadU16(p + 4),
                  LoadU16(p + 6), p[8], p[9], p[10], p[11], p[12], p[13], p[14], p[15]);
    AppendAscii(text, out);
}

// The size of the SID at `p` (`size` bytes there), 0 when none fits.
std::uint32_t SidSize(const std::uint8_t* p, std::uint32_t size) {
    if (size < 8) return 0;
    const std::uint32_t n = 8 + 4u * p[1];
    return n <= size ? n : 0;
}

void AppendSid(const std::uint8_t* p, std::uint32_t size, std::u16string& out) {
    std::uint64_t authority = 0;
    for (int i = 2; i < 8; ++i) authority = authority << 8 | p[i];
    out += u"S-";
    AppendNumber(p[0], false, out);
    out.push_back(u'-');
    if (authority < (1ull << 32)) {
        AppendNumber(authority, false, out);
    } else {
        // Windows shows an authority of 2^32 or more in hexadecimal.
        char text[24];
        std::snprintf(text, sizeof text, "0x%012llX", static_cast<unsigned long long>(authority));
        AppendAscii(text, out);
    }
    for (std::uint32_t at = 8; at + 4 <= size; at += 4) {
        out.push_back(u'-');
        AppendNumber(LoadU32(p + at), false, out);
    }
}

void AppendHexBytes(const std::uint8_t* p, std::uint32_t size, std::u16string& out) {
    static const char kDigits[] = "0123456789ABCDEF";
    for (std::uint32_t i = 0; i < size; ++i) {
        out.push_back(static_cast<char16_t>(kDigits[p[i] >> 4]));
        out.push_back(static_cast<char16_t>(kDigits[p[i] & 15]));
    }
}

void AppendReal(double v, std::u16string& out) {
    char text[40];
    std::snprintf(text, sizeof text, "%g", v);
    AppendAscii(text, out);
}

// The size of one item of a fixed-size type, 0 for the others.
std::uint32_t ItemSize(std::uint8_t base, std::uint32_t arraySize) {
    switch (base) {
    case type::kInt8: case type::kUInt8: return 1;
    case type::kInt16: case type::kUInt16: return 2;
    case type::kInt32: case type::kUInt32: case type::kFloat: case type::kBool: case type::kHexInt32: return 4;
    case type::kInt64: case type::kUInt64: case type::kDouble: case type::kFileTime: case type::kHexInt64: return 8;
    case type::kGuid: case type::kSysTime: return 16;
    // Pointer-sized: 64-bit items unless the array's size allows only 32-bit ones.
    case type::kSizeT: return arraySize % 8 == 0 ? 8 : 4;
    default: return 0;
    }
}

// A scalar whose size does not suit its type shows as its bytes.
void AppendScalar(ValueView v, std::u16string& out) {
    const std::uint8_t* p = v.data;
    const std::uint32_t n = v.size;
    const std::uint32_t need = ItemSize(v.type, n);
    if (need != 0 && n != need && !(v.type == type::kSizeT && n == 4)) {
        AppendHexBytes(p, n, out);
        return;
    }
    switch (v.type) {
    case type::kNull: return;
    case type::kString: {
        std::uint32_t units = n / 2;
        for (std::uint32_t i = 0; i < units; ++i)
            if (LoadU16(p + 2 * i) == 0) units = i;
        AppendUtf16(p, units, out);
        return;
    }
    case type::kAnsiString: {
        // Written in the system's code page, which is 932 where this program runs.
        const void* nul = std::memchr(p, 0, n);
        const std::size_t length = nul ? static_cast<const std::uint8_t*>(nul) - p : n;
        out += text::ToUtf16(std::string_view(reinterpret_cast<const char*>(p), length));
        return;
    }
    case type::kInt8: return AppendSigned(static_cast<std::int8_t>(p[0]), out);
    case type::kUInt8: return AppendNumber(p[0], false, out);
    case type::kInt16: return AppendSigned(static_cast<std::int16_t>(LoadU16(p)), out);
    case type::kUInt16: return AppendNumber(LoadU16(p), false, out);
    case type::kInt32: return AppendSigned(static_cast<std::int32_t>(LoadU32(p)), out);
    case type::kUInt32: return AppendNumber(LoadU32(p), false, out);
    case type::kInt64: return AppendSigned(static_cast<std::int64_t>(LoadU64(p)), out);
    case type::kUInt64: return AppendNumber(LoadU64(p), false, out);
    case type::kFloat: {
        float f;
        std::memcpy(&f, p, 4);
        return AppendReal(f, out);
    }
    case type::kDouble: {
        double d;
        std::memcpy(&d, p, 8);
        return AppendReal(d, out);
    }
    case type::kBool: return AppendAscii(LoadU32(p) != 0 ? "true" : "false", out);
    case type::kGuid: return AppendGuid(p, out);
    case type::kSizeT: return AppendNumber(n == 4 ? LoadU32(p) : LoadU64(p), true, out);
    case type::kFileTime: return AppendFileTime(LoadU64(p), out);
    case type::kSysTime: return AppendSystemTime(p, out);
    case type::kSid:
        if (SidSize(p, n) == 0) return AppendHexBytes(p, n, out);
        return AppendSid(p, SidSize(p, n), out);
    case type::kHexInt32: return AppendNumber(LoadU32(p), true, out);
    case type::kHexInt64: return AppendNumber(LoadU64(p), true, out);
    case type::kBinXml: return;
    default: return AppendHexBytes(p, n, out);  // binary, and types without a text form
    }
}

}  // namespace

bool NameView::Is(std::string_view ascii) const {
    if (ascii.size() != units) return false;
    for (std::size_t i = 0; i < ascii.size(); ++i)
        if (LoadU16(chars + 2 * i) != static_cast<unsigned char>(ascii[i])) return false;
    return true;
}

void AppendUtf16(const std::uint8_t* at, std::size_t units, std::u16string& out) {
    const std::size_t start = out.size();
    out.resize(start + units);
    for (std::size_t i = 0; i < units; ++i) out[start + i] = static_cast<char16_t>(LoadU16(at + 2 * i));
}

bool NextItem(ValueView array, std::uint32_t& pos, ValueView& item) {
    if (pos >= array.size) return false;
    const std::uint8_t base = array.type & ~type::kArray;
    const std::uint8_t* p = array.data + pos;
    const std::uint32_t left = array.size - pos;
    std::uint32_t size = 0, skip = 0;
    if (base == type::kString) {
        // Each string ends with a NUL unit.
        while (size + 2 <= left && LoadU16(p + size) != 0) size += 2;
        skip = size + 2 <= left ? 2 : left - size;
    } else if (base == type::kAnsiString) {
        while (size < left && p[size] != 0) ++size;
        skip = size < left ? 1 : 0;
    } else if (base == type::kSid) {
        size = SidSize(p, left);
        if (size == 0) size = left;
    } else {
        size = ItemSize(base, array.size);
        if (size == 0) size = left;  // no items of their own: the whole value is one
        if (size > left) return false;
    }
    item = {base, p, size};
    pos += size + skip;
    return true;
}

void AppendValueText(ValueView value, std::u16string& out) {
    if ((value.type & type::kArray) == 0) return AppendScalar(value, out);
    std::uint32_t pos = 0;
    ValueView item;
    for (bool first = true; NextItem(value, pos, item); first = false) {
        if (!first) AppendAscii(", ", out);
        AppendScalar(item, out);
    }
}

std::string Utf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | c >> 6));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | c >> 12));
            out.push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | c >> 18));
            out.push_back(static_cast<char>(0x80 | (c >> 12 & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

}  // namespace quorvin::evtx
