// Entry point of quorvin.exe: the application object's whole life.

#include "gui/quorvin_app.h"

#include <shellapi.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
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
