// The Flash Player classes of engine/player where the corpus does not
// reach: Matrix's methods, Transform and BitmapData through the hooks the
// movie provides, the script heap holding pixels, clipping at the edges of
// the int range, and the order pixelDissolve visits pixels in.
#include "swfcontrol/engine/player/BitmapData.h"
#include "swfcontrol/engine/player/Geom.h"
#include "swfcontrol/engine/script/Vm.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>
#include <vector>

using namespace swf::script;
using namespace swf::player;

namespace {

class TestHost : public Host {
public:
    void trace(std::u16string_view) override {}
    double now() override { return 0; }
    double dateNow() override { return 0; }
    double localOffsetMinutes(double) override { return 0; }
    Object* root(Object*) override { return nullptr; }
    Object* level(uint32_t) override { return nullptr; }
    void play(Object*) override {}
    void stop(Object*) override {}
    void nextFrame(Object*) override {}
    void prevFrame(Object*) override {}
    void gotoFrame(Object*, uint32_t, bool) override {}
    int64_t frameOfLabel(Object*, String*) override { return -1; }
    uint32_t currentFrame(Object*) override { return 0; }
    bool frameLoaded(Object*, uint32_t) override { return true; }
    void callFrame(Object*, uint32_t) override {}
    void cloneSprite(Object*, String*, int32_t) override {}
    void removeSprite(Object*) override {}
    void startDrag(Object*, bool, const double*) override {}
    void stopDrag() override {}
    void getUrl(Object*, String*, const Value&, uint8_t) override {}
    String* targetPath(Object*, bool) override { return nullptr; }
    void toggleQuality() override {}
    void stopSounds() override {}
};

// A movie's player with the classes installed; values are made and called
// straight through the Vm, as natives see them.
struct Player {
    TestHost host;
    Vm vm;
    explicit Player(const VmLimits& limits = VmLimits()) : vm(host, limits) { installGeom(vm); }

