// The channel service over the event log API of Windows Vista and later.
// wevtapi.dll is loaded at run time from the system folder: Windows XP and
// Server 2003 have none, and then every call answers 120 as NoChannels does.
// The API's types are declared here, since the program is built for XP.

#include "services/win32/win32_platform.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include "core/wide.h"
#include "formats/evtx/event_xml.h"
#include "services/win32/path_rules.h"

namespace quorvin::win32 {

namespace {

using platform::Error;
using EvtHandle = HANDLE;

constexpr DWORD kEvtRpcLogin = 1;               // EvtRpcLogin
constexpr DWORD kEvtRpcLoginAuthNegotiate = 1;  // EvtRpcLoginAuthNegotiate
constexpr DWORD kEvtQueryChannelPath = 0x1;
constexpr DWORD kEvtQueryReverseDirection = 0x200;
constexpr DWORD kEvtRenderEventXml = 1;
constexpr DWORD kFormatEvent = 1, kFormatLevel = 2, kFormatTask = 3, kFormatOpcode = 4, kFormatKeyword = 5,
                kFormatChannel = 6;

struct RpcLogin {  // EVT_RPC_LOGIN
    LPWSTR server;
    LPWSTR user;
    LPWSTR domain;
    LPWSTR password;
    DWORD flags;
};

// wevtapi.dll's functions; `loaded` only when every one was found.
struct Wevtapi {
    EvtHandle(WINAPI* openSession)(DWORD, PVOID, DWORD, DWORD) = nullptr;
    EvtHandle(WINAPI* openChannelEnum)(EvtHandle, DWORD) = nullptr;
    EvtHandle(WINAPI* query)(EvtHandle, LPCWSTR, LPCWSTR, DWORD) = nullptr;
    BOOL(WINAPI* next)(EvtHandle, DWORD, EvtHandle*, DWORD, DWORD, PDWORD) = nullptr;
    BOOL(WINAPI* render)(EvtHandle, EvtHandle, DWORD, DWORD, PVOID, PDWORD, PDWORD) = nullptr;
    EvtHandle(WINAPI* openPublisher)(EvtHandle, LPCWSTR, LPCWSTR, LCID, DWORD) = nullptr;
    BOOL(WINAPI* format)(EvtHandle, EvtHandle, DWORD, DWORD, PVOID, DWORD, DWORD, LPWSTR, PDWORD) = nullptr;
    BOOL(WINAPI* close)(EvtHandle) = nullptr;
    bool loaded = false;
};

template <typename F>
bool Find(HMODULE module, const char* name, F& function) {
    function = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    return function != nullptr;
}

// Loaded once, from the system folder only (never the program's own
// folder or the current one), and kept for the life of the process.
Wevtapi LoadWevtapi() {
    Wevtapi api;
    wchar_t folder[MAX_PATH];
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return api;
    const std::wstring path = std::wstring(folder, length) + L"\\wevtapi.dll";
    HMODULE module = LoadLibraryW(path.c_str());
    if (module == nullptr) return api;
    api.loaded = Find(module, "EvtOpenSession", api.openSession) &&
                 Find(module, "EvtOpenChannelEnum", api.openChannelEnum) && Find(module, "EvtQuery", api.query) &&
                 Find(module, "EvtNext", api.next) && Find(module, "EvtRender", api.render) &&
                 Find(module, "EvtOpenPublisherMetadata", api.openPublisher) &&
                 Find(module, "EvtFormatMessage", api.format) && Find(module, "EvtClose", api.close);
    return api;
}

const Wevtapi& Api() {
    static const Wevtapi api = LoadWevtapi();
    return api;
}

// One handle of the API, closed with EvtClose when dropped.
class Handle {
public:
    Handle() = default;
    explicit Handle(EvtHandle h) : h_(h) {}
    Handle(Handle&& o) noexcept : h_(o.h_) { o.h_ = nullptr; }
    Handle& operator=(Handle&& o) noexcept {
        if (this != &o) {
            Reset();
            h_ = o.h_;
            o.h_ = nullptr;
        }
        return *this;
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() { Reset(); }
    EvtHandle Get() const { return h_; }
    // EvtClose fails only for a handle that is no handle: nothing is left to free then.
    void Reset() {
        if (h_ != nullptr) static_cast<void>(Api().close(h_));
        h_ = nullptr;
    }

private:
    EvtHandle h_ = nullptr;
};

// The XPath of a query: record ids above the bookmark, times at or after the start.
std::wstring QueryText(const platform::ChannelQuery& query) {
    std::wstring conditions;
    if (query.afterRecord > 0) conditions = L"EventRecordID>" + std::to_wstring(query.afterRecord);
    FILETIME fileTime{};
    SYSTEMTIME utc{};
    if (query.since > 0) {
        const ULONGLONG ticks = (static_cast<ULONGLONG>(query.since) + 11644473600ULL) * 10000000ULL;
        fileTime.dwLowDateTime = static_cast<DWORD>(ticks);
        fileTime.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
        if (FileTimeToSystemTime(&fileTime, &utc)) {
            wchar_t text[64];
            std::swprintf(text, 64, L"TimeCreated[@SystemTime>='%04u-%02u-%02uT%02u:%02u:%02u.000Z']", utc.wYear,
                          utc.wMonth, utc.wDay, utc.wHour, utc.wMinute, utc.wSecond);
            conditions += (conditions.empty() ? L"" : L" and ") + std::wstring(text);
        }
    }
    return conditions.empty() ? L"*" : L"*[System[" + conditions + L"]]";
}

// The events of the last batch a session's queries gave, by record id:
// Format renders their texts while they are still open.
struct Batch {
    std::map<std::uint64_t, Handle> events;
};

// EvtRender of the event as XML into `buffer`, grown to the size the API
// asks; the units of text before its terminator.
Error RenderXml(EvtHandle event, std::vector<std::uint8_t>& buffer, std::size_t& units) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        DWORD used = 0, properties = 0;
        if (Api().render(nullptr, event, kEvtRenderEventXml, static_cast<DWORD>(buffer.size()),
                         buffer.empty() ? nullptr : buffer.data(), &used, &properties)) {
            units = std::min<std::size_t>(used, buffer.size()) / 2;
            while (units > 0 && buffer[2 * units - 2] == 0 && buffer[2 * units - 1] == 0) --units;
            return platform::error::kSuccess;
        }
        const Error error = LastError();
        if (error != ERROR_INSUFFICIENT_BUFFER || used <= buffer.size()) return error;
        buffer.resize(used);
    }
    return ERROR_INSUFFICIENT_BUFFER;
}

class QueryEvents final : public platform::ChannelEvents {
public:
    QueryEvents(Handle query, std::shared_ptr<Batch> batch) : query_(std::move(query)), batch_(std::move(batch)) {}

