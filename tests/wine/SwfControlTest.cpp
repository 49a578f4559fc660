// The stand-in control as hosts see it: created by OleCreate from the DLL
// registered in the prefix, activated in place, driven through
// IShockwaveFlash, heard through its connection point.
#include <winsock2.h>

#include <gtest/gtest.h>

#include <olectl.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <sstream>

#include "movie/FlashClsid.h"
#include "support/ProcessDriver.h"
#include "wine/LoopbackHttpServer.h"
#include "wine/SwfTestHelpers.h"

using swftest::Bytes;
using swftest::MovieFields;

namespace {

MovieFields movieFields(int width, int height, int fps, uint16_t frames, COLORREF background)
{
    MovieFields fields;
    fields.xMax = width * 20;
    fields.yMax = height * 20;
    fields.frameRate = static_cast<uint16_t>(fps << 8);
    fields.headerFrameCount = frames;
    fields.showFrames = frames;
    fields.red = GetRValue(background);
    fields.green = GetGValue(background);
    fields.blue = GetBValue(background);
    return fields;
}

std::wstring registeredServer()
{
    wchar_t value[MAX_PATH] = L"";
    LONG size = sizeof value;
    RegQueryValueW(HKEY_CLASSES_ROOT, QP_FLASH_SERVER_KEY, value, &size);
    return value;
}

std::string readFile(const std::wstring& path)
{
    std::ifstream in(narrow(path), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// An IAdviseSink that counts what it hears.
class CountingAdviseSink final : public IAdviseSink {
public:
    int dataChanges = 0, viewChanges = 0, closes = 0;
    LONG refCount = 1;
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override
    {
        *object = nullptr;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IAdviseSink)) {
            *object = static_cast<IAdviseSink*>(this);
            AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refCount; }
    STDMETHODIMP_(ULONG) Release() override { return --refCount; }
    STDMETHODIMP_(void) OnDataChange(FORMATETC*, STGMEDIUM*) override { ++dataChanges; }
    STDMETHODIMP_(void) OnViewChange(DWORD, LONG) override { ++viewChanges; }
    STDMETHODIMP_(void) OnRename(IMoniker*) override {}
    STDMETHODIMP_(void) OnSave() override {}
    STDMETHODIMP_(void) OnClose() override { ++closes; }
};

// ---- Creation ----

TEST(SwfControlOle, OleCreateFindsTheDllRegisteredInThePrefix)
{
    std::wstring server = registeredServer();
    ASSERT_FALSE(server.empty()) << "no server registered for the Flash CLSID: run under scripts/test";
    EXPECT_EQ(CompareStringOrdinal(server.c_str(), -1, builtControlDll().c_str(), -1, TRUE), CSTR_EQUAL)
        << narrow(server);

    for (DWORD render : {DWORD(OLERENDER_DRAW), DWORD(OLERENDER_NONE)}) {
        SCOPED_TRACE("render " + std::to_string(render));
        SwfTestSite site(nullptr);
        IOleObject* control = createRegisteredControl(&site, render);
        ASSERT_TRUE(control);
        EXPECT_TRUE(GetModuleHandleW(L"swfcontrol.dll")) << "the control did not come from swfcontrol.dll";
        IOleClientSite* given = nullptr;
        EXPECT_EQ(control->GetClientSite(&given), S_OK);
        EXPECT_EQ(given, static_cast<IOleClientSite*>(&site));
        if (given)
            given->Release();
        DWORD status = 0;
        EXPECT_EQ(control->GetMiscStatus(DVASPECT_CONTENT, &status), S_OK);
        EXPECT_TRUE(status & OLEMISC_INSIDEOUT);
        EXPECT_TRUE(status & OLEMISC_ACTIVATEWHENVISIBLE);
        EXPECT_TRUE(status & OLEMISC_SETCLIENTSITEFIRST);
        control->SetClientSite(nullptr);
        EXPECT_EQ(control->Release(), 0u);
        EXPECT_EQ(site.refCount, 1);
    }
}

TEST(SwfControlOle, AnswersWhatHostsAskForWithOneIdentity)
{
    SwfTestSite site(nullptr);
    IOleObject* control = createRegisteredControl(&site);
    ASSERT_TRUE(control);
    IUnknown* identity = nullptr;
    ASSERT_EQ(control->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
    const struct {
        const IID* iid;
        const char* name;
        bool answered;
    } interfaces[] = {
        {&IID_IShockwaveFlash, "IShockwaveFlash", true},
        {&IID_IDispatch, "IDispatch", true},
        {&IID_IOleObject, "IOleObject", true},
        {&IID_IPersist, "IPersist", true},
        {&IID_IPersistStorage, "IPersistStorage", true},
        {&IID_IOleWindow, "IOleWindow", true},
        {&IID_IOleInPlaceObject, "IOleInPlaceObject", true},
        {&IID_IOleInPlaceActiveObject, "IOleInPlaceActiveObject", true},
        {&IID_IViewObject, "IViewObject", true},
        {&IID_IViewObject2, "IViewObject2", true},
        {&IID_IDataObject, "IDataObject", true},
        {&IID_IConnectionPointContainer, "IConnectionPointContainer", true},
        {&DIID__IShockwaveFlashEvents, "_IShockwaveFlashEvents", false},
        {&IID_IOleInPlaceObjectWindowless, "IOleInPlaceObjectWindowless", false},
        {&IID_IPersistStreamInit, "IPersistStreamInit", false},
    };
    for (const auto& entry : interfaces) {
        SCOPED_TRACE(entry.name);
        IUnknown* face = reinterpret_cast<IUnknown*>(0xdeadbeef);
        HRESULT hr = control->QueryInterface(*entry.iid, reinterpret_cast<void**>(&face));
        if (!entry.answered) {
            EXPECT_EQ(hr, E_NOINTERFACE);
            EXPECT_EQ(face, nullptr);
            continue;
        }
        ASSERT_EQ(hr, S_OK);
        IUnknown* back = nullptr;
        face->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&back));
        EXPECT_EQ(back, identity);
        back->Release();
        face->Release();
    }
    identity->Release();
    control->SetClientSite(nullptr);
    EXPECT_EQ(control->Release(), 0u);
}

// The player calls slots 22, 41, 77 and 93 by number; the log names what the
// control ran for each.
TEST(SwfControlOle, RunsEachCallOfTheRealControlsSlotsAndLogsThemInOrder)
{
    std::wstring log = scratchDir() + L"calls.log";
    DeleteFileW(log.c_str());
    ASSERT_TRUE(SetEnvironmentVariableW(L"QP_SWFCONTROL_LOG", log.c_str()));
    ActiveControl hosted(200, 100);
    ASSERT_TRUE(hosted.ok());
    std::wstring movie = writeScratchFile(L"slots.swf", swftest::movieFile(MovieFields()));

    using PutText = HRESULT(STDMETHODCALLTYPE*)(IShockwaveFlash*, BSTR);
    using Call = HRESULT(STDMETHODCALLTYPE*)(IShockwaveFlash*, BSTR, BSTR*);
    using GetLong = HRESULT(STDMETHODCALLTYPE*)(IShockwaveFlash*, long*);
    void** slots = *reinterpret_cast<void***>(hosted.flash);
    EXPECT_EQ(reinterpret_cast<PutText>(slots[41])(hosted.flash, Bstr(L"direct")), S_OK);
    EXPECT_EQ(reinterpret_cast<PutText>(slots[77])(hosted.flash, Bstr(L"id=7&name=two words\nand a line")), S_OK);
    EXPECT_EQ(reinterpret_cast<PutText>(slots[22])(hosted.flash, Bstr(movie.c_str())), S_OK);
    BSTR response = reinterpret_cast<BSTR>(0xdeadbeef);
    EXPECT_EQ(reinterpret_cast<Call>(slots[93])(hosted.flash, Bstr(L"<invoke name=\"f\"/>"), &response), E_FAIL);
    EXPECT_EQ(response, nullptr);
    long state = 0xdeadbeef;
    EXPECT_EQ(reinterpret_cast<GetLong>(slots[7])(hosted.flash, &state), E_NOTIMPL);
    EXPECT_EQ(state, static_cast<long>(0xdeadbeef));
    EXPECT_EQ(hosted.flash->put_Movie(nullptr), S_OK); // a null BSTR is an empty movie
    SetEnvironmentVariableW(L"QP_SWFCONTROL_LOG", nullptr);
    EXPECT_EQ(hosted.flash->put_WMode(Bstr(L"unlogged")), S_OK);

    std::string path = narrow(movie);
    std::string escaped;
    for (char c : path)
        escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
    EXPECT_EQ(readFile(log), "put_WMode direct\n"
                             "put_FlashVars id=7&name=two words\\nand a line\n"
                             "put_Movie " + escaped + "\n"
                             "CallFunction <invoke name=\"f\"/>\n"
                             "get_ReadyState\n"
                             "put_Movie \n");
}

// ---- In-place activation ----

RECT rectInParent(HWND window)
{
    RECT rect;
    GetWindowRect(window, &rect);
    MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

void expectRect(const RECT& got, const RECT& want)
{
    EXPECT_EQ(got.left, want.left);
    EXPECT_EQ(got.top, want.top);
    EXPECT_EQ(got.right, want.right);
    EXPECT_EQ(got.bottom, want.bottom);
}

TEST(SwfControlActivation, CreatesItsWindowInsideTheSiteWindowAndFollowsSetObjectRects)
{
    HostWindow host(400, 300, false);
    SwfTestSite site(host.handle());
    IOleObject* control = createRegisteredControl(&site);
    ASSERT_TRUE(control);
    IOleInPlaceObject* inPlace = nullptr;
    ASSERT_EQ(control->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace)), S_OK);
    HWND stage = reinterpret_cast<HWND>(0xdeadbeef);
    EXPECT_EQ(inPlace->GetWindow(&stage), E_FAIL);
    EXPECT_EQ(stage, nullptr);

