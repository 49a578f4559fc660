#include "swfcontrol/FlashControl.h"

#include "swfcontrol/FlashControlParts.h"
#include "swfcontrol/Module.h"

using namespace flash_control;

namespace {

constexpr DWORD miscStatus = OLEMISC_RECOMPOSEONRESIZE | OLEMISC_CANTLINKINSIDE | OLEMISC_INSIDEOUT |
                             OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_SETCLIENTSITEFIRST;

} // namespace

// ---- IOleObject ----

STDMETHODIMP FlashControl::SetClientSite(IOleClientSite* site)
{
    if (site)
        site->AddRef();
    if (site_)
        site_->Release();
    site_ = site;
    return S_OK;
}

STDMETHODIMP FlashControl::GetClientSite(IOleClientSite** site)
{
    if (!site)
        return E_POINTER;
    *site = site_;
    if (site_)
        site_->AddRef();
    return S_OK;
}

STDMETHODIMP FlashControl::SetHostNames(LPCOLESTR, LPCOLESTR) { return S_OK; }

STDMETHODIMP FlashControl::Close(DWORD)
{
    AddRef(); // the site may let go of us while we tell it
    InPlaceDeactivate();
    cancelLoad();
    if (oleAdvise_)
        oleAdvise_->SendOnClose();
    Release();
    return S_OK;
}

STDMETHODIMP FlashControl::SetMoniker(DWORD, IMoniker*) { return E_NOTIMPL; }

