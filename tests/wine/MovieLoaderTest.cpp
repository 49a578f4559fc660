// The movie loader and the application of a portal entry's metadata, with
// RecordingControl in a real AX window inside a plain main window that has
// the player's menu: what reaches the control, in what order, and what
// happens to the main window, its title, the aspect ratio and the event
// wiring, also when the control fails.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "app/AppState.h"
#include "app/Startup.h"
#include "movie/ApplyMetadata.h"
#include "movie/FlashClsid.h"
#include "movie/MovieLoader.h"
#include "support/MainDialog.h"
#include "support/MessageTap.h"
#include "support/ProcessDriver.h"
#include "support/RecordingControl.h"
#include "support/RecordingWindow.h"

namespace {

const wchar_t flashText[] = QP_FLASH_CLSID_WTEXT;
const wchar_t noHostText[] = L"}D27CDB6E-AE6D-11CF-96B8-444553540000}";
const float ratioBefore = 2.25f;

// The outer size a client area of width x height gets under a one-line menu bar.
SIZE frameAround(HWND window, int width, int height)
{
    RECT r = {0, 0, width, height};
    AdjustWindowRect(&r, static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)), TRUE);
    return SIZE{r.right - r.left, r.bottom - r.top};
}

// What OutputDebugStringW hands a debugger: the platform raises
// DBG_PRINTEXCEPTION_C with the text, and a vectored handler sees it first
// even when no debugger is attached.
class DebuggerOutput {
public:
    DebuggerOutput()
    {
        texts().clear();
        handler_ = AddVectoredExceptionHandler(1, handle);
    }
    ~DebuggerOutput()
    {
        if (handler_)
            RemoveVectoredExceptionHandler(handler_);
    }
    DebuggerOutput(const DebuggerOutput&) = delete;
    DebuggerOutput& operator=(const DebuggerOutput&) = delete;

    // Test failures go there too: take the texts before asserting.
    static std::vector<std::string>& texts()
    {
        static std::vector<std::string> all;
        return all;
    }

private:
    static LONG CALLBACK handle(EXCEPTION_POINTERS* pointers)
    {
        const EXCEPTION_RECORD* record = pointers->ExceptionRecord;
        if (record->ExceptionCode == DBG_PRINTEXCEPTION_C && record->NumberParameters >= 2 &&
            record->ExceptionInformation[1])
            texts().push_back(reinterpret_cast<const char*>(record->ExceptionInformation[1]));
        return EXCEPTION_CONTINUE_SEARCH;
    }

    void* handler_ = nullptr;
};

class MovieLoaderTest : public testing::Test {
protected:
    void SetUp() override
    {
        resetAppState();
        registerAXClass();
        ASSERT_TRUE(registration.registered());
        ASSERT_TRUE(main.handle());
        menu = LoadMenuW(GetModuleHandleW(nullptr), L"MENU_1");
        ASSERT_TRUE(menu);
        SetMenu(main.handle(), menu);
        SetWindowPos(main.handle(), nullptr, 37, 45, 500, 400, SWP_NOZORDER | SWP_NOACTIVATE);
        appState.mainWindow = main.handle();
        appState.baseTitle = baseTitle;
        appState.aspectRatio = ratioBefore;
    }

    void TearDown() override
    {
        dropHost();
        appState.baseTitle = nullptr;
    }

    // Destroys the host and gives back the connection the loader kept, so
    // that the control goes.
    void dropHost()
    {
        if (host)
            DestroyWindow(host);
        host = nullptr;
        if (appState.eventConnectionPoint)
            appState.eventConnectionPoint->Release();
        if (appState.eventConnectionContainer)
            appState.eventConnectionContainer->Release();
        appState.eventConnectionPoint = nullptr;
        appState.eventConnectionContainer = nullptr;
    }

    // An AX window of that size hosting the double; the log is then cleared
    // and references are logged from here on.
    void makeHost(int width = 300, int height = 200, const wchar_t* text = flashText)
    {
        host = createAXWindow(script, main.handle(), text, width, height);
        ASSERT_TRUE(host);
        script.take();
        script.logReferences = true;
    }

    // The loader on the fixture's windows.
    bool load(const wchar_t* movie, const char* flashVars)
    {
        return loadMovie(main.handle(), host, movie, flashVars);
    }

