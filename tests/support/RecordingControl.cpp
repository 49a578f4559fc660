#include "support/RecordingControl.h"

#include <olectl.h>

#include <algorithm>
#include <cstdio>

namespace {

std::string utf8(const wchar_t* text, size_t units)
{
    if (!text || units == 0)
        return std::string();
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(units), nullptr, 0, nullptr, nullptr);
    std::string out(bytes, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(units), &out[0], bytes, nullptr, nullptr);
    return out;
}

// By the length prefix: a plain wide string handed over as a BSTR shows up garbled.
std::string bstrText(BSTR text)
{
    return utf8(text, SysStringLen(text));
}

std::string wideText(const wchar_t* text)
{
    return text ? utf8(text, wcslen(text)) : std::string("null");
}

std::string object(const void* pointer)
{
    return pointer ? "obj" : "null";
}

std::string number(long long value)
{
    return std::to_string(value);
}

std::string rect(const RECT* r)
{
    if (!r)
        return "null";
    return number(r->left) + "," + number(r->top) + "," + number(r->right) + "," + number(r->bottom);
}

struct NamedIid {
    const IID* iid;
    const char* name;
};

const NamedIid knownIids[] = {
    {&IID_IUnknown, "IUnknown"},
    {&IID_IOleObject, "IOleObject"},
    {&IID_IPersistStorage, "IPersistStorage"},
    {&IID_IPersist, "IPersist"},
    {&IID_IPersistStreamInit, "IPersistStreamInit"},
    {&IID_IRunnableObject, "IRunnableObject"},
    {&IID_IOleWindow, "IOleWindow"},
    {&IID_IOleInPlaceObject, "IOleInPlaceObject"},
    {&IID_IOleInPlaceActiveObject, "IOleInPlaceActiveObject"},
    {&IID_IViewObject, "IViewObject"},
    {&IID_IViewObject2, "IViewObject2"},
    {&IID_IDataObject, "IDataObject"},
    {&IID_IConnectionPointContainer, "IConnectionPointContainer"},
    {&IID_IConnectionPoint, "IConnectionPoint"},
    {&IID_IShockwaveFlash, "IShockwaveFlash"},
    {&IID_IDispatch, "IDispatch"},
    {&DIID__IShockwaveFlashEvents, "_IShockwaveFlashEvents"},
    {&IID_IOleClientSite, "IOleClientSite"},
    {&IID_IOleInPlaceSite, "IOleInPlaceSite"},
    {&IID_IOleInPlaceFrame, "IOleInPlaceFrame"},
    {&IID_IOleInPlaceUIWindow, "IOleInPlaceUIWindow"},
    {&IID_IAdviseSink, "IAdviseSink"},
    {&IID_IServiceProvider, "IServiceProvider"},
    {&IID_IOleCache, "IOleCache"},
    {&IID_IOleControl, "IOleControl"},
    {&IID_IMarshal, "IMarshal"},
    {&IID_IClassFactory, "IClassFactory"},
    {&IID_ISupportErrorInfo, "ISupportErrorInfo"},
    {&IID_IProvideClassInfo, "IProvideClassInfo"},
    {&IID_IQuickActivate, "IQuickActivate"},
    {&IID_IExternalConnection, "IExternalConnection"},
    {&IID_IOleLink, "IOleLink"},
};

} // namespace

std::string interfaceName(REFIID iid)
{
    for (const NamedIid& known : knownIids)
        if (IsEqualIID(iid, *known.iid))
            return known.name;
    wchar_t text[40] = L"";
    StringFromGUID2(iid, text, 40);
    return wideText(text);
}

