// String: every method works on UTF-16 code units.
#include "swfcontrol/engine/script/Array.h"
#include "swfcontrol/engine/script/Boxed.h"
#include "swfcontrol/engine/script/Convert.h"
#include "swfcontrol/engine/script/Vm.h"
#include "swfcontrol/engine/script/lib/Library.h"

#include <cmath>

namespace swf::script {

namespace {

String* selfString(Vm& vm, const Value& self)
{
    Value v;
    if (primitiveOf(self, Object::Kind::String, v))
        return v.string();
    return vm.toString(self);
}

// An integer argument, NaN as 0, clamped into int64 range.
int64_t intArg(Vm& vm, Args args, std::size_t i, int64_t missing)
{
    if (i >= args.size() || args[i].isUndefined())
        return missing;
    double d = toInteger(vm.toNumber(args[i]));
    if (d > 9e15)
        return 9000000000000000ll;
    if (d < -9e15)
        return -9000000000000000ll;
    return static_cast<int64_t>(d);
}

int64_t clamp(int64_t v, int64_t lo, int64_t hi) { return v < lo ? lo : v > hi ? hi : v; }

Value stringCall(Vm& vm, const Value&, Args args)
{
    return Value(args.empty() ? vm.empty() : vm.toString(args[0]));
}

Value stringConstruct(Vm& vm, NativeFunction& callee, Args args)
{
    Value proto = callee.get(vm, vm.n.prototype);
    String* s = args.empty() ? vm.empty() : vm.toString(args[0]);
    BoxedObject* o = vm.heap().make<BoxedObject>(proto.object(), Object::Kind::String, Value(s));
    o->define(vm, vm.n.length, Value(static_cast<double>(s->length())), DontEnum | DontDelete);
    return Value(o);
}

Value fromCharCode(Vm& vm, const Value&, Args args)
{
    std::u16string out;
    for (std::size_t i = 0; i < args.size(); ++i) {
        uint32_t c = toUint32(vm.toNumber(args[i])) & 0xFFFF;
        if (c == 0)
            break; // the text ends at a NUL, as Flash Player's strings do
        out.push_back(static_cast<char16_t>(c));
    }
    return Value(vm.str(out));
}

Value charAt(Vm& vm, const Value& self, Args args)
{
    String* s = selfString(vm, self);
    int64_t i = intArg(vm, args, 0, 0);
    if (i < 0 || i >= static_cast<int64_t>(s->length()))
        return Value(vm.empty());
    return Value(vm.str(s->view().substr(static_cast<std::size_t>(i), 1)));
}

Value charCodeAt(Vm& vm, const Value& self, Args args)
{
    String* s = selfString(vm, self);
    int64_t i = intArg(vm, args, 0, 0);
    if (i < 0 || i >= static_cast<int64_t>(s->length()))
        return Value(std::nan(""));
    return Value(static_cast<double>(s->at(static_cast<std::size_t>(i))));
}

Value concat(Vm& vm, const Value& self, Args args)
{
    String* s = selfString(vm, self);
    for (std::size_t i = 0; i < args.size(); ++i)
        s = vm.concat(s, vm.toString(args[i]));
    return Value(s);
}

Value indexOf(Vm& vm, const Value& self, Args args)
{
    String* s = selfString(vm, self);
    if (args.empty())
        return Value(-1);
    String* needle = vm.toString(args[0]);
    int64_t start = clamp(intArg(vm, args, 1, 0), 0, static_cast<int64_t>(s->length()));
    std::size_t at = s->view().find(needle->view(), static_cast<std::size_t>(start));
    return Value(at == std::u16string_view::npos ? -1.0 : static_cast<double>(at));
}

Value lastIndexOf(Vm& vm, const Value& self, Args args)
{
    String* s = selfString(vm, self);
    if (args.empty())
        return Value(-1);
    String* needle = vm.toString(args[0]);
    int64_t len = static_cast<int64_t>(s->length());
    int64_t start = intArg(vm, args, 1, len);
    if (start < 0)
        return Value(-1);
    std::size_t at = s->view().rfind(needle->view(), static_cast<std::size_t>(clamp(start, 0, len)));
    return Value(at == std::u16string_view::npos ? -1.0 : static_cast<double>(at));
}

Value slice(Vm& vm, const Value& self, Args args)
{
    String* s = selfString(vm, self);
    int64_t len = static_cast<int64_t>(s->length());
    int64_t start = intArg(vm, args, 0, 0);
    int64_t end = intArg(vm, args, 1, len);
    if (start < 0)
        start += len;
    if (end < 0)
        end += len;
    start = clamp(start, 0, len);
    end = clamp(end, 0, len);
    if (end <= start)
        return Value(vm.empty());
    return Value(vm.str(s->view().substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start))));
}

Value substring(Vm& vm, const Value& self, Args args)
{
    String* s = selfString(vm, self);
    int64_t len = static_cast<int64_t>(s->length());
    int64_t start = clamp(intArg(vm, args, 0, 0), 0, len);
    int64_t end = clamp(intArg(vm, args, 1, len), 0, len);
    if (end < start)
        std::swap(start, end);
    return Value(vm.str(s->view().substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start))));
}

