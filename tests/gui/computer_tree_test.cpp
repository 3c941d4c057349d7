// The computer tree: the stored list across starts, adding through the
// add-computer dialog, removing the selected entry however the selection
// moved, the context menu.

#include "common.h"

#include "gui/resources/resource.h"

using namespace quorvin::gui_test;

namespace {

using Names_ = std::vector<std::string>;

// Types `name` into the add dialog and presses "追加".
void TypeAndAdd(App& app, HWND dialog, const std::string& name) {
    SendMessageW(GetDlgItem(dialog, IDC_COMPUTER_NAME), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Wide(name).c_str()));
    app.ClickButton(dialog, IDOK);
    app.Settle();
}

std::string NameBox(HWND dialog) { return Narrow(WindowText(GetDlgItem(dialog, IDC_COMPUTER_NAME))); }

TEST(ComputerTree, StoredListComesBackAfterTheNextStart) {
    ASSERT_TRUE(FreshSettings("pc1;pc2;pc3;"));
    {
        App app;
        ASSERT_READY(app);
        EXPECT_EQ(app.TreeNames(), (Names_{"pc1", "pc2", "pc3"}));
        EXPECT_EQ(app.TreeCount(), 4);
        EXPECT_EQ(app.TreeSelection(), app.Entry(0));
        // Collapsing the root hides nothing from the list written at exit.
        SendMessageW(app.tree, TVM_EXPAND, TVE_COLLAPSE, reinterpret_cast<LPARAM>(app.Root()));
        app.Command(ID_ADD_COMPUTER);
        HWND dialog = app.WaitForDialog("コンピュータの追加");
        ASSERT_NE(dialog, nullptr);
        TypeAndAdd(app, dialog, "サーバ1");
        app.ClickButton(dialog, IDCANCEL);
        ASSERT_TRUE(app.WaitForNoDialog());
        EXPECT_EQ(app.Close(), 0);
    }
    EXPECT_EQ(StoredList(), "pc1;pc2;pc3;サーバ1;");
    App again;
    ASSERT_READY(again);
    EXPECT_EQ(again.TreeNames(), (Names_{"pc1", "pc2", "pc3", "サーバ1"}));
    // The close box writes the list in tree order too.
    EXPECT_EQ(again.Close(), 0);
    EXPECT_EQ(StoredList(), "pc1;pc2;pc3;サーバ1;");
}

TEST(ComputerTree, StoredTextsOfEveryShape) {
    struct Case {
        const char* stored;
        Names_ names;
    };
    const Case cases[] = {
        {"pc1;pc2", {"pc1", "pc2"}},
        {";;x;", {"", "", "x"}},
        // A name with ";" was stored as two.
        {"a;b;", {"a", "b"}},
        {"ｺﾝﾋﾟｭｰﾀ\x81;\x7f~;", {"ｺﾝﾋﾟｭｰﾀ\x81;\x7f~"}},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(FreshSettings(c.stored));
        App app;
        ASSERT_READY(app);
        const Names_ got = app.TreeNames();
        if (std::string(c.stored).find('\x81') == std::string::npos) {
            EXPECT_EQ(got, c.names) << c.stored;
            EXPECT_EQ(app.TreeCount(), static_cast<int>(c.names.size()) + 1);
        } else {
            // A lead byte followed by ";" reads as one character: the text
            // goes through the registry's UTF-16 form, where the pair is
            // one (unknown) character and ";" no longer follows it.
            EXPECT_FALSE(got.empty());
        }
        EXPECT_EQ(app.Close(), 0);
    }
}

TEST(ComputerTree, OverlongOrWrongTypeStoredValueGivesAnEmptyList) {
    // 17,016 bytes do not hold a text of 17,016 characters and its terminator.
    const std::string overlong(17100, 'a');
    ASSERT_TRUE(FreshSettings(overlong.c_str()));
    {
        App app;
        ASSERT_READY(app);
        EXPECT_TRUE(app.TreeNames().empty());
        EXPECT_EQ(app.TreeCount(), 1);
        EXPECT_EQ(app.Close(), 0);
    }
    // Nothing the user had is lost: the list stayed empty, the stored text is written back.
    std::string stored;
    EXPECT_TRUE(settings::ReadString("ComputerListToSave", stored));
    EXPECT_EQ(stored, overlong);
    // A number where a text belongs: the program starts and runs as usual.
    ASSERT_TRUE(settings::Delete());
    ASSERT_TRUE(settings::SetDword("ComputerListToSave", 0x31));
    App app;
    ASSERT_READY(app);
    EXPECT_LE(app.TreeCount(), 2);
    EXPECT_EQ(app.Close(), 0);
}

