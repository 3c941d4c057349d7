#pragma once
// The log the speed benchmarks read: one computer, BENCH, whose System log
// holds `events` events of a dozen sources over the demo network's message
// DLLs (inserts, categories, %%n parameter strings), built into `folder`.

#include <cstddef>
#include <filesystem>
#include <string>

namespace quorvin::bench {

// The network description (tools/netbuild) of that network.
std::string BenchDescription(std::size_t events);

// Builds the network into `folder` with the demo messages of `messages`;
// false with `error` when it cannot.
bool BuildBenchNetwork(std::size_t events, const std::filesystem::path& folder, const std::string& messages,
                       std::string& error);

}  // namespace quorvin::bench
