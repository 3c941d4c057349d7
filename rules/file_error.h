#pragma once
// The message for a file that could not be created, written or read: one
// text per cause (string table entries 61856 to 61870), naming the file.

#include <cstdint>
#include <string>
#include <string_view>

#include "core/error.h"

namespace quorvin::app {

// The causes, in the order of their texts in the string table.
enum class FileErrorCause {
    None, Generic, FileNotFound, BadPath, TooManyOpenFiles, AccessDenied, InvalidFile, RemoveCurrentDir,
    DirectoryFull, BadSeek, HardIo, SharingViolation, LockViolation, DiskFull, EndOfFile,
};

constexpr std::uint32_t kFileErrorFirstString = 61856;

// The cause of a Win32 error code from a file operation; codes without a
// cause of their own are Generic (0 is None).
FileErrorCause FileErrorCauseOf(platform::Error code);

// The string table entry of the cause's text.
constexpr std::uint32_t FileErrorStringId(FileErrorCause cause) {
    return kFileErrorFirstString + static_cast<std::uint32_t>(cause);
}

// `text` with every "%1" replaced by `path`.
std::string FillFileErrorText(std::string_view text, std::string_view path);

}  // namespace quorvin::app
