// System functions of DLLs that start-up has no use for: the DLL is loaded
// from the system folder when one of them is first called, so the common
// dialogs and the shell cost nothing until Browse, a drop or the supporter
// page needs them. Each answers as its system function does when that
// function fails, should the DLL or the function be missing.
#pragma once

#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>

BOOL lateGetOpenFileNameW(OPENFILENAMEW* request);
HINSTANCE lateShellExecuteW(HWND window, const wchar_t* operation, const wchar_t* file, const wchar_t* parameters,
                            const wchar_t* folder, int show);
UINT lateDragQueryFileW(HDROP drop, UINT index, wchar_t* file, UINT size);
