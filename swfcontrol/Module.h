// Process-wide state of the stand-in control's DLL: its instance handle and
// the count of objects and locks that keep it loaded.
#pragma once

#include <windows.h>

#include <string>

HINSTANCE moduleInstance();
void setModuleInstance(HINSTANCE instance);

// Objects, LockServer locks; DllCanUnloadNow answers S_OK only at zero.
void lockModule();
void unlockModule();
LONG moduleLockCount();

// The full path of this DLL (of the executable when linked into one).
std::wstring modulePath();
