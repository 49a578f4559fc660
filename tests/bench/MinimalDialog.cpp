// The smallest Win32 dialog program, against which scripts/bench-startup
// measures the player's start-up and memory.
#include <windows.h>

#include "app/StartupTrace.h"

namespace {

INT_PTR CALLBACK minimalProc(HWND window, UINT message, WPARAM, LPARAM)
{
    if (message == WM_INITDIALOG)
        traceMark("dialog");
    if (message == WM_CLOSE) {
        EndDialog(window, 0);
        return TRUE;
    }
    return FALSE;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    traceMark("loader");
    DialogBoxParamW(instance, L"MINIMAL_DIALOG", nullptr, minimalProc, 0);
    return 0;
}
