// Bitmap tags as movies carry them: JPEG pieces in every arrangement old and
// new encoders write, the alpha plane, PNG, the lossless formats, and inputs
// that must be refused without harm.
#include <gtest/gtest.h>

#include <jpeglib.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "swfcontrol/engine/format/BitmapDecode.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes operator+(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes u16(unsigned v) { return {uint8_t(v), uint8_t(v >> 8)}; }
Bytes u32(uint32_t v) { return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}; }

Bytes deflate(const Bytes& data)
{
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    Bytes out(size);
    compress2(out.data(), &size, data.data(), static_cast<uLong>(data.size()), 9);
    out.resize(size);
    return out;
}

// A 16x16 JPEG: left half red, right half blue. `tablesOnly` / `abbreviated`
// split it the way DefineBits and JPEGTables carry it.
enum class JpegPart { Whole, TablesOnly, Abbreviated };

Bytes encodeJpeg(JpegPart part)
{
    jpeg_compress_struct cinfo;
    jpeg_error_mgr error;
    cinfo.err = jpeg_std_error(&error);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = 16;
    cinfo.image_height = 16;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 95, TRUE);
    if (part == JpegPart::TablesOnly) {
        jpeg_write_tables(&cinfo);
    } else {
        if (part == JpegPart::Abbreviated)
            jpeg_suppress_tables(&cinfo, TRUE);
        jpeg_start_compress(&cinfo, part == JpegPart::Whole);
        unsigned char row[16 * 3];
        for (int x = 0; x < 16; ++x) {
            row[3 * x] = x < 8 ? 220 : 0;
            row[3 * x + 1] = 0;
            row[3 * x + 2] = x < 8 ? 0 : 220;
        }
        while (cinfo.next_scanline < 16) {
            JSAMPROW r = row;
            jpeg_write_scanlines(&cinfo, &r, 1);
        }
        jpeg_finish_compress(&cinfo);
    }
    jpeg_destroy_compress(&cinfo);
    Bytes out(buffer, buffer + size);
    std::free(buffer);
    return out;
}

uint32_t channel(uint32_t p, int shift) { return (p >> shift) & 0xff; }

// Red on the left, blue on the right, with the given alpha, premultiplied.
// Red left, blue right at `strong` (220 * alpha / 255 unless given).
void expectRedBlue(const swf::Bitmap& b, unsigned alpha, int strong = -1)
{
    ASSERT_EQ(b.width, 16);
    ASSERT_EQ(b.height, 16);
    ASSERT_EQ(b.pixels.size(), 256u);
    for (int x : {1, 14}) {
        uint32_t p = b.pixels[std::size_t(8 * 16 + x)];
        if (strong < 0)
            strong = static_cast<int>(220 * alpha / 255);
        EXPECT_EQ(channel(p, 24), alpha);
        EXPECT_NEAR(double(channel(p, 16)), x < 8 ? strong : 0, 8) << std::hex << p;
        EXPECT_NEAR(double(channel(p, 8)), 0, 8) << std::hex << p;
        EXPECT_NEAR(double(channel(p, 0)), x < 8 ? 0 : strong, 8) << std::hex << p;
    }
}

// Minimal PNG writer: one IDAT, filter 0 on every row.
Bytes pngChunk(const char* type, const Bytes& data)
{
    Bytes out = {uint8_t(data.size() >> 24), uint8_t(data.size() >> 16), uint8_t(data.size() >> 8), uint8_t(data.size())};
    Bytes body(type, type + 4);
    body = body + data;
    uLong crc = crc32(0, body.data(), static_cast<uInt>(body.size()));
    return out + body + Bytes{uint8_t(crc >> 24), uint8_t(crc >> 16), uint8_t(crc >> 8), uint8_t(crc)};
}

Bytes png(unsigned width, unsigned height, uint8_t colourType, const Bytes& rows, const Bytes& extra = {})
{
    Bytes ihdr = {0, 0, uint8_t(width >> 8), uint8_t(width), 0, 0, uint8_t(height >> 8), uint8_t(height),
                  8, colourType, 0, 0, 0};
    Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    return out + pngChunk("IHDR", ihdr) + extra + pngChunk("IDAT", deflate(rows)) + pngChunk("IEND", {});
}

