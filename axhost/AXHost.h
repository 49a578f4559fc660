// The AX window class: a self-contained ActiveX control container that the
// rest of the program talks to through window messages.
#pragma once

#include <windows.h>

enum AXMessage : UINT {
    AXM_QUERYINTERFACE = WM_USER + 1,
    AXM_ACTIVATE = WM_USER + 2,
    AXM_GETHOST = WM_USER + 3,
    AXM_ADVISE = WM_USER + 4,
    AXM_UNADVISE = WM_USER + 5,
    AXM_DATAADVISE = WM_USER + 6,
    // WM_USER + 7 is not ours: it goes to DefWindowProcW.
    AXM_SETCOMMANDTARGET = WM_USER + 8,
    AXM_SETEVENTNOTIFY = WM_USER + 9,
    AXM_SETSERVICEPROVIDER = WM_USER + 10,
    AXM_SETEVENTCALLBACK = WM_USER + 11,
    AXM_ATTACH = WM_USER + 12,
};

LRESULT CALLBACK AXWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
