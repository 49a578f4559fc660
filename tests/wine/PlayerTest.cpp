// The real player launched for portal entries of the local portal
// (player_servers.py): what it asks the portal, how it sizes, titles and
// places its window, what it hands the control, and how it ends.
#include <gtest/gtest.h>

#include <cstring>

#include "wine/PlayerDriver.h"
#include "support/LoopbackServers.h"

namespace {

using Lines = std::vector<std::string>;

const wchar_t templateTitle[] = L"Quibbleton Player";

INT_PTR CALLBACK silentDialog(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

// The client size that DIALOG_MAIN gives in this prefix: the same template,
// made here hidden, with a plain window in place of the AX control.
SIZE templateClientSize()
{
    WNDCLASSW axClass = {};
    axClass.lpfnWndProc = DefWindowProcW;
    axClass.hInstance = GetModuleHandleW(nullptr);
    axClass.lpszClassName = L"AX";
    RegisterClassW(&axClass);

    HRSRC found = FindResourceW(nullptr, L"DIALOG_MAIN", MAKEINTRESOURCEW(5)); // RT_DIALOG
    EXPECT_TRUE(found);
    if (!found)
        return SIZE{0, 0};
    const BYTE* data = static_cast<const BYTE*>(LockResource(LoadResource(nullptr, found)));
    std::vector<BYTE> copy(data, data + SizeofResource(nullptr, found));
    // DLGTEMPLATEEX: version, signature, help id, extended style, then style.
    DWORD style;
    memcpy(&style, &copy[12], sizeof style);
    style &= ~WS_VISIBLE;
    memcpy(&copy[12], &style, sizeof style);

    HWND dialog = CreateDialogIndirectParamW(GetModuleHandleW(nullptr),
                                             reinterpret_cast<LPCDLGTEMPLATEW>(copy.data()), nullptr,
                                             silentDialog, 0);
    EXPECT_TRUE(dialog);
    RECT client = {0, 0, 0, 0};
    GetClientRect(dialog, &client);
    DestroyWindow(dialog);
    return SIZE{client.right, client.bottom};
}

// Requests as a failure message can show them: long ones by their ends.
std::string shortened(const Lines& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += "\n  " + (line.size() <= 120 ? line
                                             : line.substr(0, 60) + "..." + line.substr(line.size() - 20) + " (" +
                                                   std::to_string(line.size()) + " bytes)");
    return text;
}

void expectCentred(HWND window)
{
    RECT outer;
    GetWindowRect(window, &outer);
    const POINT origin = centredOrigin(outer);
    EXPECT_EQ(outer.left, origin.x);
    EXPECT_EQ(outer.top, origin.y);
}

TEST(Player, EmptyCommandLineAsksNothingAndShowsTheTemplateUntilFileExit)
{
    PlayerRun player(L"");
    ASSERT_TRUE(player.waitForWindow()) << "the main window never showed";
    HWND window = player.window();
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(windowText(window), templateTitle);

    RECT client;
    GetClientRect(window, &client);
    const SIZE expected = templateClientSize();
    EXPECT_GT(expected.cx, 0);
    EXPECT_EQ(client.right, expected.cx);
    EXPECT_EQ(client.bottom, expected.cy);
    expectCentred(window);

    // Without a ratio the host fills the client area.
    ASSERT_TRUE(player.host());
    EXPECT_EQ(className(player.host()), L"AX");
    const RECT host = childRect(window, player.host());
    EXPECT_EQ(host.left, 0);
    EXPECT_EQ(host.top, 0);
    EXPECT_EQ(host.right, client.right);
    EXPECT_EQ(host.bottom, client.bottom);

    EXPECT_EQ(player.exitThroughMenu(), 0u);
    EXPECT_EQ(portalRequests(), Lines());
    EXPECT_EQ(player.calls(), Lines());
}

TEST(Player, AppliesTheEntrysMetadataToWindowHostAndControl)
{
    PlayerRun player(L"quibbleton:123");
    ASSERT_TRUE(player.waitForWindow()) << "the main window never showed";
    EXPECT_EQ(portalRequests(), Lines({entryRequest("123")}));
    HWND window = player.window();
    EXPECT_EQ(windowText(window), L"Entry 123 - Quibbleton Player");

    // The host at the stage size in the corner, the window fitted around it.
    ASSERT_TRUE(player.host());
    EXPECT_EQ(className(player.host()), L"AX");
    const RECT host = childRect(window, player.host());
    EXPECT_EQ(host.left, 0);
    EXPECT_EQ(host.top, 0);
    EXPECT_EQ(host.right, 400);
    EXPECT_EQ(host.bottom, 300);
    RECT client;
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, 400);
    EXPECT_EQ(client.bottom, 300);
    expectCentred(window);

    ASSERT_TRUE(player.waitUntilPlaying()) << narrow(player.stageText());
    EXPECT_EQ(player.stageText(), L"Playing: SWF 10, 400 x 300, 24.00 fps, 24 frames, background #2E8B57");
    const std::string movie = loopbackUrl("http", "127.0.0.1", "movies", "/stage.swf");
    EXPECT_EQ(player.calls(), Lines({"put_WMode direct", "put_FlashVars a=1&b=2", "put_Movie " + movie}));
    EXPECT_EQ(loopbackRequests("movies"), Lines({"GET /stage.swf"}));

    EXPECT_EQ(player.exitThroughMenu(), 0u);
}

TEST(Player, ReadsUtf8TitlesAsUnicode)
{
    struct TitleCase {
        const char* entry;
        const wchar_t* title;
    };
    const TitleCase cases[] = {
        {"pokemon", L"Pok\u00e9mon - Quibbleton Player"},
        {"kana", L"\u30dd\u30b1\u30e2\u30f3 - Quibbleton Player"},
    };
    for (const TitleCase& c : cases) {
        SCOPED_TRACE(c.entry);
        PlayerRun player(L"quibbleton:" + widen(c.entry));
        ASSERT_TRUE(player.waitForWindow()) << "the main window never showed";
        EXPECT_EQ(windowText(player.window()), c.title);
        EXPECT_EQ(player.exitThroughMenu(), 0u);
    }
    EXPECT_EQ(portalRequests(), Lines({entryRequest("pokemon"), entryRequest("kana")}));
}

// Each launch asks the portal for exactly the entry that the command line
// names, once, and the window shows whatever came back.
TEST(Player, RequestsExactlyTheEntryTheCommandLineNames)
{
    // A command line holds at most 32766 characters, the quoted program
    // name and the blank after it included: the longest id that fits. (Wine
    // cuts a longer one there; Windows refuses to start the process.)
    const size_t longId = 32766 - (playerExe().size() + 3) - 2;
    const std::string manyDigits(longId, '7');

    struct RequestCase {
        const char* name;
        std::wstring arguments;
        std::string request;
        const wchar_t* title;
    };
    const RequestCase cases[] = {
        {"id and suffix", L"quibbleton:123_7", entryRequest("123_7"), L"Entry 123 part 7 - Quibbleton Player"},
        {"quoted, %22 kept, cut at the quote", L"\"quibbleton:123%22_7_third\"  \"a b\" \"c",
         entryRequest("123%22_7"), L"Entry 123%22 part 7 - Quibbleton Player"},
        {"longest command line", L"x:" + widen(manyDigits), entryRequest(manyDigits), nullptr},
    };
    Lines expected;
    for (const RequestCase& c : cases) {
        SCOPED_TRACE(c.name);
        PlayerRun player(c.arguments);
        ASSERT_TRUE(player.waitForWindow()) << "the main window never showed";
        if (c.title) {
            EXPECT_EQ(windowText(player.window()), c.title);
        }
        EXPECT_EQ(player.exitThroughMenu(), 0u);
        expected.push_back(c.request);
        const Lines requests = portalRequests();
        EXPECT_TRUE(requests == expected) << "requests: " << shortened(requests);
    }
}

// The id goes into the URL unescaped; libcurl refuses a URL with a blank, so
// nothing is asked, and the window shows all the same.
TEST(Player, ABlankInTheIdAsksNothing)
{
    PlayerRun player(L"\"quibbleton:12 3_7\"");
    ASSERT_TRUE(player.waitForWindow()) << "the main window never showed";
    EXPECT_EQ(player.exitThroughMenu(), 0u);
    EXPECT_EQ(portalRequests(), Lines());
    EXPECT_EQ(player.process.errors(), "URL using bad/illegal format or missing URL");
}

} // namespace
