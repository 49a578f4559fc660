// Self-registration of the stand-in control under a classes root
// (HKEY_CLASSES_ROOT for regsvr32; any key in tests). It never replaces
// another server registered for the CLSID, and unregistering removes the
// CLSID's key only while it names this DLL.
#pragma once

#include <windows.h>

#include <string>

HRESULT registerServer(HKEY classesRoot, const std::wstring& dllPath);
HRESULT unregisterServer(HKEY classesRoot, const std::wstring& dllPath);

// The InprocServer32 default value for the Flash CLSID, empty when none.
std::wstring registeredServer(HKEY classesRoot);