    Error Next(std::size_t most, std::vector<evtx::Record>& events) override {
        events.clear();
        batch_->events.clear();
        EvtHandle handles[platform::kChannelBatch] = {};
        const DWORD asked = static_cast<DWORD>(std::min<std::size_t>(std::max<std::size_t>(most, 1), platform::kChannelBatch));
        DWORD returned = 0;
        if (!Api().next(query_.Get(), asked, handles, INFINITE, 0, &returned)) return LastError();
        returned = std::min(returned, asked);
        std::vector<Handle> owned;
        for (DWORD i = 0; i < returned; ++i) owned.emplace_back(handles[i]);
        for (Handle& event : owned) {
            std::size_t units = 0;
            if (const Error error = RenderXml(event.Get(), xml_, units)) return error;
            evtx::Record record;
            std::string problem;
            if (!evtx::ReadEventXml(xml_.data(), units, record, problem)) return platform::error::kEventLogFileCorrupt;
            batch_->events[record.id] = std::move(event);
            events.push_back(std::move(record));
        }
        return returned == 0 ? platform::error::kNoMoreItems : platform::error::kSuccess;
    }

private:
    Handle query_;
    std::shared_ptr<Batch> batch_;
    std::vector<std::uint8_t> xml_;
};

// A provider's metadata in Japanese and in the computer's own language;
// `error` when neither opened.
struct Publisher {
    Handle japanese, local;
    Error error = platform::error::kSuccess;
};

// EvtFormatMessage of one text into `out`, grown to the size the API asks.
// 15029 still gives the message, its unresolved inserts left as they are.
Error FormatText(EvtHandle publisher, EvtHandle event, DWORD flag, std::u16string& out) {
    std::vector<wchar_t> buffer(256);
    for (int attempt = 0; attempt < 2; ++attempt) {
        DWORD used = 0;
        const BOOL ok = Api().format(publisher, event, 0, 0, nullptr, flag, static_cast<DWORD>(buffer.size()),
                                     buffer.data(), &used);
        const Error error = ok ? platform::error::kSuccess : LastError();
        if (error == ERROR_INSUFFICIENT_BUFFER && used > buffer.size()) {
            buffer.resize(used);
            continue;
        }
        if (error == platform::error::kSuccess || error == platform::error::kUnresolvedValueInsert) {
            std::size_t units = std::min<std::size_t>(used, buffer.size());
            while (units > 0 && buffer[units - 1] == L'\0') --units;
            out.assign(reinterpret_cast<const char16_t*>(buffer.data()), units);
        }
        return error;
    }
    return ERROR_INSUFFICIENT_BUFFER;
}

class Session final : public platform::ChannelSession {
public:
    explicit Session(Handle session) : session_(std::move(session)) {}

    Error Query(const platform::ChannelQuery& query, std::unique_ptr<platform::ChannelEvents>& events) override {
        events.reset();
        const std::wstring channel = Wide(query.channel);
        const std::wstring xpath = QueryText(query);
        Handle handle(Api().query(session_.Get(), channel.c_str(), xpath.c_str(),
                                  kEvtQueryChannelPath | kEvtQueryReverseDirection));
        if (handle.Get() == nullptr) return LastError();
        events = std::make_unique<QueryEvents>(std::move(handle), batch_);
        return platform::error::kSuccess;
    }

