// What the stand-in control puts on the screen: the movie's stage, centred
// between black bars, and nothing over it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#if QP_SCREEN_PNG
#include <png.h>
#endif

#include "support/ProcessDriver.h"
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

// Text in a device font is drawn with the system's fonts: dark pixels
// within its field, none beyond.
TEST(SwfScreen, DrawsDeviceFontText)
{
    swftest::Bytes bits;
    int used = 0;
    const auto put = [&](uint32_t value, int count) {
        for (int i = count; i-- > 0;) {
            if (used == 0)
                bits.push_back(0);
            bits.back() |= static_cast<unsigned char>(((value >> i) & 1) << (7 - used));
            used = (used + 1) % 8;
        }
    };
    const auto rect = [&](int x0, int x1, int y0, int y1) {
        used = 0;
        put(13, 5), put(x0, 13), put(x1, 13), put(y0, 13), put(y1, 13);
        used = 0;
    };
    const auto take = [&] {
        swftest::Bytes out;
        out.swap(bits);
        used = 0;
        return out;
    };
    // A 200 x 60 white stage; "QUIBBLETON" in black, _sans at 30 pixels, in
    // a field over (10..190, 10..50).
    rect(0, 4000, 0, 1200);
    swftest::Bytes body = take();
    body.insert(body.end(), {0, 24, 1, 0});
    const swftest::Bytes background = swftest::tag(9, {255, 255, 255});
    const swftest::Bytes font = swftest::tag(48, {1, 0, 0, 0, 5, '_', 's', 'a', 'n', 's', 0, 0});
    rect(200, 3800, 200, 1000);
    const swftest::Bytes bounds = take();
    // Id 2, the bounds, text, colour and font 1 at 600 twips, no outlines.
    std::string edit = std::string("\x02\x00", 2) + std::string(bounds.begin(), bounds.end()) +
                       std::string("\x85\x00\x01\x00\x58\x02\x00\x00\x00\xff\x00", 11) + "QUIBBLETON" +
                       std::string(1, '\0');
    for (const swftest::Bytes& t : {background, font, swftest::tag(37, swftest::Bytes(edit.begin(), edit.end())), swftest::tag(26, {0x06, 1, 0, 2, 0, 0}),
                                    swftest::tag(1, {}), swftest::Bytes{0, 0}})
        body.insert(body.end(), t.begin(), t.end());

    const int left = 100, top = 100;
    ActiveControl hosted(200, 60, true, left, top);
    ASSERT_TRUE(hosted.ok());
    ASSERT_TRUE(hosted.load(writeScratchFile(L"device-text.swf",
                                             swftest::plainFile(body, 10, static_cast<uint32_t>(body.size() + 8)))));
    RedrawWindow(hosted.stage, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    EXPECT_GE(reinterpret_cast<ULONG_PTR>(GetPropW(hosted.stage, L"QuibbletonFramesShown")), 1u)
        << "no frame was ever drawn";
    RECT area = {left, top, left + 200, top + 60};
    Picture screen;
    size_t inside = 0, outside = 0;
    const auto look = [&] {
        screen = captureScreen(area);
        inside = outside = 0;
        for (int y = 0; y < 60; ++y) {
            for (int x = 0; x < 200; ++x) {
                const COLORREF c = screen.at(x, y);
                const bool dark = GetRValue(c) < 128 && GetGValue(c) < 128 && GetBValue(c) < 128;
                const bool field = x >= 10 && x < 190 && y >= 10 && y < 50;
                (field ? inside : outside) += dark ? 1 : 0;
            }
        }
        return inside > 0 && screen.at(0, 0) == RGB(255, 255, 255);
    };
    // The X server may show the new picture a moment after the paint.
    EXPECT_TRUE(pumpUntil(look, 3000)) << "no text on the white stage";
    // Ten letters 30 pixels high leave hundreds of dark pixels.
    EXPECT_GT(inside, 300u);
    EXPECT_EQ(outside, 0u);
}

#if QP_SCREEN_PNG
// Where the native build's swfrender wrote its pictures (the CTest fixture
// swfrender_pictures), and the corpus movies they are of.
std::wstring windowsPath(const std::string& unixPath)
{
    std::wstring path = L"Z:" + std::wstring(unixPath.begin(), unixPath.end());
    for (wchar_t& c : path)
        c = c == L'/' ? L'\\' : c;
    return path;
}

bool readPng(const std::wstring& path, Picture& picture)
{
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, narrow(path).c_str()))
        return false;
    image.format = PNG_FORMAT_BGRA; // a little-endian word: 0xAARRGGBB
    picture.width = static_cast<int>(image.width);
    picture.height = static_cast<int>(image.height);
    picture.pixels.assign(static_cast<size_t>(image.width) * image.height, 0);
    if (!png_image_finish_read(&image, nullptr, picture.pixels.data(), 0, nullptr))
        return false;
    for (uint32_t& pixel : picture.pixels)
        pixel &= 0xffffff;
    return true;
}

