// The AX window in-process: creation, activation, resizing, teardown and the
// private messages, against RecordingControl.
#include <new>

#include <olectl.h>

#include "tests/wine/AXFixture.h"
#include "axhost/FlashNotify.h"

// Heap blocks the size of an AXHost, watched while a window is created: the
// record of a failed creation must be freed before CreateWindowExW returns.
namespace {

struct HostBlockWatch {
    bool watching = false;
    int allocated = 0;
    int live = 0;
    void* blocks[8] = {};
};
HostBlockWatch hostBlocks;

void noteAllocation(void* block, std::size_t size)
{
    if (!hostBlocks.watching || size != sizeof(AXHost) || !block)
        return;
    ++hostBlocks.allocated;
    for (void*& slot : hostBlocks.blocks)
        if (!slot) {
            slot = block;
            ++hostBlocks.live;
            return;
        }
}

void noteFree(void* block)
{
    if (!block)
        return;
    for (void*& slot : hostBlocks.blocks)
        if (slot == block) {
            slot = nullptr;
            --hostBlocks.live;
            return;
        }
}

void release(void* block)
{
    noteFree(block);
    if (block)
        HeapFree(GetProcessHeap(), 0, block);
}

void* allocate(std::size_t size)
{
    void* block = HeapAlloc(GetProcessHeap(), 0, size ? size : 1);
    noteAllocation(block, size);
    return block;
}

} // namespace

void* operator new(std::size_t size)
{
    void* block = allocate(size);
    if (!block)
        throw std::bad_alloc();
    return block;
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    return allocate(size);
}

void operator delete(void* block) noexcept
{
    release(block);
}

void operator delete(void* block, std::size_t) noexcept
{
    release(block);
}

void operator delete(void* block, const std::nothrow_t&) noexcept
{
    release(block);
}

