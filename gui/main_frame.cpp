#include "gui/main_frame.h"

#include "gui/filter_dialog.h"
#include "rules/event_list_rules.h"

#include "core/cp932.h"
#include "core/display_text.h"
#include "gui/about_dialog.h"
#include "gui/add_computer_dialog.h"
#include "gui/collection_run.h"
#include "gui/export_command.h"
#include "gui/options_dialog.h"
#include "gui/quick_start.h"
#include "gui/resources/resource.h"
#include "rules/results.h"
#include "rules/window_store.h"
#include "ui/message_box.h"
#include "ui/session.h"

#include <algorithm>
#include <unordered_map>
#include <vector>

namespace quorvin::run {

namespace {

const wchar_t kClassName[] = L"QuorvinMainFrame";
constexpr UINT_PTR kIndicatorTimer = 1;
constexpr UINT kIndicatorPeriodMs = 250;
// Width of the splitter's left column at creation.
constexpr int kTreeWidth = 120;
// How near an edge of the client area a dropped toolbar docks there.
constexpr int kDockReach = 32;
// A row wide enough for every button.
constexpr int kOneRow = 1 << 20;
// The floating toolbar's caption: the View menu's item without its key.
const char kFloatingTitle[] = "ツールバー";

// The toolbar's buttons in order; 0 is a separator.
const std::vector<int> kToolbarButtons = {
    ID_ADD_COMPUTER, ID_DELETE_COMPUTER, ID_START_COLLECTION, 0, ID_QUICK_START, 0,
    ID_SAVE_RESULTS, ID_OPTIONS,         0,                   ID_HELP_CONTENTS, 0, ID_APP_EXIT,
    0,               ID_VIEW_FILTER,      ID_VIEW_SUMMARY,
};

struct Indicator {
    UINT text;
    int key;
};
// After the message pane: kana, caps, num and scroll lock.
constexpr Indicator kIndicators[MainFrame::kIndicatorCount] = {
    {ID_INDICATOR_KANA, VK_KANA},
    {ID_INDICATOR_CAPS, VK_CAPITAL},
    {ID_INDICATOR_NUM, VK_NUMLOCK},
    {ID_INDICATOR_SCRL, VK_SCROLL},
};

}  // namespace

bool MainFrame::Create(const std::string& storedComputerList) {
    HICON icon = LoadIconW(ui::Instance(), MAKEINTRESOURCEW(IDR_MAINFRAME));
    if (!RegisterWindowClass(kClassName, icon, LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)), reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1)))
        return false;
    HMENU menu = LoadMenuW(ui::Instance(), MAKEINTRESOURCEW(IDR_MAINFRAME));
    if (!menu) return false;
    accelerators_ = LoadAcceleratorsW(ui::Instance(), MAKEINTRESOURCEW(IDR_MAINFRAME));
    if (!accelerators_ ||
        !Window::Create(0, kClassName, "quorvin", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, nullptr, menu)) {
        // The menu belongs to the window only once the window exists.
        static_cast<void>(DestroyMenu(menu));
        return false;
    }
    if (!CreateChildren(storedComputerList)) {
        ui::Discard(Handle());
        return false;
    }
    Layout();
    return true;
}

bool MainFrame::CreateChildren(const std::string& storedComputerList) {
    if (!CreateToolbar() || !CreateStatusBar()) return false;
    if (!splitter_.Create(Handle(), IDW_PANE_FIRST)) return false;
    if (!tree_.Create(splitter_.Handle(), IDW_PANE_FIRST) || !events_.Create(splitter_.Handle(), IDW_PANE_SECOND))
        return false;
    splitter_.SetPanes(tree_.Handle(), events_.Handle(), kTreeWidth);
    tree_.InitialUpdate(storedComputerList);
    events_.InitialUpdate();
    SetFocus(tree_.Handle());
    return SetTimer(Handle(), kIndicatorTimer, kIndicatorPeriodMs, nullptr) != 0;
}

