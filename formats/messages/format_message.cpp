#include "formats/messages/format_message.h"

#include <algorithm>

#include "core/cp932.h"

namespace quorvin::messages {

namespace {

namespace perror = platform::error;

// HRESULT_FROM_WIN32 codes: severity error, facility 7.
std::uint32_t FoldWin32HResult(std::uint32_t id) {
    const bool severityError = (id >> 31) == 1;
    const bool facilityWin32 = ((id >> 16) & 0x1FFF) == 7;
    return severityError && facilityWin32 ? (id & 0xFFFF) : id;
}

std::u16string EntryText(const MessageText& entry, const FormatOptions& options) {
    if (entry.unicode) return entry.wide;
    return options.decodeNarrow != nullptr ? options.decodeNarrow(entry.narrow) : text::ToUtf16(entry.narrow);
}

FormatOptions CollectorOptions() {
    FormatOptions options;
    options.ansiCaller = true;
    options.pointerBits = 32;
    options.maxLength = kAnsiMaxLength;
    return options;
}

std::string ToCallerText(const std::u16string& text) {
    std::string bytes = text::FromUtf16(text);
    const std::size_t zero = bytes.find('\0');
    if (zero != std::string::npos) bytes.resize(zero);
    return bytes;
}

}  // namespace

namespace {

// The message `id` of the first module table that holds it, or of the
// system's table when none does; without the system's table, the first
// module's error when none holds it; 87 with no table at all.
platform::Error LookUp(const std::vector<const MessageTable*>& modules, const MessageTable* system, std::uint32_t id,
                       std::uint16_t language, const Locale& locale, MessageText& entry) {
    platform::Error first = perror::kSuccess;
    for (const MessageTable* module : modules) {
        if (module == nullptr) continue;
        const platform::Error e = module->Find(id, language, locale, entry);
        if (e == perror::kSuccess) return e;
        if (first == perror::kSuccess) first = e;
    }
    // With the system's table, its lookup's error is the answer when both failed.
    if (system != nullptr) return system->Find(FoldWin32HResult(id), language, locale, entry);
    return first != perror::kSuccess ? first : perror::kInvalidParameter;
}

platform::Error LookUp(const MessageTable* module, const MessageTable* system, std::uint32_t id,
                       std::uint16_t language, const Locale& locale, MessageText& entry) {
    std::vector<const MessageTable*> modules;
    if (module != nullptr) modules.push_back(module);
    return LookUp(modules, system, id, language, locale, entry);
}

platform::Error FormatEntry(const std::u16string& pattern, const std::vector<Argument>* arguments,
                            const FormatOptions& options, std::u16string& text) {
    const platform::Error e = FormatInserts(pattern, arguments, options, text);
    if (e != perror::kSuccess) return e;
    if (text.empty()) return error::kNoWorkDone;
    return perror::kSuccess;
}

// How many argument entries `pattern` can read: its highest insert number
// (%1 to %99), two more for "*" width and precision and one for the high
// half of a 64-bit number read from 32-bit entries.
std::size_t EntriesRead(const std::u16string& pattern) {
    std::size_t highest = 0;
    for (std::size_t i = 0; i + 1 < pattern.size(); ++i) {
        if (pattern[i] != u'%' || pattern[i + 1] < u'1' || pattern[i + 1] > u'9') continue;
        std::size_t number = static_cast<std::size_t>(pattern[i + 1] - u'0');
        if (i + 2 < pattern.size() && pattern[i + 2] >= u'0' && pattern[i + 2] <= u'9')
            number = number * 10 + static_cast<std::size_t>(pattern[i + 2] - u'0');
        if (number > highest) highest = number;
    }
    return highest == 0 ? 0 : highest + 3;
}

}  // namespace

platform::Error FormatTableMessage(const MessageTable* module, const MessageTable* system, std::uint32_t id,
                                   std::uint16_t language, const Locale& locale,
                                   const std::vector<Argument>* arguments, const FormatOptions& options,
                                   std::u16string& text) {
    text.clear();
    MessageText entry;
    if (const platform::Error e = LookUp(module, system, id, language, locale, entry)) return e;
    return FormatEntry(EntryText(entry, options), arguments, options, text);
}

platform::Error FormatMessageA(const MessageTable* module, std::uint32_t id, const std::vector<std::string>* arguments,
                               std::string& text) {
    std::vector<const MessageTable*> modules;
    if (module != nullptr) modules.push_back(module);
    return FormatMessageA(modules, &SystemMessageTable(), id, arguments, text);
}

platform::Error FormatMessageA(const std::vector<const MessageTable*>& modules, const MessageTable* system,
                               std::uint32_t id, const std::vector<std::string>* arguments, std::string& text,
                               bool* found, const Locale& locale) {
    text.clear();
    if (found != nullptr) *found = false;
    const FormatOptions options = CollectorOptions();
    MessageText entry;
    if (const platform::Error e = LookUp(modules, system, id, language::kUserDefault, locale, entry)) return e;
    if (found != nullptr) *found = true;
    // A wide entry is formatted where it is; a narrow one is decoded first.
    std::u16string decoded;
    if (!entry.unicode) decoded = EntryText(entry, options);
    const std::u16string& pattern = entry.unicode ? entry.wide : decoded;

    // Only the entries the message can read are converted; an array of
    // strings is never read past them.
    std::vector<Argument> entries;
    if (arguments != nullptr) {
        const std::size_t count = std::min(arguments->size(), EntriesRead(pattern));
        entries.reserve(count);
        for (std::size_t i = 0; i < count; ++i)
            entries.push_back(NarrowArgument((*arguments)[i], kArgumentAddress + 16 * static_cast<std::uint64_t>(i)));
    }
    std::u16string wide;
    if (const platform::Error e = FormatEntry(pattern, arguments != nullptr ? &entries : nullptr, options, wide))
        return e;
    text = ToCallerText(wide);
    return perror::kSuccess;
}

std::string SystemErrorText(std::uint32_t code) {
    FormatOptions options = CollectorOptions();
    options.ignoreInserts = true;
    std::u16string wide;
    if (FormatTableMessage(nullptr, &SystemMessageTable(), code, language::kUserDefault, Locale{}, nullptr, options,
                           wide) != perror::kSuccess)
        return {};
    return ToCallerText(wide);
}

bool ParameterNumber(const std::string& text, std::uint32_t& number) {
    if (text.size() < 2 || text[0] != '%' || text[1] != '%') return false;
    // strtol reads up to the first NUL; the C locale's white space comes first.
    const char* p = text.c_str() + 2;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    // The magnitude, held only up to one past the limit of a 32-bit long.
    constexpr std::int64_t kLimit = std::int64_t{1} << 31;
    std::int64_t magnitude = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        if (magnitude <= kLimit) magnitude = magnitude * 10 + (*p - '0');
    }
    std::int64_t value = negative ? -magnitude : magnitude;
    if (value > kLimit - 1) value = kLimit - 1;
    if (value < -kLimit) value = -kLimit;
    number = static_cast<std::uint32_t>(static_cast<std::int32_t>(value));
    return true;
}

}  // namespace quorvin::messages
