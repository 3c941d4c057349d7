#include "platform/messages/format_message.h"

#include "platform/text/cp932.h"

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
    return bytes.substr(0, bytes.find('\0'));
}

}  // namespace

platform::Error FormatTableMessage(const MessageTable* module, const MessageTable* system, std::uint32_t id,
                                   std::uint16_t language, const Locale& locale,
                                   const std::vector<Argument>* arguments, const FormatOptions& options,
                                   std::u16string& text) {
    text.clear();
    if (module == nullptr && system == nullptr) return perror::kInvalidParameter;
    MessageText entry;
    platform::Error e = perror::kInvalidParameter;
    if (module != nullptr) e = module->Find(id, language, locale, entry);
    if (e != perror::kSuccess && system != nullptr) e = system->Find(FoldWin32HResult(id), language, locale, entry);
    if (e != perror::kSuccess) return e;

    e = FormatInserts(EntryText(entry, options), arguments, options, text);
    if (e != perror::kSuccess) return e;
    if (text.empty()) return error::kNoWorkDone;
    return perror::kSuccess;
}

platform::Error FormatMessageA(const MessageTable* module, std::uint32_t id, const std::vector<std::string>* arguments,
                               std::string& text) {
    text.clear();
    std::vector<Argument> entries;
    if (arguments != nullptr) {
        entries.reserve(arguments->size());
        for (std::size_t i = 0; i < arguments->size(); ++i)
            entries.push_back(NarrowArgument((*arguments)[i], kArgumentAddress + 16 * static_cast<std::uint64_t>(i)));
    }
    std::u16string wide;
    const platform::Error e = FormatTableMessage(module, &SystemMessageTable(), id, language::kUserDefault, Locale{},
                                                 arguments != nullptr ? &entries : nullptr, CollectorOptions(), wide);
    if (e != perror::kSuccess) return e;
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

}  // namespace quorvin::messages
