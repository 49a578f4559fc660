#include "axhost/FlashNotify.h"

HRESULT STDMETHODCALLTYPE FlashNotify::QueryInterface(REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, DIID__IShockwaveFlashEvents) ||
        IsEqualIID(iid, IID_IDispatch)) {
        *object = this;
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE FlashNotify::AddRef()
{
    return ++refCount;
}

ULONG STDMETHODCALLTYPE FlashNotify::Release()
{
    return --refCount;
}

HRESULT STDMETHODCALLTYPE FlashNotify::GetTypeInfoCount(UINT* count)
{
    if (!count)
        return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE FlashNotify::GetTypeInfo(UINT, LCID, ITypeInfo**)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE FlashNotify::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*)
{
    return E_NOTIMPL;
}

// Every event is accepted; only an external call's argument is checked, and
// nothing is ever answered to the control.
HRESULT STDMETHODCALLTYPE FlashNotify::Invoke(DISPID dispid, REFIID, LCID, WORD, DISPPARAMS* params,
                                              VARIANT*, EXCEPINFO*, UINT*)
{
    if (dispid != DISPID_FLASH_FLASHCALL)
        return S_OK;
    if (!params)
        return E_POINTER;
    if (params->cArgs != 1)
        return E_INVALIDARG;
    // A count without its array is as unusable as no parameter block at all.
    if (!params->rgvarg)
        return E_POINTER;
    if (V_VT(&params->rgvarg[0]) != VT_BSTR)
        return E_INVALIDARG;
    return S_OK;
}
