// A stand-in for the Flash control in in-process tests: a real COM object that
// OleCreate makes once a test has registered its class factory, and that
// appends every call it receives, with its arguments, to a log the test
// asserts exactly.
//
//   ControlScript script;                       // log + behaviour, shared by every instance
//   script.fail("put_WMode", E_ACCESSDENIED);   // every put_WMode fails
//   script.fail("Run", E_FAIL, 1);              // only the first Run fails (OleCreate with OLERENDER_DRAW)
//   script.withhold(IID_IConnectionPointContainer);
//   script.dataFormats = 0;
//   RegisteredControl registration(script);     // CoRegisterClassObject for CLSID_ShockwaveFlash
//   ... create an AX window, load a movie ...
//   EXPECT_EQ(script.take(), (CallLog{"CreateInstance(IOleObject)", "GetMiscStatus(1)", ...}));
//   RecordingControl* control = script.latest();
//   control->fire(DISPID_FLASH_FLASHCALL, &params);
//
// Log entries, as written:
//   - a method name with its arguments in parentheses, e.g. "DoVerb(-5,null,obj,0,ax,0,0,300,200)",
//     "SetObjectRects(0,0,300,200,0,0,300,200)", "put_WMode(direct)", "DAdvise(2,0,obj)", "DUnadvise(102)";
//     interface pointers show as "obj" or "null" (the pointers themselves are kept in members below),
//     window handles as the name given to nameWindow, else "hwnd", else "null"; IIDs by name;
//     BSTRs as UTF-8. Methods without arguments show their name alone ("Run", "UIDeactivate").
//   - the connection point's calls begin with "point." ("point.Advise(obj)", "point.Unadvise(1)").
//   - what the control does to its site while activating in place begins with "site." or "frame.":
//     "site.QueryInterface(IOleInPlaceSite)=E_NOINTERFACE", "site.CanInPlaceActivate=S_OK",
//     "site.GetWindowContext", "frame.SetActiveObject(obj)", "frame.SetActiveObject(null)".
//   - "CreateInstance(<iid>)" from the class factory when an instance is made, "Destroyed" when the
//     last reference of an instance goes.
//   - with logReferences set: "QueryInterface(<iid>)" (with "=E_NOINTERFACE" when refused) and
//     "Release(<interface>)" naming the interface the caller released through.
// Every IShockwaveFlash slot logs its method name; the unused ones answer E_NOTIMPL, so a call
// through a wrong slot shows up by name.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <ocidl.h>

#include <map>
#include <string>
#include <vector>

#include "movie/ShockwaveFlash.h"
#include "movie/ShockwaveFlashSlots.h"

using CallLog = std::vector<std::string>;

class RecordingControl;

// What every control made through one registration shares: the log and the behaviour.
struct ControlScript {
    ControlScript() = default;
    ControlScript(const ControlScript&) = delete;
    ControlScript& operator=(const ControlScript&) = delete;

    CallLog log;

    int dataFormats = 3;         // formats that EnumFormatEtc lists: cfFormat 1, 2, 3, ...
    bool logReferences = false;  // also log QueryInterface and each Release
    std::wstring callResponse = L"<string>ok</string>"; // what CallFunction answers

    // The file behind every storage given to InitNew, in order (outlives the controls).
    std::vector<std::wstring> storageNames;

    // Makes the named method answer hr, for the next `times` calls or (-1) for good.
    void fail(const std::string& method, HRESULT hr, int times = -1);
    // The control answers E_NOINTERFACE for this interface.
    void withhold(REFIID iid);
    void nameWindow(HWND window, const std::string& name);

    // The log so far, which is then cleared.
    CallLog take();

    // The most recently made instance that is still alive, or null.
    RecordingControl* latest() const;
    int liveControls() const { return static_cast<int>(controls.size()); }

    // For the control.
    HRESULT outcome(const std::string& method, HRESULT normal);
    bool isWithheld(REFIID iid) const;
    std::string windowName(HWND window) const;
    void record(const std::string& entry) { log.push_back(entry); }

    std::vector<RecordingControl*> controls; // alive, in order of making

private:
    struct Failure {
        HRESULT hr;
        int times;
    };
    std::map<std::string, Failure> failures;
    std::vector<IID> withheldIids;
    std::map<HWND, std::string> windowNames;
};

// Registers the control's class factory for the life of this object. COM must
// be initialised on the thread.
class RegisteredControl {
public:
    explicit RegisteredControl(ControlScript& script, REFCLSID clsid = CLSID_ShockwaveFlash);
    ~RegisteredControl();
    RegisteredControl(const RegisteredControl&) = delete;
    RegisteredControl& operator=(const RegisteredControl&) = delete;

    bool registered() const { return cookie_ != 0; }

private:
    IClassFactory* factory_;
    DWORD cookie_;
};

// One face per interface, so that a Release can say which interface the caller held.
template <class Interface>
class ControlFace : public Interface {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
};

class RecordingPoint;

