// The About box from the player's resources, opened by the real main window:
// its lines, whether they fit their controls, its focus, and how real key
// messages through the dialog manager end it.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>

#include "app/AboutDialog.h"
#include "app/AppState.h"
#include "res/resource.h"
#include "support/DialogWatcher.h"
#include "support/MainDialog.h"
#include "support/RecordingControl.h"

namespace {

// The width the text takes in the dialog's font, and the width of its
// control, in pixels.
struct Fit {
    int text;
    int control;
};

Fit fitOf(HWND dialog, int id)
{
    HWND control = GetDlgItem(dialog, id);
    std::wstring text = dialogItemText(dialog, id);
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0)));
    SIZE extent = {0, 0};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    RECT units = {0, 0, 150, 8};
    MapDialogRect(dialog, &units);
    RECT client = clientRect(control);
    EXPECT_EQ(client.right, units.right) << "control " << id << " is not 150 units wide";
    return Fit{extent.cx, client.right};
}

class AboutDialogTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dialog.create()); }

    ControlScript script;
    MainDialog dialog{script};
};

TEST_F(AboutDialogTest, CommandOpensItOwnedByTheMainWindowWithItsLinesFittingAndTheFocusOnOk)
{
    // As the entry point fills it.
    appState.debugText = describeEnvironment();
    int seen = 0;
    DialogWatcher watcher(L"About Quibbleton Player", [&](HWND about) {
        ++seen;
        EXPECT_EQ(GetWindow(about, GW_OWNER), dialog.window);
        EXPECT_FALSE(IsWindowEnabled(dialog.window));
        EXPECT_EQ(GetFocus(), GetDlgItem(about, IDOK));

        EXPECT_EQ(dialogItemText(about, IDC_ABOUT_PRODUCT), L"Quibbleton Player, Version 1.0.6");
        std::wstring copyright = dialogItemText(about, IDC_ABOUT_COPYRIGHT);
        EXPECT_FALSE(copyright.empty());
        Fit copyrightFit = fitOf(about, IDC_ABOUT_COPYRIGHT);
        EXPECT_LE(copyrightFit.text, copyrightFit.control) << "the copyright line does not fit its control";

        std::wstring debug = dialogItemText(about, IDC_ABOUT_DEBUG);
        EXPECT_EQ(debug, appState.debugText);
        EXPECT_NE(debug, L"Debug text here");
        EXPECT_EQ(debug.compare(0, 5, L"curl "), 0) << "no HTTP library version";
        Fit debugFit = fitOf(about, IDC_ABOUT_DEBUG);
        EXPECT_LE(debugFit.text, debugFit.control) << "the debug line does not fit its control";

        PostMessageW(GetFocus(), WM_KEYDOWN, VK_RETURN, 0);
    });
    SendMessageW(dialog.window, WM_COMMAND, IDM_ABOUT, 0);
    EXPECT_EQ(seen, 1) << "Help > About showed no dialog";
    EXPECT_TRUE(IsWindowEnabled(dialog.window));
}

TEST_F(AboutDialogTest, WithoutDebugTextTheLineIsBlankNotThePlaceholder)
{
    appState.debugText.clear();
    std::wstring debug = L"(not read)";
    DialogWatcher watcher(L"About Quibbleton Player", [&](HWND about) {
        debug = dialogItemText(about, IDC_ABOUT_DEBUG);
        PostMessageW(about, WM_COMMAND, IDCANCEL, 0);
    });
    SendMessageW(dialog.window, WM_COMMAND, IDM_ABOUT, 0);
    EXPECT_EQ(debug, L"");
}

TEST_F(AboutDialogTest, EnterEndsItWith1AndEscapeOrTheCloseBoxWith2)
{
    struct Case {
        const char* name;
        std::function<void(HWND)> end;
        INT_PTR result;
    } cases[] = {
        {"Enter", [](HWND) { PostMessageW(GetFocus(), WM_KEYDOWN, VK_RETURN, 0); }, 1},
        {"Escape", [](HWND) { PostMessageW(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 0); }, 2},
        {"the close box", [](HWND about) { PostMessageW(about, WM_CLOSE, 0, 0); }, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        int seen = 0;
        DialogWatcher watcher(L"About Quibbleton Player", [&](HWND about) {
            ++seen;
            c.end(about);
        });
        INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), L"DIALOG_ABOUT", dialog.window, AboutDlgProc, 0);
        EXPECT_EQ(seen, 1);
        EXPECT_EQ(result, c.result);
    }
}

} // namespace
