#include "cli/cli_options.h"

#include <cstdio>

#include "cli/password.h"
#include "core/cp932.h"
#include "engine/run_options.h"

namespace quorvin::cli {

namespace {

std::vector<std::string> SplitCommas(const std::string& text) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        parts.push_back(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (comma == std::string::npos) return parts;
        start = comma + 1;
    }
}

bool ParseDate(const std::string& text, Date& date) {
    int year = 0, month = 0, day = 0;
    char tail = 0;
    if (text.size() != 10 || std::sscanf(text.c_str(), "%4d-%2d-%2d%c", &year, &month, &day, &tail) != 3) return false;
    if (text[4] != '-' || text[7] != '-') return false;
    static const int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < 1970 || month < 1 || month > 12 || day < 1 || day > kDays[month - 1]) return false;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (month == 2 && day == 29 && !leap) return false;
    date = {year, month, day};
    return true;
}

std::string ParseLogs(const std::string& value, CliOptions& o) {
    o.system = o.security = o.application = false;
    for (const std::string& name : SplitCommas(value)) {
        if (name == "system") o.system = true;
        else if (name == "security") o.security = true;
        else if (name == "application") o.application = true;
        else return "unknown log '" + name + "'";
    }
    return {};
}

// Channel names as Windows names them ("Microsoft-Windows-PowerShell/Operational").
std::string ParseChannels(const std::string& value, CliOptions& o) {
    for (const std::string& name : SplitCommas(value)) {
        if (name.empty()) return "an empty channel name";
        for (const char* classic : {"system", "security", "application"})
            if (text::MbsICmp(name, classic) == 0) return "'" + name + "' is one of the logs: give it with --logs";
        const std::string cp932 = text::Utf8ToCp932(name);
        if (text::Cp932ToUtf8(cp932) != name) return "'" + name + "' holds a character that CP932 cannot";
        for (const std::string& earlier : o.channels)
            if (text::MbsICmp(earlier, cp932) == 0) return "'" + name + "' is named twice";
        o.channels.push_back(cp932);
    }
    return {};
}

std::string ParseTypes(const std::string& value, CliOptions& o) {
    o.error = o.warning = o.information = o.success = o.failure = false;
    for (const std::string& name : SplitCommas(value)) {
        if (name == "error") o.error = true;
        else if (name == "warning") o.warning = true;
        else if (name == "information") o.information = true;
        else if (name == "success") o.success = true;
        else if (name == "failure") o.failure = true;
        else return "unknown event type '" + name + "'";
    }
    return {};
}

// The options that take a value, with the form of the value as --help shows it.
struct ValueForm {
    const char* option;
    const char* form;
};
constexpr ValueForm kValueForms[] = {
    {"--network", "DIR"},
    {"--computers", "NAME[,NAME...]"},
    {"--computer-list", "FILE"},
    {"--file", "FILE"},
    {"--logs", "system,security,application (one or more, separated by commas)"},
    {"--channels", "NAME[,NAME...] (as Windows names them: Microsoft-Windows-PowerShell/Operational)"},
    {"--types", "error,warning,information,success,failure (one or more, separated by commas)"},
    {"--from", "YYYY-MM-DD"},
    {"--to", "YYYY-MM-DD"},
    {"--user", "NAME (at most 30 bytes in CP932)"},
    {"--password", "- (a line of standard input) or PASSWORD (at most 30 bytes in CP932)"},
    {"--credential", "NAME"},
    {"--csv", "FILE"},
    {"--report", "FILE"},
    {"--trace", "FILE"},
    {"--parallel", "N (1 to 64)"},
    {"--event-ids", "LIST (IDs and ranges from 0 to 65535: 529,675 or 7-11,-9)"},
    {"--sources", "NAME[,NAME...]"},
    {"--text", "TEXT (characters CP932 has)"},
    {"--format", "csv|jsonl"},
    {"--out", "FILE"},
    {"--state", "FILE"},
    {"--summary", "FILE|- (- for standard output)"},
};

const char* FormOf(const std::string& option) {
    for (const ValueForm& v : kValueForms)
        if (option == v.option) return v.form;
    return nullptr;
}

}  // namespace

