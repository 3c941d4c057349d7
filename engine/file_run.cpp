#include "engine/file_run.h"

#include <memory>
#include <new>

#include "core/cp932.h"
#include "core/local_time.h"
#include "engine/collector.h"
#include "engine/day_cache.h"
#include "engine/report.h"
#include "engine/event_row.h"
#include "engine/saved_log.h"
#include "engine/xml_event.h"
#include "formats/evtx/evtx.h"
#include "services/publishers.h"

namespace quorvin::engine {

namespace {

// One run over the files: the rows, the report and the progress.
class FileRun {
public:
    FileRun(FileRunEnvironment& env, std::size_t files)
        : env_(env), report_(env.report, [](std::uint32_t) { return std::string(); }), files_(files == 0 ? 1 : files),
          endDay_(app::LocalMidnight(env.options.EndTime)) {}

    // False when a stop ended the file.
    bool ReadFile(std::size_t index, const std::string& name, const ReadWholeFile& read);
    int Finish() {
        report_.Total(count_);
        env_.view.EndProgress();
        return 1;
    }
    int Stopped(const std::string& name) {
        report_.Cancelled(name);
        env_.stopRequested = 0;
        env_.view.EndProgress();
        return 1;
    }
    void Started() {
        env_.view.ClearRows();
        report_.RunStarted();
    }

    // The file `name` gave no events: its end to the view, as a failed log's.
    void Failed(const std::string& name) {
        LogEnd end;
        end.failed = true;
        env_.view.LogEnded(name, "", end);
    }

    // A row of file `name` into the view, counted, and the progress text names it.
    void ShowRow(const std::string& name, const EventRow& row);

private:
    bool ReadEvtx(std::size_t index, const std::string& name, const std::vector<std::uint8_t>& bytes);
    // The message this machine's publishers give an .evtx record, as the
    // event viewer renders a saved file; empty when they give none.
    std::u16string_view LocalMessage(const evtx::Record& record);
    bool ReadEvt(const std::string& name, const std::vector<std::uint8_t>& bytes);
    // Whether the run keeps an event of `type` created at `time`.
    bool Kept(std::uint16_t type, std::int64_t time);
    void Position(std::size_t index, std::uint64_t done, std::uint64_t size) {
        const std::uint64_t part = size == 0 ? 0 : done * 1000 / size;
        env_.view.SetProgressPosition(static_cast<int>((index * 1000 + part) / files_));
    }

