#include "gui/collection_run.h"

#include "gui/event_list.h"

#include "core/cp932.h"
#include "engine/collector.h"
#include "engine/file_run.h"
#include "engine/trace_file.h"
#include "gui/progress_dialog.h"
#include "gui/resources/resource.h"
#include "gui/result_dialog.h"
#include "gui/start_dialog.h"
#include "rules/job.h"
#include "rules/run_options.h"
#include "ui/file_dialog.h"
#include "ui/file_io.h"
#include "ui/list_view.h"
#include "ui/message_box.h"
#include "ui/thread_wait.h"
#include "ui/tree_view.h"

#include <functional>
#include <memory>
#include <vector>

namespace quorvin::run {

static_assert(IDOK == 1 && IDCANCEL == 2, "JobAccepted reads the dialog's answer by these numbers");

namespace {

// The engine's view of the windows, used on the worker thread only: every
// change and every question is a message sent to a window of the
// user-interface thread, which carries it out in the progress dialog's loop.
// Rows and the progress text they set are handed over in batches
// (rules/row_batch.h): each message is a round trip between the threads.
class WindowView final : public engine::CollectionView {
public:
    WindowView(const RunWindows& windows, HWND progress)
        : windows_(windows), progress_(progress), batch_(GetTickCount()) {}

    bool FirstComputer(std::string& name) override {
        const ui::TreeView tree(windows_.tree);
        const HTREEITEM root = tree.Root();
        current_ = root ? tree.FirstChild(root) : nullptr;
        return Name(name);
    }
    bool NextComputer(std::string& name) override {
        if (!current_) return false;
        current_ = ui::TreeView(windows_.tree).NextSibling(current_);
        return Name(name);
    }
    int TreeItemCount() override { return ui::TreeView(windows_.tree).Count(); }

    void ClearRows() override {
        Flush();
        static_cast<void>(ui::ListView(windows_.list).DeleteAll());
    }
    void AppendRow(const engine::EventRow& row) override {
        engine::EventRow kept;
        kept.image = row.image;
        for (std::size_t column = 0; column < row.columns.size(); ++column)
            kept.columns[column] = views::AsListKeepsIt(row.columns[column]);
        batch_.Add(std::move(kept));
    }
    void FlushRows() override { Flush(); }

    void SetProgressPosition(int position) override {
        // The bar moves after the rows before it are shown.
        Flush();
        SendMessageW(progress_, ProgressDialog::kSetPosition, static_cast<WPARAM>(position), 0);
    }
    void SetProgressText(const std::string& text) override {
        // Each row sets the text: it is the moment to hand over a batch that is due.
        batch_.SetProgressText(text);
        if (batch_.Due(GetTickCount())) Flush();
    }
    void EndProgress() override {
        Flush();
        SendMessageW(progress_, ProgressDialog::kEndRun, 0, 0);
    }

private:
    void Flush() {
        if (batch_.Empty()) return;
        run::RowHandover handover = batch_.Take(GetTickCount());
        SendMessageW(progress_, ProgressDialog::kTakeRows, 0, reinterpret_cast<LPARAM>(&handover));
    }

    bool Name(std::string& name) const {
        if (!current_) return false;
        name = ui::TreeView(windows_.tree).ItemText(current_);
        return true;
    }

