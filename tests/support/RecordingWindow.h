// A plain window for in-process tests that writes the messages a window
// around an AX window receives into a ControlScript's log, in order with the
// control's calls:
//   "WM_NOTIFY(<from>,<id>,<code>)"       <from> as named with script.nameWindow
//   "WM_COMMAND(<id>,<code>,<lParam>)"
//   "WM_KEYDOWN(<key>,<lParam>)"
//   "event(<dispid>)"                      the AXEventCall of eventMessage (see AXM_SETEVENTNOTIFY)
// Top-level and hidden unless a parent is given or show() is called.
#pragma once

#include <windows.h>

#include <vector>

#include "axhost/AXHost.h"
#include "movie/FlashClsid.h"
#include "support/RecordingControl.h"

class RecordingWindow {
public:
    RecordingWindow(ControlScript& script, const std::string& name, HWND parent = nullptr, int width = 400,
                    int height = 300);
    ~RecordingWindow();
    RecordingWindow(const RecordingWindow&) = delete;
    RecordingWindow& operator=(const RecordingWindow&) = delete;

    HWND handle() const { return window_; }
    void show();

    LRESULT commandResult = 0; // answered to WM_COMMAND
    UINT eventMessage = 0;     // the message number handed to AXM_SETEVENTNOTIFY
    std::vector<AXEventCall> events; // copies of the records received
    // Written into the result variant of each event record, when set.
    bool answerEvents = false;

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    ControlScript& script_;
    HWND window_ = nullptr;
};

// Pumps the thread's queue until it is empty (posted messages run).
void pumpMessages();

// An AX window as DIALOG_MAIN makes it (WS_CHILD | WS_VISIBLE, id 888), named
// "ax" in the script's log; null when its creation failed. The AX class must
// be registered (registerAXClass).
HWND createAXWindow(ControlScript& script, HWND parent,
                    const wchar_t* text = QP_FLASH_CLSID_WTEXT, int width = 300,
                    int height = 200);
// The window's host record (AXM_GETHOST), or null.
AXHost* axHost(HWND ax);
