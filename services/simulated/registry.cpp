// The remote registry service: each computer's registry.reg as its HKEY_LOCAL_MACHINE.

#include "services/simulated/network_state.h"

namespace quorvin::network {

namespace {

// A key of a computer far away: every call is a round trip, and so are the
// calls of the keys opened below it.
class DistantKey final : public platform::RegistryKey {
public:
    DistantKey(std::unique_ptr<platform::RegistryKey> key, const SimulatedNetwork::State& state, int index)
        : key_(std::move(key)), state_(state), index_(index) {}

    platform::Error OpenKey(const std::string& subKey, std::unique_ptr<platform::RegistryKey>& key) override {
        state_.RoundTrip(index_);
        return Wrap(key_->OpenKey(subKey, key), key);
    }
    platform::Error OpenKeyToQuery(const std::string& subKey, std::unique_ptr<platform::RegistryKey>& key) override {
        state_.RoundTrip(index_);
        return Wrap(key_->OpenKeyToQuery(subKey, key), key);
    }
    platform::Error CreateKey(const std::string& subKey, std::unique_ptr<platform::RegistryKey>& key) override {
        state_.RoundTrip(index_);
        return Wrap(key_->CreateKey(subKey, key), key);
    }
    platform::Error QueryValue(const std::string& name, std::uint32_t& type, std::uint8_t* data,
                               std::uint32_t& size) override {
        state_.RoundTrip(index_);
        return key_->QueryValue(name, type, data, size);
    }
    platform::Error SetValue(const std::string& name, std::uint32_t type, const std::uint8_t* data,
                             std::uint32_t size) override {
        state_.RoundTrip(index_);
        return key_->SetValue(name, type, data, size);
    }

private:
    platform::Error Wrap(platform::Error e, std::unique_ptr<platform::RegistryKey>& key) const {
        if (key) key = std::make_unique<DistantKey>(std::move(key), state_, index_);
        return e;
    }

    std::unique_ptr<platform::RegistryKey> key_;
    const SimulatedNetwork::State& state_;
    int index_;
};

}  // namespace

platform::Error Registry::ConnectLocalMachine(const std::string& machine, std::unique_ptr<platform::RegistryKey>& key) {
    key.reset();
    const std::string name = ServerName(machine);
    std::shared_ptr<backend::Hive> hive;
    if (name.empty()) {
        const int local = state_.config.localComputer;
        fs::path file;
        const platform::Error e = local >= 0 ? state_.HiveOf(local, hive, &file) : state_.LocalHive(hive);
        if (e != error::kSuccess) return e;
        if (local < 0) {
            key = backend::WritableRoot(hive, [] { return error::kSuccess; });
            return error::kSuccess;
        }
        SimulatedNetwork::State* state = &state_;
        const std::weak_ptr<backend::Hive> weak = hive;
        key = backend::WritableRoot(hive, [state, weak, file]() -> platform::Error {
            const std::shared_ptr<backend::Hive> saved = weak.lock();
            if (!saved) return kRegistryIoFailed;
            std::lock_guard<std::mutex> lock(state->saveMutex);
            return WriteFileAtomically(file, backend::SaveHive(*saved)).empty() ? error::kSuccess : kRegistryIoFailed;
        });
        return error::kSuccess;
    }
    const int index = state_.config.FindComputer(name);
    if (index < 0 || !state_.config.computers[static_cast<std::size_t>(index)].registry) {
        state_.Unreachable(index);
        return error::kBadNetPath;
    }
    state_.UseShare(name, "IPC$");
    state_.RoundTrip(index);
    const platform::Error e = state_.HiveOf(index, hive);
    if (e != error::kSuccess) return e;
    key = FailingAfter(backend::ReadOnlyRoot(hive), state_.config.computers[static_cast<std::size_t>(index)].faults.registry);
    if (state_.config.LatencyOf(index) > 0) key = std::make_unique<DistantKey>(std::move(key), state_, index);
    return error::kSuccess;
}

}  // namespace quorvin::network
