// The SWF reader against movies written here: header fields of every kind of
// well-formed movie, lenient reading of cut tag lists, and a plain reason for
// each input that cannot be shown.
#include <gtest/gtest.h>

#include <string>

#if QP_SWF_LZMA
#include <lzma.h>
#endif

#include "swfcontrol/SwfReader.h"
#include "unit/SwfBuilder.h"

using swftest::Bytes;
using swftest::MovieFields;

namespace {

swf::ReadResult read(const Bytes& file, const swf::Limits& limits = swf::Limits())
{
    return swf::readMovie(file.data(), file.size(), limits);
}

#if QP_SWF_LZMA
// A ZWS file as Flash authoring tools write it: raw LZMA after the five
// property bytes, no size field. Its header claims a 4 GB dictionary, which
// the reader must not take at its word.
Bytes lzmaFile(const MovieFields& fields)
{
    Bytes body = swftest::movieBody(fields);
    lzma_options_lzma options;
    lzma_lzma_preset(&options, 6);
    options.dict_size = 1 << 16;
    lzma_filter filters[2] = {{LZMA_FILTER_LZMA1, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
    Bytes packed(body.size() + body.size() / 2 + 1024);
    std::size_t packedSize = 0;
    EXPECT_EQ(lzma_raw_buffer_encode(filters, nullptr, body.data(), body.size(), packed.data(), &packedSize,
                                     packed.size()),
              LZMA_OK);
    packed.resize(packedSize);
    uint32_t length = static_cast<uint32_t>(body.size() + 8);
    Bytes out = {'Z', 'W', 'S', static_cast<unsigned char>(fields.version)};
    for (uint32_t v : {length, static_cast<uint32_t>(packedSize)}) {
        for (int i = 0; i < 4; ++i)
            out.push_back(static_cast<unsigned char>(v >> (8 * i)));
    }
    unsigned char props = static_cast<unsigned char>((options.pb * 5 + options.lp) * 9 + options.lc);
    out.insert(out.end(), {props, 0xff, 0xff, 0xff, 0xff});
    out.insert(out.end(), packed.begin(), packed.end());
    return out;
}
#endif

MovieFields fields(char signature, unsigned version, int width, int height, uint16_t rate, uint16_t frames,
               uint8_t r, uint8_t g, uint8_t b)
{
    MovieFields s;
    s.signature = signature;
    s.version = version;
    s.xMax = width * 20;
    s.yMax = height * 20;
    s.frameRate = rate;
    s.headerFrameCount = frames;
    s.showFrames = frames;
    s.red = r;
    s.green = g;
    s.blue = b;
    return s;
}

struct GoodCase {
    const char* name;
    MovieFields fields;
    int width, height;
    double fps;
    uint32_t frames;
};

TEST(SwfReader, ReadsTheHeaderOfWellFormedMovies)
{
    MovieFields offset = fields('C', 43, 0, 0, 30 << 8, 3, 1, 2, 3);
    offset.xMin = 200, offset.xMax = 2200, offset.yMin = -400, offset.yMax = 600;
    MovieFields counted = fields('F', 8, 320, 240, 15 << 8, 0, 9, 9, 9);
    counted.showFrames = 5;
    const GoodCase cases[] = {
        {"FWS 10, 550x400, 24 fps", fields('F', 10, 550, 400, 24 << 8, 1, 0x33, 0x66, 0xcc), 550, 400, 24.0, 1},
        {"CWS 6, 800x600, 30 fps", fields('C', 6, 800, 600, 30 << 8, 10, 0xff, 0, 0), 800, 600, 30.0, 10},
        {"FWS 1, 1x1, 12.5 fps", fields('F', 1, 1, 1, 0x0c80, 2, 0, 0xff, 0), 1, 1, 12.5, 2},
        {"CWS 43, offset stage", offset, 100, 50, 30.0, 3},
        {"FWS 9, largest stage", fields('F', 9, swf::maxStagePixels, 2, 60 << 8, 1, 1, 1, 1), swf::maxStagePixels, 2, 60.0, 1},
        {"frames counted from ShowFrame", counted, 320, 240, 15.0, 5},
        {"rate 0", fields('F', 5, 100, 100, 0, 4, 7, 7, 7), 100, 100, 0.0, 4},
    };
    for (const GoodCase& c : cases) {
        SCOPED_TRACE(c.name);
        swf::ReadResult result = read(swftest::movieFile(c.fields));
        ASSERT_TRUE(result.ok) << result.reason;
        const swf::Movie& m = result.movie;
        EXPECT_EQ(m.compression, c.fields.signature == 'C' ? swf::Compression::Zlib : swf::Compression::None);
        EXPECT_EQ(m.version, c.fields.version);
        EXPECT_EQ(m.declaredLength, swftest::movieBody(c.fields).size() + 8);
        EXPECT_EQ(m.widthPixels(), c.width);
        EXPECT_EQ(m.heightPixels(), c.height);
        EXPECT_DOUBLE_EQ(m.framesPerSecond(), c.fps);
        EXPECT_EQ(m.frameCount(), c.frames);
        EXPECT_EQ(m.showFrameTags, c.fields.showFrames);
        EXPECT_TRUE(m.hasBackground);
        EXPECT_EQ(m.red, c.fields.red);
        EXPECT_EQ(m.green, c.fields.green);
        EXPECT_EQ(m.blue, c.fields.blue);
        EXPECT_TRUE(m.endTag);
        EXPECT_FALSE(m.truncated);
    }
}

#if QP_SWF_LZMA
TEST(SwfReader, ReadsLzmaMovies)
{
    MovieFields s = fields('Z', 13, 640, 480, 25 << 8, 3, 0x10, 0x20, 0x30);
    s.commands = {{1, "quit", ""}};
    Bytes file = lzmaFile(s);
    swf::ReadResult result = read(file);
    ASSERT_TRUE(result.ok) << result.reason;
    EXPECT_EQ(result.movie.compression, swf::Compression::Lzma);
    EXPECT_EQ(result.movie.widthPixels(), 640);
    EXPECT_EQ(result.movie.frameCount(), 3u);
    EXPECT_EQ(result.movie.blue, 0x30);
    EXPECT_EQ(result.movie.fsCommands.size(), 1u);
    EXPECT_TRUE(result.movie.endTag);
    EXPECT_FALSE(result.movie.truncated);

    // Cut inside the stream: what arrived still plays.
    file.resize(file.size() - 6);
    swf::ReadResult cut = read(file);
    ASSERT_TRUE(cut.ok) << cut.reason;
    EXPECT_TRUE(cut.movie.truncated);
    EXPECT_EQ(cut.movie.widthPixels(), 640);
}
#endif

TEST(SwfReader, DefaultsToWhiteAndOneFrame)
{
    MovieFields s = fields('F', 10, 20, 20, 24 << 8, 0, 0, 0, 0);
    s.background = false;
    s.showFrames = 0;
    swf::ReadResult result = read(swftest::movieFile(s));
    ASSERT_TRUE(result.ok) << result.reason;
    EXPECT_FALSE(result.movie.hasBackground);
    EXPECT_EQ(result.movie.red, 0xff);
    EXPECT_EQ(result.movie.green, 0xff);
    EXPECT_EQ(result.movie.blue, 0xff);
    EXPECT_EQ(result.movie.frameCount(), 1u);
}

TEST(SwfReader, ReadsLongTagHeadersAndSkipsUnknownTags)
{
    MovieFields s = fields('F', 10, 100, 100, 24 << 8, 2, 0, 0, 0);
    s.background = false;
    s.showFrames = 0;
    s.endTag = false;
    Bytes body = swftest::movieBody(s);
    for (const Bytes& t : {swftest::tag(777, Bytes(300, 0xab)), swftest::tag(9, {1, 2, 3}, true),
                           swftest::tag(1, {}), swftest::tag(9, {4, 5, 6}), swftest::tag(1, {}, true),
                           swftest::tag(0, {})})
        body.insert(body.end(), t.begin(), t.end());
    Bytes file = swftest::plainFile(body, 10, static_cast<uint32_t>(body.size() + 8));

    swf::ReadResult result = read(file);
    ASSERT_TRUE(result.ok) << result.reason;
    EXPECT_EQ(result.movie.tagCount, 6u);
    EXPECT_EQ(result.movie.showFrameTags, 2u);
    EXPECT_EQ(result.movie.red, 1); // the first background colour holds
    EXPECT_TRUE(result.movie.endTag);
}

TEST(SwfReader, FindsFsCommandsWithTheirFrames)
{
    MovieFields s = fields('C', 8, 100, 100, 24 << 8, 3, 0, 0, 0);
    s.commands = {{0, "quit", ""}, {2, "fullscreen", "true"}};
    swf::ReadResult result = read(swftest::movieFile(s));
    ASSERT_TRUE(result.ok) << result.reason;
    ASSERT_EQ(result.movie.fsCommands.size(), 2u);
    EXPECT_EQ(result.movie.fsCommands[0].frame, 0u);
    EXPECT_EQ(result.movie.fsCommands[0].command, "quit");
    EXPECT_EQ(result.movie.fsCommands[0].args, "");
    EXPECT_EQ(result.movie.fsCommands[1].frame, 2u);
    EXPECT_EQ(result.movie.fsCommands[1].command, "fullscreen");
    EXPECT_EQ(result.movie.fsCommands[1].args, "true");

    swf::Limits few;
    few.maxFsCommands = 1;
    EXPECT_EQ(read(swftest::movieFile(s), few).movie.fsCommands.size(), 1u);
}

// A movie cut inside its tag list still plays what arrived, as a streaming
// player would; only a cut header is refused.
TEST(SwfReader, PlaysWhatArrivedOfACutTagList)
{
    MovieFields s = fields('F', 10, 200, 100, 24 << 8, 4, 1, 2, 3);
    Bytes whole = swftest::movieFile(s);
    struct Cut {
        const char* name;
        Bytes file;
        uint32_t frames;
    };
    Bytes noEnd = whole;
    noEnd.resize(whole.size() - 2);
    Bytes inTagHeader = whole;
    inTagHeader.resize(whole.size() - 1);
    Bytes compressed = swftest::movieFile([&] { MovieFields c = s; c.signature = 'C'; return c; }());
    Bytes cutCompressed(compressed.begin(), compressed.end() - 10); // loses the checksum and the last tags
    MovieFields longTag = s;
    longTag.endTag = false;
    Bytes longTagBody = swftest::movieBody(longTag);
    longTagBody.push_back(0x3f); // a long tag header whose length is missing
    longTagBody.push_back(0x00);
    Bytes overlong = swftest::plainFile(longTagBody, 10, static_cast<uint32_t>(longTagBody.size() + 8));
    const Cut cuts[] = {
        {"no End tag", noEnd, 4},
        {"cut in the End tag's header", inTagHeader, 4},
        {"cut zlib stream", cutCompressed, 4},
        {"long header without its length", overlong, 4},
    };
    for (const Cut& c : cuts) {
        SCOPED_TRACE(c.name);
        swf::ReadResult result = read(c.file);
        ASSERT_TRUE(result.ok) << result.reason;
        EXPECT_TRUE(result.movie.truncated);
        EXPECT_FALSE(result.movie.endTag);
        EXPECT_LE(result.movie.showFrameTags, c.frames);
        EXPECT_EQ(result.movie.widthPixels(), 200);
    }
}

TEST(SwfReader, IgnoresWhatLiesBeyondTheDeclaredLength)
{
    MovieFields s = fields('F', 10, 200, 100, 24 << 8, 2, 1, 2, 3);
    Bytes file = swftest::movieFile(s);
    Bytes extra = swftest::tag(1, {});
    for (int i = 0; i < 10; ++i)
        file.insert(file.end(), extra.begin(), extra.end());
    swf::ReadResult result = read(file);
    ASSERT_TRUE(result.ok) << result.reason;
    EXPECT_EQ(result.movie.showFrameTags, 2u);
    EXPECT_TRUE(result.movie.endTag);
}

struct BadCase {
    const char* name;
    Bytes file;
    const char* reasonStart;
};

// Keeps embedded NULs: the length comes from the array.
template <std::size_t N>
Bytes text(const char (&s)[N])
{
    return Bytes(s, s + N - 1);
}

TEST(SwfReader, GivesAPlainReasonForEveryInputItCannotShow)
{
    MovieFields tooShort = fields('F', 10, 100, 100, 24 << 8, 1, 0, 0, 0);
    tooShort.overrideLength = true;
    tooShort.declaredLength = 12;
    MovieFields huge = tooShort;
    huge.declaredLength = 200u * 1024 * 1024;
    MovieFields hugeCompressed = huge;
    hugeCompressed.signature = 'C';
    Bytes cutHeader = swftest::movieFile(fields('F', 10, 100, 100, 24 << 8, 1, 0, 0, 0));
    cutHeader.resize(12);
    Bytes cutCompressedHeader = swftest::movieFile(fields('C', 10, 100, 100, 24 << 8, 1, 0, 0, 0));
    cutCompressedHeader.resize(10);
    Bytes damaged = text("CWS\x0a\x40\x00\x00\x00");
    for (int i = 0; i < 40; ++i)
        damaged.push_back(static_cast<unsigned char>(0x5a + i * 7));
    MovieFields wide = fields('F', 10, swf::maxStagePixels + 1, 100, 24 << 8, 1, 0, 0, 0);
    MovieFields flat = fields('F', 10, 100, 0, 24 << 8, 1, 0, 0, 0);
    MovieFields inverted = fields('C', 10, 100, 100, 24 << 8, 1, 0, 0, 0);
    inverted.xMin = 4000;
    inverted.xMax = -4000;
    MovieFields lzma = fields('Z', 13, 100, 100, 24 << 8, 1, 0, 0, 0);
    Bytes lzmaDamaged = text("ZWS\x0d\x40\x00\x00\x00\x20\x00\x00\x00\x5d\x00\x00\x01\x00");
    Bytes lzmaOddSettings = lzmaDamaged;
    lzmaOddSettings[12] = 225; // lc/lp/pb beyond their ranges
    for (int i = 0; i < 32; ++i)
        lzmaDamaged.push_back(0xff); // a range coder's stream starts with a zero byte
    Bytes bigRect = text("FWS\x0a\x40\x00\x00\x00");
    bigRect.push_back(0xf8); // 31-bit fields, but only two bytes follow
    bigRect.push_back(0x00);

    const BadCase cases[] = {
        {"empty", {}, "Not a SWF movie: the file is empty."},
        {"HTML error page", text("<!DOCTYPE html><html><body>404 Not Found</body></html>"),
         "Not a SWF movie: this is a web page"},
        {"markup after a BOM and blank lines", text("\xef\xbb\xbf\r\n  <html>"), "Not a SWF movie: this is a web page"},
        {"a picture", text("GIF89a\x01\x00\x01\x00"), "Not a SWF movie: it does not begin with FWS, CWS or ZWS."},
        {"lower-case signature", text("fws\x0a\x20\x00\x00\x00"), "Not a SWF movie: it does not begin"},
        {"two bytes", text("FW"), "Not a SWF movie: the file ends inside its header."},
        {"seven bytes", text("FWS\x0a\x20\x00\x00"), "Not a SWF movie: the file ends inside its header."},
        {"header cut in the stage", cutHeader, "Not a SWF movie: the file ends inside its header."},
        {"compressed header cut", cutCompressedHeader, "Not a SWF movie: the file ends inside its header."},
        {"31-bit stage fields cut", bigRect, "Not a SWF movie: the file ends inside its header."},
        {"declared length too short", swftest::movieFile(tooShort), "Not a SWF movie: its header declares a length of only 12 bytes."},
        {"declared length absurd", swftest::movieFile(huge), "Movie too large: it declares 209715200 bytes"},
        {"compressed, declared length absurd", swftest::movieFile(hugeCompressed), "Movie too large:"},
        {"damaged zlib data", damaged, "Not a SWF movie: its compressed data is damaged."},
        {"stage too wide", swftest::movieFile(wide), "Not a SWF movie: its stage of 16385 x 100 pixels is impossible."},
        {"stage without height", swftest::movieFile(flat), "Not a SWF movie: its stage of 100 x 0 pixels"},
        {"stage inverted", swftest::movieFile(inverted), "Not a SWF movie: its stage of -400 x 100 pixels"},
#if QP_SWF_LZMA
        {"LZMA header cut", text("ZWS\x0d\x40\x00\x00\x00\x20\x00"), "Not a SWF movie: the file ends inside its header."},
        {"LZMA settings impossible", lzmaOddSettings, "Not a SWF movie: its LZMA settings are impossible."},
        {"damaged LZMA data", lzmaDamaged, "Not a SWF movie: its compressed data is damaged."},
        {"ZWS with a plain body", swftest::movieFile(lzma), "Not a SWF movie: "},
#else
        {"LZMA", swftest::movieFile(lzma), "Not supported: this movie is LZMA-compressed (ZWS)"},
#endif
    };
    for (const BadCase& c : cases) {
        SCOPED_TRACE(c.name);
        swf::ReadResult result = read(c.file);
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.reason.rfind(c.reasonStart, 0), 0u) << result.reason;
    }
}

// A small file that inflates to far more than it declares must not make the
// reader produce more than the declared length, nor more than its limit.
TEST(SwfReader, InflatesNoMoreThanDeclared)
{
    MovieFields s = fields('F', 10, 100, 100, 24 << 8, 1, 0, 0, 0);
    s.endTag = false;
    Bytes body = swftest::movieBody(s);
    Bytes unknownTag = swftest::tag(777, Bytes(60, 0));
    while (body.size() < 4u * 1024 * 1024)
        body.insert(body.end(), unknownTag.begin(), unknownTag.end());

    swf::ReadResult declaredSmall = read(swftest::compressedFile(body, 10, 4096));
    ASSERT_TRUE(declaredSmall.ok) << declaredSmall.reason;
    EXPECT_LE(declaredSmall.movie.tagCount, 2 + 4096u / 62); // background and first frame, then the filler

    swf::Limits limits;
    limits.maxMovieBytes = 1024 * 1024;
    swf::ReadResult declaredLarge = read(swftest::compressedFile(body, 10, static_cast<uint32_t>(body.size() + 8)), limits);
    EXPECT_FALSE(declaredLarge.ok);
    EXPECT_EQ(declaredLarge.reason.rfind("Movie too large:", 0), 0u) << declaredLarge.reason;

    swf::ReadResult atLimit = read(swftest::compressedFile(body, 10, 1024 * 1024), limits);
    ASSERT_TRUE(atLimit.ok) << atLimit.reason;
    EXPECT_LE(atLimit.movie.tagCount, 2 + 1024u * 1024 / 62);
    EXPECT_TRUE(atLimit.movie.truncated);
}

} // namespace
