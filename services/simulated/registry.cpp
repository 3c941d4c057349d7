// The remote registry service: each computer's registry.reg as its HKEY_LOCAL_MACHINE.

#include "services/simulated/network_state.h"

namespace quorvin::network {

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
    if (index < 0 || !state_.config.computers[static_cast<std::size_t>(index)].registry) return error::kBadNetPath;
    state_.UseShare(index, "IPC$");
    const platform::Error e = state_.HiveOf(index, hive);
    if (e != error::kSuccess) return e;
    key = FailingAfter(backend::ReadOnlyRoot(hive), state_.config.computers[static_cast<std::size_t>(index)].faults.registry);
    return error::kSuccess;
}

}  // namespace quorvin::network
