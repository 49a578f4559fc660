// The movie file: header, decompression and the tag list, for the whole file
// and for a sprite's nested tags alike.
#pragma once

#include "swfcontrol/engine/format/BitReader.h"
#include "swfcontrol/engine/format/Geometry.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace swf {

enum TagCode : uint16_t {
    TagEnd = 0,
    TagShowFrame = 1,
    TagDefineShape = 2,
    TagPlaceObject = 4,
    TagRemoveObject = 5,
    TagDefineBits = 6,
    TagDefineButton = 7,
    TagJpegTables = 8,
    TagSetBackgroundColor = 9,
    TagDefineFont = 10,
    TagDefineText = 11,
    TagDoAction = 12,
    TagDefineFontInfo = 13,
    TagDefineBitsLossless = 20,
    TagDefineBitsJpeg2 = 21,
    TagDefineShape2 = 22,
    TagDefineButtonCxform = 23,
    TagPlaceObject2 = 26,
    TagRemoveObject2 = 28,
    TagDefineShape3 = 32,
    TagDefineText2 = 33,
    TagDefineButton2 = 34,
    TagDefineBitsJpeg3 = 35,
    TagDefineBitsLossless2 = 36,
    TagDefineEditText = 37,
    TagDefineSprite = 39,
    TagFrameLabel = 43,
    TagExportAssets = 56,
    TagImportAssets = 57,
    TagDoInitAction = 59,
    TagScriptLimits = 65,
    TagImportAssets2 = 71,
    TagDefineMorphShape = 46,
    TagFileAttributes = 69,
    TagDefineFont2 = 48,
    TagDefineFontInfo2 = 62,
    TagPlaceObject3 = 70,
    TagDefineFontAlignZones = 73,
    TagDefineFont3 = 75,
    TagDefineScalingGrid = 78,
    TagDefineShape4 = 83,
    TagDefineMorphShape2 = 84,
    TagDefineFontName = 88,
    TagDefineBitsJpeg4 = 90,
    TagDefineFont4 = 91,
};

struct Tag {
    uint16_t code = 0;
    const uint8_t* body = nullptr;
    std::size_t size = 0;
    BitReader reader() const { return BitReader(body, size); }
};

struct MovieLimits {
    // Uncompressed movies are held whole; larger ones are refused or cut here.
    std::size_t maxMovieBytes = 128u * 1024u * 1024u;
};

struct MovieFile {
    unsigned version = 0;
    uint32_t declaredLength = 0;
    Rect stage;          // twips
    uint16_t frameRate = 0; // 8.8 frames per second
    uint16_t frameCount = 0;
    bool truncated = false; // the data stops before its End tag or declared length
    std::vector<uint8_t> data; // the uncompressed movie after its 8-byte header
    std::size_t tagsOffset = 0; // where the tag list starts in `data`
};

// Reads the header and decompresses (FWS, CWS, ZWS). On failure returns false
// with one plain sentence in `reason`.
bool readMovieFile(const uint8_t* file, std::size_t size, MovieFile& out, std::string& reason,
                   const MovieLimits& limits = MovieLimits());

// Splits a tag list into tags, stopping at End or where the data runs out (a
// tag cut short is dropped and `truncated` set).
std::vector<Tag> splitTags(const uint8_t* data, std::size_t size, bool* truncated = nullptr);

} // namespace swf
