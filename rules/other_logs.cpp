#include "rules/other_logs.h"

#include <algorithm>
#include <cstring>

#include "core/cp932.h"

namespace quorvin::run {

namespace {

constexpr char kFullWidthSpace[] = "\x81\x40";

// `text` without the blanks at either end; a full-width space is a
// double-byte character, so it is only cut where it starts a character.
std::string_view TrimBlanks(std::string_view text) {
    for (;;) {
        if (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
            text.remove_prefix(1);
        } else if (text.substr(0, 2) == kFullWidthSpace) {
            text.remove_prefix(2);
        } else {
            break;
        }
    }
    // From the end a trail byte 0x40 may belong to another character: walk
    // the characters from the start and remember where the last non-blank ends.
    std::size_t end = 0;
    for (std::size_t i = 0; i < text.size();) {
        const bool pair = text::IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size();
        const std::size_t unit = pair ? 2 : 1;
        const std::string_view character = text.substr(i, unit);
        i += unit;
        if (character != " " && character != "\t" && character != kFullWidthSpace) end = i;
    }
    return text.substr(0, end);
}

// The first rule `name` breaks, walking it character by character.
std::optional<OtherLogsProblem> NameProblem(std::string_view name) {
    std::size_t characters = 0;
    for (std::size_t i = 0; i < name.size(); ++characters) {
        const auto c = static_cast<unsigned char>(name[i]);
        if (text::IsLeadByte(c)) {
            if (i + 1 >= name.size()) return OtherLogsProblem::kBrokenText;
            i += 2;
            continue;
        }
        if (c < 0x20 || c == 0x7F || std::strchr("\\:*?\"<>|%", c) != nullptr) return OtherLogsProblem::kBadCharacter;
        ++i;
    }
    if (characters > kMostChannelNameCharacters) return OtherLogsProblem::kNameTooLong;
    return std::nullopt;
}

app::UserMessage Refusal(const std::string& text) {
    return app::UserMessage{text, "注意", app::MessageIcon::Exclamation, app::MessageButtons::Ok};
}

}  // namespace

std::optional<std::vector<std::string>> ParseOtherLogs(std::string_view text, OtherLogsError& error) {
    if (text.size() > kMostOtherLogsBytes) {
        error = {OtherLogsProblem::kTextTooLong, {}};
        return std::nullopt;
    }
    std::vector<std::string> channels;
    // No CP932 trail byte is a ";", so the text splits byte by byte.
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t end = std::min(text.find(';', start), text.size());
        const std::string_view name = TrimBlanks(text.substr(start, end - start));
        start = end + 1;
        if (name.empty()) continue;
        if (const auto problem = NameProblem(name)) {
            error = {*problem, std::string(name)};
            return std::nullopt;
        }
        bool seen = false;
        for (const std::string& kept : channels) seen = seen || text::MbsICmp(kept, name) == 0;
        if (!seen) channels.emplace_back(name);
    }
    return channels;
}

app::UserMessage OtherLogsMessage(const OtherLogsError& error) {
    const std::string name = "「" + error.name + "」";
    switch (error.problem) {
    case OtherLogsProblem::kBadCharacter:
        return Refusal("その他のログ: " + name + "にﾁｬﾈﾙ名に使えない文字(\\ : * ? \" < > | % または制御文字)が含まれています。");
    case OtherLogsProblem::kNameTooLong:
        return Refusal("その他のログ: " + name + "は長すぎます。ﾁｬﾈﾙ名は" +
                       std::to_string(kMostChannelNameCharacters) + "文字までです。");
    case OtherLogsProblem::kTextTooLong:
        return Refusal("その他のログが長すぎます。" + std::to_string(kMostOtherLogsBytes) + "ﾊﾞｲﾄまでにしてください。");
    case OtherLogsProblem::kBrokenText: return Refusal("その他のログ: " + name + "の文字が途中で切れています。");
    case OtherLogsProblem::kNoCp932Form: break;
    }
    return Refusal("その他のログに、この画面で使えない文字が含まれています。");
}

}  // namespace quorvin::run
