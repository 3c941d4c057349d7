#include "engine/report.h"

#include "core/error.h"

namespace quorvin::engine {

namespace {

// "[C][L]:" and "[C][L][S]:".
std::string Fields(const std::string& c, const std::string& l) { return "[" + c + "][" + l + "]:"; }
std::string Fields(const std::string& c, const std::string& l, const std::string& s) {
    return "[" + c + "][" + l + "][" + s + "]:";
}

const char* StartedName(LogKind log) {
    switch (log) {
        case LogKind::System: return "ｼｽﾃﾑﾛｸﾞ";
        case LogKind::Security: return "ｾｷｭﾘﾃｨﾛｸﾞ";
        case LogKind::Application: return "ｱﾌﾟﾘｹｰｼｮﾝﾛｸﾞ";
    }
    return "";
}

// The Security log's end line names it "ｾｷｭﾘﾃｨｲﾍﾞﾝﾄﾛｸﾞ", unlike its other lines.
const char* EndedName(LogKind log) { return log == LogKind::Security ? "ｾｷｭﾘﾃｨｲﾍﾞﾝﾄﾛｸﾞ" : StartedName(log); }

}  // namespace

void Report::RunStarted() { Append("確認:ｲﾍﾞﾝﾄﾛｸﾞの取得を開始します。\r\n"); }

void Report::AlternateLoginFailed(const std::string& n, const std::string& user, std::uint32_t error) {
    Append("注意 803:[" + n + "][" + user + "]:別名でのﾛｸﾞｲﾝに失敗しました。\r\n");
    Append("          現在ログオン中のアカウントで接続を試みます。\r\n");
    Cause("原因:", error);
    // Windows keeps one account per computer while any connection to it
    // remains: the user has to end the other connection first.
    if (error == platform::error::kSessionCredentialConflict)
        Append("          このｺﾝﾋﾟｭｰﾀへは既に別のｱｶｳﾝﾄで接続しています。その接続を切断してから(net use で確認できます)、もう一度実行してください。\r\n");
}

void Report::LogStarted(const std::string& n, LogKind log) {
    Append("確認:(" + n + ")" + StartedName(log) + "の取得を開始します。\r\n");
}

void Report::LogEnded(const std::string& n, LogKind log) {
    Append("確認:(" + n + ")" + EndedName(log) + "の取得を終了しました。\r\n");
}

void Report::LogFailed(const std::string& n, LogKind log) {
    Append("失敗:(" + n + ")" + StartedName(log) + "の取得に失敗しました。\r\n");
}

void Report::ChannelStarted(const std::string& n, const std::string& channel) {
    Append("確認:(" + n + ")" + channel + "の取得を開始します。\r\n");
}

void Report::ChannelEnded(const std::string& n, const std::string& channel) {
    Append("確認:(" + n + ")" + channel + "の取得を終了しました。\r\n");
}

void Report::ChannelFailed(const std::string& n, const std::string& channel) {
    Append("失敗:(" + n + ")" + channel + "の取得に失敗しました。\r\n");
}

void Report::Cancelled(const std::string& n) { Append("確認:(" + n + ")ﾕｰｻﾞ要求により処理はｷｬﾝｾﾙしました。\r\n"); }

void Report::Total(std::uint32_t eventCount) {
    Append("確認:ｲﾍﾞﾝﾄﾛｸﾞの取得を終了しました。\r\nﾄｰﾀﾙ：" + std::to_string(eventCount) + "件");
}

void Report::ReadBufferMemory(const std::string& c, const std::string& l) {
    Append("ｴﾗｰ 001:" + Fields(c, l) + "ﾒﾓﾘ不足です。\r\n");
}

void Report::OpenFailed(const std::string& c, const std::string& l, std::uint32_t error) {
    Append("ｴﾗｰ 002:" + Fields(c, l) + "ｲﾍﾞﾝﾄのｵｰﾌﾟﾝに失敗しました。\r\n");
    Cause("原因 003:", error);
}

void Report::RegistryBufferMemory(const std::string& c, const std::string& l) {
    Append("ｴﾗｰ 006:" + Fields(c, l) + "ﾒﾓﾘ不足です。\r\n");
}

void Report::RegistryConnectFailed(const std::string& c, const std::string& l, std::uint32_t error) {
    Append("警告 007:" + Fields(c, l) + "ﾘﾓｰﾄｺﾝﾋﾟｭｰﾀのﾚｼﾞｽﾄﾘのｵｰﾌﾟﾝに失敗しました。\r\n");
    Append("         " + Fields(c, l) + "ﾛｰｶﾙｺﾝﾋﾟｭｰﾀで代用します。\r\n");
    Cause("原因 008:", error);
}

void Report::SystemRootKeyFailed(const std::string& c, const std::string& l, std::uint32_t error) {
    Append("ｴﾗｰ 009:" + Fields(c, l) + "ﾘﾓｰﾄｺﾝﾋﾟｭｰﾀのｼｽﾃﾑﾙｰﾄが不明です。\r\n");
    Cause("原因 010:", error);
}

void Report::SystemRootValueFailed(const std::string& c, const std::string& l, std::uint32_t error) {
    Append("ｴﾗｰ 011:" + Fields(c, l) + "ﾘﾓｰﾄﾏｼﾝのｼｽﾃﾑﾙｰﾄが不明です。\r\n");
    Cause("原因 012:", error);
}

void Report::LargerBufferMemory(const std::string& c, const std::string& l, const std::string& s) {
    Append("ｴﾗｰ 014:" + Fields(c, l, s) + "ﾒﾓﾘ不足です。\r\n");
}

void Report::ReadFailed(const std::string& c, const std::string& l, const std::string& s, std::uint32_t error) {
    Append("ｴﾗｰ 015:" + Fields(c, l, s) + "ｲﾍﾞﾝﾄの読み込みに失敗しました。\r\n");
    Cause("原因 016:", error);
}

void Report::TimeConversionFailed(const std::string& c, const std::string& l, const std::string& s,
                                  std::uint32_t error) {
    Append("ｴﾗｰ 017:" + Fields(c, l, s) + "時刻の変換処理に失敗しました。\r\n");
    Cause("原因 018:", error);
}

void Report::CategoryFileLoadFailed(const std::string& c, const std::string& l, const std::string& s,
                                    const std::string& path, std::uint32_t error) {
    Append("ｴﾗｰ 027:" + Fields(c, l, s) + "ﾒｯｾｰｼﾞﾌｧｲﾙ " + path + " の読み込みに失敗しました。\r\n");
    Cause("原因 028:", error);
}

void Report::CategoryFormatFailed(const std::string& c, const std::string& l, const std::string& s,
                                  std::uint32_t error) {
    Append("ｴﾗｰ 031:" + Fields(c, l, s) + "ﾒｯｾｰｼﾞのﾌｫｰﾏｯﾄに失敗しました。\r\n");
    Cause("原因 032:", error);
}

void Report::ParameterFileLoadFailed(const std::string& c, const std::string& l, const std::string& s,
                                     const std::string& path, std::uint32_t error) {
    Append("ｴﾗｰ 045:" + Fields(c, l, s) + "ﾗｲﾌﾞﾗﾘ " + path + " のﾛｰﾄﾞに失敗しました。\r\n");
    Cause("原因 046:", error);
}

void Report::RemoteMessageFileUnreachable(const std::string& c, const std::string& l, const std::string& s,
                                          std::uint32_t error) {
    Cause("情報 050:", error);
    Append("原因 049:" + Fields(c, l, s) +
           "ﾒｯｾｰｼﾞﾌｧｲﾙへｱｸｾｽできませんでした。ｾｷｭﾘﾃｨにより管理共有(c$,d$など)へｱｸｾｽできない,"
           "あるいはﾒｯｾｰｼﾞﾌｧｲﾙがみつかりません。(これはｴﾗｰではありません。)\r\n");
    Append("         " + Fields(c, l, s) + c +
           "のadministratorsｸﾞﾙｰﾌﾟにあなたが属しているか確認してください。"
           "あるいはこのｲﾍﾞﾝﾄﾛｸﾞを出力したｿﾌﾄｳｪｱのﾒｰｶへ確認してください。\r\n");
    Append("         " + Fields(c, l, s) +
           "ﾛｰｶﾙﾒｯｾｰｼﾞを変わりに使用しますが、ﾒｯｾｰｼﾞの一部が省略され、ﾊﾟﾗﾒｰﾀのみ表示される場合があります。\r\n");
}

void Report::NoEventMessageFile(const std::string& c, const std::string& l, const std::string& s,
                                std::uint32_t error) {
    Append("ｴﾗｰ 051:" + Fields(c, l, s) + "ﾒｯｾｰｼﾞﾌｧｲﾙが指定されていません。\r\n");
    Cause("原因 052:", error);
}

void Report::NoLocalMessageFile(const std::string& c, const std::string& l, const std::string& s) {
    Append("情報 251:" + Fields(c, l, s) + "ﾚｼﾞｽﾄﾘ内で指定されたﾒｯｾｰｼﾞﾌｧｲﾙが見つかりませんでした。\r\n");
}

void Report::LogReopened(const std::string& c, const std::string& l, const std::string& s, std::uint32_t number) {
    const std::string from = number != 0 ? "ﾚｺｰﾄﾞ番号 " + std::to_string(number) + " より前のｲﾍﾞﾝﾄから" : "最新のｲﾍﾞﾝﾄから";
    Append("情報 053:" + Fields(c, l, s) + "読み込み中にｲﾍﾞﾝﾄﾛｸﾞがｸﾘｱまたは上書きされました。ｲﾍﾞﾝﾄﾛｸﾞを開き直し、" + from +
           "読み込みを続けます。\r\n");
}

void Report::BookmarkGone(const std::string& c, const std::string& l, std::uint64_t number) {
    Append("情報 054:" + Fields(c, l) + "前回取得した最後のｲﾍﾞﾝﾄ(ﾚｺｰﾄﾞ番号 " + std::to_string(number) +
           ")がｲﾍﾞﾝﾄﾛｸﾞにありません。ｸﾘｱまたは上書きされました。開始日から取得します。\r\n");
}

void Report::EventsFileCutBack(const std::string& file, std::uint64_t removed) {
    Append("情報 055:[" + file + "]:前回の実行が途中で終了したため、その実行が追加した " + std::to_string(removed) +
           " ﾊﾞｲﾄをｲﾍﾞﾝﾄﾌｧｲﾙから削除しました。それらのｲﾍﾞﾝﾄは今回取得し直します。\r\n");
}

void Report::NoChannelService(const std::string& c) {
    Append("注意 070:[" + c + "]:このｺﾝﾋﾟｭｰﾀのWindowsにはﾁｬﾈﾙを読む機能がありません。ﾁｬﾈﾙの取得には、"
           "このｺﾝﾋﾟｭｰﾀが Windows Vista 以降である必要があります。ｼｽﾃﾑ・ｾｷｭﾘﾃｨ・ｱﾌﾟﾘｹｰｼｮﾝﾛｸﾞは取得します。\r\n");
}

void Report::ClassicLogsOnly(const std::string& c, const std::string& l) {
    Append("注意 071:" + Fields(c, l) + "Windows Vista より前のｺﾝﾋﾟｭｰﾀのため、ﾁｬﾈﾙがありません。"
           "ｼｽﾃﾑ・ｾｷｭﾘﾃｨ・ｱﾌﾟﾘｹｰｼｮﾝﾛｸﾞだけがあります。\r\n");
}

void Report::ChannelLoginFailed(const std::string& c, std::string_view user, std::uint32_t error) {
    Append("注意 072:[" + c + "][" + std::string(user) + "]:別名でのﾁｬﾈﾙへのﾛｸﾞｲﾝに失敗しました。\r\n");
    Append("          現在ログオン中のアカウントで接続を試みます。\r\n");
    Cause("原因:", error);
}

void Report::FileStarted(const std::string& f) { Append("確認:[" + f + "]ﾛｸﾞﾌｧｲﾙの読み込みを開始します。\r\n"); }

void Report::FileEnded(const std::string& f, std::uint32_t eventCount) {
    Append("確認:[" + f + "]ﾛｸﾞﾌｧｲﾙの読み込みを終了しました。" + std::to_string(eventCount) + "件\r\n");
}

void Report::FileDamaged(const std::string& f, const std::string& problem) {
    Append("注意 060:[" + f + "]:ﾌｧｲﾙが壊れています。読める部分を読み続けます: " + problem + "\r\n");
}

void Report::FileUnreadable(const std::string& f, const std::string& reason) {
    Append("ｴﾗｰ 061:[" + f + "]:ﾛｸﾞﾌｧｲﾙを読み込めません。\r\n原因:" + reason + "\r\n");
}

void Report::NotALogFile(const std::string& f, const std::string& reason) {
    Append("ｴﾗｰ 062:[" + f + "]:ｲﾍﾞﾝﾄﾛｸﾞﾌｧｲﾙ(.evtx または .evt)ではありません: " + reason + "\r\n");
}

void Report::NoMessageFiles(const std::string& f) {
    Append("注意 063:[" + f + "]:このｺﾝﾋﾟｭｰﾀのﾚｼﾞｽﾄﾘとﾒｯｾｰｼﾞﾌｧｲﾙがないため、ｲﾍﾞﾝﾄの説明は表示されません。\r\n");
}

}  // namespace quorvin::engine