    // The main window's state that a refused load must leave alone.
    struct Untouched {
        std::wstring title;
        RECT frame;
        float ratio;
    };
    Untouched untouched()
    {
        SetWindowTextW(main.handle(), L"before");
        return Untouched{L"before", windowRect(main.handle()), appState.aspectRatio};
    }
    void expectUntouched(const Untouched& before)
    {
        EXPECT_EQ(windowText(main.handle()), before.title);
        EXPECT_EQ(windowRect(main.handle()), before.frame);
        EXPECT_EQ(appState.aspectRatio, before.ratio);
        EXPECT_EQ(appState.eventConnectionContainer, nullptr);
        EXPECT_EQ(appState.eventConnectionPoint, nullptr);
    }

    ControlScript script;
    RegisteredControl registration{script};
    RecordingWindow main{script, "main"};
    HMENU menu = nullptr;
    HWND host = nullptr;
    wchar_t baseTitle[100] = L"Quibbleton Player";
};

// ---------------------------------------------------------------------------
// loadMovie

TEST_F(MovieLoaderTest, HandsModeVariablesAndMovieToTheControlThenConnectsFitsAndResets)
{
    ASSERT_EQ(GetACP(), 1252u) << "the ANSI conversion below is checked under code page 1252";
    makeHost(300, 200);
    RecordingControl* control = script.latest();
    LONG references = control->references();
    SetWindowTextW(main.handle(), L"Old - Quibbleton Player");
    // What the main window's size handling finds when the fit reaches it.
    MessageTap tap(script);
    ASSERT_TRUE(tap.installed());
    std::vector<std::pair<float, std::wstring>> atSize;
    tap.onMessage = [&](const CWPSTRUCT& sent) {
        if (sent.hwnd == main.handle() && sent.message == WM_SIZE)
            atSize.push_back({appState.aspectRatio, windowText(main.handle())});
    };

    EXPECT_TRUE(load(L"C:\\Movies\\intro \"one\".swf", "name=Ren\xE9&list=a,b c"));
    tap.onMessage = nullptr;

    EXPECT_EQ(script.take(), (CallLog{"QueryInterface(IShockwaveFlash)", "put_WMode(direct)",
                                      "put_FlashVars(name=Ren\xC3\xA9&list=a,b c)",
                                      "put_Movie(C:\\Movies\\intro \"one\".swf)",
                                      "QueryInterface(IConnectionPointContainer)",
                                      "FindConnectionPoint(_IShockwaveFlashEvents)", "point.Advise(obj)",
                                      "Release(IShockwaveFlash)"}));
    // The two connection pointers are kept; nothing else is.
    EXPECT_EQ(control->references(), references + 2);
    EXPECT_EQ(appState.eventConnectionContainer, static_cast<IConnectionPointContainer*>(control));
    ASSERT_TRUE(appState.eventConnectionPoint);
    IConnectionPointContainer* owner = nullptr;
    ASSERT_EQ(appState.eventConnectionPoint->GetConnectionPointContainer(&owner), S_OK);
    EXPECT_EQ(owner, static_cast<IConnectionPointContainer*>(control));
    owner->Release();
    EXPECT_EQ(control->eventSinks(), (std::vector<IDispatch*>{&appState.eventSink}));

    // Fitted around the host under a menu bar, where it was, and shown.
    RECT frame = windowRect(main.handle());
    SIZE expected = frameAround(main.handle(), 300, 200);
    EXPECT_EQ(frame.left, 37);
    EXPECT_EQ(frame.top, 45);
    EXPECT_EQ(frame.right - frame.left, expected.cx);
    EXPECT_EQ(frame.bottom - frame.top, expected.cy);
    EXPECT_EQ(clientRect(main.handle()), (RECT{0, 0, 300, 200}));
    EXPECT_TRUE(IsWindowVisible(main.handle()));

    EXPECT_EQ(windowText(main.handle()), L"Quibbleton Player");
    EXPECT_EQ(appState.aspectRatio, 0.0f);
    // The fit came first, while the old ratio and title still stood.
    ASSERT_FALSE(atSize.empty());
    EXPECT_EQ(atSize.front(), std::make_pair(ratioBefore, std::wstring(L"Old - Quibbleton Player")));
}

TEST_F(MovieLoaderTest, AnEmptyMovieIsStillHandedToTheControl)
{
    makeHost();
    EXPECT_TRUE(load(L"", ""));
    EXPECT_EQ(script.take(), (CallLog{"QueryInterface(IShockwaveFlash)", "put_WMode(direct)", "put_FlashVars()",
                                      "put_Movie()", "QueryInterface(IConnectionPointContainer)",
                                      "FindConnectionPoint(_IShockwaveFlashEvents)", "point.Advise(obj)",
                                      "Release(IShockwaveFlash)"}));
    EXPECT_EQ(appState.aspectRatio, 0.0f);
}

