// Message modules from outside: the message DLLs of a simulated network and
// the files read from shares. No crash, no overread, no hang: an image that
// is no PE gives 193 with a reason; every lookup in one that loads ends with
// a text or an error code, and every text found formats without fault.
// Read in pieces (ReadMessageFile) the image gives what Load gives, lookup
// for lookup, and never reads more than its size; its MUI resource, and the
// input taken as a MUI resource, read back what EncodeMui writes of them.
//
// Every lookup picks its language among all the table's languages, so an
// image of a few KB with hundreds of languages made each run cost hundreds
// of lookups over hundreds of languages: the lookups go to the first four
// languages and the user default, and to at most eight blocks of each.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "formats/messages/format_message.h"
#include "formats/messages/message_file.h"

namespace {

using namespace quorvin::messages;

void Look(const MessageTable& table, const MessageTable& pieces, std::uint32_t id, std::uint16_t language,
          const std::vector<Argument>& arguments) {
    MessageText text, again;
    std::string problem, againProblem;
    const quorvin::platform::Error e = table.Find(id, language, Locale{}, text, &problem);
    if (e != 0 && problem.empty()) std::abort();
    if (pieces.Find(id, language, Locale{}, again, &againProblem) != e || againProblem != problem ||
        again.wide != text.wide || again.narrow != text.narrow || again.unicode != text.unicode)
        std::abort();
    if (e != 0) return;
    std::u16string out;
    FormatOptions options;
    const quorvin::platform::Error f = FormatTableMessage(&table, nullptr, id, language, Locale{}, &arguments, options, out);
    if (out.size() > options.maxLength) std::abort();
    if (f == 0 && out.empty()) std::abort();
}

// A MUI resource read back from its own encoding is the same.
void RoundTrip(const MuiConfig& config) {
    const std::vector<std::uint8_t> encoded = EncodeMui(config);
    MuiConfig again;
    std::string problem;
    if (!ParseMui(encoded.data(), encoded.size(), again, problem) || EncodeMui(again) != encoded) std::abort();
}

// The same image read in pieces: its error, its table's error and its MUI resource.
MessageFile ReadInPieces(const std::uint8_t* data, std::size_t size, quorvin::platform::Error loadError,
                         const MessageTable& table) {
    MemorySource source(data, size);
    MessageFile file;
    std::string problem;
    if (ReadMessageFile(source, file, &problem) != loadError || file.bytesRead > size) std::abort();
    if (loadError != 0) return file;
    if (file.table.TableError() != table.TableError() || file.table.Languages() != table.Languages()) std::abort();
    if (file.hasMui && !file.muiProblem.empty()) std::abort();
    if (file.hasMui) RoundTrip(file.mui);
    return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    MuiConfig config;
    std::string muiProblem;
    if (ParseMui(data, size, config, muiProblem)) {
        RoundTrip(config);
    } else if (muiProblem.empty()) {
        std::abort();
    }

    MessageTable table;
    std::string problem;
    const quorvin::platform::Error e = MessageTable::Load(data, size, table, &problem);
    const MessageFile file = ReadInPieces(data, size, e, table);
    if (e != 0) {
        if (e != 193 || problem.empty()) std::abort();
        return 0;
    }
    if (table.TableError() != 0 && table.Problem().empty()) std::abort();

    std::vector<Argument> arguments;
    for (int i = 0; i < 8; ++i) arguments.push_back(NarrowArgument(std::string(static_cast<std::size_t>(i), 'a'), 0x1000u * i));

    std::vector<std::uint16_t> languages = table.Languages();
    languages.resize(std::min<std::size_t>(languages.size(), 4));
    languages.push_back(language::kUserDefault);
    for (std::uint16_t lang : languages) {
        for (std::uint32_t id : {0u, 1u, 0xFFFFFFFFu}) Look(table, file.table, id, lang, arguments);
        std::uint16_t chosen = 0;
        if (table.SelectLanguage(lang, Locale{}, chosen) != 0) continue;
        std::vector<MessageBlock> blocks;
        table.Blocks(chosen, blocks);
        blocks.resize(std::min<std::size_t>(blocks.size(), 8));
        for (const MessageBlock& block : blocks) {
            for (std::uint32_t id : {block.lowId, block.lowId + 1, block.highId - 1, block.highId})
                Look(table, file.table, id, lang, arguments);
        }
    }
    return 0;
}
