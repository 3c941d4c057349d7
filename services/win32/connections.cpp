#include "core/wide.h"

#include <winnetwk.h>

#include "services/win32/win32_platform.h"

namespace quorvin::win32 {

// The user name and password are passed as given, also when empty (an
// empty password is a blank one, not the default one).
platform::Error ConnectionService::AddConnection(const std::string& remoteName, const std::string& user,
                                                 const std::string& password) {
    std::wstring wideRemote = Wide(remoteName);
    const std::wstring wideUser = Wide(user);
    const std::wstring widePassword = Wide(password);
    NETRESOURCEW resource{};
    resource.dwType = RESOURCETYPE_DISK;
    resource.lpLocalName = nullptr;
    resource.lpRemoteName = wideRemote.data();
    resource.lpProvider = nullptr;
    return WNetAddConnection2W(&resource, widePassword.c_str(), wideUser.c_str(), 0);
}

platform::Error ConnectionService::CancelConnection(const std::string& remoteName) {
    return WNetCancelConnection2W(Wide(remoteName).c_str(), 0, FALSE);
}

}  // namespace quorvin::win32