    RunWindows windows_;
    HWND progress_;
    run::RowBatch batch_;
    HTREEITEM current_ = nullptr;
};

// The worker: the run it carries out on its thread, given the view of the
// windows, and the progress dialog it reports to.
struct Worker {
    RunWindows windows;
    std::function<int(engine::CollectionView&)> run;
    // Set before the thread is resumed: the progress dialog, or null when
    // the dialog could not be shown and the thread is to end at once.
    HWND progress = nullptr;
};

DWORD WINAPI WorkerThread(void* parameter) {
    Worker& worker = *static_cast<Worker*>(parameter);
    if (!worker.progress) return 0;
    WindowView view(worker.windows, worker.progress);
    return static_cast<DWORD>(worker.run(view));
}

app::UserMessage ApplicationMessage(const char* text) {
    return {text, ui::LoadText(IDS_APP_TITLE), app::MessageIcon::Exclamation, app::MessageButtons::Ok};
}

// The debug trace file opened for the worker: null when the trace
// is off. A trace that cannot be created ends the process.
std::unique_ptr<TraceFile> OpenTrace(HWND frame, const app::AppSettings& settings) {
    if (settings.bDebugTrace == 0) return nullptr;
    auto trace = std::make_unique<TraceFile>(std::filesystem::path(L"quorvin.log"));
    if (!trace->IsOpen()) {
        ui::ShowMessage(frame, ApplicationMessage("デバッグファイルのオープンに失敗しました。"));
        ExitProcess(1);
    }
    ui::ShowMessage(frame, ApplicationMessage("デバッグモードです。"));
    return trace;
}

}  // namespace

app::UserMessage NoComputerMessage() {
    return {"ｲﾍﾞﾝﾄﾛｸﾞを取得するｺﾝﾋﾟｭｰﾀを追加してください。", "注意", app::MessageIcon::Exclamation,
            app::MessageButtons::Ok};
}

app::UserMessage NoWorkerMessage() {
    return {"ｲﾍﾞﾝﾄﾛｸﾞを取得する処理を開始できませんでした。", "注意", app::MessageIcon::Exclamation,
            app::MessageButtons::Ok};
}

namespace {

// Runs `run` on a worker thread at above-normal priority behind the modal
// progress dialog, then shows the result dialog with RunReport (and, for a
// run `overComputers`, its summary per computer) and clears StopRequested.
// Returns when the worker has ended.
void RunBehindProgress(const RunWindows& windows, app::RunState& state, std::function<int(engine::CollectionView&)> run,
                       bool overComputers) {
    Worker worker{windows, std::move(run), nullptr};
    HANDLE thread = CreateThread(nullptr, 0, WorkerThread, &worker, CREATE_SUSPENDED, nullptr);
    if (!thread) {
        ui::ShowMessage(windows.frame, NoWorkerMessage());
        return;
    }
    // A thread at normal priority runs the same run, only less eagerly.
    static_cast<void>(SetThreadPriority(thread, THREAD_PRIORITY_ABOVE_NORMAL));

    // The worker starts once the dialog's window exists, so its end of the
    // dialog cannot come first; it ends the dialog only after its last
    // append to the report.
    ProgressDialog progress(state.StopRequested, [&](HWND dialog) {
        worker.progress = dialog;
        if (ResumeThread(thread) != static_cast<DWORD>(-1)) return;
        worker.progress = nullptr;
        // Nobody else would end it: the dialog goes at once.
        if (!EndDialog(dialog, 0)) ui::Discard(dialog);
    }, [&](std::vector<engine::EventRow>& rows) { views::AppendEventRows(windows.list, rows); });
    const bool ran = progress.Run(windows.frame) == 1 && worker.progress;
    if (!ran) {
        // The thread never ran: it ends without running, or is ended before it starts.
        worker.progress = nullptr;
        if (ResumeThread(thread) == static_cast<DWORD>(-1)) static_cast<void>(TerminateThread(thread, 0));
    }
    ui::WaitForThread(thread);
    static_cast<void>(CloseHandle(thread));
    if (!ran) {
        ui::ShowMessage(windows.frame, NoWorkerMessage());
        return;
    }

    std::vector<ComputerOutcome> outcomes;
    if (overComputers && windows.outcomes) outcomes = windows.outcomes(state.RunReport);
    ResultDialog(state.RunReport, std::move(outcomes)).Run(windows.frame);
    state.StopRequested = 0;
}

// Reads a whole file for a run; false with the system's text for the failure.
bool ReadWholeFile(const std::wstring& path, const platform::Platform& network, std::vector<std::uint8_t>& bytes,
                   std::string& reason) {
    ui::FileReader file;
    if (const platform::Error error = file.Open(path); error != platform::error::kSuccess) {
        reason = network.messages.SystemErrorText(error);
        return false;
    }
    bytes.clear();
    char buffer[1 << 16];
    for (long long n = 0; (n = file.Read(buffer, sizeof buffer)) != 0;) {
        if (n < 0) {
            reason = network.messages.SystemErrorText(GetLastError());
            return false;
        }
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    return true;
}

}  // namespace

void StartCollection(const RunWindows& windows, app::AppSettings& settings, app::RunState& state,
                     const platform::Platform& network) {
    if (ui::TreeView(windows.tree).Count() <= 1) {
        ui::ShowMessage(windows.frame, NoComputerMessage());
        return;
    }
    state.RunReport.clear();
    if (!JobAccepted(StartDialog(settings).Run(windows.frame))) return;

    const engine::RunOptions options = run::RunOptionsFrom(settings);
    std::unique_ptr<TraceFile> trace = OpenTrace(windows.frame, settings);
    const int parallel = settings.ParallelComputers;
    RunBehindProgress(windows, state, [&](engine::CollectionView& view) {
        platform::Platform services = network;
        engine::RunEnvironment environment{services, options, state.RunReport, state.StopRequested, view,
                                           trace.get(), nullptr};
        environment.finalPause = [] { SleepEx(1000, FALSE); };
        environment.parallel = parallel;
        const int result = engine::Collector(std::move(environment)).Run();
        // The trace file is the worker's: closed by its thread when the run ends.
        trace.reset();
        return result;
    }, true);
}

void OpenLogFiles(const RunWindows& windows, app::RunState& state, const platform::Platform& network) {
    ui::FileDialogRequest request;
    request.filter = "ｲﾍﾞﾝﾄ ﾛｸﾞ ﾌｧｲﾙ (*.evtx;*.evt)|*.evtx;*.evt|すべてのﾌｧｲﾙ (*.*)|*.*||";
    const std::vector<std::wstring> paths = ui::AskFileNames(windows.frame, request);
    if (paths.empty()) return;
    state.RunReport.clear();
    std::vector<std::string> names;
    for (const std::wstring& path : paths) names.push_back(text::FromUtf16(std::u16string(path.begin(), path.end())));
    // A file is read whole: every event, whatever its type and day (the filter narrows the list).
    engine::RunOptions options;
    options.Filter_Information = options.Filter_Warning = options.Filter_Error = 1;
    options.Filter_Securityok = options.Filter_Securityng = 1;
    options.EnableStartDate = options.EnableEndDate = 1;
    RunBehindProgress(windows, state, [&](engine::CollectionView& view) {
        platform::Platform machine = network;
        engine::FileRunEnvironment environment{options, state.RunReport, state.StopRequested, view, false, &machine};
        return engine::ReadLogFiles(environment, names,
                                    [&](std::size_t index, std::vector<std::uint8_t>& bytes, std::string& reason) {
                                        return ReadWholeFile(paths[index], network, bytes, reason);
                                    });
    }, false);
}

}  // namespace quorvin::run
