// A run that collects several computers at the same time. Threads take the
// computers in list order, each with a Collector of its own that holds what
// it collects; the run's thread hands out the first computer's results as
// they come and every later computer's once the ones before it are out, so
// the view, the report and the trace get the same calls in the same order
// as from a run of one computer after another.

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

#include "core/cp932.h"
#include "engine/collector.h"

namespace quorvin::engine {

// One call of a computer's collection to the report, the trace or the view.
struct Collector::HeldStep {
    // kRecordCheck and kLogCheck: a stop check before a record (of the log
    // `position` names as a LogKind, or of the channel `text` names) and
    // between logs.
    // kLogStart and kLogEnd: a log's read begins and ends (`text` its name).
    enum class Kind { kReport, kTrace, kRow, kPosition, kRecordCheck, kLogCheck, kLogStart, kLogEnd } kind =
        Kind::kReport;
    std::string text;  // report or trace text; the log name of a row
    EventRow row;
    LogEnd end;
    int position = 0;
    bool unlessStopped = false;  // a position a stop already requested skips
};

namespace {

// What a block of `bytes` taken from the heap occupies: the C runtimes'
// heaps of both platforms keep a header of 8 or 16 bytes and align to 16.
constexpr std::size_t HeapBytes(std::size_t bytes) { return (bytes + 16 + 15) / 16 * 16; }

// What a string's text occupies beside the string: nothing while it fits
// in the string itself, else its whole capacity on the heap.
std::size_t TextBytes(const std::string& text) {
    static const std::size_t inside = std::string().capacity();
    return text.capacity() > inside ? HeapBytes(text.capacity() + 1) : 0;
}

// The bookmarks complete reads of a run left, per computer name (case
// ignored) and log. A computer named twice in the list is collected the
// second time only when its first collection is done, but the view hears
// of that one's log ends only when they are written out: the second reads
// on from what the first left, as it would one after another.
class LeftBookmarks {
public:
    void Set(const std::string& computer, const std::string& log, const std::optional<LogBookmark>& bookmark) {
        std::lock_guard<std::mutex> lock(mutex_);
        for (Entry& entry : entries_)
            if (entry.log == log && text::MbsICmp(entry.computer, computer) == 0) {
                entry.bookmark = bookmark;
                return;
            }
        entries_.push_back({computer, log, bookmark});
    }
    // Whether a read of this run left the log a bookmark (or none), and which.
    bool Find(const std::string& computer, const std::string& log, std::optional<LogBookmark>& bookmark) {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const Entry& entry : entries_)
            if (entry.log == log && text::MbsICmp(entry.computer, computer) == 0) {
                bookmark = entry.bookmark;
                return true;
            }
        return false;
    }

private:
    struct Entry {
        std::string computer, log;
        std::optional<LogBookmark> bookmark;
    };
    std::mutex mutex_;
    std::vector<Entry> entries_;
};

}  // namespace

// What the computers of a run share: the run's lock and how much is held.
struct HeldRun {
    // The first computer's thread runs at most this many steps ahead of the
    // run's thread; the others hold at most `budget` bytes together and
    // then wait until they are first in line. Bounds the memory of a run
    // whatever the logs' sizes.
    static constexpr std::size_t kHeadSteps = 256;

    HeldRun(std::size_t b, const std::function<void()>& full) : budget(b), heldFull(full) {}

    const std::size_t budget;
    const std::function<void()>& heldFull;
    std::mutex mutex;
    std::condition_variable changed;   // a computer has new steps or has ended
    std::condition_variable released;  // steps handed out, a new first computer, or a stop
    std::size_t head = 0;              // the computer being handed out
    std::size_t heldBytes = 0;         // the memory of every computer's held steps
};

// One computer's results, held until the run hands them out.
struct Collector::HeldComputer {
    using Step = HeldStep;
    enum class State { kWaiting, kRunning, kDone, kStopped, kFailed };

