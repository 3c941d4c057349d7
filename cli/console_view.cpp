#include "cli/console_view.h"

#include <string_view>

#include "cli/terminal.h"

namespace quorvin::cli {

bool ConsoleView::FirstComputer(std::string& name) {
    step_();
    cursor_ = 0;
    return Take(name);
}

bool ConsoleView::NextComputer(std::string& name) {
    step_();
    ++cursor_;
    return Take(name);
}

bool ConsoleView::Take(std::string& name) {
    if (cursor_ >= computers_.size()) return false;
    name = computers_[cursor_];
    return true;
}

void ConsoleView::SetProgressPosition(int position) {
    step_();
    position_ = position;
    Draw();
}

void ConsoleView::SetProgressText(const std::string& text) {
    step_();
    // A row sets the text: redraw only every 100 rows, the terminal is slow.
    // The part before the count names the computer and the log.
    const auto head = [](std::string_view t) { return t.substr(0, t.find(" ﾄｰﾀﾙ")); };
    const bool changedComputerOrLog = head(text_) != head(text);
    text_.assign(text);
    if (changedComputerOrLog || ++textsSinceDraw_ >= 100) Draw();
}

void ConsoleView::EndProgress() {
    step_();
    if (!progress_) return;
    // The run's positions leave room for the step after the last log: a
    // run that went to its end is all done.
    if (!StopWasRequested()) position_ = 1000;
    Draw();
    std::fputs("\n", stderr);
}

void ConsoleView::Draw() {
    textsSinceDraw_ = 0;
    if (!progress_) return;
    constexpr int kWidth = 20;
    const int filled = position_ * kWidth / 1000;
    std::string bar = "\r[" + std::string(static_cast<std::size_t>(filled), '#') +
                      std::string(static_cast<std::size_t>(kWidth - filled), '-') + "] ";
    WriteText(stderr, bar + text_ + "\x1b[K");
    std::fflush(stderr);
}

}  // namespace quorvin::cli
