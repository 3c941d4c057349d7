// The program as shipped: the test command runs this test with the 32-bit
// release executable (QUORVIN_PROGRAM) under Wine set to Windows XP; in the
// windows test build it drives the build's own executable.

#include "run_support.h"

#include <cstdlib>

#include "engine/log_record.h"
#include "services/win32/win32_platform.h"

using namespace quorvin::gui_test;

namespace {

TEST(ReleaseSmoke, StartsCollectsFromTheDemoNetworkAndExits) {
    settings::UseKey demo(settings::kDemoKey);
    ASSERT_TRUE(FreshSettings("DC01;FS01;PC01;NT4SV;"));
    App app(L"/network \"" + DemoNetworkFolder() + L"\"");
    ASSERT_READY(app);
    EXPECT_TRUE(WaitForWindowText(app.frame, Wide("クォーヴィン for Windows NT Ver 1.2")));

    const std::string report = CompleteRun(app);
    EXPECT_EQ(report.rfind("確認:ｲﾍﾞﾝﾄﾛｸﾞの取得を開始します。\r\n", 0), 0u) << report;
    EXPECT_TRUE(Contains(report, "ﾄｰﾀﾙ：")) << report;
    EXPECT_GT(app.RowCount(), 10);

    PostMessageW(app.frame, WM_COMMAND, ID_APP_EXIT, 0);
    HWND question = app.WaitForDialog("確認");
    ASSERT_NE(question, nullptr);
    app.ClickButton(question, IDNO);
    EXPECT_EQ(app.Process().WaitForExit(), 0);
}

// The event log service of this machine through the real API, as the
// 32-bit program reads it: opened, read to its end in reads the service
// accepts (at most 0x7FFFF bytes each), every record whole, and closed.
TEST(ReleaseSmoke, ReadsThisMachinesApplicationLogThroughTheEventLogService) {
    quorvin::win32::Win32Platform platform;
    std::unique_ptr<quorvin::platform::EventLog> log;
    ASSERT_EQ(platform.Get().eventLog.Open("", "Application", log), 0u);
    ASSERT_NE(log, nullptr);
    std::vector<std::uint8_t> buffer(320000);
    quorvin::platform::Error result = 0;
    int records = 0;
    for (int reads = 0; reads < 100000; ++reads) {
        std::uint32_t read = 0, needed = 0;
        result = log->Read(buffer.data(), static_cast<std::uint32_t>(buffer.size()), read, needed);
        if (result == 122 && needed > buffer.size() && needed <= 0x7FFFF) {
            buffer.resize(needed);
            continue;
        }
        if (result != 0) break;
        for (std::size_t offset = 0; offset < read;) {
            quorvin::engine::LogRecord record;
            ASSERT_TRUE(quorvin::engine::ParseLogRecord(buffer.data() + offset, read - offset, record)) << offset;
            offset += record.length;
            ++records;
        }
    }
    EXPECT_EQ(result, 38u) << "after " << records << " records";
    log.reset();
}

}  // namespace
