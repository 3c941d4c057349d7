// quorvin-cli: one collection run from the command line, for scripts and
// scheduled tasks; on Linux against a simulated network.

#include <ctime>
#include <fstream>
#include <iterator>

#include "cli/cli_options.h"
#include "cli/console_view.h"
#include "cli/terminal.h"
#include "core/cp932.h"
#include "core/local_time.h"
#include "engine/collector.h"
#include "engine/trace_file.h"
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

bool ReadFile(const std::filesystem::path& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return static_cast<bool>(out);
}

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
        std::string bytes;
        if (!ReadFile(o.computerList, bytes)) return Fail("cannot read the computer list " + o.computerList.u8string());
        const computers::ImportResult imported = computers::ImportListFile(bytes, 0, settings.MaxComputer);
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

    std::unique_ptr<run::TraceFile> trace;
    if (!o.trace.empty()) {
        trace = std::make_unique<run::TraceFile>(o.trace);
        if (!trace->IsOpen()) return Fail("cannot create the trace file " + o.trace.u8string());
    }

    std::atomic<int> stopRequested{0};
    StopOnInterrupt(stopRequested);
    ConsoleView view(list.Names(), IsTerminal(stderr));
    std::string report;
    const engine::RunOptions options = run::RunOptionsFrom(settings);
    engine::Collector collector(
        engine::RunEnvironment{*services, options, report, stopRequested, view, trace.get(), [] {}});
    collector.Run();
    trace.reset();

    std::vector<run::ExportRow> rows;
    rows.reserve(view.Rows().size());
    for (const engine::EventRow& row : view.Rows()) rows.push_back(row.columns);
    const std::string csv = run::ExportFileContent(rows);

    int result = 0;
    if (o.csv.empty())
        WriteText(stdout, csv);
    else if (!WriteFile(o.csv, csv))
        result = Fail("cannot write " + o.csv.u8string(), kOutputFailed);
    if (o.report.empty())
        WriteText(stderr, report + "\r\n");
    else if (!WriteFile(o.report, report))
        result = Fail("cannot write " + o.report.u8string(), kOutputFailed);
    return result;
}

}  // namespace
}  // namespace quorvin::cli

int main(int argc, char** argv) { return quorvin::cli::Main(argc, argv); }
