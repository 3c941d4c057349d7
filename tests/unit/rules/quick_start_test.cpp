#include "rules/quick_start.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>

using namespace quorvin::app;

namespace {

// Answers the pages from a script and records every step as one letter:
// W S T (pages), A (add dialog), M (message), C (start command).
class ScriptedHost : public QuickStartHost {
public:
    ScriptedHost(std::deque<PageResult> answers, std::size_t items) : answers_(std::move(answers)), items_(items) {}
    // Computers the add dialog adds on each visit, in order (none when exhausted).
    std::deque<std::size_t> added;
    std::string trace;

    PageResult ShowPage(QuickStartPage page) override {
        trace += page == QuickStartPage::Welcome ? 'W' : page == QuickStartPage::StepOne ? 'S' : 'T';
        if (answers_.empty()) ADD_FAILURE() << "no answer left after " << trace;
        const PageResult answer = answers_.empty() ? PageResult::Stop : answers_.front();
        if (!answers_.empty()) answers_.pop_front();
        return answer;
    }
    void AddComputers() override {
        trace += 'A';
        if (!added.empty()) {
            items_ += added.front();
            added.pop_front();
        }
    }
    std::size_t TreeItemCount() override { return items_; }
    void ShowMessage(const UserMessage& message) override {
        trace += 'M';
        EXPECT_EQ(message, NoComputerMessage());
    }
    void StartCollection() override { trace += 'C'; }
    bool AllAnswered() const { return answers_.empty(); }

private:
    std::deque<PageResult> answers_;
    std::size_t items_;
};

constexpr auto N = PageResult::Next;
constexpr auto S = PageResult::Stop;
constexpr auto B = PageResult::Back;

std::string Wizard(std::deque<PageResult> answers, std::size_t items, std::deque<std::size_t> added = {}) {
    ScriptedHost host(std::move(answers), items);
    host.added = std::move(added);
    RunQuickStart(host);
    EXPECT_TRUE(host.AllAnswered()) << host.trace;
    return host.trace;
}

}  // namespace

TEST(QuickStart, StopEndsTheWizardOnEveryPage) {
    EXPECT_EQ(Wizard({S}, 1), "W");
    EXPECT_EQ(Wizard({N, S}, 1), "WS");
    EXPECT_EQ(Wizard({N, N, S}, 3), "WSAT");
}

TEST(QuickStart, BackOnStepOneReturnsToTheWelcomePage) {
    EXPECT_EQ(Wizard({N, B, S}, 1), "WSW");
    EXPECT_EQ(Wizard({N, B, N, B, N, B, S}, 1), "WSWSWSW");
    EXPECT_EQ(Wizard({N, B, N, N, N}, 2), "WSWSATC");
}

TEST(QuickStart, AnEmptyListAfterTheAddDialogStopsWithTheMessage) {
    EXPECT_EQ(Wizard({N, N}, 1), "WSAM");
    // Computers already in the list are enough, even when none was added now.
    EXPECT_EQ(Wizard({N, N, N}, 2), "WSATC");
    EXPECT_EQ(Wizard({N, N, N}, 1, {1}), "WSATC");
}

TEST(QuickStart, BackOnStepTwoOpensTheAddDialogAgain) {
    EXPECT_EQ(Wizard({N, N, B, B, N}, 2), "WSATATATC");
    EXPECT_EQ(Wizard({N, N, B, S}, 1, {1}), "WSATAT");
}
