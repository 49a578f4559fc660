// Where the corpus does not reach: the action subset, timeline semantics
// (moving, replacing, going back, labels, looping, buttons) and damaged input.
#include "swfcontrol/engine/draw/Renderer.h"
#include "swfcontrol/engine/format/ShapeReader.h"
#include "swfcontrol/engine/timeline/Actions.h"
#include "swfcontrol/engine/timeline/MoviePlayer.h"
#include "unit/SwfBuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {

using swftest::Bytes;

// ---------------------------------------------------------------------------
// Actions

// Logs what actions do; the clip named "mc" logs into the same record.
struct Recorder : swf::ActionHost {
    explicit Recorder(std::string* into = nullptr, std::string prefix = "") : out(into ? into : &log), name(prefix) {}
    std::string log;
    std::string* out;
    std::string name;
    void note(const std::string& s) { *out += name + s + ";"; }
    void play() override { note("play"); }
    void stop() override { note("stop"); }
    void nextFrame() override { note("next"); }
    void previousFrame() override { note("prev"); }
    void gotoFrame(uint32_t f, bool p) override { note("goto " + std::to_string(f) + (p ? " play" : "")); }
    void gotoLabel(const std::string& l, bool p) override { note("label " + l + (p ? " play" : "")); }
    void getUrl(const std::string& u, const std::string& t) override { note("url " + u + "|" + t); }
    std::shared_ptr<swf::ActionHost> find(const std::string& path) override
    {
        return path == "mc" ? std::make_shared<Recorder>(out, "mc.") : nullptr;
    }
};

Bytes str(const std::string& s)
{
    Bytes b(s.begin(), s.end());
    b.push_back(0);
    return b;
}

// An action record with its length field.
Bytes op(uint8_t code, const Bytes& body = Bytes())
{
    Bytes b{code};
    if (code >= 0x80) {
        b.push_back(static_cast<unsigned char>(body.size() & 0xff));
        b.push_back(static_cast<unsigned char>(body.size() >> 8));
        b.insert(b.end(), body.begin(), body.end());
    }
    return b;
}

Bytes cat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes pushString(const std::string& s) { return op(0x96, cat({{0}, str(s)})); }
Bytes pushInt(int32_t v)
{
    return op(0x96, {7, static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                     static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 24)});
}