bool MainFrame::CreateToolbar() {
    if (!dockBar_.Create(Handle(), IDW_DOCKBAR)) return false;
    toolbar_ = ui::Toolbar(ui::Toolbar::Create(dockBar_.Handle(), IDW_TOOLBAR));
    if (!toolbar_.Handle()) return false;
    // Button images are 46 x 30 pixels; light grey shows the button face.
    if (!toolbarImages_.Create(46, 30, 9, 0) || !toolbarImages_.AddBitmap(IDR_MAINFRAME, RGB(192, 192, 192)))
        return false;
    if (!toolbar_.SetButtons(toolbarImages_.Handle(), kToolbarButtons, Handle())) return false;
    dockBar_.SetContent(toolbar_.Handle());
    WrapToolbar(kOneRow);
    return floating_.Create(Handle(), kFloatingTitle);
}

SIZE MainFrame::WrapToolbar(int width) {
    // A row break the control refuses leaves its shape off; its buttons still work.
    static_cast<void>(toolbar_.SetRowBreaks(RowBreaks(toolbar_.ItemWidths(), toolbar_.Separators(), width)));
    return toolbar_.Extent();
}

SIZE MainFrame::StandToolbarUpright() {
    // As in WrapToolbar: a refused break leaves the shape off, not the buttons.
    static_cast<void>(toolbar_.SetRowBreaks(ColumnBreaks(toolbar_.Separators())));
    return toolbar_.Extent();
}

DockSide MainFrame::SideAt(POINT screen) const {
    RECT client{};
    POINT origin{0, 0};
    if (!GetClientRect(Handle(), &client) || !ClientToScreen(Handle(), &origin)) return DockSide::Floating;
    const DockRect area{origin.x, origin.y, origin.x + client.right, origin.y + client.bottom};
    return DockSideAt(area, {screen.x, screen.y}, kDockReach);
}

void MainFrame::GripperDropped(POINT screen) {
    const DockSide side = SideAt(screen);
    if (side == DockSide::Floating)
        FloatToolbar(screen);
    else
        DockToolbar(side);
}

void MainFrame::FloatingMoved(POINT screen) {
    const DockSide side = SideAt(screen);
    if (side != DockSide::Floating) DockToolbar(side);
}

void MainFrame::DockToolbar(DockSide side) {
    if (side == DockSide::Floating) return;
    if (side_ == DockSide::Floating) {
        // A bar that cannot come back stays floating.
        if (!SetParent(dockBar_.Handle(), Handle())) return;
        floating_.SetChild(nullptr);
        ShowWindow(floating_.Handle(), SW_HIDE);
    }
    side_ = side;
    dockBar_.SetUpright(IsUpright(side));
    if (IsUpright(side))
        StandToolbarUpright();
    else
        WrapToolbar(kOneRow);
    LayoutAndRepaint();
}

void MainFrame::FloatToolbar(POINT screen) {
    if (side_ == DockSide::Floating) {
        // A window that will not move stays where it was: nothing else changes.
        static_cast<void>(SetWindowPos(floating_.Handle(), nullptr, screen.x, screen.y, 0, 0,
                                       SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE));
        return;
    }
    if (!SetParent(dockBar_.Handle(), floating_.Handle())) return;
    side_ = DockSide::Floating;
    dockBar_.SetUpright(false);
    floating_.SetChild(dockBar_.Handle());
    floating_.ShowAt(screen, dockBar_.SizeAround(WrapToolbar(kOneRow)));
    LayoutAndRepaint();
}

SIZE MainFrame::FloatingClientSize(int width) {
    if (side_ != DockSide::Floating) {
        RECT client{};
        if (!GetClientRect(floating_.Handle(), &client)) return {width, 0};
        return {width, client.bottom};
    }
    const SIZE around = dockBar_.SizeAround({0, 0});
    return dockBar_.SizeAround(WrapToolbar(width - around.cx));
}

void MainFrame::ToggleToolbar() {
    toolbarShown_ = !toolbarShown_;
    if (side_ == DockSide::Floating)
        ShowWindow(floating_.Handle(), toolbarShown_ ? SW_SHOWNA : SW_HIDE);
    else
        ShowWindow(dockBar_.Handle(), toolbarShown_ ? SW_SHOW : SW_HIDE);
    LayoutAndRepaint();
}

bool MainFrame::CreateStatusBar() {
    status_ = ui::StatusBar(ui::StatusBar::Create(Handle(), IDW_STATUS_BAR));
    return status_.Handle() != nullptr;
}

