// The event detail dialog on the rows of a run (stepping, enabling, the
// list's selection, a sort, a long message) and the debug trace file.

#include "run_support.h"

#include <fstream>
#include <sstream>

using namespace quorvin::gui_test;

namespace {

const std::string kLongInsert(1500, 'x');

std::string Description() {
    return "local ADMIN\n"
           "computer ADMIN\n"
           "computer PC1\n"
           "  systemroot C:\\WINDOWS\n"
           "  log System\n"
           "    event -2h error Disk 7 \"disk one\"\n"
           "    event -1h information \"Service Control Manager\" 4201 \"lan\"\n"
           "  log Application\n"
           "    event -30m warning App 1 \"warn\"\n"
           "computer PC2\n"
           "  systemroot C:\\WINDOWS\n"
           "  log Application\n"
           "    event -10m information App 2 \"late\"\n"
           "    event -15m information App 3 \"" +
           kLongInsert + "\"\n";
}

HWND OpenDetail(App& app, int row) {
    RECT rect{};
    if (!app.RowRect(row, rect)) return nullptr;
    app.ClickList({rect.left + 60, (rect.top + rect.bottom) / 2}, true);
    return app.WaitForDialog(kDetailTitle);
}

bool Enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }

// Whether the whole text of field `id` shows: its last character (past
// the time's trailing blanks) ends inside the field.
bool ShowsWhole(HWND dialog, int id) {
    std::wstring text = Wide(ControlText(dialog, id));
    while (!text.empty() && text.back() == L' ') text.pop_back();
    if (text.size() < 2) return true;
    HWND field = GetDlgItem(dialog, id);
    const auto x = [&](std::size_t at) {
        return static_cast<short>(LOWORD(SendMessageW(field, EM_POSFROMCHAR, static_cast<WPARAM>(at), 0)));
    };
    const int last = x(text.size() - 1), width = last - x(text.size() - 2);
    RECT client{};
    return GetClientRect(field, &client) && last + width <= client.right;
}

