#include "support/DialogWatcher.h"

#include <map>

namespace {

std::map<UINT_PTR, DialogWatcher*>& watchers()
{
    static std::map<UINT_PTR, DialogWatcher*> all;
    return all;
}

struct Search {
    const std::wstring* title;
    HWND found;
};

BOOL CALLBACK matchThreadWindow(HWND window, LPARAM param)
{
    Search* search = reinterpret_cast<Search*>(param);
    wchar_t text[256] = L"";
    GetWindowTextW(window, text, 256);
    if (IsWindowVisible(window) && *search->title == text) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

} // namespace

DialogWatcher::DialogWatcher(std::wstring title, std::function<void(HWND)> act)
    : title_(std::move(title)), act_(std::move(act))
{
    timer_ = SetTimer(nullptr, 0, 10, tick);
    watchers()[timer_] = this;
}

DialogWatcher::~DialogWatcher()
{
    KillTimer(nullptr, timer_);
    watchers().erase(timer_);
}

void CALLBACK DialogWatcher::tick(HWND, UINT, UINT_PTR id, DWORD)
{
    auto it = watchers().find(id);
    if (it == watchers().end())
        return;
    DialogWatcher* self = it->second;
    Search search = {&self->title_, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), matchThreadWindow, reinterpret_cast<LPARAM>(&search));
    if (!search.found) {
        self->last_ = nullptr; // gone: a window with the same handle later is a new one
        return;
    }
    if (search.found == self->last_)
        return;
    self->last_ = search.found;
    ++self->seen_;
    self->act_(search.found);
}

std::wstring dialogItemText(HWND dialog, int id)
{
    wchar_t text[2048] = L"";
    GetDlgItemTextW(dialog, id, text, 2048);
    return text;
}
