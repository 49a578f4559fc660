// Fullscreen mode of the real main window under Wine and Xvfb: what entering
// makes of the window, Escape held as the keyboard holds it, what leaving
// puts back, and the display mode around both.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/AppState.h"
#include "res/resource.h"
#include "support/HeldKey.h"
#include "support/ImportPatch.h"
#include "support/MainDialog.h"
#include "support/MessageTap.h"
#include "support/RecordingControl.h"

namespace {

struct DisplayMode {
    DWORD width;
    DWORD height;
    DWORD depth;
    DWORD frequency;
};

bool operator==(const DisplayMode& a, const DisplayMode& b)
{
    return a.width == b.width && a.height == b.height && a.depth == b.depth && a.frequency == b.frequency;
}

std::ostream& operator<<(std::ostream& out, const DisplayMode& m)
{
    return out << m.width << "x" << m.height << "x" << m.depth << "@" << m.frequency;
}

DisplayMode currentDisplayMode()
{
    DEVMODEW mode;
    ZeroMemory(&mode, sizeof mode);
    mode.dmSize = sizeof mode;
    EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &mode);
    return DisplayMode{mode.dmPelsWidth, mode.dmPelsHeight, mode.dmBitsPerPel, mode.dmDisplayFrequency};
}

struct WindowState {
    LONG style;
    LONG exStyle;
    RECT frame;
    HMENU menu;
};

WindowState stateOf(HWND window)
{
    return WindowState{GetWindowLongW(window, GWL_STYLE), GetWindowLongW(window, GWL_EXSTYLE), windowRect(window),
                       GetMenu(window)};
}

// The host as the layout rule places it in a client area of that size, for
// ratio 1.5 with "Resize SWF To Window" on.
RECT fittedAt15(int clientWidth, int clientHeight)
{
    int width = static_cast<int>(static_cast<float>(clientHeight) * 1.5f);
    int x = (clientWidth - width) / 2;
    return RECT{x, 0, x + width, clientHeight};
}

class FullscreenTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dialog.create());
        appState.aspectRatio = 1.5f;
        setClientSize(dialog.window, 640, 360);
        SetWindowPos(dialog.window, nullptr, 40, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        ASSERT_EQ(childRect(dialog.host), fittedAt15(640, 360));
        before = stateOf(dialog.window);
        modeBefore = currentDisplayMode();
        screenWidth = GetSystemMetrics(SM_CXSCREEN);
        screenHeight = GetSystemMetrics(SM_CYSCREEN);
    }

    void TearDown() override
    {
        EXPECT_EQ(currentDisplayMode(), modeBefore) << "the display was left in another mode";
    }

    void enter()
    {
        SendMessageW(dialog.window, WM_COMMAND, IDM_FULLSCREEN, 0);
        ASSERT_TRUE(appState.fullscreen);
    }

    void expectWindowed()
    {
        EXPECT_FALSE(appState.fullscreen);
        WindowState now = stateOf(dialog.window);
        EXPECT_EQ(now.style, before.style);
        EXPECT_EQ(now.exStyle, before.exStyle);
        EXPECT_EQ(now.frame, before.frame);
        EXPECT_EQ(now.menu, before.menu);
        EXPECT_EQ(now.menu, appState.mainMenu);
        EXPECT_FALSE(GetWindowLongW(dialog.window, GWL_EXSTYLE) & WS_EX_TOPMOST);
        RECT client = clientRect(dialog.window);
        EXPECT_EQ(childRect(dialog.host), fittedAt15(client.right, client.bottom));
    }

    ControlScript script;
    MainDialog dialog{script};
    WindowState before = {};
    DisplayMode modeBefore = {};
    int screenWidth = 0;
    int screenHeight = 0;
};

