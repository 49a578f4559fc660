// The DLL's entry point and the four exports of an in-process COM server.
#include <windows.h>
#include <olectl.h>

#include "movie/ShockwaveFlash.h"
#include "swfcontrol/ClassFactory.h"
#include "swfcontrol/FlashControl.h"
#include "swfcontrol/Module.h"
#include "swfcontrol/Registration.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        setModuleInstance(instance);
        DisableThreadLibraryCalls(instance);
        break;
    case DLL_PROCESS_DETACH:
        // At process exit the classes go with the process.
        if (!reserved)
            FlashControl::unregisterWindowClasses();
        break;
    }
    return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (!IsEqualCLSID(clsid, CLSID_ShockwaveFlash))
        return CLASS_E_CLASSNOTAVAILABLE;
    return ClassFactory::instance().QueryInterface(iid, object);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() { return moduleLockCount() == 0 ? S_OK : S_FALSE; }

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() { return registerServer(HKEY_CLASSES_ROOT, modulePath()); }

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() { return unregisterServer(HKEY_CLASSES_ROOT, modulePath()); }
