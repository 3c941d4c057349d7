#include "services/services.h"

namespace quorvin::platform {

namespace {

class Unavailable final : public ChannelService {
public:
    Error OpenSession(const std::string&, const ChannelAccount*, std::unique_ptr<ChannelSession>& session) override {
        session.reset();
        return error::kCallNotImplemented;
    }
};

}  // namespace

ChannelService& NoChannels() {
    static Unavailable service;
    return service;
}

}  // namespace quorvin::platform
