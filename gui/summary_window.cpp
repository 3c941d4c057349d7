#include "gui/summary_window.h"

#include <algorithm>
#include <array>
#include <utility>

#include "gui/resources/resource.h"

namespace quorvin::views {

namespace {

const wchar_t kWindowClass[] = L"QuorvinSummary";
const wchar_t kChartClass[] = L"QuorvinSummaryChart";
const char kTitle[] = "集計";
constexpr int kChartId = 1, kListId = 2;
constexpr UINT_PTR kFillTimer = 1;
constexpr UINT kFillDelayMs = 100;
constexpr app::SummarySize kFirstSize{800, 580};
// Posted to itself: the group of row wParam was chosen.
constexpr UINT kGroupChosen = WM_APP + 1;
constexpr int kLeastWidth = 420, kLeastHeight = 320;
constexpr int kMargin = 8;
// The column widths of the table, in pixels; the times' are measured.
constexpr std::array<int, kSummaryColumns> kColumnWidths = {85, 65, 45, 150, 60, 45, 0, 0};

// The types as the chart stacks them (error at the bottom) in the colours of the list's icons.
struct TypeLook {
    const char* name;
    COLORREF colour;
};
constexpr std::array<TypeLook, kTypeCount> kTypeLooks = {{
    {"ｴﾗｰ", RGB(204, 0, 0)},
    {"警告", RGB(255, 214, 0)},
    {"情報", RGB(16, 64, 200)},
    {"成功の監査", RGB(140, 80, 20)},
    {"失敗の監査", RGB(128, 128, 128)},
}};

// Drawing into the chart's bitmap: a failed stroke leaves that part
// undrawn, and the next paint draws all of it again.
void FillArea(HDC dc, const RECT& area, COLORREF colour) {
    HBRUSH brush = CreateSolidBrush(colour);
    if (!brush) return;
    static_cast<void>(FillRect(dc, &area, brush));
    static_cast<void>(DeleteObject(brush));
}

SIZE TextSize(HDC dc, const std::wstring& text) {
    SIZE size{0, 0};
    if (!GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size)) return SIZE{0, 0};
    return size;
}

void Text(HDC dc, const std::wstring& text, RECT area, UINT format) {
    static_cast<void>(DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &area, format | DT_SINGLELINE | DT_NOPREFIX));
}

// The legend along the top, right-aligned: a box of each type's colour and its name.
int DrawLegend(HDC dc, const RECT& area, int lineHeight) {
    int x = area.right - kMargin;
    for (auto look = kTypeLooks.rbegin(); look != kTypeLooks.rend(); ++look) {
        const std::wstring name = win32::Wide(look->name);
        x -= TextSize(dc, name).cx;
        Text(dc, name, {x, area.top + kMargin, x + TextSize(dc, name).cx, area.top + kMargin + lineHeight}, DT_LEFT);
        const int box = lineHeight - 4;
        x -= box + 4;
        FillArea(dc, {x, area.top + kMargin + 2, x + box, area.top + kMargin + 2 + box}, look->colour);
        x -= 14;
    }
    return area.top + kMargin + lineHeight;
}

std::wstring AxisTitle(const SummaryChart& chart, std::uint64_t events) {
    std::string title = chart.hoursPerBar == 1 ? "時刻（1時間ごと）"
                                               : "日付（" + std::to_string(chart.hoursPerBar / 24) + "日ごと）";
    title += "　" + chart.BarStart(0) + " ～ " + chart.BarStart(chart.bars.size() - 1) + "、計 " +
             std::to_string(events) + " 件";
    return win32::Wide(title);
}

// The value axis: lines across the plot at each step, their numbers on the left.
void DrawValueAxis(HDC dc, const RECT& plot, std::uint64_t top, std::uint64_t step, int lineHeight) {
    for (std::uint64_t value = 0; value <= top; value += step) {
        const int y = plot.bottom - static_cast<int>(static_cast<double>(value) / top * (plot.bottom - plot.top));
        FillArea(dc, {plot.left, y, plot.right, y + 1}, value == 0 ? RGB(0, 0, 0) : RGB(224, 224, 224));
        Text(dc, win32::Wide(std::to_string(value)), {0, y - lineHeight / 2, plot.left - 4, y + lineHeight / 2},
             DT_RIGHT);
    }
    FillArea(dc, {plot.left - 1, plot.top, plot.left, plot.bottom + 1}, RGB(0, 0, 0));
}

