#include "formats/messages/format.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "core/cp932.h"

namespace quorvin::messages {

namespace {

using platform::Error;
namespace perror = platform::error;

// Text appended under a length limit: a piece that does not fit is refused
// whole, so the text never grows past the limit (nor allocates past it).
class Output {
public:
    Output(std::u16string& text, std::size_t limit) : text_(text), limit_(limit) {}

    std::size_t Room() const { return limit_ - text_.size(); }
    bool Put(std::u16string_view piece) {
        if (piece.size() > Room()) return false;
        text_.append(piece);
        return true;
    }
    bool Put(char16_t unit) { return Put(std::u16string_view(&unit, 1)); }
    bool Repeat(char16_t unit, std::int64_t count) {
        if (count <= 0) return true;
        if (static_cast<std::uint64_t>(count) > Room()) return false;
        text_.append(static_cast<std::size_t>(count), unit);
        return true;
    }

private:
    std::u16string& text_;
    std::size_t limit_;
};

// A value stored into one of the printf code's int fields wraps to 32 bits;
// comparisons of those fields are made on the true values.
std::int32_t Wrap(std::int64_t v) { return static_cast<std::int32_t>(static_cast<std::uint32_t>(v)); }

const Argument& ZeroEntry() {
    static const Argument zero{0, true, {}, {}};
    return zero;
}
const Argument& PastEndEntry() {
    static const Argument empty{};
    return empty;
}

// The values handed to the printf step: up to five pointer-sized entries, as
// a variable argument list reads them. In 32 bits a 64-bit number takes two
// entries; entries after the fifth read as zero.
class ArgumentList {
public:
    ArgumentList(std::vector<const Argument*> entries, unsigned bits) : entries_(std::move(entries)), bits_(bits) {}

    const Argument& Entry() { return At(next_++); }
    std::uint64_t Pointer() { return Raw(next_++); }
    std::int32_t Int() { return static_cast<std::int32_t>(static_cast<std::uint32_t>(Raw(next_++))); }
    std::int64_t LongLong() {
        if (bits_ == 64) return static_cast<std::int64_t>(Raw(next_++));
        const std::uint64_t low = Raw(next_++);
        const std::uint64_t high = Raw(next_++);
        return static_cast<std::int64_t>(low | high << 32);
    }

private:
    const Argument& At(std::size_t i) const { return i < entries_.size() ? *entries_[i] : ZeroEntry(); }
    std::uint64_t Raw(std::size_t i) const {
        const std::uint64_t v = At(i).value;
        return bits_ == 64 ? v : v & 0xFFFFFFFFu;
    }

    std::vector<const Argument*> entries_;
    unsigned bits_;
    std::size_t next_ = 0;
};

struct Flags {
    enum class Length { kDefault, kShort, kLong } length = Length::kDefault;
    bool longLong = false;
    bool native = false;
    bool left = false;
    bool alternate = false;
    bool zeroPad = false;
    bool wideString = false;
    std::int32_t width = 0;
    std::int32_t precision = -1;
    char16_t sign = 0;
    char16_t format = 0;
};

bool IsIntegerConversion(char16_t c) {
    return c == u'd' || c == u'i' || c == u'o' || c == u'u' || c == u'x' || c == u'X';
}

class Printf {
public:
    Printf(Output& out, const FormatOptions& options, NarrowDecoder decode)
        : out_(out), options_(options), decode_(decode) {}