void MainFrame::Layout() const {
    // The system sizes the window while it is being made, before its children exist.
    RECT client{};
    if (!splitter_.Handle() || !GetClientRect(Handle(), &client)) return;
    status_.FitToParent();
    std::vector<int> widths;
    for (const Indicator& indicator : kIndicators)
        widths.push_back(status_.TextWidth(ui::LoadText(indicator.text)) + 12);
    widths.push_back(status_.TextWidth(views::FilterCountText(999999, 999999, true)) + 12);
    status_.SetPanes(widths);
    const SIZE bar = dockBar_.SizeAround(toolbar_.Extent());
    const FrameLayout layout = LayOutFrame({0, 0, client.right, client.bottom}, side_, toolbarShown_,
                                           IsUpright(side_) ? bar.cx : bar.cy, status_.Height());
    if (side_ != DockSide::Floating && toolbarShown_)
        ui::Place(dockBar_.Handle(), layout.bar.left, layout.bar.top, layout.bar.Width(), layout.bar.Height());
    ui::Place(splitter_.Handle(), layout.panes.left, layout.panes.top, layout.panes.Width(), layout.panes.Height());
}

void MainFrame::LayoutAndRepaint() const {
    Layout();
    // Moved by the system, the panes and their headers keep pixels copied
    // from where they were (under Wine most of all): the whole client area
    // is painted again. Should the system refuse, the next paint still comes.
    static_cast<void>(RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN));
}

bool MainFrame::PreTranslate(MSG& message) {
    events_.PreTranslate(message);
    return accelerators_ && TranslateAcceleratorW(Handle(), accelerators_, &message);
}

void MainFrame::ShowPosition(const std::string& text) {
    if (prompting_)
        coveredText_ = text;
    else
        status_.SetPaneText(0, text);
}

void MainFrame::ShownCountChanged() {
    summary_.RowsChanged();
    // A bar that refuses the text shows the count with the next change.
    static_cast<void>(status_.SetPaneText(kFilterPane, views::FilterCountText(events_.RowCount(), events_.TotalCount(),
                                                                              events_.Filtered())));
}

void MainFrame::ApplyFilter(const views::FilterFields& fields, views::EventFilter filter, bool atStart) {
    settings_.ViewFilter = fields;
    // The list writes the position of its new rows ("0/N": none selected).
    events_.SetFilter(std::move(filter));
    summary_.RowsChanged();
    // At start the pane shows nothing until the rows or the selection change.
    if (atStart) ShowPosition(std::string());
}

void MainFrame::FilterCommand() {
    views::FilterDialog dialog(settings_.ViewFilter, views::ChannelsOfTable(events_.Table()));
    if (dialog.Run(Handle()) != IDOK) return;
    ApplyFilter(dialog.Fields(), dialog.Filter());
}

void MainFrame::SummaryCommand() {
    if (summary_.Open(Handle())) return;
    ShowMessage({"集計を表示できませんでした。", "注意", app::MessageIcon::Exclamation, app::MessageButtons::Ok});
}

void MainFrame::ShowGroup(const views::SummaryRow& group) {
    const views::FilterFields fields = views::GroupFilter(group, views::ChannelsOfTable(events_.Table()));
    views::FilterError error{};
    // A name the filter cannot hold (longer than a field, half a character) is said so.
    auto filter = views::EventFilter::Parse(fields, error);
    if (!filter) {
        ShowMessage(views::FilterErrorMessage(error));
        return;
    }
    ApplyFilter(fields, std::move(*filter));
    active_ = Pane::List;
    static_cast<void>(SetFocus(events_.Handle()));
}

void MainFrame::ShowPrompt(int command) {
    if (!prompting_) {
        coveredText_ = status_.PaneText(0);
        prompting_ = true;
    }
    status_.SetPaneText(0, command == 0 ? std::string() : app::SplitCommandText(ui::LoadText(command)).prompt);
}

void MainFrame::EndPrompt() {
    if (!prompting_) return;
    prompting_ = false;
    status_.SetPaneText(0, coveredText_);
}

void MainFrame::UpdateIndicators() {
    for (int i = 0; i < kIndicatorCount; ++i) {
        const bool on = (GetKeyState(kIndicators[i].key) & 1) != 0;
        std::string text = on ? ui::LoadText(kIndicators[i].text) : std::string();
        if (text == indicators_[static_cast<std::size_t>(i)]) continue;
        if (status_.SetPaneText(i + 1, text)) indicators_[static_cast<std::size_t>(i)] = std::move(text);
    }
}

