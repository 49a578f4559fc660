#include "swfcontrol/FlashControl.h"

#include <cmath>
#include <new>

#include "swfcontrol/CallLog.h"
#include "swfcontrol/FormatEnumerator.h"
#include "swfcontrol/Module.h"
#include "swfcontrol/MovieLoader.h"
#include "swfcontrol/MovieLocation.h"

namespace {

const wchar_t stageClass[] = L"QuibbletonSwfStage";
const wchar_t notifyClass[] = L"QuibbletonSwfNotify";
const wchar_t objectName[] = L"Shockwave Flash";

constexpr UINT loadMessage = WM_APP + 1;
constexpr UINT_PTR frameTimer = 1;
// Faster movies are shown at this rate; their frames still follow the clock.
constexpr uint16_t fastestFrameRate = 120 << 8;

constexpr DWORD miscStatus = OLEMISC_RECOMPOSEONRESIZE | OLEMISC_CANTLINKINSIDE | OLEMISC_INSIDEOUT |
                             OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_SETCLIENTSITEFIRST;

bool classesRegistered = false;

LONG pixelsToHimetric(LONG pixels) { return MulDiv(pixels, 2540, 96); }
LONG himetricToPixels(LONG himetric) { return MulDiv(himetric, 96, 2540); }

std::wstring widenMovieText(const std::string& text, unsigned version)
{
    if (text.empty())
        return std::wstring();
    // SWF 6 and later keep strings in UTF-8; earlier ones in the author's code page.
    UINT codePage = version >= 6 ? CP_UTF8 : CP_ACP;
    int units = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(units), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), &out[0], units);
    return out;
}

int formatIndex(const FORMATETC* format)
{
    if (!format || format->dwAspect != DVASPECT_CONTENT)
        return -1;
    std::vector<FORMATETC> formats = FlashControl::dataFormats();
    for (size_t i = 0; i < formats.size(); ++i) {
        if (formats[i].cfFormat == format->cfFormat && (formats[i].tymed & format->tymed))
            return static_cast<int>(i);
    }
    return -1;
}

} // namespace

// ---- Life and identity ----

FlashControl::FlashControl() : events_(this)
{
    lockModule();
    extent_.cx = pixelsToHimetric(550);
    extent_.cy = pixelsToHimetric(400);
    registerWindowClasses();
}

FlashControl::~FlashControl()
{
    cancelLoad();
    destroyStageWindow();
    releaseInPlaceInterfaces();
    if (notifyWindow_)
        DestroyWindow(notifyWindow_);
    if (viewSink_)
        viewSink_->Release();
    if (dataAdvise_)
        dataAdvise_->Release();
    if (oleAdvise_)
        oleAdvise_->Release();
    if (site_)
        site_->Release();
    unlockModule();
}

void FlashControl::registerWindowClasses()
{
    if (classesRegistered)
        return;
    WNDCLASSEXW stage = {};
    stage.cbSize = sizeof stage;
    stage.style = CS_HREDRAW | CS_VREDRAW;
    stage.lpfnWndProc = stageProc;
    stage.hInstance = moduleInstance();
    stage.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    stage.lpszClassName = stageClass;
    RegisterClassExW(&stage);
    WNDCLASSEXW notify = {};
    notify.cbSize = sizeof notify;
    notify.lpfnWndProc = notifyProc;
    notify.hInstance = moduleInstance();
    notify.lpszClassName = notifyClass;
    RegisterClassExW(&notify);
    classesRegistered = true;
}

void FlashControl::unregisterWindowClasses()
{
    if (!classesRegistered)
        return;
    UnregisterClassW(stageClass, moduleInstance());
    UnregisterClassW(notifyClass, moduleInstance());
    classesRegistered = false;
}

STDMETHODIMP FlashControl::QueryInterface(REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, IID_IShockwaveFlash))
        *object = static_cast<IShockwaveFlash*>(this);
    else if (IsEqualIID(iid, IID_IOleObject))
        *object = static_cast<IOleObject*>(this);
    else if (IsEqualIID(iid, IID_IPersist) || IsEqualIID(iid, IID_IPersistStorage))
        *object = static_cast<IPersistStorage*>(this);
    else if (IsEqualIID(iid, IID_IOleWindow) || IsEqualIID(iid, IID_IOleInPlaceObject))
        *object = static_cast<IOleInPlaceObject*>(this);
    else if (IsEqualIID(iid, IID_IOleInPlaceActiveObject))
        *object = static_cast<IOleInPlaceActiveObject*>(this);
    else if (IsEqualIID(iid, IID_IViewObject) || IsEqualIID(iid, IID_IViewObject2))
        *object = static_cast<IViewObject2*>(this);
    else if (IsEqualIID(iid, IID_IDataObject))
        *object = static_cast<IDataObject*>(this);
    else if (IsEqualIID(iid, IID_IConnectionPointContainer))
        *object = static_cast<IConnectionPointContainer*>(this);
    if (!*object)
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) FlashControl::AddRef() { return InterlockedIncrement(&refCount_); }

