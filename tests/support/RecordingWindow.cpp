#include "support/RecordingWindow.h"

#include <cstdio>
#include <string>

namespace {

const wchar_t className[] = L"QPRecordingWindow";

void registerClass()
{
    static bool registered = false;
    if (registered)
        return;
    WNDCLASSEXW windowClass;
    ZeroMemory(&windowClass, sizeof windowClass);
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = DefWindowProcW; // replaced per window once it exists
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = className;
    RegisterClassExW(&windowClass);
    registered = true;
}

std::string hex(LPARAM value)
{
    char text[24];
    std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
    return text;
}

} // namespace

RecordingWindow::RecordingWindow(ControlScript& script, const std::string& name, HWND parent, int width, int height)
    : script_(script)
{
    registerClass();
    DWORD style = parent ? (WS_CHILD | WS_VISIBLE) : WS_OVERLAPPEDWINDOW;
    window_ = CreateWindowExW(0, className, L"recording", style, 0, 0, width, height, parent, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
    if (!window_)
        return;
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RecordingWindow::procedure));
    script_.nameWindow(window_, name);
}

RecordingWindow::~RecordingWindow()
{
    if (window_) {
        SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&DefWindowProcW));
        DestroyWindow(window_);
    }
}

void RecordingWindow::show()
{
    ShowWindow(window_, SW_SHOW);
    UpdateWindow(window_);
}

LRESULT CALLBACK RecordingWindow::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    RecordingWindow* self = reinterpret_cast<RecordingWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self)
        return DefWindowProcW(window, message, wParam, lParam);
    if (self->eventMessage && message == self->eventMessage) {
        AXEventCall* call = reinterpret_cast<AXEventCall*>(lParam);
        self->script_.record("event(" + std::to_string(call ? call->dispid : 0) + ")");
        if (call) {
            self->events.push_back(*call);
            if (self->answerEvents && call->result) {
                VariantClear(call->result);
                V_VT(call->result) = VT_I4;
                V_I4(call->result) = 42;
            }
        }
        return 0;
    }
    switch (message) {
    case WM_NOTIFY: {
        const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header)
            self->script_.record("WM_NOTIFY(" + self->script_.windowName(header->hwndFrom) + "," +
                                 std::to_string(header->idFrom) + "," + std::to_string(header->code) + ")");
        return 0;
    }
    case WM_COMMAND:
        self->script_.record("WM_COMMAND(" + std::to_string(LOWORD(wParam)) + "," +
                             std::to_string(HIWORD(wParam)) + "," + hex(lParam) + ")");
        return self->commandResult;
    case WM_KEYDOWN:
        self->script_.record("WM_KEYDOWN(" + std::to_string(wParam) + "," + hex(lParam) + ")");
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void pumpMessages()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

HWND createAXWindow(ControlScript& script, HWND parent, const wchar_t* text, int width, int height)
{
    HWND ax = CreateWindowExW(0, L"AX", text, WS_CHILD | WS_VISIBLE, 0, 0, width, height, parent,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(888)), GetModuleHandleW(nullptr), nullptr);
    if (ax)
        script.nameWindow(ax, "ax");
    return ax;
}

AXHost* axHost(HWND ax)
{
    return reinterpret_cast<AXHost*>(SendMessageW(ax, AXM_GETHOST, 0, 0));
}
