// quorvin-cli: one collection run from the command line, for scripts and
// scheduled tasks; on Linux against a simulated network.

#include <cerrno>
#include <cstring>
#include <optional>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <exception>
#include <mutex>
#include <new>

#include "cli/cli_options.h"
#include "cli/console_view.h"
#include "cli/credential.h"
#include "cli/output.h"
#include "cli/password.h"
#include "cli/run_lock.h"
#include "cli/terminal.h"
#include "core/cp932.h"
#include "core/local_time.h"
#include "engine/collector.h"
#include "engine/file_run.h"
#include "quorvin_version.h"
#include "rules/collection_state.h"
#include "rules/computer_list.h"
#include "rules/event_json.h"
#include "rules/event_summary.h"
#include "rules/export.h"
#include "rules/job.h"
#include "rules/list_file.h"
#include "rules/run_options.h"
#include "services/simulated/simulated_network.h"

#ifdef _WIN32
#include "services/win32/win32_platform.h"
#endif

namespace quorvin::cli {
namespace {

constexpr int kBadUse = 2;
constexpr int kOutputFailed = 1;
constexpr int kSomethingFailed = 3;

// The exit code of a run that wrote its outputs with `code`: with --strict,
// a run in which `failedLogs` logs or files could not be read is not a success.
int RunExitCode(const CliOptions& o, int code, int failedLogs) {
    return code == 0 && o.strict && failedLogs > 0 ? kSomethingFailed : code;
}

int Fail(const std::string& utf8, int code = kBadUse) {
    WriteUtf8(stderr, "quorvin-cli: " + utf8 + "\n");
    return code;
}

std::int64_t MidnightOf(const Date& d) {
    std::tm t{};
    t.tm_year = d.year - 1900;
    t.tm_mon = d.month - 1;
    t.tm_mday = d.day;
    t.tm_isdst = -1;
    return static_cast<std::int64_t>(std::mktime(&t));
}

std::FILE* OpenToRead(const std::filesystem::path& path) {
#ifdef _WIN32
    return _wfopen(path.wstring().c_str(), L"rb");
#else
    return std::fopen(path.c_str(), "rb");
#endif
}

// Reads a computer list file as a stream with the import's rules. A folder
// or a device is a file that cannot be read, as is one that fails half way
// or goes on past the import's limit.
bool ReadComputerList(const std::filesystem::path& path, std::uint32_t maxComputer, computers::ImportResult& result) {
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(path, ec);
    if (ec || (status.type() != std::filesystem::file_type::regular &&
               status.type() != std::filesystem::file_type::fifo))
        return false;
    std::FILE* file = OpenToRead(path);
    if (!file) return false;
    const bool read = computers::ReadListFile(
        [file](char* buffer, std::size_t size) -> long long {
            const std::size_t n = std::fread(buffer, 1, size, file);
            if (n == 0 && std::ferror(file)) return -1;
            return static_cast<long long>(n);
        },
        0, maxComputer, result);
    std::fclose(file);
    return read;
}

// The debug trace into an output file: CR LF line ends, as a text-mode file
// on Windows has them, whatever the build.
class TraceOutput : public engine::Trace {
public:
    explicit TraceOutput(OutputFile& file) : file_(file) {}
    void Write(const std::string& line) override {
        std::string bytes;
        bytes.reserve(line.size() + 2);
        for (const char c : line) {
            if (c == '\n') bytes += '\r';
            bytes += c;
        }
        file_.Write(bytes);
    }

private:
    OutputFile& file_;
};

// Reads the state file; a missing file is the state of a first run. The
// file is the program's own but outside data all the same: whatever it
// holds gives a message, never a crash.
bool ReadStateFile(const std::filesystem::path& path, run::CollectionState& state, std::string& error) {
    constexpr std::uintmax_t kLargest = 64u << 20;
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(path, ec);
    if (status.type() == std::filesystem::file_type::not_found) return true;
    if (ec || status.type() != std::filesystem::file_type::regular) {
        error = "the state file " + path.u8string() + " is no file that can be read";
        return false;
    }
    std::FILE* file = OpenToRead(path);
    if (!file) {
        error = "cannot read the state file " + path.u8string() + ": " + std::strerror(errno);
        return false;
    }
    std::string text;
    char buffer[65536];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0 && text.size() <= kLargest) text.append(buffer, n);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed || text.size() > kLargest) {
        error = "cannot read the state file " + path.u8string() + (failed ? "" : ": larger than 64 MiB");
        return false;
    }
    if (!run::ParseState(text, state, error)) {
        error = "the state file " + path.u8string() + ": " + error +
                " (move it away to collect from the start of the window again)";
        return false;
    }
    return true;
}