    site.calls.clear();
    RECT place = {10, 20, 310, 220};
    EXPECT_EQ(control->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, host.handle(), &place), S_OK);
    EXPECT_EQ(site.calls, (std::vector<std::string>{"CanInPlaceActivate", "OnInPlaceActivate", "GetWindow",
                                                    "GetWindowContext", "SetActiveObject(object)"}));
    ASSERT_EQ(inPlace->GetWindow(&stage), S_OK);
    ASSERT_TRUE(IsWindow(stage));
    EXPECT_EQ(GetParent(stage), host.handle());
    EXPECT_TRUE(GetWindowLongW(stage, GWL_STYLE) & WS_VISIBLE);
    expectRect(rectInParent(stage), place);
    IOleInPlaceActiveObject* active = nullptr;
    control->QueryInterface(IID_IOleInPlaceActiveObject, reinterpret_cast<void**>(&active));
    EXPECT_EQ(site.activeObject, active);
    active->Release();

    // A second activation changes nothing.
    site.calls.clear();
    EXPECT_EQ(control->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, host.handle(), &place), S_OK);
    EXPECT_TRUE(site.calls.empty());

    const RECT moves[] = {{0, 0, 400, 300}, {50, 60, 70, 65}, {-20, -10, 100, 90}, {5, 5, 5, 5}};
    for (const RECT& move : moves) {
        SCOPED_TRACE(std::to_string(move.left) + "," + std::to_string(move.top));
        RECT clip = {0, 0, 400, 300};
        EXPECT_EQ(inPlace->SetObjectRects(&move, &clip), S_OK);
        expectRect(rectInParent(stage), move);
    }

    site.calls.clear();
    EXPECT_EQ(inPlace->InPlaceDeactivate(), S_OK);
    EXPECT_FALSE(IsWindow(stage));
    EXPECT_EQ(site.calls, (std::vector<std::string>{"SetActiveObject(null)", "OnInPlaceDeactivate"}));
    EXPECT_EQ(site.activeObject, nullptr);
    RECT move = {0, 0, 10, 10};
    EXPECT_EQ(inPlace->SetObjectRects(&move, &move), E_UNEXPECTED);

    inPlace->Release();
    control->Close(OLECLOSE_NOSAVE);
    control->SetClientSite(nullptr);
    EXPECT_EQ(control->Release(), 0u);
    EXPECT_EQ(site.refCount, 1);
}