STDMETHODIMP FlashControl::GetMoniker(DWORD, DWORD, IMoniker** moniker)
{
    if (moniker)
        *moniker = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP FlashControl::InitFromData(IDataObject*, BOOL, DWORD) { return E_NOTIMPL; }

STDMETHODIMP FlashControl::GetClipboardData(DWORD, IDataObject** data)
{
    if (data)
        *data = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP FlashControl::DoVerb(LONG verb, LPMSG, IOleClientSite* activeSite, LONG, HWND parent, LPCRECT position)
{
    switch (verb) {
    case OLEIVERB_INPLACEACTIVATE:
        return activate(activeSite, parent, position, false);
    case OLEIVERB_PRIMARY:
    case OLEIVERB_SHOW:
    case OLEIVERB_UIACTIVATE:
        return activate(activeSite, parent, position, true);
    case OLEIVERB_HIDE:
        UIDeactivate();
        if (stageWindow_)
            ShowWindow(stageWindow_, SW_HIDE);
        return S_OK;
    default:
        return verb > 0 ? OLEOBJ_S_INVALIDVERB : E_NOTIMPL;
    }
}

STDMETHODIMP FlashControl::EnumVerbs(IEnumOLEVERB** verbs)
{
    if (verbs)
        *verbs = nullptr;
    return OLE_S_USEREG;
}

STDMETHODIMP FlashControl::Update() { return S_OK; }

STDMETHODIMP FlashControl::IsUpToDate() { return S_OK; }

STDMETHODIMP FlashControl::GetUserClassID(CLSID* clsid)
{
    if (!clsid)
        return E_POINTER;
    *clsid = CLSID_ShockwaveFlash;
    return S_OK;
}

STDMETHODIMP FlashControl::GetUserType(DWORD, LPOLESTR* type)
{
    if (type)
        *type = nullptr;
    return OLE_S_USEREG;
}

STDMETHODIMP FlashControl::SetExtent(DWORD aspect, SIZEL* size)
{
    if (!size)
        return E_POINTER;
    if (aspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    extent_ = *size;
    return S_OK;
}

STDMETHODIMP FlashControl::GetExtent(DWORD aspect, SIZEL* size)
{
    if (!size)
        return E_POINTER;
    if (aspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    *size = extent_;
    return S_OK;
}

STDMETHODIMP FlashControl::Advise(IAdviseSink* sink, DWORD* connection)
{
    if (!connection)
        return E_POINTER;
    *connection = 0;
    if (!oleAdvise_ && FAILED(CreateOleAdviseHolder(&oleAdvise_)))
        return E_OUTOFMEMORY;
    return oleAdvise_->Advise(sink, connection);
}

STDMETHODIMP FlashControl::Unadvise(DWORD connection)
{
    return oleAdvise_ ? oleAdvise_->Unadvise(connection) : OLE_E_NOCONNECTION;
}

STDMETHODIMP FlashControl::EnumAdvise(IEnumSTATDATA** advise)
{
    if (!advise)
        return E_POINTER;
    *advise = nullptr;
    return oleAdvise_ ? oleAdvise_->EnumAdvise(advise) : E_FAIL;
}

STDMETHODIMP FlashControl::GetMiscStatus(DWORD, DWORD* status)
{
    if (!status)
        return E_POINTER;
    *status = miscStatus;
    return S_OK;
}

STDMETHODIMP FlashControl::SetColorScheme(LOGPALETTE*) { return E_NOTIMPL; }

// ---- IPersistStorage ----

STDMETHODIMP FlashControl::GetClassID(CLSID* clsid) { return GetUserClassID(clsid); }

STDMETHODIMP FlashControl::IsDirty() { return S_FALSE; }

STDMETHODIMP FlashControl::InitNew(IStorage*) { return S_OK; }

STDMETHODIMP FlashControl::Load(IStorage*) { return S_OK; }

STDMETHODIMP FlashControl::Save(IStorage*, BOOL) { return S_OK; }

STDMETHODIMP FlashControl::SaveCompleted(IStorage*) { return S_OK; }

STDMETHODIMP FlashControl::HandsOffStorage() { return S_OK; }

// ---- In-place activation ----

HRESULT FlashControl::activate(IOleClientSite* activeSite, HWND parent, LPCRECT position, bool uiActivate)
{
    if (!inPlaceActive_) {
        IOleClientSite* site = activeSite ? activeSite : site_;
        if (!site)
            return E_UNEXPECTED;
        IOleInPlaceSite* inPlaceSite = nullptr;
        if (FAILED(site->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(&inPlaceSite))) || !inPlaceSite)
            return E_NOINTERFACE;
        if (inPlaceSite->CanInPlaceActivate() != S_OK) {
            inPlaceSite->Release();
            return E_FAIL;
        }
        inPlaceSite->OnInPlaceActivate();
        inPlaceSite_ = inPlaceSite;
        inPlaceActive_ = true;

        HWND siteWindow = nullptr;
        inPlaceSite->GetWindow(&siteWindow);
        RECT place = {}, clip = {};
        OLEINPLACEFRAMEINFO frameInfo = {};
        frameInfo.cb = sizeof frameInfo;
        inPlaceSite->GetWindowContext(&frame_, &document_, &place, &clip, &frameInfo);
        if (position)
            place = *position;
        HWND container = siteWindow ? siteWindow : parent;
        stageWindow_ = container ? CreateWindowExW(0, stageClass, stageSummary(stage_).c_str(),
                                                   WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN,
                                                   place.left, place.top, place.right - place.left,
                                                   place.bottom - place.top, container, nullptr, moduleInstance(), this)
                                 : nullptr;
        if (!stageWindow_) {
            InPlaceDeactivate();
            return E_FAIL;
        }
        if (frame_)
            frame_->SetActiveObject(static_cast<IOleInPlaceActiveObject*>(this), objectName);
        scheduleFrameTimer();
    } else if (stageWindow_ && !(GetWindowLongW(stageWindow_, GWL_STYLE) & WS_VISIBLE)) {
        ShowWindow(stageWindow_, SW_SHOWNA); // shown again after OLEIVERB_HIDE
    }
    if (uiActivate && !uiActive_) {
        uiActive_ = true;
        inPlaceSite_->OnUIActivate();
        if (document_)
            document_->SetActiveObject(static_cast<IOleInPlaceActiveObject*>(this), objectName);
    }
    return S_OK;
}

void FlashControl::destroyStageWindow()
{
    if (!stageWindow_)
        return;
    HWND window = stageWindow_;
    stageWindow_ = nullptr;
    KillTimer(window, frameTimer);
    DestroyWindow(window);
}

void FlashControl::releaseInPlaceInterfaces()
{
    if (frame_)
        frame_->Release();
    if (document_)
        document_->Release();
    if (inPlaceSite_)
        inPlaceSite_->Release();
    frame_ = nullptr;
    document_ = nullptr;
    inPlaceSite_ = nullptr;
}

STDMETHODIMP FlashControl::GetWindow(HWND* window)
{
    if (!window)
        return E_POINTER;
    *window = stageWindow_;
    return stageWindow_ ? S_OK : E_FAIL;
}

STDMETHODIMP FlashControl::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }

STDMETHODIMP FlashControl::InPlaceDeactivate()
{
    if (!inPlaceActive_)
        return S_OK;
    AddRef(); // the frame may hold our last reference as its active object
    UIDeactivate();
    inPlaceActive_ = false;
    destroyStageWindow();
    if (frame_)
        frame_->SetActiveObject(nullptr, nullptr);
    IOleInPlaceSite* site = inPlaceSite_;
    inPlaceSite_ = nullptr;
    releaseInPlaceInterfaces();
    if (site) {
        site->OnInPlaceDeactivate();
        site->Release();
    }
    Release();
    return S_OK;
}

STDMETHODIMP FlashControl::UIDeactivate()
{
    if (!uiActive_)
        return S_OK;
    uiActive_ = false;
    if (document_)
        document_->SetActiveObject(nullptr, nullptr);
    if (inPlaceSite_)
        inPlaceSite_->OnUIDeactivate(FALSE);
    return S_OK;
}

STDMETHODIMP FlashControl::SetObjectRects(LPCRECT position, LPCRECT)
{
    if (!position)
        return E_POINTER;
    if (!stageWindow_)
        return E_UNEXPECTED;
    MoveWindow(stageWindow_, position->left, position->top, position->right - position->left,
               position->bottom - position->top, TRUE);
    return S_OK;
}

STDMETHODIMP FlashControl::ReactivateAndUndo() { return E_NOTIMPL; }

STDMETHODIMP FlashControl::TranslateAccelerator(LPMSG) { return S_FALSE; }

STDMETHODIMP FlashControl::OnFrameWindowActivate(BOOL) { return S_OK; }

STDMETHODIMP FlashControl::OnDocWindowActivate(BOOL) { return S_OK; }

STDMETHODIMP FlashControl::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) { return S_OK; }

STDMETHODIMP FlashControl::EnableModeless(BOOL) { return S_OK; }

// ---- IConnectionPointContainer ----

STDMETHODIMP FlashControl::EnumConnectionPoints(IEnumConnectionPoints** points)
{
    if (points)
        *points = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP FlashControl::FindConnectionPoint(REFIID iid, IConnectionPoint** point)
{
    if (!point)
        return E_POINTER;
    *point = nullptr;
    if (!IsEqualIID(iid, DIID__IShockwaveFlashEvents))
        return CONNECT_E_NOCONNECTION;
    *point = &events_;
    events_.AddRef();
    return S_OK;
}
