// flash.display.BitmapData as Flash Player 8 has it: pixels a script makes
// and changes, that the movie shows through attachBitmap and bitmap fills.
//
// The methods that need the renderer, the filters or the movie's library
// (draw, applyFilter, generateFilterRect, loadBitmap) go through
// BitmapDataHooks, which the movie's player implements; everything else is
// here (the pixel work in BitmapOps).
//
// Like Flash Player's, the methods answer bad arguments with numbers: -1
// for too few arguments or a disposed bitmap, and -2, -3, -4 for the first
// argument that is not a bitmap, a disposed one, and a bad rectangle.
#pragma once

#include "swfcontrol/engine/player/BitmapOps.h"
#include "swfcontrol/engine/player/PixelBuffer.h"
#include "swfcontrol/engine/script/Vm.h"

#include <memory>

namespace swf::player {

class BitmapDataHooks {
public:
    virtual ~BitmapDataHooks() = default;
    // draw(source, matrix, colorTransform, blendMode, clipRect, smoothing):
    // renders `args[0]` (a clip, a text field or a BitmapData) into
    // `target`, as the script passed it.
    virtual void draw(script::Vm& vm, PixelBuffer& target, script::Args args) = 0;
    // applyFilter(sourceBitmap, sourceRect, destPoint, filter), the
    // arguments read: what the method gives back.
    virtual script::Value applyFilter(script::Vm& vm, PixelBuffer& target, const PixelBuffer& source,
                                      IntRect sourceRect, int destX, int destY, const script::Value& filter) = 0;
    // generateFilterRect(sourceRect, filter): the Rectangle the filter would
    // touch.
    virtual script::Value generateFilterRect(script::Vm& vm, const PixelBuffer& self, IntRect sourceRect,
                                             const script::Value& filter) = 0;
    // loadBitmap(id): the bitmap the movie exports under `linkage`
    // (premultiplied), and whether it has alpha; null when there is none.
    virtual const swf::Bitmap* exportedBitmap(script::Vm& vm, script::String* linkage, bool& transparent) = 0;
};

// Installs _global.flash.display.BitmapData. `hooks` is kept, not owned;
// without it draw and the filters do nothing and loadBitmap finds nothing.
void installBitmapData(script::Vm& vm, BitmapDataHooks* hooks = nullptr);

// The pixels of a BitmapData object, shared, for the display objects that
// show them; null for anything else. A disposed BitmapData's buffer is
// empty (valid() false).
std::shared_ptr<PixelBuffer> bitmapDataPixels(const script::Value& value);

} // namespace swf::player
