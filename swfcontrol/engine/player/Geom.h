// flash.geom as Flash Player 8 has it: Point, Rectangle, Matrix,
// ColorTransform and Transform.
//
// Point, Rectangle and Matrix keep their fields as plain properties of
// plain objects and read them back by name, so whatever a script stores
// there (undefined, strings, objects) stays as it was until arithmetic turns
// it into a number. ColorTransform keeps eight numbers of its own.
//
// Transform stands between scripts and a clip's matrix and colour
// transform; the display layer answers for the clip through
// TransformTarget.
#pragma once

#include "swfcontrol/engine/format/Geometry.h"
#include "swfcontrol/engine/script/Vm.h"

namespace swf::player {

// What a Transform reads and writes of its clip. Coordinates are pixels
// (Matrix.tx/ty), as scripts see them.
class TransformTarget {
public:
    virtual ~TransformTarget() = default;
    virtual swf::Matrix matrix(script::Object* clip) = 0;
    virtual void setMatrix(script::Object* clip, const swf::Matrix& m) = 0;
    // The clip's matrix and colour transform with those of every parent.
    virtual swf::Matrix concatenatedMatrix(script::Object* clip) = 0;
    virtual swf::ColorTransform colorTransform(script::Object* clip) = 0;
    virtual void setColorTransform(script::Object* clip, const swf::ColorTransform& c) = 0;
    virtual swf::ColorTransform concatenatedColorTransform(script::Object* clip) = 0;
    // The clip's bounds on the stage, in pixels.
    virtual void pixelBounds(script::Object* clip, double& x, double& y, double& width, double& height) = 0;
};

// Installs _global.flash.geom. `transforms` (kept, not owned) answers
// Transform's members; without one they read as identities and writes are
// ignored, so scripts still run.
void installGeom(script::Vm& vm, TransformTarget* transforms = nullptr);

// --- for the display layer (MovieClip.transform, Color) -------------------
// A new flash.geom.Transform for `clip`.
script::Value newTransform(script::Vm& vm, script::Object* clip);
script::Value newMatrix(script::Vm& vm, const swf::Matrix& m);
// The six fields of any object, as numbers; false for a non-object.
bool readMatrix(script::Vm& vm, const script::Value& value, swf::Matrix& out);

// A ColorTransform's numbers; scripts see them unrounded and unclamped.
struct ColorTransformValues {
    double redMultiplier = 1, greenMultiplier = 1, blueMultiplier = 1, alphaMultiplier = 1;
    double redOffset = 0, greenOffset = 0, blueOffset = 0, alphaOffset = 0;
    swf::ColorTransform toDrawing() const;
    static ColorTransformValues fromDrawing(const swf::ColorTransform& c);
};
script::Value newColorTransform(script::Vm& vm, const ColorTransformValues& c);
// False when `value` is no ColorTransform.
bool readColorTransform(const script::Value& value, ColorTransformValues& out);

// A new flash.geom.Point or Rectangle of numbers.
script::Value newPoint(script::Vm& vm, double x, double y);
script::Value newRectangle(script::Vm& vm, double x, double y, double width, double height);

} // namespace swf::player
