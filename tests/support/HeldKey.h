// A key held down as the keyboard holds it: SendInput queues the key press to
// the thread of the foreground window, and that thread (the caller's) takes
// the key message off its queue without dispatching it, so that GetKeyState
// sees the key down while no window of the thread has received anything.
// The destructor lets go the same way.
#pragma once

#include <windows.h>

class HeldKey {
public:
    // `window`, a window of this thread, is made the foreground window first;
    // again if the press went elsewhere (the X server may still be moving the
    // focus after windows of earlier tests came and went).
    HeldKey(WORD key, HWND window);
    ~HeldKey();
    HeldKey(const HeldKey&) = delete;
    HeldKey& operator=(const HeldKey&) = delete;

    // Whether GetKeyState on this thread sees the key down.
    bool down() const;

private:
    WORD key_;
    HWND window_;
};

// Makes the window the foreground window, so that keyboard input comes to
// its thread, and lets the thread handle what that sends and posts. True
// when it is the foreground window then.
bool takeForeground(HWND window);
