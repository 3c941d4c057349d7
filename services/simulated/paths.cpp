#include "services/simulated/paths.h"

#include "core/cp932.h"

#include <algorithm>
#include <fstream>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#endif

namespace quorvin::network {

namespace fs = std::filesystem;

std::string_view CString(std::string_view s) { return s.substr(0, s.find('\0')); }

std::vector<std::string> SplitPath(std::string_view path) {
    std::vector<std::string> pieces(1);
    for (std::size_t i = 0; i < path.size(); ++i) {
        const char c = path[i];
        if (text::IsLeadByte(static_cast<unsigned char>(c))) {
            pieces.back() += c;
            if (i + 1 < path.size()) pieces.back() += path[++i];
        } else if (c == '\\' || c == '/') {
            pieces.emplace_back();
        } else {
            pieces.back() += c;
        }
    }
    return pieces;
}

std::string ServerName(std::string_view server) {
    server = CString(server);
    if (server.size() >= 2 && server[0] == '\\' && server[1] == '\\') server.remove_prefix(2);
    return std::string(server);
}

namespace {

// Whether a name holds a character Windows refuses in file names. Only
// single-byte characters are checked: "|" can be a trail byte.
bool HasInvalidCharacter(std::string_view name) {
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        if (text::IsLeadByte(c)) {
            ++i;
            continue;
        }
        if (c < 0x20 || c == '<' || c == '>' || c == ':' || c == '"' || c == '|' || c == '?' || c == '*') return true;
    }
    return false;
}

// Drops trailing dots and blanks, as Windows does for each path component.
// A trailing byte is only dropped when it is not the trail byte of a
// double-byte character.
std::string StripTrailingDotsAndBlanks(const std::string& name) {
    std::size_t keep = 0;  // length up to the last unit that is no dot or blank
    for (std::size_t i = 0; i < name.size();) {
        const auto c = static_cast<unsigned char>(name[i]);
        const std::size_t unit = text::IsLeadByte(c) && i + 1 < name.size() ? 2 : 1;
        i += unit;
        if (unit == 2 || (c != '.' && c != ' ')) keep = i;
    }
    return name.substr(0, keep);
}

}  // namespace

platform::Error NormalizeComponents(const std::vector<std::string>& pieces, std::vector<std::string>& components) {
    components.clear();
    for (const std::string& piece : pieces) {
        if (piece.empty() || piece == ".") continue;
        if (piece == "..") {
            if (!components.empty()) components.pop_back();
            continue;
        }
        if (HasInvalidCharacter(piece)) return 123;
        std::string name = StripTrailingDotsAndBlanks(piece);
        if (!name.empty()) components.push_back(std::move(name));
    }
    return platform::error::kSuccess;
}

WindowsPath ParseWindowsPath(std::string_view text) {
    text = CString(text);
    WindowsPath path;
    std::vector<std::string> pieces = SplitPath(text);
    // "\\server\share\rest": the split gives "", "", server, share, rest...
    if (pieces.size() >= 3 && pieces[0].empty() && pieces[1].empty()) {
        path.kind = WindowsPath::Kind::kUnc;
        path.server = pieces[2];
        if (pieces.size() >= 4) path.share = pieces[3];
        if (pieces.size() > 4) path.components.assign(pieces.begin() + 4, pieces.end());
        return path;
    }
    const bool letter = text.size() >= 2 && ((text[0] >= 'A' && text[0] <= 'Z') || (text[0] >= 'a' && text[0] <= 'z'));
    if (letter && text[1] == ':' && text.size() >= 3 && (text[2] == '\\' || text[2] == '/')) {
        path.kind = WindowsPath::Kind::kDrive;
        path.drive = static_cast<char>(text[0] & ~0x20);
        path.components.assign(pieces.begin() + 1, pieces.end());
    }
    return path;
}

char DriveShareLetter(std::string_view share) {
    if (share.size() != 2 || share[1] != '$') return 0;
    const char c = share[0];
    if (c >= 'a' && c <= 'z') return static_cast<char>(c - 'a' + 'A');
    if (c >= 'A' && c <= 'Z') return c;
    return 0;
}

std::string HostNameToCp932(const fs::path& name) { return text::Utf8ToCp932(name.u8string()); }

fs::path Cp932ToHostName(std::string_view name) { return fs::u8path(text::Cp932ToUtf8(name)); }