TEST(Actions, RunTheSubsetAndStepOverTheRest)
{
    struct Row {
        const char* name;
        Bytes code;
        std::string expected;
    } rows[] = {
        {"timeline control", cat({op(0x07), op(0x06), op(0x04), op(0x05), op(0x81, {4, 0}), op(0x8c, str("end"))}),
         "stop;play;next;prev;goto 4;label end;"},
        {"GotoFrame2 counts from 1 and may play", cat({pushInt(3), op(0x9f, {1}), pushString("5"), op(0x9f, {0})}),
         "goto 2 play;goto 4;"},
        {"GotoFrame2 with a label, a clip's frame and a scene bias",
         cat({pushString(":intro"), op(0x9f, {0}), pushString("mc:3"), op(0x9f, {1}), pushString("nobody:3"), op(0x9f, {0}),
              pushInt(1), op(0x9f, {2, 10, 0})}),
         "label intro;mc.goto 2 play;goto 10;"},
        {"GetURL and GetURL2 with pooled constants",
         cat({op(0x83, cat({str("FSCommand:quit"), str("")})), op(0x88, cat({{2, 0}, str("FSCommand:a"), str("b")})),
              op(0x96, {8, 0, 8, 1}), op(0x9a, {0})}),
         "url FSCommand:quit|;url FSCommand:a|b;"},
        {"unknown actions are skipped and forget the stack",
         cat({pushString("x"), op(0x1c), op(0xaa, {1, 2, 3}), op(0x9f, {0}), op(0x07)}), "stop;"},
        {"If on a constant and a forward Jump", cat({pushInt(1), op(0x9d, {1, 0}), op(0x07), op(0x99, {1, 0}), op(0x06), op(0x04)}),
         "next;"},
        {"SetTarget sends timeline actions elsewhere",
         cat({op(0x8b, str("mc")), op(0x07), op(0x8b, str("none")), op(0x04), op(0x8b, str("")), op(0x06)}),
         "mc.stop;play;"},
        {"timeline methods called on a named clip",
         cat({pushInt(2), pushInt(1), pushString("mc"), op(0x1c), pushString("gotoAndPlay"), op(0x52), op(0x17),
              pushInt(0), pushString("mc"), op(0x1c), pushString("stop"), op(0x52),
              pushInt(0), pushString("nobody"), op(0x1c), pushString("play"), op(0x52)}),
         "mc.goto 1 play;mc.stop;"},
        {"a length past the end stops", cat({op(0x07), Bytes{0x81, 9, 0, 1}}), "stop;"},
        {"the end action stops", cat({op(0x07), Bytes{0}, op(0x06)}), "stop;"},
        {"a backward jump loops only up to the step limit", cat({op(0x07), op(0x99, {0xfa, 0xff})}),
         std::string(100, 's')},
    };
    for (const Row& row : rows) {
        Recorder r;
        swf::runActions(row.code.data(), row.code.size(), r, 200);
        if (row.expected.size() == 100 && row.expected[0] == 's')
            EXPECT_EQ(r.log, [] { std::string s; for (int i = 0; i < 100; ++i) s += "stop;"; return s; }()) << row.name;
        else
            EXPECT_EQ(r.log, row.expected) << row.name;
    }
}

// ---------------------------------------------------------------------------
// Movies written bit by bit

class Bits {
public:
    void put(unsigned n, uint32_t v)
    {
        for (unsigned i = n; i-- > 0;) {
            if (used_ == 0)
                out.push_back(0);
            if ((v >> i) & 1u)
                out.back() |= static_cast<unsigned char>(0x80u >> used_);
            used_ = (used_ + 1) % 8;
        }
    }
    void s(unsigned n, int32_t v) { put(n, static_cast<uint32_t>(v) & ((n < 32) ? ((1u << n) - 1) : ~0u)); }
    void align() { used_ = 0; }
    void u8(unsigned v) { align(); out.push_back(static_cast<unsigned char>(v)); }
    void u16(unsigned v) { u8(v & 0xff); u8(v >> 8); }
    Bytes out;

private:
    unsigned used_ = 0;
};

void rect(Bits& b, int x0, int x1, int y0, int y1)
{
    b.align();
    b.put(5, 20);
    b.s(20, x0);
    b.s(20, x1);
    b.s(20, y0);
    b.s(20, y1);
    b.align();
}

// A DefineShape: a closed outline through points (pixels) in one RGB colour.
Bytes polygon(uint16_t id, std::vector<std::pair<int, int>> points, uint8_t r, uint8_t g, uint8_t bl)
{
    int w = 0, h = 0;
    for (const auto& pt : points) {
        w = std::max(w, pt.first);
        h = std::max(h, pt.second);
    }
    Bits b;
    b.u16(id);
    rect(b, 0, w * 20, 0, h * 20);
    b.u8(1);
    b.u8(0);
    b.u8(r);
    b.u8(g);
    b.u8(bl);
    b.u8(0);
    b.put(4, 1);
    b.put(4, 0);
    b.put(6, 0x03); // style change: fill0 + moveTo
    b.put(5, 16);
    b.s(16, points[0].first * 20);
    b.s(16, points[0].second * 20);
    b.put(1, 1);
    for (std::size_t i = 0; i < points.size(); ++i) {
        const auto& from = points[i];
        const auto& to = points[(i + 1) % points.size()];
        b.put(2, 3);      // straight edge
        b.put(4, 16 - 2); // 16-bit deltas
        b.put(1, 1);
        b.s(16, (to.first - from.first) * 20);
        b.s(16, (to.second - from.second) * 20);
    }
    b.put(6, 0);
    b.align();
    return swftest::tag(2, b.out);
}