// The bars, each stacked from the bottom by type, and the time labels under them.
void DrawBars(HDC dc, const SummaryChart& chart, const RECT& plot, std::uint64_t top, int lineHeight) {
    const double slot = static_cast<double>(plot.right - plot.left) / static_cast<double>(chart.bars.size());
    const int gap = slot >= 4 ? 1 : 0;
    const int labelWidth = TextSize(dc, win32::Wide(chart.BarStart(0).substr(5))).cx;
    const std::size_t every = LabelEvery(chart.bars.size(), static_cast<int>(plot.right - plot.left), labelWidth + 12);
    for (std::size_t bar = 0; bar < chart.bars.size(); ++bar) {
        const int left = static_cast<int>(plot.left) + static_cast<int>(slot * static_cast<double>(bar));
        const int next = static_cast<int>(plot.left) + static_cast<int>(slot * static_cast<double>(bar + 1));
        const int right = std::max(left + 1, next - gap);
        std::uint64_t below = 0;
        for (std::size_t type = 0; type < kTypeCount; ++type) {
            const std::uint64_t count = chart.bars[bar][type];
            if (count == 0) continue;
            const auto y = [&](std::uint64_t value) {
                return plot.bottom - static_cast<int>(static_cast<double>(value) / top * (plot.bottom - plot.top));
            };
            FillArea(dc, {left, y(below + count), right, y(below)}, kTypeLooks[type].colour);
            below += count;
        }
        if (bar % every != 0) continue;
        FillArea(dc, {left, plot.bottom, left + 1, plot.bottom + 4}, RGB(0, 0, 0));
        // Centred under its bar's start, but never cut by the window's edges.
        const int centre = std::min(std::max(left, labelWidth / 2 + 2),
                                    static_cast<int>(plot.right) + kMargin - labelWidth / 2 - 2);
        Text(dc, win32::Wide(chart.BarStart(bar).substr(5)),
             {centre - labelWidth, plot.bottom + 4, centre + labelWidth, plot.bottom + 4 + lineHeight}, DT_CENTER);
    }
}

}  // namespace

bool SummaryChartPane::Create(HWND parent, int id) {
    if (!RegisterWindowClass(kChartClass, nullptr, LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)), nullptr))
        return false;
    return Window::Create(0, kChartClass, "", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, parent,
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(id))) != nullptr;
}

void SummaryChartPane::SetChart(SummaryChart chart, HFONT font) {
    chart_ = std::move(chart);
    font_ = font;
    // An area that cannot be invalidated now is drawn with the next paint.
    static_cast<void>(InvalidateRect(Handle(), nullptr, FALSE));
}

void SummaryChartPane::Paint(HDC dc, const RECT& area) const {
    FillArea(dc, area, GetSysColor(COLOR_WINDOW));
    static_cast<void>(SetBkMode(dc, TRANSPARENT));
    static_cast<void>(SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT)));
    const int lineHeight = std::max<int>(TextSize(dc, L"0").cy, 12);
    std::uint64_t events = 0;
    for (const TypeCounts& bar : chart_.bars)
        for (const std::uint64_t count : bar) events += count;
    if (events == 0) {
        Text(dc, win32::Wide("表示しているｲﾍﾞﾝﾄに時刻のわかるものがありません。"), area, DT_CENTER | DT_VCENTER);
        return;
    }
    const int legendBottom = DrawLegend(dc, area, lineHeight);
    Text(dc, win32::Wide("件数"), {kMargin, area.top + kMargin, area.right, legendBottom}, DT_LEFT);
    const std::uint64_t step = AxisStep(chart_.Tallest(), 5);
    const std::uint64_t top = (chart_.Tallest() + step - 1) / step * step;
    const int numberWidth = TextSize(dc, win32::Wide(std::to_string(top))).cx;
    const RECT plot{kMargin + numberWidth + 6, legendBottom + lineHeight / 2 + 4, area.right - kMargin,
                    area.bottom - kMargin - 2 * lineHeight - 8};
    if (plot.bottom - plot.top < 20 || plot.right - plot.left < 20) return;
    DrawValueAxis(dc, plot, top, step, lineHeight);
    DrawBars(dc, chart_, plot, top, lineHeight);
    Text(dc, AxisTitle(chart_, events), {plot.left, plot.bottom + lineHeight + 8, plot.right, area.bottom}, DT_CENTER);
}

