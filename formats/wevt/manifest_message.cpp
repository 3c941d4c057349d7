// Texts of manifest-based events, read from the provider's manifest and
// message tables with our own formatter (formats/messages/format.h), as
// EvtFormatMessage formats them: inserts are wide strings (a FormatMessageW
// call), and a name's own message is taken without inserts and without the
// line break the message compiler ends it with.

#include "formats/wevt/manifest_message.h"

#include "formats/messages/format_message.h"

namespace quorvin::wevt {

namespace {

using messages::MessageTable;

messages::FormatOptions WideOptions(bool ignoreInserts) {
    messages::FormatOptions options;
    options.ansiCaller = false;
    options.ignoreInserts = ignoreInserts;
    options.pointerBits = 64;
    options.maxLength = 1u << 20;
    return options;
}

// Without the blanks and line breaks at its end.
std::u16string Trimmed(std::u16string text) {
    while (!text.empty() && (text.back() == u'\r' || text.back() == u'\n' || text.back() == u' ')) text.pop_back();
    return text;
}

// The first table of `tables` that holds message `id`; null when none does.
const MessageTable* Holder(const std::vector<const MessageTable*>& tables, std::uint32_t id,
                           const messages::Locale& locale) {
    for (const MessageTable* table : tables) {
        messages::MessageText text;
        if (table != nullptr && table->Find(id, messages::language::kUserDefault, locale, text) == 0) return table;
    }
    return nullptr;
}

// The text of message `id` without inserts, trimmed; empty when no table has it.
std::u16string NameText(const std::vector<const MessageTable*>& tables, const MessageTable* system, std::uint32_t id,
                        const messages::Locale& locale) {
    const MessageTable* table = Holder(tables, id, locale);
    if (table == nullptr && system == nullptr) return {};
    std::u16string text;
    const platform::Error error = messages::FormatTableMessage(table, table ? nullptr : system, id,
                                                               messages::language::kUserDefault, locale, nullptr,
                                                               WideOptions(true), text);
    return error == platform::error::kSuccess ? Trimmed(std::move(text)) : std::u16string();
}

// An item of the provider's table: its message's text, else its stored name.
std::u16string ItemText(const wevt::Named& item, const ManifestTexts& texts) {
    if (item.messageId != wevt::kNoMessage) {
        std::u16string text = NameText(texts.messages, nullptr, item.messageId, texts.locale);
        if (!text.empty()) return text;
    }
    return item.name;
}

const wevt::Named* FindValue(const std::vector<wevt::Named>& table, std::uint64_t value) {
    for (const wevt::Named& n : table)
        if (n.value == value) return &n;
    return nullptr;
}

// A decimal or "0x" hexadecimal number as the .evtx reader writes values.
bool ParseNumber(const std::u16string& text, std::uint64_t& value) {
    const bool hex = text.size() > 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X');
    const unsigned base = hex ? 16 : 10;
    if (text.empty() || text.size() > (hex ? 18 : 20)) return false;
    value = 0;
    for (std::size_t i = hex ? 2 : 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        unsigned digit = 16;
        if (c >= u'0' && c <= u'9') digit = c - u'0';
        else if (hex && c >= u'a' && c <= u'f') digit = c - u'a' + 10;
        else if (hex && c >= u'A' && c <= u'F') digit = c - u'A' + 10;
        if (digit >= base) return false;
        value = value * base + digit;
    }
    return true;
}

// A "%%n" value: the parameter text of n from the parameter tables, then
// the system's; the value as it is when none has it.
std::u16string ParameterValue(const std::u16string& value, const ManifestTexts& texts) {
    if (value.size() < 3 || value[0] != u'%' || value[1] != u'%') return value;
    std::string ascii;
    for (char16_t c : value) ascii.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    std::uint32_t number = 0;
    if (!messages::ParameterNumber(ascii, number)) return value;
    std::u16string text = NameText(texts.parameters, texts.system, number, texts.locale);
    return text.empty() ? value : text;
}

std::u16string ChannelText(std::uint8_t channel, const wevt::Provider& provider, const ManifestTexts& texts) {
    if (const wevt::Named* c = FindValue(provider.channels, channel)) return ItemText(*c, texts);
    switch (channel) {
    case 8: return u"System";
    case 9: return u"Application";
    case 10: return u"Security";
    default: return {};
    }
}

void NameTexts(const wevt::Event& e, const wevt::Provider& provider, const ManifestTexts& texts, ManifestMessage& out) {
    const wevt::Named* level = FindValue(provider.levels, e.level);
    out.level = level ? ItemText(*level, texts) : StandardLevel(e.level);
    if (const wevt::Named* task = FindValue(provider.tasks, e.task)) out.task = ItemText(*task, texts);
    // A task's own opcode first (the task in the high 16 bits), then one of the provider's.
    const wevt::Named* opcode = FindValue(provider.opcodes, std::uint64_t{e.task} << 16 | e.opcode);
    if (opcode == nullptr) opcode = FindValue(provider.opcodes, e.opcode);
    out.opcode = opcode ? ItemText(*opcode, texts) : StandardOpcode(e.opcode);
    out.channel = ChannelText(e.channel, provider, texts);
    for (unsigned bit = 0; bit < 64; ++bit) {
        const std::uint64_t mask = std::uint64_t{1} << bit;
        if ((e.keywords & mask) == 0) continue;
        const wevt::Named* keyword = FindValue(provider.keywords, mask);
        std::u16string text = keyword ? ItemText(*keyword, texts) : StandardKeyword(mask);
        if (!text.empty()) out.keywords.push_back(std::move(text));
    }
}

// The insert of each data item: its map applied, then "%%n" replaced.
std::vector<messages::Argument> Inserts(const wevt::Event& e, const wevt::Provider& provider,
                                        const ManifestTexts& texts, const std::vector<std::u16string>& values) {
    const wevt::Template* t = e.templateIndex >= 0 ? &provider.templates[static_cast<std::size_t>(e.templateIndex)] : nullptr;
    std::vector<messages::Argument> arguments(values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        const int map = t != nullptr && i < t->items.size() ? t->items[i].map : -1;
        std::u16string value = map >= 0 && static_cast<std::size_t>(map) < provider.maps.size()
                                   ? MapValue(provider.maps[static_cast<std::size_t>(map)], texts, values[i])
                                   : values[i];
        arguments[i].wide = ParameterValue(value, texts);
        ParseNumber(values[i], arguments[i].value);
    }
    return arguments;
}

}  // namespace

const wevt::Event* ChooseEvent(const wevt::Provider& provider, std::uint16_t id, int version, std::size_t valueCount) {
    const wevt::Event* newest = nullptr;
    const wevt::Event* counted = nullptr;
    for (const wevt::Event& e : provider.events) {
        if (e.id != id) continue;
        if (version >= 0) {
            if (e.version == version) return &e;
            continue;
        }
        if (newest == nullptr || e.version > newest->version) newest = &e;
        const std::size_t items =
            e.templateIndex >= 0 ? provider.templates[static_cast<std::size_t>(e.templateIndex)].items.size() : 0;
        if (items == valueCount && (counted == nullptr || e.version > counted->version)) counted = &e;
    }
    return counted != nullptr ? counted : newest;
}

std::u16string MapValue(const wevt::Map& map, const ManifestTexts& texts, const std::u16string& value) {
    std::uint64_t number = 0;
    if (!ParseNumber(value, number)) return value;
    std::u16string out;
    for (const wevt::MapEntry& entry : map.entries) {
        const bool match = map.bitmap ? entry.value != 0 && (number & entry.value) == entry.value : number == entry.value;
        if (!match) continue;
        const std::u16string text = NameText(texts.messages, nullptr, entry.messageId, texts.locale);
        if (text.empty()) continue;
        if (!map.bitmap) return text;
        if (!out.empty()) out.push_back(u' ');
        out += text;
    }
    return out.empty() ? value : out;
}

ManifestMessage FormatManifestEvent(const wevt::Provider& provider, const ManifestTexts& texts, std::uint16_t id,
                                    int version, const std::vector<std::u16string>& values) {
    ManifestMessage out;
    const wevt::Event* e = ChooseEvent(provider, id, version, values.size());
    if (e == nullptr) {
        out.error = manifest_error::kMessageNotFound;
        return out;
    }
    NameTexts(*e, provider, texts, out);
    const MessageTable* table = e->messageId == wevt::kNoMessage ? nullptr : Holder(texts.messages, e->messageId, texts.locale);
    if (table == nullptr) {
        bool anyTable = false;
        for (const MessageTable* t : texts.messages) anyTable = anyTable || (t != nullptr && t->TableError() == 0);
        out.error = anyTable ? manifest_error::kMessageNotFound : manifest_error::kLocaleNotFound;
        return out;
    }
    const std::vector<messages::Argument> arguments = Inserts(*e, provider, texts, values);
    out.error = messages::FormatTableMessage(table, nullptr, e->messageId, messages::language::kUserDefault,
                                             texts.locale, &arguments, WideOptions(false), out.message);
    if (out.error != platform::error::kSuccess) out.message.clear();
    return out;
}

std::u16string StandardLevel(std::uint64_t level) {
    static const char16_t* const kNames[] = {u"重大", u"エラー", u"警告", u"情報", u"詳細"};
    return level >= 1 && level <= 5 ? kNames[level - 1] : u"";
}

std::u16string StandardOpcode(std::uint64_t opcode) {
    static const char16_t* const kNames[] = {u"情報", u"開始", u"停止", u"DC 開始", u"DC 停止",
                                             u"拡張", u"応答", u"再開", u"中断", u"送信"};
    if (opcode <= 9) return kNames[opcode];
    return opcode == 240 ? u"受信" : u"";
}

std::u16string StandardKeyword(std::uint64_t mask) {
    switch (mask) {
    case 0x0001000000000000ull: return u"応答時間";
    case 0x0002000000000000ull: return u"WDI コンテキスト";
    case 0x0004000000000000ull: return u"WDI 診断";
    case 0x0008000000000000ull: return u"SQM";
    case 0x0010000000000000ull: return u"失敗の監査";
    case 0x0020000000000000ull: return u"成功の監査";
    case 0x0040000000000000ull: return u"相関ヒント";
    case 0x0080000000000000ull: return u"クラシック";
    default: return {};
    }
}

}  // namespace quorvin::wevt
