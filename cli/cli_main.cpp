// quorvin-cli: one collection run from the command line, for scripts and
// scheduled tasks; on Linux against a simulated network.

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <exception>
#include <new>

#include "cli/cli_options.h"
#include "cli/console_view.h"
#include "cli/output.h"
#include "cli/terminal.h"
#include "core/cp932.h"
#include "core/local_time.h"
#include "engine/collector.h"
#include "rules/computer_list.h"
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

// Reads a computer list file as a stream with the import's rules. A folder
// or a device is a file that cannot be read, as is one that fails half way
// or goes on past the import's limit.
bool ReadComputerList(const std::filesystem::path& path, std::uint32_t maxComputer, computers::ImportResult& result) {
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(path, ec);
    if (ec || (status.type() != std::filesystem::file_type::regular &&
               status.type() != std::filesystem::file_type::fifo))
        return false;
#ifdef _WIN32
    std::FILE* file = _wfopen(path.wstring().c_str(), L"rb");
#else
    std::FILE* file = std::fopen(path.c_str(), "rb");
#endif
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

void CopyField(char* field, std::size_t size, const std::string& text) {
    // Cut as the window's fields are: never inside a double-byte character.
    const std::size_t n = text::WholeCharactersLength(text, size - 1);
    text.copy(field, n);
    field[n] = '\0';
}

int Main(int argc, char** argv) {
    const ParsedCommandLine parsed = ParseCommandLine(Arguments(argc, argv));
    if (parsed.help) {
        WriteUtf8(stdout, UsageText());
        return 0;
    }
    if (!parsed.error.empty()) return Fail(parsed.error + "\n" + UsageText());
    const CliOptions& o = parsed.options;

    // The job, through the start dialog's checks.
    app::AppSettings settings;
    settings.MaxComputer = 500;
    const std::int64_t now = static_cast<std::int64_t>(std::time(nullptr));
    run::JobChoice choice;
    choice.Filter_System = o.system;
    choice.Filter_Security = o.security;
    choice.Filter_Application = o.application;
    choice.Filter_Error = o.error;
    choice.Filter_Warning = o.warning;
    choice.Filter_Information = o.information;
    choice.Filter_Securityok = o.success;
    choice.Filter_Securityng = o.failure;
    choice.EnableStartDate = o.from ? 0 : 1;
    choice.EnableEndDate = o.to ? 0 : 1;
    choice.StartTime = o.from ? MidnightOf(*o.from) : now;
    choice.EndTime = o.to ? MidnightOf(*o.to) : now;
    if (const auto refusal = run::AcceptJob(choice, now, settings)) {
        WriteText(stderr, refusal->text + "\n");
        return kBadUse;
    }
    if (o.user) {
        settings.AnotherLoginName = 1;
        CopyField(settings.Username, sizeof settings.Username, *o.user);
        CopyField(settings.Password, sizeof settings.Password, o.password);
    }

    // The outputs: no two on one file, each file ready before the run.
    std::vector<NamedPlace> places;
    if (!o.csv.empty()) places.push_back({"--csv", PlaceOf(o.csv)});
    if (!o.report.empty()) places.push_back({"--report", PlaceOf(o.report)});
    if (!o.trace.empty()) places.push_back({"--trace", PlaceOf(o.trace)});
    if (o.csv.empty()) places.push_back({"standard output (the rows)", PlaceOf(stdout)});
    if (o.report.empty()) places.push_back({"standard error (the report)", PlaceOf(stderr)});
    if (const std::string refusal = SharedOutputRefusal(places); !refusal.empty()) return Fail(refusal);

    // The computers: the add rules (duplicates dropped) or the import rules.
    computers::ComputerList list;
    if (o.computerList.empty()) {
        for (const std::string& name : o.computers) {
            if (name.size() > computers::kMaxNameBytes) return Fail("--computers: a name longer than 32 bytes");
            if (computers::ListIsFull(list.TreeItemCount(), settings.MaxComputer)) {
                WriteText(stderr, computers::ListFullMessage().text + "\n");
                return kBadUse;
            }
            list.AddComputer(name);
        }
    } else {
        computers::ImportResult imported;
        if (!ReadComputerList(o.computerList, settings.MaxComputer, imported))
            return Fail("cannot read the computer list " + o.computerList.u8string());
        for (const std::string& name : imported.names) list.Append(name);
        for (const app::UserMessage& message : imported.messages) WriteText(stderr, message.text + "\n");
    }

    std::unique_ptr<network::SimulatedNetwork> simulated;
#ifdef _WIN32
    win32::Win32Platform real;
#endif
    std::unique_ptr<platform::Platform> services;
    if (!o.network.empty()) {
        std::string error;
        simulated = network::SimulatedNetwork::Open(o.network, error);
        if (!simulated) return Fail("the network " + o.network.u8string() + ": " + error);
        services = std::make_unique<platform::Platform>(simulated->Services());
    } else {
#ifdef _WIN32
        services = std::make_unique<platform::Platform>(real.Get());
#endif
    }

    OutputFile csvFile, reportFile, traceFile;
    std::string error;
    if ((!o.csv.empty() && !csvFile.Open(o.csv, error)) || (!o.report.empty() && !reportFile.Open(o.report, error)) ||
        (!o.trace.empty() && !traceFile.Open(o.trace, error)))
        return Fail(error, kOutputFailed);
    TraceOutput trace(traceFile);

    // Rows and report lines leave as they come: the run keeps neither.
    const bool progress = IsTerminal(stderr);
    auto writeRows = [&](const std::string& lines) {
        if (o.csv.empty())
            WriteText(stdout, lines);
        else
            csvFile.Write(lines);
    };
    std::string report;
    auto writeReport = [&] {
        if (report.empty()) return;
        if (!o.report.empty()) {
            reportFile.Write(report);
        } else {
            if (progress) std::fputs("\r\x1b[K", stderr);
            WriteText(stderr, report);
        }
        report.clear();
    };
    writeRows(run::ExportLine(run::EventColumnTitles()));
    ConsoleView view(
        list.Names(), progress,
        [&](const engine::EventRow& row) {
            if (o.filter.Matches(row)) writeRows(run::ExportLine(row.columns));
        },
        writeReport);

    std::atomic<int> stopRequested{0};
    StopOnInterrupt(stopRequested);
#ifndef _WIN32
    // A reader that goes away is a failed write, reported at the end, not
    // the end of the program with its new files left half written.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    const engine::RunOptions options = run::RunOptionsFrom(settings);
    engine::RunEnvironment environment{*services, options, report, stopRequested, view,
                                       o.trace.empty() ? nullptr : &trace, [] {}};
    environment.parallel = o.parallel;
    engine::Collector collector(std::move(environment));
    collector.Run();
    writeReport();
    if (o.report.empty()) WriteText(stderr, "\r\n");

    // Every output checked to its last byte and its close.
    int result = 0;
    if (!o.trace.empty() && !traceFile.Commit(error)) result = Fail(error, kOutputFailed);
    if (o.csv.empty()) {
        if (!FinishStream(stdout, true)) result = Fail("cannot write the rows to standard output", kOutputFailed);
    } else if (!csvFile.Commit(error)) {
        result = Fail(error, kOutputFailed);
    }
    if (o.report.empty()) {
        if (!FinishStream(stderr, false)) result = kOutputFailed;
    } else if (!reportFile.Commit(error)) {
        result = Fail(error, kOutputFailed);
    }
    return result;
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
