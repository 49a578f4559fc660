#include "swfcontrol/DeviceTextGdi.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "movie/WindowsText.h"

namespace {

// Text is drawn no larger than this, a side, in pixels.
const int kMaxSide = 4096;

// The faces Flash Player names for its generic fonts, as Windows has them.
std::wstring windowsFace(const std::string& face)
{
    if (face == "_sans")
        return L"Arial";
    if (face == "_serif")
        return L"Times New Roman";
    if (face == "_typewriter")
        return L"Courier New";
    std::wstring wide = widenText(face);
    return wide.empty() ? L"Times New Roman" : wide.substr(0, LF_FACESIZE - 1);
}

std::wstring utf16(const std::u32string& text)
{
    std::wstring out;
    out.reserve(text.size());
    for (char32_t c : text) {
        if (c >= 0x10000 && c <= 0x10ffff) {
            out.push_back(static_cast<wchar_t>(0xd800 + ((c - 0x10000) >> 10)));
            out.push_back(static_cast<wchar_t>(0xdc00 + ((c - 0x10000) & 0x3ff)));
        } else {
            out.push_back(c < 0x10000 && (c < 0xd800 || c > 0xdfff) ? static_cast<wchar_t>(c) : L'\xfffd');
        }
    }
    return out;
}

class GdiDeviceText final : public swf::DeviceTextRasterizer {
public:
    ~GdiDeviceText() override
    {
        if (dc_) {
            SelectObject(dc_, oldFont_);
            SelectObject(dc_, oldBitmap_);
            DeleteDC(dc_);
        }
        if (font_)
            DeleteObject(font_);
        if (bitmap_)
            DeleteObject(bitmap_);
    }

    bool rasterize(const swf::DeviceText& text, swf::DeviceCoverage& out) override
    {
        const int em = static_cast<int>(std::lround(std::min(text.size, 2000.0)));
        if (em < 1 || !selectFont(text, em))
            return false;
        const std::wstring chars = utf16(text.text);
        TEXTMETRICW metrics;
        if (chars.empty() || !GetTextMetricsW(dc_, &metrics))
            return false;

        // The box, or the line from its baseline.
        double left = text.left, top = text.box ? text.top : text.baseline - metrics.tmAscent;
        double right = text.right, bottom = text.box ? text.bottom : text.baseline + metrics.tmDescent;
        if (!text.box) {
            SIZE last{};
            GetTextExtentPoint32W(dc_, &chars.back(), 1, &last);
            right = left + (text.offsets.empty() ? 0 : text.offsets.back()) + last.cx + metrics.tmOverhang + 2;
        }
        if (!(right - left < 1e6) || !(bottom - top < 1e6))
            return false;
        const int x0 = static_cast<int>(std::floor(left)), y0 = static_cast<int>(std::floor(top));
        const int width = std::min(kMaxSide, static_cast<int>(std::ceil(right)) - x0);
        const int height = std::min(kMaxSide, static_cast<int>(std::ceil(bottom)) - y0);
        if (width <= 0 || height <= 0 || !canvas(width, height))
            return false;

        if (text.box) {
            RECT area = {0, 0, width, height};
            UINT format = DT_NOPREFIX | DT_EXPANDTABS;
            format |= text.align == swf::TextAlign::Right ? DT_RIGHT : text.align == swf::TextAlign::Center ? DT_CENTER : DT_LEFT;
            format |= text.multiline ? (text.wrap ? DT_WORDBREAK : 0) : DT_SINGLELINE;
            SetTextAlign(dc_, TA_LEFT | TA_TOP);
            DrawTextW(dc_, chars.c_str(), static_cast<int>(chars.size()), &area, format);
        } else {
            // Each character where the movie put it.
            std::vector<INT> advances(chars.size(), 0);
            std::size_t unit = 0;
            for (std::size_t i = 0; i < text.offsets.size() && unit < chars.size(); ++i) {
                const double next = i + 1 < text.offsets.size() ? text.offsets[i + 1] : text.offsets[i];
                advances[unit] = static_cast<INT>(std::lround(next) - std::lround(text.offsets[i]));
                unit += chars[unit] >= 0xd800 && chars[unit] <= 0xdbff ? 2 : 1;
            }
            const double startX = left - x0 + (text.offsets.empty() ? 0 : text.offsets[0]);
            SetTextAlign(dc_, TA_LEFT | TA_BASELINE);
            ExtTextOutW(dc_, static_cast<int>(std::lround(startX)), static_cast<int>(std::lround(text.baseline - y0)), 0,
                        nullptr, chars.c_str(), static_cast<UINT>(chars.size()), advances.data());
        }
        GdiFlush();

        // White on black: any channel gives the coverage.
        out.x = x0;
        out.y = y0;
        out.width = width;
        out.height = height;
        out.data.resize(static_cast<std::size_t>(width) * height);
        for (int y = 0; y < height; ++y) {
            const uint32_t* row = bits_ + static_cast<std::size_t>(y) * canvasWidth_;
            uint8_t* dst = &out.data[static_cast<std::size_t>(y) * width];
            for (int x = 0; x < width; ++x) {
                const uint32_t p = row[x];
                dst[x] = static_cast<uint8_t>(std::max({p & 0xff, (p >> 8) & 0xff, (p >> 16) & 0xff}));
            }
        }
        return true;
    }

private:
    bool selectFont(const swf::DeviceText& text, int em)
    {
        if (!dc_) {
            dc_ = CreateCompatibleDC(nullptr);
            if (!dc_)
                return false;
            oldFont_ = static_cast<HFONT>(GetCurrentObject(dc_, OBJ_FONT));
            oldBitmap_ = static_cast<HBITMAP>(GetCurrentObject(dc_, OBJ_BITMAP));
            SetBkMode(dc_, TRANSPARENT);
            SetTextColor(dc_, RGB(255, 255, 255));
        }
        const std::wstring face = windowsFace(text.face);
        const std::wstring key = face + L'|' + std::to_wstring(em) + (text.bold ? L"b" : L"") + (text.italic ? L"i" : L"");
        if (font_ && key == fontKey_)
            return true;
        LOGFONTW lf = {};
        lf.lfHeight = -em; // the em, not the cell
        lf.lfWeight = text.bold ? FW_BOLD : FW_NORMAL;
        lf.lfItalic = text.italic ? TRUE : FALSE;
        lf.lfCharSet = DEFAULT_CHARSET;
        lf.lfOutPrecision = OUT_TT_PRECIS;
        lf.lfQuality = ANTIALIASED_QUALITY;
        std::memcpy(lf.lfFaceName, face.c_str(), (face.size() + 1) * sizeof(wchar_t));
        HFONT font = CreateFontIndirectW(&lf);
        if (!font)
            return false;
        SelectObject(dc_, font);
        if (font_)
            DeleteObject(font_);
        font_ = font;
        fontKey_ = key;
        return true;
    }

