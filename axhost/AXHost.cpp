#include "axhost/AXHost.h"

LRESULT CALLBACK AXWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(window, message, wParam, lParam);
}
