// The client site as the hosted control sees it.
#include "tests/wine/AXFixture.h"

namespace {

const UINT eventMessage = WM_APP + 6;

using FaceOf = void* (*)(AXClientSite&);

void* clientSiteFace(AXClientSite& site) { return static_cast<IOleClientSite*>(&site); }
void* adviseSinkFace(AXClientSite& site) { return static_cast<IAdviseSink*>(&site); }
void* dispatchFace(AXClientSite& site) { return static_cast<IDispatch*>(&site); }
void* serviceProviderFace(AXClientSite& site) { return static_cast<IServiceProvider*>(&site); }
void* inPlaceSiteFace(AXClientSite& site) { return static_cast<IOleInPlaceSite*>(&site); }
void* frameFace(AXClientSite& site) { return static_cast<IOleInPlaceFrame*>(&site); }

struct InterfaceRow {
    const char* name;
    const IID* iid;
    FaceOf face;        // null: refused
    bool inPlace;       // refused while the in-place interfaces are withheld
};

const InterfaceRow interfaceTable[] = {
    {"IOleClientSite", &IID_IOleClientSite, clientSiteFace, false},
    {"IUnknown", &IID_IUnknown, clientSiteFace, false},
    {"IAdviseSink", &IID_IAdviseSink, adviseSinkFace, false},
    {"IDispatch", &IID_IDispatch, dispatchFace, false},
    {"IServiceProvider", &IID_IServiceProvider, serviceProviderFace, false},
    {"IOleInPlaceSite", &IID_IOleInPlaceSite, inPlaceSiteFace, true},
    {"IOleInPlaceFrame", &IID_IOleInPlaceFrame, frameFace, true},
    {"IOleInPlaceUIWindow", &IID_IOleInPlaceUIWindow, frameFace, true},
    {"IOleWindow", &IID_IOleWindow, nullptr, false},
    {"IOleContainer", &IID_IOleContainer, nullptr, false},
    {"IOleControlSite", &IID_IOleControlSite, nullptr, false},
    {"_IShockwaveFlashEvents before any advise", &DIID__IShockwaveFlashEvents, nullptr, false},
    {"IID_NULL, the unset event IID", &IID_NULL, nullptr, false},
};

TEST_F(AXWindowTest, SiteAnswersItsInterfaceTable)
{
    HWND ax = createHosted();
    AXClientSite& site = axHost(ax)->site;
    const LONG start = site.refCount;
    for (bool withheld : {false, true}) {
        site.inPlaceWithheld = withheld;
        for (const InterfaceRow& row : interfaceTable) {
            SCOPED_TRACE(std::string(row.name) + (withheld ? ", in-place withheld" : ""));
            void* expected = row.face && !(withheld && row.inPlace) ? row.face(site) : nullptr;
            void* object = reinterpret_cast<void*>(0xdeadbeef);
            HRESULT hr = site.QueryInterface(*row.iid, &object);
            EXPECT_EQ(object, expected);
            if (!expected) {
                EXPECT_EQ(hr, E_NOINTERFACE);
                EXPECT_EQ(site.refCount, start);
                continue;
            }
            EXPECT_EQ(hr, S_OK);
            EXPECT_EQ(site.refCount, start + 1);
            // One identity, whichever interface it is asked through.
            IUnknown* identity = nullptr;
            ASSERT_EQ(static_cast<IUnknown*>(object)->QueryInterface(IID_IUnknown,
                                                                     reinterpret_cast<void**>(&identity)), S_OK);
            EXPECT_EQ(identity, siteIdentity(axHost(ax)));
            identity->Release();
            static_cast<IUnknown*>(object)->Release();
            EXPECT_EQ(site.refCount, start);
        }
    }
    site.inPlaceWithheld = false;

    // Once the site is the event sink it answers the event interface with IDispatch.
    site.eventIid = DIID__IShockwaveFlashEvents;
    void* events = nullptr;
    EXPECT_EQ(site.QueryInterface(DIID__IShockwaveFlashEvents, &events), S_OK);
    EXPECT_EQ(events, static_cast<IDispatch*>(&site));
    static_cast<IDispatch*>(events)->Release();
    EXPECT_EQ(site.refCount, start);
    destroyAndCheckReleased(ax);
}

TEST(AXClientSite, CountsButNeverFrees)
{
    AXClientSite site;
    EXPECT_EQ(site.AddRef(), 1u);
    EXPECT_EQ(site.Release(), 0u);
    // Still usable at a count of 0: the host record owns it, not the count.
    IUnknown* identity = nullptr;
    EXPECT_EQ(site.QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
    EXPECT_EQ(site.refCount, 1);
    EXPECT_EQ(identity->Release(), 0u);

    // With no host record there is nothing to forward to.
    void* object = reinterpret_cast<void*>(0xdeadbeef);
    EXPECT_EQ(site.QueryService(IID_IUnknown, IID_IUnknown, &object), E_NOINTERFACE);
    EXPECT_EQ(object, reinterpret_cast<void*>(0xdeadbeef));
}

TEST_F(AXWindowTest, SetActiveObjectHoldsOneReference)
{
    HWND ax = createHosted();
    AXHost* host = axHost(ax);
    RecordingControl* control = script.latest();
    IOleInPlaceActiveObject* active = static_cast<IOleInPlaceActiveObject*>(control);
    const LONG before = control->references();

    EXPECT_EQ(host->site.SetActiveObject(active, L"first"), S_OK);
    EXPECT_EQ(host->activeObject, active);
    EXPECT_EQ(control->references(), before + 1);
    EXPECT_EQ(host->site.SetActiveObject(active, nullptr), S_OK) << "the same object again";
    EXPECT_EQ(control->references(), before + 1);
    EXPECT_EQ(host->site.SetActiveObject(nullptr, nullptr), S_OK);
    EXPECT_EQ(host->activeObject, nullptr);
    EXPECT_EQ(control->references(), before);
    destroyAndCheckReleased(ax);
}

// A delegate for QueryService that shows what reached it.
class RecordingServices : public IServiceProvider {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override
    {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refCount; }
    ULONG STDMETHODCALLTYPE Release() override { return --refCount; }
    HRESULT STDMETHODCALLTYPE QueryService(REFGUID service, REFIID iid, void** object) override
    {
        serviceAsked = &service;
        iidAsked = &iid;
        objectAsked = object;
        *object = reinterpret_cast<void*>(0x1234);
        return answer;
    }

    LONG refCount = 1;
    HRESULT answer = REGDB_E_IIDNOTREG;
    const GUID* serviceAsked = nullptr;
    const IID* iidAsked = nullptr;
    void** objectAsked = nullptr;
};

TEST_F(AXWindowTest, QueryServiceGoesToTheDelegate)
{
    HWND ax = createHosted();
    AXClientSite& site = axHost(ax)->site;
    const GUID service = IID_IOleObject; // any service id: only that it arrives unchanged matters
    void* object = reinterpret_cast<void*>(0xdeadbeef);
    EXPECT_EQ(site.QueryService(service, IID_IUnknown, &object), E_NOINTERFACE);
    EXPECT_EQ(object, reinterpret_cast<void*>(0xdeadbeef));

    RecordingServices delegate;
    EXPECT_EQ(SendMessageW(ax, AXM_SETSERVICEPROVIDER, 0, reinterpret_cast<LPARAM>(&delegate)), 1);
    EXPECT_EQ(delegate.refCount, 1) << "the delegate is not owned";
    EXPECT_EQ(site.QueryService(service, IID_IDispatch, &object), REGDB_E_IIDNOTREG);
    EXPECT_EQ(delegate.serviceAsked, &service);
    EXPECT_EQ(delegate.iidAsked, &IID_IDispatch);
    EXPECT_EQ(delegate.objectAsked, &object);
    EXPECT_EQ(object, reinterpret_cast<void*>(0x1234));
    destroyAndCheckReleased(ax);
}

ControlScript* callbackScript = nullptr;

void recordCallback(AXEventCall* call)
{
    callbackScript->record("callback(" + std::to_string(call->dispid) + ")");
}

TEST_F(AXWindowTest, InvokeHandsTheCallToTheNotifyWindowThenTheCallback)
{
    HWND ax = createHosted();
    AXHost* host = axHost(ax);
    IDispatch* dispatch = static_cast<IDispatch*>(&host->site);
    DISPPARAMS params = {nullptr, nullptr, 0, 0};
    EXCEPINFO exception;
    UINT argErr = 0xdeadbeef;

    // Nobody to tell: the result stays as it was.
    VARIANT result;
    VariantInit(&result);
    V_VT(&result) = VT_I4;
    V_I4(&result) = static_cast<LONG>(0xdeadbeef);
    EXPECT_EQ(dispatch->Invoke(DISPID_FLASH_FLASHCALL, IID_NULL, 0x409, DISPATCH_METHOD, &params, &result,
                               &exception, &argErr), S_OK);
    EXPECT_EQ(V_VT(&result), VT_I4);
    EXPECT_EQ(V_I4(&result), static_cast<LONG>(0xdeadbeef));
    EXPECT_EQ(argErr, 0xdeadbeefu);

    parent.eventMessage = eventMessage;
    parent.answerEvents = true;
    ASSERT_EQ(SendMessageW(ax, AXM_SETEVENTNOTIFY, reinterpret_cast<WPARAM>(parent.handle()), eventMessage), 1);
    callbackScript = &script;
    ASSERT_EQ(SendMessageW(ax, AXM_SETEVENTCALLBACK, reinterpret_cast<WPARAM>(&recordCallback), 0), 1);
    const IID someIid = IID_IOleObject;
    EXPECT_EQ(dispatch->Invoke(12345, someIid, 0x409, DISPATCH_PROPERTYGET, &params, &result, &exception,
                               &argErr), S_OK);
    EXPECT_EQ(script.take(), (CallLog{"event(12345)", "callback(12345)"}));
    ASSERT_EQ(parent.events.size(), 1u);
    const AXEventCall& call = parent.events[0];
    EXPECT_EQ(call.host, host);
    EXPECT_EQ(call.dispid, 12345);
    EXPECT_TRUE(IsEqualIID(call.iid, someIid));
    EXPECT_EQ(call.lcid, 0x409u);
    EXPECT_EQ(call.flags, DISPATCH_PROPERTYGET);
    EXPECT_EQ(call.params, &params);
    EXPECT_EQ(call.result, &result);
    EXPECT_EQ(call.excepInfo, &exception);
    EXPECT_EQ(call.argErr, &argErr);
    // A receiver answers the control through the record.
    EXPECT_EQ(V_VT(&result), VT_I4);
    EXPECT_EQ(V_I4(&result), 42);
    callbackScript = nullptr;
    destroyAndCheckReleased(ax);
}

TEST(AXClientSite, RefusesContainerAndMoniker)
{
    AXClientSite site;
    IOleContainer* container = reinterpret_cast<IOleContainer*>(0xdeadbeef);
    EXPECT_EQ(site.GetContainer(&container), E_FAIL);
    EXPECT_EQ(container, nullptr);
    IMoniker* moniker = reinterpret_cast<IMoniker*>(0xdeadbeef);
    EXPECT_EQ(site.GetMoniker(OLEGETMONIKER_ONLYIFTHERE, OLEWHICHMK_OBJFULL, &moniker), E_NOTIMPL);
    EXPECT_EQ(moniker, nullptr);
}

} // namespace
