// The insert formatting rules of FormatMessage. Expected texts marked
// "(Windows)" are the results Wine's conformance tests check on Windows.

#include "formats/messages/format.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "core/cp932.h"

namespace quorvin::messages {
namespace {

// Arguments of a FormatMessageW caller: wide strings, read narrow as their
// UTF-16LE bytes up to the first zero byte.
std::vector<Argument> Wide(std::initializer_list<std::u16string> texts) {
    std::vector<Argument> args;
    for (const std::u16string& t : texts) {
        Argument a;
        a.value = 0x10000 + 0x10 * args.size();
        a.wide = t;
        for (char16_t c : t) {
            if ((c & 0xFF) == 0) break;
            a.narrow.push_back(static_cast<char>(c & 0xFF));
            if ((c >> 8) == 0) break;
            a.narrow.push_back(static_cast<char>(c >> 8));
        }
        args.push_back(a);
    }
    return args;
}

// Arguments of a FormatMessageA caller.
std::vector<Argument> Narrow(std::initializer_list<std::string> texts) {
    std::vector<Argument> args;
    for (const std::string& t : texts) args.push_back(NarrowArgument(t, 0x20000 + 0x10 * args.size()));
    return args;
}

std::vector<Argument> Numbers(std::initializer_list<std::uint64_t> values) {
    std::vector<Argument> args;
    for (std::uint64_t v : values) {
        Argument a;
        a.value = v;
        args.push_back(a);
    }
    return args;
}

FormatOptions WideCaller() {
    FormatOptions o;
    o.ansiCaller = false;
    o.pointerBits = 64;
    o.maxLength = 1 << 20;
    return o;
}

FormatOptions AnsiCaller() { return FormatOptions{}; }

std::u16string Format(std::u16string_view pattern, const std::vector<Argument>* args, const FormatOptions& options) {
    std::u16string out;
    const platform::Error e = FormatInserts(pattern, args, options, out);
    if (e != platform::error::kSuccess) return u"<error " + text::ToUtf16(std::to_string(e)) + u">";
    return out;
}

std::u16string W(std::u16string_view pattern, const std::vector<Argument>& args = {}) {
    return Format(pattern, &args, WideCaller());
}
std::u16string A(std::u16string_view pattern, const std::vector<Argument>& args = {}) {
    return Format(pattern, &args, AnsiCaller());
}

const std::u16string kInvalid = u"<error 87>";
const std::u16string kTooLong = u"<error 122>";

TEST(FormatInserts, EscapesAndLineEnds) {
    EXPECT_EQ(W(u" %%%% "), u" %% ");                   // (Windows)
    EXPECT_EQ(W(u" %.%.  %1!d!", Numbers({0x1ab})), u" ..  427");  // (Windows)
    EXPECT_EQ(W(u"yah%!%0   "), u"yah!");              // (Windows)
    EXPECT_EQ(W(u"% %   "), u"    ");                   // (Windows)
    EXPECT_EQ(W(u"%n%r%t"), u"\r\n\r\t");               // (Windows)
    EXPECT_EQ(W(u"test%0test"), u"test");               // (Windows)
    EXPECT_EQ(W(u"a%qb%:c"), u"aqb:c");
    // Each CR LF, lone CR and lone LF becomes CR LF (Windows).
    EXPECT_EQ(W(u"hi\n"), u"hi\r\n");
    EXPECT_EQ(W(u"\r"), u"\r\n");
    EXPECT_EQ(W(u"\r\r\n"), u"\r\n\r\n");
    EXPECT_EQ(W(u"\n\r"), u"\r\n\r\n");
    EXPECT_EQ(W(u"line 1\r\nline 2\r\n"), u"line 1\r\nline 2\r\n");
    // A "%" before a line end keeps that character as it is.
    EXPECT_EQ(W(u"end%\r\nnext"), u"end\r\r\nnext");
    // The text ends at its first NUL.
    EXPECT_EQ(W(std::u16string(u"ab\0%cd", 6)), u"ab");
}

TEST(FormatInserts, InsertNumbersAndArrayEntries) {
    const auto args = Wide({u"t", u"s", u"e", u"", u"5", u"6", u"7", u"8", u"9", u"ten", u"eleven"});
    EXPECT_EQ(W(u"%1%3%2%1", args), u"test");  // (Windows)
    EXPECT_EQ(W(u"[%4]", args), u"[]");
    EXPECT_EQ(W(u"%10|%11|%100", args), u"ten|eleven|ten0");
    // Entries past the end of the array read as empty strings with value 0.
    EXPECT_EQ(W(u"[%12][%99][%99!d!]", args), u"[][][0]");
    // Without an array every insert fails, and only inserts do (Windows).
    EXPECT_EQ(Format(u"x%1", nullptr, WideCaller()), kInvalid);
    EXPECT_EQ(Format(u"x%n%%", nullptr, WideCaller()), u"x\r\n%");
}

TEST(FormatInserts, StringFormats) {
    EXPECT_EQ(W(u"%1!s!", Wide({u"test"})), u"test");    // (Windows)
    EXPECT_EQ(W(u"%1!3s!", Wide({u"t"})), u"  t");        // (Windows)
    EXPECT_EQ(W(u"%1!-4s!|", Wide({u"t"})), u"t   |");
    EXPECT_EQ(W(u"%1!.2s!", Wide({u"test"})), u"te");
    EXPECT_EQ(W(u"%1!6.2s!", Wide({u"test"})), u"    te");
    EXPECT_EQ(W(u"%1!05s!", Wide({u"ab"})), u"000ab");
    // A null entry prints "(null)", subject to the precision.
    std::vector<Argument> null(1);
    null[0].null = true;
    EXPECT_EQ(W(u"%1|%1!.3s!", null), u"(null)|(nu");
}

TEST(FormatInserts, StarsTakeTheEntriesAfterTheHighestUsed) {
    // "*" width: the insert's own entry is the width, the next the string.
    std::vector<Argument> args = Numbers({4});
    args.push_back(Wide({u"t"})[0]);
    EXPECT_EQ(W(u"%1!*s!|", args), u"   t|");
    args[0].value = 0xFFFFFFFC;  // -4: left-aligned
    EXPECT_EQ(W(u"%1!*s!|", args), u"t   |");
    // (Windows) with an argument array.
    const auto numbers = Numbers({6, 4, 2, 5, 3, 1});
    EXPECT_EQ(W(u"%1!*.*u!,%1!*.*u!", numbers), u"  0002, 00003");
    EXPECT_EQ(W(u"%1!*.*u!,%4!*.*u!", numbers), u"  0002,  001");
    EXPECT_EQ(A(u"%1!*.*u!,%4!*.*u!", numbers), u"  0002,  001");
    EXPECT_EQ(W(u"%1!***s!", numbers), kInvalid);
}

TEST(FormatInserts, IntegerConversions) {
    EXPECT_EQ(W(u"%1!d!%2!d!%3!d!", Numbers({1, 2, 3})), u"123");   // (Windows)
    EXPECT_EQ(W(u"%1!4d!|%1!-4d!|", Numbers({1})), u"   1|1   |");  // (Windows)
    EXPECT_EQ(W(u"%1!4x!|%1!4X!|%2!4X!", Numbers({11, 0x1ab})), u"   b|   B| 1AB");  // (Windows)
    EXPECT_EQ(W(u"%1!4.2u!", Numbers({3})), u"  03");  // (Windows)
    EXPECT_EQ(W(u"%1!+d!|%1! d!|%2!d!|%2!u!", Numbers({5, 0xFFFFFFFB})), u"+5| 5|-5|4294967291");
    EXPECT_EQ(W(u"%1!#x!|%1!#X!|%2!#o!|%3!#x!|%3!#o!", Numbers({255, 8, 0})), u"0xff|0XFF|010|0|0");
    EXPECT_EQ(W(u"%1!#010x!|%1!-#8x!|%1!08d!|%2!+06d!", Numbers({255, 0xFFFFFFFB})), u"0x000000ff|0xff    |00000255|-00005");
    EXPECT_EQ(W(u"[%1!.0d!][%1!+.0d!][%1!5.0d!]", Numbers({0})), u"[][+][     ]");
    EXPECT_EQ(W(u"%1!hd!|%2!hu!|%1!i!", Numbers({0x18000, 0x1FFFF})), u"-32768|65535|98304");
    // An int conversion reads the low 32 bits of the entry.
    EXPECT_EQ(W(u"%1!d!|%1!I64d!|%1!lld!|%1!Id!|%1!I32d!", Numbers({0x100000005})),
              u"5|4294967301|4294967301|4294967301|5");
    EXPECT_EQ(W(u"%1!p!|%1!#p!", Numbers({0x1234})), u"0000000000001234|0X0000000000001234");
    // 32 bits: entries are 32-bit; I64 takes the entry and a zero.
    EXPECT_EQ(A(u"%1!p!|%1!d!|%1!I64d!|%1!Id!", Numbers({0x100001234})), u"00001234|4660|4660|4660");
}

TEST(FormatInserts, Characters) {
    EXPECT_EQ(W(u"%1!c!%2!c!%3!c!%1!c!", Numbers({'t', 'e', 's'})), u"test");  // (Windows)
    // In a wide caller "C" reads the low byte as a narrow character.
    EXPECT_EQ(W(u"%1!c!|%1!C!|%1!lc!|%1!hc!", Numbers({0x3042})), u"あ|B|あ|B");
    // In an ANSI caller "c" is the narrow one.
    EXPECT_EQ(A(u"%1!c!|%1!C!", Numbers({0x3042})), u"B|あ");
    EXPECT_EQ(W(u"%1!3c!|%1!-3c!|%1!.0c!|", Numbers({'x'})), u"  x|x  ||");
    // A zero character is a NUL unit in the text.
    EXPECT_EQ(W(u"a%1!c!b", Numbers({0})), std::u16string(u"a\0b", 3));
}

TEST(FormatInserts, StringKindsOfAnsiAndWideCallers) {
    const auto wide = Wide({u"one"});
    EXPECT_EQ(W(u"%1|%1!s!|%1!S!|%1!hs!|%1!ls!|%1!ws!|%1!hS!|%1!lS!", wide), u"one|one|o|o|one|one|o|one");
    const auto narrow = Narrow({"one"});
    EXPECT_EQ(A(u"%1|%1!s!|%1!hs!|%1!hS!", narrow), u"one|one|one|one");
    // Read wide, the bytes of "one" pair up: "on" and "e" with its NUL.
    EXPECT_EQ(A(u"%1!S!|%1!ls!|%1!ws!", narrow), u"\u6E6Fe|\u6E6Fe|\u6E6Fe");
}

TEST(FormatInserts, NarrowStringsAreCp932) {
    const auto args = Narrow({"日本", "ｶﾅ"});
    EXPECT_EQ(A(u"%1 %2", args), u"日本 ｶﾅ");
    // Widths and precisions count bytes: a precision can split a character.
    EXPECT_EQ(A(u"[%1!6s!][%2!4s!][%1!.2s!][%1!.1s!]", args), u"[  日本][  ｶﾅ][日][\u30FB]");
}

TEST(FormatInserts, UnknownConversionsPrintTheirCharacter) {
    const auto args = Wide({u"one", u"two"});
    EXPECT_EQ(W(u"[%1!y!][%1!f!][%1!!][%1!-5q!][%1!5!]", args), u"[y][f][][q][]");
    // Everything between the "!" is the printf format, more conversions included.
    EXPECT_EQ(W(u"[%1!s%%!][%1!s%s!][%1!s=%d!]", args), u"[one%][one(null)][one=0]");
    EXPECT_EQ(W(u"[%1!abcdefghijklmnopqrstuvwxyz0123!]", args), u"[abcdefghijklmnopqrstuvwxyz0123]");
}

TEST(FormatInserts, RefusedPatterns) {
    const auto args = Wide({u"one"});
    EXPECT_EQ(W(u"%", args), kInvalid);            // (Windows)
    EXPECT_EQ(W(u"test%", args), kInvalid);        // (Windows)
    EXPECT_EQ(W(u"x%1!", args), kInvalid);
    EXPECT_EQ(W(u"x%1!s", args), kInvalid);
    EXPECT_EQ(W(u"x%1!s\r\n!", args), u"xone\r\n");  // the closing "!" may be on a later line
    EXPECT_EQ(W(u"[%1!abcdefghijklmnopqrstuvwxyz01234!]", args), kInvalid);  // 31 characters
    EXPECT_EQ(W(u"%1!$!", args), kTooLong);  // printf refuses positional arguments
    EXPECT_EQ(A(u"%1!-5$!", args), kTooLong);
}

TEST(FormatInserts, LengthLimit) {
    const std::string full(kAnsiMaxLength, 'a');
    EXPECT_EQ(A(u"%1", Narrow({full})).size(), kAnsiMaxLength);
    EXPECT_EQ(A(u"%1x", Narrow({full})), kTooLong);
    EXPECT_EQ(A(u"x%1", Narrow({full})), kTooLong);
    EXPECT_EQ(A(u"%1%n", Narrow({full.substr(2)})).size(), kAnsiMaxLength);
    // Huge widths and precisions fail without making the text.
    EXPECT_EQ(A(u"%1!2147483647s!", Narrow({"x"})), kTooLong);
    EXPECT_EQ(A(u"%1!.2147483647d!", Numbers({1})), kTooLong);
    EXPECT_EQ(A(u"%1!*s!", Numbers({0x7FFFFFFF, 0})), kTooLong);
    FormatOptions small = AnsiCaller();
    small.maxLength = 4;
    const auto args = Narrow({"abcd"});
    EXPECT_EQ(Format(u"%1", &args, small), u"abcd");
    EXPECT_EQ(Format(u"%1\r", &args, small), kTooLong);
}

TEST(FormatInserts, IgnoringInserts) {
    FormatOptions ignore = AnsiCaller();
    ignore.ignoreInserts = true;
    auto I = [&ignore](std::u16string_view pattern) { return Format(pattern, nullptr, ignore); };
    EXPECT_EQ(I(u"test%1%2!*.*s!%99"), u"test%1%2!*.*s!%99");  // (Windows)
    EXPECT_EQ(I(u"%%% %.%!"), u"%%% %.%!");                    // (Windows)
    EXPECT_EQ(I(u"%n%r%t"), u"\r\n\r\t");                      // (Windows)
    EXPECT_EQ(I(u"test%0test"), u"test");                      // (Windows)
    EXPECT_EQ(I(u"hi\n\r"), u"hi\r\n\r\n");
    EXPECT_EQ(I(u"%1 は有効ではありません。%"), kInvalid);
}

TEST(FormatInserts, NarrowArgumentsReadWide) {
    EXPECT_EQ(NarrowArgument("abc", 1).wide, u"\u6261c");
    EXPECT_EQ(NarrowArgument("ab", 1).wide, u"\u6261");
    EXPECT_EQ(NarrowArgument("", 1).wide, u"");
    const Argument cut = NarrowArgument(std::string("a\0b", 3), 7);
    EXPECT_EQ(cut.narrow, "a");
    EXPECT_EQ(cut.wide, u"a");
    EXPECT_EQ(cut.value, 7u);
}

}  // namespace
}  // namespace quorvin::messages
