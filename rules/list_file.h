#pragma once
// Computer list text files: one CP932 name per line. Writing gives every
// name followed by CR LF; importing reads the file as the C runtime reads a
// text file line by line into a 250-byte buffer, with the rules and stops of
// the import command.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/user_message.h"

namespace quorvin::computers {

// The file's bytes: each name unchanged, then CR LF; nothing else.
std::string ListFileContent(const std::vector<std::string>& names);

// The longest piece one read of a line takes; a longer line arrives in
// several pieces, the first without its line end.
constexpr std::size_t kImportPieceBytes = 249;

struct ImportResult {
    std::vector<std::string> names;             // to append, in order
    std::vector<app::UserMessage> messages;     // to show, in order, after the names are appended
};

// The most an import reads: a longer file, or a device that never ends, is
// a file that could not be read.
constexpr std::uint64_t kMaxListFileBytes = std::uint64_t{64} << 20;

// An import reading a file as it comes, into a list that holds `entries`
// computers at the start of the reading (0 after the overwrite answer Yes).
// A UTF-8 byte-order mark at the start of the file (EF BB BF, as Notepad
// saves a list) is skipped: no computer name begins with it. The bytes are
// read in text mode: every CR LF pair becomes LF. Each piece
// of a line (at most 249 bytes, up to and including its LF) is, in order:
//   - cut at its first zero byte, as a C string would be, and stripped of
//     every CR and LF;
//   - skipped when nothing is left (an empty line, a line of CRs or one
//     starting with a zero byte): an empty name would mean this machine;
//   - the end of the reading, with the limit message, when the tree (root
//     included) already holds more than `maxComputer` items;
//   - the end of the reading, with the too-long message, when more than 32
//     bytes are left;
//   - otherwise a name to append, unchanged (blanks and odd bytes kept).
// Names found before a stop are kept; the rest of the file is ignored.
// Memory stays within one piece and the names.
class ListFileReader {
public:
    ListFileReader(std::size_t entries, std::uint32_t maxComputer) : entries_(entries), maxComputer_(maxComputer) {}

    // Takes the next bytes of the file; false once a stop has ended the
    // reading (later bytes are not wanted).
    bool Feed(std::string_view bytes);
    // The end of the file: the last piece, and the result.
    ImportResult Finish();

private:
    // True while `c` belongs to a byte-order mark at the start of the file.
    bool SkipByteOrderMark(char c);
    // The start is over: bytes that began like the mark go to Take.
    void EndOfStart();
    void Take(char c);
    void Emit(char c);
    void EndPiece();

    std::size_t entries_;
    std::uint32_t maxComputer_;
    bool markDone_ = false;
    std::size_t markSeen_ = 0;
    bool pendingCr_ = false;
    bool stopped_ = false;
    std::string piece_;
    ImportResult result_;
};

// The import of a whole file held in memory.
ImportResult ImportListFile(std::string_view file, std::size_t entries, std::uint32_t maxComputer);

// Reads a list file through `read`, which fills up to `size` bytes of
// `buffer` and returns how many (0 at the end of the file, negative on a
// read error). False, with nothing in `result`, when a read fails or more
// than kMaxListFileBytes come before a stop or the end: the "could not
// read" answer. `read` is not called again after a stop.
template <typename Read>
bool ReadListFile(Read&& read, std::size_t entries, std::uint32_t maxComputer, ImportResult& result) {
    ListFileReader reader(entries, maxComputer);
    std::uint64_t total = 0;
    char buffer[16384];
    for (;;) {
        const long long n = read(buffer, sizeof buffer);
        if (n < 0) return false;
        if (n == 0) break;
        total += static_cast<std::uint64_t>(n);
        if (total > kMaxListFileBytes) return false;
        if (!reader.Feed(std::string_view(buffer, static_cast<std::size_t>(n)))) break;
    }
    result = reader.Finish();
    return true;
}

// The messages of the two commands (the too-long and limit stops come with
// ImportListFile's result).
app::UserMessage NameTooLongMessage();
app::UserMessage SaveEmptyListMessage();
app::UserMessage ImportOpenFailedMessage(const std::string& applicationTitle);
// Asked before an import when the list holds at least one entry: Yes
// overwrites the list, No appends to it.
app::UserMessage OverwriteQuestion();

// The file dialogs' filter (save and open).
extern const char* const kListFileFilter;
extern const char* const kListFileDefaultExtension;  // of the save dialog

}  // namespace quorvin::computers