// A w x h pixel square at the origin.
Bytes square(uint16_t id, int w, int h, uint8_t r, uint8_t g, uint8_t bl)
{
    return polygon(id, {{0, 0}, {w, 0}, {w, h}, {0, h}}, r, g, bl);
}

// PlaceObject2: flags 0x01 move, 0x02 character, 0x04 matrix (translation in pixels), 0x20 name.
Bytes place(uint16_t depth, int character, int x = -1, int y = 0, bool move = false, uint16_t clipDepth = 0)
{
    Bits b;
    uint8_t flags = (move ? 0x01 : 0) | (character >= 0 ? 0x02 : 0) | (x >= 0 ? 0x04 : 0) | (clipDepth ? 0x40 : 0);
    b.u8(flags);
    b.u16(depth);
    if (character >= 0)
        b.u16(static_cast<unsigned>(character));
    if (x >= 0) {
        b.align();
        b.put(1, 0);
        b.put(1, 0);
        b.put(5, 20);
        b.s(20, x * 20);
        b.s(20, y * 20);
        b.align();
    }
    if (clipDepth)
        b.u16(clipDepth);
    return swftest::tag(26, b.out);
}

Bytes removeAt(uint16_t depth) { return swftest::tag(28, {static_cast<unsigned char>(depth), static_cast<unsigned char>(depth >> 8)}); }
Bytes showFrame() { return swftest::tag(1, {}); }
Bytes label(const std::string& l) { return swftest::tag(43, str(l)); }
Bytes doAction(const Bytes& code) { return swftest::tag(12, cat({code, {0}})); }

Bytes sprite(uint16_t id, uint16_t frames, const Bytes& tags)
{
    return swftest::tag(39, cat({{static_cast<unsigned char>(id), static_cast<unsigned char>(id >> 8),
                                  static_cast<unsigned char>(frames), 0},
                                 tags, {0, 0}}));
}

// A 40 x 40 pixel stage on white.
Bytes movie(const Bytes& tags)
{
    Bits b;
    rect(b, 0, 40 * 20, 0, 40 * 20);
    b.u16(24 << 8);
    b.u16(1);
    Bytes body = cat({b.out, swftest::tag(9, {255, 255, 255}), tags, {0, 0}});
    return swftest::plainFile(body, 10, static_cast<uint32_t>(body.size() + 8));
}

// The colour at a pixel as a letter: W white, R red, G green, B blue, ? other.
char at(swf::MoviePlayer& p, int x, int y)
{
    swf::Renderer r;
    p.render(r);
    uint32_t c = r.pixels()[y * r.width() + x] & 0xffffff;
    return c == 0xffffff ? 'W' : c == 0xff0000 ? 'R' : c == 0x00ff00 ? 'G' : c == 0x0000ff ? 'B' : '?';
}

