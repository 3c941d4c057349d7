// Entry point of quorvin.exe: the application object's whole life.

#include "gui/quorvin_app.h"
#include "services/win32/win32_platform.h"
#include "ui/message_box.h"

#include <exception>
#include <new>
#include <shellapi.h>

namespace {

int RunApplication() {
    // A run's worker never waits on a "no disk" box (docs/windows.md).
    quorvin::win32::FailCriticalErrorsQuietly();
    std::vector<std::wstring> arguments;
    int count = 0;
    if (LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count)) {
        for (int i = 1; i < count; ++i) arguments.emplace_back(argv[i]);
        // The copy is made; a block the system will not take back is lost to this process only.
        static_cast<void>(LocalFree(argv));
    }
    quorvin::app::QuorvinApp application;
    return application.Run(arguments);
}

// An exception that reaches the entry point ends the program with a message
// and exit code 1, never with the runtime's abort.
int Stopped(const std::string& what) {
    quorvin::ui::ShowMessage(nullptr, {"予期しないｴﾗｰのため終了します。(" + what + ")", "ｴﾗｰ",
                                       quorvin::app::MessageIcon::Error, quorvin::app::MessageButtons::Ok});
    return 1;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    try {
        return RunApplication();
    } catch (const std::bad_alloc&) {
        return Stopped("ﾒﾓﾘ不足");
    } catch (const std::exception& e) {
        return Stopped(e.what());
    } catch (...) {
        return Stopped("?");
    }
}
