#include "core/cp932.h"

namespace quorvin::text {

namespace {

// Reads the unit at position i and advances i past it.
unsigned NextUnit(std::string_view s, size_t& i) {
    const auto c = static_cast<unsigned char>(s[i++]);
    if (IsLeadByte(c)) {
        unsigned trail = 0;
        if (i < s.size()) trail = static_cast<unsigned char>(s[i++]);
        return c << 8 | trail;
    }
    if (c >= 'A' && c <= 'Z') return c + ('a' - 'A');
    return c;
}

}  // namespace

int MbsICmp(std::string_view a, std::string_view b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const unsigned ua = NextUnit(a, i);
        const unsigned ub = NextUnit(b, j);
        if (ua != ub) return ua < ub ? -1 : 1;
    }
    if (i < a.size()) return 1;
    if (j < b.size()) return -1;
    return 0;
}

bool MbsIStartsWith(std::string_view text, std::string_view prefix) {
    size_t i = 0, j = 0;
    while (j < prefix.size()) {
        if (i >= text.size() || NextUnit(text, i) != NextUnit(prefix, j)) return false;
    }
    return true;
}

std::string MbsICmpKey(std::string_view s) {
    std::string key;
    key.reserve(s.size() + 1);
    for (size_t i = 0; i < s.size();) {
        const unsigned unit = NextUnit(s, i);
        // A single-byte unit is never a lead byte, so the bytes decode back
        // to the same units.
        if (unit > 0xFF) key += static_cast<char>(unit >> 8);
        key += static_cast<char>(unit & 0xFF);
    }
    return key;
}

}  // namespace quorvin::text
