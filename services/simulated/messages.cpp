// The message module service: message files found behind the drive shares.

#include "services/simulated/network_state.h"

namespace quorvin::network {

platform::Error Messages::LoadDataFile(const std::string& path, std::unique_ptr<platform::MessageModule>& module) {
    module.reset();
    const WindowsPath parsed = ParseWindowsPath(path);
    const NetworkConfig& config = state_.config;
    int index = -1;
    char drive = 0;
    std::vector<std::string> pieces;
    if (parsed.kind == WindowsPath::Kind::kUnc) {
        index = config.FindComputer(parsed.server);
        if (index < 0) {
            state_.Unreachable(index);
            return error::kBadNetPath;
        }
        state_.RoundTrip(index);
        const ComputerConfig& computer = config.computers[static_cast<std::size_t>(index)];
        if (computer.shares == Shares::kOff) return error::kAccessDenied;
        if (computer.shares == Shares::kAuth && !state_.Connected(parsed.server)) return error::kAccessDenied;
        if (const platform::Error e = state_.ShareLoad(index)) return e;
        drive = DriveShareLetter(parsed.share);
        if (drive == 0 && Equal(parsed.share, "admin$")) {
            // admin$ is the system root folder.
            const WindowsPath root = ParseWindowsPath(state_.SystemRootOf(index) + "\\");
            if (root.kind != WindowsPath::Kind::kDrive) return error::kBadNetName;
            drive = root.drive;
            pieces = root.components;
        } else if (drive == 0) {
            return error::kBadNetName;
        }
        pieces.insert(pieces.end(), parsed.components.begin(), parsed.components.end());
    } else if (parsed.kind == WindowsPath::Kind::kDrive) {
        index = config.localComputer;
        if (index < 0) return error::kPathNotFound;
        drive = parsed.drive;
        pieces = parsed.components;
    } else {
        return kModNotFound;
    }

    const ComputerConfig& computer = config.computers[static_cast<std::size_t>(index)];
    fs::path drives, root;
    if (!FindEntry(computer.folder, "drives", EntryKind::kDirectory, drives, &state_.folders) ||
        !FindEntry(drives, std::string(1, drive), EntryKind::kDirectory, root, &state_.folders))
        return parsed.kind == WindowsPath::Kind::kUnc ? error::kBadNetName : error::kPathNotFound;
    if (parsed.kind == WindowsPath::Kind::kUnc) state_.UseShare(parsed.server, parsed.share);

    std::vector<std::string> components;
    if (const platform::Error e = NormalizeComponents(pieces, components)) return e;

    SimulatedNetwork::State::ModuleSlot slot;
    std::string key;
    if (state_.shareModules) {
        key = std::to_string(index) + ":" + drive;
        for (const std::string& c : components) key += "\\" + c;
        std::lock_guard<std::mutex> lock(state_.moduleMutex);
        if (const auto* found = state_.modules.Find(key)) slot = *found;
    }
    if (key.empty() || (!slot.image && slot.error == error::kSuccess)) {
        std::uint64_t bytes = 0;
        slot.error = ReadModule(root, components, slot.image, bytes);
        if (!key.empty()) {
            std::lock_guard<std::mutex> lock(state_.moduleMutex);
            state_.modules.Put(key, slot, bytes + key.size());
        }
    }
    if (slot.error != error::kSuccess) return slot.error;
    module = backend::ModuleOf(slot.image);
    if (parsed.kind == WindowsPath::Kind::kUnc) module = FromShare(std::move(module), index, config);
    return error::kSuccess;
}

platform::Error Messages::ReadModule(const fs::path& root, const std::vector<std::string>& components,
                                     std::shared_ptr<const backend::ModuleImage>& image, std::uint64_t& bytes) {
    fs::path file;
    if (const platform::Error e = ResolveFile(root, components, file, &state_.folders)) return e;
    std::vector<std::uint8_t> data;
    if (const platform::Error e = ReadWholeFile(file, kModuleLimit, data))
        return e == error::kNotEnoughMemory ? error::kBadExeFormat : e;
    state_.CountFileRead(data.size());
    if (data.empty()) return kFileInvalid;  // an empty file cannot be mapped
    bytes = data.size();
    return backend::LoadModuleImage(data.data(), data.size(), image);
}

}  // namespace quorvin::network
