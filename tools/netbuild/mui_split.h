#pragma once
// Splits a message DLL the way Windows since Vista ships its own: a
// language-neutral file holding a MUI resource and no message table, and one
// .mui language file per language holding that language's table and a MUI
// resource tied to the neutral file by the same checksum. A provider
// manifest (WEVT_TEMPLATE) stays in the neutral file.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace quorvin::network {

// The language id (LANGID) of a language name the builder knows ("ja-JP"
// 0x411, "en-US" 0x409, ...; ASCII letters in either case): false when it
// knows none by that name.
bool LanguageId(const std::string& name, std::uint16_t& id);

struct MuiSplit {
    std::vector<std::uint8_t> neutral;
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> languages;  // name, .mui file
};

// Splits the message DLL `source` into `languages` (known names), the
// neutral file naming `fallback` as its ultimate fallback language. The
// checksum is a hash of the source's tables of those languages, so the
// same source always gives the same files. False, with `problem`, when the
// source is no PE image, holds no message table, or lacks a language.
bool SplitMessageFile(const std::vector<std::uint8_t>& source, const std::vector<std::string>& languages,
                      const std::string& fallback, MuiSplit& split, std::string& problem);

}  // namespace quorvin::network
