#include "app/MainWindow.h"

#include "app/AppState.h"
#include "res/resource.h"

INT_PTR CALLBACK MainDlgProc(HWND window, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        appState.mainWindow = window;
        appState.mainMenu = GetMenu(window);
        break;
    case WM_CLOSE:
        EndDialog(window, 0);
        break;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDM_EXIT:
            DestroyWindow(window);
            break;
        }
        break;
    }
    return FALSE;
}
