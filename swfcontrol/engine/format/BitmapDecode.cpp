#include "swfcontrol/engine/format/BitmapDecode.h"

#include "swfcontrol/engine/format/Decompress.h"


#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>

// libjpeg and libpng are C libraries whose errors arrive by longjmp. Every
// function below that calls setjmp is written as plain C: no object with a
// destructor lives in its frame, and what must survive the jump is kept
// outside the frame (the job structs), so the jump skips no C++ clean-up.
#include <jpeglib.h>
#include <png.h>

namespace swf {

namespace {

uint16_t readU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

uint32_t readU32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

uint32_t premultiplied(unsigned a, unsigned r, unsigned g, unsigned b)
{
    if (a != 255) {
        r = (r * a + 127) / 255;
        g = (g * a + 127) / 255;
        b = (b * a + 127) / 255;
    }
    return (static_cast<uint32_t>(a) << 24) | (r << 16) | (g << 8) | b;
}

// For data that claims to be premultiplied already: a colour above its alpha
// would overflow every later blend, so it is clamped.
uint32_t clampedPremultiplied(unsigned a, unsigned r, unsigned g, unsigned b)
{
    return (static_cast<uint32_t>(a) << 24) | (std::min(r, a) << 16) | (std::min(g, a) << 8) | std::min(b, a);
}

// Checks the size against the limits and takes the pixel memory; never throws.
bool allocatePixels(Bitmap& out, long width, long height, const BitmapLimits& limits, std::string& reason)
{
    if (width <= 0 || height <= 0) {
        reason = "The bitmap has no pixels.";
        return false;
    }
    if (width > limits.maxSide || height > limits.maxSide ||
        static_cast<std::size_t>(width) * static_cast<std::size_t>(height) > limits.maxPixels) {
        reason = "The bitmap is too large: " + std::to_string(width) + " x " + std::to_string(height) + " pixels.";
        return false;
    }
    try {
        out.pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
    } catch (const std::bad_alloc&) {
        reason = "There is not enough memory for the bitmap.";
        return false;
    }
    out.width = static_cast<int>(width);
    out.height = static_cast<int>(height);
    return true;
}

// --- JPEG ------------------------------------------------------------------

// Rewrites the movie's JPEG pieces as one stream a decoder accepts: SOI, the
// table segments of JPEGTables, then the image's segments from its first SOS
// to the end. Every SOI and EOI before that SOS is dropped, which covers
// tables and image given as two whole streams, and the FFD9 FFD8 pair that
// old encoders put in front of the image data.
void appendSegments(const uint8_t* p, std::size_t size, bool takeScan, std::vector<uint8_t>& out)
{
    std::size_t i = 0;
    while (i < size) {
        if (p[i] != 0xff) {
            ++i; // not a marker: garbage between segments is skipped
            continue;
        }
        if (i + 1 >= size)
            return;
        uint8_t marker = p[i + 1];
        if (marker == 0xff) {
            ++i; // fill byte
            continue;
        }
        if (marker == 0xd8 || marker == 0xd9 || marker == 0x01 || marker == 0x00 || (marker >= 0xd0 && marker <= 0xd7)) {
            i += 2;
            continue;
        }
        if (marker == 0xda) {
            if (takeScan)
                out.insert(out.end(), p + i, p + size);
            return;
        }
        if (i + 4 > size)
            return;
        std::size_t length = static_cast<std::size_t>((p[i + 2] << 8) | p[i + 3]);
        if (length < 2 || i + 2 + length > size)
            return;
        out.insert(out.end(), p + i, p + i + 2 + length);
        i += 2 + length;
    }
}

struct JpegError {
    jpeg_error_mgr manager; // first, so libjpeg's pointer is this struct's
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

// Real progressive images have about ten scans; a crafted one with thousands
// would cost a pass over the whole image each.
constexpr int maxJpegScans = 200;

struct JpegProgress {
    jpeg_progress_mgr manager;
    j_decompress_ptr decoder;
};

struct JpegJob {
    const uint8_t* data;
    unsigned long size;
    const BitmapLimits* limits;
    Bitmap* out;
    std::string* reason;
    bool bigEndian;
};

extern "C" void onJpegError(j_common_ptr cinfo)
{
    JpegError* error = reinterpret_cast<JpegError*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, error->message);
    std::longjmp(error->jump, 1);
}

// Warnings (a premature end, a bad Huffman code) leave a usable picture.
extern "C" void onJpegMessage(j_common_ptr) {}

extern "C" void onJpegProgress(j_common_ptr cinfo)
{
    JpegProgress* progress = reinterpret_cast<JpegProgress*>(cinfo->progress);
    if (progress->decoder->input_scan_number > maxJpegScans) {
        JpegError* error = reinterpret_cast<JpegError*>(cinfo->err);
        std::snprintf(error->message, sizeof error->message, "too many scans");
        std::longjmp(error->jump, 1);
    }
}

// Adobe's CMYK JPEGs store the inks inverted.
void cmykRowToPixels(const uint8_t* row, uint32_t* pixels, JDIMENSION width, bool inverted)
{
    for (JDIMENSION x = 0; x < width; ++x) {
        unsigned c = row[4 * x], m = row[4 * x + 1], y = row[4 * x + 2], k = row[4 * x + 3];
        if (!inverted) {
            c = 255 - c, m = 255 - m, y = 255 - y, k = 255 - k;
        }
        pixels[x] = premultiplied(255, (c * k + 127) / 255, (m * k + 127) / 255, (y * k + 127) / 255);
    }
}

// The setjmp frame: plain C data only (see the note at the top).
bool runJpeg(JpegJob* job, jpeg_decompress_struct* cinfo, JpegError* error, JpegProgress* progress)
{
    cinfo->err = jpeg_std_error(&error->manager);
    error->manager.error_exit = onJpegError;
    error->manager.output_message = onJpegMessage;
    error->message[0] = 0;
    if (setjmp(error->jump)) {
        jpeg_destroy_decompress(cinfo);
        *job->reason = std::string("The JPEG image is damaged (") + error->message + ").";
        job->out->pixels.clear();
        return false;
    }
    jpeg_create_decompress(cinfo);
    progress->manager.progress_monitor = onJpegProgress;
    progress->decoder = cinfo;
    cinfo->progress = &progress->manager;
    jpeg_mem_src(cinfo, job->data, job->size);
    jpeg_read_header(cinfo, TRUE);
    bool cmyk = cinfo->jpeg_color_space == JCS_CMYK || cinfo->jpeg_color_space == JCS_YCCK;
    if (cmyk)
        cinfo->out_color_space = JCS_CMYK;
    else if (cinfo->num_components == 1 || cinfo->num_components == 3)
        cinfo->out_color_space = job->bigEndian ? JCS_EXT_XRGB : JCS_EXT_BGRX; // 0xffRRGGBB words
    else {
        jpeg_destroy_decompress(cinfo);
        *job->reason = "The JPEG image has an unsupported colour layout.";
        return false;
    }
    if (!allocatePixels(*job->out, static_cast<long>(cinfo->image_width), static_cast<long>(cinfo->image_height),
                        *job->limits, *job->reason)) {
        jpeg_destroy_decompress(cinfo);
        return false;
    }
    jpeg_start_decompress(cinfo);
    JSAMPARRAY cmykRow = cmyk ? (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE,
                                                           cinfo->output_width * 4, 1)
                              : nullptr;
    while (cinfo->output_scanline < cinfo->output_height) {
        uint32_t* pixels = job->out->pixels.data() + static_cast<std::size_t>(cinfo->output_scanline) * cinfo->output_width;
        if (cmyk) {
            jpeg_read_scanlines(cinfo, cmykRow, 1);
            cmykRowToPixels(cmykRow[0], pixels, cinfo->output_width, cinfo->saw_Adobe_marker);
        } else {
            JSAMPROW row = reinterpret_cast<JSAMPROW>(pixels);
            jpeg_read_scanlines(cinfo, &row, 1);
        }
    }
    jpeg_finish_decompress(cinfo);
    jpeg_destroy_decompress(cinfo);
    return true;
}

bool decodeJpeg(const uint8_t* data, std::size_t size, const uint8_t* tables, std::size_t tablesSize, Bitmap& out,
                std::string& reason, const BitmapLimits& limits)
{
    std::vector<uint8_t> stream;
    stream.reserve(2 + tablesSize + size);
    stream.push_back(0xff);
    stream.push_back(0xd8);
    if (tables)
        appendSegments(tables, tablesSize, false, stream);
    appendSegments(data, size, true, stream);
    if (stream.size() <= 2 || stream.size() > ULONG_MAX) {
        reason = "The JPEG image has no picture data.";
        return false;
    }
    uint32_t one = 1;
    unsigned char firstByte = 0;
    std::memcpy(&firstByte, &one, 1);
    JpegJob job = {stream.data(), static_cast<unsigned long>(stream.size()), &limits, &out, &reason, firstByte == 0};
    jpeg_decompress_struct cinfo;
    JpegError error;
    JpegProgress progress;
    std::memset(&cinfo, 0, sizeof cinfo);
    std::memset(&progress, 0, sizeof progress);
    return runJpeg(&job, &cinfo, &error, &progress);
}

// JPEG3/4's alpha plane: one zlib-compressed byte per pixel. Where it ends
// early the rest stays opaque. The JPEG's colours are premultiplied by it
// already (edges that fade out are dark in the JPEG itself).
void applyAlphaPlane(const uint8_t* data, std::size_t size, Bitmap& bitmap)
{
    std::vector<uint8_t> alpha;
    if (size > 0)
        inflateCapped(data, size, bitmap.pixels.size(), alpha);
    alpha.resize(bitmap.pixels.size(), 0xff);
    for (std::size_t i = 0; i < alpha.size(); ++i) {
        uint32_t p = bitmap.pixels[i];
        bitmap.pixels[i] = clampedPremultiplied(alpha[i], (p >> 16) & 0xff, (p >> 8) & 0xff, p & 0xff);
    }
}

// --- PNG -------------------------------------------------------------------

struct PngJob {
    const uint8_t* data;
    std::size_t size;
    std::size_t position;
    const BitmapLimits* limits;
    Bitmap* out;
    std::string* reason;
    char message[128];
};

extern "C" void onPngError(png_structp png, png_const_charp message)
{
    PngJob* job = static_cast<PngJob*>(png_get_error_ptr(png));
    std::snprintf(job->message, sizeof job->message, "%s", message ? message : "");
    png_longjmp(png, 1);
}

extern "C" void onPngWarning(png_structp, png_const_charp) {}

extern "C" void onPngRead(png_structp png, png_bytep target, png_size_t length)
{
    PngJob* job = static_cast<PngJob*>(png_get_io_ptr(png));
    if (length > job->size - job->position)
        png_error(png, "the data ends early");
    std::memcpy(target, job->data + job->position, length);
    job->position += length;
}

// The setjmp frame: plain C data only (see the note at the top).
bool runPng(PngJob* job)
{
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, job, onPngError, onPngWarning);
    if (!png) {
        *job->reason = "There is not enough memory for the PNG image.";
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        *job->reason = "There is not enough memory for the PNG image.";
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        *job->reason = std::string("The PNG image is damaged (") + job->message + ").";
        job->out->pixels.clear();
        return false;
    }
    png_set_read_fn(png, job, onPngRead);
    png_read_info(png, info);
    png_uint_32 width = png_get_image_width(png, info);
    png_uint_32 height = png_get_image_height(png, info);
    if (!allocatePixels(*job->out, static_cast<long>(width), static_cast<long>(height), *job->limits, *job->reason)) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    // Every colour type becomes 8-bit R, G, B, A bytes.
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xff, PNG_FILLER_AFTER);
    int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    for (int pass = 0; pass < passes; ++pass) {
        for (png_uint_32 y = 0; y < height; ++y)
            png_read_row(png, reinterpret_cast<png_bytep>(job->out->pixels.data() + std::size_t(y) * width), nullptr);
    }
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

bool decodePng(const uint8_t* data, std::size_t size, Bitmap& out, std::string& reason, const BitmapLimits& limits)
{
    PngJob job = {data, size, 0, &limits, &out, &reason, {0}};
    if (!runPng(&job))
        return false;
    for (uint32_t& p : out.pixels) {
        const uint8_t* rgba = reinterpret_cast<const uint8_t*>(&p);
        p = premultiplied(rgba[3], rgba[0], rgba[1], rgba[2]);
    }
    return true;
}

// --- Lossless --------------------------------------------------------------

bool decodeLossless(const uint8_t* body, std::size_t size, bool withAlpha, Bitmap& out, std::string& reason,
                    const BitmapLimits& limits)
{
    if (size < 5) {
        reason = "The lossless bitmap ends inside its header.";
        return false;
    }
    unsigned format = body[0];
    long width = readU16(body + 1);
    long height = readU16(body + 3);
    std::size_t pos = 5;
    std::size_t tableEntries = 0;
    if (format == 3) {
        if (size < 6) {
            reason = "The lossless bitmap ends inside its header.";
            return false;
        }
        tableEntries = std::size_t(body[5]) + 1;
        pos = 6;
    } else if (format != 4 && format != 5) {
        reason = "The lossless bitmap has the unknown format " + std::to_string(format) + ".";
        return false;
    }
    if (!allocatePixels(out, width, height, limits, reason))
        return false;

    std::size_t tableBytes = tableEntries * (withAlpha ? 4 : 3);
    std::size_t rowBytes = format == 3 ? (std::size_t(width) + 3) & ~std::size_t(3)
                         : format == 4 ? (std::size_t(width) * 2 + 3) & ~std::size_t(3)
                                       : std::size_t(width) * 4;
    std::vector<uint8_t> data;
    const std::size_t dataBytes = tableBytes + rowBytes * std::size_t(height);
    try {
        inflateCapped(body + pos, size - pos, dataBytes, data);
        // A cut stream leaves the rest zero, which shows as transparent or black.
        data.resize(dataBytes, 0);
    } catch (const std::bad_alloc&) {
        out = Bitmap();
        reason = "There is not enough memory for the bitmap.";
        return false;
    }

    uint32_t table[256] = {};
    for (std::size_t i = 0; i < tableEntries; ++i) {
        const uint8_t* c = data.data() + i * (withAlpha ? 4 : 3);
        table[i] = withAlpha ? clampedPremultiplied(c[3], c[0], c[1], c[2]) : premultiplied(255, c[0], c[1], c[2]);
    }
    const uint8_t* rows = data.data() + tableBytes;
    for (long y = 0; y < height; ++y) {
        const uint8_t* row = rows + rowBytes * std::size_t(y);
        uint32_t* pixels = out.pixels.data() + std::size_t(y) * std::size_t(width);
        for (long x = 0; x < width; ++x) {
            if (format == 3) {
                // An index past the table names no colour: transparent.
                pixels[x] = row[x] < tableEntries ? table[row[x]] : 0;
            } else if (format == 4) {
                unsigned v = (unsigned(row[2 * x]) << 8) | row[2 * x + 1];
                unsigned r = (v >> 10) & 0x1f, g = (v >> 5) & 0x1f, b = v & 0x1f;
                pixels[x] = premultiplied(255, (r << 3) | (r >> 2), (g << 3) | (g >> 2), (b << 3) | (b >> 2));
            } else {
                const uint8_t* c = row + 4 * x;
                pixels[x] = withAlpha ? clampedPremultiplied(c[0], c[1], c[2], c[3]) : premultiplied(255, c[1], c[2], c[3]);
            }
        }
    }
    return true;
}

// --- GIF -------------------------------------------------------------------

// The first image of a GIF, placed on its logical screen; the rest of the
// screen and the transparent colour stay transparent.
class GifReader {
public:
    GifReader(const uint8_t* data, std::size_t size) : p_(data), end_(data + size) {}

