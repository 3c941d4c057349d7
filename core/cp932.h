#pragma once
// Code page 932 text: every text the program holds is a CP932 byte string.
// These helpers convert at the UTF-16 boundary and give the ordering the
// Windows C runtime's _mbsicmp gives on CP932.

#include <string>
#include <string_view>

namespace quorvin::text {

// Lead bytes of a double-byte character: 0x81-0x9F and 0xE0-0xFC.
constexpr bool IsLeadByte(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// The length of the longest start of `text` that has at most `maxBytes`
// bytes and never ends inside a double-byte character (a lead byte that
// ends the text counts as a character of its own).
constexpr std::size_t WholeCharactersLength(std::string_view text, std::size_t maxBytes) {
    // A text that fits is whole however it ends: a lead byte at its end
    // stands alone.
    if (text.size() <= maxBytes) return text.size();
    std::size_t length = 0;
    while (length < text.size()) {
        const bool pair = IsLeadByte(static_cast<unsigned char>(text[length])) && length + 1 < text.size();
        const std::size_t unit = pair ? 2 : 1;
        if (length + unit > maxBytes) break;
        length += unit;
    }
    return length;
}

// CP932 to UTF-16. Bytes that form no character become U+30FB, as the
// Windows conversion does for code page 932.
std::u16string ToUtf16(std::string_view cp932);

// UTF-16 to CP932. Characters CP932 cannot hold become '?'.
std::string FromUtf16(std::u16string_view utf16);

// UTF-8 <-> CP932, for terminals and files in the user's locale.
std::string Utf8ToCp932(std::string_view utf8);
std::string Cp932ToUtf8(std::string_view cp932);

// CP932 to UTF-8 for data handed to other systems: every character as the
// conversion above makes it, but a byte that forms no character (a lone
// lead byte, an unassigned pair, a byte no table has) becomes U+FFFD, so
// that it shows as broken instead of as a character of the text. Nothing
// is dropped; a NUL byte stays a NUL.
std::string Cp932ToUtf8Marked(std::string_view cp932);

// _mbsicmp on CP932: a lead byte and the byte after it compare as one unit
// (lead * 256 + trail), ASCII letters compare as their lower-case form,
// every other byte by its value. A lead byte that ends the text is a unit
// with trail 0. Returns <0, 0 or >0.
int MbsICmp(std::string_view a, std::string_view b);

// Whether `text` starts with `prefix` as MbsICmp compares: character by
// character from the first byte (a trail byte is never read as a character
// of its own), ASCII letters in either case. Every text starts with "".
bool MbsIStartsWith(std::string_view text, std::string_view prefix);

// A key that is equal for two texts exactly when MbsICmp finds them equal:
// for hashing and ordering names that compare that way.
std::string MbsICmpKey(std::string_view s);

}  // namespace quorvin::text