std::string ValueError(const std::string& option, const std::string& problem) {
    const std::string named = problem.rfind(option, 0) == 0 ? problem : option + ": " + problem;
    const char* form = FormOf(option);
    return form ? named + "; give " + option + " " + form : named;
}

namespace {

// A filter switch's text as CP932; false when it holds a character CP932 cannot.
bool FilterText(const std::string& option, const std::string& utf8, std::string& cp932, std::string& error) {
    cp932 = text::Utf8ToCp932(utf8);
    if (text::Cp932ToUtf8(cp932) == utf8) return true;
    error = option + ": '" + utf8 + "' holds a character that CP932 cannot";
    return false;
}

// The filter of the switches, with the switch named in its message.
std::string ParseFilter(const views::FilterFields& fields, views::EventFilter& filter) {
    views::FilterError error{};
    const std::optional<views::EventFilter> parsed = views::EventFilter::Parse(fields, error);
    if (parsed) {
        filter = *parsed;
        return {};
    }
    const char* name = error.field == views::FilterField::kEventIds ? "--event-ids"
                       : error.field == views::FilterField::kSources ? "--sources"
                                                                      : "--text";
    return ValueError(name, views::FilterErrorText(error, name));
}

std::filesystem::path PathOf(const std::string& utf8) {
    // The arguments are UTF-8 in both builds.
    return std::filesystem::u8path(utf8);
}

}  // namespace

const char* UsageText() {
    return "usage: quorvin-cli [--network DIR] (--computers NAME[,NAME...] | --computer-list FILE |\n"
           "                    --file FILE [--file FILE...])\n"
           "                   [--logs system,security,application] [--channels NAME[,NAME...]]\n"
           "                   [--types error,warning,information,success,failure]\n"
           "                   [--from YYYY-MM-DD] [--to YYYY-MM-DD]\n"
           "                   [--user NAME [--password -|PASSWORD] | --credential NAME]\n"
           "                   [--csv FILE] [--report FILE] [--trace FILE]\n"
           "                   [--parallel N] [--event-ids LIST] [--sources NAME[,NAME...]] [--text TEXT]\n"
           "                   [--format csv|jsonl] [--out FILE] [--append] [--state FILE]\n"
           "                   [--summary FILE|-] [--strict]\n"
           "       quorvin-cli --help | --version\n";
}

std::string HelpText() {
    return std::string("quorvin-cli: collects the event logs of many Windows computers in one run, with their\n"
                       "message texts, as the window's export file or as JSON Lines.\n\n") +
           UsageText() +
           "\nWhat is collected:\n"
           "  --network DIR          the simulated network in DIR (needed on Linux; on Windows\n"
           "                         without it the real network)\n"
           "  --computers A,B        these computers, in this order (at most 500)\n"
           "  --computer-list FILE   the computers of a list file, one name a line\n"
           "  --file FILE            a saved event log file (.evtx or .evt) instead of computers; again\n"
           "                         for more files (no --network needed; with it, .evt records take\n"
           "                         their texts from its [local] computer)\n"
           "  --logs LIST            system, security, application (default: all three)\n"
           "  --channels A,B         channels of Windows Vista and later, read after the logs, named\n"
           "                         as Windows names them (Microsoft-Windows-PowerShell/Operational,\n"
           "                         ForwardedEvents); a computer before Vista has the logs only\n"
           "  --types LIST           error, warning, information, success, failure (default: all)\n"
           "  --from DAY, --to DAY   YYYY-MM-DD, local time (default: from the oldest to the newest record)\n"
           "  --parallel N           computers collected at the same time, 1 to 64 (default 16)\n"
           "\nThe alternate account (reaches the administrative shares first; default: none):\n"
           "  --user NAME            asks for the password without echo when it is not given\n"
           "  --password -           reads the password from a line of standard input\n"
           "  --password TEXT        the password itself; every user of the machine can read it\n"
           "                         in the process list: prefer the two above\n"
           "  --credential NAME      (Windows) the user and password of the generic credential NAME\n"
           "                         of the Credential Manager (cmdkey /generic:NAME /user:USER /pass)\n"
           "\nWhat is written (default: the rows to standard output, the report to standard error):\n"
           "  --format csv|jsonl     the window's export file or JSON Lines (default: csv)\n"
           "  --out FILE, --csv FILE the events into FILE (--csv FILE: --format csv --out FILE)\n"
           "  --append               add to the end of the --out file\n"
           "  --state FILE           only the events that are new since the last run with FILE\n"
           "  --report FILE          the run report (CP932)\n"
           "  --trace FILE           the debug trace of the message texts (CP932)\n"
           "  --summary FILE         the events written counted by computer, log, type, source and\n"
           "                         event ID, with the first and last time; in the --format (- for\n"
           "                         standard output)\n"
           "  --event-ids LIST       only these event IDs: 529,675 or 7-11,-9 (default: every ID)\n"
           "  --sources A,B          only the events of these sources (default: every source)\n"
           "  --text TEXT            only the events whose message holds TEXT (default: every message)\n"
           "  --strict               exit code 3 when a computer or a log failed (see below)\n"
           "\nExit codes:\n"
           "  0  the run completed or was stopped with Ctrl+C, and every output was written\n"
           "  1  an output could not be written (the old file stays), or an unexpected error\n"
           "  2  a bad command line, a refused job, no password, an unreadable list or network;\n"
           "     nothing was written\n"
           "  3  (only with --strict) every output was written, but a log of a computer (one that\n"
           "     cannot be reached fails all its logs) or a saved file could not be read: the\n"
           "     report has its failure line\n"
           "\nExamples:\n"
           "  quorvin-cli --computers DC01,FS01 --logs system --from 2026-12-01 --csv events.csv\n"
           "  quorvin-cli --computer-list computers.txt --credential quorvin --format jsonl\n"
           "      --out events.jsonl --append --state state.json --report last-report.txt\n"
           "\nThe manual: help\\cli.html beside quorvin-cli.exe in the package.\n";
}