TEST(Timeline, PlacesMovesReplacesRemovesAndGoesBack)
{
    // Frame 0: red at (0,0). 1: moved to (20,0). 2: replaced by green. 3: removed.
    Bytes m = movie(cat({square(1, 10, 10, 255, 0, 0), square(2, 10, 10, 0, 255, 0), place(1, 1, 0, 0), showFrame(),
                         place(1, -1, 20, 0, true), label("moved"), showFrame(), place(1, 2, -1, 0, true), showFrame(),
                         removeAt(1), showFrame()}));
    swf::MoviePlayer p;
    std::string reason;
    ASSERT_TRUE(p.load(m.data(), m.size(), reason)) << reason;
    EXPECT_EQ(p.totalFrames(), 4u);
    // Each step: what happens, then the pixels at (5,5) and (25,5).
    struct Step {
        const char* what;
        int action; // 0 advance, 1 gotoFrame(arg), 2 back
        uint32_t arg;
        const char* pixels;
        uint32_t frame;
    } steps[] = {
        {"first frame", -1, 0, "RW", 0}, {"moved", 0, 0, "WR", 1},      {"replaced in place", 0, 0, "WG", 2},
        {"removed", 0, 0, "WW", 3},       {"loops to the first", 0, 0, "RW", 0}, {"jump ahead", 1, 2, "WG", 2},
        {"back in time", 1, 0, "RW", 0},  {"back one", 1, 3, "WW", 3},   {"previous", 2, 0, "WG", 2},
    };
    for (const Step& s : steps) {
        if (s.action == 0)
            p.advance();
        else if (s.action == 1)
            p.gotoFrame(s.arg);
        else if (s.action == 2)
            p.back();
        std::string got{at(p, 5, 5), at(p, 25, 5)};
        EXPECT_EQ(got, s.pixels) << s.what;
        EXPECT_EQ(p.currentFrame(), s.frame) << s.what;
    }
    p.setLoop(false);
    p.play();
    p.gotoFrame(3);
    p.advance();
    EXPECT_EQ(p.currentFrame(), 3u) << "without loop the last frame stays";
    EXPECT_FALSE(p.isPlaying());

    // The host's stage colour is drawn instead of the movie's, across loads,
    // until it gives the movie's back.
    swf::Rgba red;
    red.r = 255;
    p.setBackgroundOverride(red);
    EXPECT_EQ(at(p, 25, 5), 'R');
    ASSERT_TRUE(p.load(m.data(), m.size(), reason)) << reason;
    EXPECT_EQ(at(p, 25, 5), 'R') << "after a new load";
    EXPECT_TRUE(p.background() == (swf::Rgba{255, 255, 255, 255})) << "the movie's own stays reported";
    p.setBackgroundOverride(std::nullopt);
    EXPECT_EQ(at(p, 25, 5), 'W');
}

TEST(Timeline, FrameActionsSpritesAndFsCommands)
{
    // The root stops itself in frame 0 and jumps by label from a sprite's
    // own frame 1; an FSCommand reaches the handler. The sprite shows blue
    // on its first frame and red after.
    Bytes m = movie(cat({square(1, 10, 10, 0, 0, 255), square(2, 10, 10, 255, 0, 0),
                         sprite(3, 2, cat({place(1, 1), showFrame(), place(1, 2, -1, 0, true),
                                           doAction(cat({op(0x07), op(0x83, cat({str("FSCommand:hello"), str("x")}))})),
                                           showFrame()})),
                         place(1, 3, 0, 0), doAction(op(0x07)), showFrame(), label("two"), place(2, 1, 20, 0), showFrame()}));
    swf::MoviePlayer p;
    std::string reason, commands;
    // The handler outlives loads: the control sets it once.
    p.setFsCommandHandler([&](const std::string& c, const std::string& a) { commands += c + "(" + a + ")"; });
    ASSERT_TRUE(p.load(m.data(), m.size(), reason)) << reason;
    EXPECT_FALSE(p.isPlaying());
    EXPECT_EQ(at(p, 5, 5), 'B');
    p.advance();
    EXPECT_EQ(p.currentFrame(), 0u) << "the root stopped itself";
    EXPECT_EQ(at(p, 5, 5), 'R') << "the sprite plays on";
    EXPECT_EQ(commands, "hello(x)");
    p.advance();
    EXPECT_EQ(at(p, 5, 5), 'R') << "the sprite stopped itself";
    EXPECT_EQ(commands, "hello(x)");
}

