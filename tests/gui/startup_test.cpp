// Start-up, the main window's layout, the settings written at the first
// exit and the single instance.

#include "common.h"

using namespace quorvin::gui_test;

namespace {

TEST(Startup, FirstStartShowsTheEmptyListAndTheLayout) {
    ASSERT_TRUE(settings::Delete());
    App app;
    ASSERT_READY(app);

    // Only the root, nothing selected, no current computer.
    EXPECT_EQ(app.TreeCount(), 1);
    EXPECT_EQ(app.TreeItemText(app.Root()), "ｺﾝﾋﾟｭｰﾀﾘｽﾄ");
    EXPECT_TRUE(app.TreeNames().empty());
    EXPECT_EQ(app.TreeSelection(), nullptr);

    // The tree is the left pane, 120 pixels wide; the list is to its right.
    RECT treeRect{}, listRect{};
    GetWindowRect(app.tree, &treeRect);
    GetWindowRect(app.list, &listRect);
    EXPECT_EQ(treeRect.right - treeRect.left, 120);
    EXPECT_GT(listRect.left, treeRect.right);
    EXPECT_EQ(treeRect.top, listRect.top);

    // Eight columns, widths from their titles.
    const char* titles[] = {"", "種類", "時刻", "ｲﾍﾞﾝﾄ", "ｺﾝﾋﾟｭｰﾀ名", "ｿｰｽ", "ｲﾍﾞﾝﾄID", "ﾒｯｾｰｼﾞ"};
    const int margins[] = {0, 0, 100, 20, 25, 44, 44, 500};
    for (int column = 0; column < 8; ++column) {
        EXPECT_EQ(app.ColumnTitle(column), titles[column]) << column;
        if (column >= 2) {
            EXPECT_EQ(app.ColumnWidth(column), app.StringWidth(titles[column]) + margins[column]) << column;
        }
    }
    EXPECT_EQ(app.ColumnWidth(0), 18);
    EXPECT_EQ(app.ColumnWidth(1), 50);
    EXPECT_EQ(app.RowCount(), 0);

    // Toolbar: eight buttons and four separators in the documented order, then the filter and the summary.
    const int buttons[] = {32771, 32776, 32773, 0, 32786, 0, 32777, 32781, 0, 32780, 0, 57665, 0, 32795, 32797};
    ASSERT_EQ(SendMessageW(app.toolbar, TB_BUTTONCOUNT, 0, 0), 15);
    for (int i = 0; i < 15; ++i) {
        const int id = buttons[i];
        if (id == 0) continue;
        EXPECT_EQ(SendMessageW(app.toolbar, TB_COMMANDTOINDEX, id, 0), i) << id;
    }
    // Status bar: the message pane, four indicators and the filter's count, empty without a filter.
    EXPECT_EQ(app.StatusPaneCount(), 6);
    EXPECT_EQ(app.StatusText(5), "");

    EXPECT_EQ(app.Close(), 0);
}

TEST(Startup, FirstExitWritesEverySettingWithItsDefault) {
    ASSERT_TRUE(settings::Delete());
    App app;
    ASSERT_READY(app);
    EXPECT_EQ(app.Close(), 0);

    // The record's 27 values, and the window's place and column widths in two of their own.
    const std::vector<std::string> names = settings::ValueNames();
    EXPECT_EQ(names.size(), 27u + 2u);
    const std::pair<const char*, DWORD> dwords[] = {
        {"EnableStartDate", 0},    {"EnableEndDate", 1},       {"Filter_Application", 1},   {"Filter_System", 1},
        {"Filter_Security", 1},    {"Filter_Information", 1},  {"Filter_Error", 1},         {"Filter_Warning", 1},
        {"Filter_Securityok", 1},  {"Filter_Securityng", 1},   {"DontShowMessageToolTip", 0}, {"DontShowComList", 0},
        {"AnotherLoginName", 0},   {"ShowOnlyServer", 0},      {"DayBefore", 3},            {"MajorVersion", 1},
        {"MaxComputer", 200},
    };
    for (const auto& [name, expected] : dwords) {
        DWORD value = 99;
        EXPECT_TRUE(settings::ReadDword(name, value)) << name;
        EXPECT_EQ(value, expected) << name;
    }
    for (const char* date : {"StartTime_Year", "StartTime_Month", "StartTime_Day", "EndTime_Year", "EndTime_Month",
                             "EndTime_Day"}) {
        DWORD value = 0;
        EXPECT_TRUE(settings::ReadDword(date, value)) << date;
    }
    DWORD year = 0;
    ASSERT_TRUE(settings::ReadDword("EndTime_Year", year));
    EXPECT_GE(year, 2020u);
    std::string text = "x";
    EXPECT_TRUE(settings::ReadString("Username", text));
    EXPECT_EQ(text, "");
    EXPECT_TRUE(settings::ReadString("ComputerListToSave", text));
    EXPECT_EQ(text, "");
    EXPECT_TRUE(settings::ReadString("OtherLogs", text));
    EXPECT_EQ(text, "");
    DWORD type = 0;
    std::vector<std::uint8_t> block;
    ASSERT_TRUE(settings::Read("Password", type, block));
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(block.size(), 98u);
}

TEST(Startup, SettingsOfTheWrongTypeOrSizeLoadByTheStoreRules) {
    ASSERT_TRUE(settings::Delete());
    // A number stored as text is read as its text; an oversized password
    // block is not read; a value the program never writes stays as it is.
    ASSERT_TRUE(settings::SetString("MaxComputer", "800"));
    ASSERT_TRUE(settings::SetString("Filter_System", "1"));
    ASSERT_TRUE(settings::SetDword("Filter_Error", 2));
    ASSERT_TRUE(settings::SetBinary("Password", std::vector<std::uint8_t>(300, 0x41)));
    ASSERT_TRUE(settings::SetBinary("DayBefore", {1, 2, 3, 4, 5, 6, 7, 8}));
    ASSERT_TRUE(settings::SetString("bDebugTrace", "yes"));
    {
        App app;
        ASSERT_READY(app);
        EXPECT_EQ(app.Close(), 0);
    }
    DWORD value = 0;
    ASSERT_TRUE(settings::ReadDword("MaxComputer", value));
    EXPECT_EQ(value, 500u);
    ASSERT_TRUE(settings::ReadDword("Filter_System", value));
    EXPECT_EQ(value, 1u);
    ASSERT_TRUE(settings::ReadDword("Filter_Error", value));
    EXPECT_EQ(value, 0u);
    ASSERT_TRUE(settings::ReadDword("DayBefore", value));
    EXPECT_EQ(value, 3u);
    DWORD type = 0;
    std::vector<std::uint8_t> block;
    ASSERT_TRUE(settings::Read("Password", type, block));
    EXPECT_EQ(block.size(), 98u);
    std::string trace;
    EXPECT_TRUE(settings::ReadString("bDebugTrace", trace));
    EXPECT_EQ(trace, "yes");
}

TEST(Startup, SecondCopyEndsSilentlyAndTheFirstRunsOn) {
    App first;
    ASSERT_READY(first);
    Program second;
    ASSERT_TRUE(second.Started());
    EXPECT_EQ(second.WaitForExit(), 0);
    EXPECT_TRUE(first.Process().Running());
    EXPECT_EQ(first.Dialogs().size(), 0u);
    EXPECT_EQ(first.Close(), 0);
}

}  // namespace

