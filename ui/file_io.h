#pragma once
// Whole-file reads and writes for the commands that save and load files.

#include "ui/window.h"

namespace quorvin::ui {

// Writes `bytes` as the whole file `path`; 0 or the Win32 error of the step
// that failed. The bytes go to a new file in the same folder, which takes
// the place of `path` only once all of them are written: a write that
// fails half way (a full disk, a network drive gone) leaves the file the
// user had as it was, and leaves no file behind where there was none.
// The test seam QUORVIN_WRITE_FAILS_AFTER=N makes the write fail with 112
// (disk full) after N bytes.
platform::Error WriteWholeFile(const std::wstring& path, std::string_view bytes);

// Reads all of `path` into `bytes`; 0 or the Win32 error. A file longer
// than `maxBytes` is not read: 8 (not enough memory).
platform::Error ReadWholeFile(const std::wstring& path, std::string& bytes, std::size_t maxBytes);

// A file read from start to end in pieces of the caller's size.
class FileReader {
public:
    FileReader() = default;
    ~FileReader();
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    // 0 or the Win32 error of opening `path` for reading.
    platform::Error Open(const std::wstring& path);
    // Fills up to `size` bytes of `buffer`: how many, 0 at the end of the
    // file, -1 when the read failed.
    long long Read(char* buffer, std::size_t size);

private:
    HANDLE file_ = INVALID_HANDLE_VALUE;
};

}  // namespace quorvin::ui
