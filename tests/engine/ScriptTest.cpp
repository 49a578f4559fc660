// The script layer where the corpus does not reach: conversions at their
// edges, the collector, and the limits that keep bad code from harming the
// player.
#include "swfcontrol/engine/script/Convert.h"
#include "swfcontrol/engine/script/Vm.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

using namespace swf::script;

namespace {

class TestHost : public Host {
public:
    std::vector<std::string> lines;
    void trace(std::u16string_view line) override { lines.push_back(encodeUtf8(line)); }
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

// Action records, written by hand.
struct Code {
    std::vector<uint8_t> bytes;
    Code& op(uint8_t action)
    {
        bytes.push_back(action);
        return *this;
    }
    Code& record(uint8_t action, std::vector<uint8_t> payload)
    {
        bytes.push_back(action);
        bytes.push_back(static_cast<uint8_t>(payload.size()));
        bytes.push_back(static_cast<uint8_t>(payload.size() >> 8));
        bytes.insert(bytes.end(), payload.begin(), payload.end());
        return *this;
    }
    Code& pushString(const std::string& s)
    {
        std::vector<uint8_t> p{0};
        p.insert(p.end(), s.begin(), s.end());
        p.push_back(0);
        return record(ActPush, p);
    }
    Code& pushInt(int32_t v)
    {
        uint32_t u = static_cast<uint32_t>(v);
        return record(ActPush, {7, static_cast<uint8_t>(u), static_cast<uint8_t>(u >> 8), static_cast<uint8_t>(u >> 16),
                                static_cast<uint8_t>(u >> 24)});
    }
    Code& jump(int16_t offset)
    {
        uint16_t u = static_cast<uint16_t>(offset);
        return record(ActJump, {static_cast<uint8_t>(u), static_cast<uint8_t>(u >> 8)});
    }
    // `name` = a function of no parameters with this body.
    Code& function(const std::string& name, const Code& body)
    {
        std::vector<uint8_t> p(name.begin(), name.end());
        p.push_back(0);
        p.insert(p.end(), {0, 0, static_cast<uint8_t>(body.bytes.size()), static_cast<uint8_t>(body.bytes.size() >> 8)});
        record(ActDefineFunction, p);
        bytes.insert(bytes.end(), body.bytes.begin(), body.bytes.end());
        return *this;
    }
    Code& call(const std::string& name)
    {
        pushInt(0).pushString(name);
        return op(ActCallFunction);
    }
};

struct Runner {
    explicit Runner(VmLimits limits = VmLimits()) : vm(host, limits) {}
    bool run(const Code& code, unsigned version = 8)
    {
        vm.beginSlice();
        return vm.run(vm.code(code.bytes.data(), code.bytes.size(), version), nullptr);
    }
    TestHost host;
    Vm vm;
};

} // namespace

TEST(ScriptConversions, NumbersPrintAsFlashPlayerPrintsThem)
{
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        double value;
        const char* text;
    } cases[] = {
        {0, "0"},
        {-0.0, "0"},
        {0.1 + 0.2, "0.3"},
        {1.0 / 3, "0.333333333333333"},
        {123456789012345, "123456789012345"},
        {1e15, "1e+15"},
        {1234567890123456, "1.23456789012346e+15"},
        {-2.5e20, "-2.5e+20"},
        {0.000001, "0.000001"},
        {1.5e-7, "1.5e-7"},
        {5e-324, "4.94065645841247e-324"},
        {std::nan(""), "NaN"},
        {-inf, "-Infinity"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(numberToAscii(c.value), c.text) << c.text;
    EXPECT_EQ(encodeUtf8(numberToRadix(255, 16)), "ff");
    EXPECT_EQ(encodeUtf8(numberToRadix(-8, 2)), "-1000");
}

TEST(ScriptConversions, StringsReadAsTheirVersionReadsThem)
{
    struct Case {
        const char16_t* text;
        unsigned version;
        double value; // NaN: NaN
    } cases[] = {
        {u"150a", 4, 150},  {u"ab", 4, 0},       {u"", 4, 0},       {u"0x10", 4, 0},
        {u"", 5, NAN},      {u"0x10", 5, NAN},   {u"010", 5, 10},   {u" 12 ", 5, 12},
        {u"0x10", 6, 16},   {u"-0x10", 6, -16},  {u"010", 6, 8},    {u"019", 6, 19},
        {u"1e3", 7, 1000},  {u"1e", 7, NAN},     {u"12px", 7, NAN}, {u".5", 7, 0.5},
    };
    for (const Case& c : cases) {
        double got = parseNumber(c.text, c.version);
        if (std::isnan(c.value))
            EXPECT_TRUE(std::isnan(got)) << encodeUtf8(c.text) << " v" << c.version;
        else
            EXPECT_EQ(got, c.value) << encodeUtf8(c.text) << " v" << c.version;
    }
}

TEST(ScriptConversions, BitOperatorsWrapToInt32)
{
    struct Case {
        double in;
        int32_t out;
    } cases[] = {{4294967297.0, 1}, {2147483648.0, INT32_MIN}, {-1.5, -1}, {NAN, 0}, {INFINITY, 0}, {-4294967295.0, 1}};
    for (const Case& c : cases)
        EXPECT_EQ(toInt32(c.in), c.out) << c.in;
}

TEST(ScriptCollector, FreesCyclesAndKeepsWhatADeepCallHolds)
{
    Runner r;
    r.vm.global()->define(r.vm, r.vm.name("collect"), Value(r.vm.newNative([](Vm& vm, const Value&, Args) {
                              vm.collectNow();
                              return Value();
                          })));
    r.vm.collectNow();
    std::size_t before = r.vm.heap().cells();
    // Objects that point at each other and at nothing else.
    Code cycles;
    for (int i = 0; i < 100; ++i) {
        cycles.pushString("a").pushInt(0).op(ActInitObject).op(ActDefineLocal);
        cycles.pushString("b").pushInt(0).op(ActInitObject).op(ActDefineLocal);
        cycles.pushString("a").op(ActGetVariable).pushString("other").pushString("b").op(ActGetVariable).op(ActSetMember);
        cycles.pushString("b").op(ActGetVariable).pushString("other").pushString("a").op(ActGetVariable).op(ActSetMember);
    }
    cycles.pushString("a").op(ActDelete2).op(ActPop).pushString("b").op(ActDelete2).op(ActPop);
    ASSERT_TRUE(r.run(cycles));
    r.vm.collectNow();
    EXPECT_LE(r.vm.heap().cells(), before + 8);

    // deep(n): a local object, a call 60 deeper that collects, then the
    // object is read again.
    Code body;
    body.pushString("o").pushString("v").pushInt(42).pushInt(1).op(ActInitObject).op(ActDefineLocal);
    body.pushString("n").op(ActGetVariable).op(ActNot);
    Code inner;
    inner.call("collect").op(ActPop);
    Code recurse;
    recurse.pushString("n").op(ActGetVariable).op(ActDecrement).pushInt(1).pushString("deep").op(ActCallFunction).op(ActPop);
    // if (!n) collect(); else deep(n - 1);
    body.record(ActIf, {static_cast<uint8_t>(recurse.bytes.size() + 5), 0});
    body.bytes.insert(body.bytes.end(), recurse.bytes.begin(), recurse.bytes.end());
    body.jump(static_cast<int16_t>(inner.bytes.size()));
    body.bytes.insert(body.bytes.end(), inner.bytes.begin(), inner.bytes.end());
    body.pushString("o").op(ActGetVariable).pushString("v").op(ActGetMember).op(ActTrace);
    // deep takes n as its parameter.
    Code program;
    std::vector<uint8_t> p{'d', 'e', 'e', 'p', 0, 1, 0, 'n', 0};
    p.push_back(static_cast<uint8_t>(body.bytes.size()));
    p.push_back(static_cast<uint8_t>(body.bytes.size() >> 8));
    program.record(ActDefineFunction, p);
    program.bytes.insert(program.bytes.end(), body.bytes.begin(), body.bytes.end());
    program.pushInt(60).pushInt(1).pushString("deep").op(ActCallFunction).op(ActPop);
    ASSERT_TRUE(r.run(program));
    ASSERT_EQ(r.host.lines.size(), 61u);
    for (const std::string& line : r.host.lines)
        EXPECT_EQ(line, "42");
}

TEST(ScriptLimits, BadCodeStopsItselfAndNothingElse)
{
    VmLimits limits;
    limits.heapBytes = 32u << 20;
    limits.sliceSteps = 1000000;
    Runner r(limits);

    // Endless loop: stopped by the slice's budget; the movie goes on.
    Code loop;
    loop.jump(-5);
    EXPECT_FALSE(r.run(loop));
    EXPECT_FALSE(r.vm.disabled());

    // A string that doubles until memory ends.
    Code doubling;
    doubling.pushString("s").pushString("xxxxxxxxxxxxxxxx").op(ActSetVariable);
    Code grow;
    grow.pushString("s").pushString("s").op(ActGetVariable).pushString("s").op(ActGetVariable).op(ActAdd2);
    grow.op(ActSetVariable).pushString("s").op(ActGetVariable).pushInt(0).pushString("charAt").op(ActCallMethod).op(ActPop);
    doubling.bytes.insert(doubling.bytes.end(), grow.bytes.begin(), grow.bytes.end());
    doubling.jump(static_cast<int16_t>(-static_cast<int>(grow.bytes.size()) - 5));
    EXPECT_FALSE(r.run(doubling));
    EXPECT_LE(r.vm.heap().bytes(), limits.heapBytes);

    // A huge array.
    Code huge;
    huge.pushString("a").pushInt(0).pushString("Array").op(ActNewObject).op(ActSetVariable);
    huge.pushString("a").op(ActGetVariable).pushInt(100000000).pushInt(1).op(ActSetMember);
    EXPECT_FALSE(r.run(huge));

    // Underflow, absurd registers and a jump out of the block read as
    // undefined, do nothing and end the block.
    Code odd;
    odd.op(ActPop).op(ActAdd2).op(ActTrace).record(ActStoreRegister, {200}).record(ActPush, {4, 250}).op(ActTrace);
    odd.jump(30000).pushString("not reached").op(ActTrace);
    EXPECT_TRUE(r.run(odd));
    EXPECT_EQ(r.host.lines, (std::vector<std::string>{"NaN", "undefined"}));

    // Recursion past the limit disables the movie's scripts, as in Flash
    // Player.
    Code recursion;
    Code callSelf;
    callSelf.call("f");
    recursion.function("f", callSelf).call("f");
    EXPECT_FALSE(r.run(recursion));
    EXPECT_TRUE(r.vm.disabled());
    EXPECT_FALSE(r.run(odd));
}
