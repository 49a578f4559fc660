#include "app/MainWindow.h"

#include <shellapi.h>

#include <string>

#include "app/AboutDialog.h"
#include "app/AppState.h"
#include "app/Fullscreen.h"
#include "app/LateBound.h"
#include "app/Layout.h"
#include "app/StartupTrace.h"
#include "axhost/AXHost.h"
#include "axhost/DropTarget.h"
#include "movie/ApplyMetadata.h"
#include "movie/FetchUrl.h"
#include "movie/LoadDialog.h"
#include "movie/ShockwaveFlash.h"
#include "portal.h"
#include "res/resource.h"

const char externalCallTestRequest[] =
    "<invoke name=\"foo1\" returntype=\"xml\"><arguments><string>Hello</string></arguments></invoke>";

namespace {

void layoutHostWindow(HWND window, HWND host)
{
    RECT client;
    GetClientRect(window, &client);
    RECT hostClient;
    GetClientRect(host, &hostClient);
    HostPlacement place = layoutHost(appState.resizeToWindow, appState.aspectRatio, client.right, client.bottom,
                                     hostClient.right, hostClient.bottom);
    SetWindowPos(host, HWND_TOP, place.x, place.y, place.width, place.height, SWP_SHOWWINDOW);
}

void loadPortalEntry(HWND window, HINSTANCE instance, HWND host)
{
    char base[200] = "";
    LoadStringA(instance, IDS_METADATA_BASE_URL, base, sizeof base);
    std::string url = base + appState.portalId;
    if (!appState.portalIdSuffix.empty())
        url += "_" + appState.portalIdSuffix;
    traceMark("dialog");
    applyMetadata(window, host, fetchUrl(url.c_str()));
    traceMark("movie");
}

// The outer size comes from the current client size: the template's, or the
// stage size that the metadata set.
void centreOnScreen(HWND window)
{
    RECT frame;
    GetClientRect(window, &frame);
    AdjustWindowRect(&frame, static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)), TRUE);
    int width = frame.right - frame.left;
    int height = frame.bottom - frame.top;
    int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    SetWindowPos(window, HWND_TOP, screenWidth / 2 - width / 2, screenHeight / 2 - height / 2, width, height,
                 SWP_SHOWWINDOW);
}

void initialize(HWND window, HINSTANCE instance, HWND host)
{
    appState.mainWindow = window;
    appState.mainMenu = GetMenu(window);

    HANDLE icon = loadWindowIcon();
    if (icon)
        SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));

    appState.baseTitle = new wchar_t[100]();
    GetWindowTextW(window, appState.baseTitle, 100);

    appState.dropTarget = new DropTarget(openDroppedFile);
    RegisterDragDrop(window, appState.dropTarget);

    traceMark("dialog");
    SendMessageW(host, AXM_ACTIVATE, 1, 0);
    traceMark("control");
    SendMessageW(window, WM_SIZE, 0, 0);

    if (!appState.portalId.empty())
        loadPortalEntry(window, instance, host);

    centreOnScreen(window);
    traceMark("window");
}

void callExternalInterfaceTest(HWND host)
{
    IShockwaveFlash* flash = nullptr;
    HRESULT hr = static_cast<HRESULT>(SendMessageW(host, AXM_QUERYINTERFACE,
                                                   reinterpret_cast<WPARAM>(&IID_IShockwaveFlash),
                                                   reinterpret_cast<LPARAM>(&flash)));
    if (flash && SUCCEEDED(hr)) {
        try {
            flash->CallFunction(externalCallTestRequest);
        } catch (...) {
            // A movie without the callback, or anything else, is not the user's concern.
        }
    }
    if (flash)
        flash->Release();
}

void toggleMenuMark(bool* flag, UINT item)
{
    *flag = !*flag;
    CheckMenuItem(appState.mainMenu, item, MF_BYCOMMAND | (*flag ? MF_CHECKED : MF_UNCHECKED));
}

void command(HWND window, HINSTANCE instance, HWND host, WORD id)
{
    switch (id) {
    case IDOK:
        SendMessageW(host, WM_KEYDOWN, VK_RETURN, 0);
        break;
    case IDCANCEL:
        SendMessageW(host, WM_KEYDOWN, VK_ESCAPE, 0);
        break;
    case IDM_LOAD:
        DialogBoxParamW(instance, L"DIALOG_LOAD", window, LoadDlgProc, 0);
        break;
    case IDM_EXIT:
        DestroyWindow(window);
        break;
    case IDM_FULLSCREEN:
        EnterFullscreen();
        break;
    case IDM_RESIZE_TO_WINDOW:
        // Takes effect at the next size change.
        toggleMenuMark(&appState.resizeToWindow, IDM_RESIZE_TO_WINDOW);
        break;
    case IDM_MARK_105:
        toggleMenuMark(&appState.menu105Mark, IDM_MARK_105);
        break;
    case IDM_SUPPORT:
        lateShellExecuteW(nullptr, nullptr, QP_SUPPORTER_URL, nullptr, nullptr, SW_SHOW);
        break;
    case IDM_ABOUT:
        DialogBoxParamW(instance, L"DIALOG_ABOUT", window, AboutDlgProc, 0);
        break;
    case IDM_EXTERNAL_CALL_TEST:
        callExternalInterfaceTest(host);
        break;
    }
}

// Escape held while any message arrives ends fullscreen mode.
void applyEscapeRule()
{
    if ((GetKeyState(VK_ESCAPE) & 0x8000) && appState.fullscreen)
        LeaveFullscreen();
}

} // namespace

HANDLE loadWindowIcon()
{
    HANDLE icon = LoadImageW(nullptr, L"regular.ico", IMAGE_ICON, 0, 0, LR_LOADFROMFILE);
    if (icon)
        return icon;
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (length == 0)
            return nullptr;
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        if (path.size() >= 32768)
            return nullptr;
        path.resize(path.size() * 2);
    }
    size_t folderEnd = path.find_last_of(L'\\');
    if (folderEnd == std::wstring::npos)
        return nullptr;
    path.replace(folderEnd + 1, std::wstring::npos, L"regular.ico");
    return LoadImageW(nullptr, path.c_str(), IMAGE_ICON, 0, 0, LR_LOADFROMFILE);
}

INT_PTR CALLBACK MainDlgProc(HWND window, UINT message, WPARAM wParam, LPARAM)
{
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window, GWLP_HINSTANCE));
    HWND host = GetDlgItem(window, IDC_AXHOST);

    switch (message) {
    case WM_SIZE:
        layoutHostWindow(window, host);
        break;
    case WM_CLOSE:
        EndDialog(window, 0);
        // The registration must not outlive the object it names.
        RevokeDragDrop(window);
        delete appState.dropTarget;
        appState.dropTarget = nullptr;
        break;
    case WM_INITDIALOG:
        initialize(window, instance, host);
        break;
    case WM_COMMAND:
        command(window, instance, host, LOWORD(wParam));
        break;
    case WM_CTLCOLORDLG:
        return reinterpret_cast<INT_PTR>(GetStockObject(BLACK_BRUSH));
    }
    applyEscapeRule();
    return FALSE;
}
