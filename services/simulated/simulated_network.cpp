#include "services/simulated/network_state.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace quorvin::network {

std::string UpperAscii(std::string_view s) {
    std::string out(s);
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (text::IsLeadByte(static_cast<unsigned char>(out[i]))) {
            ++i;
        } else if (out[i] >= 'a' && out[i] <= 'z') {
            out[i] = static_cast<char>(out[i] - 'a' + 'A');
        }
    }
    return out;
}

bool QueryText(platform::RegistryKey& key, const std::string& name, std::string& value) {
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    if (key.QueryValue(name, type, nullptr, size) != error::kSuccess) return false;
    if (type != platform::regtype::kSz && type != platform::regtype::kExpandSz) return false;
    std::vector<std::uint8_t> data(size);
    if (key.QueryValue(name, type, data.data(), size) != error::kSuccess) return false;
    value.assign(data.begin(), data.begin() + std::min<std::size_t>(size, data.size()));
    value = std::string(CString(value));
    return true;
}

// ---- The shared state ------------------------------------------------------------

platform::Error SimulatedNetwork::State::HiveOf(int index, std::shared_ptr<backend::Hive>& hive, fs::path* file) {
    std::lock_guard<std::mutex> lock(mutex);
    HiveSlot& slot = hives[static_cast<std::size_t>(index)];
    if (!slot.loaded) {
        slot.loaded = true;
        const fs::path& folder = config.computers[static_cast<std::size_t>(index)].folder;
        if (!FindEntry(folder, "registry.reg", EntryKind::kFile, slot.file)) {
            slot.file = folder / "registry.reg";
            slot.hive = backend::EmptyHive();
        } else {
            std::vector<std::uint8_t> data;
            std::string parseError;
            if (ReadWholeFile(slot.file, kHiveLimit, data) != error::kSuccess)
                slot.error = kRegistryCorrupt;
            else if (!(slot.hive = backend::LoadHive(data.data(), data.size(), parseError)))
                slot.error = kRegistryCorrupt;
        }
    }
    hive = slot.hive;
    if (file) *file = slot.file;
    return slot.error;
}

platform::Error SimulatedNetwork::State::LocalHive(std::shared_ptr<backend::Hive>& hive) {
    if (config.localComputer >= 0) return HiveOf(config.localComputer, hive);
    std::lock_guard<std::mutex> lock(mutex);
    if (!memoryHive) memoryHive = backend::EmptyHive();
    hive = memoryHive;
    return error::kSuccess;
}

std::string SimulatedNetwork::State::SystemRootOf(int index) {
    std::shared_ptr<backend::Hive> hive;
    const platform::Error e = index >= 0 ? HiveOf(index, hive) : LocalHive(hive);
    if (e != error::kSuccess || !hive) return kDefaultSystemRoot;
    std::unique_ptr<platform::RegistryKey> root = backend::ReadOnlyRoot(hive);
    std::unique_ptr<platform::RegistryKey> key;
    std::string value;
    if (root->OpenKey(kCurrentVersionKey, key) != error::kSuccess || !QueryText(*key, "SystemRoot", value) ||
        value.empty())
        return kDefaultSystemRoot;
    return value;
}

bool SimulatedNetwork::State::Connected(std::string_view server) {
    std::lock_guard<std::mutex> lock(mutex);
    return sessions.find(std::string(server)) != sessions.end();
}

void SimulatedNetwork::State::UseShare(std::string_view server, std::string_view share) {
    std::lock_guard<std::mutex> lock(mutex);
    const auto session = sessions.find(std::string(server));
    if (session == sessions.end()) return;
    std::vector<std::string>& shares = session->second.shares;
    const std::string upper = UpperAscii(share);
    if (std::find(shares.begin(), shares.end(), upper) == shares.end()) shares.push_back(upper);
}

namespace {

void WaitMilliseconds(int ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace

void SimulatedNetwork::State::RoundTrip(int index) const { WaitMilliseconds(config.LatencyOf(index)); }

void SimulatedNetwork::State::Unreachable(int index) const { WaitMilliseconds(config.TimeoutOf(index)); }

platform::Error SimulatedNetwork::State::Reach(std::string_view name, int& index) const {
    index = name.empty() ? config.localComputer : config.FindComputer(name);
    if (index >= 0 || name.empty()) return error::kSuccess;
    Unreachable(index);
    return error::kRpcServerUnavailable;
}

// ---- The network ----------------------------------------------------------------------

std::unique_ptr<SimulatedNetwork> SimulatedNetwork::Open(const fs::path& folder, std::string& error) {
    return Open(folder, Options{}, error);
}

std::unique_ptr<SimulatedNetwork> SimulatedNetwork::Open(const fs::path& folder, const Options& options,
                                                         std::string& error) {
    NetworkConfig config;
    if (!LoadNetworkConfig(folder, config, error)) return nullptr;
    return std::unique_ptr<SimulatedNetwork>(new SimulatedNetwork(std::move(config), options));
}

SimulatedNetwork::SimulatedNetwork(NetworkConfig config, const Options& options)
    : state_(std::make_unique<State>(std::move(config))) {
    state_->messages.KeepFiles(options.shareModules, options.moduleCacheBytes);
}

SimulatedNetwork::~SimulatedNetwork() = default;

platform::Platform SimulatedNetwork::Services() {
    return platform::Platform{state_->eventLog, state_->registry, state_->connections, state_->messages,
                              state_->system,   state_->browse,   state_->channels};
}

void SimulatedNetwork::Reset() {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->sessions.clear();
    for (std::uint32_t& loads : state_->shareLoads) loads = 0;
}

const NetworkConfig& SimulatedNetwork::Config() const { return state_->config; }

void SimulatedNetwork::State::CountLogRead(std::uint32_t size) {
    traffic.eventLogBytes += size;
    ++traffic.eventLogReads;
}

void SimulatedNetwork::State::CountFileRead(std::uint64_t bytes) {
    traffic.fileBytes += bytes;
    ++traffic.fileReads;
}

SimulatedNetwork::TrafficCounts SimulatedNetwork::Traffic() const {
    TrafficCounts counts;
    counts.eventLogBytes = state_->traffic.eventLogBytes;
    counts.eventLogReads = state_->traffic.eventLogReads;
    counts.fileBytes = state_->traffic.fileBytes;
    counts.fileReads = state_->traffic.fileReads;
    return counts;
}

void SimulatedNetwork::ResetTraffic() {
    state_->traffic.eventLogBytes = 0;
    state_->traffic.eventLogReads = 0;
    state_->traffic.fileBytes = 0;
    state_->traffic.fileReads = 0;
}

}  // namespace quorvin::network
