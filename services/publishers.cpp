// A computer's publishers: the registration read from its registry, the
// manifest from the resource module (or, on Windows 10 and later, from the
// .mun file the resources were moved to), the message and parameter tables
// through a message service of the catalog's own that follows the
// computer's language files.

#include "services/publishers.h"

#include "core/cp932.h"
#include "formats/messages/format_message.h"
#include "formats/wevt/manifest_message.h"

namespace quorvin::platform {

namespace {

constexpr std::uint32_t kValueBuffer = 2048;
constexpr std::uint64_t kMessageCacheBudget = std::uint64_t{8} << 20;
constexpr const char* kNoRoot = "C:\\Windows";

// A REG_SZ or REG_EXPAND_SZ value up to its first NUL; false when it is
// missing, of another type, empty or longer than kValueBuffer.
bool ReadText(RegistryKey& key, const std::string& name, std::string& text) {
    std::vector<std::uint8_t> buffer(kValueBuffer);
    std::uint32_t type = 0;
    std::uint32_t size = kValueBuffer;
    text.clear();
    if (key.QueryValue(name, type, buffer.data(), size) != error::kSuccess) return false;
    if (type != regtype::kSz && type != regtype::kExpandSz) return false;
    std::size_t length = 0;
    while (length < size && length < kValueBuffer && buffer[length] != 0) ++length;
    text.assign(reinterpret_cast<const char*>(buffer.data()), length);
    return !text.empty();
}

bool ReadKeyText(RegistryKey& machine, const std::string& path, const std::string& name, std::string& text) {
    std::unique_ptr<RegistryKey> key;
    if (machine.OpenKey(path, key) != error::kSuccess || !key) return false;
    return ReadText(*key, name, text);
}

// Where the last backslash of its own is (not the trail byte of a
// double-byte character such as "ソ"); npos when there is none.
std::size_t LastBackslash(const std::string& text) {
    std::size_t last = std::string::npos;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (text::IsLeadByte(c)) ++i;
        else if (c == '\\') last = i;
    }
    return last;
}

bool SameAscii(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (fold(a[i]) != fold(b[i])) return false;
    }
    return true;
}

// The value of a variable on the computer; false for one not known here.
bool Variable(const std::string& name, const std::string& systemRoot, std::string& value) {
    const std::string drive = systemRoot.size() >= 2 && systemRoot[1] == ':' ? systemRoot.substr(0, 2) : "C:";
    const std::pair<const char*, std::string> known[] = {
        {"SystemRoot", systemRoot},
        {"windir", systemRoot},
        {"SystemDrive", drive},
        {"ProgramFiles", drive + "\\Program Files"},
        {"ProgramFiles(x86)", drive + "\\Program Files (x86)"},
        {"CommonProgramFiles", drive + "\\Program Files\\Common Files"},
        {"ProgramData", drive + "\\ProgramData"},
    };
    for (const auto& k : known) {
        if (!SameAscii(name, k.first)) continue;
        value = k.second;
        return true;
    }
    return false;
}

// No system table behind the catalog's message service: the manifest's
// texts take the system's table themselves, for "%%n" only.
class NoSystemMessages final : public SystemMessages {
public:
    Error Format(std::uint32_t, const std::vector<std::string>*, std::string& text) override {
        text.clear();
        return error::kMessageNotFound;
    }
    std::string ErrorText(Error) override { return {}; }
};

NoSystemMessages& NoSystem() {
    static NoSystemMessages none;
    return none;
}

// The language number in the registry's "0411" form; 0 when it is none.
std::uint16_t HexLanguage(const std::string& text) {
    std::uint32_t value = 0;
    if (text.empty() || text.size() > 4) return 0;
    for (char c : text) {
        const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10
                        : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
        if (digit < 0) return 0;
        value = value << 4 | static_cast<std::uint32_t>(digit);
    }
    return static_cast<std::uint16_t>(value);
}

// ASCII text of a UTF-16 field; false when it holds anything else.
bool AsciiOf(std::u16string_view text, std::string& out) {
    out.clear();
    for (char16_t c : text) {
        if (c >= 0x80) return false;
        out.push_back(static_cast<char>(c));
    }
    return true;
}