    // A black canvas of at least width x height, its top-left corner cleared.
    bool canvas(int width, int height)
    {
        if (!bitmap_ || width > canvasWidth_ || height > canvasHeight_) {
            BITMAPINFO info = {};
            info.bmiHeader.biSize = sizeof(info.bmiHeader);
            info.bmiHeader.biWidth = std::max(width, canvasWidth_);
            info.bmiHeader.biHeight = -std::max(height, canvasHeight_); // top-down
            info.bmiHeader.biPlanes = 1;
            info.bmiHeader.biBitCount = 32;
            info.bmiHeader.biCompression = BI_RGB;
            void* bits = nullptr;
            HBITMAP bitmap = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
            if (!bitmap)
                return false;
            SelectObject(dc_, bitmap);
            if (bitmap_)
                DeleteObject(bitmap_);
            bitmap_ = bitmap;
            bits_ = static_cast<uint32_t*>(bits);
            canvasWidth_ = info.bmiHeader.biWidth;
            canvasHeight_ = -info.bmiHeader.biHeight;
        }
        GdiFlush();
        for (int y = 0; y < height; ++y)
            std::memset(bits_ + static_cast<std::size_t>(y) * canvasWidth_, 0, static_cast<std::size_t>(width) * 4);
        // Nothing is drawn outside the area in use.
        HRGN clip = CreateRectRgn(0, 0, width, height);
        SelectClipRgn(dc_, clip);
        if (clip)
            DeleteObject(clip);
        return true;
    }

    HDC dc_ = nullptr;
    HFONT oldFont_ = nullptr, font_ = nullptr;
    HBITMAP oldBitmap_ = nullptr, bitmap_ = nullptr;
    std::wstring fontKey_;
    uint32_t* bits_ = nullptr;
    int canvasWidth_ = 0, canvasHeight_ = 0;
};

} // namespace

std::unique_ptr<swf::DeviceTextRasterizer> makeGdiDeviceText()
{
    return std::unique_ptr<swf::DeviceTextRasterizer>(new GdiDeviceText());
}