class RecordingControl final : public ControlFace<IOleObject>,
                         public ControlFace<IPersistStorage>,
                         public ControlFace<IRunnableObject>,
                         public ControlFace<IOleInPlaceObject>,
                         public ControlFace<IOleInPlaceActiveObject>,
                         public ControlFace<IViewObject2>,
                         public ControlFace<IDataObject>,
                         public ControlFace<IConnectionPointContainer>,
                         public ControlFace<IShockwaveFlash> {
public:
    explicit RecordingControl(ControlScript& script);
    RecordingControl(const RecordingControl&) = delete;
    RecordingControl& operator=(const RecordingControl&) = delete;

    // Calls Invoke on every sink advised through the connection point, in the
    // order they were advised; answers the first failure, else S_OK.
    HRESULT fire(DISPID dispid, DISPPARAMS* params, VARIANT* result = nullptr);
    std::vector<IDispatch*> eventSinks() const;

    LONG references() const { return refCount_; }

    // What the control was given, for identity checks; each holds a reference while set.
    IOleClientSite* clientSite = nullptr;
    IAdviseSink* oleAdviseSink = nullptr;  // IOleObject::Advise
    IAdviseSink* viewAdviseSink = nullptr; // IViewObject::SetAdvise
    IStorage* storage = nullptr;           // InitNew's
    std::wstring storageName;              // the storage's file, from Stat
    std::map<DWORD, IAdviseSink*> dataAdviseSinks;
    // From the latest in-place activation.
    bool inPlaceActive = false;
    IOleInPlaceFrame* frame = nullptr;
    IOleInPlaceUIWindow* documentGiven = nullptr; // the site's answer as given; not held
    RECT positionGiven = {};
    RECT clipGiven = {};
    OLEINPLACEFRAMEINFO frameInfoGiven = {};
    HWND parentGiven = nullptr; // DoVerb's parent window
    RECT objectRects = {};      // the position rectangle of the latest SetObjectRects

    // The shared IUnknown plumbing of the faces.
    HRESULT queryInterface(REFIID iid, void** object);
    ULONG addRef();
    ULONG release(const char* face);

    // IOleObject
    HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* site) override;
    HRESULT STDMETHODCALLTYPE GetClientSite(IOleClientSite** site) override;
    HRESULT STDMETHODCALLTYPE SetHostNames(LPCOLESTR app, LPCOLESTR object) override;
    HRESULT STDMETHODCALLTYPE Close(DWORD saveOption) override;
    HRESULT STDMETHODCALLTYPE SetMoniker(DWORD which, IMoniker* moniker) override;
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) override;
    HRESULT STDMETHODCALLTYPE InitFromData(IDataObject* data, BOOL creation, DWORD reserved) override;
    HRESULT STDMETHODCALLTYPE GetClipboardData(DWORD reserved, IDataObject** data) override;
    HRESULT STDMETHODCALLTYPE DoVerb(LONG verb, LPMSG message, IOleClientSite* activeSite, LONG index,
                                     HWND parent, LPCRECT position) override;
    HRESULT STDMETHODCALLTYPE EnumVerbs(IEnumOLEVERB** verbs) override;
    HRESULT STDMETHODCALLTYPE Update() override;
    HRESULT STDMETHODCALLTYPE IsUpToDate() override;
    HRESULT STDMETHODCALLTYPE GetUserClassID(CLSID* clsid) override;
    HRESULT STDMETHODCALLTYPE GetUserType(DWORD form, LPOLESTR* type) override;
    HRESULT STDMETHODCALLTYPE SetExtent(DWORD aspect, SIZEL* size) override;
    HRESULT STDMETHODCALLTYPE GetExtent(DWORD aspect, SIZEL* size) override;
    HRESULT STDMETHODCALLTYPE Advise(IAdviseSink* sink, DWORD* connection) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD connection) override;
    HRESULT STDMETHODCALLTYPE EnumAdvise(IEnumSTATDATA** advises) override;
    HRESULT STDMETHODCALLTYPE GetMiscStatus(DWORD aspect, DWORD* status) override;
    HRESULT STDMETHODCALLTYPE SetColorScheme(LOGPALETTE* palette) override;

    // IPersistStorage
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override;
    HRESULT STDMETHODCALLTYPE IsDirty() override;
    HRESULT STDMETHODCALLTYPE InitNew(IStorage* storage) override;
    HRESULT STDMETHODCALLTYPE Load(IStorage* storage) override;
    HRESULT STDMETHODCALLTYPE Save(IStorage* storage, BOOL sameAsLoad) override;
    HRESULT STDMETHODCALLTYPE SaveCompleted(IStorage* storage) override;
    HRESULT STDMETHODCALLTYPE HandsOffStorage() override;

    // IRunnableObject
    HRESULT STDMETHODCALLTYPE GetRunningClass(CLSID* clsid) override;
    HRESULT STDMETHODCALLTYPE Run(IBindCtx* context) override;
    BOOL STDMETHODCALLTYPE IsRunning() override;
    HRESULT STDMETHODCALLTYPE LockRunning(BOOL lock, BOOL lastUnlockCloses) override;
    HRESULT STDMETHODCALLTYPE SetContainedObject(BOOL contained) override;

    // IOleWindow, for IOleInPlaceObject and IOleInPlaceActiveObject
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override;
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL enter) override;

    // IOleInPlaceObject
    HRESULT STDMETHODCALLTYPE InPlaceDeactivate() override;
    HRESULT STDMETHODCALLTYPE UIDeactivate() override;
    HRESULT STDMETHODCALLTYPE SetObjectRects(LPCRECT position, LPCRECT clip) override;
    HRESULT STDMETHODCALLTYPE ReactivateAndUndo() override;

    // IOleInPlaceActiveObject
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG message) override;
    HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL activate) override;
    HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL activate) override;
    HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window, BOOL frameWindow) override;
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL enable) override;

    // IViewObject2
    HRESULT STDMETHODCALLTYPE Draw(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* device,
                                   HDC targetDevice, HDC drawTarget, LPCRECTL bounds, LPCRECTL metafileBounds,
                                   BOOL(STDMETHODCALLTYPE* keepGoing)(ULONG_PTR), ULONG_PTR keepGoingArgument) override;
    HRESULT STDMETHODCALLTYPE GetColorSet(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* device,
                                          HDC targetDevice, LOGPALETTE** colors) override;
    HRESULT STDMETHODCALLTYPE Freeze(DWORD aspect, LONG index, void* aspectInfo, DWORD* freeze) override;
    HRESULT STDMETHODCALLTYPE Unfreeze(DWORD freeze) override;
    HRESULT STDMETHODCALLTYPE SetAdvise(DWORD aspects, DWORD advf, IAdviseSink* sink) override;
    HRESULT STDMETHODCALLTYPE GetAdvise(DWORD* aspects, DWORD* advf, IAdviseSink** sink) override;
    HRESULT STDMETHODCALLTYPE GetExtent(DWORD aspect, LONG index, DVTARGETDEVICE* device, LPSIZEL size) override;

    // IDataObject
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override;
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC* format, STGMEDIUM* medium) override;
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override;
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC* in, FORMATETC* out) override;
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) override;
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats) override;
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC* format, DWORD advf, IAdviseSink* sink, DWORD* connection) override;
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD connection) override;
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA** advises) override;

    // IConnectionPointContainer
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** points) override;
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** point) override;

    // IDispatch, through IShockwaveFlash
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid,
                                            DISPID* dispids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID dispid, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr) override;

    // IShockwaveFlash: the slots the player uses record their arguments.
    HRESULT STDMETHODCALLTYPE put_Movie(BSTR movie) override;
    HRESULT STDMETHODCALLTYPE put_WMode(BSTR mode) override;
    HRESULT STDMETHODCALLTYPE put_FlashVars(BSTR vars) override;
    HRESULT STDMETHODCALLTYPE raw_CallFunction(BSTR request, BSTR* response) override;
    // The rest answer E_NOTIMPL.
