#pragma once
// The collected event record: the eight column texts of an event list row,
// and the progress text that each new row sets.

#include <cstdint>
#include <ctime>
#include <string>

#include "engine/collection_view.h"

namespace quorvin::engine {

// Type text and image by the record's event type: 1 error, 2 warning,
// 8 audit success, 16 audit failure; anything else (information, 0) shows
// the information image with the text "成功".
const char* TypeText(std::uint16_t eventType);
int TypeImage(std::uint16_t eventType);

// Display name of "system", "security" or "application" (any case); other
// names are shown as they are.
std::string LogDisplayName(const std::string& logName);

// "%04d/%02d/%02d %02d:%02d:%02d  " of a local broken-down time (two blanks at the end).
std::string TimeText(const std::tm& local);

// The row for one event. `computer` carries the two leading backslashes the
// engine uses for remote calls; the row shows the name without them. Tabs,
// carriage returns and line feeds of the message become blanks.
EventRow MakeEventRow(std::uint16_t eventType, const std::string& computer, const std::string& source,
                      std::string message, const std::string& logName, const std::string& timeText,
                      std::uint32_t eventId);

// The message of an event whose text was not found: its source, its ID and
// its insertion strings (joined with commas).
std::string DescriptionNotFound(const std::string& source, std::uint32_t eventId, const std::string& strings);

// "NAME ： log ﾛｸﾞを処理中 ﾄｰﾀﾙ n 件".
std::string ProgressText(const std::string& computerName, const std::string& logName, std::uint32_t count);
// The same text into `text`, whose memory is reused (a row sets it).
void WriteProgressText(std::string& text, const std::string& computerName, const std::string& logName,
                       std::uint32_t count);

}  // namespace quorvin::engine
