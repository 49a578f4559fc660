#include "wine/SwfEventRecorder.h"

#include "movie/ShockwaveFlash.h"
#include "support/ProcessDriver.h"

bool SwfEventRecorder::sawReadyState(long state) const
{
    for (const RecordedEvent& e : events) {
        if (e.dispid == DISPID_FLASH_READYSTATECHANGE && e.numbers.size() == 1 && e.numbers[0] == state)
            return true;
    }
    return false;
}

std::vector<std::string> SwfEventRecorder::summary() const
{
    std::vector<std::string> lines;
    for (const RecordedEvent& e : events) {
        switch (e.dispid) {
        case DISPID_FLASH_READYSTATECHANGE:
            lines.push_back("ready " + std::to_string(e.numbers.empty() ? -1 : e.numbers[0]));
            break;
        case DISPID_FLASH_PROGRESS:
            lines.push_back("progress " + std::to_string(e.numbers.empty() ? -1 : e.numbers[0]));
            break;
        case DISPID_FLASH_FSCOMMAND:
            lines.push_back("fscommand " + (e.texts.size() == 2 ? narrow(e.texts[0]) + "/" + narrow(e.texts[1]) : "?"));
            break;
        default:
            lines.push_back("dispid " + std::to_string(e.dispid));
        }
    }
    return lines;
}

STDMETHODIMP SwfEventRecorder::QueryInterface(REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, DIID__IShockwaveFlashEvents))
        *object = static_cast<IDispatch*>(this);
    if (!*object)
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) SwfEventRecorder::AddRef() { return ++refCount; }
STDMETHODIMP_(ULONG) SwfEventRecorder::Release() { return --refCount; }

STDMETHODIMP SwfEventRecorder::GetTypeInfoCount(UINT* count)
{
    if (!count)
        return E_POINTER;
    *count = 0;
    return S_OK;
}

STDMETHODIMP SwfEventRecorder::GetTypeInfo(UINT, LCID, ITypeInfo**) { return E_NOTIMPL; }

STDMETHODIMP SwfEventRecorder::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }

STDMETHODIMP SwfEventRecorder::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                      UINT*)
{
    RecordedEvent event;
    event.dispid = id;
    event.flags = flags;
    if (params) {
        event.namedArgs = params->cNamedArgs;
        event.namedIdsNull = params->rgdispidNamedArgs == nullptr;
        for (UINT i = params->cArgs; i-- > 0;) {
            const VARIANTARG& arg = params->rgvarg[i];
            event.types.push_back(arg.vt);
            event.numbers.push_back(arg.vt == VT_I4 ? arg.lVal : 0);
            event.texts.push_back(arg.vt == VT_BSTR && arg.bstrVal ? std::wstring(arg.bstrVal) : std::wstring());
        }
    }
    events.push_back(event);
    return S_OK;
}