    // One wide printf call over `format`; false where printf gives -1 (the
    // text does not fit, or the conversion "$").
    bool Run(std::u16string_view format, ArgumentList& list) {
        std::size_t p = 0;
        auto at = [&format](std::size_t i) -> char16_t { return i < format.size() ? format[i] : u'\0'; };
        while (at(p) != 0) {
            std::size_t q = p;
            while (at(q) != 0 && at(q) != u'%') ++q;
            if (q != p) {
                if (!out_.Put(format.substr(p, q - p))) return false;
                p = q;
                if (at(p) == 0) break;
            }
            ++p;
            if (at(p) == u'%') {
                if (!out_.Put(u'%')) return false;
                ++p;
                continue;
            }

            Flags flags;
            for (;; ++p) {
                const char16_t c = at(p);
                if (c == u'+' || c == u' ') {
                    if (flags.sign != u'+') flags.sign = c;
                } else if (c == u'-') {
                    flags.left = true;
                } else if (c == u'0') {
                    flags.zeroPad = true;
                } else if (c == u'#') {
                    flags.alternate = true;
                } else {
                    break;
                }
            }
            if (at(p) == u'*') {
                flags.width = list.Int();
                if (flags.width < 0) {
                    flags.left = true;
                    flags.width = Wrap(-static_cast<std::int64_t>(flags.width));
                }
                ++p;
            } else {
                while (at(p) >= u'0' && at(p) <= u'9') flags.width = Wrap(std::int64_t{flags.width} * 10 + (at(p++) - u'0'));
            }
            if (at(p) == u'.') {
                flags.precision = 0;
                ++p;
                if (at(p) == u'*') {
                    flags.precision = list.Int();
                    ++p;
                } else {
                    while (at(p) >= u'0' && at(p) <= u'9')
                        flags.precision = Wrap(std::int64_t{flags.precision} * 10 + (at(p++) - u'0'));
                }
            }
            ReadLengthPrefixes(format, p, flags);

            flags.format = at(p);
            bool ok = true;
            if (flags.format == u'$') return false;  // positional arguments: printf fails
            if (flags.format == u's' || flags.format == u'S') {
                const Argument& entry = list.Entry();
                ok = String(entry, flags, flags.format == u'S');
            } else if (flags.format == u'c' || flags.format == u'C') {
                const char16_t unit = static_cast<char16_t>(list.Int());
                ok = Character(unit, flags, flags.format == u'C');
            } else if (flags.format == u'p') {
                ok = PointerValue(list.Pointer(), flags);
            } else if (flags.format == u'n') {
                list.Pointer();  // stores the count through the pointer: nothing is written here
            } else if (flags.format != 0 && IsIntegerConversion(flags.format)) {
                ok = Integer(list, flags);
            } else {
                continue;  // an unknown conversion: its character is printed as text
            }
            if (!ok) return false;
            ++p;
        }
        return true;
    }

private:
    void ReadLengthPrefixes(std::u16string_view format, std::size_t& p, Flags& flags) const {
        auto at = [&format](std::size_t i) -> char16_t { return i < format.size() ? format[i] : u'\0'; };
        for (;;) {
            const char16_t c = at(p);
            if (c == u'l' && at(p + 1) == u'l') {
                flags.longLong = true;
                p += 2;
            } else if (c == u'l' || c == u'L') {
                flags.length = Flags::Length::kLong;
                ++p;
            } else if (c == u'h') {
                flags.length = Flags::Length::kShort;
                ++p;
            } else if (c == u'I') {
                if (at(p + 1) == u'6' && at(p + 2) == u'4') {
                    flags.longLong = true;
                    p += 3;
                } else if (at(p + 1) == u'3' && at(p + 2) == u'2') {
                    p += 3;
                } else if (IsIntegerConversion(at(p + 1))) {
                    if (options_.pointerBits == 64) flags.longLong = true;
                    ++p;
                } else if ((at(p + 1) >= u'0' && at(p + 1) <= u'9') || at(p + 1) == 0) {
                    return;
                } else {
                    ++p;
                }
            } else if (c == u'w') {
                flags.wideString = true;
                ++p;
            } else if ((c == u'z' || c == u't') && IsIntegerConversion(at(p + 1))) {
                flags.native = true;
                ++p;
            } else if (c == u'j') {
                flags.longLong = true;
                ++p;
            } else if (c == u'F') {
                ++p;
            } else {
                return;
            }
        }
    }