STDMETHODIMP_(ULONG) FlashControl::Release()
{
    LONG count = InterlockedDecrement(&refCount_);
    if (count == 0)
        delete this;
    return count;
}

// ---- IDispatch ----

STDMETHODIMP FlashControl::GetTypeInfoCount(UINT* count)
{
    if (!count)
        return E_POINTER;
    *count = 0;
    return S_OK;
}

STDMETHODIMP FlashControl::GetTypeInfo(UINT, LCID, ITypeInfo** info)
{
    if (info)
        *info = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP FlashControl::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }

STDMETHODIMP FlashControl::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*)
{
    return E_NOTIMPL;
}

// ---- IShockwaveFlash ----

HRESULT FlashControl::notImplemented(const wchar_t* method)
{
    logCall(method);
    return E_NOTIMPL;
}

STDMETHODIMP FlashControl::put_WMode(BSTR mode)
{
    logCall(L"put_WMode", mode);
    wmode_ = mode ? mode : L"";
    return S_OK;
}

STDMETHODIMP FlashControl::put_FlashVars(BSTR vars)
{
    logCall(L"put_FlashVars", vars);
    flashVars_ = vars ? vars : L"";
    return S_OK;
}

STDMETHODIMP FlashControl::put_Movie(BSTR movie)
{
    logCall(L"put_Movie", movie);
    movie_ = movie ? movie : L"";
    loadMovie(movie_);
    return S_OK;
}

// This control runs no ActionScript, so no movie ever registers a callback.
STDMETHODIMP FlashControl::raw_CallFunction(BSTR request, BSTR* response)
{
    logCall(L"CallFunction", request);
    if (!response)
        return E_POINTER;
    *response = nullptr;
    return E_FAIL;
}

