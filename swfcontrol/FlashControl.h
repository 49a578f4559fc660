// The stand-in Shockwave Flash control: a windowed ActiveX control that plays
// SWF movies through its engine (a MovieRuntime), at their frame rate, in its
// window. It offers what hosts and OleCreate ask of the real control, with
// IShockwaveFlash in the real control's vtable layout.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <ocidl.h>
#include <olectl.h>

#include <memory>
#include <string>
#include <vector>

#include "movie/ShockwaveFlash.h"
#include "movie/ShockwaveFlashSlots.h"
#include "swfcontrol/EventConnectionPoint.h"
#include "swfcontrol/MovieRuntime.h"
#include "swfcontrol/Stage.h"
#include "swfcontrol/SwfReader.h"

class LoadJob;

class FlashControl final : public IShockwaveFlash,
                     public IOleObject,
                     public IPersistStorage,
                     public IOleInPlaceObject,
                     public IOleInPlaceActiveObject,
                     public IViewObject2,
                     public IDataObject,
                     public IConnectionPointContainer {
public:
    FlashControl();
    FlashControl(const FlashControl&) = delete;
    FlashControl& operator=(const FlashControl&) = delete;

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IDispatch (of IShockwaveFlash): no type information
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* exception, UINT* argError) override;

    // IShockwaveFlash: put_WMode, put_FlashVars, put_Movie, CallFunction and
    // the playback members work; every other slot answers E_NOTIMPL.
    STDMETHODIMP put_Movie(BSTR movie) override;
    STDMETHODIMP put_WMode(BSTR mode) override;
    STDMETHODIMP put_FlashVars(BSTR vars) override;
    STDMETHODIMP raw_CallFunction(BSTR request, BSTR* response) override;
#define QP_DECLARE_FLASH_SLOT(method, logName, params) STDMETHODIMP method params override;
    QP_FLASH_OTHER_SLOTS(QP_DECLARE_FLASH_SLOT)
