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

// Reads `file` (its raw bytes) for an import into a list that holds
// `entries` computers at the start of the reading (0 after the overwrite
// answer Yes). The bytes are read in text mode: every CR LF pair becomes
// LF. Each piece of a line (at most 249 bytes, up to and including its LF)
// is, in order:
//   - skipped when it is exactly "\n" (an empty line);
//   - the end of the reading, with the limit message, when the tree (root
//     included) already holds more than `maxComputer` items;
//   - cut at its first zero byte, as a C string would be, and stripped of
//     every CR and LF;
//   - the end of the reading, with the too-long message, when more than 32
//     bytes are left;
//   - otherwise a name to append, unchanged (blanks and odd bytes kept; a
//     line of CR bytes only gives an empty name).
// Names found before a stop are kept; the rest of the file is ignored.
ImportResult ImportListFile(std::string_view file, std::size_t entries, std::uint32_t maxComputer);

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