void MainFrame::ToggleStatusBar() {
    ShowWindow(status_.Handle(), IsWindowVisible(status_.Handle()) ? SW_HIDE : SW_SHOW);
    Layout();
}

void MainFrame::RunAddComputerDialog() {
    if (!network_) return;
    computers::AddComputerDialog dialog(tree_, network_(), settings_.ShowOnlyServer == 1, settings_.DontShowComList == 1);
    dialog.Run(Handle());
    settings_.ShowOnlyServer = dialog.ShowOnlyServer() ? 1 : 0;
}

void MainFrame::AddComputerCommand() {
    RunAddComputerDialog();
    tree_.AfterAddCommand();
}

void MainFrame::OptionsCommand() {
    app::OptionsDialog dialog(app::FormFromSettings(settings_));
    if (!dialog.Run(Handle())) return;
    // The dialog refused what AcceptOptions would refuse: this stores.
    static_cast<void>(app::AcceptOptions(dialog.Form(), settings_));
}

app::PageResult MainFrame::ShowPage(app::QuickStartPage page) {
    return app::QuickStartPageDialog(page).Run(Handle());
}

void MainFrame::ShowMessage(const app::UserMessage& message) { ui::ShowMessage(Handle(), message); }

void MainFrame::StartCollectionCommand() {
    if (running_ || !network_) return;
    running_ = true;
    summary_.Hold(true);
    tree_.MarkFailed({});
    run::RunWindows windows{Handle(), tree_.Handle(), events_.Handle(), {}};
    windows.outcomes = [this](const std::string& report) { return RunOutcomes(report); };
    run::StartCollection(windows, settings_, state_, network_());
    summary_.Hold(false);
    running_ = false;
}

void MainFrame::OpenLogFilesCommand() {
    if (running_ || !network_) return;
    running_ = true;
    summary_.Hold(true);
    run::OpenLogFiles({Handle(), tree_.Handle(), events_.Handle(), {}}, state_, network_());
    summary_.Hold(false);
    running_ = false;
}

std::vector<run::ComputerOutcome> MainFrame::RunOutcomes(const std::string& report) {
    std::vector<run::ComputerOutcome> outcomes = run::ReadRunOutcomes(report);
    // The list names a computer as the run did; the count folds letters as the report's names do.
    std::unordered_map<std::string, std::uint64_t> rows;
    const views::EventTable& table = events_.Table();
    for (std::size_t row = 0; row < table.Count(); ++row) ++rows[text::MbsICmpKey(table.Text(row, 4))];
    std::vector<std::string> failed;
    for (run::ComputerOutcome& outcome : outcomes) {
        const auto counted = rows.find(text::MbsICmpKey(outcome.name));
        outcome.rows = counted == rows.end() ? 0 : counted->second;
        if (outcome.Failed()) failed.push_back(outcome.name);
    }
    tree_.MarkFailed(failed);
    return outcomes;
}

bool MainFrame::MayClose() {
    if (!AskToSaveResults(state_.ResultsSaved, events_.TotalCount())) return true;
    switch (ui::ShowMessage(Handle(), SaveResultsQuestion())) {
    case IDYES:
        // The program ends whatever the export did.
        ExportResults(Handle(), events_, state_);
        return true;
    case IDNO:
        return true;
    default:
        return false;
    }
}

namespace {

// The origin of workspace coordinates (those of WINDOWPLACEMENT) on the
// screen: the top-left corner of the primary monitor's work area.
POINT WorkspaceOrigin() {
    RECT work{};
    if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0)) return {0, 0};
    return {work.left, work.top};
}

