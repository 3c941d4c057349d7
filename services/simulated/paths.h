#pragma once
// Windows path texts (CP932) and their mapping onto the folders of a
// simulated network. Nothing here ever names a file outside the folder it is
// given: a path is resolved one component at a time against the entries that
// the folder actually lists, so "..", absolute host paths and separators
// hidden in names never reach the host file system.

#include "core/error.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace quorvin::network {

// The text of a C string argument: what a Win32 "A" function sees of it,
// that is everything before the first NUL byte.
std::string_view CString(std::string_view s);

// Splits at "\" and "/" that are not the trail byte of a double-byte
// character ("ソ" is 83 5C). Empty pieces are kept.
std::vector<std::string> SplitPath(std::string_view path);

// A server name as the event log and registry services take it: "\\NAME"
// or "NAME" gives NAME; empty when the text is empty.
std::string ServerName(std::string_view server);

// Windows path normalisation of the components after a root: empty pieces
// and "." go, ".." removes the component before it (never above the root),
// trailing dots and blanks of a name are dropped. Returns 123
// (ERROR_INVALID_NAME) when a name holds a character Windows refuses in file
// names (< > : " | ? * or a control character).
platform::Error NormalizeComponents(const std::vector<std::string>& pieces, std::vector<std::string>& components);

// A path given to LoadLibraryEx.
struct WindowsPath {
    enum class Kind { kUnc, kDrive, kOther } kind = Kind::kOther;
    std::string server;                   // kUnc: the computer name
    std::string share;                    // kUnc: the share name ("C$", "admin$")
    char drive = 0;                       // kDrive: the upper-case drive letter
    std::vector<std::string> components;  // unnormalised pieces after the root
};
WindowsPath ParseWindowsPath(std::string_view path);

// The drive letter of an administrative drive share ("c$" -> 'C'), or 0.
char DriveShareLetter(std::string_view share);

// Host file names as CP932 and back (UTF-8 on Linux, UTF-16 on Windows).
std::string HostNameToCp932(const std::filesystem::path& name);
std::filesystem::path Cp932ToHostName(std::string_view name);

enum class EntryKind { kFile, kDirectory };

// Folder listings read once and kept: a simulated network looks up the same
// folders for every event, and its folders do not change while it is open.
class FolderCache {
public:
    using Listing = std::vector<std::pair<std::string, std::filesystem::path>>;  // CP932 name, path; byte order
    const Listing& Entries(const std::filesystem::path& folder, EntryKind kind);

private:
    std::mutex mutex_;
    std::map<std::pair<std::filesystem::path, EntryKind>, Listing> listings_;
};

// The entry of `folder` whose name equals `name` (MbsICmp; an exact match
// wins, otherwise the first in byte order of the names), of the kind asked.
// Symbolic links and special files never match. False when there is none.
// With a cache the folder is listed only the first time.
bool FindEntry(const std::filesystem::path& folder, std::string_view name, EntryKind kind,
               std::filesystem::path& found, FolderCache* cache = nullptr);

// The names (CP932) of the entries of `folder` of one kind, in byte order.
std::vector<std::string> ListEntries(const std::filesystem::path& folder, EntryKind kind);

// Resolves normalised components below `root` to an existing regular file:
// 0, 3 (ERROR_PATH_NOT_FOUND: a folder on the way is missing), 2
// (ERROR_FILE_NOT_FOUND: the last name is missing) or 5 (the last name is a
// folder). No components at all: 5, a drive root is a folder.
platform::Error ResolveFile(const std::filesystem::path& root, const std::vector<std::string>& components,
                            std::filesystem::path& file, FolderCache* cache = nullptr);

// Reads a whole file: 0, 2 when it cannot be opened, 8 when it is larger than
// `limit` bytes, 30 (ERROR_READ_FAULT) when reading fails.
platform::Error ReadWholeFile(const std::filesystem::path& file, std::uint64_t limit, std::vector<std::uint8_t>& data);

// Writes `data` to `file` through a temporary file beside it that is renamed
// over it; on any failure the old file stays as it was. Empty on success,
// else what failed.
std::string WriteFileAtomically(const std::filesystem::path& file, const std::vector<std::uint8_t>& data);

}  // namespace quorvin::network