LRESULT SummaryChartPane::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ERASEBKGND) return 1;  // the paint covers every pixel
    if (message != WM_PAINT) return Window::OnMessage(message, wParam, lParam);
    PAINTSTRUCT paint{};
    HDC screen = BeginPaint(Handle(), &paint);
    if (!screen) return 0;
    RECT area{};
    static_cast<void>(GetClientRect(Handle(), &area));
    // Drawn into a bitmap first, so the window never shows half a chart.
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = memory ? CreateCompatibleBitmap(screen, area.right, area.bottom) : nullptr;
    HDC dc = bitmap ? memory : screen;
    HGDIOBJ oldBitmap = bitmap ? SelectObject(memory, bitmap) : nullptr;
    HGDIOBJ oldFont = SelectObject(dc, font_ ? font_ : GetStockObject(DEFAULT_GUI_FONT));
    Paint(dc, area);
    if (oldFont) static_cast<void>(SelectObject(dc, oldFont));
    if (bitmap) {
        // A copy that fails leaves the window as it was until the next paint.
        static_cast<void>(BitBlt(screen, 0, 0, area.right, area.bottom, memory, 0, 0, SRCCOPY));
        static_cast<void>(SelectObject(memory, oldBitmap));
        static_cast<void>(DeleteObject(bitmap));
    }
    if (memory) static_cast<void>(DeleteDC(memory));
    static_cast<void>(EndPaint(Handle(), &paint));
    return 0;
}

bool SummaryWindow::Open(HWND owner) {
    if (IsOpen()) {
        // Brought forward: a window that cannot be is still there to click.
        static_cast<void>(SetForegroundWindow(Handle()));
        return true;
    }
    HICON icon = LoadIconW(ui::Instance(), MAKEINTRESOURCEW(IDR_MAINFRAME));
    if (!RegisterWindowClass(kWindowClass, icon, LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)),
                             reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1)))
        return false;
    const app::SummarySize size = size_.width ? size_ : kFirstSize;
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MAXIMIZEBOX | WS_CLIPCHILDREN;
    if (!Window::Create(0, kWindowClass, kTitle, style, CW_USEDEFAULT, CW_USEDEFAULT, size.width, size.height, owner,
                        nullptr))
        return false;
    if (!CreateChildren()) {
        ui::Discard(Handle());
        return false;
    }
    Fill();
    Layout();
    // ShowWindow answers whether the window was visible before, not a failure.
    static_cast<void>(ShowWindow(Handle(), SW_SHOW));
    static_cast<void>(SetFocus(list_.Handle()));
    return true;
}

bool SummaryWindow::CreateChildren() {
    if (!chart_.Create(Handle(), kChartId)) return false;
    list_ = ui::ListView(ui::ListView::Create(
        Handle(), kListId, LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_OWNERDATA, WS_EX_CLIENTEDGE));
    if (!list_.Handle()) return false;
    list_.SetExtendedStyle(list_.ExtendedStyle() | LVS_EX_FULLROWSELECT);
    const int timeWidth = list_.StringWidth("0000/00/00 00:00:00") + 16;
    for (int column = 0; column < kSummaryColumns; ++column) {
        const int width = kColumnWidths[static_cast<std::size_t>(column)];
        if (list_.InsertColumn(column, SummaryTitles()[static_cast<std::size_t>(column)], width ? width : timeWidth) !=
            column)
            return false;
    }
    return true;
}

void SummaryWindow::RowsChanged() {
    if (!IsOpen() || held_) return;
    // Without the timer the rows are counted when the next change comes.
    static_cast<void>(SetTimer(Handle(), kFillTimer, kFillDelayMs, nullptr));
}

void SummaryWindow::Hold(bool held) {
    held_ = held;
    if (!IsOpen()) return;
    // EnableWindow answers whether the window was disabled before.
    static_cast<void>(EnableWindow(Handle(), held ? FALSE : TRUE));
    if (!held) Fill();
}

void SummaryWindow::Fill() {
    EventSummary summary;
    for (std::size_t shown = 0; shown < shown_.Count(); ++shown) summary.Add(table_.Row(shown_.TableRow(shown)));
    rows_ = summary.Rows();
    if (sortColumn_ >= 0) SortSummary(rows_, static_cast<SummaryColumn>(sortColumn_), descending_);
    chart_.SetChart(summary.Chart(), reinterpret_cast<HFONT>(SendMessageW(list_.Handle(), WM_GETFONT, 0, 0)));
    // LVM_SETITEMCOUNT fails only without memory for the new count; the old rows then stay.
    static_cast<void>(SendMessageW(list_.Handle(), LVM_SETITEMCOUNT, rows_.size(), 0));
    LVITEMW item{};
    item.state = item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    if (!rows_.empty()) static_cast<void>(SendMessageW(list_.Handle(), LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&item)));
    static_cast<void>(InvalidateRect(list_.Handle(), nullptr, TRUE));
}

