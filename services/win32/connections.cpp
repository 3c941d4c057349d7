#include "core/wide.h"

#include <winnetwk.h>

#include "core/secret.h"
#include "services/win32/win32_platform.h"

namespace quorvin::win32 {

platform::Error WidePassword(std::string_view cp932, text::WideSecret& wide) {
    if (cp932.empty()) return platform::error::kSuccess;
    const int bytes = static_cast<int>(cp932.size());
    const int units = MultiByteToWideChar(932, 0, cp932.data(), bytes, nullptr, 0);
    if (units <= 0) return LastError();
    text::WideSecret converted(static_cast<std::size_t>(units));
    if (MultiByteToWideChar(932, 0, cp932.data(), bytes, converted.data(), units) != units) return LastError();
    wide = std::move(converted);
    return platform::error::kSuccess;
}

// The user name and password are passed as given, also when empty (an
// empty password is a blank one, not the default one).
platform::Error ConnectionService::AddConnection(const std::string& remoteName, const std::string& user,
                                                 std::string_view password) {
    text::WideSecret widePassword;
    if (const platform::Error error = WidePassword(password, widePassword); error != platform::error::kSuccess)
        return error;
    std::wstring wideRemote = Wide(remoteName);
    const std::wstring wideUser = Wide(user);
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