TEST_F(MovieLoaderTest, EachLoadKeepsThePositionResetsTitleAndRatioAndConnectsOnceMore)
{
    makeHost(320, 240);
    ASSERT_TRUE(load(L"first.swf", "a=1"));
    RecordingControl* control = script.latest();
    IConnectionPointContainer* firstContainer = appState.eventConnectionContainer;
    IConnectionPoint* firstPoint = appState.eventConnectionPoint;
    script.take();

    // What a metadata load and the user do in between.
    SetWindowPos(main.handle(), nullptr, 60, 70, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowTextW(main.handle(), L"Game - Quibbleton Player");
    appState.aspectRatio = 1.5f;

    ASSERT_TRUE(load(L"second.swf", ""));
    EXPECT_EQ(script.take(), (CallLog{"QueryInterface(IShockwaveFlash)", "put_WMode(direct)", "put_FlashVars()",
                                      "put_Movie(second.swf)", "QueryInterface(IConnectionPointContainer)",
                                      "FindConnectionPoint(_IShockwaveFlashEvents)", "point.Advise(obj)",
                                      "Release(IShockwaveFlash)"}));
    RECT frame = windowRect(main.handle());
    EXPECT_EQ(frame.left, 60);
    EXPECT_EQ(frame.top, 70);
    EXPECT_EQ(clientRect(main.handle()), (RECT{0, 0, 320, 240}));
    EXPECT_EQ(windowText(main.handle()), L"Quibbleton Player");
    EXPECT_EQ(appState.aspectRatio, 0.0f);
    EXPECT_EQ(control->eventSinks(), (std::vector<IDispatch*>{&appState.eventSink, &appState.eventSink}));

    // The first load's pair is dropped, not released; give it back here.
    firstPoint->Release();
    firstContainer->Release();
}

TEST_F(MovieLoaderTest, WithoutTheControlsInterfaceNothingChanges)
{
    struct Case {
        const char* name;
        const wchar_t* text;
        bool withhold;
        CallLog log;
    } cases[] = {
        {"the control refuses IShockwaveFlash", flashText, true, {"QueryInterface(IShockwaveFlash)=E_NOINTERFACE"}},
        {"the window hosts no control", noHostText, false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.withhold)
            script.withhold(IID_IShockwaveFlash);
        makeHost(300, 200, c.text);
        Untouched before = untouched();

        EXPECT_FALSE(load(L"movie.swf", "a=1"));

        EXPECT_EQ(script.take(), c.log);
        expectUntouched(before);
        dropHost();
    }
}

TEST_F(MovieLoaderTest, ARefusedWindowModeOrVariablesAbandonTheLoadAndTheNextLoadWorks)
{
    for (const char* method : {"put_WMode", "put_FlashVars"}) {
        SCOPED_TRACE(method);
        makeHost();
        RecordingControl* control = script.latest();
        LONG references = control->references();
        Untouched before = untouched();
        script.fail(method, E_ACCESSDENIED, 1);

        EXPECT_FALSE(load(L"movie.swf", "a=1"));

        CallLog expected = {"QueryInterface(IShockwaveFlash)", "put_WMode(direct)"};
        if (std::string(method) == "put_FlashVars")
            expected.push_back("put_FlashVars(a=1)");
        // The failure is raised with the control's error information, if it has any.
        expected.push_back("QueryInterface(ISupportErrorInfo)=E_NOINTERFACE");
        expected.push_back("Release(IShockwaveFlash)");
        EXPECT_EQ(script.take(), expected);
        expectUntouched(before);
        EXPECT_EQ(control->references(), references);

        EXPECT_TRUE(load(L"movie.swf", "a=1"));
        EXPECT_EQ(appState.aspectRatio, 0.0f);
        EXPECT_EQ(windowText(main.handle()), L"Quibbleton Player");

        dropHost();
        EXPECT_EQ(script.liveControls(), 0) << "a reference was kept";
        appState.aspectRatio = ratioBefore;
        script.take();
    }
}

TEST_F(MovieLoaderTest, FailuresAfterTheMovieAreIgnored)
{
    struct Case {
        const char* name;
        const char* failing; // method that fails, or null
        bool withholdContainer;
        bool containerKept;
        bool pointKept;
        CallLog log;
    } cases[] = {
        {"a refused movie", "put_Movie", false, true, true,
         {"put_Movie(m.swf)", "QueryInterface(IConnectionPointContainer)",
          "FindConnectionPoint(_IShockwaveFlashEvents)", "point.Advise(obj)"}},
        {"no event connection point", "FindConnectionPoint", false, true, false,
         {"put_Movie(m.swf)", "QueryInterface(IConnectionPointContainer)",
          "FindConnectionPoint(_IShockwaveFlashEvents)"}},
        {"a refused connection", "point.Advise", false, true, true,
         {"put_Movie(m.swf)", "QueryInterface(IConnectionPointContainer)",
          "FindConnectionPoint(_IShockwaveFlashEvents)", "point.Advise(obj)"}},
        {"no connection points", nullptr, true, false, false,
         {"put_Movie(m.swf)", "QueryInterface(IConnectionPointContainer)=E_NOINTERFACE"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.failing)
            script.fail(c.failing, E_FAIL);
        if (c.withholdContainer)
            script.withhold(IID_IConnectionPointContainer); // for good: the last case
        makeHost(200, 100);
        appState.aspectRatio = ratioBefore;

        EXPECT_TRUE(load(L"m.swf", ""));

        CallLog expected = {"QueryInterface(IShockwaveFlash)", "put_WMode(direct)", "put_FlashVars()"};
        expected.insert(expected.end(), c.log.begin(), c.log.end());
        expected.push_back("Release(IShockwaveFlash)");
        EXPECT_EQ(script.take(), expected);
        EXPECT_EQ(appState.eventConnectionContainer != nullptr, c.containerKept);
        EXPECT_EQ(appState.eventConnectionPoint != nullptr, c.pointKept);
        EXPECT_EQ(clientRect(main.handle()), (RECT{0, 0, 200, 100}));
        EXPECT_EQ(windowText(main.handle()), L"Quibbleton Player");
        EXPECT_EQ(appState.aspectRatio, 0.0f);

        dropHost();
        EXPECT_EQ(script.liveControls(), 0) << "a reference was kept";
        if (c.failing)
            script.fail(c.failing, E_FAIL, 0);
        script.take();
    }
}

TEST_F(MovieLoaderTest, AHostOfZeroSizeLeavesTheMainWindowWithoutClientArea)
{
    makeHost(0, 0);
    EXPECT_TRUE(load(L"movie.swf", ""));
    RECT client = clientRect(main.handle());
    EXPECT_TRUE(IsRectEmpty(&client)) << client;
}

// ---------------------------------------------------------------------------
// applyMetadata

const char portalResponse[] = R"({"width": 600, "height": 400, "title": "T", )"
                              R"("swf": "https:\/\/cdn.example\/games\/t.swf", "flashVars": "level=3&mode=easy"})";

TEST_F(MovieLoaderTest, MetadataPlacesTheHostLoadsTheMovieAndTitlesTheWindow)
{
    makeHost(123, 77);
    SetWindowPos(host, nullptr, 5, 7, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    script.take();
    DebuggerOutput debugger;

    EXPECT_TRUE(applyMetadata(main.handle(), host, portalResponse));
    std::vector<std::string> debugged = debugger.texts();

    // The host takes the stage size before the control hears of the movie.
    EXPECT_EQ(script.take(), (CallLog{"WM_NOTIFY(ax,888,1)", "QueryInterface(IOleInPlaceObject)",
                                      "SetObjectRects(0,0,600,400,0,0,600,400)", "Release(IOleInPlaceObject)",
                                      "QueryInterface(IShockwaveFlash)", "put_WMode(direct)",
                                      "put_FlashVars(level=3&mode=easy)",
                                      "put_Movie(https://cdn.example/games/t.swf)",
                                      "QueryInterface(IConnectionPointContainer)",
                                      "FindConnectionPoint(_IShockwaveFlashEvents)", "point.Advise(obj)",
                                      "Release(IShockwaveFlash)"}));
    EXPECT_EQ(childRect(host), (RECT{0, 0, 600, 400}));
    EXPECT_EQ(clientRect(main.handle()), (RECT{0, 0, 600, 400}));
    EXPECT_EQ(windowText(main.handle()), L"T - Quibbleton Player");
    EXPECT_EQ(appState.aspectRatio, 1.5f);
    EXPECT_EQ(debugged, (std::vector<std::string>{"level=3&mode=easy"}));
}

TEST_F(MovieLoaderTest, AFailedLoadStillLeavesTheHostAtTheStageSize)
{
    script.withhold(IID_IShockwaveFlash);
    makeHost(123, 77);
    SetWindowPos(host, nullptr, 5, 7, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    Untouched before = untouched();

    EXPECT_FALSE(applyMetadata(main.handle(), host, portalResponse));

    EXPECT_EQ(childRect(host), (RECT{0, 0, 600, 400}));
    expectUntouched(before);
}

TEST_F(MovieLoaderTest, TitleAndMovieUrlAreShownAsTheirUtf8Says)
{
    struct Case {
        const char* name;
        std::string response;
        std::wstring title;
        std::string movie; // as logged: UTF-8
    } cases[] = {
        {"Latin", "{\"title\": \"Pok\xC3\xA9mon\", \"swf\": \"https:\\/\\/cdn.example\\/\xC3\xA9t\xC3\xA9.swf\"}",
         L"Pok\u00E9mon - Quibbleton Player", "https://cdn.example/\xC3\xA9t\xC3\xA9.swf"},
        {"Japanese", "{\"title\": \"\xE3\x82\xB2\xE3\x83\xBC\xE3\x83\xA0\", \"swf\": \"g.swf\"}",
         L"\u30B2\u30FC\u30E0 - Quibbleton Player", "g.swf"},
        {"not UTF-8", "{\"title\": \"Pok\xE9mon\", \"swf\": \"g.swf\"}", L"Pok\xFFE9mon - Quibbleton Player",
         "g.swf"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        makeHost();
        EXPECT_TRUE(applyMetadata(main.handle(), host, c.response));
        EXPECT_EQ(windowText(main.handle()), c.title);
        CallLog log = script.take();
        EXPECT_NE(std::find(log.begin(), log.end(), "put_Movie(" + c.movie + ")"), log.end())
            << testing::PrintToString(log);
        dropHost();
    }
}

TEST_F(MovieLoaderTest, AStageSizeThatIsNotUsableLeavesTheHostItsSizeAndKeepsNoRatio)
{
    struct Case {
        const char* name;
        std::string sizes; // the response's width and height pairs
        RECT host;         // where the host ends up
        float ratio;
    } cases[] = {
        {"no width", R"("height": 400)", {0, 0, 123, 77}, 0.0f},
        {"a height that is no number", R"("width": 600, "height": "tall")", {0, 0, 123, 77}, 0.0f},
        {"a negative width", R"("width": -600, "height": 400)", {0, 0, 123, 77}, 0.0f},
        {"a width beyond any screen", R"("width": 20000, "height": 400)", {0, 0, 123, 77}, 0.0f},
        {"a height of 0", R"("width": 600, "height": 0)", {0, 0, 600, 0}, 0.0f},
        {"a width of 0", R"("width": 0, "height": 400)", {0, 0, 0, 400}, 0.0f},
        {"hexadecimal and octal", R"("width": 0x258, "height": 0620)", {0, 0, 600, 400}, 1.5f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        makeHost(123, 77);
        SetWindowPos(host, nullptr, 5, 7, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        appState.aspectRatio = ratioBefore;

        EXPECT_TRUE(applyMetadata(main.handle(), host, "{" + c.sizes + R"(, "swf": "g.swf", "x": 1})"));

        EXPECT_EQ(childRect(host), c.host);
        EXPECT_EQ(appState.aspectRatio, c.ratio);
        EXPECT_EQ(windowText(main.handle()), L" - Quibbleton Player");
        dropHost();
        script.take();
    }
}

TEST_F(MovieLoaderTest, ResponsesWithNothingInThemStillLoadAnEmptyMovie)
{
    for (const char* response : {"", "{", "{}", "{\"title\":\"\"}"}) {
        SCOPED_TRACE(testing::Message() << "response '" << response << "'");
        makeHost(123, 77);
        DebuggerOutput debugger;
        appState.aspectRatio = ratioBefore;

        EXPECT_TRUE(applyMetadata(main.handle(), host, response));
        std::vector<std::string> debugged = debugger.texts();

        CallLog log = script.take();
        EXPECT_NE(std::find(log.begin(), log.end(), "put_Movie()"), log.end()) << testing::PrintToString(log);
        EXPECT_EQ(childRect(host), (RECT{0, 0, 123, 77}));
        EXPECT_EQ(appState.aspectRatio, 0.0f);
        EXPECT_EQ(debugged, (std::vector<std::string>{""}));
        dropHost();
    }
}

} // namespace
