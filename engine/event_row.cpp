#include "engine/event_row.h"

#include <charconv>
#include <cstdio>

#include "core/cp932.h"

namespace quorvin::engine {

const char* TypeText(std::uint16_t eventType) {
    switch (eventType) {
        case 1: return "エラー";
        case 2: return "警告";
        case 16: return "失敗";
        default: return "成功";  // audit success, information and every other type
    }
}

int TypeImage(std::uint16_t eventType) {
    switch (eventType) {
        case 1: return 2;
        case 2: return 1;
        case 8: return 3;
        case 16: return 4;
        default: return 0;
    }
}

std::string LogDisplayName(const std::string& logName) {
    if (text::MbsICmp(logName, "system") == 0) return "ｼｽﾃﾑ";
    if (text::MbsICmp(logName, "application") == 0) return "ｱﾌﾟﾘｹｰｼｮﾝ";
    if (text::MbsICmp(logName, "security") == 0) return "ｾｷｭﾘﾃｨ";
    return logName;
}

std::string TimeText(const std::tm& local) {
    const int fields[6] = {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                           local.tm_hour,        local.tm_min,     local.tm_sec};
    bool plain = fields[0] >= 1000 && fields[0] <= 9999;
    for (int i = 1; i < 6; ++i) plain = plain && fields[i] >= 0 && fields[i] <= 99;
    if (!plain) {
        char buffer[96];
        std::snprintf(buffer, sizeof buffer, "%02d/%02d/%02d %02d:%02d:%02d  ", fields[0], fields[1], fields[2],
                      fields[3], fields[4], fields[5]);
        return buffer;
    }
    // The same text without snprintf, which costs more than the rest of a row.
    char text[] = "0000/00/00 00:00:00  ";
    for (int i = 0, year = fields[0]; i < 4; ++i, year /= 10) text[3 - i] = static_cast<char>('0' + year % 10);
    for (int i = 1; i < 6; ++i) {
        text[2 + 3 * i] = static_cast<char>('0' + fields[i] / 10);
        text[3 + 3 * i] = static_cast<char>('0' + fields[i] % 10);
    }
    return std::string(text, sizeof text - 1);
}

EventRow MakeEventRow(std::uint16_t eventType, const std::string& computer, const std::string& source,
                      std::string message, const std::string& logName, const std::string& timeText,
                      std::uint32_t eventId) {
    EventRow row;
    row.image = TypeImage(eventType);
    row.columns[1] = TypeText(eventType);
    row.columns[2] = timeText;
    row.columns[3] = LogDisplayName(logName);
    row.columns[4] = computer.size() >= 2 ? computer.substr(2) : std::string();
    row.columns[5] = source;
    row.columns[6] = std::to_string(eventId & 0xFFFFu);
    for (char& c : message)
        if (c == '\t' || c == '\r' || c == '\n') c = ' ';
    row.columns[7] = std::move(message);
    return row;
}

std::string DescriptionNotFound(const std::string& source, std::uint32_t eventId, const std::string& strings) {
    return "ｿｰｽ (" + source + ") 内のｲﾍﾞﾝﾄ ID (" + std::to_string(eventId & 0xFFFFu) +
           ") に関する説明が見つかりません。次の挿入文字列が含まれています:" + strings;
}

std::string ProgressText(const std::string& computerName, const std::string& logName, std::uint32_t count) {
    std::string text;
    WriteProgressText(text, computerName, logName, count);
    return text;
}

void WriteProgressText(std::string& text, const std::string& computerName, const std::string& logName,
                       std::uint32_t count) {
    char digits[16];
    const std::to_chars_result end = std::to_chars(digits, digits + sizeof digits, count);
    text.assign(computerName);
    text.append(" ： ");
    text.append(logName);
    text.append(" ﾛｸﾞを処理中 ﾄｰﾀﾙ ");
    text.append(digits, end.ptr);
    text.append(" 件");
}

}  // namespace quorvin::engine
