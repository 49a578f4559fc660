#include "swfcontrol/Module.h"

namespace {

HINSTANCE instance = nullptr;
LONG locks = 0;

} // namespace

HINSTANCE moduleInstance()
{
    // Linked into a test program there is no DllMain: the program's own module serves.
    return instance ? instance : GetModuleHandleW(nullptr);
}

void setModuleInstance(HINSTANCE value) { instance = value; }

void lockModule() { InterlockedIncrement(&locks); }

void unlockModule() { InterlockedDecrement(&locks); }

LONG moduleLockCount() { return InterlockedCompareExchange(&locks, 0, 0); }

std::wstring modulePath()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetModuleFileNameW(moduleInstance(), &path[0], static_cast<DWORD>(path.size()));
        if (length == 0)
            return std::wstring();
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}
