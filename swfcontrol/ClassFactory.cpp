#include "swfcontrol/ClassFactory.h"

#include <new>

#include "swfcontrol/FlashControl.h"
#include "swfcontrol/Module.h"

ClassFactory& ClassFactory::instance()
{
    static ClassFactory factory;
    return factory;
}

STDMETHODIMP ClassFactory::QueryInterface(REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory))
        *object = static_cast<IClassFactory*>(this);
    if (!*object)
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

// A class object handed out keeps the DLL loaded, as a lock would.
STDMETHODIMP_(ULONG) ClassFactory::AddRef()
{
    lockModule();
    return 2;
}

STDMETHODIMP_(ULONG) ClassFactory::Release()
{
    unlockModule();
    return 1;
}

STDMETHODIMP ClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    FlashControl* control = new (std::nothrow) FlashControl();
    if (!control)
        return E_OUTOFMEMORY;
    HRESULT hr = control->QueryInterface(iid, object);
    control->Release(); // the creation reference; a failed QueryInterface frees it
    return hr;
}

STDMETHODIMP ClassFactory::LockServer(BOOL lock)
{
    if (lock)
        lockModule();
    else
        unlockModule();
    return S_OK;
}
