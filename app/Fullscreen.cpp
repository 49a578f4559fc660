#include "app/Fullscreen.h"

#include <windows.h>

#include "app/AppState.h"

void EnterFullscreen()
{
    // The command can still come from outside while the menu is gone; a
    // second entry would save the fullscreen window as the one to go back to.
    if (appState.fullscreen)
        return;

    HWND window = appState.mainWindow;
    int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    int screenHeight = GetSystemMetrics(SM_CYSCREEN);

    SetMenu(window, nullptr);

    // The current mode at the primary screen's size: mode 0 of the device's
    // list could carry a lower colour depth or refresh rate.
    DEVMODEW mode;
    ZeroMemory(&mode, sizeof mode);
    mode.dmSize = sizeof mode;
    mode.dmDriverExtra = 0;
    EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &mode);
    mode.dmPelsWidth = screenWidth;
    mode.dmPelsHeight = screenHeight;

    appState.savedExStyle = GetWindowLongW(window, GWL_EXSTYLE);
    appState.savedStyle = GetWindowLongW(window, GWL_STYLE);
    GetWindowRect(window, &appState.savedWindowRect);
    appState.savedPlacement.length = sizeof appState.savedPlacement;
    GetWindowPlacement(window, &appState.savedPlacement);

    SetWindowLongW(window, GWL_EXSTYLE, WS_EX_APPWINDOW | WS_EX_TOPMOST);
    SetWindowLongW(window, GWL_STYLE, static_cast<LONG>(WS_POPUP | WS_VISIBLE));
    SetWindowPos(window, HWND_TOPMOST, 0, 0, screenWidth, screenHeight, SWP_SHOWWINDOW);
    ChangeDisplaySettingsW(&mode, CDS_FULLSCREEN);
    ShowWindow(window, SW_SHOWMAXIMIZED);

    // Last: the messages sent above must not find fullscreen mode on yet.
    appState.fullscreen = true;
}

void LeaveFullscreen()
{
    // First: the messages sent below must not leave a second time.
    appState.fullscreen = false;

    HWND window = appState.mainWindow;
    // The temporary mode of EnterFullscreen goes back to the registry's.
    ChangeDisplaySettingsW(nullptr, 0);

    SetWindowLongW(window, GWL_EXSTYLE, appState.savedExStyle);
    SetWindowLongW(window, GWL_STYLE, appState.savedStyle);
    const RECT& saved = appState.savedWindowRect;
    SetWindowPos(window, HWND_NOTOPMOST, saved.left, saved.top, saved.right - saved.left, saved.bottom - saved.top,
                 SWP_SHOWWINDOW);
    ShowWindow(window, SW_SHOWDEFAULT);
    SetMenu(window, appState.mainMenu);
    // A window maximised before would otherwise come back unmaximised, at
    // the screen's size, with nothing smaller to restore to.
    if (appState.savedStyle & WS_MAXIMIZE)
        SetWindowPlacement(window, &appState.savedPlacement);
    SendMessageW(window, WM_SIZE, 0, 0);
}
