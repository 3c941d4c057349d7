#pragma once
// One collection run: every computer of the list, the chosen logs of each,
// every kept record turned into its message text and appended as a row,
// and the run report. Runs on the worker thread; reaches the windows only
// through CollectionView and the network only through the platform services.

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/collection_view.h"
#include "engine/connections.h"
#include "engine/insertion_table.h"
#include "engine/log_cache.h"
#include "engine/log_record.h"
#include "engine/report.h"
#include "engine/run_options.h"
#include "services/publishers.h"
#include "services/services.h"

namespace quorvin::engine {

struct RunEnvironment {
    platform::Platform& platform;
    // What the run collects; read only during the run.
    const RunOptions& options;
    // RunReport: appended by the run, read after it.
    std::string& report;
    // Set by the stop button; read and cleared by the run.
    std::atomic<int>& stopRequested;
    CollectionView& view;
    Trace* trace = nullptr;
    // The pause before the total line (one second).
    std::function<void()> finalPause;
    // Keep the registry's and the message modules' answers for the rest of
    // a log (engine/log_cache.h); off, every question goes to the services.
    bool cacheWithinLog = true;
    // The message modules that cache keeps, by their sizes (the least
    // recently used are loaded again beyond it).
    std::uint64_t moduleCacheBytes = CachedMessages::kModuleBudget;
    // Computers collected at the same time. 1: one after another on the
    // run's thread, walking the list as it goes. More: the list is read
    // whole at the start and that many threads collect, each with its own
    // Collector (caches and connections); every computer's rows, report
    // lines, trace lines and progress positions are held until the
    // computers before it are out, so everything reaches the view, the
    // report and the trace as a run of one computer after another gives it.
    int parallel = 1;
    // What the computers of a parallel run may hold together, counted as
    // the memory their steps occupy, before they wait for their turn.
    std::size_t heldBytes = std::size_t{64} << 20;
    // Places where a test holds a parallel run to make its threads' races
    // go one way; the programs set none of them.
    struct ParallelSeams {
        // A computer's thread, before it takes its first computer.
        std::function<void()> workerStarting;
        // The run's thread, each time it waits for the computer it hands out.
        std::function<void()> awaitingResults;
        // A computer's thread, each time it waits because the run holds its share.
        std::function<void()> heldFull;
    } seams = {};
    // Make EventRow::facts for every row (the console's JSON output).
    bool eventFacts = false;
    // The bookmark of a log (computer name as the list has it, log name
    // "system", ...): only its newer records are collected, whatever the
    // window's start. Called from the computers' threads; null: none.
    std::function<std::optional<LogBookmark>(const std::string& computer, const std::string& log)> bookmarks =
        nullptr;
};

// Results of GetLog.
enum LogResult : int { kLogFailed = 0, kLogRead = 1, kLogStopped = 2 };

class Collector {
public:
    explicit Collector(RunEnvironment environment);

    // The whole run; returns 1 (the worker thread's exit code).
    int Run();

    // Reads one log of one computer newest first, keeps the records of the
    // date window and of `typeMask`, and appends a row for each; `end` tells
    // how the read ended and the bookmark it leaves. An empty
    // `computerName` is this machine reading a saved file: each row names
    // the computer its record names, and with an empty `logName` each
    // record's source is looked up under the System, Application and
    // Security logs in turn (LogOfSource).
    int GetLog(const std::string& computerName, const std::string& logName, std::uint32_t typeMask, LogEnd& end);

    std::uint32_t EventCount() const { return eventCount_; }

private:
    struct Substitute;
    struct HeldStep;
    struct HeldComputer;
    class HeldView;
    class HeldTrace;
    class ParallelRun;

    // The whole work of one computer: the alternate account, its chosen
    // logs, the progress positions of the list's `progress` base (1000 +
    // 3000 per computer before it) over `items`. False when it was stopped;
    // its connections are given back either way.
    bool CollectComputer(const std::string& name, int progress, int items);
    // Run with env_.parallel > 1 (engine/parallel_run.cpp).
    int RunParallel();
    // Hands out what another Collector collected of computer `name`, in its
    // order. True when a stop requested meanwhile ended the computer at one
    // of its stop checks: what follows the check is dropped, and the lines a
    // run of one computer after another writes there are written.
    bool Release(std::deque<HeldStep>& steps, const std::string& name);
    // The channels of RunOptions::Channels, after the classic logs, in
    // their order (engine/channel_run.cpp). False when it was stopped.
    bool ReadChannels(const std::string& name, std::uint32_t typeMask);
    bool ReadChannelStep(const std::string& name, const std::string& channel, std::uint32_t typeMask);
    // Opens session_ to computer_: with the alternate account when the run
    // has one, and when the computer refuses it (5, 1326), again as the user
    // running the program after line 072. The open's result.
    platform::Error OpenChannelSession();
    // Reads one channel newest first, as GetLog reads a log.
    int GetChannel(const std::string& name, const std::string& channel, std::uint32_t typeMask, LogEnd& end);
    // One query of GetChannel and its walk (`walk` its state between the two queries).
    struct ChannelWalk;
    int WalkChannel(const platform::ChannelQuery& query, ChannelWalk& walk, std::uint32_t typeMask);
    // Whether this computer's Windows is older than Vista, by its registry's
    // CurrentVersion; false when that cannot be told.
    bool BeforeVista();
    void AppendChannelRow(const evtx::Record& record, const std::string& timeText);
    // Where a run of one computer after another looks at the stop request:
    // before each record of a log (`inLog`) and between the logs. Held so
    // that the run hands out a stop at the same point (parallel runs only).
    void HoldStopCheck(bool inLog);
    // The position before the System step, which a stop already requested skips.
    void SystemStepPosition(int position);