    bool decode(Bitmap& out, std::string& reason, const BitmapLimits& limits)
    {
        if (!skip(6) || remaining() < 7)
            return fail(reason);
        long screenWidth = readU16(p_);
        long screenHeight = readU16(p_ + 2);
        uint8_t flags = p_[4];
        p_ += 7;
        uint32_t global[256] = {};
        std::size_t globalSize = 0;
        if ((flags & 0x80) && !readTable(flags, global, globalSize))
            return fail(reason);
        int transparent = -1;
        while (remaining() > 0) {
            uint8_t block = *p_++;
            if (block == 0x21) { // extension
                if (remaining() < 1)
                    return fail(reason);
                uint8_t label = *p_++;
                if (label == 0xf9 && remaining() >= 5 && p_[0] == 4 && (p_[1] & 1))
                    transparent = p_[4];
                if (!skipSubBlocks())
                    return fail(reason);
            } else if (block == 0x2c) {
                return readImage(screenWidth, screenHeight, global, globalSize, transparent, out, reason, limits);
            } else {
                break; // the trailer, or anything unknown, before an image
            }
        }
        reason = "The GIF image holds no picture.";
        return false;
    }

private:
    std::size_t remaining() const { return static_cast<std::size_t>(end_ - p_); }

    bool skip(std::size_t n)
    {
        if (remaining() < n)
            return false;
        p_ += n;
        return true;
    }

