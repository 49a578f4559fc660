#include "swfcontrol/Stage.h"

namespace {

constexpr int indicatorHeight = 22;
constexpr int barHeight = 4;
constexpr int margin = 6;

COLORREF contrastWith(COLORREF colour)
{
    int luminance = (GetRValue(colour) * 299 + GetGValue(colour) * 587 + GetBValue(colour) * 114) / 1000;
    return luminance > 140 ? RGB(0, 0, 0) : RGB(255, 255, 255);
}

void fill(HDC dc, const RECT& rect, COLORREF colour)
{
    if (rect.right <= rect.left || rect.bottom <= rect.top)
        return;
    // ExtTextOut with an opaque rectangle fills without creating a brush.
    COLORREF previous = SetBkColor(dc, colour);
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
    SetBkColor(dc, previous);
}

void paintMessage(HDC dc, const RECT& area, const std::wstring& text)
{
    fill(dc, area, messageBackground);
    if (text.empty())
        return;
    HGDIOBJ oldFont = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    int oldMode = SetBkMode(dc, TRANSPARENT);
    COLORREF oldColour = SetTextColor(dc, messageColour);
    RECT box = area;
    InflateRect(&box, -12, -12);
    if (box.right > box.left) {
        RECT measured = box;
        UINT format = DT_CENTER | DT_WORDBREAK | DT_NOPREFIX | DT_EDITCONTROL;
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &measured, format | DT_CALCRECT);
        int height = measured.bottom - measured.top;
        if (height < box.bottom - box.top)
            box.top += (box.bottom - box.top - height) / 2;
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &box, format);
    }
    SetTextColor(dc, oldColour);
    SetBkMode(dc, oldMode);
    SelectObject(dc, oldFont);
}

} // namespace

RECT letterbox(const RECT& area, int width, int height)
{
    RECT stage = area;
    LONG areaWidth = area.right - area.left, areaHeight = area.bottom - area.top;
    if (width <= 0 || height <= 0 || areaWidth <= 0 || areaHeight <= 0)
        return stage;
    // Compare areaWidth/areaHeight with width/height without rounding.
    if (static_cast<long long>(areaWidth) * height > static_cast<long long>(areaHeight) * width) {
        LONG fitted = static_cast<LONG>(static_cast<long long>(areaHeight) * width / height);
        stage.left = area.left + (areaWidth - fitted) / 2;
        stage.right = stage.left + fitted;
    } else {
        LONG fitted = static_cast<LONG>(static_cast<long long>(areaWidth) * height / width);
        stage.top = area.top + (areaHeight - fitted) / 2;
        stage.bottom = stage.top + fitted;
    }
    return stage;
}

RECT frameIndicatorRect(const RECT& area, const StageState& state)
{
    RECT stage = letterbox(area, state.width, state.height);
    RECT strip = stage;
    if (strip.bottom - strip.top > indicatorHeight)
        strip.top = strip.bottom - indicatorHeight;
    return strip;
}

void paintStage(HDC dc, const RECT& area, const StageState& state)
{
    switch (state.status) {
    case StageStatus::Empty:
        fill(dc, area, barColour);
        return;
    case StageStatus::Loading: {
        std::wstring text = state.message;
        if (state.percent >= 0)
            text += L" (" + std::to_wstring(state.percent) + L"%)";
        paintMessage(dc, area, text);
        return;
    }
    case StageStatus::Failed:
        paintMessage(dc, area, state.message);
        return;
    case StageStatus::Playing:
        break;
    }

    RECT stage = letterbox(area, state.width, state.height);
    RECT bar = {area.left, area.top, area.right, stage.top};
    fill(dc, bar, barColour);
    bar = {area.left, stage.bottom, area.right, area.bottom};
    fill(dc, bar, barColour);
    bar = {area.left, stage.top, stage.left, stage.bottom};
    fill(dc, bar, barColour);
    bar = {stage.right, stage.top, area.right, stage.bottom};
    fill(dc, bar, barColour);
    fill(dc, stage, state.background);

    // The frame indicator: "Frame n / count" above a bar that grows with n.
    COLORREF ink = contrastWith(state.background);
    RECT strip = frameIndicatorRect(area, state);
    uint32_t count = state.frameCount ? state.frameCount : 1;
    LONG stripWidth = strip.right - strip.left;
    RECT progress = {strip.left, strip.bottom - barHeight,
                     strip.left + static_cast<LONG>(static_cast<long long>(stripWidth) * (state.frame % count + 1) / count),
                     strip.bottom};
    if (progress.top < strip.top)
        progress.top = strip.top;
    fill(dc, progress, ink);

    wchar_t label[64];
    wsprintfW(label, L"Frame %u / %u", static_cast<unsigned>(state.frame % count + 1), static_cast<unsigned>(count));
    HGDIOBJ oldFont = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    int oldMode = SetBkMode(dc, TRANSPARENT);
    COLORREF oldColour = SetTextColor(dc, ink);
    RECT textBox = {strip.left + margin, strip.top, strip.right - margin, progress.top};
    DrawTextW(dc, label, -1, &textBox, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    SetTextColor(dc, oldColour);
    SetBkMode(dc, oldMode);
    SelectObject(dc, oldFont);
}

std::wstring stageSummary(const StageState& state)
{
    switch (state.status) {
    case StageStatus::Empty:
        return std::wstring();
    case StageStatus::Loading:
        return state.message;
    case StageStatus::Failed:
        return state.message;
    case StageStatus::Playing:
        break;
    }
    wchar_t text[200];
    unsigned hundredths = (state.frameRate & 0xff) * 100 / 256;
    wsprintfW(text, L"Playing: SWF %u, %d x %d, %u.%02u fps, %u frames, background #%02X%02X%02X", state.version,
              state.width, state.height, static_cast<unsigned>(state.frameRate >> 8), hundredths,
              static_cast<unsigned>(state.frameCount), GetRValue(state.background), GetGValue(state.background),
              GetBValue(state.background));
    return text;
}
