#pragma once
// The add-computer dialog "コンピュータの追加" (resource 132): the user types
// a computer name or IP address and adds it with "追加"; the dialog stays
// open for the next one until "閉じる". Windows build only.

#include "ui/dialog.h"

namespace quorvin::computers {

class ComputerTree;

class AddComputerDialog : public ui::Dialog {
public:
    explicit AddComputerDialog(ComputerTree& tree) : tree_(tree) {}

    // Runs the dialog owned by `owner`; its effect is the entries it added.
    void Run(HWND owner);

protected:
    bool OnInit() override;
    void OnCommand(int id, int code) override;

private:
    void Add();
    // Keeps the name edit within 32 bytes of CP932.
    void LimitName();

    ComputerTree& tree_;
};

}  // namespace quorvin::computers