    static bool fail(std::string& reason)
    {
        reason = "The GIF image is damaged.";
        return false;
    }

    bool readTable(uint8_t flags, uint32_t* table, std::size_t& size)
    {
        size = std::size_t(2) << (flags & 7);
        if (remaining() < size * 3)
            return false;
        for (std::size_t i = 0; i < size; ++i, p_ += 3)
            table[i] = premultiplied(255, p_[0], p_[1], p_[2]);
        return true;
    }

    bool skipSubBlocks()
    {
        while (remaining() > 0) {
            uint8_t length = *p_++;
            if (length == 0)
                return true;
            if (!skip(length))
                return false;
        }
        return false;
    }

    // The image's LZW data, gathered from its sub-blocks.
    bool readData(std::vector<uint8_t>& data)
    {
        while (remaining() > 0) {
            uint8_t length = *p_++;
            if (length == 0 || remaining() < length)
                return true; // a cut stream decodes as far as it goes
            data.insert(data.end(), p_, p_ + length);
            p_ += length;
        }
        return true;
    }

    bool readImage(long screenWidth, long screenHeight, const uint32_t* global, std::size_t globalSize,
                   int transparent, Bitmap& out, std::string& reason, const BitmapLimits& limits)
    {
        if (remaining() < 9)
            return fail(reason);
        long left = readU16(p_), top = readU16(p_ + 2), width = readU16(p_ + 4), height = readU16(p_ + 6);
        uint8_t flags = p_[8];
        p_ += 9;
        uint32_t local[256] = {};
        std::size_t localSize = 0;
        if ((flags & 0x80) && !readTable(flags, local, localSize))
            return fail(reason);
        const uint32_t* table = (flags & 0x80) ? local : global;
        std::size_t tableSize = (flags & 0x80) ? localSize : globalSize;
        if (remaining() < 1)
            return fail(reason);
        unsigned minCodeSize = *p_++;
        if (minCodeSize < 1 || minCodeSize > 8)
            return fail(reason);
        // The image's own size sets its index buffer, whatever the screen says.
        if (width > limits.maxSide || height > limits.maxSide ||
            std::size_t(width) * std::size_t(height) > limits.maxPixels) {
            reason = "The bitmap is too large: " + std::to_string(width) + " x " + std::to_string(height) + " pixels.";
            return false;
        }
        if (screenWidth == 0 || screenHeight == 0) {
            screenWidth = left + width;
            screenHeight = top + height;
        }
        if (!allocatePixels(out, screenWidth, screenHeight, limits, reason))
            return false;
        if (std::size_t(width) * std::size_t(height) == 0)
            return true;
        std::vector<uint8_t> data, indices;
        readData(data);
        indices.assign(std::size_t(width) * std::size_t(height), 0);
        std::size_t count = decodeLzw(data, minCodeSize, indices);

        // Interlaced rows come in four passes: every 8th from 0 and 4, every 4th from 2, every 2nd from 1.
        static const long passStart[4] = {0, 4, 2, 1}, passStep[4] = {8, 8, 4, 2};
        bool interlaced = (flags & 0x40) != 0;
        int pass = 0;
        long row = 0;
        for (long i = 0; i < height; ++i) {
            long y = interlaced ? row : i;
            for (long x = 0; x < width; ++x) {
                std::size_t n = std::size_t(i) * std::size_t(width) + std::size_t(x);
                long sx = left + x, sy = top + y;
                if (n >= count || sx >= screenWidth || sy >= screenHeight)
                    continue;
                uint8_t index = indices[n];
                uint32_t colour = int(index) == transparent ? 0 : index < tableSize ? table[index] : 0xff000000u;
                out.pixels[std::size_t(sy) * std::size_t(screenWidth) + std::size_t(sx)] = colour;
            }
            if (interlaced) {
                row += passStep[pass];
                while (pass < 3 && row >= height) {
                    ++pass;
                    row = passStart[pass];
                }
            }
        }
        return true;
    }