void CopyField(char* field, std::size_t size, const std::string& text) {
    // Cut as the window's fields are: never inside a double-byte character.
    const std::size_t n = text::WholeCharactersLength(text, size - 1);
    text.copy(field, n);
    field[n] = '\0';
}

// A line of the password read from standard input or typed at the prompt,
// as CP932; the UTF-8 line is wiped.
bool PasswordOfLine(LineRead read, std::string& utf8, std::string& password, std::string& error) {
    if (read == LineRead::kRead) {
        const bool good = AccountTextFromUtf8(utf8, "the password", password, error);
        Wipe(utf8);
        return good;
    }
    Wipe(utf8);
    if (read == LineRead::kEnded)
        error = "standard input ended before the line of the password (--password -)";
    else if (read == LineRead::kTooLong)
        error = "the password is longer than " + std::to_string(kMostAccountBytes) + " bytes";
    else if (read == LineRead::kCancelled)
        error = "no password given";
    else if (read == LineRead::kNoTerminal)
        error = NoTerminalForPasswordMessage();
    else if (error.empty())
        error = std::string("cannot read the password from standard input: ") + std::strerror(errno);
    return false;
}

// The alternate account of the command line into `o.user` and `o.password`
// (CP932): the password given, read from standard input or asked for on the
// terminal, or the account of a stored credential.
bool TakeAlternateAccount(CliOptions& o, std::string& error) {
    // UTF-8 of a password CP932 holds in 30 bytes takes at most 3 bytes a byte.
    constexpr std::size_t kLongestLine = 3 * kMostAccountBytes;
    std::string line;
    switch (ChoosePasswordSource(o, IsTerminal(stdin))) {
    case PasswordSource::kNone:
    case PasswordSource::kCommandLine:
        return true;
    case PasswordSource::kStandardInput:
        return PasswordOfLine(ReadInputLine(line, kLongestLine), line, o.password, error);
    case PasswordSource::kPrompt:
        return PasswordOfLine(
            ReadHiddenLine("password of " + text::Cp932ToUtf8(*o.user) + ": ", line, kLongestLine, error), line,
            o.password, error);
    case PasswordSource::kCredential: {
        std::string user;
        if (!ReadStoredAccount(o.credential, user, o.password, error)) return false;
        o.user = user;
        return true;
    }
    case PasswordSource::kRefused:
        break;
    }
    error = NoTerminalForPasswordMessage();
    return false;
}

std::string DayText(const Date& d) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", d.year, d.month, d.day);
    return text;
}

// What the start dialog's refusal means on the command line: the option and its form.
std::string JobProblemText(run::JobProblem problem, const CliOptions& o) {
    switch (problem) {
        case run::JobProblem::kNoLog: return ValueError("--logs", "no log chosen");
        case run::JobProblem::kNoEventType:
            return ValueError("--types", "no type of the System or Application log (error, warning, information)");
        case run::JobProblem::kNoAuditType:
            return ValueError("--types", "no type of the Security log (success, failure)");
        case run::JobProblem::kEndBeforeStart:
            return ValueError("--to", "'" + DayText(*o.to) + "' is before --from '" + DayText(*o.from) + "'");
        case run::JobProblem::kEndAfterToday: break;
    }
    const std::time_t now = std::time(nullptr);
    const std::tm* today = std::localtime(&now);
    const std::string last = today ? " (" + DayText({today->tm_year + 1900, today->tm_mon + 1, today->tm_mday}) + ")" : "";
    return ValueError("--to", "'" + DayText(*o.to) + "' is after today" + last);
}