struct Decoded {
    bool ok;
    swf::Bitmap bitmap;
    std::string reason;
};

Decoded decode(swf::BitmapTag tag, const Bytes& body, const Bytes& tables = {},
               const swf::BitmapLimits& limits = swf::BitmapLimits())
{
    Decoded d;
    d.ok = swf::decodeBitmap(tag, body.data(), body.size(), tables.empty() ? nullptr : tables.data(), tables.size(),
                             d.bitmap, d.reason, limits);
    return d;
}

TEST(BitmapDecode, JpegInEveryArrangementMoviesUse)
{
    const Bytes whole = encodeJpeg(JpegPart::Whole);
    const Bytes tables = encodeJpeg(JpegPart::TablesOnly);
    const Bytes image = encodeJpeg(JpegPart::Abbreviated);
    const Bytes eoiSoi = {0xff, 0xd9, 0xff, 0xd8};
    const Bytes tablesBare(tables.begin() + 2, tables.end() - 2); // without SOI/EOI
    struct Case {
        const char* name;
        swf::BitmapTag tag;
        Bytes body, tables;
    };
    const Case cases[] = {
        {"JPEG2, one stream", swf::BitmapTag::DefineBitsJpeg2, whole, {}},
        {"JPEG2, EOI SOI in front", swf::BitmapTag::DefineBitsJpeg2, eoiSoi + whole, {}},
        {"JPEG2, tables stream then image stream", swf::BitmapTag::DefineBitsJpeg2, tables + image, {}},
        {"JPEG2, tables EOI SOI image", swf::BitmapTag::DefineBitsJpeg2,
         Bytes(tables.begin(), tables.end() - 2) + eoiSoi + Bytes(image.begin() + 2, image.end()), {}},
        {"DefineBits with JPEGTables", swf::BitmapTag::DefineBits, image, tables},
        {"DefineBits, tables without SOI/EOI", swf::BitmapTag::DefineBits, image, tablesBare},
        {"DefineBits, EOI SOI in front of the image", swf::BitmapTag::DefineBits, eoiSoi + image, tables},
        {"DefineBits, a whole stream and no tables", swf::BitmapTag::DefineBits, whole, {}},
        {"JPEG3, no alpha data", swf::BitmapTag::DefineBitsJpeg3, u32(uint32_t(whole.size())) + whole, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Decoded d = decode(c.tag, c.body, c.tables);
        ASSERT_TRUE(d.ok) << d.reason;
        expectRedBlue(d.bitmap, 255);
    }
}

TEST(BitmapDecode, AlphaComesPremultiplied)
{
    // A JPEG with an alpha plane holds its colours premultiplied already:
    // the plane only adds alpha, and colours above it are clamped to it.
    const Bytes whole = encodeJpeg(JpegPart::Whole);
    for (unsigned a : {240u, 128u}) {
        const Bytes alpha = deflate(Bytes(256, static_cast<uint8_t>(a)));
        Decoded jpeg3 = decode(swf::BitmapTag::DefineBitsJpeg3, u32(uint32_t(whole.size())) + whole + alpha);
        ASSERT_TRUE(jpeg3.ok) << jpeg3.reason;
        expectRedBlue(jpeg3.bitmap, a, a < 220 ? a : 220);
        Decoded jpeg4 =
            decode(swf::BitmapTag::DefineBitsJpeg4, u32(uint32_t(whole.size())) + u16(256) + whole + alpha);
        ASSERT_TRUE(jpeg4.ok) << jpeg4.reason;
        expectRedBlue(jpeg4.bitmap, a, a < 220 ? a : 220);
    }

    // PNG in JPEG3 keeps its own alpha: 2x1 RGBA, straight alpha in the file.
    Bytes rows = {0, 255, 0, 0, 255, 200, 100, 50, 128};
    Decoded fromPng = decode(swf::BitmapTag::DefineBitsJpeg3, u32(uint32_t(png(2, 1, 6, rows).size())) + png(2, 1, 6, rows));
    ASSERT_TRUE(fromPng.ok) << fromPng.reason;
    ASSERT_EQ(fromPng.bitmap.pixels.size(), 2u);
    EXPECT_EQ(fromPng.bitmap.pixels[0], 0xffff0000u);
    EXPECT_EQ(fromPng.bitmap.pixels[1], 0x80643219u);

    // GIF89a: a 2x2 image at x = 1 on a 3x2 screen, colour 3 transparent.
    // LZW with 2-bit colours: clear, 0, 1, 2 in 3 bits, then 3 and stop in 4.
    Bytes gif = {'G', 'I', 'F', '8', '9', 'a', 3, 0, 2, 0, 0x81, 0, 0,
                 255, 0, 0, 0, 255, 0, 0, 0, 255, 9, 9, 9,     // global colours
                 0x21, 0xf9, 4, 1, 0, 0, 3, 0,                 // transparent index 3
                 0x2c, 1, 0, 0, 0, 2, 0, 2, 0, 0, 2, 3, 0x44, 0x34, 0x05, 0, 0x3b};
    Decoded fromGif = decode(swf::BitmapTag::DefineBitsJpeg2, gif);
    ASSERT_TRUE(fromGif.ok) << fromGif.reason;
    EXPECT_EQ(fromGif.bitmap.pixels, (std::vector<uint32_t>{0, 0xffff0000, 0xff00ff00, 0, 0xff0000ff, 0}));

    // Palette PNG with a transparent entry, in JPEG2.
    Bytes palette = pngChunk("PLTE", {0, 0, 255, 10, 20, 30}) + pngChunk("tRNS", {0});
    Decoded paletted = decode(swf::BitmapTag::DefineBitsJpeg2, png(2, 1, 3, {0, 0, 1}, palette));
    ASSERT_TRUE(paletted.ok) << paletted.reason;
    EXPECT_EQ(paletted.bitmap.pixels[0], 0u);
    EXPECT_EQ(paletted.bitmap.pixels[1], 0xff0a141eu);
}

TEST(BitmapDecode, LosslessFormats)
{
    struct Case {
        const char* name;
        swf::BitmapTag tag;
        uint8_t format;
        int width, height;
        Bytes header; // after width/height: the colour table size, if any
        Bytes data;   // before compression
        std::vector<uint32_t> pixels;
    };
    const Case cases[] = {
        {"colour-mapped, rows padded to 4 bytes", swf::BitmapTag::DefineBitsLossless, 3, 3, 2, {1},
         {255, 0, 0, 0, 0, 255, /*rows*/ 0, 1, 0, 9, 1, 1, 2, 9}, {0xffff0000, 0xff0000ff, 0xffff0000, 0xff0000ff, 0xff0000ff, 0}},
        {"colour-mapped RGBA, premultiplied and clamped", swf::BitmapTag::DefineBitsLossless2, 3, 2, 1, {1},
         {0x40, 0x40, 0x20, 0x80, 0xff, 0x10, 0x10, 0x20, /*row*/ 0, 1, 0, 0}, {0x80404020, 0x20201010}},
        {"15-bit", swf::BitmapTag::DefineBitsLossless, 4, 1, 2, {},
         {0x7c, 0x00, 0, 0, 0x03, 0xff, 0, 0}, {0xffff0000, 0xff00ffff}},
        {"24-bit", swf::BitmapTag::DefineBitsLossless, 5, 2, 1, {}, {0, 1, 2, 3, 77, 4, 5, 6}, {0xff010203, 0xff040506}},
        {"32-bit premultiplied, clamped", swf::BitmapTag::DefineBitsLossless2, 5, 2, 1, {},
         {0x80, 0x40, 0x20, 0x10, 0x10, 0xff, 0x20, 0x08}, {0x80402010, 0x10101008}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes body = Bytes{c.format} + u16(unsigned(c.width)) + u16(unsigned(c.height)) + c.header + deflate(c.data);
        Decoded d = decode(c.tag, body);
        ASSERT_TRUE(d.ok) << d.reason;
        EXPECT_EQ(d.bitmap.width, c.width);
        EXPECT_EQ(d.bitmap.height, c.height);
        EXPECT_EQ(d.bitmap.pixels, c.pixels);
    }
}

TEST(BitmapDecode, RefusesBadInputPlainly)
{
    const Bytes whole = encodeJpeg(JpegPart::Whole);
    Bytes cutJpeg(whole.begin(), whole.end() - 40); // inside the scan
    Bytes garbage(200, 0x5a);
    garbage[0] = 0xff, garbage[1] = 0xd8;
    Bytes bigJpeg = whole;
    for (std::size_t i = 0; i + 8 < bigJpeg.size(); ++i) {
        if (bigJpeg[i] == 0xff && bigJpeg[i + 1] == 0xc0) { // SOF0: height, width at +5, +7
            bigJpeg[i + 5] = 0x4e, bigJpeg[i + 6] = 0x20, bigJpeg[i + 7] = 0x4e, bigJpeg[i + 8] = 0x20;
            break;
        }
    }
    Bytes rows = {0, 1, 2, 3, 4};
    Bytes badPng = png(1, 1, 6, rows);
    badPng[20] ^= 0x55; // IHDR's checksum no longer matches
    Bytes hugePng = png(60000, 60000, 6, rows);
    Bytes hugeLossless = Bytes{5} + u16(8000) + u16(8000) + deflate(Bytes(64, 0));
    struct Case {
        const char* name;
        swf::BitmapTag tag;
        Bytes body;
        const char* reasonStart;
    };
    const Case cases[] = {
        {"empty DefineBits", swf::BitmapTag::DefineBits, {}, "The JPEG image has no picture data."},
        {"JPEG without a frame", swf::BitmapTag::DefineBitsJpeg2, garbage, "The JPEG image"},
        {"JPEG 20000 x 20000", swf::BitmapTag::DefineBitsJpeg2, bigJpeg, "The bitmap is too large: 20000 x 20000"},
        {"JPEG3 image length past the tag", swf::BitmapTag::DefineBitsJpeg3, u32(1000) + whole, "The bitmap's image data is cut short."},
        {"JPEG4 cut in its header", swf::BitmapTag::DefineBitsJpeg4, u32(0) + Bytes{0}, "The bitmap ends inside its header."},
        {"PNG with a broken header", swf::BitmapTag::DefineBitsJpeg2, badPng, "The PNG image is damaged"},
        {"PNG 60000 x 60000", swf::BitmapTag::DefineBitsJpeg2, hugePng, "The bitmap is too large: 60000 x 60000"},
        {"GIF cut in its header", swf::BitmapTag::DefineBitsJpeg2, {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0}, "The GIF image is damaged."},
        {"GIF image far larger than its screen", swf::BitmapTag::DefineBitsJpeg2,
         {'G', 'I', 'F', '8', '7', 'a', 3, 0, 2, 0, 0, 0, 0, 0x2c, 0, 0, 0, 0, 0x60, 0xea, 0x60, 0xea, 0, 2, 0},
         "The bitmap is too large: 60000 x 60000"},
        {"lossless format 7", swf::BitmapTag::DefineBitsLossless, Bytes{7} + u16(1) + u16(1), "The lossless bitmap has the unknown format 7."},
        {"lossless cut header", swf::BitmapTag::DefineBitsLossless2, {3, 1, 0, 1}, "The lossless bitmap ends inside its header."},
        {"lossless 0 x 5", swf::BitmapTag::DefineBitsLossless, Bytes{5} + u16(0) + u16(5), "The bitmap has no pixels."},
        {"lossless over the pixel limit", swf::BitmapTag::DefineBitsLossless2, hugeLossless, "The bitmap is too large: 8000 x 8000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Decoded d = decode(c.tag, c.body);
        EXPECT_FALSE(d.ok);
        EXPECT_EQ(d.reason.rfind(c.reasonStart, 0), 0u) << d.reason;
        EXPECT_TRUE(d.bitmap.pixels.empty());
    }
    // A JPEG cut short still shows what arrived, as Flash Player does.
    Decoded cut = decode(swf::BitmapTag::DefineBitsJpeg2, cutJpeg);
    EXPECT_TRUE(cut.ok) << cut.reason;
    EXPECT_EQ(cut.bitmap.pixels.size(), 256u);
}

} // namespace
