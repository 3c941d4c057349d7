#pragma once
// The main window: the computer tree on the left and the event list on the
// right of a splitter, the toolbar docked on one of the four edges (at the
// top at start) or floating in a tool window of its own, the status bar at
// the bottom; the program's commands. Windows build only.

#include "ui/dock_bar.h"
#include "ui/image_list.h"
#include "ui/splitter.h"
#include "ui/status_bar.h"
#include "ui/toolbar.h"
#include "ui/window.h"

#include "gui/computer_tree.h"
#include "gui/event_list.h"
#include "gui/summary_window.h"
#include "rules/quick_start.h"
#include "rules/run_outcome.h"
#include "rules/run_state.h"
#include "rules/toolbar_dock.h"
#include "rules/settings.h"
#include "services/services.h"

#include <array>
#include <functional>
#include <string>

namespace quorvin::run {

class MainFrame final : public ui::Window,
                        private computers::ComputerTreeHost,
                        private views::EventListHost,
                        private app::QuickStartHost,
                        private views::SummaryHost,
                        private ui::DockHost {
public:
    MainFrame(app::AppSettings& settings, app::RunState& state)
        : settings_(settings),
          state_(state),
          tree_(*this, settings),
          events_(*this, settings),
          summary_(*this, events_.Table(), events_.Shown(), settings.SummaryWindow),
          dockBar_(*this),
          floating_(*this) {}

    // Creates the window, hidden, with its bars and panes, and runs the
    // panes' initial updates: the tree shows `storedComputerList`
    // (ComputerListToSave). False when any part could not be made (what was
    // made is destroyed).
    bool Create(const std::string& storedComputerList);

    // Called for every message the loop takes, before it is dispatched: the
    // tooltip relay and the accelerators. True when the message was used up.
    bool PreTranslate(MSG& message);

    // The network a run collects from, asked for at the start of each run.
    void SetNetwork(std::function<platform::Platform()> network) { network_ = std::move(network); }
    // What writes the settings when the user's session ends: the process
    // may be ended as soon as WM_ENDSESSION has been answered.
    void SetSessionEnd(std::function<void()> saveSettings) { saveSettings_ = std::move(saveSettings); }
    // Shows the window for the first time where `layout` (as stored) puts
    // it, on the nearest monitor, with its column widths; at the system's
    // default place when nothing was stored.
    void Show(const app::MainWindowLayout& layout);

    computers::ComputerTree& Tree() { return tree_; }
    views::EventList& Events() { return events_; }

    // The status bar's indicator panes, after the message pane.
    static constexpr int kIndicatorCount = 4;
    // After them the pane that shows "N / M 件" while a filter is set.
    static constexpr int kFilterPane = kIndicatorCount + 1;

    // Shows only the rows `filter` (parsed from `fields`) matches, and keeps
    // `fields`; the position text follows, but for the stored filter set at
    // start (`atStart`), which leaves the pane empty.
    void ApplyFilter(const views::FilterFields& fields, views::EventFilter filter, bool atStart = false);

protected:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool OnCommand(int id, int code, HWND control) override;
    bool OnNotify(int id, NMHDR& header, LRESULT& result) override;

private:
    enum class Pane { Tree, List };

    // ComputerTreeHost
    void TreeActivated() override { active_ = Pane::Tree; }
    void InsertKey() override { RunAddComputerDialog(); }
    void DeleteKey() override { tree_.RemoveCurrent(); }
    // EventListHost
    void ListActivated() override { active_ = Pane::List; }
    void ShowPosition(const std::string& text) override;
    void RowAdded() override { state_.ResultsSaved = 0; }
    void ShownCountChanged() override;

    // SummaryHost: the list shows the rows of the group chosen in the summary.
    void ShowGroup(const views::SummaryRow& group) override;
    // QuickStartHost: the wizard's pages, the add dialog, the start command.
    app::PageResult ShowPage(app::QuickStartPage page) override;
    void AddComputers() override { RunAddComputerDialog(); }
    std::size_t TreeItemCount() override { return static_cast<std::size_t>(tree_.TreeItemCount()); }
    void ShowMessage(const app::UserMessage& message) override;
    void StartCollection() override { StartCollectionCommand(); }

    // DockHost: the toolbar's gripper and its floating window.
    void GripperDropped(POINT screen) override;
    void FloatingCaptionDoubleClicked() override { DockToolbar(DockSide::Top); }
    void FloatingMoved(POINT screen) override;
    void FloatingClosed() override { ToggleToolbar(); }
    SIZE FloatingClientSize(int width) override;

    // The edge a point on the screen docks the toolbar to, or Floating.
    DockSide SideAt(POINT screen) const;
    void DockToolbar(DockSide side);
    // Floats the toolbar with its window's top-left corner at `screen`.
    void FloatToolbar(POINT screen);
    // Breaks the toolbar's rows to fit `width` pixels; its size afterwards.
    SIZE WrapToolbar(int width);
    // One button a row, each separator after the button before it; its size afterwards.
    SIZE StandToolbarUpright();
    void ToggleToolbar();

    bool CreateChildren(const std::string& storedComputerList);
    bool CreateToolbar();
    bool CreateStatusBar();
    void Layout() const;
    // After the toolbar moved, was hidden or shown: the layout, then every
    // window of the frame painted again.
    void LayoutAndRepaint() const;
    void ToggleStatusBar();
    void UpdateIndicators();
    void ShowPrompt(int command);
    void EndPrompt();
    // The add-computer dialog over the main window; ShowOnlyServer as the user left it.
    void RunAddComputerDialog();
    void AddComputerCommand();
    void StartCollectionCommand();
    // What the run's report says of each computer, with the list's rows of
    // it counted; marks the failed ones in the tree.
    std::vector<run::ComputerOutcome> RunOutcomes(const std::string& report);
    // Saved event log files into the list, as a run fills it.
    void OpenLogFilesCommand();
    // Every way of closing (the exit command, the close box, Alt+F4, the
    // system menu) asks "結果を保存しますか。" while rows exist that were not
    // exported; false when the answer was Cancel.
    bool MayClose();
    void OptionsCommand();
    void FilterCommand();
    void SummaryCommand();
    void NextPane();
    void ComposeComputerList();
    // The window's place and the list's column widths into the settings.
    void KeepLayout();
    // WM_QUERYENDSESSION: while results are unsaved the exit question is
    // asked (Cancel keeps the session from ending); during a run the session waits.
    bool MaySessionEnd();
    void SessionEnded();

    app::AppSettings& settings_;
    app::RunState& state_;
    HACCEL accelerators_ = nullptr;
    ui::Splitter splitter_;
    computers::ComputerTree tree_;
    views::EventList events_;
    views::SummaryWindow summary_;
    ui::DockBar dockBar_;
    ui::FloatingWindow floating_;
    ui::Toolbar toolbar_;
    // Where the toolbar is; each start docks it at the top.
    DockSide side_ = DockSide::Top;
    bool toolbarShown_ = true;
    ui::ImageList toolbarImages_;
    ui::StatusBar status_;
    Pane active_ = Pane::Tree;
    // Texts of the indicator panes as last set.
    std::array<std::string, kIndicatorCount> indicators_;
    // While a menu or toolbar prompt shows: the text it covers.
    bool prompting_ = false;
    std::string coveredText_;
    // The toolbar's tooltip text handed to the system.
    std::wstring tipText_;
    bool listComposed_ = false;
    std::function<platform::Platform()> network_;
    std::function<void()> saveSettings_;
    // From the start dialog to the result dialog: the window stays.
    bool running_ = false;
    // While the close question or its export is shown.
    bool asking_ = false;
};

}  // namespace quorvin::run