#define QP_RECORDING_STUB(method, logName, params) \
    HRESULT STDMETHODCALLTYPE method params override { return unused(#logName); }
    QP_FLASH_PLAYBACK_SLOTS(QP_RECORDING_STUB)
    QP_FLASH_OTHER_SLOTS(QP_RECORDING_STUB)
#undef QP_RECORDING_STUB

private:
    friend class RecordingPoint;
    ~RecordingControl();

    HRESULT unused(const char* method);
    HRESULT recordText(const char* method, BSTR text);
    HRESULT activateInPlace(IOleClientSite* activeSite);
    void endActivation();

    ControlScript& script_;
    LONG refCount_ = 0;
    RecordingPoint* point_;
    DWORD nextPointCookie_ = 1;
    DWORD nextDataConnection_ = 101;
    std::map<DWORD, IDispatch*> eventSinks_;
    IOleInPlaceSite* inPlaceSite_ = nullptr;
};

template <class Interface>
HRESULT STDMETHODCALLTYPE ControlFace<Interface>::QueryInterface(REFIID iid, void** object)
{
    return static_cast<RecordingControl*>(this)->queryInterface(iid, object);
}

template <class Interface>
ULONG STDMETHODCALLTYPE ControlFace<Interface>::AddRef()
{
    return static_cast<RecordingControl*>(this)->addRef();
}

const char* faceName(IOleObject*);
const char* faceName(IPersistStorage*);
const char* faceName(IRunnableObject*);
const char* faceName(IOleInPlaceObject*);
const char* faceName(IOleInPlaceActiveObject*);
const char* faceName(IViewObject2*);
const char* faceName(IDataObject*);
const char* faceName(IConnectionPointContainer*);
const char* faceName(IShockwaveFlash*);

template <class Interface>
ULONG STDMETHODCALLTYPE ControlFace<Interface>::Release()
{
    return static_cast<RecordingControl*>(this)->release(faceName(static_cast<Interface*>(nullptr)));
}

// The interface names the log uses; the braced IID for others.
std::string interfaceName(REFIID iid);
// S_OK, S_FALSE, E_NOINTERFACE and the like by name; others as 0x%08lX.
std::string hresultName(HRESULT hr);
