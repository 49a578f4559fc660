// Keys that reach the AX window go on to the window that took the focus from
// it. Needs the real focus, so it holds the display.
#include "tests/wine/AXFixture.h"

namespace {

TEST_F(AXWindowTest, KeyDownGoesToTheWindowThatLastTookTheFocus)
{
    parent.show();
    HWND ax = createHosted();
    RecordingWindow target(script, "target", parent.handle(), 50, 20);
    ASSERT_TRUE(target.handle());
    AXHost* host = axHost(ax);

    // Before the AX window has ever lost the focus the key goes nowhere else.
    EXPECT_EQ(SendMessageW(ax, WM_KEYDOWN, VK_RETURN, 0), 0);
    EXPECT_EQ(script.take(), CallLog{});

    SetFocus(ax);
    ASSERT_EQ(GetFocus(), ax) << "the AX window never got the focus";
    EXPECT_EQ(host->keyTarget, nullptr) << "gaining the focus names no target";
    SetFocus(target.handle());
    ASSERT_EQ(GetFocus(), target.handle());
    EXPECT_EQ(host->keyTarget, target.handle());
    EXPECT_EQ(SendMessageW(ax, WM_KEYDOWN, VK_ESCAPE, 0), 0);
    EXPECT_EQ(SendMessageW(ax, WM_KEYDOWN, VK_RETURN, 0x1c0001), 0);
    EXPECT_EQ(script.take(), (CallLog{"WM_KEYDOWN(27,0x0)", "WM_KEYDOWN(13,0x1C0001)"}));

    // Focus that leaves for no window leaves no target.
    SetFocus(ax);
    SetFocus(nullptr);
    EXPECT_EQ(host->keyTarget, nullptr);
    SendMessageW(ax, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(script.take(), CallLog{});
    destroyAndCheckReleased(ax);
}

} // namespace
