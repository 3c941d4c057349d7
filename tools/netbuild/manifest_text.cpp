#include "tools/netbuild/manifest_text.h"

#include "core/cp932.h"
#include "formats/evtx/evtx.h"
#include "formats/ini.h"

#include <algorithm>
#include <map>

namespace quorvin::network {

namespace {

using wevt::Element;

struct TypeName {
    const char* name;
    std::uint8_t type;
};
constexpr TypeName kTypes[] = {
    {"string", evtx::type::kString},     {"ansistring", evtx::type::kAnsiString}, {"int8", evtx::type::kInt8},
    {"uint8", evtx::type::kUInt8},       {"int16", evtx::type::kInt16},           {"uint16", evtx::type::kUInt16},
    {"int32", evtx::type::kInt32},       {"uint32", evtx::type::kUInt32},         {"int64", evtx::type::kInt64},
    {"uint64", evtx::type::kUInt64},     {"float", evtx::type::kFloat},           {"double", evtx::type::kDouble},
    {"boolean", evtx::type::kBool},      {"binary", evtx::type::kBinary},         {"guid", evtx::type::kGuid},
    {"sizet", evtx::type::kSizeT},       {"filetime", evtx::type::kFileTime},     {"systemtime", evtx::type::kSysTime},
    {"sid", evtx::type::kSid},           {"hexint32", evtx::type::kHexInt32},     {"hexint64", evtx::type::kHexInt64},
};

bool ParseU64(const std::string& s, std::uint64_t& value) {
    const bool hex = s.size() > 2 && s.compare(0, 2, "0x") == 0;
    if (s.empty() || s.size() > (hex ? 18u : 20u)) return false;
    value = 0;
    for (std::size_t i = hex ? 2 : 0; i < s.size(); ++i) {
        const char c = static_cast<char>(s[i] | 0x20);
        const int digit = c >= '0' && c <= '9' ? c - '0' : hex && c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
        if (digit < 0 || (!hex && value > (~0ull - static_cast<unsigned>(digit)) / 10)) return false;
        value = value * (hex ? 16 : 10) + static_cast<unsigned>(digit);
    }
    return true;
}

std::u16string Wide(const std::string& utf8) { return text::ToUtf16(text::Utf8ToCp932(utf8)); }

// The XML of a template: EventData with a named Data for each item.
std::vector<std::uint8_t> TemplateXml(const std::vector<wevt::DataItem>& items) {
    std::vector<evtx::Node> data;
    for (std::size_t i = 0; i < items.size(); ++i)
        data.push_back(evtx::Element(u"Data", {{u"Name", {evtx::Text(items[i].name)}}},
                                     {evtx::Sub(static_cast<std::uint16_t>(i), items[i].inType)}));
    return evtx::WriteInlineXml(evtx::Element(u"EventData", {}, std::move(data)));
}

class ManifestParser {
public:
    explicit ManifestParser(wevt::Manifest& m) : m_(m) {}
    bool Line(std::size_t number, std::vector<std::string> tokens, std::string& error);
    bool Finish(std::string& error);

private:
    bool Fail(const std::string& what) {
        *error_ = "line " + std::to_string(line_) + ": " + what;
        return false;
    }
    // The options after the positional arguments: name=value, or a flag.
    bool Options(std::size_t from, std::map<std::string, std::string>& options, const std::vector<std::string>& allowed);
    bool Number(const std::map<std::string, std::string>& options, const char* name, std::uint64_t most, std::uint64_t& value);
    wevt::Provider* Provider() { return m_.providers.empty() ? nullptr : &m_.providers.back(); }
    bool NamedLine(const std::string& keyword);
    bool MapLine();
    bool EntryLine();
    bool TemplateLine();
    bool DataLine();
    bool EventLine();
    void CloseTemplate();