// The job of the options through the start dialog's checks, and the
// alternate account; 0, or the exit code after its message.
int TakeJob(CliOptions& o, app::AppSettings& settings) {
    settings.MaxComputer = 500;
    const std::int64_t now = static_cast<std::int64_t>(std::time(nullptr));
    run::JobChoice choice;
    choice.Filter_System = o.system;
    choice.Filter_Security = o.security;
    choice.Filter_Application = o.application;
    if (!o.files.empty()) {
        // A file is read whole: its events of the chosen types, whatever log they are of.
        choice.Filter_System = choice.Filter_Application = o.error || o.warning || o.information;
        choice.Filter_Security = o.success || o.failure;
    }
    choice.Filter_Error = o.error;
    choice.Filter_Warning = o.warning;
    choice.Filter_Information = o.information;
    choice.Filter_Securityok = o.success;
    choice.Filter_Securityng = o.failure;
    choice.EnableStartDate = o.from ? 0 : 1;
    choice.EnableEndDate = o.to ? 0 : 1;
    choice.StartTime = o.from ? MidnightOf(*o.from) : now;
    choice.EndTime = o.to ? MidnightOf(*o.to) : now;
    if (const auto problem = run::FindJobProblem(choice, now)) {
        WriteText(stderr, run::JobProblemMessage(*problem).text + "\n");
        return Fail(JobProblemText(*problem, o));
    }
    if (run::AcceptJob(choice, now, settings)) return Fail("the job was refused");
    if (!o.user && o.credential.empty()) return 0;
    KeepOutOfCoreDumps();
    std::string error;
    const bool taken = TakeAlternateAccount(o, error);
    if (!taken) {
        Wipe(o.password);
        return Fail(error);
    }
    settings.AnotherLoginName = 1;
    CopyField(settings.Username, sizeof settings.Username, *o.user);
    CopyField(settings.Password, sizeof settings.Password, o.password);
    Wipe(o.password);
    return 0;
}

// No two outputs on one file: the refusal, or empty.
std::string SharedOutputs(const CliOptions& o) {
    std::vector<NamedPlace> places;
    if (!o.csv.empty()) places.push_back({o.jsonLines ? "--out" : "--csv", PlaceOf(o.csv)});
    if (!o.report.empty()) places.push_back({"--report", PlaceOf(o.report)});
    if (!o.trace.empty()) places.push_back({"--trace", PlaceOf(o.trace)});
    if (!o.state.empty()) places.push_back({"--state", PlaceOf(o.state)});
    if (!o.summary.empty() && o.summary != "-") places.push_back({"--summary", PlaceOf(o.summary)});
    if (o.summary == "-") {
        if (o.csv.empty()) return "--summary - and the rows both go to standard output: give the rows a file";
        places.push_back({"--summary - (standard output)", PlaceOf(stdout)});
    }
    if (o.csv.empty()) places.push_back({"standard output (the rows)", PlaceOf(stdout)});
    if (o.report.empty()) places.push_back({"standard error (the report)", PlaceOf(stderr)});
    return SharedOutputRefusal(places);
}

// --state needs an events file that can be cut back: the events of a log
// that fails part way go out of it again. The refusal, or empty.
std::string StateOutputRefusal(const CliOptions& o) {
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(o.csv, ec);
    if (status.type() == std::filesystem::file_type::regular || status.type() == std::filesystem::file_type::not_found)
        return {};
    return "--state needs the events in a file that can be cut back when a log fails part way: " + o.csv.u8string() +
           " is no such file (a pipe, a device or a folder)";
}

// The lock file of a state file: beside it, never removed (a run that
// removed it could let a third run in beside the one holding it).
std::filesystem::path LockFileOf(const std::filesystem::path& state) {
    std::filesystem::path lock = state;
    lock += ".lock";
    return lock;
}

// Takes the lock of `file` for `what`; 0, or the exit code after its message.
int Lock(RunLock& lock, const std::filesystem::path& file, bool describe, const std::string& what) {
    std::string message;
    switch (lock.Take(file, describe, message)) {
    case RunLock::Result::kTaken:
        return 0;
    case RunLock::Result::kHeld:
        return Fail("another run is using " + what + (message.empty() ? "" : " (" + message + ")") +
                    "; run again when it has ended");
    case RunLock::Result::kFailed:
        break;
    }
    return Fail("cannot lock " + file.u8string() + " for " + what + ": " + message);
}

