#include "tools/swfrender/PngFile.h"

#include <png.h>

namespace swf {

bool readPng(const std::string& path, RgbaImage& out, std::string& reason)
{
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        reason = "Cannot read " + path + ": " + image.message;
        return false;
    }
    image.format = PNG_FORMAT_RGBA;
    out.width = static_cast<int>(image.width);
    out.height = static_cast<int>(image.height);
    out.rgba.assign(PNG_IMAGE_SIZE(image), 0);
    if (!png_image_finish_read(&image, nullptr, out.rgba.data(), 0, nullptr)) {
        reason = "Cannot read " + path + ": " + image.message;
        png_image_free(&image);
        return false;
    }
    return true;
}

bool writePng(const std::string& path, const RgbaImage& img, std::string& reason)
{
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(img.width);
    image.height = static_cast<png_uint_32>(img.height);
    image.format = PNG_FORMAT_RGBA;
    if (!png_image_write_to_file(&image, path.c_str(), 0, img.rgba.data(), 0, nullptr)) {
        reason = "Cannot write " + path + ": " + image.message;
        return false;
    }
    return true;
}

RgbaImage fromPremultiplied(const uint32_t* pixels, int width, int height)
{
    RgbaImage out;
    out.width = width;
    out.height = height;
    out.rgba.resize(static_cast<std::size_t>(width) * height * 4);
    for (std::size_t i = 0; i < static_cast<std::size_t>(width) * height; ++i) {
        uint32_t p = pixels[i];
        unsigned a = p >> 24, r = (p >> 16) & 0xff, g = (p >> 8) & 0xff, b = p & 0xff;
        if (a != 0 && a != 255) {
            r = (r * 255 + a / 2) / a;
            g = (g * 255 + a / 2) / a;
            b = (b * 255 + a / 2) / a;
        }
        uint8_t* o = &out.rgba[i * 4];
        o[0] = static_cast<uint8_t>(r > 255 ? 255 : r);
        o[1] = static_cast<uint8_t>(g > 255 ? 255 : g);
        o[2] = static_cast<uint8_t>(b > 255 ? 255 : b);
        o[3] = static_cast<uint8_t>(a);
    }
    return out;
}

} // namespace swf
