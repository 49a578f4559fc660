#pragma once

#include <string>

#include <windows.h>

INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// One short line for a person reporting a problem: the HTTP library with its
// TLS backend, and whether the installed Shockwave Flash control or the
// player's stand-in plays the movies.
std::wstring describeEnvironment();