STDMETHODIMP FlashControl::get_ReadyState(long*) { return notImplemented(L"get_ReadyState"); }
STDMETHODIMP FlashControl::get_TotalFrames(long*) { return notImplemented(L"get_TotalFrames"); }
STDMETHODIMP FlashControl::get_Playing(VARIANT_BOOL*) { return notImplemented(L"get_Playing"); }
STDMETHODIMP FlashControl::put_Playing(VARIANT_BOOL) { return notImplemented(L"put_Playing"); }
STDMETHODIMP FlashControl::get_Quality(int*) { return notImplemented(L"get_Quality"); }
STDMETHODIMP FlashControl::put_Quality(int) { return notImplemented(L"put_Quality"); }
STDMETHODIMP FlashControl::get_ScaleMode(int*) { return notImplemented(L"get_ScaleMode"); }
STDMETHODIMP FlashControl::put_ScaleMode(int) { return notImplemented(L"put_ScaleMode"); }
STDMETHODIMP FlashControl::get_AlignMode(int*) { return notImplemented(L"get_AlignMode"); }
STDMETHODIMP FlashControl::put_AlignMode(int) { return notImplemented(L"put_AlignMode"); }
STDMETHODIMP FlashControl::get_BackgroundColor(long*) { return notImplemented(L"get_BackgroundColor"); }
STDMETHODIMP FlashControl::put_BackgroundColor(long) { return notImplemented(L"put_BackgroundColor"); }
STDMETHODIMP FlashControl::get_Loop(VARIANT_BOOL*) { return notImplemented(L"get_Loop"); }
STDMETHODIMP FlashControl::put_Loop(VARIANT_BOOL) { return notImplemented(L"put_Loop"); }
STDMETHODIMP FlashControl::get_Movie(BSTR*) { return notImplemented(L"get_Movie"); }
STDMETHODIMP FlashControl::get_FrameNum(long*) { return notImplemented(L"get_FrameNum"); }
STDMETHODIMP FlashControl::put_FrameNum(long) { return notImplemented(L"put_FrameNum"); }
STDMETHODIMP FlashControl::raw_SetZoomRect(long, long, long, long) { return notImplemented(L"raw_SetZoomRect"); }
STDMETHODIMP FlashControl::raw_Zoom(int) { return notImplemented(L"raw_Zoom"); }
STDMETHODIMP FlashControl::raw_Pan(long, long, int) { return notImplemented(L"raw_Pan"); }
STDMETHODIMP FlashControl::raw_Play() { return notImplemented(L"raw_Play"); }
STDMETHODIMP FlashControl::raw_Stop() { return notImplemented(L"raw_Stop"); }
STDMETHODIMP FlashControl::raw_Back() { return notImplemented(L"raw_Back"); }
STDMETHODIMP FlashControl::raw_Forward() { return notImplemented(L"raw_Forward"); }
STDMETHODIMP FlashControl::raw_Rewind() { return notImplemented(L"raw_Rewind"); }
STDMETHODIMP FlashControl::raw_StopPlay() { return notImplemented(L"raw_StopPlay"); }
STDMETHODIMP FlashControl::raw_GotoFrame(long) { return notImplemented(L"raw_GotoFrame"); }
STDMETHODIMP FlashControl::raw_CurrentFrame(long*) { return notImplemented(L"raw_CurrentFrame"); }
STDMETHODIMP FlashControl::raw_IsPlaying(VARIANT_BOOL*) { return notImplemented(L"raw_IsPlaying"); }
STDMETHODIMP FlashControl::raw_PercentLoaded(long*) { return notImplemented(L"raw_PercentLoaded"); }
STDMETHODIMP FlashControl::raw_FrameLoaded(long, VARIANT_BOOL*) { return notImplemented(L"raw_FrameLoaded"); }
STDMETHODIMP FlashControl::raw_FlashVersion(long*) { return notImplemented(L"raw_FlashVersion"); }
STDMETHODIMP FlashControl::get_WMode(BSTR*) { return notImplemented(L"get_WMode"); }
STDMETHODIMP FlashControl::get_SAlign(BSTR*) { return notImplemented(L"get_SAlign"); }
STDMETHODIMP FlashControl::put_SAlign(BSTR) { return notImplemented(L"put_SAlign"); }
STDMETHODIMP FlashControl::get_Menu(VARIANT_BOOL*) { return notImplemented(L"get_Menu"); }
STDMETHODIMP FlashControl::put_Menu(VARIANT_BOOL) { return notImplemented(L"put_Menu"); }
STDMETHODIMP FlashControl::get_Base(BSTR*) { return notImplemented(L"get_Base"); }
STDMETHODIMP FlashControl::put_Base(BSTR) { return notImplemented(L"put_Base"); }
STDMETHODIMP FlashControl::get_Scale(BSTR*) { return notImplemented(L"get_Scale"); }
STDMETHODIMP FlashControl::put_Scale(BSTR) { return notImplemented(L"put_Scale"); }
STDMETHODIMP FlashControl::get_DeviceFont(VARIANT_BOOL*) { return notImplemented(L"get_DeviceFont"); }
STDMETHODIMP FlashControl::put_DeviceFont(VARIANT_BOOL) { return notImplemented(L"put_DeviceFont"); }
STDMETHODIMP FlashControl::get_EmbedMovie(VARIANT_BOOL*) { return notImplemented(L"get_EmbedMovie"); }
STDMETHODIMP FlashControl::put_EmbedMovie(VARIANT_BOOL) { return notImplemented(L"put_EmbedMovie"); }
STDMETHODIMP FlashControl::get_BGColor(BSTR*) { return notImplemented(L"get_BGColor"); }
STDMETHODIMP FlashControl::put_BGColor(BSTR) { return notImplemented(L"put_BGColor"); }
STDMETHODIMP FlashControl::get_Quality2(BSTR*) { return notImplemented(L"get_Quality2"); }
STDMETHODIMP FlashControl::put_Quality2(BSTR) { return notImplemented(L"put_Quality2"); }
STDMETHODIMP FlashControl::raw_LoadMovie(int, BSTR) { return notImplemented(L"raw_LoadMovie"); }
STDMETHODIMP FlashControl::raw_TGotoFrame(BSTR, long) { return notImplemented(L"raw_TGotoFrame"); }
STDMETHODIMP FlashControl::raw_TGotoLabel(BSTR, BSTR) { return notImplemented(L"raw_TGotoLabel"); }
STDMETHODIMP FlashControl::raw_TCurrentFrame(BSTR, long*) { return notImplemented(L"raw_TCurrentFrame"); }
STDMETHODIMP FlashControl::raw_TCurrentLabel(BSTR, BSTR*) { return notImplemented(L"raw_TCurrentLabel"); }
STDMETHODIMP FlashControl::raw_TPlay(BSTR) { return notImplemented(L"raw_TPlay"); }
STDMETHODIMP FlashControl::raw_TStopPlay(BSTR) { return notImplemented(L"raw_TStopPlay"); }
STDMETHODIMP FlashControl::raw_SetVariable(BSTR, BSTR) { return notImplemented(L"raw_SetVariable"); }
STDMETHODIMP FlashControl::raw_GetVariable(BSTR, BSTR*) { return notImplemented(L"raw_GetVariable"); }
STDMETHODIMP FlashControl::raw_TSetProperty(BSTR, int, BSTR) { return notImplemented(L"raw_TSetProperty"); }
STDMETHODIMP FlashControl::raw_TGetProperty(BSTR, int, BSTR*) { return notImplemented(L"raw_TGetProperty"); }
STDMETHODIMP FlashControl::raw_TCallFrame(BSTR, int) { return notImplemented(L"raw_TCallFrame"); }
STDMETHODIMP FlashControl::raw_TCallLabel(BSTR, BSTR) { return notImplemented(L"raw_TCallLabel"); }
STDMETHODIMP FlashControl::raw_TSetPropertyNum(BSTR, int, double) { return notImplemented(L"raw_TSetPropertyNum"); }
STDMETHODIMP FlashControl::raw_TGetPropertyNum(BSTR, int, double*) { return notImplemented(L"raw_TGetPropertyNum"); }
STDMETHODIMP FlashControl::raw_TGetPropertyAsNumber(BSTR, int, double*) { return notImplemented(L"raw_TGetPropertyAsNumber"); }
STDMETHODIMP FlashControl::get_SWRemote(BSTR*) { return notImplemented(L"get_SWRemote"); }
STDMETHODIMP FlashControl::put_SWRemote(BSTR) { return notImplemented(L"put_SWRemote"); }
STDMETHODIMP FlashControl::get_FlashVars(BSTR*) { return notImplemented(L"get_FlashVars"); }
STDMETHODIMP FlashControl::get_AllowScriptAccess(BSTR*) { return notImplemented(L"get_AllowScriptAccess"); }
STDMETHODIMP FlashControl::put_AllowScriptAccess(BSTR) { return notImplemented(L"put_AllowScriptAccess"); }
STDMETHODIMP FlashControl::get_MovieData(BSTR*) { return notImplemented(L"get_MovieData"); }
STDMETHODIMP FlashControl::put_MovieData(BSTR) { return notImplemented(L"put_MovieData"); }
STDMETHODIMP FlashControl::get_InlineData(IUnknown**) { return notImplemented(L"get_InlineData"); }
STDMETHODIMP FlashControl::put_InlineData(IUnknown*) { return notImplemented(L"put_InlineData"); }
STDMETHODIMP FlashControl::get_SeamlessTabbing(VARIANT_BOOL*) { return notImplemented(L"get_SeamlessTabbing"); }
STDMETHODIMP FlashControl::put_SeamlessTabbing(VARIANT_BOOL) { return notImplemented(L"put_SeamlessTabbing"); }
STDMETHODIMP FlashControl::raw_EnforceLocalSecurity() { return notImplemented(L"raw_EnforceLocalSecurity"); }
STDMETHODIMP FlashControl::get_Profile(VARIANT_BOOL*) { return notImplemented(L"get_Profile"); }
STDMETHODIMP FlashControl::put_Profile(VARIANT_BOOL) { return notImplemented(L"put_Profile"); }
STDMETHODIMP FlashControl::get_ProfileAddress(BSTR*) { return notImplemented(L"get_ProfileAddress"); }
STDMETHODIMP FlashControl::put_ProfileAddress(BSTR) { return notImplemented(L"put_ProfileAddress"); }
STDMETHODIMP FlashControl::get_ProfilePort(long*) { return notImplemented(L"get_ProfilePort"); }
STDMETHODIMP FlashControl::put_ProfilePort(long) { return notImplemented(L"put_ProfilePort"); }
STDMETHODIMP FlashControl::raw_SetReturnValue(BSTR) { return notImplemented(L"raw_SetReturnValue"); }
STDMETHODIMP FlashControl::raw_DisableLocalSecurity() { return notImplemented(L"raw_DisableLocalSecurity"); }
STDMETHODIMP FlashControl::get_AllowNetworking(BSTR*) { return notImplemented(L"get_AllowNetworking"); }
STDMETHODIMP FlashControl::put_AllowNetworking(BSTR) { return notImplemented(L"put_AllowNetworking"); }
STDMETHODIMP FlashControl::get_AllowFullScreen(BSTR*) { return notImplemented(L"get_AllowFullScreen"); }
STDMETHODIMP FlashControl::put_AllowFullScreen(BSTR) { return notImplemented(L"put_AllowFullScreen"); }

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