namespace {

// The demo network of the build, as a Windows path; empty when it was not built.
std::wstring DemoNetwork() {
    wchar_t binary[1024] = {};
    if (!GetEnvironmentVariableW(L"QUORVIN_BINARY_DIR", binary, 1024)) return {};
    std::wstring path = std::wstring(L"Z:") + binary + L"/demo-network/network.ini";
    for (wchar_t& c : path)
        if (c == L'/') c = L'\\';
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) return {};
    return path.substr(0, path.size() - std::wstring(L"\\network.ini").size());
}

TEST(Startup, NetworkOptionOpensTheFolderOrSaysWhyNot) {
    ASSERT_TRUE(FreshSettings("keep;"));
    {
        // Without its folder, or with one that is no network: a message, no window.
        App app(L"/network");
        HWND message = app.WaitForDialog("クォーヴィン");
        ASSERT_NE(message, nullptr);
        EXPECT_EQ(app.DialogText(message), "/network の後にﾈｯﾄﾜｰｸのﾌｫﾙﾀﾞを指定してください。");
        app.ClickButton(message, IDOK);
        EXPECT_EQ(app.Process().WaitForExit(), 0);
    }
    {
        App app(L"/network C:\\no-such-network-quorvin");
        HWND message = app.WaitForDialog("クォーヴィン");
        ASSERT_NE(message, nullptr);
        const std::string first = "ﾈｯﾄﾜｰｸのﾌｫﾙﾀﾞを開けませんでした。";
        EXPECT_EQ(app.DialogText(message).substr(0, first.size()), first);
        app.ClickButton(message, IDOK);
        EXPECT_EQ(app.Process().WaitForExit(), 0);
    }
    // A start that stopped early wrote nothing over the stored list.
    EXPECT_EQ(StoredList(), "keep;");
    const std::wstring demo = DemoNetwork();
    if (demo.empty()) GTEST_SKIP() << "no demo network in QUORVIN_BINARY_DIR";
    // The demo network keeps the settings under a key of its own: its first
    // start lists the demo's computers, and what it saves stays there.
    {
        settings::UseKey demoKey(settings::kDemoKey);
        ASSERT_TRUE(FreshSettings(nullptr));
        App app(L"/network \"" + demo + L"\"");
        ASSERT_READY(app);
        const std::vector<std::string> computers{"DC01", "FS01", "NT4SV", "PC01", "PC02", "PC03", "APP01", "PC04"};
        EXPECT_EQ(app.TreeNames(), computers);
        EXPECT_EQ(app.Close(), 0);
        EXPECT_EQ(StoredList(), "DC01;FS01;NT4SV;PC01;PC02;PC03;APP01;PC04;");
        EXPECT_GT(settings::ValueNames().size(), 20u);
    }
    EXPECT_EQ(StoredList(), "keep;");
    EXPECT_EQ(settings::ValueNames(), std::vector<std::string>{"ComputerListToSave"});
}