    FileRunEnvironment& env_;
    Report report_;
    // This machine's HKEY_LOCAL_MACHINE and publishers, for the whole run:
    // made at the first .evtx record; none without the machine's services.
    std::unique_ptr<platform::RegistryKey> localMachine_;
    std::unique_ptr<platform::PublisherCatalog> publishers_;
    bool publishersTried_ = false;
    platform::ChannelTexts texts_;
    const std::size_t files_;
    // The last day of the window, compared day with day (worked out once, not per record).
    const std::int64_t endDay_;
    std::uint32_t count_ = 0;
    // The rows of the file being read.
    std::uint32_t kept_ = 0;
    DayCache days_;
    std::string progressText_;
};

// The view the Collector reads an .evt file into: its rows go to the run
// as the rows of the file; positions and texts are the run's own.
class FileRowsView final : public CollectionView {
public:
    FileRowsView(FileRun& run, const std::string& name) : run_(run), name_(name) {}
    bool FirstComputer(std::string&) override { return false; }
    bool NextComputer(std::string&) override { return false; }
    int TreeItemCount() override { return 1; }
    void ClearRows() override {}
    void AppendRow(const EventRow& row) override { run_.ShowRow(name_, row); }
    void SetProgressPosition(int) override {}
    void SetProgressText(const std::string&) override {}
    void EndProgress() override {}

private:
    FileRun& run_;
    const std::string& name_;
};

void FileRun::ShowRow(const std::string& name, const EventRow& row) {
    env_.view.AppendRow(row);
    ++count_;
    ++kept_;
    WriteProgressText(progressText_, name, row.columns[3], count_);
    env_.view.SetProgressText(progressText_);
}

bool FileRun::Kept(std::uint16_t type, std::int64_t time) {
    const RunOptions& s = env_.options;
    if ((type & TypeMask(s)) == 0) return false;
    const std::int64_t day = days_.MidnightOf(time);
    if (s.EnableStartDate == 0 && day < s.StartTime) return false;
    return !(s.EnableEndDate == 0 && day > endDay_);
}

bool FileRun::ReadFile(std::size_t index, const std::string& name, const ReadWholeFile& read) {
    report_.FileStarted(name);
    Position(index, 0, 1);
    std::vector<std::uint8_t> bytes;
    std::string reason;
    bool done = false;
    try {
        done = read(index, bytes, reason);
    } catch (const std::bad_alloc&) {
        reason = "ﾒﾓﾘ不足です。";
    }
    if (!done) {
        report_.FileUnreadable(name, reason);
        Failed(name);
        return true;
    }
    kept_ = 0;
    if (LooksLikeEvtFile(bytes.data(), bytes.size())) return ReadEvt(name, bytes);
    return ReadEvtx(index, name, bytes);
}

std::u16string_view FileRun::LocalMessage(const evtx::Record& record) {
    if (!publishersTried_) {
        publishersTried_ = true;
        platform::FileAccess* files = env_.machine ? env_.machine->messages.Files() : nullptr;
        if (files && env_.machine->registry.ConnectLocalMachine("", localMachine_) == platform::error::kSuccess &&
            localMachine_)
            publishers_ = std::make_unique<platform::PublisherCatalog>(*localMachine_, *files);
    }
    if (!publishers_) return {};
    publishers_->Format(record, texts_);
    return texts_.error == platform::error::kSuccess ? std::u16string_view(texts_.message) : std::u16string_view();
}

bool FileRun::ReadEvtx(std::size_t index, const std::string& name, const std::vector<std::uint8_t>& bytes) {
    evtx::FileReader reader(bytes.data(), bytes.size());
    std::size_t problems = 0;
    const auto reportProblems = [&] {
        for (; problems < reader.Problems().size(); ++problems)
            report_.FileDamaged(name, reader.Problems()[problems].what);
    };
    if (!reader.Valid()) {
        const auto& found = reader.Problems();
        report_.NotALogFile(name, found.empty() ? std::string() : found.front().what);
        Failed(name);
        return true;
    }
    evtx::Record record;
    for (std::uint32_t walked = 0; reader.Next(record); ++walked) {
        if (env_.stopRequested) return false;
        reportProblems();
        const std::int64_t time = XmlEventTime(record);
        const std::uint16_t type =
            XmlEventType(record.System(evtx::Field::kLevel), record.System(evtx::Field::kKeywords));
        if (!Kept(type, time)) continue;
        std::tm local{};
        static_cast<void>(app::ToLocalCalendar(time, local));
        ShowRow(name, XmlEventRow(record, TimeText(local), env_.eventFacts, LocalMessage(record)));
        if (walked % 256 == 0) Position(index, record.offset, bytes.size());
    }
    reportProblems();
    env_.view.FlushRows();
    report_.FileEnded(name, kept_);
    return true;
}

bool FileRun::ReadEvt(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    const evt::ParsedLog parsed = evt::ParseLogFile(bytes.data(), bytes.size());
    if (parsed.error != platform::error::kSuccess) {
        report_.NotALogFile(name, parsed.message);
        Failed(name);
        return true;
    }
    for (const std::string& note : parsed.notes) report_.FileDamaged(name, note);
    SavedLogService log(parsed.records);
    NoMachine none;
    const platform::Platform& machine = env_.machine ? *env_.machine : none.Services(log);
    if (!env_.machine) report_.NoMessageFiles(name);
    platform::Platform services{log, machine.registry, machine.connections, machine.messages, machine.system,
                                machine.browse};
    FileRowsView view(*this, name);
    RunEnvironment environment{services, env_.options, env_.report, env_.stopRequested, view, nullptr, [] {}};
    environment.eventFacts = env_.eventFacts;
    Collector collector(environment);
    LogEnd end;
    const int result = collector.GetLog("", LogOfFileName(name), TypeMask(env_.options), end);
    env_.view.FlushRows();
    if (result == kLogStopped) return false;
    report_.FileEnded(name, kept_);
    return true;
}

}  // namespace

int ReadLogFiles(FileRunEnvironment& env, const std::vector<std::string>& names, const ReadWholeFile& read) {
    FileRun run(env, names.size());
    run.Started();
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (env.stopRequested || !run.ReadFile(i, names[i], read)) return run.Stopped(names[i]);
    }
    return run.Finish();
}

}  // namespace quorvin::engine
