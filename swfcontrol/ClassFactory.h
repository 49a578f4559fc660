// The class object of the stand-in control: one static instance, handed out
// by DllGetClassObject, whose reference count never frees it.
#pragma once

#include <windows.h>
#include <unknwn.h>

class ClassFactory : public IClassFactory {
public:
    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IClassFactory
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** object) override;
    STDMETHODIMP LockServer(BOOL lock) override;

    static ClassFactory& instance();
};