#undef QP_DECLARE_FLASH_SLOT
    STDMETHODIMP get_TotalFrames(long* frames) override;
    STDMETHODIMP get_Playing(VARIANT_BOOL* playing) override;
    STDMETHODIMP put_Playing(VARIANT_BOOL playing) override;
    STDMETHODIMP get_Quality(int* quality) override;
    STDMETHODIMP put_Quality(int quality) override;
    STDMETHODIMP get_BackgroundColor(long* color) override;
    STDMETHODIMP put_BackgroundColor(long color) override;
    STDMETHODIMP get_Loop(VARIANT_BOOL* loop) override;
    STDMETHODIMP put_Loop(VARIANT_BOOL loop) override;
    STDMETHODIMP get_FrameNum(long* frame) override;
    STDMETHODIMP put_FrameNum(long frame) override;
    STDMETHODIMP raw_Play() override;
    STDMETHODIMP raw_Back() override;
    STDMETHODIMP raw_Forward() override;
    STDMETHODIMP raw_Rewind() override;
    STDMETHODIMP raw_StopPlay() override;
    STDMETHODIMP raw_GotoFrame(long frame) override;
    STDMETHODIMP raw_CurrentFrame(long* frame) override;
    STDMETHODIMP raw_IsPlaying(VARIANT_BOOL* playing) override;
    STDMETHODIMP get_Quality2(BSTR* quality) override;
    STDMETHODIMP put_Quality2(BSTR quality) override;
    STDMETHODIMP raw_TGotoFrame(BSTR target, long frame) override;
    STDMETHODIMP raw_TCurrentFrame(BSTR target, long* frame) override;

    // IOleObject
    STDMETHODIMP SetClientSite(IOleClientSite* site) override;
    STDMETHODIMP GetClientSite(IOleClientSite** site) override;
    STDMETHODIMP SetHostNames(LPCOLESTR app, LPCOLESTR object) override;
    STDMETHODIMP Close(DWORD saveOption) override;
    STDMETHODIMP SetMoniker(DWORD which, IMoniker* moniker) override;
    STDMETHODIMP GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) override;
    STDMETHODIMP InitFromData(IDataObject* data, BOOL creation, DWORD reserved) override;
    STDMETHODIMP GetClipboardData(DWORD reserved, IDataObject** data) override;
    STDMETHODIMP DoVerb(LONG verb, LPMSG message, IOleClientSite* activeSite, LONG index, HWND parent,
                        LPCRECT position) override;
    STDMETHODIMP EnumVerbs(IEnumOLEVERB** verbs) override;
    STDMETHODIMP Update() override;
    STDMETHODIMP IsUpToDate() override;
    STDMETHODIMP GetUserClassID(CLSID* clsid) override;
    STDMETHODIMP GetUserType(DWORD form, LPOLESTR* type) override;
    STDMETHODIMP SetExtent(DWORD aspect, SIZEL* size) override;
    STDMETHODIMP GetExtent(DWORD aspect, SIZEL* size) override;
    STDMETHODIMP Advise(IAdviseSink* sink, DWORD* connection) override;
    STDMETHODIMP Unadvise(DWORD connection) override;
    STDMETHODIMP EnumAdvise(IEnumSTATDATA** advise) override;
    STDMETHODIMP GetMiscStatus(DWORD aspect, DWORD* status) override;
    STDMETHODIMP SetColorScheme(LOGPALETTE* palette) override;

    // IPersistStorage: there is nothing to keep; InitNew is what OleCreate needs.
    STDMETHODIMP GetClassID(CLSID* clsid) override;
    STDMETHODIMP IsDirty() override;
    STDMETHODIMP InitNew(IStorage* storage) override;
    STDMETHODIMP Load(IStorage* storage) override;
    STDMETHODIMP Save(IStorage* storage, BOOL sameAsLoad) override;
    STDMETHODIMP SaveCompleted(IStorage* storage) override;
    STDMETHODIMP HandsOffStorage() override;

    // IOleWindow (of IOleInPlaceObject and IOleInPlaceActiveObject)
    STDMETHODIMP GetWindow(HWND* window) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL enter) override;

    // IOleInPlaceObject
    STDMETHODIMP InPlaceDeactivate() override;
    STDMETHODIMP UIDeactivate() override;
    STDMETHODIMP SetObjectRects(LPCRECT position, LPCRECT clip) override;
    STDMETHODIMP ReactivateAndUndo() override;

    // IOleInPlaceActiveObject
    STDMETHODIMP TranslateAccelerator(LPMSG message) override;
    STDMETHODIMP OnFrameWindowActivate(BOOL activate) override;
    STDMETHODIMP OnDocWindowActivate(BOOL activate) override;
    STDMETHODIMP ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window, BOOL frame) override;
    STDMETHODIMP EnableModeless(BOOL enable) override;

    // IViewObject2
    STDMETHODIMP Draw(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* device, HDC targetDevice,
                      HDC dc, LPCRECTL bounds, LPCRECTL windowBounds, BOOL(STDMETHODCALLTYPE* keepGoing)(ULONG_PTR),
                      ULONG_PTR keepGoingArgument) override;
    STDMETHODIMP GetColorSet(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* device, HDC targetDevice,
                             LOGPALETTE** colours) override;
    STDMETHODIMP Freeze(DWORD aspect, LONG index, void* aspectInfo, DWORD* freeze) override;
    STDMETHODIMP Unfreeze(DWORD freeze) override;
    STDMETHODIMP SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) override;
    STDMETHODIMP GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) override;
    STDMETHODIMP GetExtent(DWORD aspect, LONG index, DVTARGETDEVICE* device, LPSIZEL size) override;

    // IDataObject: the picture as an enhanced metafile, a metafile or a bitmap.
    STDMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override;
    STDMETHODIMP GetDataHere(FORMATETC* format, STGMEDIUM* medium) override;
    STDMETHODIMP QueryGetData(FORMATETC* format) override;
    STDMETHODIMP GetCanonicalFormatEtc(FORMATETC* format, FORMATETC* canonical) override;
    STDMETHODIMP SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) override;
    STDMETHODIMP EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats) override;
    STDMETHODIMP DAdvise(FORMATETC* format, DWORD flags, IAdviseSink* sink, DWORD* connection) override;
    STDMETHODIMP DUnadvise(DWORD connection) override;
    STDMETHODIMP EnumDAdvise(IEnumSTATDATA** advise) override;

    // IConnectionPointContainer
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** points) override;
    STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** point) override;

    // The formats GetData renders, in the order EnumFormatEtc gives them.
    static std::vector<FORMATETC> dataFormats();

    // The control's window classes, registered on first use; DllMain takes
    // them away when the DLL is unloaded.
    static void unregisterWindowClasses();