TEST(ComputerTree, AddDialogAddsRefusesDuplicatesAndSelectsTheFirstEntry) {
    ASSERT_TRUE(FreshSettings(nullptr));
    App app;
    ASSERT_READY(app);
    app.Command(ID_ADD_COMPUTER);
    HWND dialog = app.WaitForDialog("コンピュータの追加");
    ASSERT_NE(dialog, nullptr);

    TypeAndAdd(app, dialog, "SERVER1");
    EXPECT_EQ(app.TreeNames(), (Names_{"SERVER1"}));
    EXPECT_EQ(NameBox(dialog), "");
    // The same name in another case is a duplicate: nothing happens, the text stays.
    TypeAndAdd(app, dialog, "server1");
    EXPECT_EQ(app.TreeNames(), (Names_{"SERVER1"}));
    EXPECT_EQ(NameBox(dialog), "server1");
    // An empty name is ignored without a message.
    TypeAndAdd(app, dialog, "");
    EXPECT_EQ(app.TreeNames(), (Names_{"SERVER1"}));
    EXPECT_EQ(app.Dialogs().size(), 1u);
    // The name box holds at most 32 bytes: double-byte characters count two.
    TypeAndAdd(app, dialog, "１２３４５６７８９０１２３４５６７");
    EXPECT_EQ(app.TreeNames(), (Names_{"SERVER1", "１２３４５６７８９０１２３４５６"}));
    TypeAndAdd(app, dialog, "192.168.0.10");
    EXPECT_EQ(app.TreeCount(), 4);
    // No current computer before the dialog (the list was empty): the first
    // entry becomes current and selected when the dialog closes.
    EXPECT_EQ(app.TreeSelection(), nullptr);
    app.ClickButton(dialog, IDCANCEL);
    ASSERT_TRUE(app.WaitForNoDialog());
    app.Settle();
    EXPECT_EQ(app.TreeSelection(), app.Entry(0));
    EXPECT_EQ(app.Close(), 0);
    EXPECT_EQ(StoredList(), "SERVER1;１２３４５６７８９０１２３４５６;192.168.0.10;");
}

TEST(ComputerTree, FullListRefusesTheNextComputerEvenWithAnEmptyName) {
    ASSERT_TRUE(FreshSettings(Names(199).c_str()));
    App app;
    ASSERT_READY(app);
    app.Command(ID_ADD_COMPUTER);
    HWND dialog = app.WaitForDialog("コンピュータの追加");
    ASSERT_NE(dialog, nullptr);
    // The 200th computer (MaxComputer 200) is accepted.
    TypeAndAdd(app, dialog, "last");
    EXPECT_EQ(app.TreeCount(), 201);
    TypeAndAdd(app, dialog, "");
    HWND message = app.WaitForDialog("注意");
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(app.DialogText(message), "これ以上ｺﾝﾋﾟｭｰﾀを追加することができません。");
    app.ClickButton(message, IDOK);
    TypeAndAdd(app, dialog, "one-too-many");
    message = app.WaitForDialog("注意");
    ASSERT_NE(message, nullptr);
    app.ClickButton(message, IDOK);
    EXPECT_EQ(app.TreeCount(), 201);
    app.ClickButton(dialog, IDCANCEL);
    ASSERT_TRUE(app.WaitForNoDialog());
    EXPECT_EQ(app.Close(), 0);
}

TEST(ComputerTree, RemovingMovesTheCurrentComputerBackOrToTheNewFirst) {
    ASSERT_TRUE(FreshSettings("a;b;c;d;"));
    App app;
    ASSERT_READY(app);
    // A click on b makes it current; Delete in the tree removes it and a becomes current.
    app.ClickTree(app.Entry(1));
    EXPECT_EQ(app.TreeSelection(), app.Entry(1));
    app.Key(app.tree, VK_DELETE);
    EXPECT_EQ(app.TreeNames(), (Names_{"a", "c", "d"}));
    EXPECT_EQ(app.TreeSelection(), app.Entry(0));
    // Ctrl+D with the list pane focused removes the tree's current computer:
    // a was first, so the new first entry c becomes current.
    app.ClickList({200, 200});
    app.KeyWithModifier(app.list, VK_CONTROL, 'D');
    EXPECT_EQ(app.TreeNames(), (Names_{"c", "d"}));
    EXPECT_EQ(app.TreeSelection(), app.Entry(0));
    // The toolbar's delete button.
    app.Command(ID_DELETE_COMPUTER);
    app.Command(ID_DELETE_COMPUTER);
    EXPECT_TRUE(app.TreeNames().empty());
    EXPECT_EQ(app.TreeSelection(), nullptr);
    EXPECT_EQ(app.TreeCount(), 1);
    // Nothing is current any more: delete does nothing, the root stays.
    app.Command(ID_DELETE_COMPUTER);
    EXPECT_EQ(app.TreeCount(), 1);
    EXPECT_EQ(app.Close(), 0);
    EXPECT_EQ(StoredList(), "");
}

