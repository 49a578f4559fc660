// The one process-wide state record. Only the UI thread touches it.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include <string>

#include "axhost/FlashNotify.h"

class DropTarget;

struct AppState {
    // Launch fields, written once by ParseCommandLine before any window exists.
    std::string portalId;
    std::string portalIdSuffix;

    HWND mainWindow = nullptr;
    HMENU mainMenu = nullptr;
    wchar_t* baseTitle = nullptr; // 100 units, the template's title; never freed
    DropTarget* dropTarget = nullptr; // owned; deleted when the main window closes

    bool resizeToWindow = true;
    float aspectRatio = 0.0f; // stage width / height; 0 when no ratio is known
    bool menu105Mark = false;

    bool fullscreen = false;
    RECT savedWindowRect = {0, 0, 0, 0};
    LONG savedStyle = 0;
    LONG savedExStyle = 0;
    // Also where the window restores to, which maximising it over the
    // fullscreen state would otherwise overwrite.
    WINDOWPLACEMENT savedPlacement = {};

    FlashNotify eventSink;
    IConnectionPointContainer* eventConnectionContainer = nullptr;
    IConnectionPoint* eventConnectionPoint = nullptr;

    std::wstring debugText;
};

extern AppState appState;

// Splits the launch argument into the launch fields, echoing each field on a
// line of its own to standard output.
void ParseCommandLine(const char* commandLine);