// PlaceObject2 of a sprite with onClipEvent handlers, each an FSCommand.
Bytes placeWithEvents(uint16_t depth, uint16_t character, std::initializer_list<std::pair<uint32_t, std::string>> events)
{
    Bytes b{0x82, static_cast<unsigned char>(depth), static_cast<unsigned char>(depth >> 8),
            static_cast<unsigned char>(character), static_cast<unsigned char>(character >> 8), 0, 0, 0, 0, 0, 0};
    for (const auto& e : events) {
        Bytes code = cat({op(0x83, cat({str("FSCommand:" + e.second), str("")})), {0}});
        Bytes head{static_cast<unsigned char>(e.first), 0, 0, 0, static_cast<unsigned char>(code.size()), 0, 0, 0};
        b = cat({b, head, code});
    }
    return swftest::tag(26, cat({b, {0, 0, 0, 0}}));
}

TEST(Timeline, ClipEventsLoadAndEnterFrame)
{
    Bytes m = movie(cat({square(1, 10, 10, 0, 0, 255), sprite(2, 1, cat({place(1, 1), showFrame()})),
                         placeWithEvents(1, 2, {{0x01, "load"}, {0x02, "tick"}}), showFrame()}));
    swf::MoviePlayer p;
    std::string reason, commands;
    p.setFsCommandHandler([&](const std::string& c, const std::string&) { commands += c + ";"; });
    ASSERT_TRUE(p.load(m.data(), m.size(), reason)) << reason;
    EXPECT_EQ(commands, "load;");
    p.advance();
    p.advance();
    EXPECT_EQ(commands, "load;tick;tick;");
    EXPECT_EQ(at(p, 5, 5), 'B');
}

TEST(Timeline, ClipDepthMasksWhatItCovers)
{
    // A 10 px mask at depth 1 clips depths 2..2; depth 3 is not clipped.
    Bytes m = movie(cat({square(1, 10, 10, 0, 0, 255), square(2, 30, 10, 255, 0, 0), square(3, 30, 10, 0, 255, 0),
                         place(1, 1, 0, 0, false, 2), place(2, 2, 0, 0), place(3, 3, 0, 20), showFrame()}));
    swf::MoviePlayer p;
    std::string reason;
    ASSERT_TRUE(p.load(m.data(), m.size(), reason)) << reason;
    std::string got{at(p, 5, 5), at(p, 25, 5), at(p, 25, 25)};
    EXPECT_EQ(got, "RWG");
}

// A sprite scaled twice as wide, its content 20 x 10 pixels: blue, with a
// red stripe 4 pixels wide along its left edge. Its scaling grid keeps the
// stripe 4 pixels wide; without one the stripe is 8 wide.
TEST(Timeline, ScalingGridKeepsCornersAtTheirSize)
{
    const auto scaledSprite = [] {
        Bits b;
        b.u8(0x06);
        b.u16(1);
        b.u16(3);
        b.align();
        b.put(1, 1);
        b.put(5, 20);
        b.s(20, 2 << 16);
        b.s(20, 1 << 16);
        b.put(1, 0);
        b.put(5, 1);
        b.s(1, 0);
        b.s(1, 0);
        b.align();
        return swftest::tag(26, b.out);
    };
    Bits grid;
    grid.u16(3);
    rect(grid, 5 * 20, 15 * 20, 0, 10 * 20);
    const Bytes content = cat({square(1, 4, 10, 255, 0, 0), square(2, 20, 10, 0, 0, 255),
                               sprite(3, 1, cat({place(1, 2), place(2, 1), showFrame()}))});
    for (bool withGrid : {false, true}) {
        SCOPED_TRACE(withGrid);
        Bytes m = movie(cat({content, withGrid ? swftest::tag(78, grid.out) : Bytes(), scaledSprite(), showFrame()}));
        swf::MoviePlayer p;
        std::string reason;
        ASSERT_TRUE(p.load(m.data(), m.size(), reason)) << reason;
        std::string got{at(p, 2, 5), at(p, 6, 5), at(p, 20, 5), at(p, 38, 5)};
        EXPECT_EQ(got, withGrid ? "RBBB" : "RRBB");
    }
}