    HeldComputer(HeldRun& r, std::size_t i) : run(r), index(i) {}

    // A step in the computer's order, after the report text written before
    // it. Waits while the computer holds more than its share.
    void Add(Step step) {
        std::unique_lock<std::mutex> lock(run.mutex);
        FlushReport();
        Push(std::move(step));
        if (index == run.head && steps.size() == 1) run.changed.notify_all();
        while (!stop) {
            if (index == run.head ? steps.size() < HeldRun::kHeadSteps : run.heldBytes <= run.budget) break;
            if (index != run.head && run.heldFull) run.heldFull();
            run.released.wait(lock);
        }
    }
    // The report text not yet a step becomes one; the run's mutex is held.
    void FlushReport() {
        if (report.empty()) return;
        Step text;
        text.text = std::move(report);
        report.clear();
        Push(std::move(text));
    }
    // The steps held so far, handed over with the memory they were counted
    // as; the run's mutex is held.
    std::deque<Step> Take(std::size_t& bytes) {
        std::deque<Step> taken;
        taken.swap(steps);
        bytes = 0;
        for (const Step& step : taken) bytes += Bytes(step);
        return taken;
    }

    HeldRun& run;
    const std::size_t index;
    // One block each, never one block for all: held steps grow the memory
    // step by step, as they are counted.
    std::deque<Step> steps;         // guarded by run.mutex
    State state = State::kWaiting;  // guarded by run.mutex
    std::exception_ptr failure;     // kFailed: what the computer's thread threw
    std::string report;             // the computer's thread only
    std::atomic<int> stop{0};       // its stop button, pressed by the run

private:
    // What a held step occupies: its own block, its place in the deque's map
    // (which may be twice the steps), and its texts.
    static std::size_t Bytes(const Step& step) {
        std::size_t bytes = HeapBytes(sizeof(Step)) + 2 * sizeof(void*) + TextBytes(step.text);
        for (const std::string& column : step.row.columns) bytes += TextBytes(column);
        if (const EventFacts* facts = step.row.facts.get()) {
            bytes += HeapBytes(sizeof(EventFacts) + 16) + TextBytes(facts->log) + TextBytes(facts->computerName) +
                     TextBytes(facts->categoryText) + TextBytes(facts->userSid) +
                     HeapBytes(facts->strings.capacity() * sizeof(std::string));
            for (const std::string& text : facts->strings) bytes += TextBytes(text);
            if (facts->xml) bytes += XmlBytes(*facts->xml);
        }
        return bytes;
    }
    // An event of a channel: its fields' texts beside the row's.
    static std::size_t XmlBytes(const XmlFacts& xml) {
        std::size_t bytes = HeapBytes(sizeof(XmlFacts) + 16) + HeapBytes(xml.data.capacity() * sizeof(xml.data[0]));
        for (const std::string* text :
             {&xml.channel, &xml.provider, &xml.providerGuid, &xml.eventSourceName, &xml.computer, &xml.userSid,
              &xml.timeCreated, &xml.level, &xml.task, &xml.opcode, &xml.keywords, &xml.version, &xml.qualifiers,
              &xml.processId, &xml.threadId, &xml.activityId, &xml.relatedActivityId, &xml.message})
            bytes += TextBytes(*text);
        for (const auto& [name, value] : xml.data) bytes += TextBytes(name) + TextBytes(value);
        return bytes;
    }
    void Push(Step step) {
        run.heldBytes += Bytes(step);
        steps.push_back(std::move(step));
    }
};