// ---- IViewObject2 ----

STDMETHODIMP FlashControl::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc, LPCRECTL bounds, LPCRECTL,
                                BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR)
{
    if (aspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    if (!dc || !bounds)
        return E_INVALIDARG;
    RECT area = {bounds->left, bounds->top, bounds->right, bounds->bottom};
    paintStage(dc, area, stage_);
    return S_OK;
}

STDMETHODIMP FlashControl::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** colours)
{
    if (colours)
        *colours = nullptr;
    return S_FALSE;
}

STDMETHODIMP FlashControl::Freeze(DWORD, LONG, void*, DWORD* freeze)
{
    if (freeze)
        *freeze = 0;
    return E_NOTIMPL;
}

STDMETHODIMP FlashControl::Unfreeze(DWORD) { return E_NOTIMPL; }

STDMETHODIMP FlashControl::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink)
{
    if (sink)
        sink->AddRef();
    if (viewSink_)
        viewSink_->Release();
    viewSink_ = sink;
    viewAspects_ = aspects;
    viewFlags_ = flags;
    return S_OK;
}

STDMETHODIMP FlashControl::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink)
{
    if (aspects)
        *aspects = viewAspects_;
    if (flags)
        *flags = viewFlags_;
    if (sink) {
        *sink = viewSink_;
        if (viewSink_)
            viewSink_->AddRef();
    }
    return S_OK;
}

