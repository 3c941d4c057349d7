#pragma once
// A folder that plays a Windows network: the platform services answered from
// its files (docs/network.md describes the folder).

#include "services/services.h"
#include "services/simulated/network_config.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

namespace quorvin::network {

class SimulatedNetwork {
public:
    struct Options {
        // What a message file's reading gave is kept by its path, size and
        // write time and shared by every later load of it; every load still
        // opens the file (share and account checks, its own result). Off:
        // read at every load.
        bool shareModules = true;
        // The bytes kept of files read; beyond it the least recently used
        // are read again when loaded.
        std::uint64_t moduleCacheBytes = std::uint64_t{64} << 20;
    };

    // Reads the network folder; null with `error` telling what is wrong
    // (missing folder, missing or broken network.ini or computer.ini).
    static std::unique_ptr<SimulatedNetwork> Open(const std::filesystem::path& folder, std::string& error);
    static std::unique_ptr<SimulatedNetwork> Open(const std::filesystem::path& folder, const Options& options,
                                                  std::string& error);

    ~SimulatedNetwork();
    SimulatedNetwork(const SimulatedNetwork&) = delete;
    SimulatedNetwork& operator=(const SimulatedNetwork&) = delete;

    // The seven services; they live as long as this object.
    platform::Platform Services();

    // Drops every connection made through the connection service and brings
    // back the shares that went away ([faults] SharesFailAfter).
    void Reset();

    const NetworkConfig& Config() const;

    // The bytes the services moved since the network was opened or the
    // counts were last reset. Every read of an event log counts the size
    // it asked for, whatever it returned: the protocol answers with a
    // buffer of the size asked. Every read of a message file counts the
    // bytes read from the file. Registry calls are not counted. Counted
    // from every thread at once; a copy read while a run goes on may be
    // a moment old in one count against another.
    struct TrafficCounts {
        std::uint64_t eventLogBytes = 0;
        std::uint64_t eventLogReads = 0;
        std::uint64_t fileBytes = 0;
        std::uint64_t fileReads = 0;
    };
    TrafficCounts Traffic() const;
    void ResetTraffic();

    struct State;

private:
    SimulatedNetwork(NetworkConfig config, const Options& options);
    std::unique_ptr<State> state_;
};

}  // namespace quorvin::network
