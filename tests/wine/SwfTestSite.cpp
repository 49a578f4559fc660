#include "wine/SwfTestSite.h"

SwfTestSite::SwfTestSite(HWND hostWindow) : window(hostWindow) {}

SwfTestSite::~SwfTestSite()
{
    if (activeObject)
        activeObject->Release();
}

STDMETHODIMP SwfTestSite::QueryInterface(REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleClientSite))
        *object = static_cast<IOleClientSite*>(this);
    else if (IsEqualIID(iid, IID_IOleInPlaceSite))
        *object = static_cast<IOleInPlaceSite*>(this);
    else if (IsEqualIID(iid, IID_IOleInPlaceFrame) || IsEqualIID(iid, IID_IOleInPlaceUIWindow))
        *object = static_cast<IOleInPlaceFrame*>(this);
    if (!*object)
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) SwfTestSite::AddRef() { return ++refCount; }
STDMETHODIMP_(ULONG) SwfTestSite::Release() { return --refCount; }

STDMETHODIMP SwfTestSite::SaveObject() { calls.push_back("SaveObject"); return S_OK; }
STDMETHODIMP SwfTestSite::GetMoniker(DWORD, DWORD, IMoniker** moniker)
{
    if (moniker)
        *moniker = nullptr;
    return E_NOTIMPL;
}
STDMETHODIMP SwfTestSite::GetContainer(IOleContainer** container)
{
    if (container)
        *container = nullptr;
    return E_NOINTERFACE;
}
STDMETHODIMP SwfTestSite::ShowObject() { calls.push_back("ShowObject"); return S_OK; }
STDMETHODIMP SwfTestSite::OnShowWindow(BOOL) { calls.push_back("OnShowWindow"); return S_OK; }
STDMETHODIMP SwfTestSite::RequestNewObjectLayout() { return E_NOTIMPL; }

STDMETHODIMP SwfTestSite::GetWindow(HWND* result)
{
    calls.push_back("GetWindow");
    if (!result)
        return E_POINTER;
    *result = window;
    return S_OK;
}
STDMETHODIMP SwfTestSite::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }

STDMETHODIMP SwfTestSite::CanInPlaceActivate()
{
    calls.push_back("CanInPlaceActivate");
    return allowInPlace ? S_OK : S_FALSE;
}
STDMETHODIMP SwfTestSite::OnInPlaceActivate() { calls.push_back("OnInPlaceActivate"); return S_OK; }
STDMETHODIMP SwfTestSite::OnUIActivate() { calls.push_back("OnUIActivate"); return S_OK; }

STDMETHODIMP SwfTestSite::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, LPRECT position,
                                           LPRECT clip, LPOLEINPLACEFRAMEINFO info)
{
    calls.push_back("GetWindowContext");
    *frame = static_cast<IOleInPlaceFrame*>(this);
    AddRef();
    *document = nullptr;
    GetClientRect(window, position);
    GetClientRect(window, clip);
    info->fMDIApp = FALSE;
    info->hwndFrame = window;
    info->haccel = nullptr;
    info->cAccelEntries = 0;
    return S_OK;
}
STDMETHODIMP SwfTestSite::Scroll(SIZE) { return E_NOTIMPL; }
STDMETHODIMP SwfTestSite::OnUIDeactivate(BOOL) { calls.push_back("OnUIDeactivate"); return S_OK; }
STDMETHODIMP SwfTestSite::OnInPlaceDeactivate() { calls.push_back("OnInPlaceDeactivate"); return S_OK; }
STDMETHODIMP SwfTestSite::DiscardUndoState() { return S_OK; }
STDMETHODIMP SwfTestSite::DeactivateAndUndo() { return S_OK; }
STDMETHODIMP SwfTestSite::OnPosRectChange(LPCRECT) { calls.push_back("OnPosRectChange"); return S_OK; }

STDMETHODIMP SwfTestSite::GetBorder(LPRECT border)
{
    GetClientRect(window, border);
    return S_OK;
}
STDMETHODIMP SwfTestSite::RequestBorderSpace(LPCBORDERWIDTHS) { return E_NOTIMPL; }
STDMETHODIMP SwfTestSite::SetBorderSpace(LPCBORDERWIDTHS) { return S_OK; }

STDMETHODIMP SwfTestSite::SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR)
{
    calls.push_back(object ? "SetActiveObject(object)" : "SetActiveObject(null)");
    if (object)
        object->AddRef();
    if (activeObject)
        activeObject->Release();
    activeObject = object;
    return S_OK;
}
STDMETHODIMP SwfTestSite::InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) { return E_NOTIMPL; }
STDMETHODIMP SwfTestSite::SetMenu(HMENU, HOLEMENU, HWND) { return E_NOTIMPL; }
STDMETHODIMP SwfTestSite::RemoveMenus(HMENU) { return E_NOTIMPL; }
STDMETHODIMP SwfTestSite::SetStatusText(LPCOLESTR) { return E_NOTIMPL; }
STDMETHODIMP SwfTestSite::EnableModeless(BOOL) { return E_NOTIMPL; }
STDMETHODIMP SwfTestSite::TranslateAccelerator(LPMSG, WORD) { return S_FALSE; }
