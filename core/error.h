#pragma once
// The Win32 error codes that the services return and the readers of
// Windows files give as their failures, carried as values (never as a
// thread-global last error), and the registry's value types.

#include <cstdint>

namespace quorvin::platform {

// A Win32 error code; 0 is success.
using Error = std::uint32_t;

namespace error {
constexpr Error kSuccess = 0;
constexpr Error kFileNotFound = 2;
constexpr Error kPathNotFound = 3;
constexpr Error kAccessDenied = 5;
constexpr Error kInvalidHandle = 6;
constexpr Error kNotEnoughMemory = 8;
constexpr Error kInvalidData = 13;
constexpr Error kHandleEof = 38;
constexpr Error kBadNetPath = 53;
constexpr Error kBadNetName = 67;
constexpr Error kInvalidParameter = 87;
constexpr Error kInsufficientBuffer = 122;
constexpr Error kBadExeFormat = 193;
constexpr Error kMoreData = 234;
constexpr Error kMessageNotFound = 317;  // ERROR_MR_MID_NOT_FOUND
constexpr Error kResourceTypeNotFound = 1813;
constexpr Error kSessionCredentialConflict = 1219;
constexpr Error kLogonFailure = 1326;
constexpr Error kFileCorrupt = 1392;
constexpr Error kRpcServerUnavailable = 1722;
constexpr Error kEventLogFileCorrupt = 1500;
constexpr Error kEventLogFileChanged = 1503;
constexpr Error kNoBrowserServers = 6118;
constexpr Error kInvalidComputerName = 2351;  // NERR_InvalidComputer

// The most bytes one ReadEventLog call may ask for: the event log protocol
// declares the read size with this range, and a larger request is refused.
constexpr std::uint32_t kLargestEventLogRead = 0x7FFFF;
}  // namespace error

// Registry value types.
namespace regtype {
constexpr std::uint32_t kNone = 0, kSz = 1, kExpandSz = 2, kBinary = 3, kDword = 4, kMultiSz = 7;
}

}  // namespace quorvin::platform