class Collector::HeldView : public CollectionView {
public:
    HeldView(HeldComputer& held, LeftBookmarks& left) : held_(held), left_(left) {}
    bool FirstComputer(std::string&) override { return false; }
    bool NextComputer(std::string&) override { return false; }
    int TreeItemCount() override { return 1; }
    void ClearRows() override {}
    // Rows come through Collector::HoldRow, which keeps their log's name.
    void AppendRow(const EventRow&) override {}
    void SetProgressPosition(int position) override {
        HeldComputer::Step step;
        step.kind = HeldComputer::Step::Kind::kPosition;
        step.position = position;
        held_.Add(std::move(step));
    }
    void SetProgressText(const std::string&) override {}
    void EndProgress() override {}
    void LogStarted(const std::string&, const std::string& log) override {
        HeldComputer::Step step;
        step.kind = HeldComputer::Step::Kind::kLogStart;
        step.text = log;
        held_.Add(std::move(step));
    }
    void LogEnded(const std::string& computer, const std::string& log, const LogEnd& end) override {
        if (end.complete) left_.Set(computer, log, end.bookmark);
        HeldComputer::Step step;
        step.kind = HeldComputer::Step::Kind::kLogEnd;
        step.text = log;
        step.end = end;
        held_.Add(std::move(step));
    }

private:
    HeldComputer& held_;
    LeftBookmarks& left_;
};

class Collector::HeldTrace : public Trace {
public:
    explicit HeldTrace(HeldComputer& held) : held_(held) {}
    void Write(const std::string& line) override {
        HeldComputer::Step step;
        step.kind = HeldComputer::Step::Kind::kTrace;
        step.text = line;
        held_.Add(std::move(step));
    }

private:
    HeldComputer& held_;
};

void Collector::HoldRow(EventRow row) {
    HeldComputer::Step step;
    step.kind = HeldComputer::Step::Kind::kRow;
    step.text = log_;
    step.row = std::move(row);
    held_->Add(std::move(step));
}

// One parallel run: the computers' threads and what they share with the
// run's thread, which hands their results out in list order.
class Collector::ParallelRun {
public:
    using State = HeldComputer::State;

    ParallelRun(Collector& owner, const std::vector<std::string>& names, int items)
        : owner_(owner), names_(names), items_(items), run_(owner.env_.heldBytes, owner.env_.seams.heldFull) {
        held_.reserve(names_.size());
        for (std::size_t k = 0; k < names_.size(); ++k) held_.push_back(std::make_unique<HeldComputer>(run_, k));
    }
    // However the run ends, the threads are stopped and waited for: they
    // use the platform and this object.
    ~ParallelRun() { StopAndJoin(); }

    // Starts up to `wanted` threads; false when not one could be started.
    bool Start(std::size_t wanted) {
        try {
            for (std::size_t i = 0; i < wanted; ++i) threads_.emplace_back([this] { Work(); });
        } catch (const std::system_error&) {
        }
        return !threads_.empty();
    }
    // Hands out computer k's results as they come, until it is done,
    // stopped or failed; the state it ended in.
    State HandOut(std::size_t k);
    void StopAndJoin() {
        {
            std::lock_guard<std::mutex> lock(run_.mutex);
            StopAll();
        }
        for (std::thread& t : threads_)
            if (t.joinable()) t.join();
    }
    std::exception_ptr Failure(std::size_t k) const { return held_[k]->failure; }

private:
    // The threads take the computers in list order while no stop came.
    void Work();
    // Computer k on the calling thread, with a Collector of its own.
    void Collect(std::size_t k);
    RunEnvironment EnvironmentOf(HeldComputer& held, HeldView& view, HeldTrace& trace);
    // The same name earlier in the list and not yet done: k waits for it,
    // so that its connection is not given back under the other. Under the mutex.
    bool NameBusy(std::size_t k) const;
    // No computer is started any more and every one is asked to stop. Under the mutex.
    void StopAll();

    Collector& owner_;
    const std::vector<std::string>& names_;
    const int items_;
    HeldRun run_;
    std::vector<std::unique_ptr<HeldComputer>> held_;
    std::size_t next_ = 0;   // the first computer no thread has taken; under the mutex
    bool stopping_ = false;  // under the mutex
    LeftBookmarks left_;
    std::vector<std::thread> threads_;  // joined by the destructor, before any member goes
};

