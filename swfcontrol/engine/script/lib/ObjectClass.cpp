// Object and Function, the classes everything else stands on.
#include "swfcontrol/engine/script/Array.h"
#include "swfcontrol/engine/script/Boxed.h"
#include "swfcontrol/engine/script/Vm.h"
#include "swfcontrol/engine/script/lib/Library.h"

namespace swf::script {

namespace {

// Object() as a function boxes its argument; with none, or undefined or
// null, it makes a bare object, prototype and all left out.
Value objectCall(Vm& vm, const Value&, Args args)
{
    if (!args.empty() && !args[0].isNullish())
        return Value(vm.toObject(args[0]));
    return Value(vm.newObject(nullptr));
}

Value objectConstruct(Vm& vm, NativeFunction&, Args args)
{
    if (!args.empty() && !args[0].isNullish())
        return Value(vm.toObject(args[0]));
    return Value(vm.newObject());
}

Object* selfObject(Vm& vm, const Value& self) { return self.isObject() ? self.object() : vm.toObject(self); }

Value addProperty(Vm& vm, const Value& self, Args args)
{
    Object* o = selfObject(vm, self);
    if (!o || args.size() < 2)
        return Value(false);
    String* name = vm.toName(args[0]);
    Object* getter = args[1].object();
    Object* setter = args[2].object();
    if (name->empty() || !getter || !getter->isFunction())
        return Value(false);
    // The setter is a function or null; anything else refuses the property.
    if (!args[2].isNull() && (!setter || !setter->isFunction()))
        return Value(false);
    o->defineVirtual(vm, name, static_cast<Function*>(getter), setter ? static_cast<Function*>(setter) : nullptr);
    return Value(true);
}

Value hasOwnProperty(Vm& vm, const Value& self, Args args)
{
    Object* o = selfObject(vm, self);
    if (!o || args.empty())
        return Value(false);
    return Value(o->hasOwn(vm, vm.toName(args[0])));
}

Value isPropertyEnumerable(Vm& vm, const Value& self, Args args)
{
    Object* o = selfObject(vm, self);
    if (!o || args.empty())
        return Value(false);
    String* name = vm.toName(args[0]);
    if (!o->hasOwn(vm, name))
        return Value(false);
    Property* p = o->table().find(name, vm.caseSensitive());
    if (p)
        return Value(!(p->flags & DontEnum));
    // Elements and other names of an object's own kind.
    std::vector<String*> names;
    o->enumerateOwn(vm, names);
    for (String* s : names)
        if (s == name)
            return Value(true);
    return Value(false);
}

Value isPrototypeOf(Vm& vm, const Value& self, Args args)
{
    Object* o = selfObject(vm, self);
    Object* other = args[0].object();
    if (!o || !other)
        return Value(false);
    Object* p = other->proto();
    for (int i = 0; p && i < 256; ++i, p = p->proto())
        if (p == o)
            return Value(true);
    return Value(false);
}

Value objectToString(Vm& vm, const Value& self, Args)
{
    Object* o = self.object();
    return Value(vm.strAscii(o && o->isFunction() ? "[type Function]" : "[object Object]"));
}

Value objectValueOf(Vm& vm, const Value& self, Args)
{
    if (self.isObject())
        return self;
    return Value(selfObject(vm, self));
}

Value watch(Vm& vm, const Value& self, Args args)
{
    Object* o = selfObject(vm, self);
    Object* callback = args[1].object();
    if (!o || args.size() < 2 || !callback || !callback->isFunction())
        return Value(false);
    return Value(o->watch(vm, vm.toName(args[0]), static_cast<Function*>(callback), args[2]));
}

Value unwatch(Vm& vm, const Value& self, Args args)
{
    Object* o = selfObject(vm, self);
    if (!o || args.empty())
        return Value(false);
    return Value(o->unwatch(vm, vm.toName(args[0])));
}

Value registerClass(Vm& vm, const Value&, Args args)
{
    if (args.size() < 2)
        return Value(false);
    Object* registry = vm.classRegistry();
    String* name = vm.toName(args[0]);
    if (args[1].isNullish()) {
        registry->remove(vm, name);
        return Value(true);
    }
    Object* ctor = args[1].object();
    if (!ctor || !ctor->isFunction())
        return Value(false);
    registry->define(vm, name, args[1]);
    return Value(true);
}

// --- Function ---------------------------------------------------------------

// Function(x) gives x back; with none, or undefined or null, it makes a
// bare object, as Object() does.
Value functionCall(Vm& vm, const Value&, Args args)
{
    return args.empty() || args[0].isNullish() ? Value(vm.newObject(nullptr)) : args[0];
}

Value functionProtoCall(Vm& vm, const Value& self, Args args)
{
    Value thisArg = args.empty() ? Value() : args[0];
    Args rest = args.size() > 1 ? Args(args.begin() + 1, args.size() - 1) : Args();
    return vm.call(self, thisArg, rest);
}

Value functionApply(Vm& vm, const Value& self, Args args)
{
    Value thisArg = args[0];
    RootedValues list(vm.heap());
    if (Object* a = args[1].object()) {
        double n = vm.toNumber(a->get(vm, vm.n.length));
        std::size_t count = n > 0 ? static_cast<std::size_t>(std::min(n, 65535.0)) : 0;
        for (std::size_t i = 0; i < count; ++i)
            list.values.push_back(a->get(vm, vm.toName(Value(static_cast<double>(i)))));
    }
    return vm.call(self, thisArg, Args(list.values.data(), list.values.size()));
}

} // namespace

void installObjectClass(Vm& vm)
{
    Object* proto = vm.protos.object;
    NativeFunction* ctor = vm.newClass(objectCall, objectConstruct, proto);
    vm.ctors.object = ctor;
    vm.methods(proto, {{"addProperty", addProperty},
                       {"hasOwnProperty", hasOwnProperty},
                       {"isPropertyEnumerable", isPropertyEnumerable},
                       {"isPrototypeOf", isPrototypeOf},
                       {"toString", objectToString},
                       {"toLocaleString", objectToString},
                       {"valueOf", objectValueOf},
                       {"watch", watch},
                       {"unwatch", unwatch}});
    vm.method(ctor, "registerClass", registerClass);
    vm.global()->define(vm, vm.name("Object"), Value(ctor), DontEnum);
}

void installFunctionClass(Vm& vm)
{
    Object* proto = vm.protos.function;
    NativeFunction* ctor = vm.newClass(functionCall, nullptr, proto);
    vm.ctors.function = ctor;
    // call and apply hold nothing across the call they make.
    proto->define(vm, vm.name("call"), Value(vm.newNative(functionProtoCall, nullptr, NativeFunction::MayCollect)),
                  DontEnum);
    proto->define(vm, vm.name("apply"), Value(vm.newNative(functionApply, nullptr, NativeFunction::MayCollect)),
                  DontEnum);
    vm.global()->define(vm, vm.name("Function"), Value(ctor), DontEnum);
}

} // namespace swf::script
