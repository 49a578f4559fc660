// Shared by the tests of the stand-in control: a host window, the control
// created by OleCreate from the registered DLL and activated in it, message
// pumping with a time-out, scratch files, and pictures of what it painted.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <ocidl.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "movie/ShockwaveFlash.h"
#include "unit/SwfBuilder.h"
#include "wine/SwfEventRecorder.h"
#include "wine/SwfTestSite.h"

// The swfcontrol.dll of this tree, as a Windows path.
std::wstring builtControlDll();

// Runs the message loop until done() or the time-out; answers done().
bool pumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 10000);

// A folder of this test process under %TEMP%, removed at exit.
std::wstring scratchDir();
std::wstring writeScratchFile(const std::wstring& name, const swftest::Bytes& bytes);

class Bstr {
public:
    explicit Bstr(const wchar_t* text) : value_(SysAllocString(text)) {}
    ~Bstr() { SysFreeString(value_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    operator BSTR() const { return value_; }

private:
    BSTR value_;
};

// A top-level window whose client area hosts the control.
class HostWindow {
public:
    HostWindow(int clientWidth, int clientHeight, bool visible, int x = 40, int y = 40);
    ~HostWindow();
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;
    HWND handle() const { return window_; }

private:
    HWND window_ = nullptr;
};

IOleObject* createRegisteredControl(IOleClientSite* site, DWORD render = OLERENDER_DRAW);

// The control in place in a host window, with a recording site and sink.
class ActiveControl {
public:
    ActiveControl(int width, int height, bool visible = false, int x = 40, int y = 40);
    ~ActiveControl();
    ActiveControl(const ActiveControl&) = delete;
    ActiveControl& operator=(const ActiveControl&) = delete;

    bool ok() const { return control && flash && stage; }
    // put_Movie, then pumps until the load has ended (ready state 4).
    bool load(const std::wstring& movie, DWORD timeoutMs = 15000);
    std::wstring stageText() const;

    HostWindow host;
    SwfTestSite site;
    SwfEventRecorder sink;
    IOleObject* control = nullptr;
    IShockwaveFlash* flash = nullptr;
    HWND stage = nullptr;
    DWORD cookie = 0;
    IConnectionPoint* point = nullptr;
};

// A 32-bit picture: of what a window paints (WM_PRINTCLIENT), or of the screen.
struct Picture {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels; // 0x00RRGGBB, top row first
    COLORREF at(int x, int y) const;
    size_t count(COLORREF colour) const;
};
Picture printClient(HWND window);
Picture captureScreen(const RECT& area);

std::string colourText(COLORREF colour);
