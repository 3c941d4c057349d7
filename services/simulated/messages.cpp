// The message files of the network: opened behind the drive shares of its
// computers, or on this machine's drives, and read in ranges as the
// message service asks.

#include <fstream>

#include "services/simulated/network_state.h"

namespace quorvin::network {

namespace {

constexpr platform::Error kReadFault = 30;  // ERROR_READ_FAULT

// A file of the network folder, read where it lies. A file opened through
// a share of computer `share` fails its reads with the share's error once
// that share is gone ([faults] SharesFailAfter).
class NetworkFile final : public platform::OpenedFile {
public:
    NetworkFile(SimulatedNetwork::State& state, int share, platform::FileStamp stamp)
        : state_(state), share_(share), stamp_(stamp) {}

    bool Open(const fs::path& file) {
        in_.open(file, std::ios::binary);
        return static_cast<bool>(in_);
    }
    std::uint64_t Size() const override { return stamp_.size; }
    platform::FileStamp Stamp() const override { return stamp_; }
    platform::Error ReadAt(std::uint64_t offset, std::size_t size, std::uint8_t* out) override {
        if (offset > stamp_.size || size > stamp_.size - offset) return error::kHandleEof;
        if (share_ >= 0) {
            if (const platform::Error gone = state_.ShareGone(share_)) return gone;
        }
        in_.clear();
        in_.seekg(static_cast<std::streamoff>(offset));
        if (!in_.read(reinterpret_cast<char*>(out), static_cast<std::streamsize>(size))) return kReadFault;
        state_.CountFileRead(size);
        return error::kSuccess;
    }

private:
    SimulatedNetwork::State& state_;
    const int share_;
    const platform::FileStamp stamp_;
    std::ifstream in_;
};

// The file `pieces` of drive `drive` of computer `index`. Through a share
// (`parsed` a UNC path) the share is used and the file's reads fail once
// the computer's shares are gone.
platform::Error OpenOnDrive(SimulatedNetwork::State& state, int index, char drive, const WindowsPath& parsed,
                            const std::vector<std::string>& pieces, std::unique_ptr<platform::OpenedFile>& file) {
    const bool unc = parsed.kind == WindowsPath::Kind::kUnc;
    const ComputerConfig& computer = state.config.computers[static_cast<std::size_t>(index)];
    fs::path drives, root;
    if (!FindEntry(computer.folder, "drives", EntryKind::kDirectory, drives, &state.folders) ||
        !FindEntry(drives, std::string(1, drive), EntryKind::kDirectory, root, &state.folders))
        return unc ? error::kBadNetName : error::kPathNotFound;
    if (unc) state.UseShare(parsed.server, parsed.share);

    std::vector<std::string> components;
    if (const platform::Error e = NormalizeComponents(pieces, components)) return e;
    fs::path found;
    if (const platform::Error e = ResolveFile(root, components, found, &state.folders)) return e;
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(found, ec);
    if (ec) return error::kFileNotFound;
    const auto written = fs::last_write_time(found, ec);
    if (ec) return error::kFileNotFound;
    const platform::FileStamp stamp{size, static_cast<std::uint64_t>(written.time_since_epoch().count())};
    auto opened = std::make_unique<NetworkFile>(state, unc ? index : -1, stamp);
    if (!opened->Open(found)) return error::kFileNotFound;
    file = std::move(opened);
    return error::kSuccess;
}

}  // namespace

platform::Error MessageFiles::Open(const std::string& path, std::unique_ptr<platform::OpenedFile>& file) {
    file.reset();
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
    return OpenOnDrive(state_, index, drive, parsed, pieces, file);
}

platform::Error ComputerFiles::Open(const std::string& path, std::unique_ptr<platform::OpenedFile>& file) {
    file.reset();
    const WindowsPath parsed = ParseWindowsPath(path);
    if (parsed.kind != WindowsPath::Kind::kDrive) return kModNotFound;
    return OpenOnDrive(state_, index_, parsed.drive, parsed, parsed.components, file);
}

platform::Error SystemTable::Format(std::uint32_t id, const std::vector<std::string>* arguments, std::string& text) {
    return backend::SystemMessage(id, arguments, text);
}

std::string SystemTable::ErrorText(platform::Error code) { return backend::SystemErrorText(code); }

}  // namespace quorvin::network