    Value cls(const char* package, const char* name)
    {
        Value flash = vm.global()->get(vm, vm.name("flash"));
        Value p = flash.object()->get(vm, vm.name(package));
        return p.object()->get(vm, vm.name(name));
    }
    Value make(const char* package, const char* name, std::vector<Value> args)
    {
        return vm.construct(cls(package, name), Args(args.data(), args.size()));
    }
    Value call(const Value& on, const char* method, std::vector<Value> args)
    {
        return vm.callMethod(on, vm.name(method), Args(args.data(), args.size()));
    }
    Value get(const Value& on, const char* name) { return on.object()->get(vm, vm.name(name)); }
    void set(const Value& on, const char* name, const Value& v) { on.object()->set(vm, vm.name(name), v); }
    std::string text(const Value& v) { return vm.toString(v)->utf8(); }
};

TEST(GeomMatrix, MethodsComputeAsFlashPlayerDoes)
{
    const double pi = 3.141592653589793;
    struct Case {
        std::vector<Value> matrix;
        const char* method;
        std::vector<Value> args;
        const char* expect; // the matrix after, or what the method gave
    } cases[] = {
        {{}, "identity", {}, "(a=1, b=0, c=0, d=1, tx=0, ty=0)"},
        {{1, 2, 3, 4, 5, 6}, "identity", {}, "(a=1, b=0, c=0, d=1, tx=0, ty=0)"},
        // concat: the argument applies after the matrix.
        {{1, 2, 3, 4, 5, 6}, "concat", {}, "(a=2, b=4, c=6, d=8, tx=20, ty=32)"},
        {{2, 0, 0, 4, 10, 20}, "invert", {}, "(a=0.5, b=0, c=0, d=0.25, tx=-5, ty=-5)"},
        {{}, "rotate", {pi}, "(a=-1, b=1.22464679914735e-16, c=-1.22464679914735e-16, d=-1, tx=0, ty=0)"},
        {{1, 0, 0, 1, 5, 6}, "scale", {2, 3}, "(a=2, b=0, c=0, d=3, tx=10, ty=18)"},
        {{1, 0, 0, 1, 5, 6}, "translate", {5, -5}, "(a=1, b=0, c=0, d=1, tx=10, ty=1)"},
        {{}, "createBox", {2, 3, 0, 10, 20}, "(a=2, b=0, c=0, d=3, tx=10, ty=20)"},
        {{}, "createBox", {2, 3}, "(a=2, b=0, c=0, d=3, tx=0, ty=0)"},
        {{}, "createGradientBox", {1638.4, 819.2}, "(a=1, b=0, c=0, d=0.5, tx=819.2, ty=409.6)"},
        {{1, 2, 3, 4, 5, 6}, "transformPoint", {}, "(x=9, y=12)"},
        {{1, 2, 3, 4, 5, 6}, "deltaTransformPoint", {}, "(x=4, y=6)"},
        {{1, 2, 3, 4, 5, 6}, "clone", {}, "(a=1, b=2, c=3, d=4, tx=5, ty=6)"},
        // Fields keep what they were given until arithmetic reads them.
        {{1, 2}, "toString", {}, "(a=1, b=2, c=undefined, d=undefined, tx=undefined, ty=undefined)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.method);
        Player p;
        Value m = p.make("geom", "Matrix", c.matrix);
        std::vector<Value> args = c.args;
        if (std::string(c.method) == "concat")
            args = {p.make("geom", "Matrix", {2, 0, 0, 2, 10, 20})};
        if (std::string(c.method).find("ransformPoint") != std::string::npos)
            args = {p.make("geom", "Point", {1, 1})};
        Value result = p.call(m, c.method, args);
        Value shown = result.isObject() ? result : m;
        EXPECT_EQ(p.text(p.call(shown, "toString", {})), c.expect);
        if (std::string(c.method) == "clone")
            EXPECT_NE(result.object(), m.object());
    }
}

// The display layer's side of a Transform, recording what it is told.
class FakeTarget : public TransformTarget {
public:
    swf::Matrix m{2, 0, 0, 2, 30, 40};
    swf::ColorTransform c;
    Object* lastClip = nullptr;
    swf::Matrix matrix(Object* clip) override
    {
        lastClip = clip;
        return m;
    }
    void setMatrix(Object* clip, const swf::Matrix& to) override
    {
        lastClip = clip;
        m = to;
    }
    swf::Matrix concatenatedMatrix(Object*) override { return m * m; }
    swf::ColorTransform colorTransform(Object*) override { return c; }
    void setColorTransform(Object*, const swf::ColorTransform& to) override { c = to; }
    swf::ColorTransform concatenatedColorTransform(Object*) override { return c; }
    void pixelBounds(Object*, double& x, double& y, double& w, double& h) override
    {
        x = 1;
        y = 2;
        w = 3;
        h = 4;
    }
};

TEST(GeomTransform, ReadsAndWritesItsClipThroughTheTarget)
{
    Player p;
    FakeTarget target;
    installGeom(p.vm, &target);
    Object* clip = p.vm.heap().make<Object>(p.vm.protos.object, Object::Kind::Display);
    Value t = newTransform(p.vm, clip);
    ASSERT_TRUE(t.isObject());

    EXPECT_EQ(p.text(p.get(t, "matrix")), "(a=2, b=0, c=0, d=2, tx=30, ty=40)");
    EXPECT_EQ(target.lastClip, clip);
    EXPECT_EQ(p.text(p.get(t, "concatenatedMatrix")), "(a=4, b=0, c=0, d=4, tx=90, ty=120)");
    // A Matrix read is a copy: changing it changes nothing until written.
    Value m = p.get(t, "matrix");
    p.call(m, "translate", {5, 5});
    EXPECT_EQ(target.m.tx, 30);
    p.set(t, "matrix", m);
    EXPECT_EQ(target.m.tx, 35);

    Value ct = p.make("geom", "ColorTransform", {0.5, 1, 1, 1, 10, 0, 0, 0});
    p.set(t, "colorTransform", ct);
    EXPECT_FLOAT_EQ(target.c.mulR, 0.5f);
    EXPECT_FLOAT_EQ(target.c.addR, 10.0f);
    EXPECT_EQ(p.text(p.get(t, "colorTransform")), p.text(ct));
    // A plain object is no ColorTransform: nothing is written.
    p.set(t, "colorTransform", Value(p.vm.newObject()));
    EXPECT_FLOAT_EQ(target.c.mulR, 0.5f);
    EXPECT_EQ(p.text(p.get(t, "pixelBounds")), "(x=1, y=2, w=3, h=4)");

    // Only a clip has a Transform.
    EXPECT_TRUE(p.make("geom", "Transform", {Value(p.vm.newObject())}).isUndefined());
    EXPECT_TRUE(p.make("geom", "Transform", {}).isUndefined());
}

TEST(GeomColorTransform, DrawingValuesAreFiniteWhateverScriptsStore)
{
    ColorTransformValues v;
    v.redMultiplier = std::nan("");
    v.greenMultiplier = 1e300;
    v.blueOffset = -1e300;
    swf::ColorTransform c = v.toDrawing();
    EXPECT_EQ(c.mulR, 0.0f);
    EXPECT_TRUE(std::isfinite(c.mulG));
    EXPECT_TRUE(std::isfinite(c.addB));
    EXPECT_LT(c.addB, -255.0f);
}

// The movie's side of BitmapData, recording what it is asked.
class FakeHooks : public BitmapDataHooks {
public:
    int draws = 0;
    Value drawnSource;
    IntRect filterRect;
    int filterX = 0, filterY = 0;
    swf::Bitmap library;
    bool libraryTransparent = false;
    void draw(Vm&, PixelBuffer& target, Args args) override
    {
        ++draws;
        drawnSource = args[0];
        target.at(0, 0) = 0xff123456;
    }
    Value applyFilter(Vm&, PixelBuffer&, const PixelBuffer&, IntRect r, int x, int y, const Value&) override
    {
        filterRect = r;
        filterX = x;
        filterY = y;
        return Value(0);
    }
    Value generateFilterRect(Vm& vm, const PixelBuffer&, IntRect r, const Value&) override
    {
        return newRectangle(vm, r.x - 1, r.y - 1, r.width + 2, r.height + 2);
    }
    const swf::Bitmap* exportedBitmap(Vm&, String* linkage, bool& transparent) override
    {
        transparent = libraryTransparent;
        return linkage->utf8() == "logo" ? &library : nullptr;
    }
};

TEST(BitmapDataHooks, DrawFiltersAndLibraryGoToTheMovie)
{
    Player p;
    FakeHooks hooks;
    installBitmapData(p.vm, &hooks);
    Value b = p.make("display", "BitmapData", {4, 4, true, 0});
    Value source = Value(p.vm.newObject());
    p.call(b, "draw", {source});
    EXPECT_EQ(hooks.draws, 1);
    EXPECT_EQ(hooks.drawnSource.object(), source.object());
    EXPECT_EQ(p.vm.toNumber(p.call(b, "getPixel32", {0, 0})), static_cast<int32_t>(0xff123456));

    Value rect = p.make("geom", "Rectangle", {1, 2, 3, 4});
    Value point = p.make("geom", "Point", {5, 6});
    EXPECT_EQ(p.vm.toNumber(p.call(b, "applyFilter", {b, rect, point, Value(p.vm.newObject())})), 0);
    EXPECT_EQ(hooks.filterRect.x, 1);
    EXPECT_EQ(hooks.filterRect.height, 4);
    EXPECT_EQ(hooks.filterX, 5);
    EXPECT_EQ(hooks.filterY, 6);
    EXPECT_EQ(p.text(p.call(b, "generateFilterRect", {rect, Value(p.vm.newObject())})), "(x=0, y=1, w=5, h=6)");
    // A bad source answers as the other copies do, before the movie is asked.
    EXPECT_EQ(p.vm.toNumber(p.call(b, "applyFilter", {Value(p.vm.newObject()), rect, point, Value()})), -2);

    // loadBitmap copies the library's pixels; an opaque one stays opaque.
    hooks.library.width = 2;
    hooks.library.height = 1;
    hooks.library.pixels = {0x80402010, 0xff00ff00};
    Value loaded = p.call(p.cls("display", "BitmapData"), "loadBitmap", {Value(p.vm.strAscii("logo"))});
    ASSERT_TRUE(loaded.isObject());
    EXPECT_EQ(p.text(p.get(loaded, "transparent")), "false");
    EXPECT_EQ(p.vm.toNumber(p.call(loaded, "getPixel32", {0, 0})), static_cast<int32_t>(0xff402010));
    hooks.library.pixels[1] = 0;
    EXPECT_EQ(p.vm.toNumber(p.call(loaded, "getPixel32", {1, 0})), static_cast<int32_t>(0xff00ff00));
    EXPECT_TRUE(p.call(p.cls("display", "BitmapData"), "loadBitmap", {Value(p.vm.strAscii("none"))}).isUndefined());
}

TEST(BitmapDataHeap, PixelsCountAgainstTheScriptHeap)
{
    VmLimits limits;
    limits.heapBytes = std::size_t(24) << 20;
    Player p(limits);
    installBitmapData(p.vm);
    std::size_t before = p.vm.heap().bytes();
    Value b = p.make("display", "BitmapData", {2000, 2000});
    ASSERT_TRUE(b.isObject());
    EXPECT_GE(p.vm.heap().bytes() - before, std::size_t(16000000));
    // Past the heap's limit the script stops; nothing is half made.
    EXPECT_THROW(p.make("display", "BitmapData", {2880, 2880}), ScriptAbort);
    EXPECT_THROW(p.call(b, "clone", {}), ScriptAbort);
    p.call(b, "dispose", {});
    EXPECT_LT(p.vm.heap().bytes() - before, std::size_t(100000));
    EXPECT_EQ(p.vm.toNumber(p.get(b, "width")), -1);
    EXPECT_TRUE(p.make("display", "BitmapData", {2000, 2000}).isObject());
}

TEST(BitmapDataSubclass, ConstructorCalledOnAnObjectMakesItABitmap)
{
    Player p;
    installBitmapData(p.vm);
    Value proto = p.get(p.cls("display", "BitmapData"), "prototype");
    Object* o = p.vm.newObject(proto.object());
    std::vector<Value> args{20, 30};
    // As super(20, 30) calls it: the object comes back, with pixels.
    Value r = p.vm.call(p.cls("display", "BitmapData"), Value(o), Args(args.data(), args.size()));
    EXPECT_EQ(r.object(), o);
    std::shared_ptr<PixelBuffer> pixels = bitmapDataPixels(Value(o));
    ASSERT_TRUE(pixels);
    EXPECT_EQ(pixels->width(), 20);
    EXPECT_EQ(p.vm.toNumber(p.get(Value(o), "height")), 30);
    std::vector<Value> bad{0, 30};
    Object* other = p.vm.newObject(proto.object());
    EXPECT_TRUE(p.vm.call(p.cls("display", "BitmapData"), Value(other), Args(bad.data(), bad.size())).isUndefined());
    EXPECT_FALSE(bitmapDataPixels(Value(other)));
    // A native object of another kind (or the prototype, which keeps the
    // movie's hooks) stays what it is.
    Value ct = p.make("geom", "ColorTransform", {});
    EXPECT_TRUE(p.vm.call(p.cls("display", "BitmapData"), ct, Args(args.data(), args.size())).isUndefined());
    EXPECT_FALSE(bitmapDataPixels(ct));
    EXPECT_EQ(p.text(ct), "(redMultiplier=1, greenMultiplier=1, blueMultiplier=1, alphaMultiplier=1, redOffset=0, "
                          "greenOffset=0, blueOffset=0, alphaOffset=0)");
    EXPECT_TRUE(p.vm.call(p.cls("display", "BitmapData"), proto, Args(args.data(), args.size())).isUndefined());
}

// --- pixels alone --------------------------------------------------------------

PixelBuffer numbered(int w, int h)
{
    PixelBuffer b;
    b.allocate(w, h, false, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.at(x, y) = 0xff000000u | static_cast<uint32_t>(y * w + x);
    return b;
}

// copyPixels by the definition: each destination pixel that has a source
// pixel inside both bitmaps takes it.
PixelBuffer copiedByHand(const PixelBuffer& src, PixelBuffer dst, IntRect r, long long dx, long long dy)
{
    for (int y = 0; y < dst.height(); ++y)
        for (int x = 0; x < dst.width(); ++x) {
            long long sx = x - dx + r.x, sy = y - dy + r.y;
            bool inRect = sx >= r.x && sy >= r.y && sx < static_cast<long long>(r.x) + r.width &&
                          sy < static_cast<long long>(r.y) + r.height;
            if (inRect && sx >= 0 && sy >= 0 && sx < src.width() && sy < src.height())
                dst.at(x, y) = src.at(static_cast<int>(sx), static_cast<int>(sy));
        }
    return dst;
}

TEST(BitmapOps, CopiesClipAtEveryEdgeOfTheIntRange)
{
    const IntRect rects[] = {{0, 0, 5, 5},       {-2, -3, 5, 5},          {3, 3, 10, 10},
                             {INT_MIN, 0, 5, 5}, {0, 0, INT_MAX, INT_MAX}, {INT_MAX - 1, 0, 5, 5},
                             {1, 1, -3, 2},      {2, 1, 0, 0}};
    const int points[][2] = {{0, 0}, {-4, 2}, {3, -1}, {INT_MIN, INT_MIN}, {INT_MAX, 0}, {6, 6}};
    PixelBuffer src = numbered(6, 5);
    for (const IntRect& r : rects)
        for (const auto& pt : points) {
            SCOPED_TRACE(testing::Message() << r.x << "," << r.y << " " << r.width << "x" << r.height << " to "
                                            << pt[0] << "," << pt[1]);
            PixelBuffer dst;
            dst.allocate(7, 4, false, 0xffabcdef);
            PixelBuffer expect = copiedByHand(src, dst, r, pt[0], pt[1]);
            copyPixels(dst, src, r, pt[0], pt[1], nullptr, 0, 0, false);
            EXPECT_EQ(dst.bitmap().pixels, expect.bitmap().pixels);
        }
}

TEST(BitmapOps, ACopyOntoItselfReadsThePixelsFromBefore)
{
    for (int dx = -3; dx <= 3; ++dx)
        for (int dy = -3; dy <= 3; ++dy) {
            PixelBuffer b = numbered(8, 6);
            PixelBuffer expect = copiedByHand(b, b, {1, 1, 5, 4}, 1 + dx, 1 + dy);
            copyPixels(b, b, {1, 1, 5, 4}, 1 + dx, 1 + dy, nullptr, 0, 0, false);
            EXPECT_EQ(b.bitmap().pixels, expect.bitmap().pixels) << dx << "," << dy;
            PixelBuffer s = numbered(8, 6);
            PixelBuffer scrolled = copiedByHand(s, s, {0, 0, 8, 6}, dx, dy);
            scroll(s, dx, dy);
            EXPECT_EQ(s.bitmap().pixels, scrolled.bitmap().pixels) << dx << "," << dy;
        }
}

TEST(BitmapOps, PixelDissolveVisitsEveryPixelOnce)
{
    const int sizes[][2] = {{1, 1}, {2, 1}, {2, 2}, {3, 3}, {5, 7}, {16, 16}, {64, 64}, {300, 220}};
    for (const auto& size : sizes) {
        const int w = size[0], h = size[1], area = w * h;
        for (int32_t seed : {0, 1, -5, 12345, INT_MIN}) {
            SCOPED_TRACE(testing::Message() << w << "x" << h << " seed " << seed);
            PixelBuffer b;
            b.allocate(w, h, true, 0);
            // A few pixels: pixel 0, then that many more, all different.
            int some = area > 2 ? area / 2 : 0;
            pixelDissolve(b, b, {0, 0, w, h}, 0, 0, seed, some, 0xffffffff);
            int changed = 0;
            for (uint32_t v : b.bitmap().pixels)
                changed += v != 0;
            EXPECT_EQ(changed, area > 1 ? some + 1 : 1);
            // All of them, however many are asked for past that.
            int32_t next = pixelDissolve(b, b, {0, 0, w, h}, 0, 0, seed, INT_MAX, 0xffffffff);
            for (uint32_t v : b.bitmap().pixels)
                ASSERT_EQ(v, 0xffffffffu);
            if (area > 1) {
                EXPECT_GE(next, 1);
                EXPECT_LT(next, area);
            }
        }
    }
}

TEST(BitmapOps, FloodFillCoversLargeAreasWithoutRecursion)
{
    PixelBuffer b;
    b.allocate(1000, 700, true, 0);
    // A wall with one gap: the fill goes round through it.
    for (int y = 0; y < 699; ++y)
        b.at(500, y) = 0xff000000;
    EXPECT_TRUE(floodFill(b, 0, 0, 0xff00ff00));
    EXPECT_EQ(b.at(999, 0), 0xff00ff00u);
    EXPECT_EQ(b.at(500, 0), 0xff000000u);
    EXPECT_FALSE(floodFill(b, 5, 5, 0xff00ff00));
    EXPECT_FALSE(floodFill(b, -1, 5, 0xff0000ff));
    // Four neighbours only: a diagonal does not connect.
    PixelBuffer c;
    c.allocate(3, 3, true, 0);
    c.at(1, 0) = c.at(0, 1) = 0xffffffff;
    EXPECT_TRUE(floodFill(c, 0, 0, 0xff0000ff));
    EXPECT_EQ(c.at(2, 2), 0u);
}

TEST(BitmapOps, SizesOutOfRangeMakeNoPixels)
{
    PixelBuffer b;
    const int sizes[][2] = {{0, 1}, {1, 0}, {-1, 5}, {8192, 1}, {4096, 4096}, {INT_MAX, INT_MAX}};
    for (const auto& s : sizes) {
        EXPECT_FALSE(b.allocate(s[0], s[1], true, 0));
        EXPECT_FALSE(b.valid());
    }
    EXPECT_TRUE(b.allocate(8191, 1, true, 0));
}

} // namespace
