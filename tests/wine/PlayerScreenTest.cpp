// What the real player puts on the screen: a portal entry's movie kept at its
// ratio between black bars after a resize, and a local movie loaded through
// File > Load. Each test leaves a screenshot under build/screenshots.
#include <gtest/gtest.h>

#include "support/LoopbackServers.h"
#include "wine/PlayerDriver.h"

namespace {

using Lines = std::vector<std::string>;

const COLORREF black = RGB(0, 0, 0);
const COLORREF entryBackground = RGB(0x2E, 0x8B, 0x57); // player_servers.py

struct Probe {
    const char* where;
    POINT at; // in the main window's client area
    COLORREF colour;
};

// Waits for the painting to settle on the expected colours; reports each
// probe that never got there.
void expectScreen(HWND window, const std::vector<Probe>& probes, const wchar_t* screenshot)
{
    // The whole window for the screenshot; probes are read in its client area.
    RECT area;
    GetWindowRect(window, &area);
    const RECT client = clientOnScreen(window);
    auto colourAt = [&](const Picture& picture, POINT at) {
        return picture.at(client.left - area.left + at.x, client.top - area.top + at.y);
    };
    Picture picture;
    auto matches = [&] {
        picture = captureScreen(area);
        for (const Probe& probe : probes)
            if (colourAt(picture, probe.at) != probe.colour)
                return false;
        return true;
    };
    waitUntil(matches, 5000);
    saveScreenshot(picture, screenshot);
    for (const Probe& probe : probes)
        EXPECT_EQ(colourText(colourAt(picture, probe.at)), colourText(probe.colour))
            << probe.where << " at " << probe.at.x << "," << probe.at.y;
}

TEST(PlayerScreen, KeepsTheStageRatioBetweenBlackBarsAfterAResize)
{
    PlayerRun player(L"quibbleton:123");
    HWND window = player.waitForWindow();
    ASSERT_TRUE(window) << "the main window never showed";
    ASSERT_TRUE(player.waitUntilPlaying()) << narrow(player.stageText());

    // 400 pixels wider: a 800 x 300 client area for a 4:3 stage.
    RECT outer;
    GetWindowRect(window, &outer);
    SetWindowPos(window, nullptr, outer.left - 200, outer.top, outer.right - outer.left + 400,
                 outer.bottom - outer.top, SWP_NOZORDER | SWP_NOACTIVATE);
    RECT client;
    GetClientRect(window, &client);
    ASSERT_EQ(client.right, 800);
    ASSERT_EQ(client.bottom, 300);
    const RECT expected = {200, 0, 600, 300};
    RECT host = {};
    EXPECT_TRUE(waitUntil([&] {
        host = childRect(window, player.host());
        return EqualRect(&host, &expected) != FALSE;
    })) << "host at " << host.left << "," << host.top << " to " << host.right << "," << host.bottom;

    expectScreen(window,
                 {{"left bar", {100, 150}, black},
                  {"right bar", {700, 150}, black},
                  {"stage", {400, 100}, entryBackground},
                  {"stage, left edge", {202, 20}, entryBackground},
                  {"stage, right edge", {597, 20}, entryBackground}},
                 L"player.bmp");
    EXPECT_EQ(player.exitThroughMenu(), 0u);
}

TEST(PlayerScreen, FileLoadPlaysALocalMovieUnderTheTemplateTitle)
{
    swftest::MovieFields fields;
    fields.xMax = 300 * 20;
    fields.yMax = 300 * 20;
    fields.red = 0xCC;
    fields.green = 0x33;
    fields.blue = 0x66;
    fields.headerFrameCount = 12;
    fields.showFrames = 12;
    const std::wstring path = writeScratchFile(L"loaded.swf", swftest::movieFile(fields));

    // An entry first, so that the title and ratio it set have to go.
    PlayerRun player(L"quibbleton:123");
    HWND window = player.waitForWindow();
    ASSERT_TRUE(window) << "the main window never showed";
    ASSERT_TRUE(player.waitUntilPlaying()) << narrow(player.stageText());
    ASSERT_EQ(windowText(window), L"Entry 123 - Quibbleton Player");

    // Posted: the command runs the dialog's modal loop before it returns.
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(101, 0), 0);
    HWND dialog = player.process.waitForWindow(10000, L"Load SWF");
    ASSERT_TRUE(dialog) << "the Load SWF dialog never showed";
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), window);
    ASSERT_TRUE(SetDlgItemTextW(dialog, 102, path.c_str()));
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
    EXPECT_TRUE(waitUntil([&] { return !IsWindow(dialog); })) << "the dialog stayed";

    EXPECT_TRUE(waitUntil([&] {
        return player.stageText() == L"Playing: SWF 10, 300 x 300, 24.00 fps, 12 frames, background #CC3366";
    })) << narrow(player.stageText());
    // The call log doubles each backslash.
    std::string logged;
    for (char c : narrow(path))
        logged += c == '\\' ? std::string("\\\\") : std::string(1, c);
    const std::string movie = loopbackUrl("http", "127.0.0.1", "movies", "/stage.swf");
    EXPECT_EQ(player.calls(), Lines({"put_WMode direct", "put_FlashVars a=1&b=2", "put_Movie " + movie,
                                     "put_WMode direct", "put_FlashVars ", "put_Movie " + logged}));
    EXPECT_EQ(windowText(window), L"Quibbleton Player");

    // Without a ratio the host fills the client area; the control letterboxes
    // the square stage inside it.
    RECT client;
    GetClientRect(window, &client);
    const RECT host = childRect(window, player.host());
    EXPECT_EQ(host.left, 0);
    EXPECT_EQ(host.right, client.right);
    expectScreen(window, {{"stage", {client.right / 2, client.bottom / 3}, RGB(0xCC, 0x33, 0x66)}},
                 L"player-load.bmp");
    EXPECT_EQ(player.exitThroughMenu(), 0u);
}

} // namespace
