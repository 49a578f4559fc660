#include "support/HeldKey.h"

namespace {

void sendKey(WORD key, bool down)
{
    INPUT input;
    ZeroMemory(&input, sizeof input);
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    SendInput(1, &input, sizeof input);
}

bool isDown(WORD key)
{
    return (GetKeyState(key) & 0x8000) != 0;
}

// Takes keyboard messages off the queue, undispatched, until GetKeyState
// sees the key in that state or about a fifth of a second has passed.
bool awaitKeyState(WORD key, bool down)
{
    for (int round = 0; round < 20; ++round) {
        MSG message;
        while (PeekMessageW(&message, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
        }
        if (isDown(key) == down)
            return true;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_INPUT);
    }
    return false;
}

// Sends the key until this thread sees it in that state.
void press(WORD key, HWND window, bool down)
{
    for (int attempt = 0; attempt < 10; ++attempt) {
        takeForeground(window);
        sendKey(key, down);
        if (awaitKeyState(key, down))
            return;
    }
}

} // namespace

bool takeForeground(HWND window)
{
    SetForegroundWindow(window);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return GetForegroundWindow() == window;
}

HeldKey::HeldKey(WORD key, HWND window) : key_(key), window_(window)
{
    press(key_, window_, true);
}

HeldKey::~HeldKey()
{
    press(key_, window_, false);
}

bool HeldKey::down() const
{
    return isDown(key_);
}
