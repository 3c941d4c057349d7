// Computer list files: saving the list and importing it again through the
// standard file dialogs, with every message of the two commands.

#include "common.h"

#include "gui/resources/resource.h"

using namespace quorvin::gui_test;

namespace {

using Names_ = std::vector<std::string>;

// Ctrl+R in the tree, then the file in the open dialog.
void Import(App& app, const std::wstring& path) {
    app.KeyWithModifier(app.tree, VK_CONTROL, 'R');
    HWND dialog = app.WaitForFileDialog();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(app.ChooseFile(dialog, path));
}

// The question before an import into a list that is not empty.
void AnswerOverwrite(App& app, int answer) {
    HWND question = app.WaitForDialog("確認");
    ASSERT_NE(question, nullptr);
    EXPECT_EQ(app.DialogText(question), "現在のｺﾝﾋﾟｭｰﾀﾘｽﾄを上書きしますか。[いいえ]を選択すると追加されます。");
    app.ClickButton(question, answer);
}

// A message the import stops with; closed with OK.
std::string TakeMessage(App& app, const std::string& caption) {
    HWND message = app.WaitForDialog(caption);
    if (!message) return "<no message>";
    const std::string text = app.DialogText(message);
    app.ClickButton(message, IDOK);
    return text;
}

TEST(ListFile, SavedListImportsBackOverALongerList) {
    ASSERT_TRUE(FreshSettings("pc1;ＰＣ２;10.0.0.3;"));
    TempFile file(L"quorvin-list-roundtrip.lst");
    App app;
    ASSERT_READY(app);
    // Ctrl+W: the save dialog, with no name proposed. (Which extension a
    // name typed without one gets is the system dialog's choice: Wine takes
    // the chosen filter's, older Windows the default "lst".)
    app.KeyWithModifier(app.tree, VK_CONTROL, 'W');
    HWND dialog = app.WaitForFileDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(app.FileDialogName(dialog), L"");
    ASSERT_TRUE(app.ChooseFile(dialog, file.Path()));
    ASSERT_TRUE(app.WaitForNoDialog());
    app.Settle();
    std::string bytes;
    ASSERT_TRUE(file.Read(bytes));
    EXPECT_EQ(bytes, "pc1\r\nＰＣ２\r\n10.0.0.3\r\n");

    // Ten entries replaced by the three of the file when the answer is Yes.
    for (int i = 0; i < 7; ++i) {
        app.Command(ID_ADD_COMPUTER);
        HWND add = app.WaitForDialog("コンピュータの追加");
        ASSERT_NE(add, nullptr);
        SendMessageW(GetDlgItem(add, IDC_COMPUTER_NAME), WM_SETTEXT, 0,
                     reinterpret_cast<LPARAM>(Wide("x" + std::to_string(i)).c_str()));
        app.ClickButton(add, IDOK);
        app.ClickButton(add, IDCANCEL);
        ASSERT_TRUE(app.WaitForNoDialog());
    }
    EXPECT_EQ(app.TreeCount(), 11);
    Import(app, file.Path());
    AnswerOverwrite(app, IDYES);
    ASSERT_TRUE(app.WaitForNoDialog());
    app.Settle();
    EXPECT_EQ(app.TreeNames(), (Names_{"pc1", "ＰＣ２", "10.0.0.3"}));
    EXPECT_EQ(app.TreeCount(), 4);
    // After an import the root is selected and nothing is current.
    EXPECT_EQ(app.TreeSelection(), app.Root());
    app.Command(ID_DELETE_COMPUTER);
    EXPECT_EQ(app.TreeCount(), 4);
    // Answering No appends: every name twice.
    Import(app, file.Path());
    AnswerOverwrite(app, IDNO);
    ASSERT_TRUE(app.WaitForNoDialog());
    app.Settle();
    EXPECT_EQ(app.TreeNames(), (Names_{"pc1", "ＰＣ２", "10.0.0.3", "pc1", "ＰＣ２", "10.0.0.3"}));
    EXPECT_EQ(app.Close(), 0);
    EXPECT_EQ(StoredList(), "pc1;ＰＣ２;10.0.0.3;pc1;ＰＣ２;10.0.0.3;");
}

TEST(ListFile, SavingAnEmptyListAsksForAComputerFirst) {
    ASSERT_TRUE(FreshSettings(nullptr));
    App app;
    ASSERT_READY(app);
    app.KeyWithModifier(app.tree, VK_CONTROL, 'W');
    EXPECT_EQ(TakeMessage(app, "確認"), "ｺﾝﾋﾟｭｰﾀを一台以上追加してください。");
    ASSERT_TRUE(app.WaitForNoDialog());
    // The import of a file that cannot be read leaves the list alone.
    Import(app, L"C:\\no-such-folder-quorvin\\list.txt");
    EXPECT_EQ(TakeMessage(app, "クォーヴィン"), "ファイルの読み込みに失敗しました。");
    EXPECT_EQ(app.TreeCount(), 1);
    EXPECT_EQ(app.Close(), 0);
}

TEST(ListFile, ImportTakesUnixLinesSkipsLinesWithoutTextAndStopsAtALongName) {
    ASSERT_TRUE(FreshSettings(nullptr));
    TempFile file(L"quorvin-list-unix.txt");
    const std::string name32(32, 'n');
    // A line of a zero byte or of CRs alone has no text: skipped, no empty name.
    ASSERT_TRUE(file.Write(std::string("a\n\n  \n\0\n\r\r\nb\r\n\r\n", 16) + name32 + "\n" + name32 + "x\nafter\n"));
    App app;
    ASSERT_READY(app);
    // An empty list is appended to without a question.
    Import(app, file.Path());
    EXPECT_EQ(TakeMessage(app, "注意"),
              "ｺﾝﾋﾟｭｰﾀ名が長すぎます。(ｲﾝﾎﾟｰﾄしようとしたﾃｷｽﾄﾌｧｲﾙ内に、長すぎるｺﾝﾋﾟｭｰﾀ名が存在するため、ｲﾝﾎﾟｰﾄを中止しました。)");
    ASSERT_TRUE(app.WaitForNoDialog());
    app.Settle();
    EXPECT_EQ(app.TreeNames(), (Names_{"a", "  ", "b", name32}));
    EXPECT_EQ(app.Close(), 0);
}

TEST(ListFile, ImportStopsAtTheLimit) {
    ASSERT_TRUE(FreshSettings(nullptr));
    TempFile file(L"quorvin-list-250.txt");
    std::string bytes;
    for (int i = 0; i < 250; ++i) bytes += "host" + std::to_string(i) + "\r\n";
    ASSERT_TRUE(file.Write(bytes));
    App app;
    ASSERT_READY(app);
    Import(app, file.Path());
    EXPECT_EQ(TakeMessage(app, "注意"), "これ以上ｺﾝﾋﾟｭｰﾀを追加することができません。");
    ASSERT_TRUE(app.WaitForNoDialog());
    app.Settle();
    const Names_ names = app.TreeNames();
    ASSERT_EQ(names.size(), 200u);
    EXPECT_EQ(names.front(), "host0");
    EXPECT_EQ(names.back(), "host199");
    EXPECT_EQ(app.Close(), 0);
}

TEST(ListFile, BinaryGarbageAndHugeLinesNeverBreakTheProgram) {
    ASSERT_TRUE(FreshSettings("keep;"));
    TempFile garbage(L"quorvin-list-garbage.bin");
    std::string bytes;
    for (int i = 0; i < 4000; ++i) bytes += static_cast<char>((i * 37 + 11) % 256);
    ASSERT_TRUE(garbage.Write(bytes));
    TempFile nul(L"quorvin-list-nul.txt");
    ASSERT_TRUE(nul.Write(std::string("ab\0cd\r\n\x82\r\n\x81\x7f\r\n", 14)));
    TempFile huge(L"quorvin-list-huge.txt");
    ASSERT_TRUE(huge.Write("first\r\n" + std::string(100 * 1024, 'h') + "\r\n"));

    App app;
    ASSERT_READY(app);
    // Whatever the garbage gives, the program runs on and the list grows at most.
    Import(app, garbage.Path());
    AnswerOverwrite(app, IDNO);
    for (HWND message; (message = app.WaitForDialog("注意", 1500)) != nullptr;) app.ClickButton(message, IDOK);
    ASSERT_TRUE(app.WaitForNoDialog());
    app.Settle();
    ASSERT_GE(app.TreeCount(), 2);
    EXPECT_EQ(app.TreeNames().front(), "keep");

    // A NUL ends a name where it stands; odd bytes are taken as they are.
    Import(app, nul.Path());
    AnswerOverwrite(app, IDYES);
    ASSERT_TRUE(app.WaitForNoDialog());
    app.Settle();
    const Names_ names = app.TreeNames();
    ASSERT_EQ(names.size(), 3u);
    EXPECT_EQ(names[0], "ab");

    // A line of 100 KB is too long a name: the names before it stay.
    Import(app, huge.Path());
    AnswerOverwrite(app, IDYES);
    const std::string tooLong = "ｺﾝﾋﾟｭｰﾀ名が長すぎます。";
    EXPECT_EQ(TakeMessage(app, "注意").substr(0, tooLong.size()), tooLong);
    ASSERT_TRUE(app.WaitForNoDialog());
    app.Settle();
    EXPECT_EQ(app.TreeNames(), (Names_{"first"}));
    EXPECT_EQ(app.Close(), 0);
}

TEST(ListFile, SaveOverAnExistingFileAsksAndAFileInUseIsReported) {
    ASSERT_TRUE(FreshSettings("one;two;"));
    TempFile file(L"quorvin-list-existing.lst");
    ASSERT_TRUE(file.Write(std::string(500, 'o')));
    App app;
    ASSERT_READY(app);
    app.KeyWithModifier(app.tree, VK_CONTROL, 'W');
    HWND dialog = app.WaitForFileDialog();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(app.ChooseFile(dialog, file.Path()));
    HWND question = app.WaitForDialogOtherThan(dialog);
    ASSERT_NE(question, nullptr);
    app.ClickButton(question, IDYES);
    ASSERT_TRUE(app.WaitForNoDialog());
    app.Settle();
    std::string bytes;
    ASSERT_TRUE(file.Read(bytes));
    // Replaced completely: no tail of the longer old file.
    EXPECT_EQ(bytes, "one\r\ntwo\r\n");

    // A file another program holds open without sharing cannot be written:
    // the message names the file and the cause.
    HANDLE held = CreateFileW(file.Path().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    app.KeyWithModifier(app.tree, VK_CONTROL, 'W');
    dialog = app.WaitForFileDialog();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(app.ChooseFile(dialog, file.Path()));
    question = app.WaitForDialogOtherThan(dialog);
    ASSERT_NE(question, nullptr);
    app.ClickButton(question, IDYES);
    const std::string message = TakeMessage(app, "クォーヴィン");
    CloseHandle(held);
    EXPECT_EQ(message, Narrow(file.Path()) + " へのｱｸｾｽ中に共有違反が発生しました。");
    ASSERT_TRUE(app.WaitForNoDialog());
    EXPECT_EQ(app.Close(), 0);
}

// A save that fails half way (here through the file layer's test seam, as
// a full disk would) keeps the file the user had, and leaves no file where
// there was none.
TEST(ListFile, SaveThatFailsHalfWayKeepsTheOldFile) {
    ASSERT_TRUE(FreshSettings("one;two;three;"));
    TempFile file(L"quorvin-list-full.lst");
    const std::string old = "old\r\nlist\r\n" + std::string(3000, 'o');
    ASSERT_TRUE(file.Write(old));
    TempFile fresh(L"quorvin-list-full-new.lst");
    const std::size_t leftovers = file.Neighbours(L"qrv*.tmp").size();
    ScopedEnvironment full(L"QUORVIN_WRITE_FAILS_AFTER", L"6");
    App app;
    ASSERT_READY(app);
    for (const TempFile* target : {&file, &fresh}) {
        app.KeyWithModifier(app.tree, VK_CONTROL, 'W');
        HWND dialog = app.WaitForFileDialog();
        ASSERT_NE(dialog, nullptr);
        ASSERT_TRUE(app.ChooseFile(dialog, target->Path()));
        if (target == &file) {
            HWND question = app.WaitForDialogOtherThan(dialog);
            ASSERT_NE(question, nullptr);
            app.ClickButton(question, IDYES);
        }
        EXPECT_EQ(TakeMessage(app, "クォーヴィン"), Narrow(target->Path()) + " へのｱｸｾｽ中にﾃﾞｨｽｸがいっぱいになりました。");
        ASSERT_TRUE(app.WaitForNoDialog());
    }
    std::string bytes;
    ASSERT_TRUE(file.Read(bytes));
    EXPECT_EQ(bytes, old);
    EXPECT_FALSE(fresh.Exists());
    EXPECT_EQ(file.Neighbours(L"qrv*.tmp").size(), leftovers);
    EXPECT_EQ(app.Close(), 0);
}

TEST(ListFile, CommandsBelongToTheTreeOnly) {
    ASSERT_TRUE(FreshSettings(nullptr));
    App app;
    ASSERT_READY(app);
    // With the list pane active, Ctrl+W reaches no one: no message, no dialog.
    app.ClickList({200, 200});
    app.KeyWithModifier(app.list, VK_CONTROL, 'W');
    Sleep(300);
    EXPECT_TRUE(app.Dialogs().empty());
    // A click on the tree makes it active again.
    app.ClickTree(app.Root());
    app.KeyWithModifier(app.tree, VK_CONTROL, 'W');
    EXPECT_EQ(TakeMessage(app, "確認"), "ｺﾝﾋﾟｭｰﾀを一台以上追加してください。");
    // The tree's context menu offers both commands too, whichever pane was active.
    app.ClickList({200, 200});
    app.ClickTree(app.Root(), true);
    HWND menu = app.WaitForPopupMenu();
    ASSERT_NE(menu, nullptr);
    app.ChooseMenuItem(menu, 2);
    EXPECT_EQ(TakeMessage(app, "確認"), "ｺﾝﾋﾟｭｰﾀを一台以上追加してください。");
    app.ClickTree(app.Root(), true);
    menu = app.WaitForPopupMenu();
    ASSERT_NE(menu, nullptr);
    app.ChooseMenuItem(menu, 3);
    HWND dialog = app.WaitForFileDialog();
    ASSERT_NE(dialog, nullptr);
    app.ClickButton(dialog, IDCANCEL);
    ASSERT_TRUE(app.WaitForNoDialog());
    EXPECT_EQ(app.TreeCount(), 1);
    EXPECT_EQ(app.Close(), 0);
}

}  // namespace
