// BitmapData's script side: reading the arguments as Flash Player reads
// them, the status numbers it answers with, and the objects it makes.
#include "swfcontrol/engine/player/BitmapData.h"

#include "swfcontrol/engine/player/ClassSupport.h"
#include "swfcontrol/engine/script/Convert.h"

#include <algorithm>
#include <cstring>

namespace swf::player {

using script::NativeFunction;

namespace {

// Kept on BitmapData.prototype and on the constructor: the movie's hooks
// and the prototype new bitmaps get.
class BitmapDataClass final : public script::Cell {
public:
    BitmapDataClass(BitmapDataHooks* hooks, Object* prototype) : hooks(hooks), prototype(prototype) {}
    void trace(script::Tracer& tracer) override { tracer.mark(prototype); }
    BitmapDataHooks* hooks;
    Object* prototype;
};

class BitmapDataState final : public script::Cell {
public:
    std::shared_ptr<PixelBuffer> pixels;
    BitmapDataClass* cls = nullptr;
    void trace(script::Tracer& tracer) override { tracer.mark(cls); }
    // The pixels count against the script heap; past its limit they are not
    // taken (and the script stops).
    void adopt(script::Heap& heap, std::shared_ptr<PixelBuffer> p)
    {
        resized(heap, p ? p->bytes() : 0);
        pixels = std::move(p);
    }
    void account(script::Heap& heap) { resized(heap, pixels ? pixels->bytes() : 0); }
};

BitmapDataClass* classOf(Object* o)
{
    for (int i = 0; o && i < 256; ++i, o = o->proto())
        if (auto* c = dynamic_cast<BitmapDataClass*>(o->native()))
            return c;
    return nullptr;
}

// The largest bitmap a movie of `version` may make.
bool sizeAllowed(unsigned version, int32_t width, int32_t height)
{
    if (width <= 0 || height <= 0)
        return false;
    if (version <= 9)
        return width <= 2880 && height <= 2880;
    return width <= PixelBuffer::kMaxSide && height <= PixelBuffer::kMaxSide &&
           static_cast<int64_t>(width) * height <= static_cast<int64_t>(PixelBuffer::kMaxPixels);
}

// Makes `o` a BitmapData of the size and colour given, or leaves it as it
// was and answers false.
bool attach(Vm& vm, Object* o, BitmapDataClass* cls, Args args)
{
    // An object that is already another kind of native stays that kind.
    if (args.size() < 2 || (o->native() && !dynamic_cast<BitmapDataState*>(o->native())))
        return false;
    int32_t width = vm.toInt32(args[0]), height = vm.toInt32(args[1]);
    if (!sizeAllowed(vm.version(), width, height))
        return false;
    bool transparent = args.size() < 3 || vm.toBoolean(args[2]);
    uint32_t fill = args.size() < 4 ? 0xffffffffu : script::toUint32(vm.toNumber(args[3]));
    auto pixels = std::make_shared<PixelBuffer>();
    if (!pixels->allocate(width, height, transparent, fill))
        throw script::ScriptAbort{script::ScriptAbort::Reason::Memory};
    auto* state = dynamic_cast<BitmapDataState*>(o->native());
    if (!state) {
        state = vm.heap().make<BitmapDataState>();
        o->setNative(state);
    }
    state->adopt(vm.heap(), std::move(pixels));
    state->cls = cls;
    return true;
}

// A new BitmapData object holding `pixels`, like the one `like` came from.
Value wrap(Vm& vm, BitmapDataClass* cls, std::shared_ptr<PixelBuffer> pixels)
{
    Object* o = vm.newObject(cls ? cls->prototype : vm.protos.object);
    auto* state = vm.heap().make<BitmapDataState>();
    o->setNative(state);
    state->adopt(vm.heap(), std::move(pixels));
    state->cls = cls;
    return Value(o);
}

Value bitmapDataCall(Vm& vm, const Value& self, Args args)
{
    Object* o = self.object();
    return o && attach(vm, o, classOf(o), args) ? self : Value();
}

// A size out of range makes no object: `new` gives undefined.
Value bitmapDataConstruct(Vm& vm, NativeFunction& callee, Args args)
{
    Object* proto = callee.get(vm, vm.n.prototype).object();
    Object* o = vm.newObject(proto);
    return attach(vm, o, classOf(o), args) ? Value(o) : Value();
}

// --- arguments ------------------------------------------------------------

// This bitmap, when it is one and not disposed.
PixelBuffer* live(const Value& self)
{
    BitmapDataState* s = nativeOf<BitmapDataState>(self);
    return s && s->pixels && s->pixels->valid() ? s->pixels.get() : nullptr;
}

int32_t integer(Vm& vm, Args args, std::size_t i) { return vm.toInt32(args[i]); }
uint32_t color(Vm& vm, Args args, std::size_t i) { return script::toUint32(vm.toNumber(args[i])); }

bool ownNumber(Vm& vm, Object* o, const char* name, int32_t& out)
{
    String* key = vm.name(name);
    if (!o->hasOwn(vm, key))
        return false;
    out = vm.toInt32(o->get(vm, key));
    return true;
}

// A rectangle needs x, y, width and height of its own.
bool readRect(Vm& vm, const Value& v, IntRect& r)
{
    Object* o = v.object();
    return o && ownNumber(vm, o, "x", r.x) && ownNumber(vm, o, "y", r.y) && ownNumber(vm, o, "width", r.width) &&
           ownNumber(vm, o, "height", r.height);
}

// Where a point is required, x and y of its own.
bool readPoint(Vm& vm, const Value& v, int32_t& x, int32_t& y)
{
    Object* o = v.object();
    return o && ownNumber(vm, o, "x", x) && ownNumber(vm, o, "y", y);
}

// Where a point may be left out: what it lacks is 0.
void readLoosePoint(Vm& vm, const Value& v, int32_t& x, int32_t& y)
{
    x = y = 0;
    if (Object* o = v.object()) {
        x = vm.toInt32(o->get(vm, vm.name("x")));
        y = vm.toInt32(o->get(vm, vm.name("y")));
    }
}

// The usual first three arguments of a copy: a source bitmap, a source
// rectangle and a destination point. 0 when they are good.
int readCopyArguments(Vm& vm, Args args, PixelBuffer*& src, IntRect& rect, int32_t& dx, int32_t& dy)
{
    BitmapDataState* s = nativeOf<BitmapDataState>(args[0]);
    if (!s)
        return -2;
    if (!s->pixels || !s->pixels->valid())
        return -3;
    if (!readRect(vm, args[1], rect))
        return -4;
    src = s->pixels.get();
    readLoosePoint(vm, args[2], dx, dy);
    return 0;
}

// --- properties -----------------------------------------------------------

Value getWidth(Vm&, const Value& self, Args)
{
    PixelBuffer* p = live(self);
    return Value(p ? p->width() : -1);
}

Value getHeight(Vm&, const Value& self, Args)
{
    PixelBuffer* p = live(self);
    return Value(p ? p->height() : -1);
}

Value getRectangle(Vm& vm, const Value& self, Args)
{
    PixelBuffer* p = live(self);
    return p ? newRectangle(vm, 0, 0, p->width(), p->height()) : Value(-1);
}

Value getTransparent(Vm&, const Value& self, Args)
{
    PixelBuffer* p = live(self);
    return p ? Value(p->transparent()) : Value(-1);
}

// --- pixels -----------------------------------------------------------------

Value getPixel(Vm& vm, const Value& self, Args args)
{
    PixelBuffer* p = live(self);
    if (!p || args.size() < 2)
        return Value(-1);
    int32_t x = integer(vm, args, 0), y = integer(vm, args, 1);
    return Value(p->contains(x, y) ? p->straight(x, y) & 0xffffff : 0);
}

Value getPixel32(Vm& vm, const Value& self, Args args)
{
    PixelBuffer* p = live(self);
    if (!p || args.size() < 2)
        return Value(-1);
    int32_t x = integer(vm, args, 0), y = integer(vm, args, 1);
    return Value(p->contains(x, y) ? script::toInt32(p->straight(x, y)) : 0);
}

// setPixel keeps the pixel's alpha.
Value setPixel(Vm& vm, const Value& self, Args args)
{
    PixelBuffer* p = live(self);
    if (!p || args.size() < 3)
        return Value(-1);
    int32_t x = integer(vm, args, 0), y = integer(vm, args, 1);
    uint32_t c = color(vm, args, 2);
    if (p->contains(x, y)) {
        p->setStraight(x, y, (p->at(x, y) & 0xff000000u) | (c & 0xffffff));
        p->touch();
    }
    return Value(0);
}

Value setPixel32(Vm& vm, const Value& self, Args args)
{
    PixelBuffer* p = live(self);
    if (!p || args.size() < 3)
        return Value(-1);
    int32_t x = integer(vm, args, 0), y = integer(vm, args, 1);
    uint32_t c = color(vm, args, 2);
    if (p->contains(x, y)) {
        p->setStraight(x, y, c);
        p->touch();
    }
    return Value(0);
}

Value bitmapFillRect(Vm& vm, const Value& self, Args args)
{
    PixelBuffer* p = live(self);
    IntRect rect;
    if (!p || args.size() < 2 || !readRect(vm, args[0], rect))
        return Value(-1);
    fillRect(*p, rect, color(vm, args, 1));
    return Value(0);
}

Value bitmapCopyPixels(Vm& vm, const Value& self, Args args)
{
    PixelBuffer* p = live(self);
    if (!p || args.size() < 3)
        return Value(-1);
    PixelBuffer* src;
    IntRect rect;
    int32_t dx, dy;
    if (int status = readCopyArguments(vm, args, src, rect, dx, dy))
        return Value(status);
    // The alpha bitmap counts only with its point.
    PixelBuffer* alpha = args.size() > 4 ? live(args[3]) : nullptr;
    int32_t ax = 0, ay = 0;
    if (alpha)
        readLoosePoint(vm, args[4], ax, ay);
    copyPixels(*p, *src, rect, dx, dy, alpha, ax, ay, vm.toBoolean(args[5]));
    return Value(0);
}

Value bitmapCopyChannel(Vm& vm, const Value& self, Args args)
{
    PixelBuffer* p = live(self);
    if (!p || args.size() < 5)
        return Value(-1);
    PixelBuffer* src;
    IntRect rect;
    int32_t dx, dy;
    if (int status = readCopyArguments(vm, args, src, rect, dx, dy))
        return Value(status);
    copyChannel(*p, *src, rect, dx, dy, integer(vm, args, 3), integer(vm, args, 4));
    return Value(-1);
}

Value bitmapColorTransform(Vm& vm, const Value& self, Args args)
{
    PixelBuffer* p = live(self);
    if (!p || args.size() < 2)
        return Value(-1);
    IntRect rect;
    if (!readRect(vm, args[0], rect))
        return Value(-2);
    ColorTransformValues c;
    if (!readColorTransform(args[1], c))
        return Value(-3);
    colorTransform(*p, rect, c);
    return Value(-1);
}

Value bitmapCompare(Vm& vm, const Value& self, Args args)
{
    PixelBuffer* p = live(self);
    if (!p || args.empty())
        return Value(-1);
    PixelBuffer* other = live(args[0]);
    if (!other)
        return Value(-2);
    if (other->width() != p->width())
        return Value(-3);
    if (other->height() != p->height())
        return Value(-4);
    auto difference = std::make_shared<PixelBuffer>();
    if (!compareBuffers(*p, *other, *difference))
        return Value(0);
    if (!difference->valid())
        throw script::ScriptAbort{script::ScriptAbort::Reason::Memory};
    return wrap(vm, nativeOf<BitmapDataState>(self)->cls, std::move(difference));
}

// Without an alpha multiplier the source's alpha is taken whole.
Value bitmapMerge(Vm& vm, const Value& self, Args args)
{
    PixelBuffer* p = live(self);
    if (!p || args.size() < 6)
        return Value(-1);
    PixelBuffer* src;
    IntRect rect;
    int32_t dx, dy;
    if (int status = readCopyArguments(vm, args, src, rect, dx, dy))
        return Value(status);
    const int multipliers[4] = {integer(vm, args, 3), integer(vm, args, 4), integer(vm, args, 5),
                                args.size() > 6 ? integer(vm, args, 6) : 256};
    merge(*p, *src, rect, dx, dy, multipliers);
    return Value(-1);
}

Value bitmapNoise(Vm& vm, const Value& self, Args args)
{
    PixelBuffer* p = live(self);
    if (!p || args.empty())
        return Value(-1);
    int32_t low = args.size() > 1 ? integer(vm, args, 1) : 0;
    int32_t high = args.size() > 2 ? integer(vm, args, 2) : 255;
    int32_t channels = args.size() > 3 ? integer(vm, args, 3) : kRed | kGreen | kBlue;
    noise(*p, integer(vm, args, 0), low, high, channels, vm.toBoolean(args[4]));
    return Value(0);
}

// A table is any object, read at 0 to 255; anything else keeps its channel.
bool readTable(Vm& vm, const Value& v, uint32_t* table)
{
    Object* o = v.object();
    if (!o)
        return false;
    for (int i = 0; i < 256; ++i)
        table[i] = script::toUint32(vm.toNumber(o->get(vm, vm.numberToString(i))));
    return true;
}

Value bitmapPaletteMap(Vm& vm, const Value& self, Args args)
{
    PixelBuffer* p = live(self);
    if (!p || args.size() < 4)
        return Value(-1);
    PixelBuffer* src;
    IntRect rect;
    int32_t dx, dy;
    if (int status = readCopyArguments(vm, args, src, rect, dx, dy))
        return Value(status);
    std::vector<uint32_t> storage(4 * 256);
    const uint32_t* tables[4];
    for (int i = 0; i < 4; ++i)
        tables[i] = readTable(vm, args[3 + i], &storage[i * 256]) ? &storage[i * 256] : nullptr;
    paletteMap(*p, *src, rect, dx, dy, tables);
    return Value(-1);
}

Value bitmapPixelDissolve(Vm& vm, const Value& self, Args args)
{
    PixelBuffer* p = live(self);
    if (!p || args.size() < 5)
        return Value(-1);
    PixelBuffer* src;
    IntRect rect;
    int32_t dx, dy;
    if (int status = readCopyArguments(vm, args, src, rect, dx, dy))
        return Value(status);
    return Value(pixelDissolve(*p, *src, rect, dx, dy, integer(vm, args, 3), integer(vm, args, 4), color(vm, args, 5)));
}

Value bitmapPerlinNoise(Vm& vm, const Value& self, Args args)
{
    PixelBuffer* p = live(self);
    if (!p || args.size() < 6)
        return Value(-1);
    PerlinOptions o;
    o.baseX = vm.toNumber(args[0]);
    o.baseY = vm.toNumber(args[1]);
    o.octaves = integer(vm, args, 2);
    o.seed = integer(vm, args, 3);
    o.stitch = vm.toBoolean(args[4]);
    o.fractal = vm.toBoolean(args[5]);
    o.channels = args.size() > 6 ? integer(vm, args, 6) : kRed | kGreen | kBlue;
    o.grayScale = vm.toBoolean(args[7]);
    std::vector<double> offsets;
    if (Object* list = args[8].object()) {
        // As many as there are octaves; each a point, or (0, 0).
        int count = std::max(0, std::min(o.octaves, 256));
        for (int i = 0; i < count; ++i) {
            Value point = list->get(vm, vm.numberToString(i));
            offsets.push_back(numberMember(vm, point, "x"));
            offsets.push_back(numberMember(vm, point, "y"));
        }
    }
    o.offsets = offsets.data();
    o.offsetCount = static_cast<int>(offsets.size() / 2);
    perlinNoise(*p, o);
    return Value(0);
}

Value bitmapScroll(Vm& vm, const Value& self, Args args)
{
    PixelBuffer* p = live(self);
    if (!p || args.size() < 2)
        return Value(-1);
    scroll(*p, integer(vm, args, 0), integer(vm, args, 1));
    return Value(0);
}

bool thresholdOp(Vm& vm, const Value& v, ThresholdOp& op)
{
    if (!v.isString())
        return false;
    std::u16string_view s = vm.toString(v)->view();
    static const struct {
        const char16_t* text;
        ThresholdOp op;
    } ops[] = {{u"<", ThresholdOp::Less},         {u"<=", ThresholdOp::LessEqual}, {u">", ThresholdOp::Greater},
               {u">=", ThresholdOp::GreaterEqual}, {u"==", ThresholdOp::Equal},     {u"!=", ThresholdOp::NotEqual}};
    for (const auto& entry : ops)
        if (s == entry.text) {
            op = entry.op;
            return true;
        }
    return false;
}

Value bitmapThreshold(Vm& vm, const Value& self, Args args)
{
    PixelBuffer* p = live(self);
    if (!p || args.size() < 5)
        return Value(-1);
    PixelBuffer* src;
    IntRect rect;
    int32_t dx, dy;
    if (int status = readCopyArguments(vm, args, src, rect, dx, dy))
        return Value(status);
    ThresholdOp op;
    if (!thresholdOp(vm, args[3], op))
        return Value(0);
    uint32_t mask = args.size() > 6 ? color(vm, args, 6) : 0xffffffffu;
    return Value(threshold(*p, *src, rect, dx, dy, op, color(vm, args, 4), color(vm, args, 5), mask,
                           vm.toBoolean(args[7])));
}

Value bitmapFloodFill(Vm& vm, const Value& self, Args args)
{
    PixelBuffer* p = live(self);
    if (!p || args.size() < 3)
        return Value(-1);
    return Value(floodFill(*p, integer(vm, args, 0), integer(vm, args, 1), color(vm, args, 2)) ? 1 : 0);
}

Value bitmapHitTest(Vm& vm, const Value& self, Args args)
{
    PixelBuffer* p = live(self);
    if (!p || args.size() < 3)
        return Value(-1);
    int32_t x, y;
    if (!readPoint(vm, args[0], x, y))
        return Value(-2);
    int32_t threshold = integer(vm, args, 1);
    if (BitmapDataState* other = nativeOf<BitmapDataState>(args[2])) {
        if (!other->pixels || !other->pixels->valid())
            return Value(-3);
        int32_t bx = 0, by = 0;
        if (args.size() > 3 && !readPoint(vm, args[3], bx, by))
            return Value(-4);
        int32_t otherThreshold = args.size() > 4 ? integer(vm, args, 4) : 1;
        return Value(hitTestBitmap(*p, x, y, threshold, *other->pixels, bx, by, otherThreshold));
    }
    Object* o = args[2].object();
    if (!o)
        return Value(-3);
    IntRect rect;
    if (o->hasOwn(vm, vm.name("width")) && o->hasOwn(vm, vm.name("height"))) {
        if (!readRect(vm, args[2], rect))
            return Value(-3);
        return Value(hitTestRect(*p, x, y, threshold, rect));
    }
    int32_t px, py;
    if (!readPoint(vm, args[2], px, py))
        return Value(-3);
    return Value(hitTestPoint(*p, x, y, threshold, px, py));
}

Value bitmapGetColorBoundsRect(Vm& vm, const Value& self, Args args)
{
    PixelBuffer* p = live(self);
    if (!p || args.size() < 2)
        return Value(-1);
    bool find = args.size() < 3 || vm.toBoolean(args[2]);
    IntRect r = colorBounds(*p, color(vm, args, 0), color(vm, args, 1), find);
    return newRectangle(vm, r.x, r.y, r.width, r.height);
}

Value bitmapClone(Vm& vm, const Value& self, Args)
{
    PixelBuffer* p = live(self);
    if (!p)
        return Value(-1);
    auto copy = std::make_shared<PixelBuffer>();
    try {
        *copy = *p;
    } catch (const std::bad_alloc&) {
        throw script::ScriptAbort{script::ScriptAbort::Reason::Memory};
    }
    copy->touch();
    return wrap(vm, nativeOf<BitmapDataState>(self)->cls, std::move(copy));
}

Value bitmapDispose(Vm& vm, const Value& self, Args)
{
    if (BitmapDataState* s = nativeOf<BitmapDataState>(self)) {
        if (s->pixels)
            s->pixels->release();
        s->account(vm.heap());
    }
    return Value();
}

BitmapDataHooks* hooksOf(const Value& self)
{
    BitmapDataState* s = nativeOf<BitmapDataState>(self);
    return s && s->cls ? s->cls->hooks : nullptr;
}

Value bitmapDraw(Vm& vm, const Value& self, Args args)
{
    PixelBuffer* p = live(self);
    if (!p || args.empty())
        return Value(-1);
    if (BitmapDataHooks* hooks = hooksOf(self))
        hooks->draw(vm, *p, args);
    return Value();
}

Value bitmapApplyFilter(Vm& vm, const Value& self, Args args)
{
    PixelBuffer* p = live(self);
    if (!p || args.size() < 4)
        return Value(-1);
    PixelBuffer* src;
    IntRect rect;
    int32_t dx, dy;
    if (int status = readCopyArguments(vm, args, src, rect, dx, dy))
        return Value(status);
    BitmapDataHooks* hooks = hooksOf(self);
    return hooks ? hooks->applyFilter(vm, *p, *src, rect, dx, dy, args[3]) : Value(-1);
}

Value bitmapGenerateFilterRect(Vm& vm, const Value& self, Args args)
{
    PixelBuffer* p = live(self);
    if (!p || args.size() < 2)
        return Value(-1);
    IntRect rect;
    if (!readRect(vm, args[0], rect))
        return Value(-2);
    BitmapDataHooks* hooks = hooksOf(self);
    return hooks ? hooks->generateFilterRect(vm, *p, rect, args[1]) : Value(-1);
}

// BitmapData.loadBitmap(id): a new BitmapData with a copy of the library's
// bitmap; undefined when the movie exports none by that name.
Value bitmapLoadBitmap(Vm& vm, const Value& self, Args args)
{
    Object* ctor = self.object();
    auto* cls = ctor ? dynamic_cast<BitmapDataClass*>(ctor->native()) : nullptr;
    if (!cls || !cls->hooks || args.empty())
        return Value();
    bool transparent = true;
    const swf::Bitmap* bitmap = cls->hooks->exportedBitmap(vm, vm.toString(args[0]), transparent);
    if (!bitmap || !sizeAllowed(vm.version(), bitmap->width, bitmap->height) ||
        bitmap->pixels.size() != static_cast<std::size_t>(bitmap->width) * bitmap->height)
        return Value();
    auto pixels = std::make_shared<PixelBuffer>();
    if (!pixels->allocate(bitmap->width, bitmap->height, transparent, 0))
        throw script::ScriptAbort{script::ScriptAbort::Reason::Memory};
    std::memcpy(pixels->pixels(), bitmap->pixels.data(), bitmap->pixels.size() * sizeof(uint32_t));
    if (!transparent)
        for (std::size_t i = 0; i < bitmap->pixels.size(); ++i)
            pixels->pixels()[i] |= 0xff000000u;
    return wrap(vm, cls, std::move(pixels));
}

void property(Vm& vm, Object* proto, const char* name, NativeFunction::Fn get)
{
    proto->defineVirtual(vm, vm.name(name), vm.newNative(get), nullptr, script::DontDelete);
}

} // namespace

std::shared_ptr<PixelBuffer> bitmapDataPixels(const Value& value)
{
    BitmapDataState* s = nativeOf<BitmapDataState>(value);
    return s ? s->pixels : nullptr;
}

void installBitmapData(Vm& vm, BitmapDataHooks* hooks)
{
    Object* package = flashPackage(vm, "display");
    Object* proto = vm.newObject();
    auto* cls = vm.heap().make<BitmapDataClass>(hooks, proto);
    proto->setNative(cls);
    NativeFunction* ctor = vm.newClass(bitmapDataCall, bitmapDataConstruct, proto);
    ctor->setNative(cls);
    property(vm, proto, "width", getWidth);
    property(vm, proto, "height", getHeight);
    property(vm, proto, "rectangle", getRectangle);
    property(vm, proto, "transparent", getTransparent);
    vm.methods(proto,
               {{"getPixel", getPixel},
                {"setPixel", setPixel},
                {"fillRect", bitmapFillRect},
                {"copyPixels", bitmapCopyPixels},
                {"applyFilter", bitmapApplyFilter},
                {"scroll", bitmapScroll},
                {"threshold", bitmapThreshold},
                {"draw", bitmapDraw},
                {"pixelDissolve", bitmapPixelDissolve},
                {"getPixel32", getPixel32},
                {"setPixel32", setPixel32},
                {"floodFill", bitmapFloodFill},
                {"getColorBoundsRect", bitmapGetColorBoundsRect},
                {"perlinNoise", bitmapPerlinNoise},
                {"colorTransform", bitmapColorTransform},
                {"hitTest", bitmapHitTest},
                {"paletteMap", bitmapPaletteMap},
                {"merge", bitmapMerge},
                {"noise", bitmapNoise},
                {"copyChannel", bitmapCopyChannel},
                {"clone", bitmapClone},
                {"dispose", bitmapDispose},
                {"generateFilterRect", bitmapGenerateFilterRect},
                {"compare", bitmapCompare}},
               script::DontDelete);
    vm.method(ctor, "loadBitmap", bitmapLoadBitmap, script::DontDelete);
    vm.constant(ctor, "RED_CHANNEL", Value(kRed), 0);
    vm.constant(ctor, "GREEN_CHANNEL", Value(kGreen), 0);
    vm.constant(ctor, "BLUE_CHANNEL", Value(kBlue), 0);
    vm.constant(ctor, "ALPHA_CHANNEL", Value(kAlpha), 0);
    package->define(vm, vm.name("BitmapData"), Value(ctor));
}

} // namespace swf::player
