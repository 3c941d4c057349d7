// Our message-table reader and FormatMessage against Wine's FormatMessageW
// and FormatMessageA: every message of the test DLLs and of Wine's
// kernelbase.dll, wininet.dll and mferror.dll, in every language, with
// argument arrays of empty entries, percent signs and long strings; then
// insert patterns with numbers, and the fallback to the system table.
//
// Both sides get the same arguments: Wine the real pointers, ours their
// values and the memory they point at. ANSI texts are decoded with Wine's
// ANSI code page on both sides.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "formats/messages/format_message.h"
#include "support/message_files.h"

namespace quorvin::messages {
namespace {

constexpr DWORD kLookup = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY;

// A message can name inserts up to %99, and "*" widths read up to two more
// entries after that: FormatMessage reads an argument array that is shorter
// than this past its end, and its result then depends on whatever memory
// follows. Every array handed to Wine has at least this many entries.
constexpr std::size_t kArgumentsAMessageMayRead = 101;

std::u16string AnsiCodePage(std::string_view text) {
    if (text.empty()) return {};
    const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::u16string out(static_cast<std::size_t>(n), u'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), reinterpret_cast<wchar_t*>(out.data()), n);
    return out;
}

std::string ToAnsiCodePage(const std::u16string& text) {
    if (text.empty()) return {};
    const auto* w = reinterpret_cast<const wchar_t*>(text.data());
    const int n = WideCharToMultiByte(CP_ACP, 0, w, static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, w, static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

Locale ThisLocale() {
    return Locale{LANGIDFROMLCID(GetThreadLocale()), GetUserDefaultLangID(), GetSystemDefaultLangID()};
}

std::wstring WidePath(const std::string& path) { return std::wstring(path.begin(), path.end()); }

// An argument array of wide strings: the pointers for Wine, their values and
// the memory behind them for us.
struct WideArray {
    std::vector<std::u16string> strings;
    std::vector<ULONG_PTR> pointers;
    std::vector<Argument> arguments;

    explicit WideArray(std::vector<std::u16string> texts) : strings(std::move(texts)) {
        for (const std::u16string& s : strings) {
            pointers.push_back(reinterpret_cast<ULONG_PTR>(s.c_str()));
            Argument a;
            a.value = pointers.back();
            a.wide = s;
            // Read as narrow: the UTF-16LE bytes up to the first zero byte.
            for (char16_t c : s) {
                if ((c & 0xFF) == 0) break;
                a.narrow.push_back(static_cast<char>(c & 0xFF));
                if ((c >> 8) == 0) break;
                a.narrow.push_back(static_cast<char>(c >> 8));
            }
            arguments.push_back(a);
        }
    }
    WideArray(const WideArray&) = delete;
};

// Whether Wine may read `array` as a message's arguments without reading
// past its end.
::testing::AssertionResult LongEnough(const std::vector<ULONG_PTR>& array) {
    if (array.size() >= kArgumentsAMessageMayRead) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "an argument array of " << array.size() << " entries, where a message may read "
                                         << kArgumentsAMessageMayRead;
}

// An argument array of narrow strings, each followed by zero bytes so that a
// wide read of it ends where ours does; padded with empty strings to the
// entries a message may read.
struct NarrowArray {
    std::vector<std::vector<char>> buffers;
    std::vector<ULONG_PTR> pointers;
    std::vector<Argument> arguments;

    explicit NarrowArray(std::vector<std::string> texts) {
        if (texts.size() < kArgumentsAMessageMayRead) texts.resize(kArgumentsAMessageMayRead);
        for (const std::string& s : texts) {
            std::vector<char> buffer(s.begin(), s.end());
            buffer.resize(s.size() + 4, '\0');
            buffers.push_back(std::move(buffer));
        }
        for (std::size_t i = 0; i < texts.size(); ++i) {
            pointers.push_back(reinterpret_cast<ULONG_PTR>(buffers[i].data()));
            arguments.push_back(NarrowArgument(texts[i], pointers.back()));
        }
    }
};

std::vector<std::u16string> WideTexts(std::vector<std::u16string> first, std::size_t size = 256) {
    first.resize(size);
    return first;
}

FormatOptions WideCaller() {
    FormatOptions o;
    o.ansiCaller = false;
    o.pointerBits = 64;
    o.maxLength = 1 << 20;
    o.decodeNarrow = AnsiCodePage;
    return o;
}

FormatOptions AnsiCaller() {
    FormatOptions o = WideCaller();
    o.ansiCaller = true;
    o.maxLength = kAnsiMaxLength;
    return o;
}

// Conversions whose result Wine cannot give safely: "n" writes through the
// pointer, five or more conversions read past the arguments handed over.
bool UnsafeForWine(const std::u16string& pattern) {
    for (std::size_t i = 0; i + 1 < pattern.size(); ++i) {
        if (pattern[i] != u'%') continue;
        if (pattern[i + 1] == u'%') {
            ++i;
            continue;
        }
        std::size_t k = i + 1;
        while (k < pattern.size() && pattern[k] >= u'0' && pattern[k] <= u'9') ++k;
        if (k == i + 1 || k >= pattern.size() || pattern[k] != u'!') continue;
        const std::size_t end = pattern.find(u'!', k + 1);
        if (end == std::u16string::npos) continue;
        const std::u16string spec = pattern.substr(k + 1, end - k - 1);
        if (spec.find(u'n') != std::u16string::npos) return true;
        std::size_t percents = 0;
        for (char16_t c : spec) percents += c == u'%';
        if (percents >= 4) return true;
        i = end;
    }
    return false;
}

struct Counts {
    std::size_t messages = 0;
    std::size_t calls = 0;
    std::size_t skipped = 0;
};

class Module {
public:
    explicit Module(const std::string& path) : path_(path) {
        std::vector<std::uint8_t> bytes;
        if (!test::ReadBytes(path, bytes)) return;
        std::string problem;
        if (MessageTable::Load(bytes.data(), bytes.size(), table_, &problem) != 0) {
            ADD_FAILURE() << path << ": " << problem;
            return;
        }
        handle_ = LoadLibraryExW(WidePath(path).c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES | LOAD_LIBRARY_AS_DATAFILE);
        if (handle_ == nullptr) ADD_FAILURE() << "LoadLibraryExW " << path << ": " << GetLastError();
    }
    ~Module() {
        if (handle_ != nullptr) {
            EXPECT_NE(FreeLibrary(handle_), FALSE);
        }
    }
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;

    bool Ready() const { return handle_ != nullptr; }
    HMODULE Handle() const { return handle_; }
    const MessageTable& Table() const { return table_; }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
    MessageTable table_;
    HMODULE handle_ = nullptr;
};

// The message text our reader finds, for the safety checks.
std::u16string Pattern(const MessageTable& table, std::uint32_t id, WORD lang) {
    MessageText text;
    if (table.Find(id, lang, ThisLocale(), text) != 0) return {};
    return text.unicode ? text.wide : AnsiCodePage(text.narrow);
}

// One FormatMessageW call on both sides; false when skipped.
bool CompareWide(const Module& module, const MessageTable* system, std::uint32_t id, WORD lang, WideArray& args,
                 DWORD flags, Counts& counts) {
    FormatOptions options = WideCaller();
    options.ignoreInserts = (flags & FORMAT_MESSAGE_IGNORE_INSERTS) != 0;
    std::u16string ours;
    const platform::Error ourError =
        FormatTableMessage(&module.Table(), system, id, lang, ThisLocale(), &args.arguments, options, ours);
    if (ourError == platform::error::kInsufficientBuffer || UnsafeForWine(Pattern(module.Table(), id, lang))) {
        ++counts.skipped;
        return false;
    }
    if (!(flags & FORMAT_MESSAGE_IGNORE_INSERTS)) {
        EXPECT_TRUE(LongEnough(args.pointers));
    }
    wchar_t* buffer = nullptr;
    SetLastError(0);
    const DWORD n = ::FormatMessageW(flags, module.Handle(), id, lang, reinterpret_cast<LPWSTR>(&buffer), 0,
                                   reinterpret_cast<va_list*>(args.pointers.data()));
    const DWORD wineError = n == 0 ? GetLastError() : 0;
    const std::u16string wine = n == 0 ? std::u16string() : std::u16string(reinterpret_cast<char16_t*>(buffer), n);
    if (buffer != nullptr) LocalFree(buffer);
    ++counts.calls;
    EXPECT_EQ(ourError, wineError) << module.Path() << " message " << std::hex << id << " language " << lang;
    EXPECT_TRUE(ours == wine) << module.Path() << " message " << std::hex << id << " language " << lang
                              << "\n  ours: " << ToAnsiCodePage(ours) << "\n  Wine: " << ToAnsiCodePage(wine);
    return true;
}

bool CompareAnsi(const Module& module, std::uint32_t id, WORD lang, NarrowArray& args, Counts& counts) {
    std::u16string ours;
    const platform::Error ourError =
        FormatTableMessage(&module.Table(), nullptr, id, lang, ThisLocale(), &args.arguments, AnsiCaller(), ours);
    if (UnsafeForWine(Pattern(module.Table(), id, lang))) {
        ++counts.skipped;
        return false;
    }
    EXPECT_TRUE(LongEnough(args.pointers));
    char* buffer = nullptr;
    SetLastError(0);
    const DWORD n = ::FormatMessageA(kLookup, module.Handle(), id, lang, reinterpret_cast<LPSTR>(&buffer), 0,
                                   reinterpret_cast<va_list*>(args.pointers.data()));
    const DWORD wineError = n == 0 ? GetLastError() : 0;
    const std::string wine = n == 0 ? std::string() : std::string(buffer, n);
    if (buffer != nullptr) LocalFree(buffer);
    ++counts.calls;
    EXPECT_EQ(ourError, wineError) << module.Path() << " A message " << std::hex << id << " language " << lang;
    EXPECT_EQ(ToAnsiCodePage(ours), wine) << module.Path() << " A message " << std::hex << id << " language " << lang;
    return true;
}

// Every message of every language of a module, and a few numbers it lacks.
void CompareModule(const std::string& path, Counts& counts, bool allTables) {
    Module module(path);
    if (!module.Ready()) return;
    WideArray words(WideTexts({u"one", u"two", u"three", u"", u"five", u"日本語", u"seven", u"", u"nine", u"ten"}));
    WideArray percents(WideTexts({u"%1", u"100%", u"%%", u"%n", u"%0", u"%1!s!", u"%", u"!"}));
    WideArray empty(WideTexts({}));
    WideArray longer(WideTexts({std::u16string(5000, u'x'), std::u16string(40000, u'y'), u"z"}));
    NarrowArray narrow({"one", "two", "th", "", "%1", "100%", "seven", "eight", "nine", "ten", "eleven", "twelve"});

    std::vector<std::uint16_t> languages = module.Table().Languages();
    languages.push_back(language::kUserDefault);
    for (std::uint16_t lang : languages) {
        std::uint16_t chosen = 0;
        ASSERT_EQ(module.Table().SelectLanguage(lang, ThisLocale(), chosen), 0u);
        std::vector<MessageBlock> blocks;
        ASSERT_EQ(module.Table().Blocks(chosen, blocks), 0u) << path;
        std::vector<std::uint32_t> ids = {0xFFFFFFFFu, 0x7FFFFFFFu};
        for (const MessageBlock& block : blocks)
            for (std::uint64_t id = block.lowId; id <= block.highId; ++id) ids.push_back(static_cast<std::uint32_t>(id));
        const bool all = allTables || lang == language::kUserDefault;
        for (std::uint32_t id : ids) {
            bool compared = CompareWide(module, nullptr, id, lang, words, kLookup, counts);
            compared |= CompareWide(module, nullptr, id, lang, empty, kLookup, counts);
            if (all) {
                compared |= CompareWide(module, nullptr, id, lang, percents, kLookup, counts);
                compared |= CompareWide(module, nullptr, id, lang, longer, kLookup, counts);
                compared |= CompareWide(module, nullptr, id, lang, words, kLookup | FORMAT_MESSAGE_IGNORE_INSERTS, counts);
                compared |= CompareAnsi(module, id, lang, narrow, counts);
            }
            if (compared) ++counts.messages;
        }
    }
}

TEST(MessagesAgainstWine, EveryMessageOfTheTestDlls) {
    Counts counts;
    for (const char* name : {"msgtest_bilingual", "msgtest_categories", "msgtest_parameters", "msgtest_ansi32"})
        CompareModule(test::TestDllPath(name), counts, true);
    std::printf("[ compared ] test DLLs: %zu messages, %zu FormatMessage calls, %zu skipped\n", counts.messages,
                counts.calls, counts.skipped);
    EXPECT_GT(counts.messages, 60u);
}

TEST(MessagesAgainstWine, EveryMessageOfWinesDlls) {
    Counts counts;
    for (const char* name : {"kernelbase", "wininet", "mferror"}) {
        std::vector<std::uint8_t> bytes;
        if (!test::ReadBytes(test::WineDllPath(name), bytes)) GTEST_SKIP() << name << ".dll not found";
        CompareModule(test::WineDllPath(name), counts, false);
    }
    std::printf("[ compared ] Wine's DLLs: %zu messages, %zu FormatMessage calls, %zu skipped\n", counts.messages,
                counts.calls, counts.skipped);
    EXPECT_GT(counts.messages, 25000u);
}

TEST(MessagesAgainstWine, SystemTableFallback) {
    Module module(test::TestDllPath("msgtest_bilingual"));
    Module system(test::WineDllPath("kernelbase"));
    if (!module.Ready() || !system.Ready()) GTEST_SKIP() << "DLLs missing";
    WideArray words(WideTexts({u"one", u"two"}));
    Counts counts;
    for (std::uint32_t id : {2u, 5u, 53u, 87u, 193u, 1722u, 0x80070005u, 0x80070035u, 0x8007FFFFu, 0x12345u, 0xC0070005u}) {
        for (WORD lang : {language::kUserDefault, language::kEnglishUs}) {
            CompareWide(module, &system.Table(), id, lang, words, kLookup | FORMAT_MESSAGE_FROM_SYSTEM, counts);
            CompareWide(module, &system.Table(), id, lang, words,
                        kLookup | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, counts);
        }
    }
    EXPECT_EQ(counts.skipped, 0u);
}

// Insert patterns given as strings, with arrays of numbers and of strings.
TEST(MessagesAgainstWine, InsertPatterns) {
    const std::vector<std::u16string> numberPatterns = {
        u"%1!d!%2!d!%3!d!", u"%1!4d!|%1!-4d!|%1!04d!|%1!+d!|%1! d!|%1!+5d!|%1!-+5d!|%1!+05d!", u"%1!x!|%1!X!|%1!#x!|%1!#X!|%1!#o!|%1!o!",
        u"%1!#010x!|%1!-#10x!|%1!#10x!|%1!010x!|%1!.5x!|%1!8.5x!|%1!-8.5x!|%1!08.5x!", u"%1!u!|%2!u!|%2!d!|%2!i!|%2!x!",
        u"%2!hd!|%2!hu!|%2!hx!|%2!ld!|%2!lu!|%2!lld!|%2!I64d!|%2!I64x!|%2!Id!|%2!I32d!|%2!zd!|%2!jd!|%2!td!",
        u"%3!.0d!|%3!.0x!|%3!#.0x!|%3!+.0d!|%3!5.0d!|%3!#o!|%3!#x!|%3!d!", u"%1!p!|%2!p!|%1!#p!|%1!20p!|%1!-20p!|%1!.4p!",
        u"%1!c!|%4!c!|%4!C!|%4!lc!|%4!hc!|%4!wc!|%4!3c!|%4!-3c!|%4!.0c!|", u"%1!*.*u!,%1!*.*u!", u"%1!*.*u!,%4!*.*u!",
        u"%1!*d!|%1!.*d!|%5!*d!|", u"%1!y!|%1!f!|%1!e!|%1!!|%1!5!|%1!-5q!|%1!I!|%1!Iq!|%1!I6!|%1!FFd!|%1!%%!|%1!d%%!",
        u"%1!d %d %d!", u"%", u"x%1!", u"x%1!d", u"%1!***d!", u"%1!abcdefghijklmnopqrstuvwxyz0123!",
        u"%1!abcdefghijklmnopqrstuvwxyz01234!", u"%1!-123456789012345678901234567d!", u"%n%r%t% %.%!%%%q%0tail",
        u"a\r\nb\rc\nd\n\re", u"%1!d!%0", u"%0", u"%10!d!0", u"%1!d!\r\n%2!d!%n", u"%2!*d!|%2!.*d!|",
    };
    // Widths that wrap around in printf's int fields: only FormatMessageA,
    // whose fixed buffer bounds what Wine makes of them, is asked.
    const std::vector<std::u16string> wrappingPatterns = {
        u"%1!2147483648d!|", u"%1!-2147483649d!|", u"%1!+2147483648d!|",
        u"%1!-+2147483648d!|", u"%1!4294967302d!|", u"%1!-4294967302d!|",
    };
    std::vector<Argument> numbers;
    std::vector<ULONG_PTR> values = {6, 0xFFFFFFFB, 0, 0x3042, 3, 1, 0x100000005, 0x8000000000000000, 12, 13, 14};
    values.resize(120, 7);
    for (ULONG_PTR v : values) {
        Argument a;
        a.value = v;
        numbers.push_back(a);
    }

    WideArray strings(WideTexts({u"one", u"", u"日本", u"twenty characters..", u"%1", u"\u3042b"}, 120));
    const std::vector<std::u16string> stringPatterns = {
        u"%1|%2|%3|%4|%5|%6", u"%1!s!|%1!10s!|%1!-10s!|%1!.2s!|%1!10.2s!|%1!010s!|%1!.0s!|%2!5s!",
        u"%1!S!|%1!hs!|%1!ls!|%1!ws!|%1!hS!|%1!lS!|%6!S!|%6!hs!|%3!S!", u"%1!s%s!|%1!s=%d!|%1!s%%!|%1!s%S!",
        u"%10|%99|%1!*s!", u"%1 %2 %1 %3 %12 %13",
    };

    Counts counts;
    for (DWORD extra : {DWORD{0}, DWORD{FORMAT_MESSAGE_IGNORE_INSERTS}}) {
        for (bool ansi : {false, true}) {
            FormatOptions options = ansi ? AnsiCaller() : WideCaller();
            options.ignoreInserts = extra != 0;
            auto run = [&](const std::u16string& pattern, const std::vector<Argument>& args, const ULONG_PTR* array) {
                std::u16string ours;
                const platform::Error ourError = FormatInserts(pattern, &args, options, ours);
                if (ourError == platform::error::kSuccess && ours.empty()) return;  // Wine: no work done
                if (!ansi && ourError == platform::error::kInsufficientBuffer) return;
                EXPECT_TRUE(LongEnough(std::vector<ULONG_PTR>(array, array + args.size())));
                const DWORD flags = FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ALLOCATE_BUFFER |
                                    FORMAT_MESSAGE_ARGUMENT_ARRAY | extra;
                SetLastError(0);
                DWORD wineError = 0;
                if (ansi) {
                    const std::string source = ToAnsiCodePage(pattern);
                    char* buffer = nullptr;
                    const DWORD n = ::FormatMessageA(flags, source.c_str(), 0, 0, reinterpret_cast<LPSTR>(&buffer), 0,
                                                   reinterpret_cast<va_list*>(const_cast<ULONG_PTR*>(array)));
                    if (n == 0) wineError = GetLastError();
                    const std::string wine = n == 0 ? std::string() : std::string(buffer, n);
                    if (buffer != nullptr) LocalFree(buffer);
                    EXPECT_EQ(ToAnsiCodePage(ours), wine) << "A pattern " << ToAnsiCodePage(pattern);
                } else {
                    wchar_t* buffer = nullptr;
                    const DWORD n = ::FormatMessageW(flags, pattern.c_str(), 0, 0, reinterpret_cast<LPWSTR>(&buffer), 0,
                                                   reinterpret_cast<va_list*>(const_cast<ULONG_PTR*>(array)));
                    if (n == 0) wineError = GetLastError();
                    const std::u16string wine =
                        n == 0 ? std::u16string() : std::u16string(reinterpret_cast<char16_t*>(buffer), n);
                    if (buffer != nullptr) LocalFree(buffer);
                    EXPECT_TRUE(ours == wine) << "W pattern " << ToAnsiCodePage(pattern) << "\n  ours: "
                                              << ToAnsiCodePage(ours) << "\n  Wine: " << ToAnsiCodePage(wine);
                }
                EXPECT_EQ(ourError, wineError) << (ansi ? "A" : "W") << " pattern " << ToAnsiCodePage(pattern);
                ++counts.calls;
            };
            for (const std::u16string& p : numberPatterns) run(p, numbers, values.data());
            if (ansi)
                for (const std::u16string& p : wrappingPatterns) run(p, numbers, values.data());
            for (const std::u16string& p : stringPatterns) {
                if (ansi) {
                    NarrowArray narrow({"one", "", "abc", "twenty characters..", "%1", "ab"});
                    narrow.pointers.resize(120, narrow.pointers[1]);
                    narrow.arguments.resize(120, narrow.arguments[1]);
                    run(p, narrow.arguments, narrow.pointers.data());
                } else {
                    run(p, strings.arguments, strings.pointers.data());
                }
            }
        }
    }
    std::printf("[ compared ] insert patterns: %zu FormatMessage calls\n", counts.calls);
    EXPECT_GT(counts.calls, 100u);
}

}  // namespace
}  // namespace quorvin::messages