namespace {

const UINT eventMessage = WM_APP + 5;

ControlScript* callbackScript = nullptr;
AXEventCall lastCallback = {};

void recordCallback(AXEventCall* call)
{
    lastCallback = *call;
    if (callbackScript)
        callbackScript->record("callback(" + std::to_string(call->dispid) + ")");
}

TEST_F(AXWindowTest, CreatesTheControlAndWiresUpItsSite)
{
    HWND ax = createAXWindow(script, parent.handle());
    ASSERT_TRUE(ax);
    // OleCreate's own calls (the first four and Run), then the host's. The
    // visible window's first WM_SIZE comes before its name is known.
    EXPECT_EQ(script.take(), (CallLog{"CreateInstance(IOleObject)", "GetMiscStatus(1)", "InitNew(obj)",
                                      "SetClientSite(obj)", "Run", "SetClientSite(obj)", "SetContainedObject(1)",
                                      "Advise(obj)", "SetAdvise(1,0,obj)", "WM_NOTIFY(hwnd,888,1)",
                                      "SetObjectRects(0,0,300,200,0,0,300,200)"}));

    AXHost* host = axHost(ax);
    ASSERT_TRUE(host);
    EXPECT_EQ(reinterpret_cast<AXHost*>(GetWindowLongPtrW(ax, GWLP_USERDATA)), host);
    EXPECT_EQ(static_cast<void*>(&host->site), static_cast<void*>(host)); // the site comes first
    RecordingControl* control = script.latest();
    ASSERT_TRUE(control);
    EXPECT_EQ(host->control, static_cast<IOleObject*>(control));
    EXPECT_EQ(host->requestedIid, &IID_IOleObject);
    EXPECT_TRUE(IsEqualCLSID(host->clsid, CLSID_ShockwaveFlash));
    EXPECT_TRUE(host->storage);
    EXPECT_EQ(control->storage, host->storage);
    EXPECT_EQ(host->viewObject, static_cast<IViewObject*>(static_cast<IViewObject2*>(control)));
    EXPECT_EQ(host->dataObject, static_cast<IDataObject*>(control));
    EXPECT_EQ(host->adviseCookie, 1u);
    EXPECT_EQ(host->activeObject, nullptr);
    EXPECT_EQ(host->connection, nullptr);

    EXPECT_EQ(control->clientSite, static_cast<IOleClientSite*>(&host->site));
    EXPECT_EQ(control->oleAdviseSink, static_cast<IAdviseSink*>(&host->site));
    EXPECT_EQ(control->viewAdviseSink, static_cast<IAdviseSink*>(&host->site));
    EXPECT_EQ(host->site.host, host);
    EXPECT_EQ(host->site.window, ax);
    EXPECT_EQ(host->site.frameWindow, parent.handle());
    EXPECT_FALSE(host->site.inPlaceActive);
    EXPECT_FALSE(control->inPlaceActive);

    destroyAndCheckReleased(ax);
}

TEST_F(AXWindowTest, RetriesWithoutDrawingWhenTheFirstCreationFails)
{
    script.fail("Run", E_FAIL, 1); // OleRun is what only OLERENDER_DRAW asks for
    HWND ax = createAXWindow(script, parent.handle());
    ASSERT_TRUE(ax);
    EXPECT_EQ(script.take(),
              (CallLog{"CreateInstance(IOleObject)", "GetMiscStatus(1)", "InitNew(obj)", "SetClientSite(obj)", "Run",
                       "Destroyed", "CreateInstance(IOleObject)", "GetMiscStatus(1)", "InitNew(obj)",
                       "SetClientSite(obj)", "SetClientSite(obj)", "SetContainedObject(1)", "Advise(obj)",
                       "SetAdvise(1,0,obj)", "WM_NOTIFY(hwnd,888,1)", "SetObjectRects(0,0,300,200,0,0,300,200)"}));
    EXPECT_EQ(script.liveControls(), 1);
    EXPECT_EQ(axHost(ax)->control, static_cast<IOleObject*>(script.latest()));
    destroyAndCheckReleased(ax);
}

struct FailedCreation {
    const char* what;
    const wchar_t* text;
    bool failBothCreations;
    CallLog expected;
};

TEST_F(AXWindowTest, FailedCreationFailsTheWindowAndFreesTheRecord)
{
    const FailedCreation cases[] = {
        {"not a CLSID", L"Quibbleton", false, {}},
        {"empty text", L"", false, {}},
        {"unregistered class", L"{0E1A3A6B-3C1D-4F7A-9B2E-5C6D7E8F9A0B}", false, {}},
        {"both OleCreate calls fail", flashText, true,
         {"CreateInstance(IOleObject)", "GetMiscStatus(1)", "InitNew(obj)", "SetClientSite(obj)", "Destroyed",
          "CreateInstance(IOleObject)", "GetMiscStatus(1)", "InitNew(obj)", "SetClientSite(obj)", "Destroyed"}},
    };
    for (const FailedCreation& c : cases) {
        SCOPED_TRACE(c.what);
        script.fail("SetClientSite", c.failBothCreations ? E_FAIL : S_OK, c.failBothCreations ? -1 : 0);
        script.storageNames.clear();

        hostBlocks = HostBlockWatch();
        hostBlocks.watching = true;
        HWND ax = createAXWindow(script, parent.handle(), c.text);
        hostBlocks.watching = false;

        EXPECT_EQ(ax, nullptr);
        EXPECT_EQ(script.take(), c.expected);
        EXPECT_EQ(hostBlocks.allocated, 1) << "the record was never allocated";
        EXPECT_EQ(hostBlocks.live, 0) << "the record outlived the failed creation";
        EXPECT_EQ(script.liveControls(), 0);
        for (const std::wstring& name : script.storageNames)
            EXPECT_FALSE(fileExists(name)) << "left behind: " << testing::PrintToString(name);
    }
}

TEST_F(AXWindowTest, TemporaryStorageGoesAwayWithTheHost)
{
    HWND ax = createHosted();
    ASSERT_EQ(script.storageNames.size(), 1u);
    const std::wstring file = script.storageNames[0];
    EXPECT_TRUE(fileExists(file)) << "the control's storage has no file to watch: "
                                  << testing::PrintToString(file);
    destroyAndCheckReleased(ax);
    EXPECT_FALSE(fileExists(file)) << "left behind: " << testing::PrintToString(file);
}

TEST_F(AXWindowTest, ClosingBraceWaitsForAttach)
{
    HWND ax = createAXWindow(script, parent.handle(), noHostText);
    ASSERT_TRUE(ax) << "a text beginning with } must still make a window";
    EXPECT_EQ(script.take(), CallLog{});
    EXPECT_EQ(axHost(ax), nullptr);

    // Without a host every private message answers 0 and touches nothing.
    IUnknown* sentinel = reinterpret_cast<IUnknown*>(0xdeadbeef);
    IUnknown* object = sentinel;
    EXPECT_EQ(SendMessageW(ax, AXM_QUERYINTERFACE, reinterpret_cast<WPARAM>(&IID_IUnknown),
                           reinterpret_cast<LPARAM>(&object)), 0);
    EXPECT_EQ(object, sentinel);
    AXConnection connection = {nullptr, reinterpret_cast<IConnectionPointContainer*>(0xdeadbeef),
                               reinterpret_cast<IConnectionPoint*>(0xdeadbeef), 0xdeadbeef, {}};
    EXPECT_EQ(SendMessageW(ax, AXM_ADVISE, reinterpret_cast<WPARAM>(&DIID__IShockwaveFlashEvents),
                           reinterpret_cast<LPARAM>(&connection)), 0);
    EXPECT_EQ(connection.cookie, 0xdeadbeefu);
    EXPECT_EQ(connection.point, reinterpret_cast<IConnectionPoint*>(0xdeadbeef));
    const UINT messages[] = {AXM_ACTIVATE, AXM_UNADVISE, AXM_DATAADVISE, AXM_SETCOMMANDTARGET,
                             AXM_SETEVENTNOTIFY, AXM_SETSERVICEPROVIDER, AXM_SETEVENTCALLBACK, WM_COMMAND,
                             WM_KEYDOWN};
    for (UINT message : messages) {
        SCOPED_TRACE(message);
        EXPECT_EQ(SendMessageW(ax, message, 1, 0), 0);
    }
    SetWindowPos(ax, nullptr, 0, 0, 320, 240, SWP_NOZORDER | SWP_NOMOVE);
    EXPECT_EQ(script.take(), CallLog{});

    // The stored text's "}" becomes "{", so the host still learns the class.
    IUnknown* made = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_ShockwaveFlash, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(&made)), S_OK);
    script.take();
    EXPECT_EQ(SendMessageW(ax, AXM_ATTACH, 0, reinterpret_cast<LPARAM>(made)), 0);
    made->Release();
    EXPECT_EQ(script.take(), (CallLog{"SetClientSite(obj)", "SetContainedObject(1)", "Advise(obj)",
                                      "SetAdvise(1,0,obj)"}));
    AXHost* host = axHost(ax);
    ASSERT_TRUE(host);
    RecordingControl* control = script.latest();
    EXPECT_EQ(host->control, static_cast<IOleObject*>(control));
    EXPECT_TRUE(IsEqualCLSID(host->clsid, CLSID_ShockwaveFlash));
    EXPECT_EQ(host->site.frameWindow, parent.handle());

    // From here on it is a host like any other.
    EXPECT_EQ(SendMessageW(ax, AXM_ACTIVATE, 1, 0), 1);
    EXPECT_TRUE(control->inPlaceActive);

    // A second attach would orphan the first host and its control.
    IUnknown* another = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_ShockwaveFlash, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(&another)), S_OK);
    script.take();
    EXPECT_EQ(SendMessageW(ax, AXM_ATTACH, 0, reinterpret_cast<LPARAM>(another)), -1);
    another->Release();
    EXPECT_EQ(script.take(), CallLog{"Destroyed"});
    EXPECT_EQ(axHost(ax), host);
    EXPECT_EQ(host->control, static_cast<IOleObject*>(control));

    destroyAndCheckReleased(ax);
}