    bool FillLeft(std::int32_t length, Flags& flags) {
        if (flags.sign != 0 && flags.format != u'd' && flags.format != u'i') flags.sign = 0;
        if (flags.sign != 0) {
            flags.width = Wrap(std::int64_t{flags.width} - 1);
            if (flags.zeroPad && !out_.Put(flags.sign)) return false;
        }
        if (!flags.left && !out_.Repeat(flags.zeroPad ? u'0' : u' ', std::int64_t{flags.width} - length))
            return false;
        if (flags.sign != 0 && !flags.zeroPad && !out_.Put(flags.sign)) return false;
        return true;
    }

    bool FillRight(std::int32_t length, const Flags& flags) {
        if (!flags.left) return true;
        return out_.Repeat(u' ', std::int64_t{flags.width} - length);
    }

    // The length printf takes of a text: all of it, or at most the precision.
    static std::int32_t Clip(std::size_t size, const Flags& flags) {
        const std::int64_t length = static_cast<std::int64_t>(std::min<std::size_t>(size, std::numeric_limits<std::int32_t>::max()));
        if (flags.precision >= 0 && flags.precision < length) return flags.precision;
        return static_cast<std::int32_t>(length);
    }

    bool WideText(std::u16string_view text, Flags& flags) {
        const std::int32_t length = Clip(text.size(), flags);
        return FillLeft(length, flags) && out_.Put(text.substr(0, static_cast<std::size_t>(length))) &&
               FillRight(length, flags);
    }

    // Padding counts bytes, the output is the bytes decoded.
    bool NarrowText(std::string_view text, Flags& flags) {
        const std::int32_t length = Clip(text.size(), flags);
        return FillLeft(length, flags) && out_.Put(decode_(text.substr(0, static_cast<std::size_t>(length)))) &&
               FillRight(length, flags);
    }

    // Which kind of string a conversion reads: a w or l prefix wide, an h
    // prefix narrow, otherwise s and c wide and S and C narrow (this is the
    // wide printf).
    static bool ReadsWide(const Flags& flags, bool capital) {
        if (flags.wideString || flags.length == Flags::Length::kLong) return true;
        if (flags.length == Flags::Length::kShort) return false;
        return !capital;
    }

    bool String(const Argument& entry, Flags& flags, bool capital) {
        if (entry.null) return WideText(u"(null)", flags);
        if (ReadsWide(flags, capital)) return WideText(entry.wide, flags);
        return NarrowText(entry.narrow, flags);
    }

    // A character is one unit; read narrow it is the unit's low byte.
    bool Character(char16_t unit, Flags& flags, bool capital) {
        if (ReadsWide(flags, capital)) return WideText(std::u16string_view(&unit, 1), flags);
        const char byte = static_cast<char>(unit & 0xFF);
        return NarrowText(std::string_view(&byte, 1), flags);
    }

    // The digits of `x` with the precision's zeros and the alternate prefix;
    // the precision becomes the digits' length. False when they cannot fit.
    bool Digits(std::int64_t x, Flags& flags, std::u16string& digits) const {
        const unsigned base = flags.format == u'o' ? 8 : (flags.format == u'x' || flags.format == u'X') ? 16 : 10;
        const char16_t* set = flags.format == u'X' ? u"0123456789ABCDEFX" : u"0123456789abcdefx";
        std::uint64_t magnitude = static_cast<std::uint64_t>(x);
        if (x < 0 && (flags.format == u'd' || flags.format == u'i')) {
            magnitude = 0 - magnitude;
            flags.sign = u'-';
        }
        digits.clear();
        if (magnitude == 0) {
            flags.alternate = false;
            if (flags.precision != 0) digits.push_back(u'0');
        } else {
            while (magnitude != 0) {
                digits.push_back(set[magnitude % base]);
                magnitude /= base;
            }
        }
        const std::int64_t zeros = std::int64_t{flags.precision} - static_cast<std::int64_t>(digits.size());
        if (zeros > 0) {
            if (static_cast<std::uint64_t>(zeros) > out_.Room()) return false;
            digits.append(static_cast<std::size_t>(zeros), u'0');
        }
        if (flags.alternate) {
            if (base == 16) {
                digits.push_back(set[16]);
                digits.push_back(u'0');
            } else if (base == 8 && !digits.empty() && digits.back() != u'0') {
                digits.push_back(u'0');
            }
        }
        flags.precision = static_cast<std::int32_t>(std::min<std::size_t>(digits.size(), std::numeric_limits<std::int32_t>::max()));
        std::reverse(digits.begin(), digits.end());
        return true;
    }