std::string hresultName(HRESULT hr)
{
    switch (hr) {
    case S_OK: return "S_OK";
    case S_FALSE: return "S_FALSE";
    case E_NOINTERFACE: return "E_NOINTERFACE";
    case E_NOTIMPL: return "E_NOTIMPL";
    case E_FAIL: return "E_FAIL";
    case E_POINTER: return "E_POINTER";
    case E_INVALIDARG: return "E_INVALIDARG";
    case E_UNEXPECTED: return "E_UNEXPECTED";
    case E_ACCESSDENIED: return "E_ACCESSDENIED";
    case E_OUTOFMEMORY: return "E_OUTOFMEMORY";
    case CONNECT_E_NOCONNECTION: return "CONNECT_E_NOCONNECTION";
    case CONNECT_E_CANNOTCONNECT: return "CONNECT_E_CANNOTCONNECT";
    }
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

const char* faceName(IOleObject*) { return "IOleObject"; }
const char* faceName(IPersistStorage*) { return "IPersistStorage"; }
const char* faceName(IRunnableObject*) { return "IRunnableObject"; }
const char* faceName(IOleInPlaceObject*) { return "IOleInPlaceObject"; }
const char* faceName(IOleInPlaceActiveObject*) { return "IOleInPlaceActiveObject"; }
const char* faceName(IViewObject2*) { return "IViewObject"; }
const char* faceName(IDataObject*) { return "IDataObject"; }
const char* faceName(IConnectionPointContainer*) { return "IConnectionPointContainer"; }
const char* faceName(IShockwaveFlash*) { return "IShockwaveFlash"; }

// ---------------------------------------------------------------------------
// ControlScript

void ControlScript::fail(const std::string& method, HRESULT hr, int times)
{
    failures[method] = Failure{hr, times};
}

void ControlScript::withhold(REFIID iid)
{
    withheldIids.push_back(iid);
}

void ControlScript::nameWindow(HWND window, const std::string& name)
{
    windowNames[window] = name;
}

CallLog ControlScript::take()
{
    CallLog taken;
    taken.swap(log);
    return taken;
}

RecordingControl* ControlScript::latest() const
{
    return controls.empty() ? nullptr : controls.back();
}

HRESULT ControlScript::outcome(const std::string& method, HRESULT normal)
{
    auto found = failures.find(method);
    if (found == failures.end() || found->second.times == 0)
        return normal;
    if (found->second.times > 0)
        --found->second.times;
    return found->second.hr;
}

bool ControlScript::isWithheld(REFIID iid) const
{
    for (const IID& withheld : withheldIids)
        if (IsEqualIID(iid, withheld))
            return true;
    return false;
}

std::string ControlScript::windowName(HWND window) const
{
    if (!window)
        return "null";
    auto found = windowNames.find(window);
    return found == windowNames.end() ? std::string("hwnd") : found->second;
}

// ---------------------------------------------------------------------------
// The formats of the data object: cfFormat 1, 2, 3, ... each with a target
// device allocated for the caller to free, as the platform's enumerators do.

class RecordingFormats final : public IEnumFORMATETC {
public:
    RecordingFormats(int count, int position = 0) : count_(count), position_(position) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IEnumFORMATETC))
            *object = static_cast<IEnumFORMATETC*>(this);
        if (!*object)
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refCount_; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        LONG left = --refCount_;
        if (left == 0)
            delete this;
        return left;
    }

    HRESULT STDMETHODCALLTYPE Next(ULONG wanted, FORMATETC* formats, ULONG* fetched) override
    {
        if (!formats || (wanted > 1 && !fetched))
            return E_POINTER;
        ULONG given = 0;
        while (given < wanted && position_ < count_) {
            FORMATETC& format = formats[given];
            format.cfFormat = static_cast<CLIPFORMAT>(position_ + 1);
            format.ptd = static_cast<DVTARGETDEVICE*>(CoTaskMemAlloc(sizeof(DVTARGETDEVICE)));
            if (format.ptd) {
                ZeroMemory(format.ptd, sizeof(DVTARGETDEVICE));
                format.ptd->tdSize = sizeof(DVTARGETDEVICE);
            }
            format.dwAspect = DVASPECT_CONTENT;
            format.lindex = -1;
            format.tymed = TYMED_HGLOBAL;
            ++given;
            ++position_;
        }
        if (fetched)
            *fetched = given;
        return given == wanted ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override
    {
        position_ = std::min(count_, position_ + static_cast<int>(count));
        return position_ < count_ ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Reset() override
    {
        position_ = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumFORMATETC** copy) override
    {
        if (!copy)
            return E_POINTER;
        *copy = new RecordingFormats(count_, position_);
        (*copy)->AddRef();
        return S_OK;
    }

private:
    LONG refCount_ = 1;
    int count_;
    int position_;
};

// ---------------------------------------------------------------------------
// The connection point for the Flash events: a part of the control that
// shares its life.

class RecordingPoint final : public IConnectionPoint {
public:
    explicit RecordingPoint(RecordingControl& owner) : owner_(owner) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IConnectionPoint))
            *object = static_cast<IConnectionPoint*>(this);
        if (!*object)
            return E_NOINTERFACE;
        owner_.addRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return owner_.addRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return owner_.release("IConnectionPoint"); }

    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override
    {
        if (!iid)
            return E_POINTER;
        *iid = DIID__IShockwaveFlashEvents;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** container) override
    {
        if (!container)
            return E_POINTER;
        *container = static_cast<IConnectionPointContainer*>(&owner_);
        owner_.addRef();
        return S_OK;
    }
    // Like the platform's points, this one asks the sink for the event interface.
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override
    {
        owner_.script_.record("point.Advise(" + object(sink) + ")");
        HRESULT hr = owner_.script_.outcome("point.Advise", S_OK);
        if (FAILED(hr))
            return hr;
        if (!sink || !cookie)
            return E_POINTER;
        *cookie = 0;
        IDispatch* events = nullptr;
        if (FAILED(sink->QueryInterface(DIID__IShockwaveFlashEvents, reinterpret_cast<void**>(&events))) ||
            !events)
            return CONNECT_E_CANNOTCONNECT;
        *cookie = owner_.nextPointCookie_++;
        owner_.eventSinks_[*cookie] = events;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override
    {
        owner_.script_.record("point.Unadvise(" + number(cookie) + ")");
        HRESULT hr = owner_.script_.outcome("point.Unadvise", S_OK);
        if (FAILED(hr))
            return hr;
        auto found = owner_.eventSinks_.find(cookie);
        if (found == owner_.eventSinks_.end())
            return CONNECT_E_NOCONNECTION;
        IDispatch* sink = found->second;
        owner_.eventSinks_.erase(found);
        sink->Release();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }

private:
    RecordingControl& owner_;
};

