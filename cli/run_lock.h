#pragma once
// A lock one run holds on a file for its whole length, so that two runs
// never add to one events file or move one state on at the same time. The
// system lets it go when the process ends, however it ends (a kill, a
// crash): no stale lock is ever left to clear by hand.

#include <filesystem>
#include <string>

namespace quorvin::cli {

class RunLock {
public:
    enum class Result { kTaken, kHeld, kFailed };

    RunLock() = default;
    ~RunLock();
    RunLock(const RunLock&) = delete;
    RunLock& operator=(const RunLock&) = delete;

    // Takes the lock of `path` (made when missing) without waiting. With
    // `describe`, the file then holds one line naming this run (process,
    // computer, start), and kHeld gives the holder's line in `message`
    // (empty without `describe`);
    // kFailed gives the system's reason (UTF-8). Readers of the file are not
    // hindered: on Windows the locked range lies past any file's end.
    Result Take(const std::filesystem::path& path, bool describe, std::string& message);

private:
#ifdef _WIN32
    void* handle_ = nullptr;
#else
    int fd_ = -1;
#endif
};

}  // namespace quorvin::cli
