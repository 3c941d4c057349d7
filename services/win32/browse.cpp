#include "core/wide.h"

#include <lm.h>

#include <cwchar>

#include "services/win32/win32_platform.h"

namespace quorvin::win32 {

namespace {

// The whole list at once: with a fixed size the browser of a domain of a
// few hundred machines answers 234 (more data) and a part of the list.
constexpr DWORD kPreferredLength = MAX_PREFERRED_LENGTH;

std::string NarrowZ(const wchar_t* text) { return text != nullptr ? Narrow(text, std::wcslen(text)) : std::string(); }

// Gives back a buffer of the network functions; its failure is the call's
// result when the call itself succeeded.
platform::Error Free(void* buffer, platform::Error result) {
    if (buffer == nullptr) return result;
    const NET_API_STATUS freed = NetApiBufferFree(buffer);
    return result != platform::error::kSuccess ? result : freed;
}

}  // namespace

platform::Error BrowseService::EnumServers(const std::string& domain, std::vector<platform::ServerInfo>& servers) {
    servers.clear();
    const std::wstring wideDomain = Wide(domain);
    BYTE* buffer = nullptr;
    DWORD read = 0;
    DWORD total = 0;
    // No domain text: the primary domain of this machine (a null domain).
    const NET_API_STATUS status = NetServerEnum(nullptr, 101, &buffer, kPreferredLength, &read, &total, SV_TYPE_ALL,
                                                domain.empty() ? nullptr : wideDomain.c_str(), nullptr);
    // 234: `read` whole entries of a longer list; they are kept. The resume
    // handle is reserved, so the rest cannot be asked for.
    if (status != NERR_Success && status != ERROR_MORE_DATA) return Free(buffer, status);
    const auto* entries = reinterpret_cast<const SERVER_INFO_101*>(buffer);
    for (DWORD i = 0; entries != nullptr && i < read; ++i) {
        platform::ServerInfo info;
        info.name = NarrowZ(entries[i].sv101_name);
        info.versionMajor = entries[i].sv101_version_major;
        info.versionMinor = entries[i].sv101_version_minor;
        info.type = entries[i].sv101_type;
        info.comment = NarrowZ(entries[i].sv101_comment);
        servers.push_back(std::move(info));
    }
    const platform::Error freed = Free(buffer, platform::error::kSuccess);
    if (freed != platform::error::kSuccess) {
        servers.clear();
        return freed;
    }
    return status;
}

platform::Error BrowseService::LanGroup(std::string& group) {
    group.clear();
    BYTE* buffer = nullptr;
    const NET_API_STATUS status = NetWkstaGetInfo(nullptr, 100, &buffer);
    if (status != NERR_Success) return Free(buffer, status);
    const auto* info = reinterpret_cast<const WKSTA_INFO_100*>(buffer);
    if (info != nullptr) group = NarrowZ(info->wki100_langroup);
    const platform::Error freed = Free(buffer, platform::error::kSuccess);
    if (freed != platform::error::kSuccess) group.clear();
    return freed;
}

}  // namespace quorvin::win32
