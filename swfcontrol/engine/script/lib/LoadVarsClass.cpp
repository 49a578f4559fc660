// LoadVars: an object's variables as URL-encoded text (toString) and back
// (decode), sent and loaded through the host.
#include "swfcontrol/engine/script/Vm.h"
#include "swfcontrol/engine/script/lib/Library.h"
#include "swfcontrol/engine/script/lib/Loading.h"

namespace swf::script {

namespace {

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

// Form decoding: %XX are bytes in the movie's text encoding, '+' a space.
std::u16string urlDecode(Vm& vm, std::u16string_view text)
{
    std::u16string out;
    std::string pending;
    auto flush = [&] {
        if (!pending.empty()) {
            out += decodeFromNetwork(vm, pending, false);
            pending.clear();
        }
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        if (c == '%' && i + 2 < text.size() && hexDigit(text[i + 1]) >= 0 && hexDigit(text[i + 2]) >= 0) {
            pending.push_back(static_cast<char>(hexDigit(text[i + 1]) * 16 + hexDigit(text[i + 2])));
            i += 2;
            continue;
        }
        flush();
        out.push_back(c == '+' ? u' ' : c);
    }
    flush();
    return out;
}

// name=value&... for every enumerable variable, in the order for..in
// visits them (the last enumerated first).
Value loadVarsToString(Vm& vm, const Value& self, Args)
{
    Object* o = self.object();
    if (!o)
        return Value(vm.empty());
    std::vector<String*> names;
    o->enumerate(vm, names);
    std::u16string out;
    for (std::size_t i = names.size(); i-- > 0;) {
        String* name = names[i];
        String* value = vm.toString(o->get(vm, name));
        if (!out.empty())
            out.push_back('&');
        appendUrlEscaped(vm, out, name->view());
        out.push_back('=');
        appendUrlEscaped(vm, out, value->view());
        if (out.size() > String::kMaxLength)
            throw ScriptAbort{ScriptAbort::Reason::Memory};
    }
    return Value(vm.str(out));
}

Value decode(Vm& vm, const Value& self, Args args)
{
    Object* o = self.object();
    if (!o || args.empty())
        return Value();
    std::u16string_view text = vm.toString(args[0])->view();
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(u'&', start);
        if (end == std::u16string_view::npos)
            end = text.size();
        std::u16string_view pair = text.substr(start, end - start);
        start = end + 1;
        std::size_t eq = pair.find(u'=');
        std::u16string name = urlDecode(vm, pair.substr(0, eq));
        if (name.empty())
            continue;
        std::u16string value = eq == std::u16string_view::npos ? std::u16string() : urlDecode(vm, pair.substr(eq + 1));
        o->set(vm, vm.intern(name), Value(vm.str(value)));
    }
    return Value();
}

Value load(Vm& vm, const Value& self, Args args)
{
    Object* o = self.object();
    if (!o || args.empty() || args[0].isUndefined())
        return Value(false);
    return Value(startLoad(vm, o, o, vm.toString(args[0])->view(), HttpMethod::Get, std::u16string_view()));
}

String* variables(Vm& vm, const Value& self) { return vm.toString(vm.callMethod(self, vm.n.toString_, Args())); }

// sendAndLoad(url, target, method): POST unless the method says GET.
Value sendAndLoad(Vm& vm, const Value& self, Args args)
{
    Object* o = self.object();
    Object* target = args[1].object();
    if (!o || !target || args[0].isUndefined())
        return Value(false);
    String* url = vm.toString(args[0]);
    HttpMethod method = methodOf(vm, args[2], HttpMethod::Post);
    return Value(startLoad(vm, o, target, url->view(), method, variables(vm, self)->view()));
}

// send(url, window, method)
Value send(Vm& vm, const Value& self, Args args)
{
    Object* o = self.object();
    if (!o || args.empty() || args[0].isUndefined())
        return Value(false);
    String* url = vm.toString(args[0]);
    String* window = args[1].isUndefined() ? vm.empty() : vm.toString(args[1]);
    HttpMethod method = methodOf(vm, args[2], HttpMethod::Post);
    return Value(startSend(vm, o, url->view(), window->view(), method, variables(vm, self)->view()));
}

Value onData(Vm& vm, const Value& self, Args args)
{
    Object* o = self.object();
    if (!o)
        return Value();
    Value result(false);
    if (!args[0].isNullish()) {
        Value text = args[0];
        vm.callMethod(self, vm.name("decode"), Args(&text, 1));
        o->set(vm, vm.name("loaded"), Value(true));
        result = Value(true);
    }
    vm.callMethod(self, vm.name("onLoad"), Args(&result, 1));
    return Value();
}

Value nothing(Vm&, const Value&, Args) { return Value(); }

} // namespace

void installLoadVars(Vm& vm)
{
    Object* proto = vm.newObject();
    NativeFunction* ctor = vm.newClass(nothing, nullptr, proto);
    vm.methods(proto, {{"load", load},
                       {"send", send},
                       {"sendAndLoad", sendAndLoad},
                       {"decode", decode},
                       {"toString", loadVarsToString},
                       {"getBytesLoaded", getBytesLoaded},
                       {"getBytesTotal", getBytesTotal},
                       {"addRequestHeader", addRequestHeader},
                       {"onLoad", nothing}});
    // onData runs the movie's onLoad, which may run long: collections may
    // happen inside it.
    proto->define(vm, vm.name("onData"), Value(vm.newNative(onData, nullptr, NativeFunction::MayCollect)),
                  DontEnum);
    vm.constant(proto, "contentType", Value(vm.strAscii("application/x-www-form-urlencoded")), DontEnum);
    vm.global()->define(vm, vm.name("LoadVars"), Value(ctor), DontEnum);
}

} // namespace swf::script