TEST_F(AXWindowTest, AttachWithoutAnOleObjectLeavesTheWindowWithoutHost)
{
    HWND ax = createAXWindow(script, parent.handle(), noHostText);
    ASSERT_TRUE(ax);
    EXPECT_EQ(SendMessageW(ax, AXM_ATTACH, 0, 0), -1);
    EXPECT_EQ(axHost(ax), nullptr);

    script.withhold(IID_IOleObject);
    IUnknown* made = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_ShockwaveFlash, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(&made)), S_OK);
    EXPECT_EQ(SendMessageW(ax, AXM_ATTACH, 0, reinterpret_cast<LPARAM>(made)), -1);
    EXPECT_EQ(axHost(ax), nullptr);
    EXPECT_EQ(made->Release(), 0u) << "the failed attach kept a reference";
    EXPECT_EQ(script.take(), (CallLog{"CreateInstance(IUnknown)", "Destroyed"}));
    DestroyWindow(ax);
}

TEST_F(AXWindowTest, ActivatesAndDeactivatesInPlace)
{
    HWND ax = createHosted();
    AXHost* host = axHost(ax);
    RecordingControl* control = script.latest();
    ASSERT_TRUE(host && control);
    EXPECT_EQ(host->site.CanInPlaceActivate(), S_FALSE);
    EXPECT_EQ(SendMessageW(ax, AXM_ACTIVATE, 0, 0), 0) << "deactivating an inactive control";
    EXPECT_EQ(SendMessageW(ax, AXM_ACTIVATE, 2, 0), 0) << "only 1 activates";
    EXPECT_EQ(script.take(), CallLog{});

    EXPECT_EQ(SendMessageW(ax, AXM_ACTIVATE, 1, 0), 1);
    EXPECT_EQ(script.take(), (CallLog{"DoVerb(-5,null,obj,0,ax,0,0,300,200)", "site.CanInPlaceActivate=S_OK",
                                      "site.GetWindowContext", "frame.SetActiveObject(obj)"}));
    EXPECT_TRUE(host->site.inPlaceActive);
    EXPECT_FALSE(host->site.inPlaceWithheld);
    EXPECT_EQ(host->site.CanInPlaceActivate(), S_OK);
    EXPECT_EQ(host->activeObject, static_cast<IOleInPlaceActiveObject*>(control));

    // What the control learnt from GetWindowContext.
    EXPECT_EQ(control->documentGiven, nullptr); // was a sentinel before the call
    const RECT client = {0, 0, 300, 200};
    EXPECT_TRUE(EqualRect(&control->positionGiven, &client));
    EXPECT_TRUE(EqualRect(&control->clipGiven, &client));
    EXPECT_EQ(control->frameInfoGiven.cb, sizeof(OLEINPLACEFRAMEINFO));
    EXPECT_EQ(control->frameInfoGiven.fMDIApp, FALSE);
    EXPECT_EQ(control->frameInfoGiven.hwndFrame, parent.handle());
    EXPECT_EQ(control->frameInfoGiven.haccel, nullptr);
    EXPECT_EQ(control->frameInfoGiven.cAccelEntries, 0u);
    ASSERT_TRUE(control->frame);
    HWND frameWindow = nullptr;
    EXPECT_EQ(control->frame->GetWindow(&frameWindow), S_OK);
    EXPECT_EQ(frameWindow, ax) << "the frame answers the AX window, not the main window";

    EXPECT_EQ(SendMessageW(ax, AXM_ACTIVATE, 1, 0), 0) << "already active";
    EXPECT_EQ(SendMessageW(ax, AXM_ACTIVATE, 2, 0), 0);
    EXPECT_EQ(script.take(), CallLog{});
    EXPECT_TRUE(host->site.inPlaceActive);

    EXPECT_EQ(SendMessageW(ax, AXM_ACTIVATE, 0, 0), 1);
    EXPECT_EQ(script.take(), (CallLog{"UIDeactivate", "frame.SetActiveObject(null)", "InPlaceDeactivate"}));
    EXPECT_FALSE(host->site.inPlaceActive);
    EXPECT_EQ(host->site.CanInPlaceActivate(), S_FALSE);
    EXPECT_EQ(host->activeObject, nullptr);
    EXPECT_EQ(SendMessageW(ax, AXM_ACTIVATE, 0, 0), 0);

    destroyAndCheckReleased(ax);
}

