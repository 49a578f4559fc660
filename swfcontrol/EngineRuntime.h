// The engine's movie player behind the shell's MovieRuntime: it draws the
// movie. Built only where the engine is (QP_SWF_ENGINE). No Windows API.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "swfcontrol/MovieRuntime.h"

namespace swf {
class DeviceTextRasterizer;
}

// Loads the movie (its first frame's actions run, their requests held until
// start()); null with a plain sentence for the user when it cannot be played.
// Text in device fonts is drawn with `deviceText`, if given.
std::unique_ptr<MovieRuntime> loadEngineRuntime(const uint8_t* data, std::size_t size, std::string& reason,
                                                std::unique_ptr<swf::DeviceTextRasterizer> deviceText = nullptr);
