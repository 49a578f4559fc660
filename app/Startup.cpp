#include "app/Startup.h"

#include <windows.h>

#include "axhost/AXHost.h"

void registerAXClass()
{
    WNDCLASSEXW windowClass;
    ZeroMemory(&windowClass, sizeof windowClass);
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_DBLCLKS | CS_PARENTDC | CS_GLOBALCLASS;
    windowClass.lpfnWndProc = AXWindowProc;
    windowClass.cbWndExtra = 4;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"AX";
    RegisterClassExW(&windowClass);
}