TEST_F(AXWindowTest, WithheldActivationGivesTheControlNoInPlaceSite)
{
    HWND ax = createHosted();
    AXHost* host = axHost(ax);
    EXPECT_EQ(SendMessageW(ax, AXM_ACTIVATE, 1, 1), 1);
    EXPECT_EQ(script.take(), (CallLog{"DoVerb(-5,null,obj,0,ax,0,0,300,200)",
                                      "site.QueryInterface(IOleInPlaceSite)=E_NOINTERFACE"}));
    EXPECT_TRUE(host->site.inPlaceActive);
    EXPECT_TRUE(host->site.inPlaceWithheld);

    // Each activation writes the flag anew.
    EXPECT_EQ(SendMessageW(ax, AXM_ACTIVATE, 0, 0), 1);
    EXPECT_EQ(SendMessageW(ax, AXM_ACTIVATE, 1, 0), 1);
    EXPECT_FALSE(host->site.inPlaceWithheld);
    EXPECT_TRUE(script.latest()->inPlaceActive);
    destroyAndCheckReleased(ax);
}

TEST_F(AXWindowTest, ResizingNotifiesTheParentThenResizesTheControl)
{
    HWND ax = createHosted();
    SetWindowPos(ax, nullptr, 0, 0, 320, 240, SWP_NOZORDER | SWP_NOMOVE);
    EXPECT_EQ(script.take(), (CallLog{"WM_NOTIFY(ax,888,1)", "SetObjectRects(0,0,320,240,0,0,320,240)"}));

    SetWindowPos(ax, nullptr, 0, 0, 0, 0, SWP_NOZORDER | SWP_NOMOVE);
    EXPECT_EQ(script.take(), (CallLog{"WM_NOTIFY(ax,888,1)", "SetObjectRects(0,0,0,0,0,0,0,0)"}));
    destroyAndCheckReleased(ax);

    script.withhold(IID_IOleInPlaceObject);
    ax = createHosted();
    SetWindowPos(ax, nullptr, 0, 0, 320, 240, SWP_NOZORDER | SWP_NOMOVE);
    EXPECT_EQ(script.take(), CallLog{"WM_NOTIFY(ax,888,1)"});
    destroyAndCheckReleased(ax);
}

TEST_F(AXWindowTest, TeardownTakesTheControlDownInOrder)
{
    {
        SCOPED_TRACE("in-place active, with data connections");
        HWND ax = createHosted();
        ASSERT_EQ(SendMessageW(ax, AXM_ACTIVATE, 1, 0), 1);
        ASSERT_EQ(SendMessageW(ax, AXM_DATAADVISE, 2, DATADIR_GET), 1);
        ASSERT_EQ(SendMessageW(ax, AXM_DATAADVISE, 0, DATADIR_GET), 1);
        script.take();
        script.logReferences = true;
        EXPECT_EQ(SendMessageW(ax, WM_DESTROY, 0, 0), 1);
        // The active object goes back when the control leaves UI activity; the
        // data connections go in slot order, not in the order they were made.
        EXPECT_EQ(script.take(),
                  (CallLog{"QueryInterface(IOleInPlaceObject)", "UIDeactivate", "Release(IOleInPlaceActiveObject)",
                           "frame.SetActiveObject(null)", "InPlaceDeactivate", "Release(IOleInPlaceObject)",
                           "Unadvise(1)", "DUnadvise(102)", "DUnadvise(101)", "Release(IDataObject)",
                           "Release(IViewObject)", "Release(IOleObject)", "Destroyed"}));
        script.logReferences = false;
        destroyAndCheckReleased(ax);
    }
    {
        SCOPED_TRACE("holding an active object");
        HWND ax = createHosted();
        AXHost* host = axHost(ax);
        IOleInPlaceActiveObject* active = nullptr;
        ASSERT_EQ(SendMessageW(ax, AXM_QUERYINTERFACE, reinterpret_cast<WPARAM>(&IID_IOleInPlaceActiveObject),
                               reinterpret_cast<LPARAM>(&active)), S_OK);
        host->site.SetActiveObject(active, L"control");
        active->Release();
        const std::wstring file = script.storageNames.back();
        script.logReferences = true;
        EXPECT_EQ(SendMessageW(ax, WM_DESTROY, 0, 0), 1);
        EXPECT_EQ(script.take(), (CallLog{"Unadvise(1)", "Release(IOleInPlaceActiveObject)", "Release(IDataObject)",
                                          "Release(IViewObject)", "Release(IOleObject)", "Destroyed"}));
        script.logReferences = false;
        EXPECT_FALSE(fileExists(file));
        destroyAndCheckReleased(ax);
    }
}