void Collector::ParallelRun::Work() {
    if (owner_.env_.seams.workerStarting) owner_.env_.seams.workerStarting();
    std::unique_lock<std::mutex> lock(run_.mutex);
    while (!stopping_ && next_ < names_.size()) {
        const std::size_t k = next_++;
        run_.changed.wait(lock, [&] { return stopping_ || !NameBusy(k); });
        if (stopping_) return;  // the run writes k's stop lines when it is first in line
        held_[k]->state = State::kRunning;
        lock.unlock();
        Collect(k);
        lock.lock();
    }
}

RunEnvironment Collector::ParallelRun::EnvironmentOf(HeldComputer& held, HeldView& view, HeldTrace& trace) {
    const RunEnvironment& env = owner_.env_;
    RunEnvironment environment{env.platform, env.options, held.report, held.stop, view,
                               env.trace ? &trace : nullptr, [] {}};
    environment.cacheWithinLog = env.cacheWithinLog;
    environment.moduleCacheBytes = env.moduleCacheBytes;
    environment.eventFacts = env.eventFacts;
    // A computer listed twice reads on from what its earlier entry left.
    if (env.bookmarks)
        environment.bookmarks = [this, &outer = env.bookmarks](const std::string& computer, const std::string& log) {
            std::optional<LogBookmark> bookmark;
            return left_.Find(computer, log, bookmark) ? bookmark : outer(computer, log);
        };
    return environment;
}

void Collector::ParallelRun::Collect(std::size_t k) {
    HeldComputer& h = *held_[k];
    HeldView view(h, left_);
    HeldTrace trace(h);
    State end = State::kFailed;
    try {
        Collector collector(EnvironmentOf(h, view, trace));
        collector.held_ = &h;
        const int progress = 1000 + 3000 * static_cast<int>(k);
        end = collector.CollectComputer(names_[k], progress, items_) ? State::kDone : State::kStopped;
    } catch (...) {
        h.failure = std::current_exception();
    }
    std::lock_guard<std::mutex> lock(run_.mutex);
    h.FlushReport();
    h.state = end;
    run_.changed.notify_all();
}

bool Collector::ParallelRun::NameBusy(std::size_t k) const {
    for (std::size_t j = 0; j < k; ++j)
        if ((held_[j]->state == State::kWaiting || held_[j]->state == State::kRunning) &&
            text::MbsICmp(names_[j], names_[k]) == 0)
            return true;
    return false;
}

void Collector::ParallelRun::StopAll() {
    stopping_ = true;
    for (auto& h : held_) h->stop = 1;
    run_.changed.notify_all();
    run_.released.notify_all();
}

Collector::ParallelRun::State Collector::ParallelRun::HandOut(std::size_t k) {
    HeldComputer& h = *held_[k];
    for (;;) {
        State state;
        std::deque<HeldStep> steps;
        std::size_t bytes = 0;
        {
            std::unique_lock<std::mutex> lock(run_.mutex);
            if (owner_.env_.stopRequested && !stopping_) StopAll();
            if (h.state == State::kWaiting && stopping_) {
                // Stopped before any thread began it: collected here with
                // its button pressed, it ends at its first stop check with
                // the lines a run of one after another writes there.
                h.state = State::kRunning;
                lock.unlock();
                Collect(k);
                continue;
            }
            if (h.steps.empty() && (h.state == State::kWaiting || h.state == State::kRunning)) {
                if (owner_.env_.seams.awaitingResults) owner_.env_.seams.awaitingResults();
                run_.changed.wait_for(lock, std::chrono::milliseconds(20));
            }
            steps = h.Take(bytes);
            state = h.state;
        }
        if (owner_.Release(steps, names_[k])) state = State::kStopped;
        {
            std::lock_guard<std::mutex> lock(run_.mutex);
            run_.heldBytes -= bytes;
            if (state == State::kDone) run_.head = k + 1;
            run_.released.notify_all();
        }
        if (state == State::kDone || state == State::kStopped || state == State::kFailed) return state;
    }
}