    wevt::Manifest& m_;
    std::vector<std::string> tokens_;
    std::size_t line_ = 0;
    std::string* error_ = nullptr;
    std::vector<std::string> mapNames_, templateNames_;  // of the current provider
    bool inMap_ = false, inTemplate_ = false;
};

bool ManifestParser::Options(std::size_t from, std::map<std::string, std::string>& options,
                             const std::vector<std::string>& allowed) {
    for (std::size_t i = from; i < tokens_.size(); ++i) {
        const std::size_t equals = tokens_[i].find('=');
        const std::string name = tokens_[i].substr(0, equals);
        if (std::find(allowed.begin(), allowed.end(), name) == allowed.end() || options.count(name))
            return Fail("unexpected \"" + tokens_[i] + "\"");
        options[name] = equals == std::string::npos ? "" : tokens_[i].substr(equals + 1);
    }
    return true;
}

bool ManifestParser::Number(const std::map<std::string, std::string>& options, const char* name, std::uint64_t most,
                            std::uint64_t& value) {
    const auto found = options.find(name);
    if (found == options.end()) return true;
    if (!ParseU64(found->second, value) || value > most) return Fail(std::string("bad ") + name + "=" + found->second);
    return true;
}

void ManifestParser::CloseTemplate() {
    if (!inTemplate_) return;
    wevt::Template& t = Provider()->templates.back();
    t.xml = TemplateXml(t.items);
    inTemplate_ = false;
}

// channel, level, task, opcode, keyword: VALUE NAME [task=N] [message=N].
bool ManifestParser::NamedLine(const std::string& keyword) {
    std::map<std::string, std::string> options;
    std::uint64_t value = 0, task = 0, message = wevt::kNoMessage;
    if (tokens_.size() < 3 || !ParseU64(tokens_[1], value))
        return Fail("expected " + keyword + " VALUE NAME [message=N]");
    if (!Options(3, options, keyword == "opcode" ? std::vector<std::string>{"task", "message"}
                                                 : std::vector<std::string>{"message"}) ||
        !Number(options, "message", 0xFFFFFFFFu, message) || !Number(options, "task", 0xFFFF, task))
        return false;
    const std::uint64_t most = keyword == "keyword" ? ~0ull : keyword == "task" ? 0xFFFF : 0xFF;
    if (value > most) return Fail("the " + keyword + " value is too large");
    wevt::Named named;
    named.value = keyword == "opcode" ? task << 16 | value : value;
    named.messageId = static_cast<std::uint32_t>(message);
    named.name = Wide(tokens_[2]);
    wevt::Provider& p = *Provider();
    static const std::pair<const char*, Element> kKinds[] = {{"channel", Element::kChannels},
                                                             {"level", Element::kLevels},
                                                             {"task", Element::kTasks},
                                                             {"opcode", Element::kOpcodes},
                                                             {"keyword", Element::kKeywords}};
    std::vector<wevt::Named>* tables[] = {&p.channels, &p.levels, &p.tasks, &p.opcodes, &p.keywords};
    for (std::size_t k = 0; k < 5; ++k)
        if (keyword == kKinds[k].first) {
            p.Set(kKinds[k].second);
            tables[k]->push_back(std::move(named));
        }
    return true;
}

bool ManifestParser::MapLine() {
    if (tokens_.size() < 2 || tokens_.size() > 3 || (tokens_.size() == 3 && tokens_[2] != "bitmap"))
        return Fail("expected map NAME [bitmap]");
    if (std::find(mapNames_.begin(), mapNames_.end(), tokens_[1]) != mapNames_.end())
        return Fail("map " + tokens_[1] + " given twice");
    wevt::Map map;
    map.bitmap = tokens_.size() == 3;
    map.name = Wide(tokens_[1]);
    Provider()->maps.push_back(std::move(map));
    Provider()->Set(Element::kMaps);
    mapNames_.push_back(tokens_[1]);
    inMap_ = true;
    return true;
}

bool ManifestParser::EntryLine() {
    std::map<std::string, std::string> options;
    std::uint64_t value = 0, message = wevt::kNoMessage;
    if (tokens_.size() < 2 || !ParseU64(tokens_[1], value) || value > 0xFFFFFFFFu)
        return Fail("expected entry VALUE message=N");
    if (!Options(2, options, {"message"}) || !Number(options, "message", 0xFFFFFFFFu, message)) return false;
    Provider()->maps.back().entries.push_back({static_cast<std::uint32_t>(value), static_cast<std::uint32_t>(message)});
    return true;
}

bool ManifestParser::TemplateLine() {
    if (tokens_.size() != 2) return Fail("expected template NAME");
    if (std::find(templateNames_.begin(), templateNames_.end(), tokens_[1]) != templateNames_.end())
        return Fail("template " + tokens_[1] + " given twice");
    wevt::Provider& p = *Provider();
    wevt::Template t;
    t.guid = p.guid;
    t.guid[15] = static_cast<std::uint8_t>(t.guid[15] ^ (p.templates.size() + 1));
    t.guid[14] = static_cast<std::uint8_t>(t.guid[14] ^ ((p.templates.size() + 1) >> 8));
    p.templates.push_back(std::move(t));
    templateNames_.push_back(tokens_[1]);
    inTemplate_ = true;
    return true;
}

bool ManifestParser::DataLine() {
    std::map<std::string, std::string> options;
    if (tokens_.size() < 3) return Fail("expected data NAME TYPE [map=NAME]");
    const auto type = std::find_if(std::begin(kTypes), std::end(kTypes), [&](const TypeName& t) { return tokens_[2] == t.name; });
    if (type == std::end(kTypes)) return Fail("unknown data type \"" + tokens_[2] + "\"");
    if (!Options(3, options, {"map"})) return false;
    wevt::DataItem item;
    item.name = Wide(tokens_[1]);
    item.inType = type->type;
    item.outType = 1;
    if (options.count("map")) {
        const auto map = std::find(mapNames_.begin(), mapNames_.end(), options["map"]);
        if (map == mapNames_.end()) return Fail("no map " + options["map"] + " above");
        item.map = static_cast<int>(map - mapNames_.begin());
    }
    Provider()->templates.back().items.push_back(std::move(item));
    return true;
}

bool ManifestParser::EventLine() {
    std::map<std::string, std::string> options;
    std::uint64_t id = 0, version = 0, channel = 0, level = 0, task = 0, opcode = 0, keywords = 0,
                  message = wevt::kNoMessage;
    if (tokens_.size() < 2 || !ParseU64(tokens_[1], id) || id > 0xFFFF) return Fail("expected event ID (0 to 65535) ...");
    if (!Options(2, options, {"version", "channel", "level", "task", "opcode", "keywords", "message", "template"}) ||
        !Number(options, "version", 0xFF, version) || !Number(options, "channel", 0xFF, channel) ||
        !Number(options, "level", 0xFF, level) || !Number(options, "task", 0xFFFF, task) ||
        !Number(options, "opcode", 0xFF, opcode) || !Number(options, "keywords", ~0ull, keywords) ||
        !Number(options, "message", 0xFFFFFFFFu, message))
        return false;
    wevt::Event e;
    e.id = static_cast<std::uint16_t>(id);
    e.version = static_cast<std::uint8_t>(version);
    e.channel = static_cast<std::uint8_t>(channel);
    e.level = static_cast<std::uint8_t>(level);
    e.task = static_cast<std::uint16_t>(task);
    e.opcode = static_cast<std::uint8_t>(opcode);
    e.keywords = keywords;
    e.messageId = static_cast<std::uint32_t>(message);
    if (options.count("template")) {
        const auto t = std::find(templateNames_.begin(), templateNames_.end(), options["template"]);
        if (t == templateNames_.end()) return Fail("no template " + options["template"] + " above");
        e.templateIndex = static_cast<int>(t - templateNames_.begin());
    }
    for (const wevt::Event& other : Provider()->events)
        if (other.id == e.id && other.version == e.version) return Fail("event " + tokens_[1] + " of that version given twice");
    Provider()->events.push_back(e);
    return true;
}

bool ManifestParser::Line(std::size_t number, std::vector<std::string> tokens, std::string& error) {
    line_ = number;
    error_ = &error;
    tokens_ = std::move(tokens);
    const std::string& keyword = tokens_[0];
    if (keyword == "entry") return inMap_ ? EntryLine() : Fail("\"entry\" outside a map");
    if (keyword == "data") return inTemplate_ ? DataLine() : Fail("\"data\" outside a template");
    inMap_ = false;
    CloseTemplate();
    if (keyword == "provider") {
        std::map<std::string, std::string> options;
        std::uint64_t message = wevt::kNoMessage;
        wevt::Provider p;
        if (tokens_.size() < 3 || tokens_[1].size() != 38 || !wevt::ParseGuid(Wide(tokens_[1]), p.guid))
            return Fail("expected provider {GUID} NAME [message=N]");
        if (!Options(3, options, {"message"}) || !Number(options, "message", 0xFFFFFFFFu, message)) return false;
        if (m_.Find(p.guid)) return Fail("provider " + tokens_[1] + " given twice");
        p.messageId = static_cast<std::uint32_t>(message);
        p.Set(Element::kEvents);
        p.Set(Element::kTemplates);
        m_.providers.push_back(std::move(p));
        mapNames_.clear();
        templateNames_.clear();
        return true;
    }
    if (!Provider()) return Fail("\"" + keyword + "\" before any provider");
    if (keyword == "map") return MapLine();
    if (keyword == "template") return TemplateLine();
    if (keyword == "event") return EventLine();
    for (const char* named : {"channel", "level", "task", "opcode", "keyword"})
        if (keyword == named) return NamedLine(keyword);
    return Fail("unknown keyword \"" + keyword + "\"");
}

bool ManifestParser::Finish(std::string& error) {
    CloseTemplate();
    if (m_.providers.empty()) {
        error = "the manifest has no provider";
        return false;
    }
    return true;
}

}  // namespace

bool ParseManifestText(std::string_view utf8, wevt::Manifest& manifest, std::string& error) {
    manifest = wevt::Manifest{};
    if (utf8.substr(0, 3) == "\xEF\xBB\xBF") utf8.remove_prefix(3);
    ManifestParser parser(manifest);
    std::size_t number = 0;
    while (!utf8.empty()) {
        ++number;
        const std::size_t end = utf8.find('\n');
        const std::string_view line = utf8.substr(0, end);
        utf8.remove_prefix(end == std::string_view::npos ? utf8.size() : end + 1);
        std::vector<std::string> tokens;
        for (std::size_t i = 0; i < line.size();) {
            const std::size_t start = line.find_first_not_of(" \t\r", i);
            if (start == std::string_view::npos) break;
            const std::size_t stop = std::min(line.find_first_of(" \t\r", start), line.size());
            tokens.emplace_back(line.substr(start, stop - start));
            i = stop;
        }
        if (tokens.empty() || tokens[0][0] == '#') continue;
        if (!parser.Line(number, std::move(tokens), error)) return false;
    }
    return parser.Finish(error);
}

}  // namespace quorvin::network