// The computers: the add rules (duplicates dropped) or the import rules;
// 0, or the exit code after its message.
int TakeComputers(const CliOptions& o, const app::AppSettings& settings, computers::ComputerList& list) {
    if (o.computerList.empty()) {
        for (const std::string& name : o.computers) {
            if (name.size() > computers::kMaxNameBytes) return Fail(ValueError("--computers", "a name longer than 32 bytes"));
            if (computers::ListIsFull(list.TreeItemCount(), settings.MaxComputer)) {
                WriteText(stderr, computers::ListFullMessage().text + "\n");
                return kBadUse;
            }
            list.AddComputer(name);
        }
        return 0;
    }
    computers::ImportResult imported;
    if (!ReadComputerList(o.computerList, settings.MaxComputer, imported))
        return Fail("cannot read the computer list " + o.computerList.u8string());
    for (const std::string& name : imported.names) list.Append(name);
    for (const app::UserMessage& message : imported.messages) WriteText(stderr, message.text + "\n");
    return 0;
}

// Where a run's rows, report, trace and state go. Rows and report lines
// leave as they come: the run keeps neither.
class RunOutputs {
public:
    explicit RunOutputs(const CliOptions& o) : o_(o), trace_(traceFile_), progress_(IsTerminal(stderr)) {}

    // Every file ready before the run, the events file made whole again for
    // `state`, and the CSV header where one is due.
    bool Open(run::CollectionState& state, std::string& error) {
        const bool rowsOpen =
            o_.csv.empty() || (o_.append ? rowsFile_.OpenAppend(o_.csv, error) : rowsFile_.Open(o_.csv, error));
        if (!rowsOpen || (!o_.state.empty() && o_.append && !MatchState(state, error)) ||
            (!o_.report.empty() && !reportFile_.Open(o_.report, error)) ||
            (!o_.trace.empty() && !traceFile_.Open(o_.trace, error)) ||
            (!o_.state.empty() && !stateFile_.Open(o_.state, error)) ||
            (SummaryToFile() && !summaryFile_.Open(o_.summary, error)))
            return false;
        // With a state, every output is on the disk before the state that
        // vouches for it.
        for (OutputFile* file : {&rowsFile_, &reportFile_, &traceFile_, &stateFile_, &summaryFile_})
            if (!o_.state.empty()) file->SetDurable();
        // JSON Lines have no header; an appended CSV file has its own already.
        if (!o_.jsonLines && !(o_.append && !rowsFile_.StartedEmpty()))
            WriteRows(run::ExportLine(run::EventColumnTitles()));
        return true;
    }

    bool Progress() const { return progress_; }
    std::string& Report() { return report_; }
    engine::Trace* Trace() { return o_.trace.empty() ? nullptr : &trace_; }

    void WriteEvent(const engine::EventRow& row) {
        if (!o_.filter.Matches(row)) return;
        if (!o_.summary.empty()) (logStart_ ? logSummary_ : summary_).Add(row);
        WriteRows(o_.jsonLines ? run::EventJsonLine(row, QUORVIN_VERSION_TEXT) : run::ExportLine(row.columns));
    }

    void FlushReport() {
        if (report_.empty()) return;
        if (!o_.report.empty()) {
            reportFile_.Write(report_);
        } else {
            if (progress_) std::fputs("\r\x1b[K", stderr);
            WriteText(stderr, report_);
        }
        report_.clear();
    }

    // With a state, what a log hands on counts only when its read goes to
    // its end: the events of a log that failed or was stopped are cut off
    // the file again, and the log keeps its old bookmark, so that the next
    // run hands them on once.
    void LogBegins() { logStart_ = rowsFile_.Position(); }
    void LogEnds(bool complete) {
        if (!complete && logStart_) rowsFile_.CutBack(*logStart_);
        if (complete) summary_.Merge(logSummary_);
        logSummary_.Clear();
        logStart_.reset();
    }