// A decimal field of at most `most`; -1 when it is missing or no such number.
long DecimalField(std::u16string_view text, long most) {
    if (text.empty() || text.size() > 10) return -1;
    long value = 0;
    for (char16_t c : text) {
        if (c < u'0' || c > u'9') return -1;
        value = value * 10 + (c - u'0');
        if (value > most) return -1;
    }
    return value;
}

}  // namespace

struct PublisherCatalog::Provider {
    Error error = error::kPublisherMetadataNotFound;
    wevt::Manifest manifest;
    const wevt::Provider* provider = nullptr;
    std::unique_ptr<MessageModule> messageFile, parameterFile;
    wevt::ManifestTexts texts;
};

std::string PublisherKeyPath(const std::string& providerGuid) {
    return "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WINEVT\\Publishers\\" + providerGuid;
}

std::string ExpandOnComputer(const std::string& value, const std::string& systemRoot) {
    const std::string text = LastBackslash(value) == std::string::npos ? "%SystemRoot%\\System32\\" + value : value;
    std::string out;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t open = text.find('%', at);
        const std::size_t close = open == std::string::npos ? open : text.find('%', open + 1);
        if (close == std::string::npos) break;
        out.append(text, at, open - at);
        std::string replaced;
        if (Variable(text.substr(open + 1, close - open - 1), systemRoot, replaced)) {
            out += replaced;
            at = close + 1;
        } else {
            out.append(text, open, close + 1 - open);  // as it is; the scan goes on after it
            at = close + 1;
        }
    }
    out.append(text, at, std::string::npos);
    return out;
}

std::string LanguageName(std::uint16_t language) {
    static const std::pair<std::uint16_t, const char*> kNames[] = {
        {0x0404, "zh-TW"}, {0x0407, "de-DE"}, {0x0409, "en-US"}, {0x040C, "fr-FR"}, {0x0410, "it-IT"},
        {0x0411, "ja-JP"}, {0x0412, "ko-KR"}, {0x0416, "pt-BR"}, {0x0419, "ru-RU"}, {0x0804, "zh-CN"},
        {0x0809, "en-GB"}, {0x0C0A, "es-ES"}};
    for (const auto& n : kNames)
        if (n.first == language) return n.second;
    return {};
}

PublisherCatalog::PublisherCatalog(RegistryKey& machine, FileAccess& files) : machine_(machine), files_(files) {}

PublisherCatalog::~PublisherCatalog() = default;

