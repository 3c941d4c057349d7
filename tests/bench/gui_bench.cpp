// The window on a large run, driven through its real dialogs as a user
// would (tests/gui's driver): the seconds from "開始" to the result dialog,
// then the seconds of a header click on each column over all the rows.
// scripts/bench-window runs it on the release program beside the console
// collector on the same network and prints the ratio.
//
//   gui_bench NETWORK_FOLDER COMPUTER
//   (QUORVIN_PROGRAM names the quorvin.exe to drive)

#include "gui/driver.h"
#include "gui/resources/resource.h"
#include "core/cp932.h"

#include <chrono>
#include <cstdio>

using namespace quorvin::gui_test;

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

std::string Utf8(const std::string& cp932) { return quorvin::text::Cp932ToUtf8(cp932); }

// A click on a column's header item: its middle, or near its left end when
// the middle is beyond the list's right edge (the message column); then the
// wait until the program has handled it.
void ClickHeaderStart(App& app, int column) {
    HWND header = reinterpret_cast<HWND>(SendMessageW(app.list, LVM_GETHEADER, 0, 0));
    RemoteMemory memory(app.Process().ProcessHandle(), sizeof(RECT));
    if (!SendMessageW(header, HDM_GETITEMRECT, column, reinterpret_cast<LPARAM>(memory.Address()))) return;
    RECT rect{};
    memory.Read(0, &rect, sizeof rect);
    RECT client{};
    GetClientRect(header, &client);
    const int middle = (rect.left + rect.right) / 2;
    const int x = middle < client.right ? middle : rect.left + 20;
    const LPARAM where = MAKELPARAM(x, (rect.top + rect.bottom) / 2);
    PostMessageW(header, WM_LBUTTONDOWN, MK_LBUTTON, where);
    PostMessageW(header, WM_LBUTTONUP, 0, where);
    app.Settle();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: gui_bench NETWORK_FOLDER COMPUTER\n");
        return 2;
    }
    const std::string computer = Narrow(argv[2]);
    if (!settings::Delete() || !settings::SetString("ComputerListToSave", computer + ";")) {
        std::fprintf(stderr, "gui_bench: cannot write the settings\n");
        return 1;
    }
    App app(L"/network \"" + std::wstring(argv[1]) + L"\"");
    std::string why;
    if (!app.Ready(why)) {
        std::fprintf(stderr, "gui_bench: %s\n", why.c_str());
        return 1;
    }
    PostMessageW(app.frame, WM_COMMAND, MAKEWPARAM(ID_START_COLLECTION, 0), 0);
    HWND start = app.WaitForDialog("イベントログﾞ収集の開始");
    if (!start) {
        std::fprintf(stderr, "gui_bench: no start dialog\n");
        return 1;
    }
    const Clock::time_point begin = Clock::now();
    app.ClickButton(start, IDOK);
    HWND result = app.WaitForDialog("結果", 3600 * 1000);
    const double run = Since(begin);
    if (!result) {
        std::fprintf(stderr, "gui_bench: the run did not end within an hour\n");
        return 1;
    }
    std::printf("window run: %d rows in %.2f s (start to result dialog, the run's final 1 s pause included)\n",
                app.RowCount(), run);
    std::fflush(stdout);
    app.ClickButton(result, IDOK);
    app.WaitForNoDialog();

    // Each click waits until the program has handled it (App::Settle, about 30 ms of it waiting).
    for (int column = 0; column < 8; ++column) {
        const Clock::time_point clicked = Clock::now();
        ClickHeaderStart(app, column);
        const double seconds = Since(clicked);
        // The first row's text shows the click sorted the column.
        std::printf("sort by column %d (%s): %.3f s, first row %s\n", column, Utf8(app.ColumnTitle(column)).c_str(),
                    seconds, Utf8(app.Cell(0, column).substr(0, 40)).c_str());
        std::fflush(stdout);
    }
    app.Close();
    return 0;
}
