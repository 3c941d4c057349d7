#pragma once
// The console collector's command line.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "rules/event_filter.h"

namespace quorvin::cli {

struct Date {
    int year = 0, month = 0, day = 0;
};

struct CliOptions {
    std::filesystem::path network;             // empty: the real network (Windows only)
    std::vector<std::string> computers;        // CP932
    std::filesystem::path computerList;        // a list file instead of --computers
    std::vector<std::filesystem::path> files;  // saved event log files instead of computers (--file)
    bool system = true, security = true, application = true;
    // Channels of Windows Vista and later read after the logs (--channels),
    // named as Windows names them, CP932.
    std::vector<std::string> channels;
    bool error = true, warning = true, information = true, success = true, failure = true;
    std::optional<Date> from, to;
    std::optional<std::string> user;           // CP932
    std::string password;                      // CP932; given with --password TEXT
    bool passwordGiven = false;                // --password, with a text or "-"
    bool passwordFromInput = false;            // --password -: a line of standard input
    std::string credential;                    // --credential NAME (UTF-8): the account stored under NAME
    std::filesystem::path csv, report, trace;
    // The events: as CSV (the window's export file) or as JSON Lines, into
    // `csv` (--csv or --out), added to its end with `append`.
    bool jsonLines = false;
    bool append = false;
    // A run in which a computer's log or a saved file could not be read ends
    // with exit code 3 (--strict), for a scheduled task to tell it from success.
    bool strict = false;
    // The summary of the events written (--summary), in the format of the
    // events; "-" for standard output.
    std::filesystem::path summary;
    // New events only: the bookmarks of the logs, read and replaced.
    std::filesystem::path state;
    // Computers collected at the same time (1 to engine::kMostParallel).
    int parallel = 0;  // set by ParseCommandLine: engine::kDefaultParallel unless given
    // Which collected rows are written (--event-ids, --sources, --text); the
    // run and its report are the same whatever it holds.
    views::EventFilter filter;
};

struct ParsedCommandLine {
    bool help = false;
    bool version = false;
    std::string error;  // UTF-8; empty when the command line is good
    CliOptions options;
};

// Parses the arguments after the program name, given in UTF-8. Texts that
// enter the collection (names, account) become CP932; paths stay paths.
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// The refusal of an option's value (UTF-8): `problem` with the option named
// first (unless it is already) and the form the option takes last.
std::string ValueError(const std::string& option, const std::string& problem);

// The usage text (UTF-8).
const char* UsageText();
// The text of --help (UTF-8): what the program does, the options with their
// defaults, the exit codes and examples.
std::string HelpText();

}  // namespace quorvin::cli