// Edit text in a device font reaches the host's rasterizer, and what that
// covers is painted in the text's colour, frame after frame; without one
// nothing is drawn.
TEST(Timeline, DeviceTextIsDrawnByTheHost)
{
    class Blocks : public swf::DeviceTextRasterizer {
    public:
        std::vector<std::u32string> texts;
        bool rasterize(const swf::DeviceText& text, swf::DeviceCoverage& out) override
        {
            texts.push_back(text.text);
            out.x = static_cast<int>(text.left);
            out.y = static_cast<int>(text.top);
            out.width = out.height = 4;
            out.data.assign(16, 255);
            return true;
        }
    };
    Bits font; // DefineFont2 "_sans", no glyphs
    font.u16(1), font.u8(0), font.u8(0), font.u8(5);
    for (char c : std::string("_sans"))
        font.u8(static_cast<unsigned char>(c));
    font.u16(0);
    Bits edit; // DefineEditText 2: 0..400 twips square, "Hi" in red, font 1 at 240
    edit.u16(2);
    rect(edit, 0, 400, 0, 400);
    edit.u8(0x85), edit.u8(0x00);
    edit.u16(1), edit.u16(240), edit.u8(255), edit.u8(0), edit.u8(0), edit.u8(255);
    edit.u8(0), edit.u8('H'), edit.u8('i'), edit.u8(0);
    Bytes m = movie(cat({swftest::tag(48, font.out), swftest::tag(37, edit.out), place(1, 2, 10, 10), showFrame()}));
    for (bool host : {true, false}) {
        SCOPED_TRACE(host ? "with a rasterizer" : "without");
        swf::MoviePlayer p;
        Blocks blocks;
        if (host)
            p.setDeviceText(&blocks);
        std::string reason;
        ASSERT_TRUE(p.load(m.data(), m.size(), reason)) << reason;
        // The box starts inside the 2-pixel gutter: at (12, 12).
        std::string got{at(p, 11, 11), at(p, 13, 13), at(p, 16, 16)};
        EXPECT_EQ(got, host ? "WRW" : "WWW");
        // Drawn three times, rasterized once.
        EXPECT_EQ(blocks.texts, host ? std::vector<std::u32string>(1, U"Hi") : std::vector<std::u32string>());
    }
}