    // After the run: every output checked to its last byte and its close,
    // the state written last; the exit code.
    int Finish(run::CollectionState& state);

private:
    bool MatchState(run::CollectionState& state, std::string& error);

    void WriteRows(const std::string& lines) {
        if (!o_.csv.empty())
            rowsFile_.Write(lines);
        else if (o_.jsonLines)
            WriteUtf8Data(stdout, lines);
        else
            WriteText(stdout, lines);
    }

    bool SummaryToFile() const { return !o_.summary.empty() && o_.summary != "-"; }
    // The summary of the rows written, after the rows.
    int WriteSummary();

    const CliOptions& o_;
    OutputFile rowsFile_, reportFile_, traceFile_, stateFile_, summaryFile_;
    // The groups of the rows written; with a state, those of the log being
    // read wait in `logSummary_` until the log's rows are sure to stay.
    views::EventSummary summary_, logSummary_;
    TraceOutput trace_;
    const bool progress_;
    std::string report_;
    std::optional<std::uint64_t> logStart_;
};

// An appended events file as its state vouches for it. Bytes past the
// length the state recorded for the same file were added by a run that did
// not end (killed, a power loss; the events it had handed on are not in its
// state): they are cut off and collected again. When the file is not the one
// recorded (a first run, a file renamed away for the log stores), the state
// records it as it is now before anything is added, so that a run killed in
// it is cut back to that.
bool RunOutputs::MatchState(run::CollectionState& state, std::string& error) {
    const run::CollectionState::EventsMark now{IdentityOf(o_.csv), rowsFile_.StartLength()};
    if (state.events && !now.file.empty() && state.events->file == now.file && state.events->length < now.length) {
        if (!rowsFile_.Rewind(state.events->length)) {
            error = "cannot cut " + o_.csv.u8string() + " back to the " + std::to_string(state.events->length) +
                    " bytes its state vouches for";
            return false;
        }
        engine::Report(report_, [](std::uint32_t) { return std::string(); })
            .EventsFileCutBack(text::Utf8ToCp932(o_.csv.u8string()), now.length - state.events->length);
        return true;
    }
    if (state.events == now) return true;
    state.events = now;
    OutputFile mark;
    mark.SetDurable();
    if (!mark.Open(o_.state, error)) return false;
    mark.Write(run::WriteState(state));
    return mark.Commit(error);
}

int RunOutputs::Finish(run::CollectionState& state) {
    FlushReport();
    // A stop inside a log: that log's events go as a failed log's do.
    LogEnds(false);
    if (o_.report.empty()) WriteText(stderr, "\r\n");
    std::string error;
    int result = 0;
    if (!o_.trace.empty() && !traceFile_.Commit(error)) result = Fail(error, kOutputFailed);
    if (o_.csv.empty()) {
        if (!FinishStream(stdout, true)) result = Fail("cannot write the rows to standard output", kOutputFailed);
    } else if (!rowsFile_.Commit(error)) {
        result = Fail(error, kOutputFailed);
    }
    if (!o_.summary.empty() && WriteSummary() != 0) result = kOutputFailed;
    if (o_.report.empty()) {
        if (!FinishStream(stderr, false)) result = kOutputFailed;
    } else if (!reportFile_.Commit(error)) {
        result = Fail(error, kOutputFailed);
    }
    // The state last, when every other output is complete and on its way to
    // the disk: a failure before leaves the old state, which hands the same
    // events on again; an appended file is cut back then, so that they are
    // not there twice.
    if (!o_.state.empty() && result == 0) {
        state.events = run::CollectionState::EventsMark{IdentityOf(o_.csv), rowsFile_.Position()};
        stateFile_.Write(run::WriteState(state));
        if (!stateFile_.Commit(error)) result = Fail(error, kOutputFailed);
    }
    if (result != 0 && o_.append && !rowsFile_.Revert(error)) Fail(error, kOutputFailed);
    return result;
}