int channelDifference(uint32_t a, uint32_t b)
{
    int most = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        int d = std::abs(static_cast<int>((a >> shift) & 0xff) - static_cast<int>((b >> shift) & 0xff));
        most = d > most ? d : most;
    }
    return most;
}

// The control, hosted at the stage's size, puts on the screen the pixels
// that swfrender writes for the movie's first frame: shapes, gradients and a
// clip with glow, blur and knockout filters.
TEST(SwfScreen, ShowsWhatSwfrenderDraws)
{
    const char* movies[] = {"corpus/visual__simple_shapes__gradients__radial", "corpus/visual__simple_shapes__winding_rule",
                            "corpus-2/from_shumway__acid__acid-filter-2"};
    for (const char* name : movies) {
        SCOPED_TRACE(name);
        Picture expected;
        const std::string file = std::string(name).substr(std::string(name).find('/') + 1);
        std::wstring png = windowsPath(std::string(QP_SWFRENDER_PICTURES) + "/" + file + ".png");
        ASSERT_TRUE(readPng(png, expected)) << "no picture from swfrender: " << narrow(png);

        const int left = 60, top = 60;
        ActiveControl hosted(expected.width, expected.height, true, left, top);
        ASSERT_TRUE(hosted.ok());
        ASSERT_TRUE(hosted.load(windowsPath(std::string(QP_CORPUS_DIR) + "/" + name + "/test.swf")));
        ASSERT_EQ(hosted.stageText().rfind(L"Playing: ", 0), 0u) << narrow(hosted.stageText());
        hosted.flash->raw_Rewind(); // the first frame, as swfrender shows it
        RedrawWindow(hosted.stage, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        EXPECT_TRUE(IsWindowVisible(hosted.stage));
        EXPECT_GE(reinterpret_cast<ULONG_PTR>(GetPropW(hosted.stage, L"QuibbletonFramesShown")), 1u)
            << "no frame was ever drawn";

        RECT area;
        GetWindowRect(hosted.stage, &area);
        ASSERT_EQ(area.right - area.left, expected.width);
        ASSERT_EQ(area.bottom - area.top, expected.height);
        Picture screen;
        size_t outliers = 0;
        int worst = 0;
        auto compare = [&] {
            screen = captureScreen(area);
            outliers = 0;
            worst = 0;
            for (size_t i = 0; i < expected.pixels.size(); ++i) {
                int d = channelDifference(screen.pixels[i], expected.pixels[i]);
                worst = d > worst ? d : worst;
                outliers += d > 2 ? 1 : 0;
            }
            return outliers == 0;
        };
        // The X server may show the new picture a moment after the paint.
        EXPECT_TRUE(pumpUntil(compare, 3000)) << outliers << " pixels differ, by up to " << worst;
        EXPECT_GT(expected.count(expected.at(0, 0)), 0u);
        EXPECT_LT(expected.count(expected.at(0, 0)), expected.pixels.size()) << "swfrender drew a blank stage";
    }
}
#endif

} // namespace