    bool PointerValue(std::uint64_t value, Flags& flags) {
        const std::int32_t precision = flags.precision;
        flags.format = u'X';
        flags.precision = static_cast<std::int32_t>(options_.pointerBits / 4);
        std::u16string digits;
        if (!Digits(static_cast<std::int64_t>(value), flags, digits)) return false;
        flags.zeroPad = false;
        flags.precision = precision;
        return WideText(digits, flags);
    }

    bool Integer(ArgumentList& list, Flags& flags) {
        const bool hex = flags.format == u'x' || flags.format == u'X';
        if (hex && flags.zeroPad && flags.alternate && !flags.left && flags.precision < std::int64_t{flags.width} - 2)
            flags.precision = Wrap(std::int64_t{flags.width} - 2);
        std::int64_t value = 0;
        const bool signedConversion = flags.format == u'd' || flags.format == u'i';
        const bool shortValue = flags.length == Flags::Length::kShort;
        if (flags.longLong || (flags.native && options_.pointerBits == 64)) {
            value = list.LongLong();
        } else if (signedConversion) {
            const std::int32_t v = list.Int();
            value = shortValue ? static_cast<std::int16_t>(v) : v;
        } else {
            const std::uint32_t v = static_cast<std::uint32_t>(list.Int());
            value = shortValue ? static_cast<std::uint16_t>(v) : v;
        }
        std::u16string digits;
        if (!Digits(value, flags, digits)) return false;
        return WideText(digits, flags);
    }

    Output& out_;
    const FormatOptions& options_;
    NarrowDecoder decode_;
};

std::u16string DecodeCp932(std::string_view text) { return text::ToUtf16(text); }

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// The characters a "%n!...!" format keeps before its conversion: flags,
// width and precision.
bool IsFormatPrefix(char16_t c) {
    return IsDigit(c) || c == u' ' || c == u'+' || c == u'-' || c == u'*' || c == u'#' || c == u'.';
}

// The argument array and the highest entry used so far, kept from one insert to the next.
struct InsertState {
    const std::vector<Argument>* arguments = nullptr;
    std::size_t last = 0;  // the highest entry used so far (1-based)