void SummaryWindow::Layout() const {
    RECT client{};
    if (!GetClientRect(Handle(), &client)) return;
    const int chartHeight = std::max(160, static_cast<int>(client.bottom * 2 / 5));
    ui::Place(chart_.Handle(), 0, 0, client.right, chartHeight);
    ui::Place(list_.Handle(), 0, chartHeight, client.right, std::max(0, static_cast<int>(client.bottom) - chartHeight));
}

void SummaryWindow::SortBy(int column) {
    // A second click on the same column turns the order round; counts and
    // times start with the largest, names with the smallest.
    const auto kind = static_cast<SummaryColumn>(column);
    const bool largestFirst = kind == SummaryColumn::kCount || kind == SummaryColumn::kFirst || kind == SummaryColumn::kLast;
    descending_ = column == sortColumn_ ? !descending_ : largestFirst;
    sortColumn_ = column;
    SortSummary(rows_, kind, descending_);
    static_cast<void>(InvalidateRect(list_.Handle(), nullptr, TRUE));
}

void SummaryWindow::ChooseGroup(int row) {
    if (row < 0 || static_cast<std::size_t>(row) >= rows_.size()) return;
    const SummaryRow group = rows_[static_cast<std::size_t>(row)];
    // Closed first: the main window comes forward with its list.
    ui::Discard(Handle());
    host_.ShowGroup(group);
}

void SummaryWindow::PostToSelf(UINT message, WPARAM wParam) {
    // The list is still inside its own handler: the window goes once it is out.
    // A message that cannot be posted leaves the window open, for another try.
    static_cast<void>(PostMessageW(Handle(), message, wParam, 0));
}

void SummaryWindow::FillDisplayInfo(LVITEMW& item) const {
    if (!(item.mask & LVIF_TEXT) || !item.pszText || item.cchTextMax <= 0 || item.iItem < 0 ||
        static_cast<std::size_t>(item.iItem) >= rows_.size() || item.iSubItem < 0 || item.iSubItem >= kSummaryColumns)
        return;
    const std::wstring text = win32::Wide(
        SummaryText(rows_[static_cast<std::size_t>(item.iItem)], static_cast<SummaryColumn>(item.iSubItem)));
    const std::size_t n = std::min<std::size_t>(text.size(), static_cast<std::size_t>(item.cchTextMax) - 1);
    text.copy(item.pszText, n);
    item.pszText[n] = L'\0';
}

bool SummaryWindow::OnNotify(int id, NMHDR& header, LRESULT& result) {
    if (id != kListId) return false;
    result = 0;
    switch (header.code) {
    case LVN_GETDISPINFOW: FillDisplayInfo(reinterpret_cast<NMLVDISPINFOW&>(header).item); return true;
    case LVN_COLUMNCLICK: SortBy(reinterpret_cast<NMLISTVIEW&>(header).iSubItem); return true;
    case NM_DBLCLK:
        PostToSelf(kGroupChosen, static_cast<WPARAM>(reinterpret_cast<NMITEMACTIVATE&>(header).iItem));
        return true;
    case NM_RETURN: PostToSelf(kGroupChosen, static_cast<WPARAM>(list_.FirstSelected())); return true;
    case LVN_KEYDOWN:
        if (reinterpret_cast<NMLVKEYDOWN&>(header).wVKey == VK_ESCAPE) PostToSelf(WM_CLOSE, 0);
        return true;
    default: return false;
    }
}

LRESULT SummaryWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SIZE: {
        Layout();
        RECT window{};
        if (wParam == SIZE_RESTORED && GetWindowRect(Handle(), &window))
            size_ = {window.right - window.left, window.bottom - window.top};
        return 0;
    }
    case WM_GETMINMAXINFO:
        reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = {kLeastWidth, kLeastHeight};
        return 0;
    case WM_SETFOCUS: static_cast<void>(SetFocus(list_.Handle())); return 0;
    case kGroupChosen: ChooseGroup(static_cast<int>(wParam)); return 0;
    case WM_TIMER:
        if (wParam != kFillTimer) break;
        static_cast<void>(KillTimer(Handle(), kFillTimer));
        Fill();
        return 0;
    default: break;
    }
    return Window::OnMessage(message, wParam, lParam);
}

}  // namespace quorvin::views
