// What the stand-in control puts on the screen: the movie's stage, centred
// between black bars, and nothing over it.
#include <gtest/gtest.h>

#include "wine/SwfTestHelpers.h"

namespace {

struct Letterbox {
    const char* name;
    int width, height; // the movie's stage
    COLORREF background;
    POINT inside[2];  // on the stage, clear of the indicator
    POINT outside[2]; // on the bars
    POINT indicator;  // where a frame indicator was once painted
};

TEST(SwfScreen, ShowsTheStageLetterboxedInItsBackgroundColour)
{
    const int left = 100, top = 100, width = 400, height = 300;
    ActiveControl hosted(width, height, true, left, top);
    ASSERT_TRUE(hosted.ok());
    const Letterbox cases[] = {
        // 4:1 in 4:3: the stage is 400 x 100 at y 100..200.
        {"wide", 200, 50, RGB(0x3c, 0xb3, 0x71), {{200, 120}, {10, 150}}, {{200, 50}, {390, 280}}, {10, 198}},
        // 1:2 in 4:3: the stage is 150 x 300 at x 125..275.
        {"tall", 100, 200, RGB(0xcc, 0x33, 0x66), {{200, 100}, {130, 20}}, {{50, 150}, {350, 10}}, {130, 298}},
    };
    for (const Letterbox& c : cases) {
        SCOPED_TRACE(c.name);
        swftest::MovieFields fields;
        fields.xMax = c.width * 20;
        fields.yMax = c.height * 20;
        fields.red = GetRValue(c.background);
        fields.green = GetGValue(c.background);
        fields.blue = GetBValue(c.background);
        ASSERT_TRUE(hosted.load(writeScratchFile(std::wstring(L"screen-") + (c.name[0] == 'w' ? L"w" : L"t") + L".swf",
                                                 swftest::movieFile(fields))));
        RedrawWindow(hosted.stage, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        RECT area = {left, top, left + width, top + height};
        Picture screen;
        // The X server may show the new picture a moment after the paint.
        bool shown = pumpUntil([&] {
            screen = captureScreen(area);
            return screen.at(c.inside[0].x, c.inside[0].y) == c.background;
        }, 3000);
        EXPECT_TRUE(shown) << "the stage never appeared on the screen";
        for (const POINT& p : c.inside)
            EXPECT_EQ(colourText(screen.at(p.x, p.y)), colourText(c.background)) << p.x << "," << p.y;
        for (const POINT& p : c.outside)
            EXPECT_EQ(colourText(screen.at(p.x, p.y)), colourText(RGB(0, 0, 0))) << p.x << "," << p.y;
        // A movie that draws shows only itself: no frame indicator.
        EXPECT_EQ(colourText(screen.at(c.indicator.x, c.indicator.y)), colourText(c.background));
    }
}

} // namespace
