#include <gtest/gtest.h>

#include "driver.h"
#include "core/cp932.h"

using namespace quorvin::gui_test;

TEST(Startup, MainWindowShowsTitleAndClosesWithExitCodeZero) {
    Program program;
    ASSERT_TRUE(program.Started());
    HWND frame = program.WaitForMainWindow();
    ASSERT_NE(frame, nullptr);
    EXPECT_TRUE(WaitForWindowText(frame, Wide("クォーヴィン for Windows NT Ver 1.2")))
        << "title is: " << quorvin::text::FromUtf16(std::u16string(WindowText(frame).begin(), WindowText(frame).end()));
    PostMessageW(frame, WM_CLOSE, 0, 0);
    EXPECT_EQ(program.WaitForExit(), 0);
}
