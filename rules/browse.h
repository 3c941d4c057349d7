#pragma once
// The rules of the add-computer dialog's browse list: which machines of a
// NetServerEnum answer it shows and with which texts, the messages of a
// failed browse, and the domain names the dialog offers when it opens.

#include <cstdint>
#include <string>
#include <vector>

#include "core/user_message.h"
#include "services/services.h"

namespace quorvin::computers {

// Server type bits of NetServerEnum that the list looks at.
namespace servertype {
constexpr std::uint32_t kDomainController = 0x8;
constexpr std::uint32_t kBackupController = 0x10;
constexpr std::uint32_t kNt = 0x1000;
constexpr std::uint32_t kServerNt = 0x8000;
constexpr std::uint32_t kBackupBrowser = 0x20000;
constexpr std::uint32_t kMasterBrowser = 0x40000;
constexpr std::uint32_t kDomainMaster = 0x80000;
}  // namespace servertype

enum class ServerTextKind { Role, Browser };

// The role ("PDC", "BDC", "ﾒﾝﾊﾞｻｰﾊﾞ") or browser role text of a type mask:
// the first bit found in that order decides; none gives the empty text.
std::string ServerTypeText(std::uint32_t type, ServerTextKind kind);

// "NT%u.%u" with the low four bits of the major version.
std::string OsText(std::uint32_t major, std::uint32_t minor);

// One row of the browse list, its five columns.
struct BrowseRow {
    std::string name, os, role, browser, comment;
};
inline bool operator==(const BrowseRow& a, const BrowseRow& b) {
    return a.name == b.name && a.os == b.os && a.role == b.role && a.browser == b.browser && a.comment == b.comment;
}

// The rows of a browse answer in the order given: NT-family machines only,
// and with `onlyServers` only those with a role text.
std::vector<BrowseRow> BrowseRows(const std::vector<platform::ServerInfo>& servers, bool onlyServers);

// The browse list's column titles and the margins added to their widths.
struct BrowseColumn {
    const char* title;
    int margin;
};
extern const BrowseColumn kBrowseColumns[5];

// Whether a browse answer fills the list: a success, and 234 (more data)
// with entries read, whose part of the list is shown as a whole answer would
// be. Any other code, and 234 without entries, is a failure: its message is
// shown and the list keeps its rows.
bool BrowseAnswerFillsList(platform::Error result, std::size_t entriesRead);

// The message for a failed browse (every non-zero code has one).
app::UserMessage BrowseFailureMessage(platform::Error code);
// "ｺﾝﾋﾟｭｰﾀ一覧の取得" with an empty domain box.
app::UserMessage EmptyDomainMessage();
// The text of the box below the list.
extern const char* const kVersionNote;

// What the domain box offers when the dialog opens.
struct DomainChoices {
    // False when the Winlogon key or its DefaultDomainName could not be
    // read: the box stays empty and nothing is browsed.
    bool found = false;
    // The text of the box's edit field.
    std::string domain;
    // The names of its drop-down list (sorted by the box itself).
    std::vector<std::string> names;
};

// Reads DefaultDomainName and DCache under
// SOFTWARE\Microsoft\Windows NT\CurrentVersion\Winlogon of `localMachine`;
// without DCache the domain is this workstation's LAN group from `browse`.
// A DefaultDomainName longer than 31 bytes, like a DCache longer than 512
// bytes, cannot be read into its room and counts as unreadable (DCache then
// as absent). Of DCache at most 31 names are used; longer names than 31
// bytes and names already offered are left out.
DomainChoices ReadDomainChoices(platform::RegistryKey& localMachine, platform::BrowseService& browse);

}  // namespace quorvin::computers
