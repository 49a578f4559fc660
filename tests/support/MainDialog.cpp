#include "support/MainDialog.h"

#include <ostream>

#include "app/AppState.h"
#include "app/MainWindow.h"
#include "app/Startup.h"
#include "axhost/AXHost.h"
#include "axhost/DropTarget.h"
#include "movie/FlashClsid.h"
#include "res/resource.h"

void resetAppState()
{
    LONG sinkReferences = appState.eventSink.refCount;
    appState = AppState();
    appState.eventSink.refCount = sinkReferences;
}

MainDialog::MainDialog(ControlScript& script) : script_(script), registration_(script)
{
    resetAppState();
    registerAXClass();
}

MainDialog::~MainDialog()
{
    if (window && IsWindow(window)) {
        if (appState.dropTarget) {
            RevokeDragDrop(window);
            delete appState.dropTarget;
            appState.dropTarget = nullptr;
        }
        DestroyWindow(window);
    }
    if (appState.eventConnectionPoint)
        appState.eventConnectionPoint->Release();
    if (appState.eventConnectionContainer)
        appState.eventConnectionContainer->Release();
    appState.eventConnectionPoint = nullptr;
    appState.eventConnectionContainer = nullptr;
}

bool MainDialog::create()
{
    if (!registration_.registered())
        return false;
    window = CreateDialogParamW(GetModuleHandleW(nullptr), L"DIALOG_MAIN", nullptr, MainDlgProc, 0);
    return named();
}

bool MainDialog::createIndirect(const DLGTEMPLATE* dialogTemplate)
{
    if (!registration_.registered())
        return false;
    window = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), dialogTemplate, nullptr, MainDlgProc, 0);
    return named();
}

bool MainDialog::named()
{
    if (!window)
        return false;
    host = GetDlgItem(window, IDC_AXHOST);
    script_.nameWindow(window, "main");
    if (host)
        script_.nameWindow(host, "ax");
    AXHost* record = host ? reinterpret_cast<AXHost*>(SendMessageW(host, AXM_GETHOST, 0, 0)) : nullptr;
    return record && record->control;
}

void setClientSize(HWND window, int width, int height)
{
    RECT frame;
    GetWindowRect(window, &frame);
    int outerWidth = frame.right - frame.left;
    int outerHeight = frame.bottom - frame.top;
    for (int attempt = 0; attempt < 3; ++attempt) {
        RECT client = clientRect(window);
        if (client.right == width && client.bottom == height)
            return;
        outerWidth += width - client.right;
        outerHeight += height - client.bottom;
        SetWindowPos(window, nullptr, 0, 0, outerWidth, outerHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

RECT childRect(HWND child)
{
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

RECT clientRect(HWND window)
{
    RECT r = {-1, -1, -1, -1};
    GetClientRect(window, &r);
    return r;
}

RECT windowRect(HWND window)
{
    RECT r = {-1, -1, -1, -1};
    GetWindowRect(window, &r);
    return r;
}

DialogTemplate::DialogTemplate(const std::wstring& caption, DWORD style)
{
    // DLGTEMPLATE: style, extended style, item count, x, y, cx, cy.
    words_ = {LOWORD(style), HIWORD(style), LOWORD(WS_EX_WINDOWEDGE), HIWORD(WS_EX_WINDOWEDGE), 1, 0, 0, 250,
              200};
    words_.push_back(0); // no menu
    words_.push_back(0); // the standard dialog class
    add(caption);
    if (style & DS_SETFONT) {
        words_.push_back(8);
        add(L"MS Shell Dlg");
    }
    // DLGITEMTEMPLATE, on a DWORD boundary: style, extended style, x, y, cx, cy, id.
    align();
    DWORD itemStyle = WS_CHILD | WS_VISIBLE;
    words_.insert(words_.end(), {LOWORD(itemStyle), HIWORD(itemStyle), 0, 0, 10, 9, 0, 0, IDC_AXHOST});
    add(L"AX");
    add(QP_FLASH_CLSID_WTEXT);
    words_.push_back(0); // no creation data
}

void DialogTemplate::align()
{
    if (words_.size() % 2)
        words_.push_back(0);
}

void DialogTemplate::add(const std::wstring& text)
{
    words_.insert(words_.end(), text.begin(), text.end());
    words_.push_back(0);
}

std::ostream& operator<<(std::ostream& out, const RECT& r)
{
    return out << "(" << r.left << "," << r.top << ")-(" << r.right << "," << r.bottom << ")";
}