    // Collects the computers of `names` one after another on this thread.
    int RunInTurn(const std::vector<std::string>& names, int items);
    // The end of a whole run: the pause, the total line, the progress ended.
    int Finish();
    int StopPath(const std::string& name);
    bool ReadLogStep(const std::string& name, const char* logName, LogKind kind, std::uint32_t typeMask,
                     bool enabled);
    // Opens the log again after it changed under the read. False when it
    // cannot be opened: the log's failure is reported with the open's cause.
    bool Reopen(std::unique_ptr<platform::EventLog>& eventLog, const std::string& lastSource,
                std::uint32_t lastRecord, int& reopens);
    void PrepareRegistry();
    void ResolveEventMessage(const LogRecord& record, const std::string& timeText);
    // The first classic log whose registry has `source`; "application"
    // when none has it, as the service files a source of no log there.
    std::string LogOfSource(const std::string& source);
    // The message files of a manifest-based provider, whose source key names
    // its ProviderGuid instead of an EventMessageFile: the MessageFileName
    // of its registration on the same computer. False when there is none.
    bool PublisherMessageFile(platform::RegistryKey& sourceKey, std::string& files);
    // The message of a record whose source key names a ProviderGuid, from
    // that provider's manifest on the computer: the event whose template
    // takes the record's strings, %1..%n from them. False when the source
    // names none or its manifest gives no message.
    bool ManifestMessage(const LogRecord& record, platform::RegistryKey& sourceKey, std::string& message);
    void CategoryStep(const LogRecord& record);
    void ParameterStep(const LogRecord& record, platform::RegistryKey& sourceKey);
    bool LocalSubstitute(const std::string& source, Substitute& substitute);
    void LocalParameterTable(const LogRecord& record, const Substitute& substitute);
    bool ReadLocalValue(const std::string& subKey, const std::string& name, std::string& text);
    void AppendRow(const LogRecord& record, std::string message, const std::string& timeText);
    // A row into the list: counted, and the progress text names it.
    void ShowRow(const EventRow& row, const std::string& name, const std::string& logName);
    void HoldRow(EventRow row);
    void TraceLine(const std::string& line);
    void TraceInsert(const char* which, const std::string& source);

    RunEnvironment env_;
    Report report_;
    // The connections made to the computer at hand.
    ComputerConnections connections_;
    std::uint32_t eventCount_ = 0;
    // The progress text of the last row shown, its memory reused.
    std::string progressText_;
    // Set when this Collector collects one computer of a parallel run: its
    // rows go there instead of the view.
    HeldComputer* held_ = nullptr;
    // The log being read.
    LogKind logKind_ = LogKind::System;
    // Of the log being read: the newest record handed on, and the category
    // text of the record at hand (with eventFacts).
    std::optional<LogBookmark> newestHandedOn_;
    std::string categoryText_;

    // Per log.
    std::string computer_;  // "\\NAME"
    std::string name_;      // NAME
    std::string log_;
    // The channel being read; empty while a classic log is.
    std::string channel_;
    // The channel session of the computer at hand, opened at its first
    // channel: null with the open's failure.
    std::unique_ptr<platform::ChannelSession> session_;
    platform::Error sessionError_ = platform::error::kSuccess;
    // The texts the session formats, their memory reused.
    platform::ChannelTexts texts_;
    // The log is not known: each record's source tells it.
    bool anyLog_ = false;
    std::string systemDirectory_;
    std::string systemRoot_;
    std::unique_ptr<platform::RegistryKey> registry_;
    std::unique_ptr<platform::RegistryKey> localMachine_;
    // The publishers of the computer, over registry_ and its drive shares,
    // made at the first source with a ProviderGuid.
    std::unique_ptr<platform::FileAccess> shareFiles_;
    std::unique_ptr<platform::PublisherCatalog> publishers_;
    // The insertion-string table of the event at hand.
    InsertionTable table_;
    // The services the log read asks: the platform's, or caches over them.
    platform::MessageService* messages_;
    platform::SystemService* system_;
    std::unique_ptr<platform::MessageService> cachedMessages_;
    std::unique_ptr<platform::SystemService> cachedSystem_;
};

}  // namespace quorvin::engine
