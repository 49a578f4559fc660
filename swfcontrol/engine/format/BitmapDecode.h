// Decodes the bitmap tags: DefineBits (with the movie's JPEGTables),
// DefineBitsJPEG2/3/4 (JPEG, PNG or GIF data, with the zlib alpha plane of
// JPEG3/4) and DefineBitsLossless 1/2. Each takes the tag body after the
// 16-bit character id. No Windows API.
#pragma once

#include "swfcontrol/engine/format/Bitmap.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace swf {

struct BitmapLimits {
    // Larger images are refused before any pixel memory is taken.
    int maxSide = 8191;
    std::size_t maxPixels = 16u * 1024u * 1024u;
};

enum class BitmapTag { DefineBits, DefineBitsJpeg2, DefineBitsJpeg3, DefineBitsJpeg4, DefineBitsLossless, DefineBitsLossless2 };

// `tables`/`tablesSize`: the JPEGTables tag body (may be empty) for DefineBits.
// On failure returns false with a short plain reason and leaves `out` empty.
bool decodeBitmap(BitmapTag tag, const uint8_t* body, std::size_t size, const uint8_t* tables,
                  std::size_t tablesSize, Bitmap& out, std::string& reason,
                  const BitmapLimits& limits = BitmapLimits());

} // namespace swf
