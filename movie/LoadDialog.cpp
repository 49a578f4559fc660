#include "movie/LoadDialog.h"

#include <commdlg.h>

#include <vector>

#include "app/AppState.h"
#include "app/LateBound.h"
#include "movie/MovieLoader.h"
#include "res/resource.h"

INT_PTR CALLBACK LoadDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        if (lParam)
            SetDlgItemTextW(dialog, IDC_LOAD_PATH, reinterpret_cast<const wchar_t*>(lParam));
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_LOAD_BROWSE:
            // A cancelled browse empties the box too.
            SetDlgItemTextW(dialog, IDC_LOAD_PATH, browseForMovie().c_str());
            return FALSE;
        case IDOK: {
            HWND host = GetDlgItem(appState.mainWindow, IDC_AXHOST);
            std::vector<wchar_t> path(1000, L'\0');
            GetDlgItemTextW(dialog, IDC_LOAD_PATH, path.data(), static_cast<int>(path.size()));
            loadMovie(appState.mainWindow, host, path.data(), "");
            EndDialog(dialog, 1);
            return TRUE;
        }
        case IDCANCEL:
            EndDialog(dialog, 2);
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}

std::wstring browseForMovie()
{
    wchar_t file[MAX_PATH] = L"";
    OPENFILENAMEW request;
    ZeroMemory(&request, sizeof request);
    request.lStructSize = sizeof request;
    request.hwndOwner = appState.mainWindow;
    request.lpstrFilter = L"Shockwave Flash\0*.SWF\0";
    request.nFilterIndex = 1;
    request.lpstrFile = file;
    request.nMaxFile = MAX_PATH;
    request.Flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
    return lateGetOpenFileNameW(&request) ? std::wstring(file) : std::wstring();
}