int RunOutputs::WriteSummary() {
    std::string text;
    const std::vector<views::SummaryRow> rows = summary_.Rows();
    if (o_.jsonLines)
        for (const views::SummaryRow& row : rows) text += run::SummaryJsonLine(row);
    else
        text = views::SummaryCsv(rows);
    std::string error;
    if (SummaryToFile()) {
        summaryFile_.Write(text);
        return summaryFile_.Commit(error) ? 0 : Fail(error, kOutputFailed);
    }
    if (o_.jsonLines)
        WriteUtf8Data(stdout, text);
    else
        WriteText(stdout, text);
    return FinishStream(stdout, true) ? 0 : Fail("cannot write the summary to standard output", kOutputFailed);
}

// The run itself, over `services`, into `outputs`; the bookmarks of `state`
// followed and moved on. Returns the number of logs that could not be read.
int Collect(const CliOptions& o, app::AppSettings& settings, const computers::ComputerList& list,
             platform::Platform& services, run::CollectionState& state, RunOutputs& outputs) {
    ConsoleView view(
        list.Names(), outputs.Progress(), [&](const engine::EventRow& row) { outputs.WriteEvent(row); },
        [&] { outputs.FlushReport(); });
    // The computers' threads ask for bookmarks while this thread sets them.
    std::mutex stateLock;
    if (!o.state.empty()) {
        view.OnLogs([&](const std::string&, const std::string&) { outputs.LogBegins(); },
                    [&](const std::string& computer, const std::string& log, const engine::LogEnd& end) {
                        if (end.complete) {
                            std::lock_guard<std::mutex> lock(stateLock);
                            state.Set(computer, log, end.bookmark);
                        }
                        outputs.LogEnds(end.complete);
                    });
    }
    std::atomic<int> stopRequested{0};
    StopOnInterrupt(stopRequested);
#ifndef _WIN32
    // A reader that goes away is a failed write, reported at the end, not
    // the end of the program with its new files left half written.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    engine::RunOptions options = run::RunOptionsFrom(settings);
    options.Channels = o.channels;
    WipeBytes(settings.Password, sizeof settings.Password);
    engine::RunEnvironment environment{services, options, outputs.Report(), stopRequested, view, outputs.Trace(),
                                       [] {}};
    environment.parallel = o.parallel;
    environment.eventFacts = o.jsonLines;
    if (!o.state.empty())
        environment.bookmarks = [&state, &stateLock](const std::string& computer, const std::string& log) {
            std::lock_guard<std::mutex> lock(stateLock);
            return state.Find(computer, log);
        };
    engine::Collector collector(std::move(environment));
    collector.Run();
    WipeBytes(options.Password, sizeof options.Password);
    return view.FailedLogs();
}

// Reads a whole file for the run; false with the system's reason (CP932).
bool ReadWholeFile(const std::filesystem::path& path, std::vector<std::uint8_t>& bytes, std::string& reason) {
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(path, ec);
    if (!ec && status.type() != std::filesystem::file_type::regular) {
        reason = "ﾌｧｲﾙではありません(ﾌｫﾙﾀﾞまたはﾃﾞﾊﾞｲｽ)。";
        return false;
    }
    std::FILE* file = OpenToRead(path);
    if (!file) {
        reason = text::Utf8ToCp932(std::strerror(errno));
        return false;
    }
    bytes.clear();
    std::uint8_t buffer[1 << 16];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) reason = "読み込み中にｴﾗｰが発生しました。";
    return !failed;
}

// The services of the machine a run reaches the computers from: the
// network's with --network, else the system's (Windows only).
struct Machine {
    std::unique_ptr<network::SimulatedNetwork> simulated;
#ifdef _WIN32
    win32::Win32Platform real;
#endif
    // Null on Linux without a network.
    std::unique_ptr<platform::Platform> services;

    bool Open(const CliOptions& o, std::string& error) {
        if (!o.network.empty()) {
            simulated = network::SimulatedNetwork::Open(o.network, error);
            if (!simulated) {
                error = "the network " + o.network.u8string() + ": " + error;
                return false;
            }
            services = std::make_unique<platform::Platform>(simulated->Services());
        } else {
#ifdef _WIN32
            services = std::make_unique<platform::Platform>(real.Get());
#endif
        }
        return true;
    }
};

