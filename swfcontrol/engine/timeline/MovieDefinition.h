// A loaded movie: its characters by id and the frames of its root timeline
// and of every sprite, decoded once at load. Bitmaps are decoded on first
// use and kept.
#pragma once

#include "swfcontrol/engine/format/Bitmap.h"
#include "swfcontrol/engine/format/BitmapDecode.h"
#include "swfcontrol/engine/format/DisplayRecords.h"
#include "swfcontrol/engine/format/MovieFile.h"
#include "swfcontrol/engine/format/Shape.h"
#include "swfcontrol/engine/format/ShapeReader.h"
#include "swfcontrol/engine/format/Text.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace swf {

// One display-list change of a frame, in tag order.
struct DisplayOp {
    bool remove = false;
    PlaceObject place; // when !remove
    uint16_t removeDepth = 0;
};

// DoInitAction: runs once, before the frame that carries it, for a sprite.
struct InitAction {
    uint16_t spriteId = 0;
    std::vector<uint8_t> actions;
};

struct Frame {
    std::vector<DisplayOp> ops;
    std::vector<std::vector<uint8_t>> actions; // DoAction bodies, in tag order
    std::vector<InitAction> initActions;       // the root timeline's only
};

struct Timeline {
    std::vector<Frame> frames; // at least one
    std::map<std::string, uint32_t> labels; // label -> 0-based frame
    // The 0-based frame of a label, matched exactly first and then ignoring
    // ASCII case as older players did; -1 when there is none.
    int64_t frameOfLabel(const std::string& label) const;
};

enum class CharacterKind { Shape, MorphShape, Sprite, Button, Bitmap, Font, Text, EditText };

struct Character {
    CharacterKind kind = CharacterKind::Shape;
    Shape shape;
    MorphShape morph;
    Timeline sprite;
    ButtonDefinition button;
    BitmapTag bitmapTag = BitmapTag::DefineBits;
    std::vector<uint8_t> bitmapBody;
    TextCharacter text;
    FontCharacter font;
    // DefineScalingGrid of a sprite or button: the centre of its nine
    // slices, in its own twips.
    bool hasScalingGrid = false;
    Rect scalingGrid;
};

struct LoadLimits {
    MovieLimits movie;
    ShapeLimits shape;
    std::size_t maxCharacters = 65536;
    std::size_t maxFrames = 65536; // per timeline
};

class MovieDefinition : public BitmapSource, public FontLookup {
public:
    // False with one plain sentence when the file is not a movie at all;
    // damaged tags inside a movie are skipped and the rest kept.
    bool load(const uint8_t* data, std::size_t size, std::string& reason, const LoadLimits& limits = LoadLimits());

    unsigned version() const { return file_.version; }
    const Rect& stage() const { return file_.stage; }
    uint16_t frameRate() const { return file_.frameRate; } // 8.8 frames per second
    Rgba background() const { return background_; }
    const Timeline& root() const { return root_; }
    // Null for an id that names nothing.
    const Character* character(uint16_t id) const;
    // ExportAssets: the character a linkage name names (matched exactly,
    // then ignoring ASCII case); 0 when none.
    uint16_t exported(const std::string& name) const;
    // ScriptLimits: 0 where the movie sets none.
    uint16_t maxRecursion() const { return maxRecursion_; }
    uint16_t scriptTimeoutSeconds() const { return scriptTimeout_; }

    const Bitmap* bitmap(uint16_t id) override;
    const FontCharacter* font(uint16_t id) const override;
    const FontCharacter* fontAt(std::size_t index) const override;
    const DeviceFonts* deviceFonts() const override { return deviceFonts_; }
    // Not owned; it must outlive the movie. Set before the first frame draws.
    void setDeviceFonts(const DeviceFonts* fonts) { deviceFonts_ = fonts; }

private:
    void readTags(const uint8_t* data, std::size_t size, Timeline& timeline, bool isRoot);
    void define(uint16_t id, std::unique_ptr<Character> ch);

    MovieFile file_;
    Rgba background_{255, 255, 255, 255};
    bool hasBackground_ = false;
    bool actionScript3_ = false;
    Timeline root_;
    std::unordered_map<uint16_t, std::unique_ptr<Character>> characters_;
    std::vector<uint16_t> fontIds_; // in definition order
    std::map<std::string, uint16_t> exports_;
    uint16_t maxRecursion_ = 0;
    uint16_t scriptTimeout_ = 0;
    std::vector<uint8_t> jpegTables_;
    std::unordered_map<uint16_t, std::unique_ptr<Bitmap>> bitmaps_; // null: failed to decode
    LoadLimits limits_;
    const DeviceFonts* deviceFonts_ = nullptr;
};

} // namespace swf
