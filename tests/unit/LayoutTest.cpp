#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "app/Layout.h"

namespace {

struct LayoutCase {
    bool resizeToWindow;
    float ratio;
    int clientWidth, clientHeight;
    int hostWidth, hostHeight;
    HostPlacement expected;
};

const LayoutCase layoutCases[] = {
    // Ratio kept, centred with bars; 201 / 2 truncates to 100.
    {true, 1.5f, 800, 400, 0, 0, {100, 0, 600, 400}},
    {true, 1.5f, 801, 400, 0, 0, {100, 0, 600, 400}},
    // Client narrower than the stage: the host overhangs both edges.
    {true, 2.0f, 300, 200, 0, 0, {-50, 0, 400, 200}},
    {true, 2.0f, 301, 200, 0, 0, {-49, 0, 400, 200}},
    // No ratio known: the host fills the client.
    {true, 0.0f, 640, 480, 10, 10, {0, 0, 640, 480}},
    {true, -1.0f, 640, 480, 10, 10, {0, 0, 640, 480}},
    // The width is truncated, not rounded: 333 * 1.3333 = 443.99.
    {true, 1.3333f, 800, 333, 0, 0, {178, 0, 443, 333}},
    // Minimised: an empty client area gives an empty host.
    {true, 1.5f, 0, 0, 600, 400, {0, 0, 0, 0}},
    // Mode off: the host keeps its size, centred.
    {false, 1.5f, 800, 400, 600, 300, {100, 50, 600, 300}},
    {false, 0.0f, 801, 401, 600, 300, {100, 50, 600, 300}},
    {false, 0.0f, 300, 200, 600, 300, {-150, -50, 600, 300}},
    {false, 0.0f, 7, 7, 4, 4, {1, 1, 4, 4}},
};

TEST(LayoutHost, PlacesTheHostByTheRule)
{
    for (const LayoutCase& c : layoutCases) {
        SCOPED_TRACE(testing::Message() << "resize " << c.resizeToWindow << " ratio " << c.ratio << " client "
                                        << c.clientWidth << "x" << c.clientHeight << " host " << c.hostWidth
                                        << "x" << c.hostHeight);
        HostPlacement p = layoutHost(c.resizeToWindow, c.ratio, c.clientWidth, c.clientHeight, c.hostWidth,
                                     c.hostHeight);
        EXPECT_EQ(p.x, c.expected.x);
        EXPECT_EQ(p.y, c.expected.y);
        EXPECT_EQ(p.width, c.expected.width);
        EXPECT_EQ(p.height, c.expected.height);
    }
}

TEST(LayoutHost, NeverConvertsAnOutOfRangeWidth)
{
    float nan = std::numeric_limits<float>::quiet_NaN();
    float inf = std::numeric_limits<float>::infinity();
    HostPlacement p = layoutHost(true, nan, 640, 480, 0, 0);
    EXPECT_EQ(p.width, 640); // not a number: no ratio
    p = layoutHost(true, inf, 640, 480, 0, 0);
    EXPECT_GT(p.width, 640);
    p = layoutHost(true, 1e30f, 640, 480, 0, 0);
    EXPECT_GT(p.width, 640);
}

} // namespace