TEST_F(AXWindowTest, TornDownHostStaysAndRefusesWhatNeedsTheControl)
{
    HWND ax = createHosted();
    AXHost* host = axHost(ax);
    ASSERT_EQ(SendMessageW(ax, AXM_ACTIVATE, 1, 0), 1);
    ASSERT_EQ(SendMessageW(ax, WM_DESTROY, 0, 0), 1);
    script.take();

    EXPECT_EQ(axHost(ax), host) << "the record stays in the window after WM_DESTROY";
    EXPECT_EQ(host->control, nullptr);
    EXPECT_EQ(host->storage, nullptr);
    EXPECT_EQ(host->viewObject, nullptr);
    EXPECT_EQ(host->dataObject, nullptr);
    EXPECT_EQ(host->activeObject, nullptr);
    EXPECT_EQ(host->adviseCookie, 0u);
    EXPECT_FALSE(host->site.inPlaceActive);
    EXPECT_EQ(script.liveControls(), 0);
    EXPECT_EQ(host->site.refCount, 0);

    // With no control: a failure and a null interface, not a crash.
    IUnknown* object = reinterpret_cast<IUnknown*>(0xdeadbeef);
    EXPECT_EQ(static_cast<HRESULT>(SendMessageW(ax, AXM_QUERYINTERFACE, reinterpret_cast<WPARAM>(&IID_IUnknown),
                                                reinterpret_cast<LPARAM>(&object))),
              E_FAIL);
    EXPECT_EQ(object, nullptr);
    AXConnection connection = {nullptr, reinterpret_cast<IConnectionPointContainer*>(0xdeadbeef),
                               reinterpret_cast<IConnectionPoint*>(0xdeadbeef), 0xdeadbeef,
                               DIID__IShockwaveFlashEvents};
    EXPECT_EQ(SendMessageW(ax, AXM_ADVISE, reinterpret_cast<WPARAM>(&DIID__IShockwaveFlashEvents),
                           reinterpret_cast<LPARAM>(&connection)), 0);
    EXPECT_EQ(connection.container, nullptr);
    EXPECT_EQ(connection.point, nullptr);
    EXPECT_EQ(connection.cookie, 0u);
    EXPECT_EQ(host->connection, nullptr);
    EXPECT_EQ(SendMessageW(ax, AXM_DATAADVISE, static_cast<WPARAM>(-1), DATADIR_GET), 0);
    EXPECT_EQ(SendMessageW(ax, AXM_DATAADVISE, 0, DATADIR_GET), 0);
    EXPECT_EQ(SendMessageW(ax, AXM_ACTIVATE, 1, 0), 0);
    SetWindowPos(ax, nullptr, 0, 0, 320, 240, SWP_NOZORDER | SWP_NOMOVE);
    EXPECT_EQ(SendMessageW(ax, WM_KEYDOWN, VK_RETURN, 0), 0);
    EXPECT_EQ(SendMessageW(ax, WM_DESTROY, 0, 0), 1) << "a second teardown finds nothing left to do";
    EXPECT_EQ(script.take(), CallLog{});
    DestroyWindow(ax);
    EXPECT_EQ(script.take(), CallLog{});
}

TEST_F(AXWindowTest, HandsOutTheControlsInterfaces)
{
    HWND ax = createHosted();
    RecordingControl* control = script.latest();
    IShockwaveFlash* flash = nullptr;
    EXPECT_EQ(SendMessageW(ax, AXM_QUERYINTERFACE, reinterpret_cast<WPARAM>(&IID_IShockwaveFlash),
                           reinterpret_cast<LPARAM>(&flash)), S_OK);
    EXPECT_EQ(flash, static_cast<IShockwaveFlash*>(control));
    LONG held = control->references();
    ASSERT_TRUE(flash);
    EXPECT_EQ(flash->Release(), static_cast<ULONG>(held - 1)) << "the caller owns the reference it got";

    IUnknown* link = reinterpret_cast<IUnknown*>(0xdeadbeef);
    EXPECT_EQ(static_cast<HRESULT>(SendMessageW(ax, AXM_QUERYINTERFACE, reinterpret_cast<WPARAM>(&IID_IOleLink),
                                                reinterpret_cast<LPARAM>(&link))),
              E_NOINTERFACE);
    EXPECT_EQ(link, nullptr);
    EXPECT_EQ(static_cast<HRESULT>(SendMessageW(ax, AXM_QUERYINTERFACE, reinterpret_cast<WPARAM>(&IID_IUnknown), 0)),
              E_POINTER);
    destroyAndCheckReleased(ax);
}

