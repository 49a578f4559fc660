// Date and System where the corpus does not reach: zones west of Greenwich,
// summer time, half-hour offsets, and what System reports and ignores.
#include "swfcontrol/engine/script/Vm.h"
#include "swfcontrol/engine/script/lib/DateClass.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

namespace {

using namespace swf::script;

struct StubHost : Host {
    std::function<double(double)> offset = [](double) { return 0.0; };
    SystemInfo info;
    const char* sandbox = "localWithNetwork";
    void trace(std::u16string_view) override {}
    double now() override { return 0; }
    double dateNow() override { return 981152406000.0; }
    double localOffsetMinutes(double utcMs) override { return offset(utcMs); }
    SystemInfo systemInfo() override { return info; }
    const char* sandboxType(Object*) override { return sandbox; }
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

struct Script {
    StubHost host;
    Vm vm{host};

    Value date(std::vector<double> fields)
    {
        std::vector<Value> args(fields.begin(), fields.end());
        return vm.construct(Value(vm.ctors.date), Args(args.data(), args.size()));
    }
    Value call(const Value& on, const char* method, std::vector<Value> args = {})
    {
        return vm.callMethod(on, vm.name(method), Args(args.data(), args.size()));
    }
    Value get(const Value& on, const char* name) { return vm.toObject(on)->get(vm, vm.name(name)); }
    std::string text(const Value& v) { return vm.toString(v)->utf8(); }
};

// US Eastern in 2007: summer time from 11 March 07:00 to 4 November 06:00 UTC.
double eastern2007(double utc) { return utc >= 1173596400000.0 && utc < 1194156000000.0 ? -240 : -300; }

TEST(Date, LocalTimeInOtherZones)
{
    struct Case {
        const char* zone;
        std::function<double(double)> offset;
        std::vector<double> fields;
        const char* text;
        double timezoneOffset, utcHours;
    };
    const Case cases[] = {
        {"Pacific", [](double) { return -480.0; }, {2001, 1, 3, 4, 5, 6}, "Sat Feb 3 04:05:06 GMT-0800 2001", 480, 12},
        {"Eastern winter", eastern2007, {2007, 0, 15}, "Mon Jan 15 00:00:00 GMT-0500 2007", 300, 5},
        {"Eastern summer", eastern2007, {2007, 6, 4, 12}, "Wed Jul 4 12:00:00 GMT-0400 2007", 240, 16},
        // Just after the clocks went forward: the offset of the UTC time, not of the local fields.
        {"Eastern change", eastern2007, {2007, 2, 11, 3, 30}, "Sun Mar 11 03:30:00 GMT-0400 2007", 240, 7},
        {"Newfoundland", [](double) { return -210.0; }, {1999, 11, 31, 23, 59}, "Fri Dec 31 23:59:00 GMT-0330 1999",
         210, 3},
        {"Nepal", [](double) { return 345.0; }, {70, 0, 1}, "Thu Jan 1 00:00:00 GMT+0545 1970", -345, 18},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.zone);
        Script s;
        s.host.offset = c.offset;
        Value d = s.date(c.fields);
        EXPECT_EQ(s.text(s.call(d, "toString")), c.text);
        EXPECT_EQ(s.vm.toNumber(s.call(d, "getTimezoneOffset")), c.timezoneOffset);
        EXPECT_EQ(s.vm.toNumber(s.call(d, "getUTCHours")), c.utcHours);
    }
}

TEST(Date, SettersKeepLocalFieldsAcrossSummerTime)
{
    Script s;
    s.host.offset = eastern2007;
    Value d = s.date({2007, 0, 15, 9, 30});
    s.call(d, "setMonth", {Value(6)});
    EXPECT_EQ(s.text(d), "Sun Jul 15 09:30:00 GMT-0400 2007");
    s.call(d, "setHours", {Value(23), Value(59), Value(59), Value(999)});
    EXPECT_EQ(s.text(d), "Sun Jul 15 23:59:59 GMT-0400 2007");
    EXPECT_EQ(s.vm.toNumber(s.call(d, "getMilliseconds")), 999);
}

TEST(Date, ShapeOfTheClass)
{
    Script s;
    Value proto(s.vm.protos.date);
    // valueOf is getTime itself, and a date adds as its text.
    EXPECT_EQ(s.get(proto, "valueOf").object(), s.get(proto, "getTime").object());
    Value d = s.date({0});
    EXPECT_EQ(s.vm.toNumber(d), 0);
    EXPECT_EQ(s.vm.typeOf(s.vm.call(Value(s.vm.ctors.date), Value(), Args())), std::string("string"));
    EXPECT_EQ(s.text(s.vm.call(Value(s.vm.ctors.date), Value(), Args())), "Fri Feb 2 22:20:06 GMT+0000 2001");
    // Methods on what is not a date answer undefined and change nothing.
    Value plain(s.vm.newObject(s.vm.protos.date));
    for (const char* m : {"getTime", "getFullYear", "setFullYear", "setTime", "toString", "getTimezoneOffset"})
        EXPECT_TRUE(s.call(plain, m, {Value(5)}).isUndefined()) << m;
    // setYear maps 0 to 99 only; the constructor maps everything below 100.
    Value y = s.date({2000, 0});
    s.call(y, "setYear", {Value(-5)});
    EXPECT_EQ(s.vm.toNumber(s.call(y, "getFullYear")), -5);
    s.call(y, "setYear", {Value(99)});
    EXPECT_EQ(s.vm.toNumber(s.call(y, "getFullYear")), 1999);
    EXPECT_EQ(s.vm.toNumber(s.call(s.date({-5, 0}), "getFullYear")), 1895);
    ASSERT_NE(asDate(d), nullptr);
    EXPECT_EQ(asDate(plain), nullptr);
}

TEST(System, Capabilities)
{
    Script s;
    s.host.info.screenWidth = 1536;
    s.host.info.screenHeight = 864;
    s.host.info.playerType = "StandAlone";
    Value system = s.vm.global()->get(s.vm, s.vm.name("System"));
    Value caps = s.get(system, "capabilities");
    EXPECT_EQ(s.text(s.get(caps, "serverString")),
              "A=t&SA=t&SV=t&EV=t&MP3=t&AE=t&VE=t&ACC=t&PR=t&SP=t&SB=f&DEB=f&V=WIN%208%2C0%2C24%2C0"
              "&M=Macromedia%20Windows&R=1536x864&DP=72&COL=color&AR=1.0&OS=Windows%20XP&L=en&PT=StandAlone"
              "&AVD=f&LFD=f&IME=f");
    EXPECT_EQ(s.text(s.get(caps, "version")), "WIN 8,0,24,0");
    // Read-only, and they follow the host.
    s.vm.toObject(caps)->set(s.vm, s.vm.name("screenResolutionX"), Value(5));
    EXPECT_EQ(s.vm.toNumber(s.get(caps, "screenResolutionX")), 1536);
    s.host.info.screenWidth = 800;
    EXPECT_EQ(s.vm.toNumber(s.get(caps, "screenResolutionX")), 800);
    std::vector<String*> names;
    s.vm.toObject(caps)->enumerate(s.vm, names);
    EXPECT_EQ(names.size(), 26u);
}

TEST(System, SecurityAndSettings)
{
    Script s;
    Value system = s.vm.global()->get(s.vm, s.vm.name("System"));
    Value security = s.get(system, "security");
    EXPECT_EQ(s.text(s.get(security, "sandboxType")), "localWithNetwork");
    EXPECT_TRUE(s.call(security, "allowDomain", {Value(s.vm.strAscii("*"))}).isUndefined());
    EXPECT_TRUE(s.vm.toBoolean(s.call(system, "setClipboard", {Value(s.vm.strAscii("x"))})));
    EXPECT_FALSE(s.vm.toBoolean(s.get(system, "useCodepage")));
    // exactSettings follows the movie's version until a movie sets it.
    s.vm.setVersion(6);
    EXPECT_FALSE(s.vm.toBoolean(s.get(system, "exactSettings")));
    s.vm.setVersion(8);
    EXPECT_TRUE(s.vm.toBoolean(s.get(system, "exactSettings")));
    s.vm.toObject(system)->set(s.vm, s.vm.name("exactSettings"), Value(false));
    EXPECT_FALSE(s.vm.toBoolean(s.get(system, "exactSettings")));
    Value ime = s.get(system, "IME");
    EXPECT_EQ(s.text(s.get(ime, "KOREAN")), "KOREAN");
    EXPECT_FALSE(s.vm.toBoolean(s.call(ime, "setEnabled", {Value(true)})));
    EXPECT_TRUE(s.get(ime, "addListener").isObject());
}

} // namespace
