#include "rules/list_file.h"

#include <algorithm>

#include "rules/computer_list.h"

namespace quorvin::computers {

const char* const kListFileFilter = "テキストファイル(*.txt)|*.txt|すべてのファイル(*.*)|*.*||";
const char* const kListFileDefaultExtension = "lst";

std::string ListFileContent(const std::vector<std::string>& names) {
    std::string bytes;
    for (const std::string& name : names) {
        bytes += name;
        bytes += "\r\n";
    }
    return bytes;
}

namespace {

// Text mode: a CR directly followed by LF is dropped, every other byte
// (a lone CR included) is kept.
std::string TextModeBytes(std::string_view file) {
    std::string text;
    text.reserve(file.size());
    for (std::size_t i = 0; i < file.size(); ++i) {
        if (file[i] == '\r' && i + 1 < file.size() && file[i + 1] == '\n') continue;
        text += file[i];
    }
    return text;
}

// The next piece of `text` from `position`: up to and including the next
// LF, at most kImportPieceBytes bytes.
std::string_view NextPiece(std::string_view text, std::size_t& position) {
    const std::size_t room = std::min(kImportPieceBytes, text.size() - position);
    const std::string_view window = text.substr(position, room);
    const auto lf = window.find('\n');
    const std::size_t length = lf == std::string_view::npos ? room : lf + 1;
    position += length;
    return window.substr(0, length);
}

}  // namespace

ImportResult ImportListFile(std::string_view file, std::size_t entries, std::uint32_t maxComputer) {
    ImportResult result;
    const std::string text = TextModeBytes(file);
    std::size_t position = 0;
    while (position < text.size()) {
        std::string_view piece = NextPiece(text, position);
        if (piece == "\n") continue;
        if (ListIsFull(entries + result.names.size() + 1, maxComputer)) {
            result.messages.push_back(ListFullMessage());
            break;
        }
        const auto zero = piece.find('\0');
        if (zero != std::string_view::npos) piece = piece.substr(0, zero);
        std::string name;
        for (const char c : piece)
            if (c != '\r' && c != '\n') name += c;
        if (name.size() > kMaxNameBytes) {
            result.messages.push_back(NameTooLongMessage());
            break;
        }
        result.names.push_back(std::move(name));
    }
    return result;
}

app::UserMessage NameTooLongMessage() {
    return app::UserMessage{
        "ｺﾝﾋﾟｭｰﾀ名が長すぎます。(ｲﾝﾎﾟｰﾄしようとしたﾃｷｽﾄﾌｧｲﾙ内に、長すぎるｺﾝﾋﾟｭｰﾀ名が存在するため、ｲﾝﾎﾟｰﾄを中止しました。)",
        "注意", app::MessageIcon::Exclamation, app::MessageButtons::Ok};
}

app::UserMessage SaveEmptyListMessage() {
    return app::UserMessage{"ｺﾝﾋﾟｭｰﾀを一台以上追加してください。", "確認", app::MessageIcon::Exclamation,
                            app::MessageButtons::Ok};
}

app::UserMessage ImportOpenFailedMessage(const std::string& applicationTitle) {
    return app::UserMessage{"ファイルの読み込みに失敗しました。", applicationTitle, app::MessageIcon::Exclamation,
                            app::MessageButtons::Ok};
}

app::UserMessage OverwriteQuestion() {
    return app::UserMessage{"現在のｺﾝﾋﾟｭｰﾀﾘｽﾄを上書きしますか。[いいえ]を選択すると追加されます。", "確認",
                            app::MessageIcon::Exclamation, app::MessageButtons::YesNo};
}

}  // namespace quorvin::computers