namespace {

#ifdef _WIN32
const std::wstring kLongPrefix = L"\\\\?\\";

// `folder` in the "\\?\" form, which lifts the MAX_PATH limit of the file
// functions; the form must be absolute and take no "." or "..".
fs::path LongPathForm(const fs::path& folder) {
    // std::filesystem::absolute takes a "\\?\" path for a relative one.
    if (folder.wstring().rfind(kLongPrefix, 0) == 0) return folder;
    std::error_code ec;
    const fs::path absolute = fs::absolute(folder, ec);
    if (ec) return folder;
    const std::wstring text = absolute.lexically_normal().make_preferred().wstring();
    if (text.rfind(L"\\\\", 0) == 0) return fs::path(kLongPrefix + L"UNC\\" + text.substr(2));
    return fs::path(kLongPrefix + text);
}

// Every entry of one kind with its CP932 name, in byte order of the names.
// The C runtime's folder reader behind std::filesystem cuts a path at
// MAX_PATH and then lists the current folder instead: the folder is read
// with FindFirstFileW through its long form. The entries' paths keep the
// form they were given in, which the C runtime's other file functions
// take (on Windows up to MAX_PATH, under Wine beyond). Reparse points are
// left out, as symbolic links are elsewhere.
FolderCache::Listing Entries(const fs::path& folder, EntryKind kind) {
    FolderCache::Listing entries;
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((LongPathForm(folder) / L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return entries;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L".." || (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) continue;
        const bool directory = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (directory == (kind == EntryKind::kDirectory))
            entries.emplace_back(HostNameToCp932(fs::path(name)), folder / name);
    } while (FindNextFileW(search, &found));
    static_cast<void>(FindClose(search));
    std::sort(entries.begin(), entries.end());
    return entries;
}
#else
bool IsKind(const fs::directory_entry& entry, EntryKind kind) {
    std::error_code ec;
    const fs::file_status status = entry.symlink_status(ec);
    if (ec) return false;
    return kind == EntryKind::kFile ? status.type() == fs::file_type::regular
                                    : status.type() == fs::file_type::directory;
}

// Every entry of one kind with its CP932 name, in byte order of the names.
FolderCache::Listing Entries(const fs::path& folder, EntryKind kind) {
    FolderCache::Listing entries;
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec))
        if (IsKind(*it, kind)) entries.emplace_back(HostNameToCp932(it->path().filename()), it->path());
    std::sort(entries.begin(), entries.end());
    return entries;
}
#endif

}  // namespace

const FolderCache::Listing& FolderCache::Entries(const fs::path& folder, EntryKind kind) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto key = std::make_pair(folder, kind);
    auto it = listings_.find(key);
    if (it == listings_.end()) it = listings_.emplace(key, network::Entries(folder, kind)).first;
    return it->second;  // map elements never move
}

bool FindEntry(const fs::path& folder, std::string_view name, EntryKind kind, fs::path& found, FolderCache* cache) {
    if (name.empty()) return false;
    const fs::path* match = nullptr;
    FolderCache::Listing uncached;
    if (!cache) uncached = Entries(folder, kind);
    const FolderCache::Listing& entries = cache ? cache->Entries(folder, kind) : uncached;
    for (const auto& [entryName, entryPath] : entries) {
        if (entryName == name) {
            found = entryPath;
            return true;
        }
        if (!match && text::MbsICmp(entryName, name) == 0) match = &entryPath;
    }
    if (!match) return false;
    found = *match;
    return true;
}

std::vector<std::string> ListEntries(const fs::path& folder, EntryKind kind) {
    std::vector<std::string> names;
    for (auto& entry : Entries(folder, kind)) names.push_back(std::move(entry.first));
    return names;
}

platform::Error ResolveFile(const fs::path& root, const std::vector<std::string>& components, fs::path& file,
                            FolderCache* cache) {
    if (components.empty()) return platform::error::kAccessDenied;
    fs::path folder = root;
    for (std::size_t i = 0; i + 1 < components.size(); ++i) {
        fs::path next;
        if (!FindEntry(folder, components[i], EntryKind::kDirectory, next, cache)) return platform::error::kPathNotFound;
        folder = next;
    }
    if (FindEntry(folder, components.back(), EntryKind::kFile, file, cache)) return platform::error::kSuccess;
    fs::path directory;
    if (FindEntry(folder, components.back(), EntryKind::kDirectory, directory, cache))
        return platform::error::kAccessDenied;
    return platform::error::kFileNotFound;
}

platform::Error ReadWholeFile(const fs::path& file, std::uint64_t limit, std::vector<std::uint8_t>& data) {
    data.clear();
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(file, ec);
    if (ec) return platform::error::kFileNotFound;
    if (size > limit) return platform::error::kNotEnoughMemory;
    std::ifstream in(file, std::ios::binary);
    if (!in) return platform::error::kFileNotFound;
    data.resize(static_cast<std::size_t>(size));
    if (size > 0 && !in.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(size))) {
        data.clear();
        return 30;  // ERROR_READ_FAULT
    }
    return platform::error::kSuccess;
}

std::string WriteFileAtomically(const fs::path& file, const std::vector<std::uint8_t>& data) {
    fs::path temporary = file;
    temporary += ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) return "cannot create " + temporary.u8string();
        out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
        out.flush();
        if (!out) {
            out.close();
            std::error_code ignored;
            fs::remove(temporary, ignored);
            return "cannot write " + temporary.u8string();
        }
    }
    std::error_code ec;
    fs::rename(temporary, file, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        return "cannot replace " + file.u8string() + ": " + ec.message();
    }
    return {};
}

}  // namespace quorvin::network
