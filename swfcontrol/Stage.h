// What the control shows in its area, and how it is painted: the movie's
// stage letterboxed in its background colour with a frame indicator, or a
// plain sentence while loading or after a failure.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

enum class StageStatus { Empty, Loading, Playing, Failed };

struct StageState {
    StageStatus status = StageStatus::Empty;
    std::wstring message; // Loading: what is loaded; Failed: the reason
    int percent = -1;     // Loading: -1 while unknown
    int width = 0, height = 0;
    COLORREF background = RGB(255, 255, 255);
    unsigned version = 0;
    uint16_t frameRate = 0; // 8.8 fixed, frames per second
    uint32_t frameCount = 1;
    uint32_t frame = 0; // 0-based
};

// Bars around the stage, and the area behind a message.
constexpr COLORREF barColour = RGB(0, 0, 0);
constexpr COLORREF messageBackground = RGB(40, 40, 40);
constexpr COLORREF messageColour = RGB(235, 235, 235);

// The largest rectangle of the stage's aspect ratio centred in the area.
RECT letterbox(const RECT& area, int width, int height);

// The part of the area that changes from one frame to the next.
RECT frameIndicatorRect(const RECT& area, const StageState& state);

// Paints straight into the DC (a metafile DC works too); the window's own
// painting double-buffers around it.
void paintStage(HDC dc, const RECT& area, const StageState& state);

// The text the control's window carries, so that tests and accessibility
// tools can read what it shows.
std::wstring stageSummary(const StageState& state);