STDMETHODIMP FlashControl::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size)
{
    return GetExtent(aspect, size);
}

// ---- IDataObject ----

std::vector<FORMATETC> FlashControl::dataFormats()
{
    return {
        {CF_ENHMETAFILE, nullptr, DVASPECT_CONTENT, -1, TYMED_ENHMF},
        {CF_METAFILEPICT, nullptr, DVASPECT_CONTENT, -1, TYMED_MFPICT},
        {CF_BITMAP, nullptr, DVASPECT_CONTENT, -1, TYMED_GDI},
    };
}

SIZE FlashControl::pictureSize() const
{
    SIZE size = {himetricToPixels(extent_.cx), himetricToPixels(extent_.cy)};
    RECT client;
    if (stageWindow_ && GetClientRect(stageWindow_, &client)) {
        size.cx = client.right;
        size.cy = client.bottom;
    }
    if (size.cx < 1)
        size.cx = 1;
    if (size.cy < 1)
        size.cy = 1;
    return size;
}

STDMETHODIMP FlashControl::GetData(FORMATETC* format, STGMEDIUM* medium)
{
    if (!format || !medium)
        return E_POINTER;
    int index = formatIndex(format);
    if (index < 0)
        return DV_E_FORMATETC;
    SIZE size = pictureSize();
    RECT area = {0, 0, size.cx, size.cy};
    medium->pUnkForRelease = nullptr;
    switch (dataFormats()[static_cast<size_t>(index)].cfFormat) {
    case CF_ENHMETAFILE: {
        RECT frame = {0, 0, pixelsToHimetric(size.cx), pixelsToHimetric(size.cy)};
        HDC reference = GetDC(nullptr);
        HDC dc = CreateEnhMetaFileW(reference, nullptr, &frame, nullptr);
        ReleaseDC(nullptr, reference);
        if (!dc)
            return E_OUTOFMEMORY;
        paintStage(dc, area, stage_);
        medium->tymed = TYMED_ENHMF;
        medium->hEnhMetaFile = CloseEnhMetaFile(dc);
        return medium->hEnhMetaFile ? S_OK : E_OUTOFMEMORY;
    }
    case CF_METAFILEPICT: {
        HDC dc = CreateMetaFileW(nullptr);
        if (!dc)
            return E_OUTOFMEMORY;
        SetWindowOrgEx(dc, 0, 0, nullptr);
        SetWindowExtEx(dc, size.cx, size.cy, nullptr);
        paintStage(dc, area, stage_);
        HMETAFILE metafile = CloseMetaFile(dc);
        HGLOBAL memory = metafile ? GlobalAlloc(GMEM_MOVEABLE, sizeof(METAFILEPICT)) : nullptr;
        METAFILEPICT* picture = memory ? static_cast<METAFILEPICT*>(GlobalLock(memory)) : nullptr;
        if (!picture) {
            if (memory)
                GlobalFree(memory);
            if (metafile)
                DeleteMetaFile(metafile);
            return E_OUTOFMEMORY;
        }
        picture->mm = MM_ANISOTROPIC;
        picture->xExt = pixelsToHimetric(size.cx);
        picture->yExt = pixelsToHimetric(size.cy);
        picture->hMF = metafile;
        GlobalUnlock(memory);
        medium->tymed = TYMED_MFPICT;
        medium->hMetaFilePict = memory;
        return S_OK;
    }
    default: {
        HDC screen = GetDC(nullptr);
        HDC dc = CreateCompatibleDC(screen);
        HBITMAP bitmap = CreateCompatibleBitmap(screen, size.cx, size.cy);
        ReleaseDC(nullptr, screen);
        if (!dc || !bitmap) {
            if (dc)
                DeleteDC(dc);
            if (bitmap)
                DeleteObject(bitmap);
            return E_OUTOFMEMORY;
        }
        HGDIOBJ old = SelectObject(dc, bitmap);
        paintStage(dc, area, stage_);
        SelectObject(dc, old);
        DeleteDC(dc);
        medium->tymed = TYMED_GDI;
        medium->hBitmap = bitmap;
        return S_OK;
    }
    }
}