Value substr(Vm& vm, const Value& self, Args args)
{
    String* s = selfString(vm, self);
    int64_t len = static_cast<int64_t>(s->length());
    int64_t start = intArg(vm, args, 0, 0);
    if (start < 0)
        start = std::max<int64_t>(0, start + len);
    start = clamp(start, 0, len);
    int64_t count = intArg(vm, args, 1, len - start);
    if (count < 0)
        count = std::max<int64_t>(0, count + len - start);
    count = clamp(count, 0, len - start);
    return Value(vm.str(s->view().substr(static_cast<std::size_t>(start), static_cast<std::size_t>(count))));
}

Value split(Vm& vm, const Value& self, Args args)
{
    String* s = selfString(vm, self);
    ArrayObject* out = vm.newArray();
    Value result(out);
    int64_t limit = args.size() > 1 && !args[1].isUndefined() ? intArg(vm, args, 1, 0) : INT64_MAX;
    if (limit <= 0 && args.size() > 1 && !args[1].isUndefined())
        return result;
    if (args.empty() || args[0].isUndefined()) {
        out->push(vm, Value(s));
        return result;
    }
    String* sep = vm.toString(args[0]);
    std::u16string_view text = s->view();
    if (sep->empty()) {
        // An empty separator splits between every unit (SWF 6 on); before,
        // the whole string is one piece.
        if (vm.version() < 6) {
            out->push(vm, Value(s));
            return result;
        }
        for (std::size_t i = 0; i < text.size() && static_cast<int64_t>(i) < limit; ++i)
            out->push(vm, Value(vm.str(text.substr(i, 1))));
        return result;
    }
    std::u16string_view d = sep->view();
    std::size_t pos = 0;
    while (static_cast<int64_t>(out->length()) < limit) {
        std::size_t at = text.find(d, pos);
        if (at == std::u16string_view::npos) {
            out->push(vm, Value(vm.str(text.substr(pos))));
            break;
        }
        out->push(vm, Value(vm.str(text.substr(pos, at - pos))));
        pos = at + d.size();
    }
    return result;
}

char16_t lower(char16_t c)
{
    if (c >= 'A' && c <= 'Z')
        return static_cast<char16_t>(c + 32);
    if ((c >= 0xC0 && c <= 0xDE && c != 0xD7) || (c >= 0x391 && c <= 0x3AB && c != 0x3A2) || (c >= 0x410 && c <= 0x42F))
        return static_cast<char16_t>(c + 32);
    if (c >= 0x400 && c <= 0x40F)
        return static_cast<char16_t>(c + 80);
    if (c >= 0x100 && c <= 0x17F && c != 0x130 && c != 0x138 && c != 0x149 && c != 0x17F) {
        // Latin Extended-A pairs: upper even below 0x138 and from 0x14A,
        // upper odd between 0x139 and 0x148 and from 0x179.
        bool upperEven = c < 0x138 || (c >= 0x14A && c < 0x178);
        if (c == 0x178)
            return 0xFF;
        if (upperEven ? (c % 2 == 0) : (c % 2 == 1))
            return static_cast<char16_t>(c + 1);
    }
    return c;
}

char16_t upper(char16_t c)
{
    if (c >= 'a' && c <= 'z')
        return static_cast<char16_t>(c - 32);
    if ((c >= 0xE0 && c <= 0xFE && c != 0xF7) || (c >= 0x3B1 && c <= 0x3CB && c != 0x3C2) || (c >= 0x430 && c <= 0x44F))
        return static_cast<char16_t>(c - 32);
    if (c == 0xFF)
        return 0x178;
    if (c >= 0x450 && c <= 0x45F)
        return static_cast<char16_t>(c - 80);
    if (c >= 0x100 && c <= 0x17F && c != 0x131 && c != 0x138 && c != 0x149 && c != 0x17F) {
        bool upperEven = c < 0x138 || (c >= 0x14A && c < 0x178);
        if (upperEven ? (c % 2 == 1) : (c % 2 == 0 && c > 0x139))
            return static_cast<char16_t>(c - 1);
    }
    return c;
}

Value toLowerCase(Vm& vm, const Value& self, Args)
{
    std::u16string t(selfString(vm, self)->view());
    for (char16_t& c : t)
        c = lower(c);
    return Value(vm.str(t));
}

Value toUpperCase(Vm& vm, const Value& self, Args)
{
    std::u16string t(selfString(vm, self)->view());
    for (char16_t& c : t)
        c = upper(c);
    return Value(vm.str(t));
}

Value stringValueOf(Vm& vm, const Value& self, Args)
{
    Value v;
    if (primitiveOf(self, Object::Kind::String, v))
        return v;
    return Value(vm.toString(self));
}

} // namespace

void installStringClass(Vm& vm)
{
    Object* proto = vm.heap().make<BoxedObject>(vm.protos.object, Object::Kind::String, Value(vm.empty()));
    NativeFunction* ctor = vm.newClass(stringCall, stringConstruct, proto);
    vm.protos.string = proto;
    vm.ctors.string = ctor;
    vm.methods(proto, {{"charAt", charAt},
                       {"charCodeAt", charCodeAt},
                       {"concat", concat},
                       {"indexOf", indexOf},
                       {"lastIndexOf", lastIndexOf},
                       {"slice", slice},
                       {"split", split},
                       {"substr", substr},
                       {"substring", substring},
                       {"toLowerCase", toLowerCase},
                       {"toUpperCase", toUpperCase},
                       {"toString", stringValueOf},
                       {"valueOf", stringValueOf}});
    vm.method(ctor, "fromCharCode", fromCharCode);
    vm.global()->define(vm, vm.name("String"), Value(ctor), DontEnum);
}

} // namespace swf::script
