#include "swfcontrol/EventConnectionPoint.h"

#include "movie/ShockwaveFlash.h"

EventConnectionPoint::EventConnectionPoint(IConnectionPointContainer* owner) : owner_(owner) {}

EventConnectionPoint::~EventConnectionPoint()
{
    for (auto& sink : sinks_)
        sink.second->Release();
}

STDMETHODIMP EventConnectionPoint::QueryInterface(REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IConnectionPoint))
        *object = static_cast<IConnectionPoint*>(this);
    if (!*object)
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) EventConnectionPoint::AddRef() { return owner_->AddRef(); }

STDMETHODIMP_(ULONG) EventConnectionPoint::Release() { return owner_->Release(); }

STDMETHODIMP EventConnectionPoint::GetConnectionInterface(IID* iid)
{
    if (!iid)
        return E_POINTER;
    *iid = DIID__IShockwaveFlashEvents;
    return S_OK;
}

STDMETHODIMP EventConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** container)
{
    if (!container)
        return E_POINTER;
    *container = owner_;
    owner_->AddRef();
    return S_OK;
}

STDMETHODIMP EventConnectionPoint::Advise(IUnknown* sink, DWORD* cookie)
{
    if (!cookie)
        return E_POINTER;
    *cookie = 0;
    if (!sink)
        return E_POINTER;
    // Sinks written against the dispinterface answer its DIID; plain IDispatch
    // objects, as script hosts hand out, are taken too.
    IDispatch* dispatch = nullptr;
    if (FAILED(sink->QueryInterface(DIID__IShockwaveFlashEvents, reinterpret_cast<void**>(&dispatch))) &&
        FAILED(sink->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch))))
        return CONNECT_E_CANNOTCONNECT;
    *cookie = nextCookie_++;
    sinks_.emplace_back(*cookie, dispatch);
    return S_OK;
}

STDMETHODIMP EventConnectionPoint::Unadvise(DWORD cookie)
{
    for (auto it = sinks_.begin(); it != sinks_.end(); ++it) {
        if (it->first == cookie) {
            IDispatch* sink = it->second;
            sinks_.erase(it);
            sink->Release();
            return S_OK;
        }
    }
    return CONNECT_E_NOCONNECTION;
}

STDMETHODIMP EventConnectionPoint::EnumConnections(IEnumConnections** connections)
{
    if (connections)
        *connections = nullptr;
    return E_NOTIMPL;
}

void EventConnectionPoint::fire(DISPID dispid, VARIANTARG* arguments, UINT count)
{
    // A sink may unadvise itself or others, or release the control, while it
    // handles the event: work on counted copies.
    std::vector<IDispatch*> targets;
    targets.reserve(sinks_.size());
    for (auto& sink : sinks_) {
        sink.second->AddRef();
        targets.push_back(sink.second);
    }
    owner_->AddRef();
    for (IDispatch* target : targets) {
        DISPPARAMS params = {arguments, nullptr, count, 0};
        VARIANT result;
        VariantInit(&result);
        target->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result, nullptr, nullptr);
        VariantClear(&result);
        target->Release();
    }
    owner_->Release();
}

void EventConnectionPoint::fireReadyStateChange(long state)
{
    VARIANTARG argument;
    VariantInit(&argument);
    argument.vt = VT_I4;
    argument.lVal = state;
    fire(DISPID_FLASH_READYSTATECHANGE, &argument, 1);
}

void EventConnectionPoint::fireProgress(long percent)
{
    VARIANTARG argument;
    VariantInit(&argument);
    argument.vt = VT_I4;
    argument.lVal = percent;
    fire(DISPID_FLASH_PROGRESS, &argument, 1);
}

void EventConnectionPoint::fireFsCommand(const wchar_t* command, const wchar_t* args)
{
    VARIANTARG arguments[2];
    VariantInit(&arguments[0]);
    VariantInit(&arguments[1]);
    arguments[0].vt = VT_BSTR;
    arguments[0].bstrVal = SysAllocString(args);
    arguments[1].vt = VT_BSTR;
    arguments[1].bstrVal = SysAllocString(command);
    fire(DISPID_FLASH_FSCOMMAND, arguments, 2);
    VariantClear(&arguments[0]);
    VariantClear(&arguments[1]);
}
