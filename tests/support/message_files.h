#pragma once
// Files the message tests read: the test DLLs of the build and Wine's own
// PE DLLs. Under Wine a Unix path is reached through drive Z:.

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace quorvin::messages::test {

inline std::string HostPath(const std::string& unixPath) {
#ifdef _WIN32
    if (!unixPath.empty() && unixPath[0] == '/') return "Z:" + unixPath;
#endif
    return unixPath;
}

inline bool ReadBytes(const std::string& path, std::vector<std::uint8_t>& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

// A DLL built from tests/messages/*.mc; empty when the build folder is unknown.
inline std::string TestDllPath(const std::string& name) {
    const char* dir = std::getenv("QUORVIN_BINARY_DIR");
    if (dir == nullptr) return {};
    return HostPath(std::string(dir) + "/test-messages/" + name + ".dll");
}

// One of Wine's PE DLLs with real message tables.
inline std::string WineDllPath(const std::string& name) {
    return HostPath("/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/" + name + ".dll");
}

}  // namespace quorvin::messages::test