// Network folders made to break things: the message says why, no window
// opens, and the stored list is left as it was.
TEST(Startup, HostileNetworkFoldersSayWhyNot) {
    ASSERT_TRUE(FreshSettings("keep;"));
    wchar_t temp[MAX_PATH] = {};
    ASSERT_NE(GetTempPathW(MAX_PATH, temp), 0u);
    const std::wstring folder = std::wstring(temp) + L"quorvin-hostile-net";
    const std::wstring ini = folder + L"\\network.ini";
    CreateDirectoryW(folder.c_str(), nullptr);
    const auto write = [&](const std::string& bytes) {
        HANDLE file = CreateFileW(ini.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return false;
        DWORD written = 0;
        const bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                        written == bytes.size();
        CloseHandle(file);
        return ok;
    };
    std::string lines;
    for (int i = 0; i < 100000; ++i) lines += ";\r\n";
    const std::pair<std::string, std::string> cases[] = {
        {std::string("[local]\r\ncomputer=A\0B\r\n", 23), "network.ini line 2: NUL byte in the line"},
        {lines + "[nowhere]\r\n", "network.ini line 100001: unknown section [nowhere]"},
        {std::string(1100000, ';'), "network.ini: larger than 1 MiB"},
    };
    for (const auto& [bytes, reason] : cases) {
        ASSERT_TRUE(write(bytes));
        App app(L"/network \"" + folder + L"\"");
        HWND message = app.WaitForDialog("クォーヴィン");
        ASSERT_NE(message, nullptr) << reason;
        const std::string text = app.DialogText(message);
        EXPECT_EQ(text.rfind("ﾈｯﾄﾜｰｸのﾌｫﾙﾀﾞを開けませんでした。", 0), 0u) << text;
        EXPECT_NE(text.find(reason), std::string::npos) << text;
        app.ClickButton(message, IDOK);
        EXPECT_EQ(app.Process().WaitForExit(), 0);
    }
    DeleteFileW(ini.c_str());
    RemoveDirectoryW(folder.c_str());
    EXPECT_EQ(StoredList(), "keep;");
}

}  // namespace