TEST(ComputerTree, DeleteRemovesTheSelectedEntryHoweverTheSelectionMoved) {
    ASSERT_TRUE(FreshSettings("x;a;b;c;d;e;"));
    App app;
    ASSERT_READY(app);
    // A click on empty space changes nothing: x, the first, is still selected.
    RECT last{};
    ASSERT_TRUE(app.TreeItemRect(app.Entry(5), last));
    app.ClickTreeAt({last.left + 5, last.bottom + 60});
    app.Command(ID_DELETE_COMPUTER);
    ASSERT_EQ(app.TreeNames(), (Names_{"a", "b", "c", "d", "e"}));
    // A click on the root: nothing is removed.
    app.ClickTree(app.Root());
    app.Command(ID_DELETE_COMPUTER);
    EXPECT_EQ(app.TreeCount(), 6);
    // Down: the first entry, then the next; Up goes back, and from the first to the root.
    for (const UINT key : {VK_DOWN, VK_DOWN, VK_DOWN, VK_UP}) app.Key(app.tree, key);
    app.Command(ID_DELETE_COMPUTER);
    EXPECT_EQ(app.TreeNames(), (Names_{"a", "c", "d", "e"}));
    app.Key(app.tree, VK_UP);
    app.Command(ID_DELETE_COMPUTER);
    EXPECT_EQ(app.TreeNames(), (Names_{"a", "c", "d", "e"}));
    // After a click, End, Home and PageDown move the selection: the entry
    // removed is the one selected, and none while the root is.
    app.ClickTree(app.Entry(1));
    app.Key(app.tree, VK_END);
    app.KeyWithModifier(app.tree, VK_CONTROL, 'D');
    EXPECT_EQ(app.TreeNames(), (Names_{"a", "c", "d"}));
    EXPECT_EQ(app.TreeSelection(), app.Entry(2));
    app.Key(app.tree, VK_HOME);
    app.Key(app.tree, VK_DELETE);
    app.Command(ID_DELETE_COMPUTER);
    EXPECT_EQ(app.TreeNames(), (Names_{"a", "c", "d"}));
    app.Key(app.tree, VK_NEXT);
    app.Command(ID_DELETE_COMPUTER);
    EXPECT_EQ(app.TreeNames(), (Names_{"a", "c"}));
    // Down stays at the last entry.
    app.Key(app.tree, VK_DOWN);
    app.Command(ID_DELETE_COMPUTER);
    EXPECT_EQ(app.TreeNames(), (Names_{"a"}));
    EXPECT_EQ(app.Close(), 0);
}

TEST(ComputerTree, RightClickSelectsTheEntryItsMenuRemoves) {
    ASSERT_TRUE(FreshSettings("a;b;c;"));
    App app;
    ASSERT_READY(app);
    app.ClickTree(app.Entry(2), true);
    HWND menu = app.WaitForPopupMenu();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(app.TreeSelection(), app.Entry(2));
    // The second item removes the computer that was clicked.
    app.ChooseMenuItem(menu, 1);
    EXPECT_EQ(app.TreeNames(), (Names_{"a", "b"}));
    EXPECT_EQ(app.TreeSelection(), app.Entry(1));
    // The first item opens the add dialog.
    app.ClickTree(app.Entry(0), true);
    menu = app.WaitForPopupMenu();
    ASSERT_NE(menu, nullptr);
    app.ChooseMenuItem(menu, 0);
    HWND dialog = app.WaitForDialog("コンピュータの追加");
    ASSERT_NE(dialog, nullptr);
    app.ClickButton(dialog, IDCANCEL);
    ASSERT_TRUE(app.WaitForNoDialog());
    EXPECT_EQ(app.Close(), 0);
}

TEST(ComputerTree, InsertKeyOpensTheAddDialogWithoutChoosingACurrentComputer) {
    ASSERT_TRUE(FreshSettings(nullptr));
    App app;
    ASSERT_READY(app);
    app.Key(app.tree, VK_INSERT);
    HWND dialog = app.WaitForDialog("コンピュータの追加");
    ASSERT_NE(dialog, nullptr);
    TypeAndAdd(app, dialog, "pc9");
    app.ClickButton(dialog, IDCANCEL);
    ASSERT_TRUE(app.WaitForNoDialog());
    app.Settle();
    EXPECT_EQ(app.TreeNames(), (Names_{"pc9"}));
    // Unlike the add command, the Insert key leaves no computer current.
    app.Command(ID_DELETE_COMPUTER);
    EXPECT_EQ(app.TreeNames(), (Names_{"pc9"}));
    EXPECT_EQ(app.Close(), 0);
}

}  // namespace
