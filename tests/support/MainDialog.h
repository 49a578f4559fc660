// The main window in-process: DIALOG_MAIN from the player's own resources
// (link qp_resources) run by the real MainDlgProc as a modeless dialog, so a
// test drives it with SendMessage; RecordingControl stands in for the Flash
// control. Construction gives a fresh AppState and registers the AX class and
// the control; create() makes the window. The windows are named "main" and
// "ax" in the script's log.
//
//   ControlScript script;
//   MainDialog dialog(script);
//   ASSERT_TRUE(dialog.create());
//   SendMessageW(dialog.window, WM_COMMAND, 104, 0);
#pragma once

#include <windows.h>

#include <iosfwd>
#include <string>
#include <vector>

#include "support/RecordingControl.h"

class MainDialog {
public:
    explicit MainDialog(ControlScript& script);
    // Frees what the window's WM_CLOSE frees when the window never had it
    // (withdrawing the drop registration first), destroys the window, and
    // gives back the event connection the loader kept. A window that Exit
    // destroyed keeps its drop target, as in the player.
    ~MainDialog();
    MainDialog(const MainDialog&) = delete;
    MainDialog& operator=(const MainDialog&) = delete;

    // True when the window exists with its control host and a hosted control.
    bool create();
    // The same from an in-memory template (see dialogTemplate below).
    bool createIndirect(const DLGTEMPLATE* dialogTemplate);

    HWND window = nullptr;
    HWND host = nullptr;

private:
    bool named();

    ControlScript& script_;
    RegisteredControl registration_;
};

// AppState as at process start. The event sink keeps its count: controls of
// earlier tests may still hold it.
void resetAppState();

// Resizes the window so that its client area is width x height (the menu bar
// may change its height with the width, so this measures and corrects).
void setClientSize(HWND window, int width, int height);

// The child's window rectangle in its parent's client coordinates.
RECT childRect(HWND child);

// The window's client rectangle, and its outer one in screen coordinates.
RECT clientRect(HWND window);
RECT windowRect(HWND window);

// A DLGTEMPLATE with the style of DIALOG_MAIN but no menu, the given caption,
// and the one AX control (id 888, the Flash CLSID as text), in dialog units.
class DialogTemplate {
public:
    DialogTemplate(const std::wstring& caption, DWORD style = 0x90CF084C);
    const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

private:
    void align();
    void add(const std::wstring& text);
    std::vector<WORD> words_;
};

inline bool operator==(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::ostream& operator<<(std::ostream& out, const RECT& r);
