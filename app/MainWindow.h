// The main window: a modal dialog from DIALOG_MAIN whose loop is the
// program's main loop.
#pragma once

#include <windows.h>

INT_PTR CALLBACK MainDlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The request that command 110 sends to the movie through ExternalInterface.
extern const char externalCallTestRequest[];

// The window icon: the file "regular.ico" in the working directory, or else
// the one beside the program (a link opened from a browser starts the player
// in the browser's folder). Null when neither loads.
HANDLE loadWindowIcon();
