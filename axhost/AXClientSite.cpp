#include "axhost/AXClientSite.h"

#include "axhost/AXHost.h"

AXClientSite::AXClientSite()
    : refCount(0), window(nullptr), frameWindow(nullptr), inPlaceActive(false), inPlaceWithheld(false),
      eventIid(), host(nullptr)
{
}

AXClientSite::~AXClientSite()
{
}

HRESULT STDMETHODCALLTYPE AXClientSite::QueryInterface(REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (IsEqualIID(iid, IID_IOleClientSite))
        *object = static_cast<IOleClientSite*>(this);
    else if (IsEqualIID(iid, IID_IUnknown))
        *object = static_cast<IOleClientSite*>(this);
    else if (IsEqualIID(iid, IID_IAdviseSink))
        *object = static_cast<IAdviseSink*>(this);
    else if (IsEqualIID(iid, IID_IDispatch))
        *object = static_cast<IDispatch*>(this);
    else if (!IsEqualIID(eventIid, IID_NULL) && IsEqualIID(iid, eventIid)) // unset, it would answer IID_NULL
        *object = static_cast<IDispatch*>(this);
    else if (IsEqualIID(iid, IID_IServiceProvider))
        *object = static_cast<IServiceProvider*>(this);
    else if (!inPlaceWithheld && IsEqualIID(iid, IID_IOleInPlaceSite))
        *object = static_cast<IOleInPlaceSite*>(this);
    else if (!inPlaceWithheld && IsEqualIID(iid, IID_IOleInPlaceFrame))
        *object = static_cast<IOleInPlaceFrame*>(this);
    else if (!inPlaceWithheld && IsEqualIID(iid, IID_IOleInPlaceUIWindow))
        *object = static_cast<IOleInPlaceFrame*>(this);
    if (!*object)
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

// The count never frees: the site lives and dies with its host record.
ULONG STDMETHODCALLTYPE AXClientSite::AddRef()
{
    return ++refCount;
}

ULONG STDMETHODCALLTYPE AXClientSite::Release()
{
    return --refCount;
}

HRESULT STDMETHODCALLTYPE AXClientSite::SaveObject() { return S_OK; }

HRESULT STDMETHODCALLTYPE AXClientSite::GetMoniker(DWORD, DWORD, IMoniker** moniker)
{
    if (moniker)
        *moniker = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE AXClientSite::GetContainer(IOleContainer** container)
{
    if (container)
        *container = nullptr;
    return E_FAIL;
}

HRESULT STDMETHODCALLTYPE AXClientSite::ShowObject() { return S_OK; }

HRESULT STDMETHODCALLTYPE AXClientSite::OnShowWindow(BOOL)
{
    InvalidateRect(window, nullptr, TRUE);
    InvalidateRect(frameWindow, nullptr, TRUE);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE AXClientSite::RequestNewObjectLayout() { return S_OK; }

HRESULT STDMETHODCALLTYPE AXClientSite::QueryService(REFGUID service, REFIID iid, void** object)
{
    if (!host || !host->serviceProvider)
        return E_NOINTERFACE;
    return host->serviceProvider->QueryService(service, iid, object);
}

HRESULT STDMETHODCALLTYPE AXClientSite::GetTypeInfoCount(UINT*) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE AXClientSite::GetTypeInfo(UINT, LCID, ITypeInfo**) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE AXClientSite::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }

// Events are only passed on. The record lives on this stack frame, which is
// why the notification is sent rather than posted; a receiver answers the
// control through the record's pointers.
HRESULT STDMETHODCALLTYPE AXClientSite::Invoke(DISPID dispid, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                                               VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr)
{
    if (!host)
        return S_OK;
    AXEventCall call = {host, dispid, iid, lcid, flags, params, result, excepInfo, argErr};
    if (host->notifyWindow)
        SendMessageW(host->notifyWindow, host->notifyMessage, 0, reinterpret_cast<LPARAM>(&call));
    if (host->eventCallback)
        host->eventCallback(&call);
    return S_OK;
}

void STDMETHODCALLTYPE AXClientSite::OnDataChange(FORMATETC*, STGMEDIUM*) {}
void STDMETHODCALLTYPE AXClientSite::OnViewChange(DWORD, LONG) {}
void STDMETHODCALLTYPE AXClientSite::OnRename(IMoniker*) {}
void STDMETHODCALLTYPE AXClientSite::OnSave() {}
void STDMETHODCALLTYPE AXClientSite::OnClose() {}

// The frame answers with the AX window too: the control lives in it, not in
// the main window.
HRESULT STDMETHODCALLTYPE AXClientSite::GetWindow(HWND* result)
{
    if (!result)
        return E_POINTER;
    *result = window;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE AXClientSite::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }

// Only an activation that the host itself started is allowed.
HRESULT STDMETHODCALLTYPE AXClientSite::CanInPlaceActivate()
{
    return inPlaceActive ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE AXClientSite::OnInPlaceActivate() { return S_OK; }
HRESULT STDMETHODCALLTYPE AXClientSite::OnUIActivate() { return S_OK; }

HRESULT STDMETHODCALLTYPE AXClientSite::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document,
                                                         RECT* position, RECT* clip,
                                                         OLEINPLACEFRAMEINFO* frameInfo)
{
    if (frame) {
        *frame = static_cast<IOleInPlaceFrame*>(this);
        AddRef();
    }
    if (document)
        *document = nullptr;
    RECT client = {0, 0, 0, 0};
    GetClientRect(window, &client);
    if (position)
        *position = client;
    if (clip)
        *clip = client;
    if (frameInfo) {
        frameInfo->cb = sizeof(OLEINPLACEFRAMEINFO);
        frameInfo->fMDIApp = FALSE;
        frameInfo->hwndFrame = frameWindow;
        frameInfo->haccel = nullptr;
        frameInfo->cAccelEntries = 0;
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE AXClientSite::Scroll(SIZE) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE AXClientSite::OnUIDeactivate(BOOL) { return S_OK; }
HRESULT STDMETHODCALLTYPE AXClientSite::OnInPlaceDeactivate() { return S_OK; }
HRESULT STDMETHODCALLTYPE AXClientSite::DiscardUndoState() { return S_OK; }
HRESULT STDMETHODCALLTYPE AXClientSite::DeactivateAndUndo() { return S_OK; }

// Position and size come from the AX window alone.
HRESULT STDMETHODCALLTYPE AXClientSite::OnPosRectChange(const RECT*) { return S_OK; }

HRESULT STDMETHODCALLTYPE AXClientSite::GetBorder(RECT* border)
{
    if (!border)
        return E_POINTER;
    GetClientRect(window, border);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE AXClientSite::RequestBorderSpace(const BORDERWIDTHS*) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE AXClientSite::SetBorderSpace(const BORDERWIDTHS*) { return S_OK; }

// The host's teardown gives back the reference taken here.
HRESULT STDMETHODCALLTYPE AXClientSite::SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR)
{
    if (!host)
        return S_OK;
    if (object)
        object->AddRef();
    IOleInPlaceActiveObject* previous = host->activeObject;
    host->activeObject = object;
    if (previous)
        previous->Release();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE AXClientSite::InsertMenus(HMENU, OLEMENUGROUPWIDTHS*) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE AXClientSite::SetMenu(HMENU, HOLEMENU, HWND) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE AXClientSite::RemoveMenus(HMENU) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE AXClientSite::SetStatusText(LPCOLESTR) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE AXClientSite::EnableModeless(BOOL) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE AXClientSite::TranslateAccelerator(MSG*, WORD) { return E_NOTIMPL; }
