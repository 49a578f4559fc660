// The real QuibbletonPlayer.exe started with an exact command line inside the
// local portal of player_servers.py, and watched from outside the way a user
// sees it: its windows, the requests the servers got, the calls its control
// received (the stand-in's call log) and the screen.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "support/ProcessDriver.h"
#include "wine/SwfTestHelpers.h"

// Polls every 10 ms until done() or the time-out; answers done().
bool waitUntil(const std::function<bool()>& done, DWORD timeoutMs = 10000);

class PlayerRun {
public:
    // Starts the player in its own folder with the arguments exactly as
    // given, its control logging each IShockwaveFlash call to a file of this run.
    explicit PlayerRun(const std::wstring& arguments);
    ~PlayerRun();
    PlayerRun(const PlayerRun&) = delete;
    PlayerRun& operator=(const PlayerRun&) = delete;

    bool started() const { return started_; }

    // The main window once it is visible, or null after the time-out.
    HWND waitForWindow(DWORD timeoutMs = 20000);
    HWND window() const { return window_; }
    HWND host() const;  // the AX window, control 888
    HWND stage() const; // the control's own window inside the host, or null
    std::wstring stageText() const;
    // Waits for the control to show a movie; its text then starts "Playing:".
    bool waitUntilPlaying(DWORD timeoutMs = 10000) const;

    // The call log so far, one entry per call ("put_WMode direct").
    std::vector<std::string> calls() const;

    // File > Exit sent from outside; the exit code once the process has
    // ended, or STILL_ACTIVE when it did not end.
    DWORD exitThroughMenu(DWORD timeoutMs = 10000);

    DrivenProcess process;

private:
    bool started_ = false;
    std::wstring callLog_;
    HWND window_ = nullptr;
};

// "GET <target>" lines of the portal for the entry, as its request log shows them.
std::string entryRequest(const std::string& entry);
std::vector<std::string> portalRequests();

// The main window's client area on the screen, and a child's rectangle in
// its parent's client coordinates.
RECT clientOnScreen(HWND window);
RECT childRect(HWND parent, HWND child);

// Where the centring puts a window of this outer size on the primary screen.
POINT centredOrigin(const RECT& windowRect);

// Writes a picture as a 32-bit BMP under build/screenshots; returns its path.
std::wstring saveScreenshot(const Picture& picture, const wchar_t* name);
