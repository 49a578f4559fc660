// A portal entry's metadata applied to the player: stage size, movie, title
// and aspect ratio.
#pragma once

#include <windows.h>

#include <string>

// Places the host window at the stage size (before the load, so even a
// failed load leaves it there), loads the movie with its Flash variables and,
// when the loader accepts it, titles the main window "<title> - <base title>"
// and keeps the stage's aspect ratio. A response without a usable stage size
// leaves the host its size and keeps no ratio. The Flash variables also go to
// the debugger output. True when the loader accepted the movie.
bool applyMetadata(HWND mainWindow, HWND hostWindow, std::string response);