// ---------------------------------------------------------------------------
// The class factory: one per registration, counting only.

namespace {

class RecordingFactory final : public IClassFactory {
public:
    explicit RecordingFactory(ControlScript& script) : script_(script) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
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
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refCount_; }
    ULONG STDMETHODCALLTYPE Release() override { return --refCount_; }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override
    {
        script_.record("CreateInstance(" + interfaceName(iid) + ")");
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        HRESULT hr = script_.outcome("CreateInstance", S_OK);
        if (FAILED(hr))
            return hr;
        RecordingControl* control = new RecordingControl(script_);
        control->addRef();
        hr = control->queryInterface(iid, object);
        control->release(nullptr);
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

    LONG refCount_ = 1;

private:
    ControlScript& script_;
};

template <class Interface>
void replace(Interface*& held, Interface* given)
{
    if (given)
        given->AddRef();
    if (held)
        held->Release();
    held = given;
}

} // namespace

RegisteredControl::RegisteredControl(ControlScript& script, REFCLSID clsid)
    : factory_(new RecordingFactory(script)), cookie_(0)
{
    if (FAILED(CoRegisterClassObject(clsid, factory_, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie_)))
        cookie_ = 0;
}

RegisteredControl::~RegisteredControl()
{
    if (cookie_)
        CoRevokeClassObject(cookie_);
    delete static_cast<RecordingFactory*>(factory_);
}

// ---------------------------------------------------------------------------
// RecordingControl

RecordingControl::RecordingControl(ControlScript& script) : script_(script), point_(new RecordingPoint(*this))
{
    script_.controls.push_back(this);
}

RecordingControl::~RecordingControl()
{
    script_.record("Destroyed");
    script_.controls.erase(std::remove(script_.controls.begin(), script_.controls.end(), this),
                           script_.controls.end());
    // Keep the count above zero while the held references go, so that a
    // callback during a release cannot bring it back down to another delete.
    refCount_ = 1;
    replace<IOleInPlaceSite>(inPlaceSite_, nullptr);
    replace<IOleInPlaceFrame>(frame, nullptr);
    replace<IOleClientSite>(clientSite, nullptr);
    replace<IAdviseSink>(oleAdviseSink, nullptr);
    replace<IAdviseSink>(viewAdviseSink, nullptr);
    replace<IStorage>(storage, nullptr);
    for (auto& entry : dataAdviseSinks)
        entry.second->Release();
    dataAdviseSinks.clear();
    for (auto& entry : eventSinks_)
        entry.second->Release();
    eventSinks_.clear();
    delete point_;
}

HRESULT RecordingControl::queryInterface(REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (!script_.isWithheld(iid)) {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleObject))
            *object = static_cast<IOleObject*>(this);
        else if (IsEqualIID(iid, IID_IPersistStorage) || IsEqualIID(iid, IID_IPersist))
            *object = static_cast<IPersistStorage*>(this);
        else if (IsEqualIID(iid, IID_IRunnableObject))
            *object = static_cast<IRunnableObject*>(this);
        else if (IsEqualIID(iid, IID_IOleInPlaceObject) || IsEqualIID(iid, IID_IOleWindow))
            *object = static_cast<IOleInPlaceObject*>(this);
        else if (IsEqualIID(iid, IID_IOleInPlaceActiveObject))
            *object = static_cast<IOleInPlaceActiveObject*>(this);
        else if (IsEqualIID(iid, IID_IViewObject) || IsEqualIID(iid, IID_IViewObject2))
            *object = static_cast<IViewObject2*>(this);
        else if (IsEqualIID(iid, IID_IDataObject))
            *object = static_cast<IDataObject*>(this);
        else if (IsEqualIID(iid, IID_IConnectionPointContainer))
            *object = static_cast<IConnectionPointContainer*>(this);
        else if (IsEqualIID(iid, IID_IShockwaveFlash) || IsEqualIID(iid, IID_IDispatch))
            *object = static_cast<IShockwaveFlash*>(this);
    }
    if (script_.logReferences)
        script_.record("QueryInterface(" + interfaceName(iid) + ")" + (*object ? "" : "=E_NOINTERFACE"));
    if (!*object)
        return E_NOINTERFACE;
    addRef();
    return S_OK;
}

