#include "rules/export.h"

#include <ctime>
#include <string_view>

#include "core/cp932.h"
#include "core/local_time.h"

namespace quorvin::run {

namespace {

constexpr std::size_t kCellRoom = 1024;

// The text as a 1024-byte list buffer receives it.
std::string_view CellText(std::string_view text) {
    const auto zero = text.find('\0');
    if (zero != std::string_view::npos) text = text.substr(0, zero);
    return text.substr(0, text::WholeCharactersLength(text, kCellRoom - 1));
}

// A cell as comma-separated readers read it (RFC 4180): one holding a
// comma, a double quote, a CR or an LF goes in double quotes with its own
// doubled; every other cell as it is. No CP932 trail byte is one of these
// four bytes, so the test and the doubling work byte by byte.
void AppendCell(std::string_view text, std::string& out) {
    if (text.empty()) {
        out += '-';
        return;
    }
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        out += text;
        return;
    }
    out += '"';
    for (const char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

// Cells `first` to the end of `cells`, joined by commas, and the line end.
template <class Cells>
void AppendCells(const Cells& cells, std::size_t first, std::string& out) {
    for (std::size_t column = first; column < cells.size(); ++column) {
        if (column > first) out += ',';
        AppendCell(CellText(cells[column]), out);
    }
    out += "\r\n";
}

void AppendLine(const ExportRow& row, std::string& out) { AppendCells(row, 1, out); }

}  // namespace

const ExportRow& EventColumnTitles() {
    static const ExportRow titles = {"", "種類", "時刻", "ｲﾍﾞﾝﾄ", "ｺﾝﾋﾟｭｰﾀ名", "ｿｰｽ", "ｲﾍﾞﾝﾄID", "ﾒｯｾｰｼﾞ"};
    return titles;
}

std::string ExportFileContent(const ExportRow& titles, const std::vector<ExportRow>& rows) {
    std::string out;
    AppendLine(titles, out);
    for (const ExportRow& row : rows) AppendLine(row, out);
    return out;
}

std::string ExportLine(const ExportRow& row) {
    std::string out;
    std::size_t size = 2;
    for (std::size_t column = 1; column < row.size(); ++column) size += row[column].size() + 1;
    out.reserve(size);
    AppendLine(row, out);
    return out;
}

std::string CsvLine(const std::vector<std::string>& cells) {
    std::string out;
    AppendCells(cells, 0, out);
    return out;
}

std::string ExportFileContent(const std::vector<ExportRow>& rows) {
    return ExportFileContent(EventColumnTitles(), rows);
}

std::string DefaultExportFileName(std::int64_t now) {
    std::tm local{};
    if (!app::ToLocalCalendar(now, local)) return "log.txt";
    char name[32];
    if (std::strftime(name, sizeof name, "log%y%m%d.txt", &local) == 0) return "log.txt";
    return name;
}

app::UserMessage NothingToExportMessage() {
    return app::UserMessage{"取得したﾛｸﾞがありません。", "注意", app::MessageIcon::Exclamation,
                            app::MessageButtons::Ok};
}

}  // namespace quorvin::run