TEST(ShapeRecords, StyleArraysLineStyle2AndWinding)
{
    // DefineShape2: one fill and one line; an edge; new styles (two fills,
    // no lines) chosen in the same record; an edge; a fill index past the
    // new array; an edge.
    Bits b;
    rect(b, 0, 200, 0, 200);
    b.u8(1);
    b.u8(0);
    b.u8(255); b.u8(0); b.u8(0);
    b.u8(1);
    b.u16(20);
    b.u8(0); b.u8(0); b.u8(0);
    b.put(4, 1);
    b.put(4, 1);
    b.put(6, 0x0b); // line + fill0 + move
    b.put(5, 2); b.s(2, 0); b.s(2, 0);
    b.put(1, 1);    // fill0 = 1
    b.put(1, 1);    // line = 1
    auto edge = [&b](int dx) { b.put(2, 3); b.put(4, 14); b.put(1, 1); b.s(16, dx); b.s(16, 0); };
    edge(100);
    b.put(6, 0x12); // new styles + fill0, read with the old bit counts
    b.put(1, 1);
    b.u8(2);
    b.u8(0); b.u8(0); b.u8(255); b.u8(0);
    b.u8(0); b.u8(0); b.u8(0); b.u8(255);
    b.u8(0);
    b.put(4, 2);
    b.put(4, 0);
    edge(50);
    b.put(6, 0x04);
    b.put(2, 3); // fill1 = 3 in the new two bits: past the two new fills
    edge(-150);
    b.put(6, 0);
    swf::BitReader r(b.out.data(), b.out.size());
    swf::Shape shape;
    ASSERT_TRUE(swf::readDefineShape(r, 2, shape));
    ASSERT_EQ(shape.fills.size(), 3u);
    ASSERT_EQ(shape.lines.size(), 1u);
    ASSERT_EQ(shape.groups.size(), 2u);
    EXPECT_EQ(shape.groups[1].firstFill, 1u);
    EXPECT_EQ(shape.groups[1].firstEdge, 1u);
    ASSERT_EQ(shape.edges.size(), 3u);
    const uint32_t expected[3][3] = {{1, 0, 1}, {2, 0, 0}, {2, 0, 0}}; // fill0, fill1, line
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(shape.edges[i].fill0, expected[i][0]) << i;
        EXPECT_EQ(shape.edges[i].fill1, expected[i][1]) << i;
        EXPECT_EQ(shape.edges[i].line, expected[i][2]) << i;
    }
    EXPECT_EQ(shape.edges[2].x0, 150);
    EXPECT_EQ(shape.edges[2].x1, 0);

    // DefineShape4: edge bounds, the non-zero winding flag and a LINESTYLE2.
    Bits c;
    rect(c, 0, 200, 0, 200);
    rect(c, 10, 190, 10, 190);
    c.u8(0x04);
    c.u8(0);
    c.u8(1);
    c.u16(40);
    c.put(2, 2); c.put(2, 2); c.put(1, 0); c.put(1, 1); c.put(1, 0); c.put(1, 0); c.put(5, 0); c.put(1, 1); c.put(2, 1);
    c.u16(0x0380);
    c.u8(1); c.u8(2); c.u8(3); c.u8(4);
    c.put(4, 0);
    c.put(4, 1);
    c.put(6, 0);
    swf::BitReader r4(c.out.data(), c.out.size());
    ASSERT_TRUE(swf::readDefineShape(r4, 4, shape));
    EXPECT_TRUE(shape.nonZeroWinding);
    EXPECT_EQ(shape.edgeBounds.xMin, 10);
    ASSERT_EQ(shape.lines.size(), 1u);
    const swf::LineStyle& l = shape.lines[0];
    EXPECT_EQ(l.width, 40);
    EXPECT_EQ(l.startCap, swf::CapStyle::Square);
    EXPECT_EQ(l.endCap, swf::CapStyle::None);
    EXPECT_EQ(l.join, swf::JoinStyle::Miter);
    EXPECT_FLOAT_EQ(l.miterLimit, 3.5f);
    EXPECT_TRUE(l.noHScale);
    EXPECT_FALSE(l.noVScale);
    EXPECT_TRUE(l.noClose);
    EXPECT_EQ(l.color.a, 4);
}

// DefineButton2: up red, over green, down blue, hit area a triangle on the
// square's upper left half; on release inside it sends an FSCommand.
Bytes button(uint16_t id)
{
    Bytes records;
    const uint8_t states[] = {0x01, 0x02, 0x04, 0x08}, chars[] = {1, 2, 3, 5};
    for (int i = 0; i < 4; ++i)
        records.insert(records.end(), {states[i], chars[i], 0, static_cast<unsigned char>(i + 1), 0, 0, 0});
    records.push_back(0);
    Bytes action = cat({op(0x83, cat({str("FSCommand:clicked"), str("")})), {0}});
    Bytes body = cat({{static_cast<unsigned char>(id), static_cast<unsigned char>(id >> 8), 0,
                       static_cast<unsigned char>(records.size() + 2), 0},
                      records, {0, 0, 0x08, 0}, action});
    return swftest::tag(34, body);
}

