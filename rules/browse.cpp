#include "rules/browse.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "core/cp932.h"
#include "core/display_text.h"

namespace quorvin::computers {

namespace {

const char* const kWinlogonKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
// Room of the reads, terminators included.
constexpr std::uint32_t kDomainRoom = 32;
constexpr std::uint32_t kDCacheRoom = 512;
constexpr std::size_t kMostCachedNames = 31;
constexpr std::size_t kMostNameBytes = 31;

bool IsText(std::uint32_t type) {
    return type == platform::regtype::kSz || type == platform::regtype::kExpandSz ||
           type == platform::regtype::kMultiSz;
}

// A text value read into `room` bytes; false when missing, too long or no text.
bool ReadText(platform::RegistryKey& key, const char* name, std::uint32_t room, std::string& value) {
    std::string buffer(room, '\0');
    std::uint32_t type = 0;
    std::uint32_t size = room;
    if (key.QueryValue(name, type, reinterpret_cast<std::uint8_t*>(buffer.data()), size) != platform::error::kSuccess ||
        !IsText(type))
        return false;
    buffer.resize(size);
    value = std::move(buffer);
    return true;
}

// The first text of `data` up to a terminator.
std::string FirstText(const std::string& data) { return data.substr(0, data.find('\0')); }

bool Offered(const std::vector<std::string>& names, const std::string& name) {
    for (const std::string& offered : names)
        if (text::MbsICmp(offered, name) == 0) return true;
    return false;
}

}  // namespace

std::string ServerTypeText(std::uint32_t type, ServerTextKind kind) {
    if (kind == ServerTextKind::Role) {
        if (type & servertype::kDomainController) return "PDC";
        if (type & servertype::kBackupController) return "BDC";
        if (type & servertype::kServerNt) return "ﾒﾝﾊﾞｻｰﾊﾞ";
        return {};
    }
    if (type & servertype::kDomainMaster) return "ﾄﾞﾒｲﾝﾏｽﾀﾌﾞﾗｳｻﾞ";
    if (type & servertype::kMasterBrowser) return "ﾏｽﾀﾌﾞﾗｳｻﾞ";
    if (type & servertype::kBackupBrowser) return "ﾊﾞｯｸｱｯﾌﾟﾌﾞﾗｳｻﾞ";
    return {};
}

std::string OsText(std::uint32_t major, std::uint32_t minor) {
    char text[32];
    std::snprintf(text, sizeof text, "NT%u.%u", static_cast<unsigned>(major & 0xF), static_cast<unsigned>(minor));
    return text;
}

std::vector<BrowseRow> BrowseRows(const std::vector<platform::ServerInfo>& servers, bool onlyServers) {
    std::vector<BrowseRow> rows;
    for (const platform::ServerInfo& server : servers) {
        if (!(server.type & servertype::kNt)) continue;
        BrowseRow row{server.name, OsText(server.versionMajor, server.versionMinor),
                      ServerTypeText(server.type, ServerTextKind::Role),
                      ServerTypeText(server.type, ServerTextKind::Browser), server.comment};
        if (onlyServers && row.role.empty()) continue;
        rows.push_back(std::move(row));
    }
    return rows;
}

const BrowseColumn kBrowseColumns[5] = {
    {"ﾏｼﾝ名", 80}, {"OS", 40}, {"PDC/BDC", 60}, {"ﾌﾞﾗｳｻﾞ", 60}, {"ｺﾒﾝﾄ", 100},
};

bool BrowseAnswerFillsList(platform::Error result, std::size_t entriesRead) {
    return result == platform::error::kSuccess || (result == platform::error::kMoreData && entriesRead > 0);
}

app::UserMessage BrowseFailureMessage(platform::Error code) {
    const char* const kTail = "これはﾈｯﾄﾜｰｸからｺﾝﾋﾟｭｰﾀ一覧を取得できないこと意味するものであり、ｴﾗｰではありません。";
    switch (code) {
    case platform::error::kAccessDenied:
        return {std::string("アクセスが拒否されました。") + kTail, "注意 305"};
    case platform::error::kMoreData:
        return {std::string("データの取得に失敗しました。") + kTail, "注意 302"};
    case platform::error::kNoBrowserServers:
        // This one has always read "意味するのもであり".
        return {"ブラウザサーバが見つかりませんでした。これはﾈｯﾄﾜｰｸからｺﾝﾋﾟｭｰﾀ一覧を取得できないこと意味するのもであり、ｴﾗｰではありません。",
                "注意 303"};
    case platform::error::kInvalidComputerName:
        return {std::string("コンピュータ名が不正です。") + kTail, "注意 304"};
    default:
        return {std::string("不明な原因でﾌﾞﾗｳｻﾞ一覧を取得できませんでした。") + kTail, "注意　301"};
    }
}

app::UserMessage EmptyDomainMessage() {
    return {"ﾄﾞﾒｲﾝ名/ﾜｰｸｸﾞﾙｰﾌﾟを入力してください。", "注意", app::MessageIcon::None};
}

const char* const kVersionNote = "NT5.0 は Windows 2000、NT5.1 は Windows XP を表しています。";

DomainChoices ReadDomainChoices(platform::RegistryKey& localMachine, platform::BrowseService& browse) {
    DomainChoices choices;
    std::unique_ptr<platform::RegistryKey> winlogon;
    if (localMachine.OpenKey(kWinlogonKey, winlogon) != platform::error::kSuccess || !winlogon) return choices;
    std::string value;
    if (!ReadText(*winlogon, "DefaultDomainName", kDomainRoom, value)) return choices;
    choices.found = true;
    choices.domain = FirstText(value);

    std::string cache;
    if (ReadText(*winlogon, "DCache", kDCacheRoom, cache)) {
        if (!choices.domain.empty()) choices.names.push_back(choices.domain);
        std::size_t used = 0;
        for (std::size_t at = 0; at < cache.size() && used < kMostCachedNames;) {
            const std::size_t end = std::min(cache.find('\0', at), cache.size());
            if (end == at) break;  // the empty text that ends the list
            std::string name = cache.substr(at, end - at);
            at = end + 1;
            ++used;
            if (name.size() > kMostNameBytes || Offered(choices.names, name)) continue;
            choices.names.push_back(std::move(name));
        }
        return choices;
    }
    std::string group;
    if (browse.LanGroup(group) != platform::error::kSuccess) group.clear();
    choices.domain = app::CutToBytes(group, kMostNameBytes);
    return choices;
}

}  // namespace quorvin::computers