ULONG RecordingControl::addRef()
{
    return ++refCount_;
}

ULONG RecordingControl::release(const char* face)
{
    LONG left = --refCount_;
    if (face && script_.logReferences)
        script_.record(std::string("Release(") + face + ")");
    if (left == 0)
        delete this;
    return left;
}

HRESULT RecordingControl::fire(DISPID dispid, DISPPARAMS* params, VARIANT* result)
{
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    HRESULT first = S_OK;
    for (IDispatch* sink : eventSinks()) {
        HRESULT hr = sink->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, params ? params : &none,
                                  result, nullptr, nullptr);
        if (FAILED(hr) && SUCCEEDED(first))
            first = hr;
    }
    return first;
}

std::vector<IDispatch*> RecordingControl::eventSinks() const
{
    std::vector<IDispatch*> sinks;
    for (const auto& entry : eventSinks_)
        sinks.push_back(entry.second);
    return sinks;
}

HRESULT RecordingControl::unused(const char* method)
{
    script_.record(method);
    return E_NOTIMPL;
}

HRESULT RecordingControl::recordText(const char* method, BSTR text)
{
    script_.record(std::string(method) + "(" + bstrText(text) + ")");
    return script_.outcome(method, S_OK);
}

// What a well-behaved control does when told to activate in place.
HRESULT RecordingControl::activateInPlace(IOleClientSite* activeSite)
{
    if (inPlaceActive)
        return S_OK;
    IOleClientSite* site = activeSite ? activeSite : clientSite;
    if (!site) {
        script_.record("site.none");
        return E_UNEXPECTED;
    }
    IOleInPlaceSite* inPlace = nullptr;
    HRESULT hr = site->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(&inPlace));
    if (FAILED(hr) || !inPlace) {
        script_.record("site.QueryInterface(IOleInPlaceSite)=" + hresultName(hr));
        return E_NOINTERFACE;
    }
    hr = inPlace->CanInPlaceActivate();
    script_.record("site.CanInPlaceActivate=" + hresultName(hr));
    if (hr != S_OK) {
        inPlace->Release();
        return E_FAIL;
    }
    inPlace->OnInPlaceActivate();

    IOleInPlaceFrame* givenFrame = nullptr;
    IOleInPlaceUIWindow* document = reinterpret_cast<IOleInPlaceUIWindow*>(0xdeadbeef);
    positionGiven = RECT{-1, -1, -1, -1};
    clipGiven = RECT{-1, -1, -1, -1};
    FillMemory(&frameInfoGiven, sizeof frameInfoGiven, 0xcd);
    frameInfoGiven.cb = sizeof frameInfoGiven;
    hr = inPlace->GetWindowContext(&givenFrame, &document, &positionGiven, &clipGiven, &frameInfoGiven);
    script_.record("site.GetWindowContext");
    documentGiven = document;
    if (document && document != reinterpret_cast<IOleInPlaceUIWindow*>(0xdeadbeef))
        document->Release();
    replace<IOleInPlaceFrame>(frame, nullptr);
    frame = SUCCEEDED(hr) ? givenFrame : nullptr;
    if (frame) {
        frame->SetActiveObject(static_cast<IOleInPlaceActiveObject*>(this), L"RecordingControl");
        script_.record("frame.SetActiveObject(obj)");
    }
    inPlaceSite_ = inPlace;
    inPlaceActive = true;
    return S_OK;
}

void RecordingControl::endActivation()
{
    if (frame) {
        frame->SetActiveObject(nullptr, nullptr);
        script_.record("frame.SetActiveObject(null)");
        replace<IOleInPlaceFrame>(frame, nullptr);
    }
}

// IOleObject

HRESULT STDMETHODCALLTYPE RecordingControl::SetClientSite(IOleClientSite* site)
{
    script_.record("SetClientSite(" + object(site) + ")");
    HRESULT hr = script_.outcome("SetClientSite", S_OK);
    if (SUCCEEDED(hr))
        replace(clientSite, site);
    return hr;
}

