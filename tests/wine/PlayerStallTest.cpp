// A portal that takes the request and never answers: the player gives up
// after its fetch time-out and still shows its window. The portal lets go
// of its fixed port once the request is in, so other runs go on meanwhile.
#include <gtest/gtest.h>

#include <algorithm>

#include "wine/PlayerDriver.h"

namespace {

TEST(PlayerStall, ShowsTheWindowWhenThePortalNeverAnswers)
{
    PlayerRun player(L"quibbleton:stall");
    // Timed from the request's arrival: Wine's own start-up is not the player's.
    ASSERT_TRUE(waitUntil(
        [] {
            const std::vector<std::string> requests = portalRequests();
            return std::find(requests.begin(), requests.end(), entryRequest("stall")) != requests.end();
        },
        15000))
        << "the request never reached the portal";
    const DWORD asked = GetTickCount();
    ASSERT_TRUE(player.waitForWindow(15000)) << "the main window never showed";
    const DWORD shownAfter = GetTickCount() - asked;
    EXPECT_LE(shownAfter, 10500u);
    EXPECT_GE(shownAfter, 9000u) << "the fetch ended before its time-out";
    // Other tests' launches may have reached this portal too before it let go.
    const std::vector<std::string> requests = portalRequests();
    EXPECT_EQ(std::count(requests.begin(), requests.end(), entryRequest("stall")), 1);
    EXPECT_EQ(player.exitThroughMenu(), 0u);
    EXPECT_EQ(player.process.errors(), "Timeout was reached");
}

} // namespace