    void Format(const evtx::Record& event, platform::ChannelTexts& texts) override;

private:
    Publisher& PublisherOf(std::u16string_view name);

    Handle session_;
    std::shared_ptr<Batch> batch_ = std::make_shared<Batch>();
    std::map<std::u16string, Publisher> publishers_;
};

Publisher& Session::PublisherOf(std::u16string_view name) {
    const auto found = publishers_.find(std::u16string(name));
    if (found != publishers_.end()) return found->second;
    Publisher& p = publishers_[std::u16string(name)];
    const std::wstring wide(name.begin(), name.end());
    p.japanese = Handle(Api().openPublisher(session_.Get(), wide.c_str(), nullptr, MAKELCID(0x411, SORT_DEFAULT), 0));
    if (p.japanese.Get() == nullptr) p.error = LastError();
    p.local = Handle(Api().openPublisher(session_.Get(), wide.c_str(), nullptr, 0, 0));
    if (p.local.Get() == nullptr && p.japanese.Get() == nullptr) return p;
    p.error = platform::error::kSuccess;
    return p;
}

void Session::Format(const evtx::Record& record, platform::ChannelTexts& texts) {
    texts = platform::ChannelTexts();
    const auto event = batch_->events.find(record.id);
    if (event == batch_->events.end()) {
        texts.error = platform::error::kEvtMessageNotFound;
        return;
    }
    Publisher& publisher = PublisherOf(record.System(evtx::Field::kProviderName));
    // Japanese first; the computer's own language where Japanese has no
    // text. Without the provider's metadata the standard names still come
    // (no metadata: the system's own).
    EvtHandle metadata = publisher.japanese.Get() ? publisher.japanese.Get() : publisher.local.Get();
    if (publisher.error != platform::error::kSuccess) {
        texts.error = publisher.error;
    } else {
        texts.error = FormatText(metadata, event->second.Get(), kFormatEvent, texts.message);
        if (texts.error == platform::error::kMessageLocaleNotFound && publisher.local.Get() != nullptr) {
            metadata = publisher.local.Get();
            texts.error = FormatText(metadata, event->second.Get(), kFormatEvent, texts.message);
        }
        if (texts.error == platform::error::kUnresolvedValueInsert) texts.error = platform::error::kSuccess;
    }
    static_cast<void>(FormatText(metadata, event->second.Get(), kFormatLevel, texts.level));
    static_cast<void>(FormatText(metadata, event->second.Get(), kFormatTask, texts.task));
    static_cast<void>(FormatText(metadata, event->second.Get(), kFormatOpcode, texts.opcode));
    static_cast<void>(FormatText(metadata, event->second.Get(), kFormatChannel, texts.channel));
    std::u16string keywords;
    static_cast<void>(FormatText(metadata, event->second.Get(), kFormatKeyword, keywords));
    // The keywords come as a list of texts, each ended by a NUL.
    for (std::size_t start = 0; start < keywords.size();) {
        const std::size_t end = std::min(keywords.find(u'\0', start), keywords.size());
        if (end > start) texts.keywords.push_back(keywords.substr(start, end - start));
        start = end + 1;
    }
}

}  // namespace

Error ChannelService::OpenSession(const std::string& server, const platform::ChannelAccount* account,
                                  std::unique_ptr<platform::ChannelSession>& session) {
    session.reset();
    if (!Api().loaded) return platform::error::kCallNotImplemented;
    // This machine is reached with no session handle, as the user running
    // the program; another one over RPC, as the account when one is given.
    std::wstring name = Wide(server);
    while (!name.empty() && name.front() == L'\\') name.erase(0, 1);
    if (name.empty()) {
        session = std::make_unique<Session>(Handle());
        return platform::error::kSuccess;
    }
    RpcLogin login{name.data(), nullptr, nullptr, nullptr, kEvtRpcLoginAuthNegotiate};
    text::WideSecret password;  // the one UTF-16 copy, wiped when it goes
    std::wstring user, domain;
    if (account) {
        if (const Error error = WidePassword(account->password, password)) return error;
        const AccountName typed = SplitAccountName(account->user);
        user = Wide(typed.user);
        domain = Wide(typed.domain);
        login.user = user.data();
        login.domain = domain.empty() ? nullptr : domain.data();
        login.password = password.data();
    }
    Handle handle(Api().openSession(kEvtRpcLogin, &login, 0, 0));
    if (handle.Get() == nullptr) return LastError();
    // EvtOpenSession checks nothing; the first call over the session checks
    // the account. The channel list is asked for at once so that a refused
    // account is told here, where the caller can open the session without it.
    if (account) {
        const Handle channels(Api().openChannelEnum(handle.Get(), 0));
        if (channels.Get() == nullptr) return LastError();
    }
    session = std::make_unique<Session>(std::move(handle));
    return platform::error::kSuccess;
}

}  // namespace quorvin::win32
