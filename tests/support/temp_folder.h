#pragma once
// A folder of its own under the system's temporary folder for one test,
// removed with everything in it when the test ends.

#include "services/simulated/paths.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace quorvin::network::test {

class TempFolder {
public:
    TempFolder() {
        std::mt19937_64 random(static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                               std::random_device{}());
        const auto base = std::filesystem::temp_directory_path();
        for (int attempt = 0; attempt < 100; ++attempt) {
            path_ = base / ("quorvin-net-" + std::to_string(random()));
            if (std::filesystem::create_directory(path_)) return;
        }
        throw std::runtime_error("cannot make a temporary folder");
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }

    // Writes a file at `relative` (CP932, "/" separated), making its folders.
    std::filesystem::path Write(std::string_view relative, std::string_view bytes) const {
        const auto file = path_ / Cp932ToHostName(relative);
        std::filesystem::create_directories(file.parent_path());
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out) throw std::runtime_error("cannot write " + file.u8string());
        return file;
    }
    std::filesystem::path Write(std::string_view relative, const std::vector<std::uint8_t>& bytes) const {
        return Write(relative, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    }

    std::filesystem::path MakeFolder(std::string_view relative) const {
        const auto folder = path_ / Cp932ToHostName(relative);
        std::filesystem::create_directories(folder);
        return folder;
    }

    std::string Read(std::string_view relative) const {
        std::ifstream in(path_ / Cp932ToHostName(relative), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

private:
    std::filesystem::path path_;
};

}  // namespace quorvin::network::test