TEST_F(FullscreenTest, EnteringMakesABorderlessTopmostWindowOverTheScreenWithTheHostLaidOut)
{
    enter();

    LONG style = GetWindowLongW(dialog.window, GWL_STYLE);
    LONG exStyle = GetWindowLongW(dialog.window, GWL_EXSTYLE);
    // What the platform adds when it maximises (WS_MAXIMIZE) and clips aside.
    EXPECT_EQ(style & ~(WS_MAXIMIZE | WS_CLIPSIBLINGS), static_cast<LONG>(WS_POPUP | WS_VISIBLE));
    EXPECT_EQ(exStyle & (WS_EX_TOPMOST | WS_EX_APPWINDOW), WS_EX_TOPMOST | WS_EX_APPWINDOW);
    EXPECT_FALSE(exStyle & (WS_EX_WINDOWEDGE | WS_EX_DLGMODALFRAME));
    EXPECT_EQ(GetMenu(dialog.window), nullptr);
    EXPECT_EQ(windowRect(dialog.window), (RECT{0, 0, screenWidth, screenHeight}));
    EXPECT_EQ(clientRect(dialog.window), (RECT{0, 0, screenWidth, screenHeight}));
    EXPECT_EQ(childRect(dialog.host), fittedAt15(screenWidth, screenHeight));
    EXPECT_EQ(currentDisplayMode(), modeBefore);

    // The saved state is the window's as it was, less nothing.
    EXPECT_EQ(appState.savedStyle, before.style);
    EXPECT_EQ(appState.savedExStyle, before.exStyle);
    EXPECT_EQ(appState.savedWindowRect, before.frame);
    EXPECT_EQ(appState.mainMenu, before.menu);
}

TEST_F(FullscreenTest, EscapeHeldWhileAnyMessageArrivesLeavesAndPutsTheWindowBack)
{
    enter();
    MessageTap tap(script);
    ASSERT_TRUE(tap.installed());
    tap.watch(WM_SIZE, "WM_SIZE");
    {
        HeldKey escape(VK_ESCAPE, dialog.window);
        ASSERT_TRUE(escape.down()) << "Escape never reached this thread";
        ASSERT_TRUE(appState.fullscreen) << "left before any message arrived";
        script.take();

        // The background brush alone does not leave.
        HDC dc = GetDC(dialog.window);
        SendMessageW(dialog.window, WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(dc),
                     reinterpret_cast<LPARAM>(dialog.window));
        ReleaseDC(dialog.window, dc);
        EXPECT_TRUE(appState.fullscreen);
        EXPECT_EQ(GetMenu(dialog.window), nullptr);

        SendMessageW(dialog.window, WM_NULL, 0, 0);
        expectWindowed();
        // Left once: the messages sent while leaving, Escape still down,
        // found fullscreen mode already off.
        CallLog log = script.take();
        EXPECT_EQ(std::count(log.begin(), log.end(), "main.WM_SIZE(0,0)"), 1) << testing::PrintToString(log);
    }
    EXPECT_EQ(currentDisplayMode(), modeBefore);
}

TEST_F(FullscreenTest, EscapeAsTheCancelCommandPassesTheKeyOnAndLeaves)
{
    enter();
    MessageTap tap(script);
    ASSERT_TRUE(tap.installed());
    tap.watch(WM_KEYDOWN, "WM_KEYDOWN");
    HeldKey escape(VK_ESCAPE, dialog.window);
    ASSERT_TRUE(escape.down()) << "Escape never reached this thread";
    script.take();

    SendMessageW(dialog.window, WM_COMMAND, IDCANCEL, 0);

    // The key goes to the movie first; leaving follows, as the host is laid out again.
    CallLog log = script.take();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.front(), "ax.WM_KEYDOWN(27,0)");
    EXPECT_EQ(std::count(log.begin(), log.end(), "ax.WM_KEYDOWN(27,0)"), 1) << testing::PrintToString(log);
    expectWindowed();
    EXPECT_TRUE(IsWindowVisible(dialog.window));
}

// Without the menu, command 103 can still arrive from another program.
TEST_F(FullscreenTest, EnteringAgainKeepsTheWindowToGoBackTo)
{
    enter();
    RECT fullscreen = windowRect(dialog.window);
    SendMessageW(dialog.window, WM_COMMAND, IDM_FULLSCREEN, 0);
    EXPECT_TRUE(appState.fullscreen);
    EXPECT_EQ(windowRect(dialog.window), fullscreen);
    EXPECT_EQ(appState.savedStyle, before.style);
    EXPECT_EQ(appState.savedWindowRect, before.frame);
    {
        HeldKey escape(VK_ESCAPE, dialog.window);
        ASSERT_TRUE(escape.down()) << "Escape never reached this thread";
        SendMessageW(dialog.window, WM_NULL, 0, 0);
    }
    expectWindowed();
}

