// The global functions and values: parseInt and the rest, the timers,
// ASSetPropFlags, and the SWF 4 string functions.
#include "swfcontrol/engine/script/Array.h"
#include "swfcontrol/engine/script/Convert.h"
#include "swfcontrol/engine/script/Vm.h"
#include "swfcontrol/engine/script/lib/Library.h"

#include <cmath>
#include <limits>

namespace swf::script {

namespace {

Value parseIntFn(Vm& vm, const Value&, Args args)
{
    if (args.empty())
        return Value();
    String* s = vm.toString(args[0]);
    bool radixGiven = args.size() > 1;
    int radix = radixGiven ? vm.toInt32(args[1]) : 10;
    return Value(parseIntPrefix(s->view(), radix, radixGiven));
}

Value parseFloatFn(Vm& vm, const Value&, Args args)
{
    if (args.empty())
        return Value();
    return Value(parseFloatPrefix(vm.toString(args[0])->view()));
}

Value isNaNFn(Vm& vm, const Value&, Args args) { return Value(std::isnan(vm.toNumber(args[0]))); }

Value isFiniteFn(Vm& vm, const Value&, Args args)
{
    double d = vm.toNumber(args[0]);
    return Value(!std::isnan(d) && !std::isinf(d));
}

bool unreserved(char16_t c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

Value escapeFn(Vm& vm, const Value&, Args args)
{
    if (args.empty())
        return Value();
    std::u16string_view text = vm.toString(args[0])->view();
    std::string bytes = vm.version() >= 6 ? encodeUtf8(text) : std::string();
    if (vm.version() < 6)
        for (char16_t c : text)
            bytes.push_back(static_cast<char>(c & 0xFF));
    static const char hex[] = "0123456789ABCDEF";
    std::u16string out;
    for (unsigned char b : bytes) {
        if (b < 0x80 && unreserved(b)) {
            out.push_back(b);
        } else {
            out.push_back('%');
            out.push_back(static_cast<char16_t>(hex[b >> 4]));
            out.push_back(static_cast<char16_t>(hex[b & 15]));
        }
    }
    return Value(vm.str(out));
}

int hexDigit(char16_t c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

Value unescapeFn(Vm& vm, const Value&, Args args)
{
    if (args.empty())
        return Value();
    std::u16string_view text = vm.toString(args[0])->view();
    // %XX gives bytes, read as UTF-8 (or the code page before SWF 6);
    // everything else stays as it is.
    std::u16string out;
    std::string pending;
    auto flush = [&] {
        if (!pending.empty()) {
            out += decodeMovieText(pending, vm.version());
            pending.clear();
        }
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hexDigit(text[i + 1]) >= 0 && hexDigit(text[i + 2]) >= 0) {
            pending.push_back(static_cast<char>(hexDigit(text[i + 1]) * 16 + hexDigit(text[i + 2])));
            i += 2;
            continue;
        }
        flush();
        out.push_back(text[i]);
    }
    flush();
    return Value(vm.str(out));
}

Value getTimerFn(Vm& vm, const Value&, Args) { return Value(std::floor(vm.host().now())); }

Value getVersionFn(Vm& vm, const Value&, Args) { return Value(vm.strAscii("WIN 8,0,24,0")); }

// setInterval(function, ms, args...) or setInterval(object, "method", ms, args...).
Value addTimer(Vm& vm, Args args, bool repeat)
{
    Vm::Timer t;
    std::size_t next;
    Object* first = args[0].object();
    if (first && first->isFunction()) {
        t.object = args[0];
        t.method = nullptr;
        next = 1;
    } else if (first && args.size() >= 2) {
        t.object = args[0];
        t.method = vm.toName(args[1]);
        next = 2;
    } else {
        return Value();
    }
    if (next >= args.size())
        return Value();
    double ms = vm.toNumber(args[next]);
    t.interval = std::isnan(ms) || ms < 0 ? 0 : ms;
    for (std::size_t i = next + 1; i < args.size(); ++i)
        t.args.push_back(args[i]);
    t.due = vm.host().now() + t.interval;
    t.repeat = repeat;
    t.id = 0;
    return Value(vm.addTimer(std::move(t)));
}

Value setIntervalFn(Vm& vm, const Value&, Args args) { return addTimer(vm, args, true); }
Value setTimeoutFn(Vm& vm, const Value&, Args args) { return addTimer(vm, args, false); }

Value clearTimerFn(Vm& vm, const Value&, Args args)
{
    if (!args.empty())
        vm.removeTimer(vm.toInt32(args[0]));
    return Value();
}

// ASSetPropFlags(object, names, set, clear): names is null (all), a
// comma-separated string or an array of names.
Value asSetPropFlags(Vm& vm, const Value&, Args args)
{
    Object* o = args[0].object();
    if (!o)
        return Value();
    uint16_t set = static_cast<uint16_t>(toUint32(vm.toNumber(args[2])));
    uint16_t clear = args.size() > 3 ? static_cast<uint16_t>(toUint32(vm.toNumber(args[3]))) : 0;
    std::vector<String*> names;
    if (args[1].isNull()) {
        o->table().forEach([&](Property& p) { names.push_back(p.name); });
        names.push_back(vm.n.__proto__);
    } else if (ArrayObject* a = args[1].object() && args[1].object()->kind() == Object::Kind::Array
                                    ? static_cast<ArrayObject*>(args[1].object())
                                    : nullptr) {
        for (std::size_t i = 0; i < a->length(); ++i)
            names.push_back(vm.toName(a->at(i)));
    } else {
        std::u16string_view list = vm.toString(args[1])->view();
        std::size_t pos = 0;
        while (pos <= list.size()) {
            std::size_t comma = list.find(u',', pos);
            if (comma == std::u16string_view::npos)
                comma = list.size();
            names.push_back(vm.intern(list.substr(pos, comma - pos)));
            pos = comma + 1;
        }
    }
    for (String* name : names)
        o->setFlags(vm, name, set, clear);
    return Value();
}

Value updateAfterEventFn(Vm&, const Value&, Args) { return Value(); }

Value targetPathFn(Vm& vm, const Value&, Args args)
{
    Object* o = args[0].object();
    if (!o || o->kind() != Object::Kind::Display)
        return Value();
    return Value(vm.host().targetPath(o, true));
}

// --- the SWF 4 functions ---------------------------------------------------------

Value intFn(Vm& vm, const Value&, Args args) { return Value(static_cast<double>(toInt32(vm.toNumber(args[0])))); }

Value chrFn(Vm& vm, const Value&, Args args)
{
    uint32_t code = toUint32(vm.toNumber(args[0])) & 0xFFFF;
    if (code == 0)
        return Value(vm.empty());
    std::u16string s(1, static_cast<char16_t>(code));
    return Value(vm.str(s));
}

Value ordFn(Vm& vm, const Value&, Args args)
{
    String* s = vm.toString(args[0]);
    return Value(s->empty() ? 0.0 : static_cast<double>(s->at(0)));
}

Value lengthFn(Vm& vm, const Value&, Args args)
{
    return Value(static_cast<double>(vm.toString(args[0])->length()));
}

Value substringFn(Vm& vm, const Value&, Args args)
{
    // substring(string, index, count), 1-based as StringExtract.
    String* s = vm.toString(args[0]);
    double index = toInteger(vm.toNumber(args[1]));
    double count = args.size() > 2 ? toInteger(vm.toNumber(args[2])) : -1;
    double len = static_cast<double>(s->length());
    double start = index < 1 ? 0 : std::min(index - 1, len);
    double take = count < 0 ? len - start : std::min(count, len - start);
    return Value(vm.str(s->view().substr(static_cast<std::size_t>(start), static_cast<std::size_t>(take))));
}

Value randomFn(Vm& vm, const Value&, Args args)
{
    int32_t max = toInt32(vm.toNumber(args[0]));
    return Value(max > 0 ? static_cast<double>(vm.random()() % static_cast<uint32_t>(max)) : 0.0);
}

Value evalFn(Vm& vm, const Value&, Args args)
{
    // eval() of a name reads a variable; the compiler makes it GetVariable,
    // so a call at run time only sees its argument.
    (void)vm;
    return args[0];
}

Value asNativeFn(Vm& vm, const Value&, Args args);

} // namespace

void installGlobalFunctions(Vm& vm)
{
    Object* g = vm.global();
    vm.methods(g, {{"parseInt", parseIntFn},
                   {"parseFloat", parseFloatFn},
                   {"isNaN", isNaNFn},
                   {"isFinite", isFiniteFn},
                   {"escape", escapeFn},
                   {"unescape", unescapeFn},
                   {"getTimer", getTimerFn},
                   {"getVersion", getVersionFn},
                   {"setInterval", setIntervalFn},
                   {"clearInterval", clearTimerFn},
                   {"setTimeout", setTimeoutFn},
                   {"clearTimeout", clearTimerFn},
                   {"ASSetPropFlags", asSetPropFlags},
                   {"updateAfterEvent", updateAfterEventFn},
                   {"targetPath", targetPathFn},
                   {"int", intFn},
                   {"chr", chrFn},
                   {"mbchr", chrFn},
                   {"ord", ordFn},
                   {"mbord", ordFn},
                   {"length", lengthFn},
                   {"mblength", lengthFn},
                   {"substring", substringFn},
                   {"mbsubstring", substringFn},
                   {"random", randomFn},
                   {"eval", evalFn},
                   {"ASnative", asNativeFn}});
    vm.constant(g, "NaN", Value(std::numeric_limits<double>::quiet_NaN()), DontEnum | DontDelete);
    vm.constant(g, "Infinity", Value(std::numeric_limits<double>::infinity()), DontEnum | DontDelete);
}

namespace {

// ASnative(class, index): the built-ins by Flash Player's own numbers.
// Those movies use are mapped to the methods they name.
Value asNativeFn(Vm& vm, const Value&, Args args)
{
    int32_t table = vm.toInt32(args[0]);
    int32_t index = vm.toInt32(args[1]);
    struct Entry {
        int32_t table, index;
        const char* object;
        const char* method;
    };
    static const Entry kEntries[] = {
        {200, 0, "Math", "abs"},     {200, 1, "Math", "min"},    {200, 2, "Math", "max"},
        {200, 3, "Math", "sin"},     {200, 4, "Math", "cos"},    {200, 5, "Math", "atan2"},
        {200, 6, "Math", "tan"},     {200, 7, "Math", "exp"},    {200, 8, "Math", "log"},
        {200, 9, "Math", "sqrt"},    {200, 10, "Math", "round"}, {200, 11, "Math", "random"},
        {200, 12, "Math", "floor"},  {200, 13, "Math", "ceil"},  {200, 14, "Math", "atan"},
        {200, 15, "Math", "asin"},   {200, 16, "Math", "acos"},  {200, 17, "Math", "pow"},
        {100, 0, nullptr, "escape"}, {100, 1, nullptr, "unescape"}, {100, 2, nullptr, "parseInt"},
        {100, 3, nullptr, "parseFloat"}, {1, 0, nullptr, "ASSetPropFlags"}, {200, 18, nullptr, "isNaN"},
        {200, 19, nullptr, "isFinite"}, {250, 0, nullptr, "setInterval"}, {250, 1, nullptr, "clearInterval"},
    };
    for (const Entry& e : kEntries) {
        if (e.table != table || e.index != index)
            continue;
        Object* holder = vm.global();
        if (e.object) {
            holder = vm.global()->get(vm, vm.name(e.object)).object();
            if (!holder)
                return Value();
        }
        return holder->get(vm, vm.name(e.method));
    }
    return Value();
}

} // namespace

} // namespace swf::script
