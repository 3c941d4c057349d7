#pragma once
// The add-computer dialog "コンピュータの追加" (resource 132): the user
// types a computer name or IP address, or picks a machine from the browse
// list of a domain or workgroup, and adds it with "追加" (a double-click on
// a row adds it at once); the dialog stays open for the next one until
// "閉じる". Windows build only.

#include "ui/dialog.h"
#include "ui/list_view.h"
#include "ui/subclass.h"

#include "services/services.h"

#include <string>

namespace quorvin::computers {

class ComputerTree;

class AddComputerDialog : public ui::Dialog {
public:
    // `network` answers the browse and holds the Winlogon values;
    // `showOnlyServer` and `dontShowComList` are the settings of those names.
    AddComputerDialog(ComputerTree& tree, platform::Platform network, bool showOnlyServer, bool dontShowComList)
        : tree_(tree), network_(network), showOnlyServer_(showOnlyServer), dontShowComList_(dontShowComList),
          list_(*this) {}

    // Runs the dialog owned by `owner`; its effect is the entries it added
    // and ShowOnlyServer().
    void Run(HWND owner);
    // The state of "ｻｰﾊﾞのみ表示" when the dialog was closed.
    bool ShowOnlyServer() const { return showOnlyServer_; }

protected:
    bool OnInit() override;
    void OnCommand(int id, int code) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

private:
    // The browse list: a click on a row, or a key that selects it, copies
    // its name; a double-click adds it.
    class BrowseList : public ui::Subclass {
    public:
        explicit BrowseList(AddComputerDialog& dialog) : dialog_(dialog) {}
        bool Attach(HWND control) { return Subclass::Attach(control); }

    protected:
        LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

    private:
        AddComputerDialog& dialog_;
    };

    void InsertColumns() const;
    void OfferDomains();
    void Add();
    void GetComputerList();
    // Fills the browse list from the browse of `domain`; a failure is shown
    // and leaves the rows as they were.
    void BrowseComputers(const std::string& domain);
    // Keeps an edit (or the combo box's edit) within 32 bytes of CP932.
    void LimitBytes(int id) const;

    ComputerTree& tree_;
    platform::Platform network_;
    bool showOnlyServer_;
    bool dontShowComList_;
    BrowseList list_;
};

}  // namespace quorvin::computers