HRESULT STDMETHODCALLTYPE RecordingControl::GetClientSite(IOleClientSite** site)
{
    script_.record("GetClientSite");
    if (!site)
        return E_POINTER;
    *site = clientSite;
    if (clientSite)
        clientSite->AddRef();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE RecordingControl::SetHostNames(LPCOLESTR app, LPCOLESTR name)
{
    script_.record("SetHostNames(" + wideText(app) + "," + wideText(name) + ")");
    return script_.outcome("SetHostNames", S_OK);
}

HRESULT STDMETHODCALLTYPE RecordingControl::Close(DWORD saveOption)
{
    script_.record("Close(" + number(saveOption) + ")");
    return script_.outcome("Close", S_OK);
}

HRESULT STDMETHODCALLTYPE RecordingControl::SetMoniker(DWORD which, IMoniker* moniker)
{
    script_.record("SetMoniker(" + number(which) + "," + object(moniker) + ")");
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE RecordingControl::GetMoniker(DWORD assign, DWORD which, IMoniker** moniker)
{
    script_.record("GetMoniker(" + number(assign) + "," + number(which) + ")");
    if (moniker)
        *moniker = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE RecordingControl::InitFromData(IDataObject* data, BOOL creation, DWORD)
{
    script_.record("InitFromData(" + object(data) + "," + number(creation) + ")");
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE RecordingControl::GetClipboardData(DWORD, IDataObject** data)
{
    script_.record("GetClipboardData");
    if (data)
        *data = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE RecordingControl::DoVerb(LONG verb, LPMSG message, IOleClientSite* activeSite, LONG index,
                                                   HWND parent, LPCRECT position)
{
    script_.record("DoVerb(" + number(verb) + "," + object(message) + "," + object(activeSite) + "," +
                   number(index) + "," + script_.windowName(parent) + "," + rect(position) + ")");
    HRESULT hr = script_.outcome("DoVerb", S_OK);
    if (FAILED(hr))
        return hr;
    parentGiven = parent;
    switch (verb) {
    case OLEIVERB_PRIMARY:
    case OLEIVERB_SHOW:
    case OLEIVERB_UIACTIVATE:
    case OLEIVERB_INPLACEACTIVATE:
        return activateInPlace(activeSite);
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE RecordingControl::EnumVerbs(IEnumOLEVERB** verbs)
{
    script_.record("EnumVerbs");
    if (verbs)
        *verbs = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE RecordingControl::Update()
{
    script_.record("Update");
    return S_OK;
}

HRESULT STDMETHODCALLTYPE RecordingControl::IsUpToDate()
{
    script_.record("IsUpToDate");
    return S_OK;
}

HRESULT STDMETHODCALLTYPE RecordingControl::GetUserClassID(CLSID* clsid)
{
    script_.record("GetUserClassID");
    if (!clsid)
        return E_POINTER;
    *clsid = CLSID_ShockwaveFlash;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE RecordingControl::GetUserType(DWORD form, LPOLESTR* type)
{
    script_.record("GetUserType(" + number(form) + ")");
    if (type)
        *type = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE RecordingControl::SetExtent(DWORD aspect, SIZEL* size)
{
    script_.record("SetExtent(" + number(aspect) + "," + (size ? number(size->cx) + "," + number(size->cy) : "null") +
                   ")");
    return script_.outcome("SetExtent", S_OK);
}

HRESULT STDMETHODCALLTYPE RecordingControl::GetExtent(DWORD aspect, SIZEL* size)
{
    script_.record("GetExtent(" + number(aspect) + ")");
    if (!size)
        return E_POINTER;
    size->cx = 0;
    size->cy = 0;
    return script_.outcome("GetExtent", S_OK);
}

HRESULT STDMETHODCALLTYPE RecordingControl::Advise(IAdviseSink* sink, DWORD* connection)
{
    script_.record("Advise(" + object(sink) + ")");
    HRESULT hr = script_.outcome("Advise", S_OK);
    if (FAILED(hr))
        return hr;
    if (!connection)
        return E_POINTER;
    replace(oleAdviseSink, sink);
    *connection = 1;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE RecordingControl::Unadvise(DWORD connection)
{
    script_.record("Unadvise(" + number(connection) + ")");
    if (connection != 1 || !oleAdviseSink)
        return OLE_E_NOCONNECTION;
    replace<IAdviseSink>(oleAdviseSink, nullptr);
    return script_.outcome("Unadvise", S_OK);
}

HRESULT STDMETHODCALLTYPE RecordingControl::EnumAdvise(IEnumSTATDATA** advises)
{
    script_.record("EnumAdvise");
    if (advises)
        *advises = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE RecordingControl::GetMiscStatus(DWORD aspect, DWORD* status)
{
    script_.record("GetMiscStatus(" + number(aspect) + ")");
    if (!status)
        return E_POINTER;
    *status = OLEMISC_RECOMPOSEONRESIZE | OLEMISC_CANTLINKINSIDE | OLEMISC_INSIDEOUT |
              OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_SETCLIENTSITEFIRST;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE RecordingControl::SetColorScheme(LOGPALETTE*)
{
    script_.record("SetColorScheme");
    return E_NOTIMPL;
}

// IPersistStorage

HRESULT STDMETHODCALLTYPE RecordingControl::GetClassID(CLSID* clsid)
{
    script_.record("GetClassID");
    if (!clsid)
        return E_POINTER;
    *clsid = CLSID_ShockwaveFlash;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE RecordingControl::IsDirty()
{
    script_.record("IsDirty");
    return S_FALSE;
}

HRESULT STDMETHODCALLTYPE RecordingControl::InitNew(IStorage* given)
{
    script_.record("InitNew(" + object(given) + ")");
    HRESULT hr = script_.outcome("InitNew", S_OK);
    if (FAILED(hr))
        return hr;
    replace(storage, given);
    storageName.clear();
    STATSTG stat = {};
    if (storage && SUCCEEDED(storage->Stat(&stat, STATFLAG_DEFAULT))) {
        if (stat.pwcsName)
            storageName = stat.pwcsName;
        script_.storageNames.push_back(storageName);
        CoTaskMemFree(stat.pwcsName);
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE RecordingControl::Load(IStorage* given)
{
    script_.record("Load(" + object(given) + ")");
    return script_.outcome("Load", S_OK);
}

HRESULT STDMETHODCALLTYPE RecordingControl::Save(IStorage* given, BOOL sameAsLoad)
{
    script_.record("Save(" + object(given) + "," + number(sameAsLoad) + ")");
    return script_.outcome("Save", S_OK);
}

HRESULT STDMETHODCALLTYPE RecordingControl::SaveCompleted(IStorage* given)
{
    script_.record("SaveCompleted(" + object(given) + ")");
    return S_OK;
}

HRESULT STDMETHODCALLTYPE RecordingControl::HandsOffStorage()
{
    script_.record("HandsOffStorage");
    return S_OK;
}

// IRunnableObject

HRESULT STDMETHODCALLTYPE RecordingControl::GetRunningClass(CLSID* clsid)
{
    script_.record("GetRunningClass");
    if (!clsid)
        return E_POINTER;
    *clsid = CLSID_ShockwaveFlash;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE RecordingControl::Run(IBindCtx*)
{
    script_.record("Run");
    return script_.outcome("Run", S_OK);
}

BOOL STDMETHODCALLTYPE RecordingControl::IsRunning()
{
    script_.record("IsRunning");
    return TRUE;
}

HRESULT STDMETHODCALLTYPE RecordingControl::LockRunning(BOOL lock, BOOL lastUnlockCloses)
{
    script_.record("LockRunning(" + number(lock) + "," + number(lastUnlockCloses) + ")");
    return S_OK;
}

HRESULT STDMETHODCALLTYPE RecordingControl::SetContainedObject(BOOL contained)
{
    script_.record("SetContainedObject(" + number(contained) + ")");
    return script_.outcome("SetContainedObject", S_OK);
}

// IOleWindow

HRESULT STDMETHODCALLTYPE RecordingControl::GetWindow(HWND* window)
{
    script_.record("GetWindow");
    if (!window)
        return E_POINTER;
    *window = nullptr;
    return E_FAIL; // the stand-in draws nothing and has no window
}

HRESULT STDMETHODCALLTYPE RecordingControl::ContextSensitiveHelp(BOOL enter)
{
    script_.record("ContextSensitiveHelp(" + number(enter) + ")");
    return E_NOTIMPL;
}

// IOleInPlaceObject

HRESULT STDMETHODCALLTYPE RecordingControl::InPlaceDeactivate()
{
    script_.record("InPlaceDeactivate");
    HRESULT hr = script_.outcome("InPlaceDeactivate", S_OK);
    if (FAILED(hr) || !inPlaceActive)
        return hr;
    endActivation();
    inPlaceActive = false;
    if (inPlaceSite_)
        inPlaceSite_->OnInPlaceDeactivate();
    replace<IOleInPlaceSite>(inPlaceSite_, nullptr);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE RecordingControl::UIDeactivate()
{
    script_.record("UIDeactivate");
    HRESULT hr = script_.outcome("UIDeactivate", S_OK);
    if (SUCCEEDED(hr))
        endActivation();
    return hr;
}

HRESULT STDMETHODCALLTYPE RecordingControl::SetObjectRects(LPCRECT position, LPCRECT clip)
{
    script_.record("SetObjectRects(" + rect(position) + "," + rect(clip) + ")");
    if (position)
        objectRects = *position;
    return script_.outcome("SetObjectRects", S_OK);
}

HRESULT STDMETHODCALLTYPE RecordingControl::ReactivateAndUndo()
{
    script_.record("ReactivateAndUndo");
    return E_NOTIMPL;
}

// IOleInPlaceActiveObject

HRESULT STDMETHODCALLTYPE RecordingControl::TranslateAccelerator(LPMSG message)
{
    script_.record("TranslateAccelerator(" + (message ? number(message->message) : std::string("null")) + ")");
    return S_FALSE;
}

HRESULT STDMETHODCALLTYPE RecordingControl::OnFrameWindowActivate(BOOL activate)
{
    script_.record("OnFrameWindowActivate(" + number(activate) + ")");
    return S_OK;
}

HRESULT STDMETHODCALLTYPE RecordingControl::OnDocWindowActivate(BOOL activate)
{
    script_.record("OnDocWindowActivate(" + number(activate) + ")");
    return S_OK;
}

HRESULT STDMETHODCALLTYPE RecordingControl::ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window, BOOL frameWindow)
{
    script_.record("ResizeBorder(" + rect(border) + "," + object(window) + "," + number(frameWindow) + ")");
    return S_OK;
}

HRESULT STDMETHODCALLTYPE RecordingControl::EnableModeless(BOOL enable)
{
    script_.record("EnableModeless(" + number(enable) + ")");
    return S_OK;
}

// IViewObject2

HRESULT STDMETHODCALLTYPE RecordingControl::Draw(DWORD aspect, LONG index, void*, DVTARGETDEVICE*, HDC, HDC,
                                                 LPCRECTL bounds, LPCRECTL, BOOL(STDMETHODCALLTYPE*)(ULONG_PTR),
                                                 ULONG_PTR)
{
    std::string where = bounds ? number(bounds->left) + "," + number(bounds->top) + "," + number(bounds->right) +
                                     "," + number(bounds->bottom)
                               : std::string("null");
    script_.record("Draw(" + number(aspect) + "," + number(index) + "," + where + ")");
    return script_.outcome("Draw", S_OK);
}

HRESULT STDMETHODCALLTYPE RecordingControl::GetColorSet(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC,
                                                        LOGPALETTE** colors)
{
    script_.record("GetColorSet(" + number(aspect) + ")");
    if (colors)
        *colors = nullptr;
    return S_FALSE;
}

HRESULT STDMETHODCALLTYPE RecordingControl::Freeze(DWORD aspect, LONG, void*, DWORD* freeze)
{
    script_.record("Freeze(" + number(aspect) + ")");
    if (freeze)
        *freeze = 0;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE RecordingControl::Unfreeze(DWORD freeze)
{
    script_.record("Unfreeze(" + number(freeze) + ")");
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE RecordingControl::SetAdvise(DWORD aspects, DWORD advf, IAdviseSink* sink)
{
    script_.record("SetAdvise(" + number(aspects) + "," + number(advf) + "," + object(sink) + ")");
    HRESULT hr = script_.outcome("SetAdvise", S_OK);
    if (SUCCEEDED(hr))
        replace(viewAdviseSink, sink);
    return hr;
}

HRESULT STDMETHODCALLTYPE RecordingControl::GetAdvise(DWORD* aspects, DWORD* advf, IAdviseSink** sink)
{
    script_.record("GetAdvise");
    if (aspects)
        *aspects = DVASPECT_CONTENT;
    if (advf)
        *advf = 0;
    if (sink) {
        *sink = viewAdviseSink;
        if (viewAdviseSink)
            viewAdviseSink->AddRef();
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE RecordingControl::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size)
{
    script_.record("ViewGetExtent(" + number(aspect) + ")");
    if (size) {
        size->cx = 0;
        size->cy = 0;
    }
    return E_NOTIMPL;
}

// IDataObject

HRESULT STDMETHODCALLTYPE RecordingControl::GetData(FORMATETC* format, STGMEDIUM*)
{
    script_.record("GetData(" + (format ? number(format->cfFormat) : std::string("null")) + ")");
    return DV_E_FORMATETC;
}

HRESULT STDMETHODCALLTYPE RecordingControl::GetDataHere(FORMATETC* format, STGMEDIUM*)
{
    script_.record("GetDataHere(" + (format ? number(format->cfFormat) : std::string("null")) + ")");
    return DV_E_FORMATETC;
}

HRESULT STDMETHODCALLTYPE RecordingControl::QueryGetData(FORMATETC* format)
{
    script_.record("QueryGetData(" + (format ? number(format->cfFormat) : std::string("null")) + ")");
    return DV_E_FORMATETC;
}

HRESULT STDMETHODCALLTYPE RecordingControl::GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out)
{
    script_.record("GetCanonicalFormatEtc");
    if (out)
        out->ptd = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE RecordingControl::SetData(FORMATETC* format, STGMEDIUM*, BOOL)
{
    script_.record("SetData(" + (format ? number(format->cfFormat) : std::string("null")) + ")");
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE RecordingControl::EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats)
{
    script_.record("EnumFormatEtc(" + number(direction) + ")");
    if (!formats)
        return E_POINTER;
    *formats = nullptr;
    HRESULT hr = script_.outcome("EnumFormatEtc", S_OK);
    if (FAILED(hr))
        return hr;
    *formats = new RecordingFormats(script_.dataFormats);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE RecordingControl::DAdvise(FORMATETC* format, DWORD advf, IAdviseSink* sink,
                                                    DWORD* connection)
{
    script_.record("DAdvise(" + (format ? number(format->cfFormat) : std::string("null")) + "," + number(advf) +
                   "," + object(sink) + ")");
    if (!connection)
        return E_POINTER;
    *connection = 0;
    HRESULT hr = script_.outcome("DAdvise", S_OK);
    if (FAILED(hr))
        return hr;
    if (!sink)
        return E_INVALIDARG;
    sink->AddRef();
    *connection = nextDataConnection_++;
    dataAdviseSinks[*connection] = sink;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE RecordingControl::DUnadvise(DWORD connection)
{
    script_.record("DUnadvise(" + number(connection) + ")");
    auto found = dataAdviseSinks.find(connection);
    if (found == dataAdviseSinks.end())
        return OLE_E_NOCONNECTION;
    found->second->Release();
    dataAdviseSinks.erase(found);
    return script_.outcome("DUnadvise", S_OK);
}

HRESULT STDMETHODCALLTYPE RecordingControl::EnumDAdvise(IEnumSTATDATA** advises)
{
    script_.record("EnumDAdvise");
    if (advises)
        *advises = nullptr;
    return OLE_E_ADVISENOTSUPPORTED;
}

// IConnectionPointContainer

HRESULT STDMETHODCALLTYPE RecordingControl::EnumConnectionPoints(IEnumConnectionPoints** points)
{
    script_.record("EnumConnectionPoints");
    if (points)
        *points = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE RecordingControl::FindConnectionPoint(REFIID iid, IConnectionPoint** point)
{
    script_.record("FindConnectionPoint(" + interfaceName(iid) + ")");
    if (!point)
        return E_POINTER;
    *point = nullptr;
    HRESULT hr = script_.outcome("FindConnectionPoint", S_OK);
    if (FAILED(hr))
        return hr;
    if (!IsEqualIID(iid, DIID__IShockwaveFlashEvents))
        return CONNECT_E_NOCONNECTION;
    *point = point_;
    addRef();
    return S_OK;
}

// IDispatch

HRESULT STDMETHODCALLTYPE RecordingControl::GetTypeInfoCount(UINT* count)
{
    script_.record("GetTypeInfoCount");
    if (count)
        *count = 0;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE RecordingControl::GetTypeInfo(UINT, LCID, ITypeInfo** info)
{
    script_.record("GetTypeInfo");
    if (info)
        *info = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE RecordingControl::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*)
{
    script_.record("GetIDsOfNames");
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE RecordingControl::Invoke(DISPID dispid, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*,
                                                   EXCEPINFO*, UINT*)
{
    script_.record("Invoke(" + number(dispid) + ")");
    return E_NOTIMPL;
}

// IShockwaveFlash

HRESULT STDMETHODCALLTYPE RecordingControl::put_Movie(BSTR movie)
{
    return recordText("put_Movie", movie);
}

HRESULT STDMETHODCALLTYPE RecordingControl::put_WMode(BSTR mode)
{
    return recordText("put_WMode", mode);
}

HRESULT STDMETHODCALLTYPE RecordingControl::put_FlashVars(BSTR vars)
{
    return recordText("put_FlashVars", vars);
}

HRESULT STDMETHODCALLTYPE RecordingControl::raw_CallFunction(BSTR request, BSTR* response)
{
    HRESULT hr = recordText("CallFunction", request);
    if (!response)
        return E_POINTER;
    *response = SUCCEEDED(hr) ? SysAllocString(script_.callResponse.c_str()) : nullptr;
    return hr;
}