TEST(SwfControlActivation, StaysInactiveWhenTheSiteRefuses)
{
    HostWindow host(200, 100, false);
    SwfTestSite site(host.handle());
    site.allowInPlace = false;
    IOleObject* control = createRegisteredControl(&site);
    ASSERT_TRUE(control);
    RECT place = {0, 0, 200, 100};
    EXPECT_TRUE(FAILED(control->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, host.handle(), &place)));
    EXPECT_EQ(GetWindow(host.handle(), GW_CHILD), nullptr);
    EXPECT_EQ(site.activeObject, nullptr);
    control->SetClientSite(nullptr);
    EXPECT_EQ(control->Release(), 0u);
}

// ---- Data and view ----

TEST(SwfControlData, EnumeratesRendersAndAdvisesItsFormats)
{
    ActiveControl hosted(300, 200);
    ASSERT_TRUE(hosted.ok());
    IDataObject* data = nullptr;
    ASSERT_EQ(hosted.control->QueryInterface(IID_IDataObject, reinterpret_cast<void**>(&data)), S_OK);

    IEnumFORMATETC* formats = reinterpret_cast<IEnumFORMATETC*>(0xdeadbeef);
    EXPECT_EQ(data->EnumFormatEtc(DATADIR_SET, &formats), E_NOTIMPL);
    EXPECT_EQ(formats, nullptr);
    ASSERT_EQ(data->EnumFormatEtc(DATADIR_GET, &formats), S_OK);
    std::vector<CLIPFORMAT> seen;
    FORMATETC format;
    while (formats->Next(1, &format, nullptr) == S_OK) {
        seen.push_back(format.cfFormat);
        SCOPED_TRACE("format " + std::to_string(format.cfFormat));
        EXPECT_EQ(data->QueryGetData(&format), S_OK);
        STGMEDIUM medium = {};
        ASSERT_EQ(data->GetData(&format, &medium), S_OK);
        EXPECT_EQ(medium.tymed, format.tymed);
        EXPECT_TRUE(medium.hGlobal);
        ReleaseStgMedium(&medium);
    }
    formats->Release();
    EXPECT_EQ(seen, (std::vector<CLIPFORMAT>{CF_ENHMETAFILE, CF_METAFILEPICT, CF_BITMAP}));
    FORMATETC text = {CF_TEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    EXPECT_EQ(data->QueryGetData(&text), DV_E_FORMATETC);

    CountingAdviseSink dataSink, viewSink;
    FORMATETC picture = {CF_ENHMETAFILE, nullptr, DVASPECT_CONTENT, -1, TYMED_ENHMF};
    DWORD connection = 0;
    ASSERT_EQ(data->DAdvise(&picture, 0, &dataSink, &connection), S_OK);
    EXPECT_NE(connection, 0u);
    IViewObject2* view = nullptr;
    ASSERT_EQ(hosted.control->QueryInterface(IID_IViewObject2, reinterpret_cast<void**>(&view)), S_OK);
    EXPECT_EQ(view->SetAdvise(DVASPECT_CONTENT, 0, &viewSink), S_OK);

    std::wstring movie = writeScratchFile(L"data.swf", swftest::movieFile(movieFields(100, 50, 12, 1, RGB(1, 2, 3))));
    ASSERT_TRUE(hosted.load(movie));
    EXPECT_EQ(dataSink.dataChanges, 1);
    EXPECT_EQ(viewSink.viewChanges, 1);

    EXPECT_EQ(data->DUnadvise(connection), S_OK);
    EXPECT_EQ(data->DUnadvise(connection), OLE_E_NOCONNECTION);
    EXPECT_EQ(view->SetAdvise(DVASPECT_CONTENT, 0, nullptr), S_OK);
    EXPECT_EQ(dataSink.refCount, 1);
    EXPECT_EQ(viewSink.refCount, 1);
    view->Release();
    data->Release();
}

// ---- Events ----

TEST(SwfControlEvents, ArriveInOrderWithTheirArguments)
{
    ActiveControl hosted(200, 100);
    ASSERT_TRUE(hosted.ok());
    // Six frames at 30 fps: only a timer more than a whole loop late could
    // run frame 0 again before frame 2.
    MovieFields fields = movieFields(100, 50, 30, 6, RGB(9, 9, 9));
    fields.commands = {{0, "start", "now"}, {2, "third", ""}};
    std::wstring movie = writeScratchFile(L"events.swf", swftest::movieFile(fields));
    ASSERT_TRUE(hosted.load(movie));
    ASSERT_TRUE(pumpUntil([&] { return hosted.sink.events.size() >= 5; }, 5000));

    std::vector<std::string> got = hosted.sink.summary();
    got.resize(5);
    EXPECT_EQ(got, (std::vector<std::string>{"ready 0", "progress 100", "ready 4", "fscommand start/now",
                                             "fscommand third/"}));
    for (const RecordedEvent& event : hosted.sink.events) {
        SCOPED_TRACE("dispid " + std::to_string(event.dispid));
        EXPECT_EQ(event.flags, DISPATCH_METHOD);
        EXPECT_EQ(event.namedArgs, 0u);
        EXPECT_TRUE(event.namedIdsNull);
        if (event.dispid == DISPID_FLASH_FSCOMMAND)
            EXPECT_EQ(event.types, (std::vector<VARTYPE>{VT_BSTR, VT_BSTR}));
        else
            EXPECT_EQ(event.types, (std::vector<VARTYPE>{VT_I4}));
    }

    // A failed load ends with the same ready state, without progress.
    hosted.sink.events.clear();
    ASSERT_TRUE(hosted.load(scratchDir() + L"absent.swf"));
    EXPECT_EQ(hosted.sink.summary(), (std::vector<std::string>{"ready 0", "ready 4"}));
}

TEST(SwfControlEvents, ReachOnlySinksStillAdvised)
{
    ActiveControl hosted(200, 100);
    ASSERT_TRUE(hosted.ok());
    SwfEventRecorder second;
    DWORD cookie = 0;
    ASSERT_EQ(hosted.point->Advise(static_cast<IDispatch*>(&second), &cookie), S_OK);
    EXPECT_NE(cookie, hosted.cookie);
    EXPECT_EQ(hosted.point->Unadvise(hosted.cookie), S_OK);
    EXPECT_EQ(hosted.point->Unadvise(hosted.cookie), CONNECT_E_NOCONNECTION);
    hosted.cookie = cookie; // the fixture takes this one down

    std::wstring movie = writeScratchFile(L"advised.swf", swftest::movieFile(MovieFields()));
    ASSERT_TRUE(hosted.flash->put_Movie(Bstr(movie.c_str())) == S_OK);
    ASSERT_TRUE(pumpUntil([&] { return second.sawReadyState(4); }));
    EXPECT_TRUE(hosted.sink.events.empty());
    EXPECT_EQ(hosted.sink.refCount, 1);
    EXPECT_EQ(second.summary(), (std::vector<std::string>{"ready 0", "progress 100", "ready 4"}));
}

// ---- Playing ----

ULONG_PTR framesShown(HWND stage) { return reinterpret_cast<ULONG_PTR>(GetPropW(stage, L"QuibbletonFramesShown")); }

TEST(SwfControlPlay, ShowsOnlyTheMovieWhileItsFramesAdvance)
{
    ActiveControl hosted(300, 150);
    ASSERT_TRUE(hosted.ok());
    std::wstring movie = writeScratchFile(L"play.swf", swftest::movieFile(movieFields(200, 100, 30, 8, RGB(200, 40, 40))));
    ASSERT_TRUE(hosted.load(movie));
    EXPECT_EQ(narrow(hosted.stageText()), "Playing: SWF 10, 200 x 100, 30.00 fps, 8 frames, background #C82828");

    // No frame indicator: the stage (300 x 150 in 300 x 150) is the movie's colour throughout.
    Picture first = printClient(hosted.stage);
    EXPECT_EQ(first.count(RGB(200, 40, 40)), first.pixels.size());
    long frame = 0;
    EXPECT_TRUE(pumpUntil([&] { return hosted.flash->raw_CurrentFrame(&frame) == S_OK && frame >= 2; }, 3000))
        << "the frames never advanced";
    EXPECT_EQ(framesShown(hosted.stage), 1u) << "frames that look alike were drawn again";

    // A still movie is drawn once and left alone, whatever the clock does.
    std::wstring still = writeScratchFile(L"still.swf", swftest::movieFile(movieFields(200, 100, 30, 1, RGB(1, 1, 1))));
    ASSERT_TRUE(hosted.load(still));
    ULONG_PTR shown = framesShown(hosted.stage);
    pumpUntil([] { return false; }, 300);
    EXPECT_EQ(framesShown(hosted.stage), shown);
    EXPECT_EQ(colourText(printClient(hosted.stage).at(150, 75)), colourText(RGB(1, 1, 1)));
}

// The playback members, one step at a time on a five-frame movie that asks
// for an FSCommand in frame 2. No messages are pumped between steps, so the
// clock never moves the frame under the test.
struct PlaybackStep {
    const char* name;
    std::function<HRESULT(IShockwaveFlash*)> call;
    HRESULT result;
    long frame;
    bool playing;
    const char* quality; // Quality2 afterwards
    int qualityNumber;   // Quality afterwards
    long background;     // BackgroundColor afterwards
    size_t fsCommands;   // FSCommand events so far
};

TEST(SwfControlPlay, PlaybackMembersDriveTheRootTimeline)
{
    ActiveControl hosted(200, 100);
    ASSERT_TRUE(hosted.ok());
    MovieFields fields = movieFields(100, 50, 10, 5, RGB(0x12, 0x34, 0x56));
    fields.commands = {{2, "reached", "two"}};
    ASSERT_TRUE(hosted.load(writeScratchFile(L"playback.swf", swftest::movieFile(fields))));
    auto fsCommands = [&] {
        return static_cast<size_t>(std::count_if(hosted.sink.events.begin(), hosted.sink.events.end(),
                                                  [](const RecordedEvent& e) { return e.dispid == DISPID_FLASH_FSCOMMAND; }));
    };
    const long movieColour = 0x123456;
    const PlaybackStep steps[] = {
        {"as loaded", [](IShockwaveFlash*) { return S_OK; }, S_OK, 0, true, "high", 1, movieColour, 0},
        {"StopPlay", [](IShockwaveFlash* f) { return f->raw_StopPlay(); }, S_OK, 0, false, "high", 1, movieColour, 0},
        {"GotoFrame 3", [](IShockwaveFlash* f) { return f->raw_GotoFrame(3); }, S_OK, 3, false, "high", 1, movieColour, 0},
        {"Back runs frame 2", [](IShockwaveFlash* f) { return f->raw_Back(); }, S_OK, 2, false, "high", 1, movieColour, 1},
        {"Forward", [](IShockwaveFlash* f) { return f->raw_Forward(); }, S_OK, 3, false, "high", 1, movieColour, 1},
        {"Play", [](IShockwaveFlash* f) { return f->raw_Play(); }, S_OK, 3, true, "high", 1, movieColour, 1},
        {"put_FrameNum keeps playing", [](IShockwaveFlash* f) { return f->put_FrameNum(1); }, S_OK, 1, true, "high", 1, movieColour, 1},
        {"Rewind stops", [](IShockwaveFlash* f) { return f->raw_Rewind(); }, S_OK, 0, false, "high", 1, movieColour, 1},
        {"beyond the last frame", [](IShockwaveFlash* f) { return f->raw_GotoFrame(99); }, S_OK, 4, false, "high", 1, movieColour, 1},
        {"negative frame", [](IShockwaveFlash* f) { return f->raw_GotoFrame(-1); }, E_INVALIDARG, 4, false, "high", 1, movieColour, 1},
        {"Back at the start", [](IShockwaveFlash* f) { f->raw_Rewind(); return f->raw_Back(); }, S_OK, 0, false, "high", 1, movieColour, 1},
        {"TGotoFrame /", [](IShockwaveFlash* f) { return f->raw_TGotoFrame(Bstr(L"/"), 2); }, S_OK, 2, false, "high", 1, movieColour, 2},
        {"TGotoFrame _level0", [](IShockwaveFlash* f) { return f->raw_TGotoFrame(Bstr(L"_level0"), 1); }, S_OK, 1, false, "high", 1, movieColour, 2},
        {"TGotoFrame elsewhere", [](IShockwaveFlash* f) { return f->raw_TGotoFrame(Bstr(L"_level1"), 3); }, E_INVALIDARG, 1, false, "high", 1, movieColour, 2},
        {"put_Playing true", [](IShockwaveFlash* f) { return f->put_Playing(VARIANT_TRUE); }, S_OK, 1, true, "high", 1, movieColour, 2},
        {"put_Playing false", [](IShockwaveFlash* f) { return f->put_Playing(VARIANT_FALSE); }, S_OK, 1, false, "high", 1, movieColour, 2},
        {"Quality2 LOW", [](IShockwaveFlash* f) { return f->put_Quality2(Bstr(L"LOW")); }, S_OK, 1, false, "low", 0, movieColour, 2},
        {"Quality2 medium", [](IShockwaveFlash* f) { return f->put_Quality2(Bstr(L"medium")); }, S_OK, 1, false, "medium", 1, movieColour, 2},
        {"Quality 3", [](IShockwaveFlash* f) { return f->put_Quality(3); }, S_OK, 1, false, "autohigh", 3, movieColour, 2},
        {"Quality2 unknown", [](IShockwaveFlash* f) { return f->put_Quality2(Bstr(L"ultra")); }, E_INVALIDARG, 1, false, "autohigh", 3, movieColour, 2},
        {"Quality 7", [](IShockwaveFlash* f) { return f->put_Quality(7); }, E_INVALIDARG, 1, false, "autohigh", 3, movieColour, 2},
        {"BackgroundColor red", [](IShockwaveFlash* f) { return f->put_BackgroundColor(0xff0000); }, S_OK, 1, false, "autohigh", 3, 0xff0000, 2},
        {"BackgroundColor too large", [](IShockwaveFlash* f) { return f->put_BackgroundColor(0x1000000); }, E_INVALIDARG, 1, false, "autohigh", 3, 0xff0000, 2},
        {"BackgroundColor -1", [](IShockwaveFlash* f) { return f->put_BackgroundColor(-1); }, S_OK, 1, false, "autohigh", 3, movieColour, 2},
    };
    for (const PlaybackStep& step : steps) {
        SCOPED_TRACE(step.name);
        EXPECT_EQ(step.call(hosted.flash), step.result);
        long total = 0, current = -1, frameNum = -1, target = -1;
        EXPECT_EQ(hosted.flash->get_TotalFrames(&total), S_OK);
        EXPECT_EQ(total, 5);
        EXPECT_EQ(hosted.flash->raw_CurrentFrame(&current), S_OK);
        EXPECT_EQ(hosted.flash->get_FrameNum(&frameNum), S_OK);
        EXPECT_EQ(hosted.flash->raw_TCurrentFrame(Bstr(L""), &target), S_OK);
        EXPECT_EQ(current, step.frame);
        EXPECT_EQ(frameNum, step.frame);
        EXPECT_EQ(target, step.frame);
        VARIANT_BOOL playing = 7, isPlaying = 7;
        EXPECT_EQ(hosted.flash->get_Playing(&playing), S_OK);
        EXPECT_EQ(hosted.flash->raw_IsPlaying(&isPlaying), S_OK);
        EXPECT_EQ(playing, step.playing ? VARIANT_TRUE : VARIANT_FALSE);
        EXPECT_EQ(isPlaying, playing);
        BSTR quality = nullptr;
        int number = -1;
        EXPECT_EQ(hosted.flash->get_Quality2(&quality), S_OK);
        EXPECT_EQ(narrow(quality ? quality : L""), step.quality);
        SysFreeString(quality);
        EXPECT_EQ(hosted.flash->get_Quality(&number), S_OK);
        EXPECT_EQ(number, step.qualityNumber);
        long background = -2;
        EXPECT_EQ(hosted.flash->get_BackgroundColor(&background), S_OK);
        EXPECT_EQ(background, step.background);
        // The stage shows the colour reported, not only the property.
        EXPECT_EQ(colourText(printClient(hosted.stage).at(100, 50)),
                  colourText(RGB(step.background >> 16, (step.background >> 8) & 0xff, step.background & 0xff)));
        EXPECT_EQ(fsCommands(), step.fsCommands);
    }
    EXPECT_EQ(hosted.sink.summary().back(), "fscommand reached/two");

    // A colour set by the host outlasts a new movie until -1 gives it back.
    EXPECT_EQ(hosted.flash->put_BackgroundColor(0x0000ff), S_OK);
    ASSERT_TRUE(hosted.load(writeScratchFile(L"playback.swf", swftest::movieFile(fields))));
    EXPECT_EQ(colourText(printClient(hosted.stage).at(100, 50)), colourText(RGB(0, 0, 255)));
    EXPECT_EQ(hosted.flash->put_BackgroundColor(-1), S_OK);
    EXPECT_EQ(colourText(printClient(hosted.stage).at(100, 50)), colourText(RGB(0x12, 0x34, 0x56)));

    // Without looping, playing stops on the last frame; with it, the movie
    // comes round to frame 0 again.
    VARIANT_BOOL loop = VARIANT_FALSE;
    EXPECT_EQ(hosted.flash->get_Loop(&loop), S_OK);
    EXPECT_EQ(loop, VARIANT_TRUE);
    EXPECT_EQ(hosted.flash->put_Loop(VARIANT_FALSE), S_OK);
    hosted.flash->raw_GotoFrame(3);
    hosted.flash->raw_Play();
    VARIANT_BOOL playing = VARIANT_TRUE;
    EXPECT_TRUE(pumpUntil([&] { return hosted.flash->raw_IsPlaying(&playing) == S_OK && !playing; }, 3000));
    long frame = -1;
    hosted.flash->raw_CurrentFrame(&frame);
    EXPECT_EQ(frame, 4);
    EXPECT_EQ(hosted.flash->put_Loop(VARIANT_TRUE), S_OK);
    hosted.flash->raw_Play();
    EXPECT_TRUE(pumpUntil([&] { return hosted.flash->raw_CurrentFrame(&frame) == S_OK && frame == 0; }, 3000));

    // Null out-pointers are refused, not written through.
    EXPECT_EQ(hosted.flash->raw_CurrentFrame(nullptr), E_POINTER);
    EXPECT_EQ(hosted.flash->get_Quality2(nullptr), E_POINTER);
}

TEST(SwfControlPlay, AnEmptyMovieUnloadsWithoutEvents)
{
    ActiveControl hosted(200, 100);
    ASSERT_TRUE(hosted.ok());
    ASSERT_TRUE(hosted.load(writeScratchFile(L"unload.swf", swftest::movieFile(MovieFields()))));
    hosted.sink.events.clear();
    EXPECT_EQ(hosted.flash->put_Movie(Bstr(L"  ")), S_OK);
    EXPECT_EQ(hosted.stageText(), L"");
    Picture empty = printClient(hosted.stage);
    EXPECT_EQ(empty.count(RGB(0, 0, 0)), empty.pixels.size());
    EXPECT_TRUE(hosted.sink.events.empty());
}

// ---- Bad input ----

struct BadInput {
    const char* name;
    std::wstring movie;
    std::wstring reasonStart;
};

TEST(SwfControlInput, PaintsAPlainReasonForEveryBadInput)
{
    ActiveControl hosted(320, 200);
    ASSERT_TRUE(hosted.ok());
    const std::wstring folder = scratchDir();
    MovieFields wide = movieFields(17000, 400, 24, 1, RGB(0, 0, 0));
    MovieFields huge;
    huge.overrideLength = true;
    huge.declaredLength = 0xfffffff0u;
    MovieFields hugeCompressed = huge;
    hugeCompressed.signature = 'C';
    MovieFields lzma;
    lzma.signature = 'Z';
    Bytes cutHeader = swftest::movieFile(MovieFields());
    cutHeader.resize(11);
    Bytes damaged = {'C', 'W', 'S', 10, 100, 0, 0, 0};
    damaged.insert(damaged.end(), 64, 0xa5);
    std::string page = "<!DOCTYPE html>\n<html><body><h1>500 Internal Server Error</h1></body></html>";
    std::wstring missing = folder + L"missing.swf";
    std::wstring directory = folder.substr(0, folder.size() - 1);

    const BadInput inputs[] = {
        {"missing file", missing, L"Could not open " + missing + L": "},
        {"a folder", directory, L"Could not open " + directory + L": "},
        {"empty file", writeScratchFile(L"empty.swf", {}), L"Not a SWF movie: the file is empty."},
        {"HTML page", writeScratchFile(L"page.swf", Bytes(page.begin(), page.end())), L"Not a SWF movie: this is a web page"},
        {"header cut short", writeScratchFile(L"cut.swf", cutHeader), L"Not a SWF movie: the file ends inside its header."},
        {"damaged zlib data", writeScratchFile(L"damaged.swf", damaged), L"Not a SWF movie: its compressed data is damaged."},
        {"absurd length", writeScratchFile(L"huge.swf", swftest::movieFile(huge)), L"Movie too large: it declares 4294967280 bytes"},
        {"absurd compressed length", writeScratchFile(L"hugez.swf", swftest::movieFile(hugeCompressed)), L"Movie too large:"},
        {"absurd stage", writeScratchFile(L"wide.swf", swftest::movieFile(wide)), L"Not a SWF movie: its stage of 17000 x 400 pixels is impossible."},
        {"LZMA without its stream", writeScratchFile(L"lzma.swf", swftest::movieFile(lzma)), L"Not a SWF movie: "},
        {"UNC path", L"\\\\server.invalid\\share\\movie.swf", L"Could not open \\\\server.invalid\\share\\movie.swf: network and device paths are not opened."},
        {"UNC with slashes", L"//server.invalid/share/movie.swf", L"Could not open //server.invalid/share/movie.swf: network"},
        {"device path", L"\\\\?\\C:\\movie.swf", L"Could not open \\\\?\\C:\\movie.swf: network and device paths are not opened."},
        {"NT path", L"\\??\\UNC\\server.invalid\\share\\m.swf", L"Could not open \\??\\UNC\\server.invalid\\share\\m.swf: network"},
        {"UNC file URL", L"file://server.invalid/share/movie.swf", L"Could not open file://server.invalid/share/movie.swf: network"},
        {"serial port", L"COM1", L"Could not open COM1: network and device paths are not opened."},
        {"other scheme", L"ftp://server.invalid/movie.swf", L"Could not open ftp://server.invalid/movie.swf: the \"ftp\" scheme is not supported."},
    };
    for (const BadInput& input : inputs) {
        SCOPED_TRACE(input.name);
        hosted.sink.events.clear();
        ASSERT_TRUE(hosted.load(input.movie)) << "the load never ended";
        // Progress may come in between: a file can be read whole and still not be a movie.
        std::vector<std::string> events = hosted.sink.summary();
        EXPECT_EQ(events.front(), "ready 0");
        EXPECT_EQ(events.back(), "ready 4");
        EXPECT_EQ(std::count(events.begin(), events.end(), "ready 4"), 1);
        std::wstring text = hosted.stageText();
        EXPECT_EQ(text.rfind(input.reasonStart, 0), 0u) << narrow(text);

        Picture painted = printClient(hosted.stage);
        EXPECT_EQ(colourText(painted.at(2, 2)), colourText(RGB(40, 40, 40)));
        size_t background = painted.count(RGB(40, 40, 40));
        EXPECT_LT(background, painted.pixels.size()) << "no text was painted";
        EXPECT_GT(background, painted.pixels.size() / 2);
    }
    // After all that, a good movie still plays.
    ASSERT_TRUE(hosted.load(writeScratchFile(L"good.swf", swftest::movieFile(MovieFields()))));
    EXPECT_EQ(hosted.stageText().rfind(L"Playing: ", 0), 0u);
}

// ---- Remote movies ----

std::string asText(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

TEST(SwfControlRemote, LoadsOverHttpReportingProgress)
{
    LoopbackHttpServer server;
    ASSERT_TRUE(server.running());
    MovieFields fields = movieFields(320, 240, 24, 2, RGB(0x12, 0x34, 0x56));
    Bytes body = swftest::movieBody(fields);
    Bytes filler = swftest::tag(777, Bytes(4000, 0x11));
    Bytes tail(body.end() - 2, body.end()); // the End tag goes last
    body.resize(body.size() - 2);
    for (int i = 0; i < 60; ++i)
        body.insert(body.end(), filler.begin(), filler.end());
    body.insert(body.end(), tail.begin(), tail.end());
    LoopbackHttpServer::Answer movie;
    movie.body = asText(swftest::plainFile(body, 10, static_cast<uint32_t>(body.size() + 8)));
    movie.chunkBytes = 16 * 1024;
    server.add("/movie.swf", movie);

    ActiveControl hosted(320, 240);
    ASSERT_TRUE(hosted.ok());
    ASSERT_TRUE(hosted.load(server.url("/movie.swf")));
    EXPECT_EQ(server.requests(), (std::vector<std::string>{"GET /movie.swf"}));
    EXPECT_EQ(narrow(hosted.stageText()), "Playing: SWF 10, 320 x 240, 24.00 fps, 2 frames, background #123456");

    std::vector<std::string> events = hosted.sink.summary();
    ASSERT_GE(events.size(), 3u);
    EXPECT_EQ(events.front(), "ready 0");
    EXPECT_EQ(events.back(), "ready 4");
    EXPECT_EQ(events[events.size() - 2], "progress 100");
    long last = -1;
    for (const RecordedEvent& event : hosted.sink.events) {
        if (event.dispid != DISPID_FLASH_PROGRESS)
            continue;
        EXPECT_GT(event.numbers[0], last);
        last = event.numbers[0];
    }
}

TEST(SwfControlRemote, TellsWhatWentWrongWithTheServer)
{
    LoopbackHttpServer server;
    ASSERT_TRUE(server.running());
    LoopbackHttpServer::Answer page;
    page.contentType = "text/html";
    page.body = "<html><body>Please log in</body></html>";
    server.add("/login.swf", page);
    LoopbackHttpServer::Answer failing;
    failing.status = 503;
    failing.reason = "Service Unavailable";
    server.add("/busy.swf", failing);

    // A port that nobody listens on.
    SOCKET probe = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    closesocket(probe);
    std::wstring closed = L"http://127.0.0.1:" + std::to_wstring(ntohs(address.sin_port)) + L"/m.swf";

    const BadInput inputs[] = {
        {"404", server.url("/nothing.swf"), L"Could not open " + server.url("/nothing.swf") + L": the server answered 404 Not Found."},
        {"503", server.url("/busy.swf"), L"Could not open " + server.url("/busy.swf") + L": the server answered 503 Service Unavailable."},
        {"HTML instead of a movie", server.url("/login.swf"), L"Not a SWF movie: this is a web page"},
        {"nobody listening", closed, L"Could not open " + closed + L": "},
    };
    ActiveControl hosted(320, 200);
    ASSERT_TRUE(hosted.ok());
    for (const BadInput& input : inputs) {
        SCOPED_TRACE(input.name);
        hosted.sink.events.clear();
        ASSERT_TRUE(hosted.load(input.movie)) << "the load never ended";
        EXPECT_TRUE(hosted.sink.sawReadyState(0));
        EXPECT_EQ(hosted.sink.summary().back(), "ready 4");
        std::wstring text = hosted.stageText();
        EXPECT_EQ(text.rfind(input.reasonStart, 0), 0u) << narrow(text);
    }
}

TEST(SwfControlRemote, KeepsTheWindowAliveWhileTheServerIsSlow)
{
    LoopbackHttpServer server;
    ASSERT_TRUE(server.running());
    LoopbackHttpServer::Answer slow;
    slow.body = asText(swftest::movieFile(movieFields(64, 48, 24, 1, RGB(7, 8, 9))));
    slow.gated = true;
    server.add("/slow.swf", slow);

    ActiveControl hosted(200, 100);
    ASSERT_TRUE(hosted.ok());
    std::wstring url = server.url("/slow.swf");
    EXPECT_EQ(hosted.flash->put_Movie(Bstr(url.c_str())), S_OK);
    // The request reaches the server while the body is held back; meanwhile
    // the window answers and shows what it is loading.
    ASSERT_TRUE(pumpUntil([&] { return !server.requests().empty() && hosted.sink.sawReadyState(0); }));
    EXPECT_FALSE(hosted.sink.sawReadyState(4));
    DWORD_PTR answer = 0;
    EXPECT_TRUE(SendMessageTimeoutW(hosted.stage, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &answer));
    EXPECT_EQ(hosted.stageText(), L"Loading " + url + L"\x2026");

    server.openGate();
    ASSERT_TRUE(pumpUntil([&] { return hosted.sink.sawReadyState(4); }));
    EXPECT_EQ(hosted.stageText().rfind(L"Playing: SWF 10, 64 x 48", 0), 0u) << narrow(hosted.stageText());
}

} // namespace