    // Returns how many indices were decoded.
    static std::size_t decodeLzw(const std::vector<uint8_t>& data, unsigned minCodeSize, std::vector<uint8_t>& out)
    {
        const unsigned clear = 1u << minCodeSize, stop = clear + 1;
        std::vector<uint16_t> prefix(4096);
        std::vector<uint8_t> suffix(4096), stack(4100);
        for (unsigned i = 0; i < clear; ++i)
            suffix[i] = static_cast<uint8_t>(i);
        unsigned codeSize = minCodeSize + 1, next = clear + 2;
        int previous = -1;
        uint8_t first = 0;
        std::size_t produced = 0;
        uint32_t bits = 0;
        unsigned bitCount = 0;
        std::size_t pos = 0;
        while (produced < out.size()) {
            while (bitCount < codeSize && pos < data.size()) {
                bits |= uint32_t(data[pos++]) << bitCount;
                bitCount += 8;
            }
            if (bitCount < codeSize)
                break;
            unsigned code = bits & ((1u << codeSize) - 1);
            bits >>= codeSize;
            bitCount -= codeSize;
            if (code == clear) {
                codeSize = minCodeSize + 1;
                next = clear + 2;
                previous = -1;
                continue;
            }
            if (code == stop)
                break;
            std::size_t depth = 0;
            unsigned c = code;
            if (previous < 0) {
                if (code >= clear)
                    break; // the first code after a clear must be a colour
            } else if (code >= next) {
                if (code > next)
                    break;
                stack[depth++] = first; // the code being defined: previous string plus its own first byte
                c = unsigned(previous);
            }
            while (c >= clear && depth < 4096) {
                stack[depth++] = suffix[c];
                c = prefix[c];
            }
            stack[depth++] = static_cast<uint8_t>(c);
            first = static_cast<uint8_t>(c);
            while (depth > 0 && produced < out.size())
                out[produced++] = stack[--depth];
            if (previous >= 0 && next < 4096) {
                prefix[next] = static_cast<uint16_t>(previous);
                suffix[next] = first;
                ++next;
                if (next == (1u << codeSize) && codeSize < 12)
                    ++codeSize;
            }
            previous = static_cast<int>(code);
        }
        return produced;
    }

