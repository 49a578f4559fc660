// The display-list and button tags, each decoded once into a record that the
// timeline reads: PlaceObject 1-3, RemoveObject 1/2, DefineButton 1/2.
#pragma once

#include "swfcontrol/engine/format/Filter.h"
#include "swfcontrol/engine/format/Geometry.h"
#include "swfcontrol/engine/format/MovieFile.h"

#include <cstdint>
#include <string>
#include <vector>

namespace swf {

// onClipEvent handlers of a placed sprite (PlaceObject2/3 clip actions).
enum ClipEvent : uint32_t { ClipEventLoad = 0x01, ClipEventEnterFrame = 0x02 };

struct ClipAction {
    uint32_t events = 0; // the event flags, first byte lowest (ClipEvent bits)
    std::vector<uint8_t> actions;
};

struct PlaceObject {
    uint16_t depth = 0;
    bool move = false; // modify (or, with a character, replace) what is at the depth
    bool hasCharacter = false;
    uint16_t characterId = 0;
    bool hasMatrix = false;
    Matrix matrix;
    bool hasCxform = false;
    ColorTransform cxform;
    bool hasRatio = false;
    uint16_t ratio = 0;
    bool hasName = false;
    std::string name;
    bool hasClipDepth = false;
    uint16_t clipDepth = 0;
    bool hasBlendMode = false;
    uint8_t blendMode = 0; // PlaceObject3's value; 0 and 1 are both normal
    bool hasVisible = false;
    bool visible = true;
    bool hasCacheAsBitmap = false;
    bool cacheAsBitmap = false;
    bool hasFilters = false;
    std::vector<Filter> filters;
    bool hasBackground = false; // an opaque background behind a cached bitmap
    Rgba background;
    std::vector<ClipAction> clipActions;
};

// Tag codes 4, 26 and 70 of a movie of `swfVersion` (whose event flags are
// 16 bits up to SWF 5, 32 after).
bool readPlaceObject(const Tag& tag, PlaceObject& out, unsigned swfVersion = 6);

struct RemoveObject {
    uint16_t depth = 0;
};

// Tag codes 5 and 28.
bool readRemoveObject(const Tag& tag, RemoveObject& out);

enum ButtonState : uint8_t { ButtonUp = 1, ButtonOver = 2, ButtonDown = 4, ButtonHitTest = 8 };

// The mouse transitions on which a button runs actions (BUTTONCONDACTION).
enum ButtonCondition : uint16_t {
    CondOverDownToIdle = 0x0001,
    CondIdleToOverUp = 0x0100,
    CondOverUpToIdle = 0x0200,
    CondOverUpToOverDown = 0x0400,
    CondOverDownToOverUp = 0x0800,
    CondOverDownToOutDown = 0x1000,
    CondOutDownToOverDown = 0x2000,
    CondOutDownToIdle = 0x4000,
    CondIdleToOverDown = 0x8000,
};

struct ButtonRecord {
    uint8_t states = 0; // ButtonState bits
    uint16_t characterId = 0;
    uint16_t depth = 0;
    Matrix matrix;
    ColorTransform cxform;
    uint8_t blendMode = 0;
    std::vector<Filter> filters;
};

struct ButtonAction {
    uint16_t conditions = 0; // ButtonCondition bits; key codes (bits 1-7) are ignored
    std::vector<uint8_t> actions; // action records up to their end
};

struct ButtonDefinition {
    bool trackAsMenu = false;
    std::vector<ButtonRecord> records;
    std::vector<ButtonAction> actions;
};

// Tag codes 7 and 34, after the button id.
bool readButton(uint16_t code, BitReader& body, ButtonDefinition& out);

} // namespace swf
