#pragma once
// The export file: the event list's rows as comma-separated CP932 text, and
// the default name of that file.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/user_message.h"

namespace quorvin::run {

// The texts of the event list's eight columns, as the list shows them;
// column 0 (the icon column) is never written.
using ExportRow = std::array<std::string, 8>;

// The titles of the event list's columns.
const ExportRow& EventColumnTitles();

// The whole file: the titles of columns 1 to 7, then one line per row in
// the given order, the texts of columns 1 to 7; fields joined by ",", every
// line ending in "\r\n". A text holding a comma, a double quote, a CR or
// an LF is enclosed in double quotes with its double quotes doubled, as
// every CSV reader expects; every other text is written as it is, and an
// empty one as "-". Each text is taken as the list hands it
// into a 1024-byte buffer: up to its first zero byte, at most 1023 bytes,
// cut before a double-byte character that would not fit whole.
std::string ExportFileContent(const ExportRow& titles, const std::vector<ExportRow>& rows);
std::string ExportFileContent(const std::vector<ExportRow>& rows);
// One line of that file, for writing it row by row: the titles' line first.
std::string ExportLine(const ExportRow& row);

// A line of any table written as that file writes the event list's: the
// cells joined by ",", each as the export writes a cell, "\r\n" at the end.
std::string CsvLine(const std::vector<std::string>& cells);

// "log%y%m%d.txt" of the local date of `now`, e.g. log030115.txt on
// 15 January 2003; "log.txt" when the C library cannot convert `now`.
std::string DefaultExportFileName(std::int64_t now);

// The message when the event list holds no row: nothing is exported.
app::UserMessage NothingToExportMessage();

}  // namespace quorvin::run