int Collector::RunParallel() {
    env_.view.ClearRows();
    report_.RunStarted();

    // The list is read once: the threads cannot walk the view.
    std::vector<std::string> names;
    std::string name;
    for (bool more = env_.view.FirstComputer(name); more; more = env_.view.NextComputer(name)) names.push_back(name);
    const std::size_t count = names.size();
    const int items = count > 0 ? std::max(env_.view.TreeItemCount(), 1) : 1;
    // Nothing to share out: the one computer goes straight to the view.
    if (count == 1) return RunInTurn(names, items);

    ParallelRun run(*this, names, items);
    // Without a thread of its own this one collects, one after another.
    if (!run.Start(std::min<std::size_t>(static_cast<std::size_t>(env_.parallel), count)))
        return RunInTurn(names, items);

    // The run's thread only hands out: it collects nothing while computers'
    // threads run, so a stop reaches every collector at its next record and
    // the first computer reaches the view as it is read.
    for (std::size_t k = 0; k < count; ++k) {
        switch (run.HandOut(k)) {
            case ParallelRun::State::kFailed:
                run.StopAndJoin();
                std::rethrow_exception(run.Failure(k));
            case ParallelRun::State::kStopped:
                report_.Cancelled(names[k]);
                env_.stopRequested = 0;
                run.StopAndJoin();
                env_.view.EndProgress();
                return 1;
            default:
                // The computer's logs have all ended: what the view holds back is shown.
                env_.view.FlushRows();
                break;
        }
    }
    run.StopAndJoin();
    return Finish();
}

int Collector::RunInTurn(const std::vector<std::string>& names, int items) {
    int progress = 1000;
    for (const std::string& name : names) {
        if (!CollectComputer(name, progress, items)) return StopPath(name);
        progress += 3000;
    }
    return Finish();
}

void Collector::HoldStopCheck(bool inLog) {
    if (!held_) return;
    HeldStep step;
    step.kind = inLog ? HeldStep::Kind::kRecordCheck : HeldStep::Kind::kLogCheck;
    step.position = static_cast<int>(logKind_);
    if (inLog) step.text = channel_;
    held_->Add(std::move(step));
}

void Collector::SystemStepPosition(int position) {
    if (!held_) {
        if (!env_.stopRequested) env_.view.SetProgressPosition(position);
        return;
    }
    HeldStep step;
    step.kind = HeldStep::Kind::kPosition;
    step.position = position;
    step.unlessStopped = true;
    held_->Add(std::move(step));
}

bool Collector::Release(std::deque<HeldStep>& steps, const std::string& name) {
    using Kind = HeldStep::Kind;
    for (HeldStep& step : steps) {
        switch (step.kind) {
            case Kind::kReport: env_.report += step.text; break;
            case Kind::kTrace: TraceLine(step.text); break;
            case Kind::kRow: ShowRow(step.row, name, step.text); break;
            case Kind::kPosition:
                if (!(step.unlessStopped && env_.stopRequested)) env_.view.SetProgressPosition(step.position);
                break;
            case Kind::kRecordCheck:
                if (!env_.stopRequested) break;
                // The log read ends at this record: its end line, as a stopped log has.
                if (step.text.empty())
                    report_.LogEnded(name, static_cast<LogKind>(step.position));
                else
                    report_.ChannelEnded(name, step.text);
                return true;
            case Kind::kLogCheck:
                if (env_.stopRequested) return true;
                break;
            case Kind::kLogStart: env_.view.LogStarted(name, step.text); break;
            case Kind::kLogEnd: env_.view.LogEnded(name, step.text, step.end); break;
        }
    }
    return false;
}

}  // namespace quorvin::engine
