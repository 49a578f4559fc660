// The Load SWF dialog: any local path or URL, typed or browsed, goes to the
// control as it stands.
#pragma once

#include <windows.h>

#include <string>

// The creation parameter is the path to prefill (a NUL-terminated wide
// string), or null.
INT_PTR CALLBACK LoadDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The chosen file's full path, or empty when the user cancels.
std::wstring browseForMovie();