namespace {

// What the options said besides CliOptions, for the checks after the last one.
struct Reading {
    views::FilterFields filter;
    bool haveComputers = false, haveList = false, haveCsv = false, haveOut = false;
};

bool NamesFile(const std::string& option) {
    return option == "--network" || option == "--computer-list" || option == "--csv" || option == "--report" ||
           option == "--trace" || option == "--out" || option == "--state" || option == "--summary" ||
           option == "--file";
}

// The options that choose what is collected; false when `option` is none of them.
bool TakeCollectionOption(const std::string& option, const std::string& value, CliOptions& o, Reading& r,
                          std::string& error) {
    if (option == "--network") {
        o.network = PathOf(value);
    } else if (option == "--computers") {
        r.haveComputers = true;
        for (const std::string& name : SplitCommas(value)) {
            if (name.empty()) {
                error = "--computers: an empty computer name";
                break;
            }
            o.computers.push_back(text::Utf8ToCp932(name));
        }
    } else if (option == "--computer-list") {
        r.haveList = true;
        o.computerList = PathOf(value);
    } else if (option == "--file") {
        o.files.push_back(PathOf(value));
    } else if (option == "--logs") {
        error = ParseLogs(value, o);
    } else if (option == "--channels") {
        error = ParseChannels(value, o);
    } else if (option == "--types") {
        error = ParseTypes(value, o);
    } else if (option == "--from" || option == "--to") {
        Date date;
        if (!ParseDate(value, date))
            error = "'" + value + "' is no day";
        else
            (option == "--from" ? o.from : o.to) = date;
    } else if (option == "--parallel") {
        const bool digits =
            !value.empty() && value.size() <= 3 && value.find_first_not_of("0123456789") == std::string::npos;
        const int n = digits ? std::stoi(value) : 0;
        if (n < 1 || n > engine::kMostParallel)
            error = "'" + value + "' is no number from 1 to " + std::to_string(engine::kMostParallel);
        else
            o.parallel = n;
    } else {
        return false;
    }
    return true;
}

// The alternate account's options; false when `option` is none of them.
bool TakeAccountOption(const std::string& option, const std::string& value, CliOptions& o, std::string& error) {
    if (option == "--user") {
        std::string user;
        if (AccountTextFromUtf8(value, "--user", user, error)) o.user = user;
    } else if (option == "--password") {
        o.passwordGiven = true;
        o.passwordFromInput = value == "-";
        Wipe(o.password);
        if (!o.passwordFromInput) AccountTextFromUtf8(value, "--password", o.password, error);
    } else if (option == "--credential") {
        if (value.empty()) error = "--credential: an empty credential name";
        o.credential = value;
    } else {
        return false;
    }
    return true;
}

// The options of what is written and which rows; every other option with a value.
void TakeOutputOption(const std::string& option, const std::string& value, CliOptions& o, Reading& r,
                      std::string& error) {
    if (option == "--csv" || option == "--out") {
        (option == "--csv" ? r.haveCsv : r.haveOut) = true;
        o.csv = PathOf(value);
    } else if (option == "--format") {
        if (value == "jsonl")
            o.jsonLines = true;
        else if (value == "csv")
            o.jsonLines = false;
        else
            error = "'" + value + "' is neither csv nor jsonl";
    } else if (option == "--state") {
        o.state = PathOf(value);
    } else if (option == "--report") {
        o.report = PathOf(value);
    } else if (option == "--trace") {
        o.trace = PathOf(value);
    } else if (option == "--summary") {
        o.summary = PathOf(value);
    } else if (option == "--event-ids") {
        r.filter.eventIds = value;
    } else if (option == "--sources") {
        FilterText(option, value, r.filter.sources, error);
    } else if (option == "--text") {
        FilterText(option, value, r.filter.text, error);
    }
}

// The options taken together, after the last one: the first refusal, or empty.
std::string CheckTogether(CliOptions& o, const Reading& r) {
    if (std::string error = ParseFilter(r.filter, o.filter); !error.empty()) return error;
    if (!o.files.empty() && (r.haveComputers || r.haveList))
        return "give either --file or the computers (--computers, --computer-list)";
    if (!o.files.empty() && !o.state.empty()) return "--state follows the logs of computers, not --file";
    if (!o.files.empty() && !o.channels.empty()) return "--channels reads the channels of computers, not --file";
    if (o.files.empty() && r.haveComputers == r.haveList) return "give either --computers or --computer-list";
    if (r.haveCsv && r.haveOut) return "give either --csv or --out";
    if (r.haveCsv && o.jsonLines) return "--csv writes CSV: give the JSON Lines file with --out";
    if (o.append && o.csv.empty()) return "--append needs the file to add to (--out or --csv)";
    if (!o.state.empty() && o.csv.empty()) return "--state needs the events in a file (--out or --csv)";
    if (!o.credential.empty() && (o.user || o.passwordGiven))
        return "give either --credential or --user and its password";
    if (o.passwordGiven && !o.user) return "--password needs --user";
#ifndef _WIN32
    if (!o.credential.empty())
        return "--credential reads the Windows Credential Manager: give the password with --password - "
               "or at the prompt of --user here";
    if (o.network.empty() && o.files.empty())
        return "--network DIR is needed here: only the Windows build reaches a real network";
#endif
    return {};
}

}  // namespace

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
    ParsedCommandLine result;
    CliOptions& o = result.options;
    o.parallel = engine::kDefaultParallel;
    Reading reading;

    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string option = arguments[i];
        std::optional<std::string> inlineValue;
        if (const std::size_t eq = option.find('='); option.rfind("--", 0) == 0 && eq != std::string::npos) {
            inlineValue = option.substr(eq + 1);
            option.resize(eq);
        }
        if (option == "--help" || option == "-h" || option == "--version") {
            (option == "--version" ? result.version : result.help) = true;
            return result;
        }
        if ((option == "--append" || option == "--strict") && !inlineValue) {
            (option == "--append" ? o.append : o.strict) = true;
            continue;
        }
        if (!FormOf(option)) {
            result.error = "unknown option '" + option + "'";
            return result;
        }
        if (!inlineValue && i + 1 == arguments.size()) {
            result.error = ValueError(option, option + " needs a value");
            return result;
        }
        const std::string value = inlineValue ? *inlineValue : arguments[++i];
        std::string error;
        if (NamesFile(option) && value.empty())
            error = option + ": an empty file name";
        else if (!TakeCollectionOption(option, value, o, reading, error) && !TakeAccountOption(option, value, o, error))
            TakeOutputOption(option, value, o, reading, error);
        if (!error.empty()) {
            result.error = ValueError(option, error);
            return result;
        }
    }
    result.error = CheckTogether(o, reading);
    return result;
}

}  // namespace quorvin::cli
