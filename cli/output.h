#pragma once
// The console collector's outputs: files that replace the old ones only
// when complete, standard streams checked to the last byte, and the check
// that no two outputs name one file.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvin::cli {

// An output file. A regular file (or a name not yet taken) is written as a
// new file in the same folder, which takes the target's place only when
// every byte is written and the file is closed: after a failure the old
// file is as it was and no new file is left. New files that a run which
// did not end left beside the target are removed when it is opened. A link is followed and the
// file it leads to replaced. A device or a pipe is written directly.
// The test seam QUORVIN_WRITE_FAILS_AFTER=N makes writes fail as on a full
// disk after N bytes of each file.
class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Creates the file the bytes go to; false with `error` (UTF-8).
    bool Open(const std::filesystem::path& target, std::string& error);
    // Opens the target itself to add to its end (a new file when there is
    // none; a device or a pipe as Open opens it). Until Commit, and after a
    // failed one, the file is cut back to the length it had: no reader of it
    // ever keeps a part of this run's bytes that is not followed by the rest.
    bool OpenAppend(const std::filesystem::path& target, std::string& error);
    // OpenAppend: whether the file was empty when it was opened (a device
    // or a pipe always is).
    bool StartedEmpty() const { return appendFrom_.value_or(0) == 0; }
    std::uint64_t StartLength() const { return appendFrom_.value_or(0); }
    // The file's length with what was written so far; and the file cut
    // back to such a length (false, and the output failed, when it cannot be).
    std::uint64_t Position() const { return position_; }
    bool CutBack(std::uint64_t position);
    // OpenAppend: cuts the file back to `length` (no more than it had) before
    // anything is added; the run's start is then that length. False, and
    // the output failed, when it cannot be.
    bool Rewind(std::uint64_t length);
    // Commit also forces the bytes to the disk before the file takes its
    // place, and the folder's new entry after (where the system needs it).
    void SetDurable() { durable_ = true; }
    // After a Commit of an appended file: cuts it back to the length it had
    // before the run (when a later output of the run failed).
    bool Revert(std::string& error);
    // Appends bytes; a failure is kept for Commit and later writes are dropped.
    void Write(std::string_view bytes);
    // Flushes and closes the file and puts it in the target's place; false
    // with `error` (UTF-8) when a write, the close or the replacement failed.
    bool Commit(std::string& error);

private:
    void Discard();

    std::filesystem::path target_;     // as given, for messages
    std::filesystem::path final_;      // the file replaced
    std::filesystem::path temporary_;  // empty: written directly
    std::FILE* file_ = nullptr;
    std::uint64_t written_ = 0;
    std::uint64_t position_ = 0;  // the file's length, what was written included
    std::optional<std::uint64_t> appendFrom_;  // OpenAppend: the length before the run
    bool durable_ = false;
    std::optional<std::uint64_t> failAfter_;
    int error_ = 0;  // errno of the first failure
};

// Where an output lands, as the file system tells it: the file's identity
// when it exists, else its folder's identity and its name.
struct OutputPlace {
    std::uint64_t device = 0, file = 0;
    std::string newName;  // empty when the file exists
    bool shareable = false;  // a device or a pipe: outputs may share it
    bool operator==(const OutputPlace& o) const {
        return device == o.device && file == o.file && newName == o.newName;
    }
};

// The place of a named output; nothing when its folder cannot be found.
std::optional<OutputPlace> PlaceOf(const std::filesystem::path& target);
// The identity of an existing file ("device:file"); empty when it has none.
std::string IdentityOf(const std::filesystem::path& file);
// The place behind a standard stream when it is a file; nothing for a
// terminal or when it cannot be told.
std::optional<OutputPlace> PlaceOf(std::FILE* stream);

// One output of the run: its option ("--csv", "standard output") and place.
struct NamedPlace {
    std::string what;
    std::optional<OutputPlace> place;
};
// The refusal (UTF-8) when two outputs land on one file that is not a
// device or a pipe; empty when each has its own.
std::string SharedOutputRefusal(const std::vector<NamedPlace>& outputs);

// Flushes a standard stream, and closes it with `close`; false when a write
// to it, the flush or the close failed.
bool FinishStream(std::FILE* stream, bool close);

}  // namespace quorvin::cli
