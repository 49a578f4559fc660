// The main window in-process: DIALOG_MAIN from the player's resources with
// the real MainDlgProc, RecordingControl as the Flash control. Initialisation
// order, the base title, the layout rule through real size changes, the
// commands, the black background and the end of the window.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "app/AppState.h"
#include "app/MainWindow.h"
#include "axhost/AXHost.h"
#include "axhost/DropTarget.h"
#include "res/resource.h"
#include "support/DialogWatcher.h"
#include "support/HeldKey.h"
#include "support/MainDialog.h"
#include "support/MessageTap.h"
#include "support/ProcessDriver.h"
#include "support/RecordingControl.h"

namespace {

const char requestText[] =
    "<invoke name=\"foo1\" returntype=\"xml\"><arguments><string>Hello</string></arguments></invoke>";

bool checked(UINT item)
{
    return (GetMenuState(appState.mainMenu, item, MF_BYCOMMAND) & MF_CHECKED) != 0;
}

// Runs the test's body in another working directory.
class WorkingDirectory {
public:
    explicit WorkingDirectory(const std::wstring& path)
    {
        GetCurrentDirectoryW(MAX_PATH, saved_);
        changed_ = SetCurrentDirectoryW(path.c_str()) != FALSE;
    }
    ~WorkingDirectory() { SetCurrentDirectoryW(saved_); }
    bool changed() const { return changed_; }

private:
    wchar_t saved_[MAX_PATH] = L"";
    bool changed_ = false;
};

std::wstring wide(const char* text)
{
    return std::wstring(text, text + strlen(text));
}

// A folder of its own, without "regular.ico".
std::wstring emptyFolder()
{
    wchar_t base[MAX_PATH] = L"";
    GetTempPathW(MAX_PATH, base);
    std::wstring path = std::wstring(base) + L"qp-no-icon-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(path.c_str(), nullptr);
    return path;
}

class MainWindowTest : public testing::Test {
protected:
    ControlScript script;
};

// ---------------------------------------------------------------------------
// Initialisation

struct Snapshot {
    bool taken = false;
    HWND mainWindow = nullptr;
    HMENU mainMenu = nullptr;
    std::wstring baseTitle;
    bool dropTarget = false;
    HRESULT revoked = E_FAIL; // what withdrawing the drop registration answered
    bool icon = false;
    RECT hostClient = {-1, -1, -1, -1};
};

// What the window has done when its control is told to activate.
Snapshot snapshotAtActivation(HWND main, HWND host)
{
    Snapshot s;
    s.taken = true;
    s.mainWindow = appState.mainWindow;
    s.mainMenu = appState.mainMenu;
    s.baseTitle = appState.baseTitle ? appState.baseTitle : L"(null)";
    s.dropTarget = appState.dropTarget != nullptr;
    s.revoked = RevokeDragDrop(main);
    if (s.revoked == S_OK)
        RegisterDragDrop(main, appState.dropTarget);
    s.icon = SendMessageW(main, WM_GETICON, ICON_SMALL, 0) != 0;
    GetClientRect(host, &s.hostClient);
    return s;
}

TEST_F(MainWindowTest, InitialisesStateIconTitleDropTargetThenActivatesThenLaysOutThenCentres)
{
    WorkingDirectory iconFolder(wide(QP_ICON_FOLDER));
    ASSERT_TRUE(iconFolder.changed());
    MainDialog dialog(script);
    MessageTap tap(script);
    ASSERT_TRUE(tap.installed());
    Snapshot atActivation;
    tap.onMessage = [&](const CWPSTRUCT& sent) {
        wchar_t className[16] = L"";
        GetClassNameW(sent.hwnd, className, 16);
        if (sent.message == WM_INITDIALOG && std::wstring(className) == L"#32770") {
            script.nameWindow(sent.hwnd, "main");
            script.nameWindow(GetDlgItem(sent.hwnd, IDC_AXHOST), "ax");
        }
        if (sent.message == AXM_ACTIVATE && script.windowName(sent.hwnd) == "ax")
            atActivation = snapshotAtActivation(GetParent(sent.hwnd), sent.hwnd);
    };
    tap.watch(WM_INITDIALOG, "WM_INITDIALOG", [](WPARAM, LPARAM lParam) { return std::to_string(lParam); });
    tap.watch(WM_SETICON, "WM_SETICON",
              [](WPARAM wParam, LPARAM lParam) { return std::to_string(wParam) + "," + handleArgument(lParam); });
    tap.watch(WM_GETTEXT, "WM_GETTEXT", [](WPARAM wParam, LPARAM) { return std::to_string(wParam); });
    tap.watch(AXM_ACTIVATE, "AXM_ACTIVATE");
    tap.watch(WM_SIZE, "WM_SIZE");
    tap.watch(WM_WINDOWPOSCHANGING, "WM_WINDOWPOSCHANGING", [](WPARAM, LPARAM lParam) {
        const WINDOWPOS& pos = *reinterpret_cast<const WINDOWPOS*>(lParam);
        return std::to_string(pos.x) + "," + std::to_string(pos.y) + "," + std::to_string(pos.cx) + "," +
               std::to_string(pos.cy) + "," + std::to_string(pos.flags);
    });

    ASSERT_TRUE(dialog.create());
    tap.onMessage = nullptr;

    CallLog log = script.take();
    auto start = std::find(log.begin(), log.end(), "main.WM_INITDIALOG(0)");
    ASSERT_NE(start, log.end()) << testing::PrintToString(log);
    RECT client = clientRect(dialog.window);
    std::string w = std::to_string(client.right);
    std::string h = std::to_string(client.bottom);
    RECT frame = client;
    AdjustWindowRect(&frame, static_cast<DWORD>(GetWindowLongW(dialog.window, GWL_STYLE)), TRUE);
    int width = frame.right - frame.left;
    int height = frame.bottom - frame.top;
    int x = GetSystemMetrics(SM_CXSCREEN) / 2 - width / 2;
    int y = GetSystemMetrics(SM_CYSCREEN) / 2 - height / 2;
    CallLog expected = {
        "main.WM_INITDIALOG(0)", "main.WM_SETICON(0,handle)", "main.WM_GETTEXT(100)", "ax.AXM_ACTIVATE(1,0)",
        "DoVerb(-5,null,obj,0,ax,0,0,0,0)", "site.CanInPlaceActivate=S_OK", "site.GetWindowContext",
        "frame.SetActiveObject(obj)", "main.WM_SIZE(0,0)", "ax.WM_WINDOWPOSCHANGING(0,0," + w + "," + h + ",64)",
        "ax.WM_SIZE(0," + std::to_string(MAKELPARAM(client.right, client.bottom)) + ")",
        "SetObjectRects(0,0," + w + "," + h + ",0,0," + w + "," + h + ")",
        "main.WM_WINDOWPOSCHANGING(" + std::to_string(x) + "," + std::to_string(y) + "," + std::to_string(width) +
            "," + std::to_string(height) + ",64)"};
    // What follows the centring is the platform's (showing the window reads its title).
    ASSERT_GE(static_cast<size_t>(log.end() - start), expected.size()) << testing::PrintToString(log);
    EXPECT_EQ(CallLog(start, start + expected.size()), expected);

    // Before the control was activated, the state, icon, title and drop
    // registration were in place, and the host had not been laid out.
    ASSERT_TRUE(atActivation.taken);
    EXPECT_EQ(atActivation.mainWindow, dialog.window);
    EXPECT_EQ(atActivation.mainMenu, GetMenu(dialog.window));
    EXPECT_TRUE(atActivation.mainMenu);
    EXPECT_EQ(atActivation.baseTitle, L"Quibbleton Player");
    EXPECT_TRUE(atActivation.dropTarget);
    EXPECT_EQ(atActivation.revoked, S_OK) << "the drop target was not registered yet";
    EXPECT_TRUE(atActivation.icon);
    EXPECT_EQ(atActivation.hostClient, (RECT{0, 0, 0, 0}));

    // Only the small icon; the drop registration still stands.
    EXPECT_TRUE(SendMessageW(dialog.window, WM_GETICON, ICON_SMALL, 0));
    EXPECT_FALSE(SendMessageW(dialog.window, WM_GETICON, ICON_BIG, 0));
    EXPECT_EQ(RevokeDragDrop(dialog.window), S_OK);
    RegisterDragDrop(dialog.window, appState.dropTarget);

    // The template's client size, the host filling it, centred, shown.
    RECT units = {0, 0, 500, 400};
    MapDialogRect(dialog.window, &units);
    EXPECT_EQ(client, units);
    EXPECT_EQ(childRect(dialog.host), client);
    EXPECT_EQ(windowRect(dialog.window), (RECT{x, y, x + width, y + height}));
    EXPECT_TRUE(IsWindowVisible(dialog.window));
    EXPECT_EQ(windowText(dialog.window), L"Quibbleton Player");

    // The state a launch starts from.
    EXPECT_TRUE(appState.resizeToWindow);
    EXPECT_TRUE(checked(IDM_RESIZE_TO_WINDOW));
    EXPECT_FALSE(appState.menu105Mark);
    EXPECT_FALSE(appState.fullscreen);
    EXPECT_EQ(appState.aspectRatio, 0.0f);
}

TEST_F(MainWindowTest, WithoutAnIconFileTheWindowStillComesUp)
{
    std::wstring folder = emptyFolder();
    {
        WorkingDirectory elsewhere(folder);
        ASSERT_TRUE(elsewhere.changed());
        MainDialog dialog(script);
        ASSERT_TRUE(dialog.create());
        EXPECT_FALSE(SendMessageW(dialog.window, WM_GETICON, ICON_SMALL, 0));
        EXPECT_TRUE(IsWindowVisible(dialog.window));
        EXPECT_TRUE(script.latest()->inPlaceActive);
        EXPECT_EQ(childRect(dialog.host), clientRect(dialog.window));
    }
    RemoveDirectoryW(folder.c_str());
}

TEST_F(MainWindowTest, TheBaseTitleKeepsTheFirst99Characters)
{
    std::wstring caption;
    for (int i = 0; i < 150; ++i)
        caption += static_cast<wchar_t>(L'A' + i % 26);
    DialogTemplate longCaption(caption);
    MainDialog dialog(script);
    ASSERT_TRUE(dialog.createIndirect(longCaption.get()));

    ASSERT_TRUE(appState.baseTitle);
    EXPECT_EQ(std::wstring(appState.baseTitle), caption.substr(0, 99));
    EXPECT_EQ(windowText(dialog.window), caption);
}

// ---------------------------------------------------------------------------
// Layout

struct LayoutCase {
    const char* name;
    bool resizeToWindow;
    float ratio;
    int clientWidth;
    int clientHeight;
    SIZE host; // the host's size before, for the mode that keeps it
    RECT expected;
};

TEST_F(MainWindowTest, SizeChangesLayTheHostOutByTheRule)
{
    const LayoutCase cases[] = {
        {"ratio 1.5 in 800 x 400", true, 1.5f, 800, 400, {0, 0}, {100, 0, 700, 400}},
        {"an odd spare width truncates", true, 1.5f, 801, 400, {0, 0}, {100, 0, 700, 400}},
        {"a client narrower than the ratio", true, 2.0f, 300, 200, {0, 0}, {-50, 0, 350, 200}},
        {"no ratio fills the client", true, 0.0f, 800, 400, {0, 0}, {0, 0, 800, 400}},
        {"a ratio that is no number fills the client", true, std::nanf(""), 640, 360, {0, 0}, {0, 0, 640, 360}},
        {"mode off centres the host", false, 1.5f, 800, 400, {600, 300}, {100, 50, 700, 350}},
        {"mode off, host larger than the client", false, 0.0f, 300, 200, {401, 301}, {-50, -50, 351, 251}},
    };
    MainDialog dialog(script);
    ASSERT_TRUE(dialog.create());
    for (const LayoutCase& c : cases) {
        SCOPED_TRACE(c.name);
        appState.resizeToWindow = c.resizeToWindow;
        appState.aspectRatio = c.ratio;
        // From another size, so that the last step is a real change.
        setClientSize(dialog.window, c.clientWidth + 37, c.clientHeight + 23);
        if (!c.resizeToWindow)
            SetWindowPos(dialog.host, nullptr, 0, 0, c.host.cx, c.host.cy, SWP_NOZORDER | SWP_NOMOVE);

        setClientSize(dialog.window, c.clientWidth, c.clientHeight);

        ASSERT_EQ(clientRect(dialog.window), (RECT{0, 0, c.clientWidth, c.clientHeight}));
        EXPECT_EQ(childRect(dialog.host), c.expected);
        EXPECT_TRUE(IsWindowVisible(dialog.host));
    }
}

TEST_F(MainWindowTest, MinimisingEmptiesTheHostAndRestoringLaysItOutAgain)
{
    MainDialog dialog(script);
    ASSERT_TRUE(dialog.create());
    appState.aspectRatio = 1.5f;
    setClientSize(dialog.window, 800, 400);
    ASSERT_EQ(childRect(dialog.host), (RECT{100, 0, 700, 400}));

    ShowWindow(dialog.window, SW_MINIMIZE);
    ASSERT_TRUE(IsIconic(dialog.window));
    RECT hostClient = clientRect(dialog.host);
    EXPECT_EQ(hostClient.right, 0);
    EXPECT_EQ(hostClient.bottom, 0);

    ShowWindow(dialog.window, SW_RESTORE);
    ASSERT_FALSE(IsIconic(dialog.window));
    EXPECT_EQ(childRect(dialog.host), (RECT{100, 0, 700, 400}));
}

// ---------------------------------------------------------------------------
// Commands

TEST_F(MainWindowTest, ResizeToWindowTogglesFlagAndMarkAndTakesEffectAtTheNextSizeChange)
{
    MainDialog dialog(script);
    ASSERT_TRUE(dialog.create());
    appState.aspectRatio = 1.5f;
    setClientSize(dialog.window, 800, 400);
    const RECT fitted = {100, 0, 700, 400};
    ASSERT_EQ(childRect(dialog.host), fitted);

    SendMessageW(dialog.window, WM_COMMAND, IDM_RESIZE_TO_WINDOW, 0);
    EXPECT_FALSE(appState.resizeToWindow);
    EXPECT_FALSE(checked(IDM_RESIZE_TO_WINDOW));
    EXPECT_EQ(childRect(dialog.host), fitted) << "moved before the next size change";

    // The size message's parameters are not read: the client size is.
    SendMessageW(dialog.window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(1, 1));
    EXPECT_EQ(childRect(dialog.host), fitted) << "mode off keeps the host centred at its size";
    setClientSize(dialog.window, 900, 500);
    EXPECT_EQ(childRect(dialog.host), (RECT{150, 50, 750, 450}));

    SendMessageW(dialog.window, WM_COMMAND, IDM_RESIZE_TO_WINDOW, 0);
    EXPECT_TRUE(appState.resizeToWindow);
    EXPECT_TRUE(checked(IDM_RESIZE_TO_WINDOW));
    EXPECT_EQ(childRect(dialog.host), (RECT{150, 50, 750, 450}));
    SendMessageW(dialog.window, WM_SIZE, 0, 0);
    EXPECT_EQ(childRect(dialog.host), (RECT{75, 0, 825, 500}));
}

TEST_F(MainWindowTest, Command105TogglesItsFlagAndNoMenuItem)
{
    MainDialog dialog(script);
    ASSERT_TRUE(dialog.create());
    RECT host = childRect(dialog.host);
    HMENU menu = GetMenu(dialog.window);
    int items = GetMenuItemCount(menu);

    SendMessageW(dialog.window, WM_COMMAND, 105, 0);
    EXPECT_TRUE(appState.menu105Mark);
    SendMessageW(dialog.window, WM_COMMAND, 105, 0);
    EXPECT_FALSE(appState.menu105Mark);
    SendMessageW(dialog.window, WM_COMMAND, 105, 0);
    EXPECT_TRUE(appState.menu105Mark);

    EXPECT_EQ(GetMenuState(menu, 105, MF_BYCOMMAND), static_cast<UINT>(-1));
    EXPECT_EQ(GetMenuItemCount(menu), items);
    EXPECT_TRUE(checked(IDM_RESIZE_TO_WINDOW));
    EXPECT_TRUE(appState.resizeToWindow);
    EXPECT_EQ(childRect(dialog.host), host);
}

TEST_F(MainWindowTest, EnterAndEscapeCommandsOnlyPassTheirKeyToTheHost)
{
    struct Case {
        const char* name;
        WPARAM wParam;
        CallLog log;
    } cases[] = {
        {"Enter", IDOK, {"ax.WM_KEYDOWN(13,0)"}},
        {"Escape", IDCANCEL, {"ax.WM_KEYDOWN(27,0)"}},
        {"Escape with a notification code", MAKEWPARAM(IDCANCEL, BN_CLICKED), {"ax.WM_KEYDOWN(27,0)"}},
        {"a command nothing issues", 999, {}},
        {"a command between the menu's", 108, {}},
    };
    MainDialog dialog(script);
    ASSERT_TRUE(dialog.create());
    RECT frame = windowRect(dialog.window);
    MessageTap tap(script);
    ASSERT_TRUE(tap.installed());
    tap.watch(WM_KEYDOWN, "WM_KEYDOWN");
    script.take();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(SendMessageW(dialog.window, WM_COMMAND, c.wParam, 0), 0);
        EXPECT_EQ(script.take(), c.log);
        // The dialog goes on as it was.
        EXPECT_TRUE(IsWindow(dialog.window));
        EXPECT_TRUE(IsWindowVisible(dialog.window));
        EXPECT_EQ(windowRect(dialog.window), frame);
        EXPECT_FALSE(appState.fullscreen);
        EXPECT_TRUE(appState.dropTarget);
    }
}

