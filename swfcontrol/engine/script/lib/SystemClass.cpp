// System: capabilities (what a Windows Flash Player 8 reports, with the
// screen and the player's kind from the host), security (a local player's
// answers), IME (none in use), useCodepage, exactSettings, and the settings
// and clipboard calls, which do nothing here.
#include "swfcontrol/engine/script/Vm.h"
#include "swfcontrol/engine/script/lib/Library.h"

#include <cmath>
#include <cstddef>
#include <string>
#include <utility>

namespace swf::script {

namespace {

// --- capabilities ---------------------------------------------------------------

struct Flag {
    const char* name;
    const char* key; // in serverString
    bool value;
};

const Flag kFlags[] = {
    {"avHardwareDisable", "AVD", false},  {"hasAccessibility", "ACC", true},
    {"hasAudio", "A", true},              {"hasAudioEncoder", "AE", true},
    {"hasEmbeddedVideo", "EV", true},     {"hasIME", "IME", false},
    {"hasMP3", "MP3", true},              {"hasPrinting", "PR", true},
    {"hasScreenBroadcast", "SB", false},  {"hasScreenPlayback", "SP", true},
    {"hasStreamingAudio", "SA", true},    {"hasStreamingVideo", "SV", true},
    {"hasVideoEncoder", "VE", true},      {"isDebugger", "DEB", false},
    {"localFileReadDisable", "LFD", false},
};
constexpr int kFlagCount = int(sizeof(kFlags) / sizeof(kFlags[0]));

enum Other {
    Language,
    Manufacturer,
    Os,
    PixelAspectRatio,
    PlayerType,
    ScreenColor,
    ScreenDpi,
    ScreenResolutionX,
    ScreenResolutionY,
    ServerString,
    Version,
    kOtherCount
};
const char* const kOtherNames[kOtherCount] = {"language",        "manufacturer",      "os",
                                              "pixelAspectRatio", "playerType",        "screenColor",
                                              "screenDPI",        "screenResolutionX", "screenResolutionY",
                                              "serverString",     "version"};
const char kManufacturer[] = "Macromedia Windows";

bool flag(const char* key)
{
    for (const Flag& f : kFlags)
        if (std::string(f.key) == key)
            return f.value;
    return false;
}

// As escape() writes a value: letters and digits stay, the rest is %XX.
void appendEscaped(std::string& out, const std::string& text)
{
    static const char hex[] = "0123456789ABCDEF";
    for (unsigned char c : text) {
        if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
            out += char(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
}

std::string integerText(double d)
{
    return std::to_string(static_cast<long long>(std::isfinite(d) && std::fabs(d) < 1e9 ? d : 0));
}

// Every capability as key=value, in Flash Player's order.
std::string serverString(const Host::SystemInfo& info)
{
    std::string s;
    auto add = [&s](const char* key, const std::string& value) {
        if (!s.empty())
            s += '&';
        s += key;
        s += '=';
        appendEscaped(s, value);
    };
    auto addFlag = [&](const char* key) { add(key, flag(key) ? "t" : "f"); };
    for (const char* key : {"A", "SA", "SV", "EV", "MP3", "AE", "VE", "ACC", "PR", "SP", "SB", "DEB"})
        addFlag(key);
    add("V", kPlayerVersion);
    add("M", kManufacturer);
    // The resolution keeps its "x" unescaped, the ratio its decimal point.
    s += "&R=" + integerText(info.screenWidth) + "x" + integerText(info.screenHeight);
    add("DP", integerText(info.screenDpi));
    add("COL", "color");
    s += "&AR=1.0";
    add("OS", info.os);
    add("L", info.language);
    add("PT", info.playerType);
    for (const char* key : {"AVD", "LFD", "IME"})
        addFlag(key);
    return s;
}

Value capability(Vm& vm, int index)
{
    if (index < kFlagCount)
        return Value(kFlags[index].value);
    Host::SystemInfo info = vm.host().systemInfo();
    switch (index - kFlagCount) {
    case Language: return Value(vm.strAscii(info.language));
    case Manufacturer: return Value(vm.strAscii(kManufacturer));
    case Os: return Value(vm.strAscii(info.os));
    case PixelAspectRatio: return Value(1);
    case PlayerType: return Value(vm.strAscii(info.playerType));
    case ScreenColor: return Value(vm.strAscii("color"));
    case ScreenDpi: return Value(info.screenDpi);
    case ScreenResolutionX: return Value(info.screenWidth);
    case ScreenResolutionY: return Value(info.screenHeight);
    case ServerString: return Value(vm.strAscii(serverString(info)));
    case Version: return Value(vm.strAscii(kPlayerVersion));
    }
    return Value();
}

template <int I>
Value capabilityGetter(Vm& vm, const Value&, Args)
{
    return capability(vm, I);
}

template <int... I>
void defineCapabilities(Vm& vm, Object* caps, std::integer_sequence<int, I...>)
{
    const NativeFunction::Fn getters[] = {&capabilityGetter<I>...};
    for (int i = 0; i < int(sizeof...(I)); ++i) {
        const char* name = i < kFlagCount ? kFlags[i].name : kOtherNames[i - kFlagCount];
        // Read-only: a getter without a setter ignores assignments.
        caps->defineVirtual(vm, vm.name(name), vm.newNative(getters[i]), nullptr, DontDelete);
    }
}

// --- security -----------------------------------------------------------------

// A local player trusts every domain already.
Value securityNothing(Vm&, const Value&, Args) { return Value(); }

Value sandboxType(Vm& vm, const Value&, Args)
{
    Frame* frame = vm.frame();
    return Value(vm.strAscii(vm.host().sandboxType(frame ? frame->base : nullptr)));
}

// --- IME ----------------------------------------------------------------------

Value imeFalse(Vm&, const Value&, Args) { return Value(false); }
Value imeConversionMode(Vm& vm, const Value&, Args) { return Value(vm.strAscii("UNKNOWN")); }

// --- System itself --------------------------------------------------------------

Value setClipboard(Vm&, const Value&, Args) { return Value(true); }
Value showSettings(Vm&, const Value&, Args) { return Value(); }

// Movies of SWF 7 on match domains exactly unless they say otherwise.
Value exactSettingsGetter(Vm& vm, const Value&, Args) { return Value(vm.version() >= 7); }

Value exactSettingsSetter(Vm& vm, const Value& self, Args args)
{
    // The value set replaces the default for good.
    if (Object* o = self.object())
        o->define(vm, vm.name("exactSettings"), Value(vm.toBoolean(args[0])), DontEnum);
    return Value();
}

} // namespace

void installSystem(Vm& vm)
{
    Object* system = vm.newObject();

    Object* caps = vm.newObject();
    defineCapabilities(vm, caps, std::make_integer_sequence<int, kFlagCount + kOtherCount>());
    system->define(vm, vm.name("capabilities"), Value(caps), DontEnum);

    Object* security = vm.newObject();
    vm.methods(security, {{"allowDomain", securityNothing},
                          {"allowInsecureDomain", securityNothing},
                          {"loadPolicyFile", securityNothing}});
    security->defineVirtual(vm, vm.name("sandboxType"), vm.newNative(sandboxType), nullptr, DontEnum | DontDelete);
    system->define(vm, vm.name("security"), Value(security), DontEnum);

    Object* ime = vm.newObject();
    vm.methods(ime, {{"getEnabled", imeFalse},
                     {"setEnabled", imeFalse},
                     {"getConversionMode", imeConversionMode},
                     {"setConversionMode", imeFalse},
                     {"setCompositionString", imeFalse},
                     {"doConversion", imeFalse}});
    for (const char* mode : {"ALPHANUMERIC_FULL", "ALPHANUMERIC_HALF", "CHINESE", "JAPANESE_HIRAGANA",
                             "JAPANESE_KATAKANA_FULL", "JAPANESE_KATAKANA_HALF", "KOREAN", "UNKNOWN"})
        vm.constant(ime, mode, Value(vm.strAscii(mode)));
    Value imeValue(ime);
    vm.callMethod(vm.global()->get(vm, vm.name("AsBroadcaster")), vm.name("initialize"), Args(&imeValue, 1));
    system->define(vm, vm.name("IME"), imeValue, DontEnum);

    system->define(vm, vm.name("useCodepage"), Value(false), DontEnum);
    system->defineVirtual(vm, vm.name("exactSettings"), vm.newNative(exactSettingsGetter),
                          vm.newNative(exactSettingsSetter), DontEnum);
    vm.methods(system, {{"setClipboard", setClipboard}, {"showSettings", showSettings}});
    vm.global()->define(vm, vm.name("System"), Value(system), DontEnum);
}

} // namespace swf::script
