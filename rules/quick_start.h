#pragma once
// The quick-start wizard: welcome page, step 1, the add-computer dialog,
// step 2, the start command. The pages and dialogs are the host's; the
// order they come in is here.

#include <cstdint>

#include "core/user_message.h"

namespace quorvin::app {

enum class QuickStartPage { Welcome, StepOne, StepTwo };

// How a page was closed. A page that could not be shown counts as Stop.
enum class PageResult { Next = 1, Stop = 2, Back = 3 };

class QuickStartHost {
public:
    virtual ~QuickStartHost() = default;
    // Shows a page modally and returns the button that closed it.
    virtual PageResult ShowPage(QuickStartPage page) = 0;
    // The add-computer dialog, modally; its result is not looked at.
    virtual void AddComputers() = 0;
    // Items of the computer tree, the root included.
    virtual std::size_t TreeItemCount() = 0;
    // A message box owned by the main window.
    virtual void ShowMessage(const UserMessage& message) = 0;
    // The start command, as if the user had chosen it.
    virtual void StartCollection() = 0;
};

// "ｲﾍﾞﾝﾄﾛｸﾞを取得するｺﾝﾋﾟｭｰﾀを追加してください。説明/ｸｲｯｸｽﾀｰﾄを中止します。"
UserMessage NoComputerMessage();

// Runs the wizard to its end.
void RunQuickStart(QuickStartHost& host);

}  // namespace quorvin::app