STDMETHODIMP FlashControl::GetDataHere(FORMATETC*, STGMEDIUM*) { return E_NOTIMPL; }

STDMETHODIMP FlashControl::QueryGetData(FORMATETC* format)
{
    if (!format)
        return E_POINTER;
    return formatIndex(format) >= 0 ? S_OK : DV_E_FORMATETC;
}

STDMETHODIMP FlashControl::GetCanonicalFormatEtc(FORMATETC* format, FORMATETC* canonical)
{
    if (!format || !canonical)
        return E_POINTER;
    *canonical = *format;
    canonical->ptd = nullptr;
    return DATA_S_SAMEFORMATETC;
}

STDMETHODIMP FlashControl::SetData(FORMATETC*, STGMEDIUM*, BOOL) { return E_NOTIMPL; }

STDMETHODIMP FlashControl::EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats)
{
    if (!formats)
        return E_POINTER;
    *formats = nullptr;
    if (direction != DATADIR_GET)
        return E_NOTIMPL;
    *formats = new (std::nothrow) FormatEnumerator(dataFormats());
    return *formats ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP FlashControl::DAdvise(FORMATETC* format, DWORD flags, IAdviseSink* sink, DWORD* connection)
{
    if (!connection)
        return E_POINTER;
    *connection = 0;
    if (!dataAdvise_ && FAILED(CreateDataAdviseHolder(&dataAdvise_)))
        return E_OUTOFMEMORY;
    return dataAdvise_->Advise(static_cast<IDataObject*>(this), format, flags, sink, connection);
}

STDMETHODIMP FlashControl::DUnadvise(DWORD connection)
{
    return dataAdvise_ ? dataAdvise_->Unadvise(connection) : OLE_E_NOCONNECTION;
}

STDMETHODIMP FlashControl::EnumDAdvise(IEnumSTATDATA** advise)
{
    if (!advise)
        return E_POINTER;
    *advise = nullptr;
    return dataAdvise_ ? dataAdvise_->EnumAdvise(advise) : E_FAIL;
}

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

// ---- Loading ----

void FlashControl::setStatus(StageStatus status, const std::wstring& message)
{
    stage_.status = status;
    stage_.message = message;
    if (!stageWindow_)
        return;
    if (status != StageStatus::Playing)
        KillTimer(stageWindow_, frameTimer);
    SetWindowTextW(stageWindow_, stageSummary(stage_).c_str());
    InvalidateRect(stageWindow_, nullptr, FALSE);
}

void FlashControl::cancelLoad()
{
    if (job_) {
        job_->cancel();
        job_.reset();
    }
}

void FlashControl::loadMovie(const std::wstring& text)
{
    cancelLoad();
    ++generation_;
    fsCommands_.clear();
    reportedPercent_ = -1;
    MovieLocation location = locateMovie(text);
    if (location.kind == MovieLocation::None) {
        // An empty movie unloads what played.
        setStatus(StageStatus::Empty, std::wstring());
        contentChanged();
        return;
    }
    stage_.percent = -1;
    setStatus(StageStatus::Loading, L"Loading " + location.target + L"\x2026");
    // Made by the first load: a control that never gets a movie needs none.
    if (!notifyWindow_)
        notifyWindow_ =
            CreateWindowExW(0, notifyClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, moduleInstance(), this);
    job_ = startLoad(location, notifyWindow_, loadMessage, generation_);
}

void FlashControl::onLoadEvents(WPARAM generation)
{
    if (!job_ || generation != generation_)
        return; // a report of a load that was replaced or cancelled
    AddRef(); // an event sink may release the control
    std::shared_ptr<LoadJob> job = job_;
    for (const LoadEvent& event : job->takeEvents()) {
        if (generation != generation_)
            break; // a sink started another load
        switch (event.kind) {
        case LoadEvent::Started:
            events_.fireReadyStateChange(0);
            break;
        case LoadEvent::Progress:
            stage_.percent = event.percent;
            if (stageWindow_)
                InvalidateRect(stageWindow_, nullptr, FALSE);
            reportedPercent_ = event.percent;
            events_.fireProgress(event.percent);
            break;
        case LoadEvent::Done:
            job_.reset();
            applyOutcome(*job);
            if (job->ok() && reportedPercent_ < 100) {
                reportedPercent_ = 100;
                events_.fireProgress(100);
            }
            if (generation != generation_)
                break;
            events_.fireReadyStateChange(4);
            if (generation == generation_ && job->ok())
                startPlaying();
            break;
        }
    }
    Release();
}

void FlashControl::applyOutcome(const LoadJob& job)
{
    if (job.ok()) {
        const swf::Movie& movie = job.movie();
        stage_.width = movie.widthPixels();
        stage_.height = movie.heightPixels();
        stage_.background = RGB(movie.red, movie.green, movie.blue);
        stage_.version = movie.version;
        stage_.frameRate = movie.frameRate;
        stage_.frameCount = movie.frameCount();
        stage_.frame = 0;
        fsCommands_ = movie.fsCommands;
        setStatus(StageStatus::Playing, std::wstring());
    } else {
        setStatus(StageStatus::Failed, job.reason());
    }
    contentChanged();
}

void FlashControl::contentChanged()
{
    if (viewSink_ && (viewAspects_ & DVASPECT_CONTENT)) {
        IAdviseSink* sink = viewSink_;
        if (viewFlags_ & ADVF_ONLYONCE)
            viewSink_ = nullptr;
        else
            sink->AddRef();
        sink->OnViewChange(DVASPECT_CONTENT, -1);
        sink->Release();
    }
    if (dataAdvise_)
        dataAdvise_->SendOnDataChange(static_cast<IDataObject*>(this), 0, 0);
}

// ---- Playing ----

uint64_t FlashControl::framesElapsed() const
{
    uint16_t rate = stage_.frameRate < fastestFrameRate ? stage_.frameRate : fastestFrameRate;
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    double seconds = static_cast<double>(now.QuadPart - playStart_.QuadPart) / static_cast<double>(frequency.QuadPart);
    return static_cast<uint64_t>(seconds * rate / 256.0);
}

void FlashControl::startPlaying()
{
    QueryPerformanceCounter(&playStart_);
    shownFrames_ = 0;
    stage_.frame = 0;
    scheduleFrameTimer();
    runFrameActions(0);
}

// One timer for the next frame's start, set anew at each frame: the frames
// keep pace with the clock, and a still movie costs nothing.
void FlashControl::scheduleFrameTimer()
{
    if (!stageWindow_)
        return;
    uint16_t rate = stage_.frameRate < fastestFrameRate ? stage_.frameRate : fastestFrameRate;
    if (stage_.status != StageStatus::Playing || stage_.frameCount <= 1 || rate == 0) {
        KillTimer(stageWindow_, frameTimer);
        return;
    }
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    double seconds = static_cast<double>(now.QuadPart - playStart_.QuadPart) / static_cast<double>(frequency.QuadPart);
    double fps = rate / 256.0;
    double next = (std::floor(seconds * fps) + 1) / fps;
    UINT delay = static_cast<UINT>(std::ceil((next - seconds) * 1000.0));
    SetTimer(stageWindow_, frameTimer, delay ? delay : 1, nullptr);
}

void FlashControl::onFrameTimer()
{
    if (stage_.status != StageStatus::Playing || !stageWindow_)
        return;
    uint64_t now = framesElapsed();
    if (now != shownFrames_) {
        uint32_t count = stage_.frameCount ? stage_.frameCount : 1;
        uint64_t first = now - shownFrames_ > count ? now - count + 1 : shownFrames_ + 1;
        shownFrames_ = now;
        stage_.frame = static_cast<uint32_t>(now % count);
        RECT client;
        GetClientRect(stageWindow_, &client);
        RECT indicator = frameIndicatorRect(client, stage_);
        // Once the stage has moved on the screen, the whole of it, as the real
        // control draws every frame: a container that moves us while it
        // resizes may then erase its background over the bits that were moved
        // with us (a parent without WS_CLIPCHILDREN), without invalidating us.
        RECT onScreen;
        GetWindowRect(stageWindow_, &onScreen);
        bool moved = onScreen.left != shownAt_.x || onScreen.top != shownAt_.y;
        shownAt_ = {onScreen.left, onScreen.top};
        InvalidateRect(stageWindow_, moved ? nullptr : &indicator, FALSE);
        if (!fsCommands_.empty()) {
            AddRef(); // an event sink may release the control
            WPARAM generation = generation_;
            for (uint64_t frame = first; frame <= now && generation == generation_; ++frame)
                runFrameActions(static_cast<uint32_t>(frame % count));
            bool replaced = generation != generation_;
            Release();
            if (replaced)
                return;
        }
    }
    scheduleFrameTimer();
}

void FlashControl::runFrameActions(uint32_t frame)
{
    std::vector<std::pair<std::wstring, std::wstring>> due;
    for (const swf::FsCommand& command : fsCommands_) {
        if (command.frame == frame)
            due.emplace_back(widenMovieText(command.command, stage_.version),
                             widenMovieText(command.args, stage_.version));
    }
    for (const auto& command : due)
        events_.fireFsCommand(command.first.c_str(), command.second.c_str());
}

// ---- Windows ----

void FlashControl::paint(HDC dc, const RECT& paintRect)
{
    int width = paintRect.right - paintRect.left, height = paintRect.bottom - paintRect.top;
    if (width <= 0 || height <= 0)
        return;
    RECT client;
    GetClientRect(stageWindow_, &client);
    // Drawn off screen and copied in one go, so that a frame never flickers.
    HDC memory = CreateCompatibleDC(dc);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, width, height);
    if (!memory || !bitmap) {
        if (memory)
            DeleteDC(memory);
        if (bitmap)
            DeleteObject(bitmap);
        paintStage(dc, client, stage_);
        return;
    }
    HGDIOBJ old = SelectObject(memory, bitmap);
    SetViewportOrgEx(memory, -paintRect.left, -paintRect.top, nullptr);
    paintStage(memory, client, stage_);
    SetViewportOrgEx(memory, 0, 0, nullptr);
    BitBlt(dc, paintRect.left, paintRect.top, width, height, memory, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
}

LRESULT CALLBACK FlashControl::stageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        CREATESTRUCTW* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    FlashControl* control = reinterpret_cast<FlashControl*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT paintInfo;
        HDC dc = BeginPaint(window, &paintInfo);
        if (control && control->stageWindow_ == window)
            control->paint(dc, paintInfo.rcPaint);
        EndPaint(window, &paintInfo);
        return 0;
    }
    case WM_PRINTCLIENT:
        if (control) {
            RECT client;
            GetClientRect(window, &client);
            paintStage(reinterpret_cast<HDC>(wParam), client, control->stage_);
        }
        return 0;
    case WM_TIMER:
        if (control && wParam == frameTimer)
            control->onFrameTimer();
        return 0;
    case WM_NCDESTROY:
        // Destroyed with its parent, before the host deactivated us: forget it.
        if (control && control->stageWindow_ == window)
            control->stageWindow_ = nullptr;
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK FlashControl::notifyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        CREATESTRUCTW* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    FlashControl* control = reinterpret_cast<FlashControl*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == loadMessage) {
        if (control)
            control->onLoadEvents(wParam);
        return 0;
    }
    if (message == WM_NCDESTROY)
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    return DefWindowProcW(window, message, wParam, lParam);
}