TEST_F(AXWindowTest, CountsAndAdvisesDataFormats)
{
    HWND ax = createHosted();
    AXHost* host = axHost(ax);
    RecordingControl* control = script.latest();

    EXPECT_EQ(SendMessageW(ax, AXM_DATAADVISE, static_cast<WPARAM>(-1), DATADIR_GET), 3);
    EXPECT_EQ(SendMessageW(ax, AXM_DATAADVISE, static_cast<WPARAM>(-1), DATADIR_SET), 3);
    EXPECT_EQ(script.take(), (CallLog{"EnumFormatEtc(1)", "EnumFormatEtc(2)"}));
    script.dataFormats = 0;
    EXPECT_EQ(SendMessageW(ax, AXM_DATAADVISE, static_cast<WPARAM>(-1), DATADIR_GET), 0);
    script.dataFormats = 3;

    EXPECT_EQ(SendMessageW(ax, AXM_DATAADVISE, 0, DATADIR_GET), 1);
    EXPECT_EQ(SendMessageW(ax, AXM_DATAADVISE, 2, DATADIR_GET), 1);
    EXPECT_EQ(script.take(),
              (CallLog{"EnumFormatEtc(1)", "EnumFormatEtc(1)", "DAdvise(1,0,obj)", "EnumFormatEtc(1)",
                       "DAdvise(3,0,obj)"}));
    EXPECT_EQ(host->dataConnections[0], 101u);
    EXPECT_EQ(host->dataConnections[2], 102u);
    EXPECT_EQ(control->dataAdviseSinks[101], static_cast<IAdviseSink*>(&host->site));

    // A slot advised again gives up its earlier connection first.
    EXPECT_EQ(SendMessageW(ax, AXM_DATAADVISE, 0, DATADIR_GET), 1);
    EXPECT_EQ(script.take(), (CallLog{"EnumFormatEtc(1)", "DUnadvise(101)", "DAdvise(1,0,obj)"}));
    EXPECT_EQ(host->dataConnections[0], 103u);
    EXPECT_EQ(control->dataAdviseSinks.size(), 2u);
    destroyAndCheckReleased(ax);

    script.withhold(IID_IDataObject);
    ax = createHosted();
    EXPECT_EQ(axHost(ax)->dataObject, nullptr);
    EXPECT_EQ(SendMessageW(ax, AXM_DATAADVISE, static_cast<WPARAM>(-1), DATADIR_GET), 0);
    EXPECT_EQ(SendMessageW(ax, AXM_DATAADVISE, 0, DATADIR_GET), 0);
    EXPECT_EQ(script.take(), CallLog{});
    destroyAndCheckReleased(ax);
}

TEST_F(AXWindowTest, RefusesDataSlotsOutsideTheRecordOrTheFormats)
{
    HWND ax = createHosted();
    AXHost* host = axHost(ax);
    struct Slot {
        WPARAM slot;
        CallLog expected;
    };
    const Slot refused[] = {
        {3, {"EnumFormatEtc(1)"}}, // three formats: 0, 1 and 2
        {99, {"EnumFormatEtc(1)"}},
        {100, {}},
        {static_cast<WPARAM>(-2), {}},
        {0x7fffffff, {}},
    };
    for (const Slot& s : refused) {
        SCOPED_TRACE(static_cast<long long>(static_cast<INT_PTR>(s.slot)));
        EXPECT_EQ(SendMessageW(ax, AXM_DATAADVISE, s.slot, DATADIR_GET), 0);
        EXPECT_EQ(script.take(), s.expected);
    }
    for (DWORD connection : host->dataConnections)
        EXPECT_EQ(connection, 0u);
    EXPECT_TRUE(script.latest()->dataAdviseSinks.empty());

    script.dataFormats = 100;
    EXPECT_EQ(SendMessageW(ax, AXM_DATAADVISE, 99, DATADIR_GET), 1);
    EXPECT_EQ(script.take(), (CallLog{"EnumFormatEtc(1)", "DAdvise(100,0,obj)"}));
    EXPECT_EQ(host->dataConnections[99], 101u);
    destroyAndCheckReleased(ax);
}