private:
    static void registerWindowClasses();

private:
    ~FlashControl();

    static LRESULT CALLBACK stageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK notifyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HRESULT notImplemented(const char* method);
    HRESULT activate(IOleClientSite* activeSite, HWND parent, LPCRECT position, bool uiActivate);
    void destroyStageWindow();
    void releaseInPlaceInterfaces();

    void loadMovie(const std::wstring& text);
    void cancelLoad();
    void onLoadEvents(WPARAM generation);
    void applyOutcome(LoadJob& job);
    void contentChanged();
    void setStatus(StageStatus status, const std::wstring& message);

    void startPlaying();
    void onFrameTimer();
    void scheduleFrameTimer();
    void restartClock();
    uint64_t ticksElapsed() const;
    // After anything that may have moved the timeline: the picture, the
    // queued FSCommand events, the clock. False when an event sink replaced
    // or unloaded the movie meanwhile.
    bool afterTimelineChange(bool restart);
    // The root timeline's frame (from 0), or 0 without a movie.
    long currentFrameNumber() const;
    HRESULT stepTimeline(const wchar_t* method, void (MovieRuntime::*step)());
    bool fireQueuedCommands();
    bool captureFrame();
    void showCurrentFrame(bool wholeStage);
    void dropMovie();
    void applyBackground();
    HRESULT setPlaying(bool playing);
    HRESULT gotoFrame(long frame);
    HRESULT setQuality(const std::wstring& name);
    void stageMouse(UINT message, LPARAM lParam);
    void setStageCursor();
    void stageCaptureLost();

    void paint(HDC dc, const RECT& paintRect);
    // The stage as it stands, into any DC: the drawn frame, else paintStage.
    void drawStage(HDC dc, const RECT& area);
    void paintPicture(HDC dc, const RECT& area);
    SIZE pictureSize() const;

    LONG refCount_ = 1;
    EventConnectionPoint events_;

    IOleClientSite* site_ = nullptr;
    IOleAdviseHolder* oleAdvise_ = nullptr;
    IDataAdviseHolder* dataAdvise_ = nullptr;
    IAdviseSink* viewSink_ = nullptr;
    DWORD viewAspects_ = 0, viewFlags_ = 0;
    SIZEL extent_; // HIMETRIC

    IOleInPlaceSite* inPlaceSite_ = nullptr;
    IOleInPlaceFrame* frame_ = nullptr;
    IOleInPlaceUIWindow* document_ = nullptr;
    bool inPlaceActive_ = false;
    bool uiActive_ = false;
    HWND stageWindow_ = nullptr;
    HWND notifyWindow_ = nullptr; // message-only: reports of the load's worker thread

    std::wstring movie_, wmode_, flashVars_;
    std::shared_ptr<LoadJob> job_;
    WPARAM generation_ = 0;
    int reportedPercent_ = -1;

    StageState stage_;
    std::unique_ptr<MovieRuntime> runtime_;
    std::vector<std::pair<std::string, std::string>> queuedCommands_;
    // What the host set, kept across movies.
    std::wstring quality_ = L"high"; // as Quality2 names it
    bool loop_ = true;
    bool playOnLoad_ = true;
    long backgroundOverride_ = -1; // 0xRRGGBB, or -1 for the movie's own
    uint32_t movieBackground_ = 0xffffff;
    LARGE_INTEGER clockStart_ = {};
    uint64_t ticks_ = 0;          // ticks run since clockStart_
    std::vector<uint32_t> shown_; // the drawn frame on the stage, when the runtime draws
    int shownWidth_ = 0, shownHeight_ = 0;
    uint64_t framesShown_ = 0; // drawn frames that differed from the one before
    POINT shownAt_ = {0, 0};   // the stage window's screen origin at the last frame
    POINT shownInTopLevel_ = {0, 0}; // and its origin in its top-level window
    bool buttonDown_ = false;        // pressed on the stage, not yet released
};
