#include <windows.h>
#include <ole2.h>

#include "app/AboutDialog.h"
#include "app/AppState.h"
#include "app/MainWindow.h"
#include "app/Startup.h"
#include "app/StartupTrace.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int)
{
    traceMark("loader");
    ParseCommandLine(commandLine);
    OleInitialize(nullptr);
    traceMark("ole");
    registerAXClass();
    appState.debugText = describeEnvironment();
    DialogBoxParamW(instance, L"DIALOG_MAIN", nullptr, MainDlgProc, 0);
    return 0;
}