TEST_F(AXWindowTest, AdvisesItsOwnSiteAndDeliversEvents)
{
    HWND ax = createHosted();
    AXHost* host = axHost(ax);
    RecordingControl* control = script.latest();
    LONG controlReferences = control->references();
    LONG siteReferences = host->site.refCount;
    EXPECT_EQ(SendMessageW(ax, AXM_SETEVENTNOTIFY, reinterpret_cast<WPARAM>(parent.handle()), eventMessage), 1);
    parent.eventMessage = eventMessage;
    callbackScript = &script;
    EXPECT_EQ(SendMessageW(ax, AXM_SETEVENTCALLBACK, reinterpret_cast<WPARAM>(&recordCallback), 0), 1);

    AXConnection connection = {nullptr, reinterpret_cast<IConnectionPointContainer*>(0xdeadbeef),
                               reinterpret_cast<IConnectionPoint*>(0xdeadbeef), 0xdeadbeef,
                               DIID__IShockwaveFlashEvents};
    EXPECT_EQ(SendMessageW(ax, AXM_ADVISE, reinterpret_cast<WPARAM>(&DIID__IShockwaveFlashEvents),
                           reinterpret_cast<LPARAM>(&connection)), 0);
    EXPECT_EQ(script.take(), (CallLog{"FindConnectionPoint(_IShockwaveFlashEvents)", "point.Advise(obj)"}));
    EXPECT_EQ(connection.sink, static_cast<IUnknown*>(static_cast<AXSiteUnknown*>(&host->site)));
    EXPECT_EQ(connection.container, static_cast<IConnectionPointContainer*>(control));
    EXPECT_TRUE(connection.point);
    EXPECT_EQ(connection.cookie, 1u);
    ASSERT_TRUE(host->connection);
    EXPECT_NE(host->connection, &connection);
    EXPECT_EQ(host->connection->point, connection.point);
    EXPECT_EQ(host->connection->cookie, 1u);
    EXPECT_TRUE(IsEqualIID(host->site.eventIid, DIID__IShockwaveFlashEvents));

    // The point found the site through the event interface.
    ASSERT_EQ(control->eventSinks().size(), 1u);
    IUnknown* identity = nullptr;
    ASSERT_EQ(control->eventSinks()[0]->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
    EXPECT_EQ(identity, siteIdentity(host));
    identity->Release();

    VARIANT argument;
    VariantInit(&argument);
    V_VT(&argument) = VT_I4;
    V_I4(&argument) = 7;
    DISPPARAMS params = {&argument, nullptr, 1, 0};
    EXPECT_EQ(control->fire(DISPID_FLASH_FSCOMMAND, &params), S_OK);
    EXPECT_EQ(script.take(), (CallLog{"event(150)", "callback(150)"}));
    ASSERT_EQ(parent.events.size(), 1u);
    EXPECT_EQ(parent.events[0].host, host);
    EXPECT_EQ(parent.events[0].params, &params);
    EXPECT_EQ(lastCallback.host, host);
    EXPECT_EQ(lastCallback.dispid, DISPID_FLASH_FSCOMMAND);

    EXPECT_EQ(SendMessageW(ax, AXM_UNADVISE, 0, 0), 0);
    EXPECT_EQ(script.take(), CallLog{"point.Unadvise(1)"});
    EXPECT_EQ(host->connection, nullptr);
    EXPECT_TRUE(control->eventSinks().empty());
    EXPECT_EQ(control->references(), controlReferences);
    EXPECT_EQ(host->site.refCount, siteReferences);
    EXPECT_EQ(SendMessageW(ax, AXM_UNADVISE, 0, 0), 0);
    EXPECT_EQ(script.take(), CallLog{});
    callbackScript = nullptr;
    destroyAndCheckReleased(ax);
}

TEST_F(AXWindowTest, AdviseTakesDownTheStoredConnectionFirst)
{
    HWND ax = createHosted();
    AXHost* host = axHost(ax);
    RecordingControl* control = script.latest();
    LONG controlReferences = control->references();
    FlashNotify sink;

    AXConnection first = {static_cast<_IShockwaveFlashEvents*>(&sink), nullptr, nullptr, 0, {}};
    SendMessageW(ax, AXM_ADVISE, reinterpret_cast<WPARAM>(&DIID__IShockwaveFlashEvents),
                 reinterpret_cast<LPARAM>(&first));
    EXPECT_EQ(first.cookie, 1u);
    EXPECT_EQ(sink.refCount, 2);
    EXPECT_TRUE(IsEqualIID(host->site.eventIid, IID_NULL)) << "only an advise of the site sets its event IID";

    // The events reach FlashNotify, which checks FlashCall's one argument.
    VARIANT request;
    VariantInit(&request);
    V_VT(&request) = VT_BSTR;
    V_BSTR(&request) = SysAllocString(L"<invoke name=\"ping\"/>");
    DISPPARAMS oneText = {&request, nullptr, 1, 0};
    DISPPARAMS nothing = {nullptr, nullptr, 0, 0};
    EXPECT_EQ(control->fire(DISPID_FLASH_FLASHCALL, &oneText), S_OK);
    EXPECT_EQ(control->fire(DISPID_FLASH_FLASHCALL, &nothing), E_INVALIDARG);
    VariantClear(&request);

    AXConnection second = {nullptr, nullptr, nullptr, 0, DIID__IShockwaveFlashEvents};
    script.take();
    SendMessageW(ax, AXM_ADVISE, reinterpret_cast<WPARAM>(&DIID__IShockwaveFlashEvents),
                 reinterpret_cast<LPARAM>(&second));
    EXPECT_EQ(script.take(), (CallLog{"point.Unadvise(1)", "FindConnectionPoint(_IShockwaveFlashEvents)",
                                      "point.Advise(obj)"}));
    EXPECT_EQ(sink.refCount, 1) << "the earlier connection still holds the sink";
    EXPECT_EQ(second.cookie, 2u);
    EXPECT_EQ(control->eventSinks().size(), 1u);

    SendMessageW(ax, AXM_UNADVISE, 0, 0);
    EXPECT_EQ(control->references(), controlReferences) << "a container or point was not given back";
    destroyAndCheckReleased(ax);
}

// An advise that finds no container or no point reports an empty
// connection, and the stored copy gives back what it did get.
void expectEmptyConnection(ControlScript& script, HWND ax, bool containerFound, const CallLog& expected)
{
    RecordingControl* control = script.latest();
    ASSERT_TRUE(control);
    LONG controlReferences = control->references();
    script.take();

    FlashNotify sink;
    AXConnection connection = {static_cast<_IShockwaveFlashEvents*>(&sink),
                               reinterpret_cast<IConnectionPointContainer*>(0xdeadbeef),
                               reinterpret_cast<IConnectionPoint*>(0xdeadbeef), 0xdeadbeef, {}};
    EXPECT_EQ(SendMessageW(ax, AXM_ADVISE, reinterpret_cast<WPARAM>(&DIID__IShockwaveFlashEvents),
                           reinterpret_cast<LPARAM>(&connection)), 0);
    EXPECT_EQ(script.take(), expected);
    EXPECT_EQ(connection.container,
              containerFound ? static_cast<IConnectionPointContainer*>(control) : nullptr);
    EXPECT_EQ(connection.point, nullptr);
    EXPECT_EQ(connection.cookie, 0u);
    EXPECT_EQ(sink.refCount, 1);

    SendMessageW(ax, AXM_UNADVISE, 0, 0);
    EXPECT_EQ(script.take(), CallLog{});
    EXPECT_EQ(control->references(), controlReferences);
}

TEST_F(AXWindowTest, AdviseWithoutAConnectionPointContainer)
{
    script.withhold(IID_IConnectionPointContainer);
    HWND ax = createHosted();
    expectEmptyConnection(script, ax, false, CallLog{});
    destroyAndCheckReleased(ax);
}

TEST_F(AXWindowTest, AdviseWithoutAConnectionPoint)
{
    script.fail("FindConnectionPoint", CONNECT_E_NOCONNECTION);
    HWND ax = createHosted();
    expectEmptyConnection(script, ax, true, CallLog{"FindConnectionPoint(_IShockwaveFlashEvents)"});
    destroyAndCheckReleased(ax);
}

TEST_F(AXWindowTest, ForwardsCommandsToTheCommandTarget)
{
    HWND ax = createHosted();
    EXPECT_EQ(SendMessageW(ax, WM_COMMAND, MAKEWPARAM(101, 0), 0x1234), 0);
    EXPECT_EQ(script.take(), CallLog{});

    EXPECT_EQ(SendMessageW(ax, AXM_SETCOMMANDTARGET, reinterpret_cast<WPARAM>(parent.handle()), 0), 1);
    parent.commandResult = 77;
    EXPECT_EQ(SendMessageW(ax, WM_COMMAND, MAKEWPARAM(101, 1), 0x1234), 77);
    EXPECT_EQ(script.take(), CallLog{"WM_COMMAND(101,1,0x1234)"});

    // Pointed at itself, a command would go round for ever.
    EXPECT_EQ(SendMessageW(ax, AXM_SETCOMMANDTARGET, reinterpret_cast<WPARAM>(ax), 0), 1);
    EXPECT_EQ(SendMessageW(ax, WM_COMMAND, MAKEWPARAM(101, 0), 0), 0);
    destroyAndCheckReleased(ax);
}

TEST_F(AXWindowTest, DoubleClickActivatesOnceTheClickIsHandled)
{
    HWND ax = createHosted();
    pumpMessages();
    script.take();
    EXPECT_EQ(SendMessageW(ax, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(10, 10)), 0);
    EXPECT_EQ(script.take(), CallLog{}) << "the activation is posted, not run inside the click";
    pumpMessages();
    EXPECT_EQ(script.take(), (CallLog{"DoVerb(-5,null,obj,0,ax,0,0,300,200)", "site.CanInPlaceActivate=S_OK",
                                      "site.GetWindowContext", "frame.SetActiveObject(obj)"}));

    SendMessageW(ax, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(10, 10));
    pumpMessages();
    EXPECT_EQ(script.take(), CallLog{}) << "an active control stays as it is";
    destroyAndCheckReleased(ax);
}

} // namespace
