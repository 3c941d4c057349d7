#pragma once
// The computer tree: the left pane of the main window, a tree view with the
// root "ｺﾝﾋﾟｭｰﾀﾘｽﾄ" and one item per computer under it. The list itself and
// its rules (current computer, duplicates, the limit) are a ComputerList;
// this window shows it and turns clicks, keys and commands into its
// operations. Windows build only.

#include "ui/image_list.h"
#include "ui/subclass.h"
#include "ui/tree_view.h"

#include "rules/computer_list.h"
#include "rules/settings.h"

#include <string>
#include <vector>

namespace quorvin::computers {

// What the tree asks of the main window.
class ComputerTreeHost {
public:
    virtual ~ComputerTreeHost() = default;
    // The tree got the focus or a click: it is the active view.
    virtual void TreeActivated() = 0;
    // The Insert key: the add-computer dialog, modally.
    virtual void InsertKey() = 0;
    // The Delete key: the main window's delete command.
    virtual void DeleteKey() = 0;
};

class ComputerTree : public ui::Subclass {
public:
    ComputerTree(ComputerTreeHost& host, const app::AppSettings& settings) : host_(host), settings_(settings) {}

    // Creates the tree control as a child of `parent`; false on failure.
    bool Create(HWND parent, int id);
    // The initial update: the images, the root and the entries of the
    // stored text (ComputerListToSave), the first one current and selected.
    void InitialUpdate(const std::string& stored);

    // Appends `name` unless a duplicate exists (no limit, no message).
    bool AddComputer(const std::string& name);
    // The add-computer dialog's "追加" with `name`, MaxComputer applied.
    AddOutcome AddFromDialog(const std::string& name);
    // The delete command: removes the current computer, the entry the tree
    // shows selected (none when the root is), if any.
    void RemoveCurrent();
    // After the main window's add command: the first entry when none is current.
    void AfterAddCommand();
    // Marks the computers named in `failed` (as the run named them, ASCII
    // letters in either case) as failed, and no others, until the next call.
    void MarkFailed(const std::vector<std::string>& failed) const;
    // Commands of the tree while it is the active view: 32790 and 32791.
    bool OnCommand(int id);

    const ComputerList& List() const { return list_; }
    // Items of the tree, the root included.
    int TreeItemCount() const { return treeItemCount_; }

protected:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    ui::TreeView Tree() const { return ui::TreeView(Handle()); }
    HWND Owner() const { return GetAncestor(Handle(), GA_ROOT); }
    void InsertRoot();
    void AppendItem(const std::string& name);
    void RefreshCount() { treeItemCount_ = Tree().Count(); }
    void SelectCurrent() const;
    // The current computer is the entry the tree shows selected, however
    // the selection got there (clicks, arrows, Home, End, Page keys, typing).
    void FollowSelection();
    // A right click at `client` selects the item there, the root included.
    void RightClick(POINT client);
    void ShowContextMenu(LPARAM screenPoint);
    void SaveListFile();
    void ImportListFile();

    ComputerTreeHost& host_;
    const app::AppSettings& settings_;
    ui::ImageList images_;
    ComputerList list_;
    HTREEITEM root_ = nullptr;
    // The tree item of each entry, in list order.
    std::vector<HTREEITEM> items_;
    int treeItemCount_ = 0;
};

}  // namespace quorvin::computers
