#include "rules/list_file.h"

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
// What Notepad puts before the text of a file it saves as UTF-8.
constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";
constexpr std::size_t kByteOrderMarkBytes = 3;
}  // namespace

bool ListFileReader::Feed(std::string_view bytes) {
    for (const char c : bytes) {
        if (stopped_) return false;
        if (!SkipByteOrderMark(c)) Take(c);
    }
    return !stopped_;
}

bool ListFileReader::SkipByteOrderMark(char c) {
    if (markDone_) return false;
    if (c == kByteOrderMark[markSeen_]) {
        markDone_ = ++markSeen_ == kByteOrderMarkBytes;
        return true;
    }
    EndOfStart();
    return false;
}

void ListFileReader::EndOfStart() {
    // Bytes that only began like the mark are text.
    markDone_ = true;
    for (std::size_t i = 0; i < markSeen_; ++i) Take(kByteOrderMark[i]);
}

void ListFileReader::Take(char c) {
    // An empty line between pieces: nothing to do.
    if (c == '\n' && !pendingCr_ && piece_.empty()) return;
    // Text mode: a CR directly followed by LF is dropped, every other
    // byte (a lone CR included) is kept.
    if (pendingCr_) {
        pendingCr_ = false;
        if (c != '\n') Emit('\r');
    }
    if (c == '\r')
        pendingCr_ = true;
    else
        Emit(c);
}

ImportResult ListFileReader::Finish() {
    if (!markDone_) EndOfStart();
    if (pendingCr_) Emit('\r');
    pendingCr_ = false;
    if (!piece_.empty()) EndPiece();
    return std::move(result_);
}

void ListFileReader::Emit(char c) {
    if (stopped_) return;
    piece_ += c;
    if (c == '\n' || piece_.size() == kImportPieceBytes) EndPiece();
}

void ListFileReader::EndPiece() {
    std::string name;
    for (const char c : piece_) {
        if (c == '\0') break;
        if (c != '\r' && c != '\n') name += c;
    }
    piece_.clear();
    if (stopped_ || name.empty()) return;
    if (ListIsFull(entries_ + result_.names.size() + 1, maxComputer_)) {
        result_.messages.push_back(ListFullMessage());
        stopped_ = true;
    } else if (name.size() > kMaxNameBytes) {
        result_.messages.push_back(NameTooLongMessage());
        stopped_ = true;
    } else {
        result_.names.push_back(std::move(name));
    }
}

ImportResult ImportListFile(std::string_view file, std::size_t entries, std::uint32_t maxComputer) {
    ListFileReader reader(entries, maxComputer);
    reader.Feed(file);
    return reader.Finish();
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
