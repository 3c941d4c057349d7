#include "services/win32/win32_platform.h"

namespace quorvin::win32 {

platform::Error ChannelService::OpenSession(const std::string&, std::unique_ptr<platform::ChannelSession>& session) {
    return platform::NoChannels().OpenSession(std::string(), session);
}

}  // namespace quorvin::win32
