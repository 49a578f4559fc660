// Device text drawn with GDI: the system's fonts, anti-aliased in grey into
// a memory bitmap whose levels become the text's coverage.
#pragma once

#include <memory>

#include "swfcontrol/engine/timeline/MoviePlayer.h"

// One per player, used on the thread that draws its frames.
std::unique_ptr<swf::DeviceTextRasterizer> makeGdiDeviceText();