    const uint8_t* p_;
    const uint8_t* end_;
};

bool startsWith(const uint8_t* data, std::size_t size, const char* magic, std::size_t length)
{
    return size >= length && std::memcmp(data, magic, length) == 0;
}

// JPEG2/3/4 image data: JPEG, or PNG or GIF by their signatures.
bool decodeImageData(const uint8_t* data, std::size_t size, Bitmap& out, std::string& reason,
                     const BitmapLimits& limits, bool* isJpeg)
{
    *isJpeg = false;
    if (startsWith(data, size, "\x89PNG\r\n\x1a\n", 8))
        return decodePng(data, size, out, reason, limits);
    if (startsWith(data, size, "GIF87a", 6) || startsWith(data, size, "GIF89a", 6))
        return GifReader(data, size).decode(out, reason, limits);
    *isJpeg = true;
    return decodeJpeg(data, size, nullptr, 0, out, reason, limits);
}

} // namespace

bool decodeBitmap(BitmapTag tag, const uint8_t* body, std::size_t size, const uint8_t* tables, std::size_t tablesSize,
                  Bitmap& out, std::string& reason, const BitmapLimits& limits)
{
    out = Bitmap();
    reason.clear();
    bool ok = false;
    bool isJpeg = false;
    switch (tag) {
    case BitmapTag::DefineBits:
        ok = decodeJpeg(body, size, tables, tables ? tablesSize : 0, out, reason, limits);
        break;
    case BitmapTag::DefineBitsJpeg2:
        ok = decodeImageData(body, size, out, reason, limits, &isJpeg);
        break;
    case BitmapTag::DefineBitsJpeg3:
    case BitmapTag::DefineBitsJpeg4: {
        // The image's length, then JPEG4's deblocking strength (not applied).
        std::size_t header = tag == BitmapTag::DefineBitsJpeg3 ? 4 : 6;
        if (size < header) {
            reason = "The bitmap ends inside its header.";
            break;
        }
        std::size_t imageSize = readU32(body);
        if (imageSize > size - header) {
            reason = "The bitmap's image data is cut short.";
            break;
        }
        ok = decodeImageData(body + header, imageSize, out, reason, limits, &isJpeg);
        // PNG and GIF data carry their own transparency; the plane is for JPEG.
        if (ok && isJpeg)
            applyAlphaPlane(body + header + imageSize, size - header - imageSize, out);
        break;
    }
    case BitmapTag::DefineBitsLossless:
        ok = decodeLossless(body, size, false, out, reason, limits);
        break;
    case BitmapTag::DefineBitsLossless2:
        ok = decodeLossless(body, size, true, out, reason, limits);
        break;
    }
    if (!ok) {
        out = Bitmap();
        if (reason.empty())
            reason = "The bitmap cannot be decoded.";
    }
    return ok;
}

} // namespace swf