// A run over saved event log files (--file): the rows and the report as a
// run over computers writes them; 0, or the exit code.
int ReadFiles(const CliOptions& o, app::AppSettings& settings) {
    std::vector<std::string> names;
    for (const std::filesystem::path& file : o.files) names.push_back(text::Utf8ToCp932(file.u8string()));
    run::CollectionState none;
    std::string error;
    Machine machine;
    if (!machine.Open(o, error)) return Fail(error);
    RunLock eventsLock;
    if (o.append)
        if (const int code = Lock(eventsLock, o.csv, false, o.csv.u8string())) return code;
    RunOutputs outputs(o);
    if (!outputs.Open(none, error)) return Fail(error, kOutputFailed);
    ConsoleView view(
        names, outputs.Progress(), [&](const engine::EventRow& row) { outputs.WriteEvent(row); },
        [&] { outputs.FlushReport(); });
    std::atomic<int> stopRequested{0};
    StopOnInterrupt(stopRequested);
#ifndef _WIN32
    std::signal(SIGPIPE, SIG_IGN);
#endif
    const engine::RunOptions options = run::RunOptionsFrom(settings);
    engine::FileRunEnvironment environment{options, outputs.Report(), stopRequested, view, o.jsonLines,
                                           machine.services.get()};
    engine::ReadLogFiles(environment, names, [&](std::size_t index, std::vector<std::uint8_t>& bytes, std::string& reason) {
        return ReadWholeFile(o.files[index], bytes, reason);
    });
    const int code = outputs.Finish(none);
    RunEnded();
    return RunExitCode(o, code, view.FailedLogs());
}

int Main(int argc, char** argv) {
    ParsedCommandLine parsed = ParseCommandLine(Arguments(argc, argv));
    if (parsed.help) {
        WriteUtf8(stdout, HelpText());
        return 0;
    }
    if (parsed.version) {
        WriteUtf8(stdout, QUORVIN_VERSION_TEXT "\n");
        return 0;
    }
    if (!parsed.error.empty()) return Fail(parsed.error + "\n" + UsageText());
    CliOptions& o = parsed.options;

    app::AppSettings settings;
    if (const int code = TakeJob(o, settings)) return code;
    if (const std::string refusal = SharedOutputs(o); !refusal.empty()) return Fail(refusal);
    if (!o.files.empty()) return ReadFiles(o, settings);
    computers::ComputerList list;
    if (const int code = TakeComputers(o, settings, list)) return code;
    run::CollectionState state;
    std::string error;
    // One run at a time moves a state on: the lock is held until the process ends.
    RunLock stateLock, eventsLock;
    if (!o.state.empty()) {
        if (const std::string refusal = StateOutputRefusal(o); !refusal.empty()) return Fail(refusal);
        if (const int code = Lock(stateLock, LockFileOf(o.state), true, "the state file " + o.state.u8string()))
            return code;
        if (!ReadStateFile(o.state, state, error)) return Fail(error);
    }

    Machine machine;
    if (!machine.Open(o, error)) return Fail(error);
    platform::Platform& services = *machine.services;

    // Two runs never add to one file: a failing one would cut the other's events off.
    if (o.append)
        if (const int code = Lock(eventsLock, o.csv, false, o.csv.u8string())) return code;
    RunOutputs outputs(o);
    if (!outputs.Open(state, error)) return Fail(error, kOutputFailed);
    const int failedLogs = Collect(o, settings, list, services, state, outputs);
    const int code = outputs.Finish(state);
    RunEnded();
    return RunExitCode(o, code, failedLogs);
}

// Main, with every exception that would end the program turned into a
// message and an exit code.
int GuardedMain(int argc, char** argv) {
#ifdef _WIN32
    // The run fails a file on a drive without its disk instead of waiting on a box (docs/windows.md).
    win32::FailCriticalErrorsQuietly();
#endif
    try {
        return Main(argc, argv);
    } catch (const std::bad_alloc&) {
        return Fail("not enough memory", kOutputFailed);
    } catch (const std::exception& e) {
        return Fail(std::string("stopped by an unexpected error: ") + e.what(), kOutputFailed);
    } catch (...) {
        return Fail("stopped by an unexpected error", kOutputFailed);
    }
}

}  // namespace
}  // namespace quorvin::cli

int main(int argc, char** argv) { return quorvin::cli::GuardedMain(argc, argv); }
