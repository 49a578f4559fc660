// The movie's stage size as the metadata gives it, and the aspect ratio kept
// for the main window's layout.
#pragma once

#include <optional>
#include <string>

#include "movie/MovieLimits.h"

// One dimension read as "%i" reads it: leading white space, an optional
// sign, then hexadecimal after 0x or 0X, octal after a leading 0, else
// decimal, up to the first byte that does not fit. Empty when no number
// starts the text, or the number is negative or above maxStageDimension.
std::optional<int> readStageDimension(const std::string& text);

// known is false unless both dimensions were read; width and height are then
// 0. The caller leaves the control host's size as it is and keeps no aspect
// ratio, rather than sizing windows to a guess.
struct StageSize {
    bool known = false;
    int width = 0;
    int height = 0;
};

StageSize readStageSize(const std::string& width, const std::string& height);

// width / height as floats; 0 ("no ratio known") for an unknown size, a zero
// height, or any result that is not a finite positive number, so that the
// layout never multiplies by an infinity or NaN.
float stageAspectRatio(const StageSize& size);