TEST(EventDetail, StepsMoveTheSelectionAndFollowTheSortedOrder) {
    TestNetwork net(Description());
    ASSERT_TRUE(net.Ok()) << net.Error();
    ASSERT_TRUE(FreshSettings("PC1;PC2;"));
    App app(net.Arguments());
    ASSERT_READY(app);
    EXPECT_TRUE(EndsWith(CompleteRun(app), "ﾄｰﾀﾙ：5件"));
    ASSERT_EQ(app.RowCount(), 5);

    // The middle row: both steps, every field from its column.
    HWND detail = OpenDetail(app, 2);
    ASSERT_NE(detail, nullptr);
    EXPECT_EQ(app.StatusText(0), "3/5");
    EXPECT_EQ(ControlText(detail, IDC_DETAIL_TYPE), app.Cell(2, 1));
    EXPECT_EQ(ControlText(detail, IDC_DETAIL_TIME), app.Cell(2, 2));
    EXPECT_EQ(ControlText(detail, IDC_DETAIL_LOG), "ｱﾌﾟﾘｹｰｼｮﾝ");
    EXPECT_EQ(ControlText(detail, IDC_DETAIL_COMPUTER), "PC1");
    EXPECT_EQ(ControlText(detail, IDC_DETAIL_SOURCE), "App");
    EXPECT_EQ(ControlText(detail, IDC_DETAIL_EVENT_ID), "1");
    EXPECT_EQ(ControlText(detail, IDC_DETAIL_MESSAGE), app.Cell(2, 7));
    EXPECT_TRUE(Enabled(detail, IDC_DETAIL_PREVIOUS));
    EXPECT_TRUE(Enabled(detail, IDC_DETAIL_NEXT));

    // Next twice reaches the last row, whose message is cut at 1023 bytes.
    app.ClickButton(detail, IDC_DETAIL_NEXT);
    app.Settle();
    EXPECT_EQ(app.SelectedRow(), 3);
    app.ClickButton(detail, IDC_DETAIL_NEXT);
    app.Settle();
    EXPECT_EQ(app.SelectedRow(), 4);
    EXPECT_EQ(ControlText(detail, IDC_DETAIL_EVENT_ID), "3");
    EXPECT_FALSE(Enabled(detail, IDC_DETAIL_NEXT));
    EXPECT_TRUE(Enabled(detail, IDC_DETAIL_PREVIOUS));
    const std::string message = ControlText(detail, IDC_DETAIL_MESSAGE);
    EXPECT_EQ(message.size(), 1023u);
    EXPECT_EQ(message, app.Cell(4, 7).substr(0, 1023));
    // The position text follows the steps.
    EXPECT_EQ(app.StatusText(0), "5/5");
    app.ClickButton(detail, IDOK);
    ASSERT_TRUE(app.WaitForNoDialog());
    EXPECT_EQ(app.SelectedRow(), 4);

    // The first row: only the next step.
    detail = OpenDetail(app, 0);
    ASSERT_NE(detail, nullptr);
    EXPECT_FALSE(Enabled(detail, IDC_DETAIL_PREVIOUS));
    EXPECT_TRUE(Enabled(detail, IDC_DETAIL_NEXT));
    // Its source, "Service Control Manager", and every other field show whole.
    EXPECT_EQ(ControlText(detail, IDC_DETAIL_SOURCE), "Service Control Manager");
    for (const int field : {IDC_DETAIL_TYPE, IDC_DETAIL_TIME, IDC_DETAIL_SOURCE, IDC_DETAIL_COMPUTER, IDC_DETAIL_LOG,
                            IDC_DETAIL_EVENT_ID})
        EXPECT_TRUE(ShowsWhole(detail, field)) << field << ": " << ControlText(detail, field);
    app.ClickButton(detail, IDCANCEL);
    ASSERT_TRUE(app.WaitForNoDialog());

    // After a sort by event ID (by number: 1, 2, 3, 7, 4201) the steps follow the new order.
    app.ClickHeader(6);
    detail = OpenDetail(app, 0);
    ASSERT_NE(detail, nullptr);
    EXPECT_EQ(ControlText(detail, IDC_DETAIL_EVENT_ID), "1");
    for (const char* id : {"2", "3", "7", "4201"}) {
        app.ClickButton(detail, IDC_DETAIL_NEXT);
        app.Settle();
        EXPECT_EQ(ControlText(detail, IDC_DETAIL_EVENT_ID), id);
    }
    EXPECT_FALSE(Enabled(detail, IDC_DETAIL_NEXT));
    app.ClickButton(detail, IDOK);
    ASSERT_TRUE(app.WaitForNoDialog());

    // A double-click below the rows opens nothing.
    app.ClickList({60, 400}, true);
    Sleep(300);
    EXPECT_TRUE(app.Dialogs().empty());
    EXPECT_EQ(app.Close(), 0);
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The current directory of this process (and of quorvin.exe started from it) for a scope.
class ScopedDirectory {
public:
    explicit ScopedDirectory(const std::filesystem::path& folder) : before_(std::filesystem::current_path()) {
        std::filesystem::current_path(folder);
    }
    ~ScopedDirectory() { std::filesystem::current_path(before_); }

private:
    std::filesystem::path before_;
};

// Answers the "デバッグモードです。" box of a run's start; false when it did not come.
bool AnswerDebugMode(App& app) {
    HWND box = app.WaitForDialog("クォーヴィン");
    if (!box || !Contains(app.DialogText(box), "デバッグモードです。")) return false;
    app.ClickButton(box, IDOK);
    return true;
}

TEST(DebugTrace, EachRunWritesItsOwnTraceFile) {
    TestNetwork net(Description());
    ASSERT_TRUE(net.Ok()) << net.Error();
    ASSERT_TRUE(FreshSettings("PC1;PC2;"));
    ASSERT_TRUE(settings::SetDword("bDebugTrace", 1));
    const std::filesystem::path folder = net.Folder() / "work";
    std::filesystem::create_directory(folder);
    ScopedDirectory directory(folder);
    App app(net.Arguments());
    ASSERT_READY(app);

    HWND start = OpenStartDialog(app);
    ASSERT_NE(start, nullptr);
    app.ClickButton(start, IDOK);
    ASSERT_TRUE(AnswerDebugMode(app));
    HWND result = nullptr;
    EXPECT_TRUE(EndsWith(WaitForReport(app, result), "ﾄｰﾀﾙ：5件"));
    ASSERT_NE(result, nullptr);
    app.ClickButton(result, IDOK);
    ASSERT_TRUE(app.WaitForNoDialog());
    // No source has a registry key: the fallback text, then the record's end.
    const std::string first = ReadFile(folder / "quorvin.log");
    EXPECT_EQ(first.rfind("InsertEventMessage5(Service Control Manager)\r\nPoint 5\r\nInsertEventMessage5(Disk)\r\nPoint 5\r\n", 0), 0u)
        << first;
    EXPECT_TRUE(EndsWith(first, "InsertEventMessage5(App)\r\nPoint 5\r\n")) << first;

    // The second run (System only) replaces the file.
    start = OpenStartDialog(app);
    ASSERT_NE(start, nullptr);
    ToggleBox(app, start, IDC_LOG_SECURITY);
    ToggleBox(app, start, IDC_LOG_APPLICATION);
    app.ClickButton(start, IDOK);
    ASSERT_TRUE(AnswerDebugMode(app));
    EXPECT_TRUE(EndsWith(WaitForReport(app, result), "ﾄｰﾀﾙ：2件"));
    ASSERT_NE(result, nullptr);
    app.ClickButton(result, IDOK);
    ASSERT_TRUE(app.WaitForNoDialog());
    EXPECT_EQ(ReadFile(folder / "quorvin.log"),
              "InsertEventMessage5(Service Control Manager)\r\nPoint 5\r\nInsertEventMessage5(Disk)\r\nPoint 5\r\n");
    EXPECT_EQ(app.Close(), 0);
    ASSERT_TRUE(settings::Delete());
}

TEST(DebugTrace, OffWritesNothingAndAReadOnlyFolderEndsTheProgram) {
    TestNetwork net(Description());
    ASSERT_TRUE(net.Ok()) << net.Error();
    const std::filesystem::path folder = net.Folder() / "work";
    std::filesystem::create_directory(folder);
    {
        // Off: no message, the old file untouched.
        ASSERT_TRUE(FreshSettings("PC2;"));
        std::ofstream(folder / "quorvin.log", std::ios::binary) << "old";
        ScopedDirectory directory(folder);
        App app(net.Arguments());
        ASSERT_READY(app);
        EXPECT_TRUE(EndsWith(CompleteRun(app), "ﾄｰﾀﾙ：2件"));
        EXPECT_EQ(ReadFile(folder / "quorvin.log"), "old");
        EXPECT_EQ(app.Close(), 0);
    }
    std::filesystem::remove(folder / "quorvin.log");

    // A folder where no file can be made (under Wine, the Linux /proc): the
    // message, then exit code 1.
    ASSERT_TRUE(FreshSettings("PC2;"));
    ASSERT_TRUE(settings::SetDword("bDebugTrace", 1));
    const std::filesystem::path readOnly = L"Z:\\proc";
    if (!std::filesystem::is_directory(readOnly) || std::ofstream(readOnly / "quorvin.log").good())
        GTEST_SKIP() << "no folder here refuses new files";
    {
        ScopedDirectory directory(readOnly);
        App app(net.Arguments());
        ASSERT_READY(app);
        HWND start = OpenStartDialog(app);
        ASSERT_NE(start, nullptr);
        app.ClickButton(start, IDOK);
        HWND box = app.WaitForDialog("クォーヴィン");
        ASSERT_NE(box, nullptr);
        EXPECT_TRUE(Contains(app.DialogText(box), "デバッグファイルのオープンに失敗しました。"));
        app.ClickButton(box, IDOK);
        EXPECT_EQ(app.Process().WaitForExit(), 1);
    }
    ASSERT_TRUE(settings::Delete());
}

}  // namespace