// `normal` (workspace coordinates) moved onto the monitor nearest to it.
RECT OnNearestMonitor(const PixelRect& normal) {
    const POINT origin = WorkspaceOrigin();
    const RECT screen{normal.left + origin.x, normal.top + origin.y, normal.right + origin.x, normal.bottom + origin.y};
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    PixelRect fitted = normal;
    if (GetMonitorInfoW(MonitorFromRect(&screen, MONITOR_DEFAULTTONEAREST), &monitor)) {
        const RECT& w = monitor.rcWork;
        fitted = app::BringOnto({screen.left, screen.top, screen.right, screen.bottom}, {w.left, w.top, w.right, w.bottom});
        fitted = {fitted.left - origin.x, fitted.top - origin.y, fitted.right - origin.x, fitted.bottom - origin.y};
    }
    return {fitted.left, fitted.top, fitted.right, fitted.bottom};
}

}  // namespace

void MainFrame::Show(const app::MainWindowLayout& layout) {
    const ui::ListView list(events_.Handle());
    const int columns = std::min(list.ColumnCount(), static_cast<int>(layout.columnWidths.size()));
    // A width the list refuses leaves that column as it was.
    for (int column = 0; column < columns; ++column)
        static_cast<void>(list.SetColumnWidth(column, layout.columnWidths[static_cast<std::size_t>(column)]));
    if (layout.placed) {
        WINDOWPLACEMENT place{};
        place.length = sizeof place;
        place.showCmd = layout.maximized ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL;
        place.rcNormalPosition = OnNearestMonitor(layout.normal);
        if (SetWindowPlacement(Handle(), &place)) return;
    }
    // ShowWindow answers whether the window was visible before, not a failure.
    static_cast<void>(ShowWindow(Handle(), SW_SHOW));
}

void MainFrame::KeepLayout() {
    WINDOWPLACEMENT place{};
    place.length = sizeof place;
    if (GetWindowPlacement(Handle(), &place)) {
        const RECT& r = place.rcNormalPosition;
        settings_.MainWindow.placed = true;
        settings_.MainWindow.normal = {r.left, r.top, r.right, r.bottom};
        // A minimized window comes back as it was before.
        settings_.MainWindow.maximized = place.showCmd == SW_SHOWMAXIMIZED ||
                                         (place.showCmd == SW_SHOWMINIMIZED && (place.flags & WPF_RESTORETOMAXIMIZED));
    }
    const ui::ListView list(events_.Handle());
    std::vector<int> widths;
    for (int column = 0; column < list.ColumnCount(); ++column) widths.push_back(list.ColumnWidth(column));
    settings_.MainWindow.columnWidths = widths;
}

bool MainFrame::MaySessionEnd() {
    if (asking_) return false;
    const bool unsaved = AskToSaveResults(state_.ResultsSaved, events_.TotalCount());
    if (!running_ && !unsaved) return true;
    // The reason shows while this answer is awaited; the system ends the
    // program anyway if the user chooses to.
    static_cast<void>(ui::SetShutdownReason(Handle(), running_ ? "イベントログの取得中です。" : "保存していない結果があります。"));
    bool end = false;
    if (!running_) {
        asking_ = true;
        end = MayClose();
        asking_ = false;
    }
    ui::ClearShutdownReason(Handle());
    return end;
}

void MainFrame::SessionEnded() {
    KeepLayout();
    if (!listComposed_) ComposeComputerList();
    if (saveSettings_) saveSettings_();
}

void MainFrame::NextPane() {
    // Two panes: the next one and the previous one are the same.
    SetFocus(active_ == Pane::Tree ? events_.Handle() : tree_.Handle());
}

void MainFrame::ComposeComputerList() {
    settings_.ComputerListToSave += tree_.List().Compose();
    listComposed_ = true;
}