std::string PublisherCatalog::SystemRoot() {
    if (!systemRoot_.empty()) return systemRoot_;
    if (!ReadKeyText(machine_, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", "SystemRoot", systemRoot_))
        systemRoot_ = kNoRoot;
    return systemRoot_;
}

void PublisherCatalog::Load(const std::string& guidText, const wevt::Guid& guid, Provider& provider) {
    std::unique_ptr<RegistryKey> key;
    if (machine_.OpenKey(PublisherKeyPath(guidText), key) != error::kSuccess || !key) return;
    std::string value;
    if (!ReadText(*key, "ResourceFileName", value)) return;
    const std::string root = SystemRoot();
    const std::string module = ExpandOnComputer(value, root);
    std::vector<std::uint8_t> bytes;
    std::unique_ptr<OpenedFile> file;
    Error read = files_.Open(module, file);
    if (read == error::kSuccess && file) read = messages::ReadManifestResource(*file, bytes);
    if (read == error::kResourceTypeNotFound) {
        // Windows 10 and later keep a system module's resources in a .mun file.
        const std::string mun = root + "\\SystemResources\\" + module.substr(LastBackslash(module) + 1) + ".mun";
        file.reset();
        read = files_.Open(mun, file);
        if (read == error::kSuccess && file) read = messages::ReadManifestResource(*file, bytes);
    }
    std::string problem;
    if (read != error::kSuccess || !wevt::ReadManifest(bytes.data(), bytes.size(), provider.manifest, problem)) return;
    provider.provider = provider.manifest.Find(guid);
    if (provider.provider == nullptr) return;

    FileMessageService& messages = Messages();
    if (ReadText(*key, "MessageFileName", value) &&
        messages.LoadDataFile(ExpandOnComputer(value, root), provider.messageFile) == error::kSuccess)
        provider.texts.messages = FileMessageService::TablesOf(provider.messageFile.get());
    if (ReadText(*key, "ParameterFileName", value) &&
        messages.LoadDataFile(ExpandOnComputer(value, root), provider.parameterFile) == error::kSuccess)
        provider.texts.parameters = FileMessageService::TablesOf(provider.parameterFile.get());
    provider.texts.system = &messages::SystemMessageTable();
    provider.texts.locale = locale_;
    provider.error = error::kSuccess;
}

// Japanese first, then the computer's own language: its language files
// in the loader's order, and the languages within a table.
FileMessageService& PublisherCatalog::Messages() {
    if (messages_) return *messages_;
    const char* const kLanguageKey = "SYSTEM\\CurrentControlSet\\Control\\Nls\\Language";
    std::string language;
    if (!ReadKeyText(machine_, kLanguageKey, "InstallLanguage", language))
        ReadKeyText(machine_, kLanguageKey, "Default", language);
    MessageLanguages languages;
    languages.ui = "ja-JP";
    const std::uint16_t own = HexLanguage(language);
    languages.locale.system = own != 0 ? own : messages::language::kJapanese;
    languages.system = LanguageName(languages.locale.system);
    locale_ = languages.locale;
    messages_ = std::make_unique<FileMessageService>(files_, NoSystem(), languages, kMessageCacheBudget);
    return *messages_;
}

const PublisherCatalog::Provider* PublisherCatalog::Find(const std::u16string& guidText) {
    wevt::Guid guid;
    std::string ascii;
    if (!AsciiOf(guidText, ascii) || !wevt::ParseGuid(guidText, guid)) return nullptr;
    auto found = providers_.find(guid);
    if (found == providers_.end()) {
        std::string key = ascii.front() == '{' ? ascii : "{" + ascii + "}";
        for (char& c : key) c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
        auto provider = std::make_unique<Provider>();
        Load(key, guid, *provider);
        found = providers_.emplace(guid, std::move(provider)).first;
    }
    return found->second->error == error::kSuccess ? found->second.get() : nullptr;
}

void PublisherCatalog::Format(const evtx::Record& record, ChannelTexts& texts) {
    texts = ChannelTexts{};
    texts.error = error::kPublisherMetadataNotFound;
    const long id = DecimalField(record.System(evtx::Field::kEventId), 0xFFFF);
    const Provider* p = record.Has(evtx::Field::kProviderGuid)
                            ? Find(std::u16string(record.System(evtx::Field::kProviderGuid)))
                            : nullptr;
    if (p == nullptr || id < 0) return;
    std::vector<std::u16string> values;
    values.reserve(record.data.size());
    for (const evtx::DataPair& pair : record.data) values.emplace_back(record.Text(pair.value));
    const int version = static_cast<int>(DecimalField(record.System(evtx::Field::kVersion), 0xFF));
    wevt::ManifestMessage m =
        wevt::FormatManifestEvent(*p->provider, p->texts, static_cast<std::uint16_t>(id), version, values);
    texts.error = m.error;
    texts.message = std::move(m.message);
    texts.level = std::move(m.level);
    texts.task = std::move(m.task);
    texts.opcode = std::move(m.opcode);
    texts.channel = std::move(m.channel);
    texts.keywords = std::move(m.keywords);
}

Error PublisherCatalog::FormatClassic(const std::string& guid, std::uint16_t eventId,
                                      const std::vector<std::u16string>& strings, std::u16string& message) {
    message.clear();
    std::u16string wide(guid.begin(), guid.end());
    const Provider* p = Find(wide);
    if (p == nullptr) return error::kPublisherMetadataNotFound;
    wevt::ManifestMessage m = wevt::FormatManifestEvent(*p->provider, p->texts, eventId, -1, strings);
    message = std::move(m.message);
    return m.error;
}

}  // namespace quorvin::platform
