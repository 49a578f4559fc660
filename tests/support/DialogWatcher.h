// Watches for a dialog that a modal call opens on this thread, and acts on it
// from inside that dialog's own modal loop.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

class DialogWatcher {
public:
    // Looks every few milliseconds for a visible window of this thread titled
    // `title`; when found, calls `act` once with it.
    DialogWatcher(std::wstring title, std::function<void(HWND)> act);
    ~DialogWatcher();
    DialogWatcher(const DialogWatcher&) = delete;
    DialogWatcher& operator=(const DialogWatcher&) = delete;

    int timesSeen() const { return seen_; }

private:
    static void CALLBACK tick(HWND, UINT, UINT_PTR id, DWORD);

    std::wstring title_;
    std::function<void(HWND)> act_;
    UINT_PTR timer_ = 0;
    int seen_ = 0;
    HWND last_ = nullptr;
};

std::wstring dialogItemText(HWND dialog, int id);