TEST_F(MainWindowTest, TheExternalInterfaceCallSendsItsRequestAndAlwaysReleasesTheInterface)
{
    struct Case {
        const char* name;
        bool withhold;
        bool failCall;
        CallLog log;
    } cases[] = {
        {"the movie answers", false, false,
         {"QueryInterface(IShockwaveFlash)", std::string("CallFunction(") + requestText + ")",
          "Release(IShockwaveFlash)"}},
        {"the movie fails", false, true,
         {"QueryInterface(IShockwaveFlash)", std::string("CallFunction(") + requestText + ")",
          "QueryInterface(ISupportErrorInfo)=E_NOINTERFACE", "Release(IShockwaveFlash)"}},
        {"no interface", true, false, {"QueryInterface(IShockwaveFlash)=E_NOINTERFACE"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ControlScript caseScript;
        MainDialog dialog(caseScript);
        if (c.withhold)
            caseScript.withhold(IID_IShockwaveFlash);
        if (c.failCall)
            caseScript.fail("CallFunction", E_FAIL);
        ASSERT_TRUE(dialog.create());
        RecordingControl* control = caseScript.latest();
        LONG references = control->references();
        caseScript.take();
        caseScript.logReferences = true;

        EXPECT_EQ(SendMessageW(dialog.window, WM_COMMAND, IDM_EXTERNAL_CALL_TEST, 0), 0);

        EXPECT_EQ(caseScript.take(), c.log);
        EXPECT_EQ(control->references(), references);
        EXPECT_TRUE(IsWindow(dialog.window));
    }
}

// ---------------------------------------------------------------------------
// Background, Escape rule, end of the window

TEST_F(MainWindowTest, TheBackgroundBrushIsAnsweredWithoutTheEscapeRule)
{
    MainDialog dialog(script);
    ASSERT_TRUE(dialog.create());
    // Leaving must put back what is there now.
    appState.savedStyle = GetWindowLongW(dialog.window, GWL_STYLE);
    appState.savedExStyle = GetWindowLongW(dialog.window, GWL_EXSTYLE);
    appState.savedWindowRect = windowRect(dialog.window);
    HeldKey escape(VK_ESCAPE, dialog.window);
    ASSERT_TRUE(escape.down()) << "Escape never reached this thread";
    appState.fullscreen = true;

    HDC dc = GetDC(dialog.window);
    LRESULT brush = SendMessageW(dialog.window, WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(dc),
                                 reinterpret_cast<LPARAM>(dialog.window));
    ReleaseDC(dialog.window, dc);
    EXPECT_EQ(brush, reinterpret_cast<LRESULT>(GetStockObject(BLACK_BRUSH)));
    EXPECT_TRUE(appState.fullscreen) << "the Escape rule ran for WM_CTLCOLORDLG";

    // Any other message runs it.
    SendMessageW(dialog.window, WM_NULL, 0, 0);
    EXPECT_FALSE(appState.fullscreen);
}

TEST_F(MainWindowTest, CloseWithdrawsTheDropRegistrationAndFreesTheTarget)
{
    MainDialog dialog(script);
    ASSERT_TRUE(dialog.create());
    ASSERT_TRUE(appState.dropTarget);

    EXPECT_EQ(SendMessageW(dialog.window, WM_CLOSE, 0, 0), 0);

    EXPECT_EQ(appState.dropTarget, nullptr);
    EXPECT_EQ(RevokeDragDrop(dialog.window), DRAGDROP_E_NOTREGISTERED);
}

TEST_F(MainWindowTest, ExitDestroysTheWindow)
{
    MainDialog dialog(script);
    ASSERT_TRUE(dialog.create());
    ASSERT_EQ(script.liveControls(), 1);

    SendMessageW(dialog.window, WM_COMMAND, IDM_EXIT, 0);

    EXPECT_FALSE(IsWindow(dialog.window));
    EXPECT_EQ(script.liveControls(), 0) << "the host window did not give its control back";
}

// As the player runs it: a modal dialog whose end is the end of the program.
TEST_F(MainWindowTest, TheModalLoopEndsOnCloseWithResult0AndOnExit)
{
    struct Case {
        const char* name;
        UINT message;
        WPARAM wParam;
    } cases[] = {
        {"close", WM_CLOSE, 0},
        {"Exit", WM_COMMAND, IDM_EXIT},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ControlScript caseScript;
        MainDialog registration(caseScript); // the AX class, the control, a fresh state
        HWND seen = nullptr;
        DialogWatcher watcher(L"Quibbleton Player", [&](HWND window) {
            seen = window;
            PostMessageW(window, c.message, c.wParam, 0);
        });
        INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), L"DIALOG_MAIN", nullptr, MainDlgProc, 0);
        ASSERT_TRUE(seen) << "the main window never showed";
        EXPECT_FALSE(IsWindow(seen));
        if (c.message == WM_CLOSE) {
            EXPECT_EQ(result, 0);
            EXPECT_EQ(appState.dropTarget, nullptr);
        }
        EXPECT_EQ(caseScript.liveControls(), 0);
    }
}

} // namespace
