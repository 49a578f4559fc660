// The one road by which a movie reaches the Flash control.
#pragma once

#include <windows.h>

// Hands the window mode "direct", the Flash variables (ANSI code page) and
// the movie to the control in the host window, connects the event sink, fits
// the main window around the host window, and resets the title and the
// aspect ratio. False when the control's automation interface is missing or
// refuses the window mode or the Flash variables; nothing is left half-done
// beyond what the control accepted. True does not mean the movie plays.
bool loadMovie(HWND mainWindow, HWND hostWindow, const wchar_t* movie, const char* flashVars);
