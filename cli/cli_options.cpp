#include "cli/cli_options.h"

#include <cstdio>

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
        else return "unknown log '" + name + "' (system, security, application)";
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
        else return "unknown event type '" + name + "' (error, warning, information, success, failure)";
    }
    return {};
}

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
    return views::FilterErrorText(error, name);
}

std::filesystem::path PathOf(const std::string& utf8) {
    // The arguments are UTF-8 in both builds.
    return std::filesystem::u8path(utf8);
}

}  // namespace

const char* UsageText() {
    return "usage: quorvin-cli [--network DIR] (--computers NAME[,NAME...] | --computer-list FILE)\n"
           "                   [--logs system,security,application]\n"
           "                   [--types error,warning,information,success,failure]\n"
           "                   [--from YYYY-MM-DD] [--to YYYY-MM-DD]\n"
           "                   [--user NAME --password PASSWORD] [--csv FILE] [--report FILE] [--trace FILE]\n"
           "                   [--parallel N] [--event-ids LIST] [--sources NAME[,NAME...]] [--text TEXT]\n"
           "                   [--format csv|jsonl] [--out FILE] [--append] [--state FILE]\n";
}

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
    ParsedCommandLine result;
    CliOptions& o = result.options;
    o.parallel = engine::kDefaultParallel;
    bool haveComputers = false, haveList = false, havePassword = false;
    views::FilterFields filter;
    bool haveCsv = false, haveOut = false;

    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string option = arguments[i];
        std::optional<std::string> inlineValue;
        if (const std::size_t eq = option.find('='); option.rfind("--", 0) == 0 && eq != std::string::npos) {
            inlineValue = option.substr(eq + 1);
            option.resize(eq);
        }
        if (option == "--help" || option == "-h") {
            result.help = true;
            return result;
        }
        if (option == "--append" && !inlineValue) {
            o.append = true;
            continue;
        }
        static const char* const kWithValue[] = {"--network", "--computers", "--computer-list", "--logs", "--types",
                                                 "--from", "--to", "--user", "--password", "--csv", "--report",
                                                 "--trace", "--parallel", "--event-ids", "--sources", "--text",
                                                 "--format", "--out", "--state"};
        bool known = false;
        for (const char* name : kWithValue) known = known || option == name;
        if (!known) {
            result.error = "unknown option '" + option + "'";
            return result;
        }
        std::string value;
        if (inlineValue) {
            value = *inlineValue;
        } else if (i + 1 < arguments.size()) {
            value = arguments[++i];
        } else {
            result.error = option + " needs a value";
            return result;
        }

        std::string error;
        const bool namesFile = option == "--network" || option == "--computer-list" || option == "--csv" ||
                               option == "--report" || option == "--trace" || option == "--out" ||
                               option == "--state";
        if (namesFile && value.empty()) {
            result.error = option + ": an empty file name";
            return result;
        }
        if (option == "--network") {
            o.network = PathOf(value);
        } else if (option == "--computers") {
            haveComputers = true;
            for (const std::string& name : SplitCommas(value)) {
                if (name.empty()) {
                    error = "--computers: an empty computer name";
                    break;
                }
                o.computers.push_back(text::Utf8ToCp932(name));
            }
        } else if (option == "--computer-list") {
            haveList = true;
            o.computerList = PathOf(value);
        } else if (option == "--logs") {
            error = ParseLogs(value, o);
        } else if (option == "--types") {
            error = ParseTypes(value, o);
        } else if (option == "--from" || option == "--to") {
            Date date;
            if (!ParseDate(value, date))
                error = option + ": '" + value + "' is no date of the form YYYY-MM-DD";
            else
                (option == "--from" ? o.from : o.to) = date;
        } else if (option == "--user") {
            o.user = text::Utf8ToCp932(value);
        } else if (option == "--password") {
            havePassword = true;
            o.password = text::Utf8ToCp932(value);
        } else if (option == "--csv" || option == "--out") {
            (option == "--csv" ? haveCsv : haveOut) = true;
            o.csv = PathOf(value);
        } else if (option == "--format") {
            if (value == "jsonl")
                o.jsonLines = true;
            else if (value == "csv")
                o.jsonLines = false;
            else
                error = "--format: '" + value + "' is neither csv nor jsonl";
        } else if (option == "--state") {
            o.state = PathOf(value);
        } else if (option == "--report") {
            o.report = PathOf(value);
        } else if (option == "--trace") {
            o.trace = PathOf(value);
        } else if (option == "--event-ids") {
            filter.eventIds = value;
        } else if (option == "--sources") {
            FilterText(option, value, filter.sources, error);
        } else if (option == "--text") {
            FilterText(option, value, filter.text, error);
        } else if (option == "--parallel") {
            const bool digits = !value.empty() && value.size() <= 3 &&
                                value.find_first_not_of("0123456789") == std::string::npos;
            const int n = digits ? std::stoi(value) : 0;
            if (n < 1 || n > engine::kMostParallel)
                error = "--parallel: '" + value + "' is no number from 1 to " + std::to_string(engine::kMostParallel);
            else
                o.parallel = n;
        }
        if (!error.empty()) {
            result.error = error;
            return result;
        }
    }

    if (const std::string error = ParseFilter(filter, o.filter); !error.empty())
        result.error = error;
    else if (haveComputers == haveList)
        result.error = "give either --computers or --computer-list";
    else if (haveCsv && haveOut)
        result.error = "give either --csv or --out";
    else if (haveCsv && o.jsonLines)
        result.error = "--csv writes CSV: give the JSON Lines file with --out";
    else if (o.append && o.csv.empty())
        result.error = "--append needs the file to add to (--out or --csv)";
    else if (!o.state.empty() && o.csv.empty())
        result.error = "--state needs the events in a file (--out or --csv)";
    else if (havePassword && !o.user)
        result.error = "--password needs --user";
    else if (o.user && o.user->size() > 30)
        result.error = "--user: at most 30 bytes";
    else if (o.password.size() > 30)
        result.error = "--password: at most 30 bytes";
#ifndef _WIN32
    else if (o.network.empty())
        result.error = "--network DIR is needed here: only the Windows build reaches a real network";
#endif
    return result;
}

}  // namespace quorvin::cli