bool MainFrame::OnCommand(int id, int code, HWND control) {
    if (active_ == Pane::Tree && tree_.OnCommand(id)) return true;
    switch (id) {
    case ID_ADD_COMPUTER: AddComputerCommand(); return true;
    case ID_DELETE_COMPUTER: tree_.RemoveCurrent(); return true;
    case ID_SAVE_RESULTS: ExportResults(Handle(), events_, state_); return true;
    case ID_HELP_CONTENTS: static_cast<void>(app::RunHelpViewer(Handle())); return true;
    case ID_APP_EXIT: SendMessageW(Handle(), WM_CLOSE, 0, 0); return true;
    case ID_VIEW_TOOLBAR: ToggleToolbar(); return true;
    case ID_VIEW_STATUS_BAR: ToggleStatusBar(); return true;
    case ID_NEXT_PANE:
    case ID_PREV_PANE: NextPane(); return true;
    case ID_START_COLLECTION: StartCollectionCommand(); return true;
    case ID_OPEN_LOG_FILES: OpenLogFilesCommand(); return true;
    case ID_OPTIONS: OptionsCommand(); return true;
    case ID_VIEW_FILTER: FilterCommand(); return true;
    case ID_VIEW_CLEAR_FILTER: ApplyFilter(views::FilterFields(), views::EventFilter()); return true;
    case ID_VIEW_SUMMARY: SummaryCommand(); return true;
    // The event list's rows, from either pane: the tree has nothing to copy.
    case ID_EDIT_COPY: static_cast<void>(events_.CopySelection()); return true;
    case ID_EDIT_SELECT_ALL: events_.SelectAll(); return true;
    case ID_QUICK_START: app::RunQuickStart(*this); return true;
    case ID_APP_ABOUT: app::AboutDialog().Run(Handle()); return true;
    // The document commands: the program has no document, and both lists stay as they are.
    case ID_FILE_NEW:
    case ID_FILE_OPEN:
    case ID_FILE_SAVE: return true;
    default: return Window::OnCommand(id, code, control);
    }
}

bool MainFrame::OnNotify(int id, NMHDR& header, LRESULT& result) {
    if (header.hwndFrom == events_.Handle()) return events_.OnNotify(header, result);
    switch (header.code) {
    case TTN_GETDISPINFOW: {
        // The toolbar's tooltips: the second half of the command's string.
        auto& info = reinterpret_cast<NMTTDISPINFOW&>(header);
        tipText_ = win32::Wide(app::SplitCommandText(ui::LoadText(static_cast<UINT>(id))).tip);
        info.lpszText = tipText_.data();
        return true;
    }
    case TBN_HOTITEMCHANGE: {
        const auto& hot = reinterpret_cast<NMTBHOTITEM&>(header);
        if (hot.dwFlags & HICF_LEAVING)
            EndPrompt();
        else
            ShowPrompt(hot.idNew);
        result = 0;
        return true;
    }
    default:
        return false;
    }
}

LRESULT MainFrame::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SIZE:
        Layout();
        return 0;
    case WM_SETFOCUS:
        SetFocus(active_ == Pane::Tree ? tree_.Handle() : events_.Handle());
        return 0;
    case WM_TIMER:
        if (wParam == kIndicatorTimer) UpdateIndicators();
        return 0;
    case WM_INITMENUPOPUP: {
        HMENU menu = reinterpret_cast<HMENU>(wParam);
        // Other popups lack these items: CheckMenuItem then changes nothing.
        static_cast<void>(CheckMenuItem(menu, ID_VIEW_TOOLBAR,
                                        MF_BYCOMMAND | (toolbarShown_ ? MF_CHECKED : 0)));
        static_cast<void>(CheckMenuItem(menu, ID_VIEW_STATUS_BAR,
                                        MF_BYCOMMAND | (IsWindowVisible(status_.Handle()) ? MF_CHECKED : 0)));
        return 0;
    }
    case WM_MENUSELECT: {
        const UINT flags = HIWORD(wParam);
        if (flags == 0xFFFF && lParam == 0)
            EndPrompt();
        else
            ShowPrompt((flags & (MF_POPUP | MF_SEPARATOR)) ? 0 : LOWORD(wParam));
        return 0;
    }
    case WM_CLOSE: {
        // A run's windows and its worker use the main window until the run
        // ends; a close request while the question is open waits for its answer.
        if (running_ || asking_) return 0;
        asking_ = true;
        const bool close = MayClose();
        asking_ = false;
        if (!close) return 0;
        ComposeComputerList();
        ui::Discard(Handle());
        return 0;
    }
    case WM_QUERYENDSESSION:
        return MaySessionEnd() ? TRUE : FALSE;
    case WM_ENDSESSION:
        if (wParam) SessionEnded();
        return 0;
    case WM_DESTROY:
        // A window destroyed without the close request still keeps its list.
        KeepLayout();
        if (!listComposed_) ComposeComputerList();
        static_cast<void>(KillTimer(Handle(), kIndicatorTimer));
        PostQuitMessage(0);
        return 0;
    default:
        return Window::OnMessage(message, wParam, lParam);
    }
}

}  // namespace quorvin::run