    const Argument& Entry(std::size_t number) const {
        if (number >= 1 && number <= arguments->size()) return (*arguments)[number - 1];
        return PastEndEntry();
    }
};

// Insert `number`, whose optional "!format!" starts at `at`; `at` moves past it.
Error AddInsert(std::u16string_view pattern, std::size_t& at, std::size_t number, InsertState& state,
                Printf& formatter, const FormatOptions& options) {
    std::u16string format = u"%";
    int stars = 0;
    bool wide64 = false;
    if (at < pattern.size() && pattern[at] == u'!') {
        const std::size_t begin = at + 1;
        const std::size_t end = pattern.find(u'!', begin);
        if (end == std::u16string_view::npos || end - begin > 30) return perror::kInvalidParameter;
        std::size_t k = begin;
        for (; k < end && IsFormatPrefix(pattern[k]); ++k) {
            if (pattern[k] == u'*') ++stars;
            format.push_back(pattern[k]);
        }
        if (stars > 2) return perror::kInvalidParameter;
        const char16_t c = k < end ? pattern[k] : u'!';
        if (c == u'c' || c == u'C' || c == u's' || c == u'S') {
            // The conversion runs in a wide printf: an ANSI caller's plain
            // letters mean narrow strings, its capitals wide ones.
            if (options.ansiCaller) {
                format.push_back(static_cast<char16_t>(c ^ 0x20));
                ++k;
            }
        } else if (c == u'I' && options.pointerBits == 32 && k + 2 < pattern.size() && pattern[k + 1] == u'6' &&
                   pattern[k + 2] == u'4') {
            wide64 = true;
        }
        format.append(pattern.substr(k, end - k));
        at = end + 1;
    } else {
        format.push_back(options.ansiCaller ? u'S' : u's');
    }

    if (state.arguments == nullptr) return perror::kInvalidParameter;
    std::vector<const Argument*> entries{&state.Entry(number)};
    state.last = std::max(state.last, number);
    // In 32 bits the value of an I64 conversion takes two entries: the
    // second is zero, and "*" arguments come after it.
    if (wide64) entries.push_back(&ZeroEntry());
    for (int i = 0; i < stars; ++i) entries.push_back(&state.Entry(++state.last));
    ArgumentList list(std::move(entries), options.pointerBits);
    return formatter.Run(format, list) ? perror::kSuccess : perror::kInsufficientBuffer;
}

}  // namespace

platform::Error FormatInserts(std::u16string_view pattern, const std::vector<Argument>* arguments,
                              const FormatOptions& options, std::u16string& out) {
    out.clear();
    const std::size_t nul = pattern.find(u'\0');
    if (nul != std::u16string_view::npos) pattern = pattern.substr(0, nul);
    out.reserve(pattern.size());

    Output output(out, options.maxLength);
    Printf formatter(output, options, options.decodeNarrow != nullptr ? options.decodeNarrow : DecodeCp932);
    InsertState state;
    state.arguments = arguments;

    auto fail = [&out](Error e) {
        out.clear();
        return e;
    };
    const Error overflow = perror::kInsufficientBuffer;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char16_t c = pattern[i];
        bool ok = true;
        if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < pattern.size() && pattern[i + 1] == u'\n') ++i;
            ok = output.Put(u"\r\n");
        } else if (c != u'%') {
            ok = output.Put(c);
        } else {
            if (++i == pattern.size()) return fail(perror::kInvalidParameter);
            const char16_t next = pattern[i];
            if (next == u't') {
                ok = output.Put(u'\t');
            } else if (next == u'n') {
                ok = output.Put(u"\r\n");
            } else if (next == u'r') {
                ok = output.Put(u'\r');
            } else if (next == u'0') {
                break;
            } else if (IsDigit(next) && !options.ignoreInserts) {
                std::size_t number = static_cast<std::size_t>(next - u'0');
                ++i;
                if (i < pattern.size() && IsDigit(pattern[i])) number = number * 10 + static_cast<std::size_t>(pattern[i++] - u'0');
                const Error e = AddInsert(pattern, i, number, state, formatter, options);
                if (e != perror::kSuccess) return fail(e);
                --i;
            } else {
                if (options.ignoreInserts) ok = output.Put(u'%');
                ok = ok && output.Put(next);
            }
        }
        if (!ok) return fail(overflow);
    }
    return perror::kSuccess;
}

Argument NarrowArgument(const std::string& text, std::uint64_t address) {
    Argument argument;
    argument.value = address;
    if (text.empty()) return argument;
    argument.narrow.assign(text, 0, text.find('\0'));
    // The same bytes read as UTF-16 (for the wide formats), up to a zero unit.
    const std::string& bytes = argument.narrow;
    argument.wide.reserve(bytes.size() / 2 + 1);
    for (std::size_t i = 0; i < bytes.size(); i += 2) {
        const unsigned high = i + 1 < bytes.size() ? static_cast<unsigned char>(bytes[i + 1]) : 0u;
        const auto unit = static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) | high << 8);
        if (unit == 0) break;
        argument.wide.push_back(unit);
    }
    return argument;
}

}  // namespace quorvin::messages