TEST(Timeline, ButtonsFollowTheMouse)
{
    Bytes m = movie(cat({square(1, 10, 10, 255, 0, 0), square(2, 10, 10, 0, 255, 0), square(3, 10, 10, 0, 0, 255),
                         polygon(5, {{0, 0}, {10, 0}, {0, 10}}, 0, 0, 0), button(4), place(1, 4, 0, 0), showFrame()}));
    swf::MoviePlayer p;
    std::string reason, commands;
    ASSERT_TRUE(p.load(m.data(), m.size(), reason)) << reason;
    p.setFsCommandHandler([&](const std::string& c, const std::string&) { commands += c + ";"; });
    struct Step {
        const char* what;
        char event; // m move, d down, u up
        double x, y;
        char pixel;
        const char* commands;
        bool overButton;
    } steps[] = {
        {"up until the mouse comes", 0, 0, 0, 'R', "", false},
        {"outside the hit area's outline", 'm', 8, 8, 'R', "", false},
        {"over", 'm', 3, 3, 'G', "", true},
        {"down", 'd', 0, 0, 'B', "", true},
        {"released inside", 'u', 0, 0, 'G', "clicked;", true},
        {"away", 'm', 30, 30, 'R', "clicked;", false},
        {"pressed outside", 'd', 0, 0, 'R', "clicked;", false},
        {"dragged in", 'm', 3, 3, 'G', "clicked;", true},
        {"released", 'u', 0, 0, 'G', "clicked;", true},
        {"pressed inside", 'd', 0, 0, 'B', "clicked;", true},
        {"dragged out", 'm', 30, 30, 'R', "clicked;", false},
        {"released outside", 'u', 0, 0, 'R', "clicked;", false},
    };
    for (const Step& s : steps) {
        if (s.event == 'm')
            p.mouseMove(s.x, s.y);
        else if (s.event == 'd')
            p.mouseDown();
        else if (s.event == 'u')
            p.mouseUp();
        EXPECT_EQ(at(p, 5, 5), s.pixel) << s.what;
        EXPECT_EQ(commands, s.commands) << s.what;
        EXPECT_EQ(p.overButton(), s.overButton) << s.what;
    }
}

TEST(Timeline, DamagedInputLoadsWhatIsSound)
{
    Bytes good = square(1, 10, 10, 255, 0, 0);
    Bytes truncatedShape(good.begin(), good.begin() + 12);
    truncatedShape[0] = static_cast<unsigned char>((2 << 6) | 10);
    struct Row {
        const char* name;
        Bytes tags;
        char pixel;
    } rows[] = {
        {"a shape cut short", cat({truncatedShape, place(1, 1, 0, 0), showFrame()}), 'W'},
        {"an id of no character", cat({place(1, 9, 0, 0), showFrame()}), 'W'},
        {"sprites that place each other", cat({good, sprite(2, 1, cat({place(1, 3), place(2, 3), place(3, 1), showFrame()})),
                                               sprite(3, 1, cat({place(1, 2), place(2, 2), showFrame()})),
                                               place(1, 2, 0, 0), showFrame()}), 'R'},
        {"a move to an empty depth and a removal of nothing", cat({place(5, -1, 3, 3, true), removeAt(7), showFrame()}), 'W'},
        {"a tag longer than the file", cat({good, Bytes{0x3f, 0x00, 0xff, 0xff, 0xff, 0x7f}}), 'W'},
    };
    for (const Row& row : rows) {
        Bytes m = movie(row.tags);
        swf::MoviePlayer p;
        std::string reason;
        ASSERT_TRUE(p.load(m.data(), m.size(), reason)) << row.name << ": " << reason;
        for (int i = 0; i < 3; ++i)
            p.advance();
        EXPECT_EQ(at(p, 5, 5), row.pixel) << row.name;
    }
    const Bytes notMovies[] = {Bytes{'F', 'W', 'S'}, Bytes{'X', 'W', 'S', 10, 20, 0, 0, 0},
                               swftest::plainFile(Bytes{0xff}, 10, 9), swftest::compressedFile(Bytes(), 10, 100)};
    for (const Bytes& bad : notMovies) {
        swf::MoviePlayer p;
        std::string reason;
        EXPECT_FALSE(p.load(bad.data(), bad.size(), reason));
        EXPECT_FALSE(reason.empty());
    }
}

} // namespace