TEST_F(FullscreenTest, EscapeHeldWhileWindowedDoesNothing)
{
    HeldKey escape(VK_ESCAPE, dialog.window);
    ASSERT_TRUE(escape.down()) << "Escape never reached this thread";
    SendMessageW(dialog.window, WM_NULL, 0, 0);
    SendMessageW(dialog.window, WM_COMMAND, IDCANCEL, 0);
    SendMessageW(dialog.window, WM_SIZE, 0, 0);
    expectWindowed();
    EXPECT_TRUE(IsWindowVisible(dialog.window));
}

// Going fullscreen maximises the window over its saved state; a window that
// was maximised must come back maximised, and keep the size it restores to.
TEST_F(FullscreenTest, AMaximisedWindowComesBackMaximisedWithItsRestoreSize)
{
    ShowWindow(dialog.window, SW_MAXIMIZE);
    ASSERT_TRUE(IsZoomed(dialog.window));
    WindowState maximised = stateOf(dialog.window);
    enter();
    {
        HeldKey escape(VK_ESCAPE, dialog.window);
        ASSERT_TRUE(escape.down()) << "Escape never reached this thread";
        SendMessageW(dialog.window, WM_NULL, 0, 0);
    }
    EXPECT_FALSE(appState.fullscreen);
    EXPECT_TRUE(IsZoomed(dialog.window));
    WindowState now = stateOf(dialog.window);
    EXPECT_EQ(now.style, maximised.style);
    EXPECT_EQ(now.exStyle, maximised.exStyle);
    EXPECT_EQ(now.frame, maximised.frame);
    EXPECT_EQ(now.menu, maximised.menu);
    RECT client = clientRect(dialog.window);
    EXPECT_EQ(childRect(dialog.host), fittedAt15(client.right, client.bottom));

    ShowWindow(dialog.window, SW_RESTORE);
    EXPECT_EQ(windowRect(dialog.window), before.frame);
}

// The display-settings calls of the player's code, through its imports.
std::vector<std::string> displayCalls;
ImportPatch* enumPatch = nullptr;
ImportPatch* changePatch = nullptr;

BOOL WINAPI recordingEnum(LPCWSTR device, DWORD modeNumber, DEVMODEW* mode)
{
    displayCalls.push_back(std::string("EnumDisplaySettingsW(") + (device ? "device" : "null") + "," +
                           std::to_string(static_cast<long>(modeNumber)) + ")");
    return enumPatch->original<decltype(&EnumDisplaySettingsW)>()(device, modeNumber, mode);
}

LONG WINAPI recordingChange(DEVMODEW* mode, DWORD flags)
{
    std::string asked = "null";
    if (mode)
        asked = std::to_string(mode->dmPelsWidth) + "x" + std::to_string(mode->dmPelsHeight) + "x" +
                std::to_string(mode->dmBitsPerPel) + "@" + std::to_string(mode->dmDisplayFrequency);
    displayCalls.push_back("ChangeDisplaySettingsW(" + asked + "," + std::to_string(flags) + ")");
    return changePatch->original<decltype(&ChangeDisplaySettingsW)>()(mode, flags);
}

// Mode 0 of the device's list could be another depth or frequency than the
// one in use; and a mode set for fullscreen must not outlast it.
TEST_F(FullscreenTest, AsksForTheCurrentModeAtTheScreenSizeAndPutsTheRegistryModeBack)
{
    std::string current = std::to_string(screenWidth) + "x" + std::to_string(screenHeight) + "x" +
                          std::to_string(modeBefore.depth) + "@" + std::to_string(modeBefore.frequency);
    displayCalls.clear();
    ImportPatch enumeration("user32.dll", "EnumDisplaySettingsW", reinterpret_cast<void*>(&recordingEnum));
    ImportPatch change("user32.dll", "ChangeDisplaySettingsW", reinterpret_cast<void*>(&recordingChange));
    enumPatch = &enumeration;
    changePatch = &change;
    ASSERT_TRUE(enumeration.patched());
    ASSERT_TRUE(change.patched());

    enter();
    EXPECT_EQ(displayCalls, (std::vector<std::string>{"EnumDisplaySettingsW(null,-1)",
                                                      "ChangeDisplaySettingsW(" + current + ",4)"}));
    displayCalls.clear();
    {
        HeldKey escape(VK_ESCAPE, dialog.window);
        ASSERT_TRUE(escape.down()) << "Escape never reached this thread";
        SendMessageW(dialog.window, WM_NULL, 0, 0);
    }
    EXPECT_FALSE(appState.fullscreen);
    EXPECT_EQ(displayCalls, (std::vector<std::string>{"ChangeDisplaySettingsW(null,0)"}));
}

} // namespace
