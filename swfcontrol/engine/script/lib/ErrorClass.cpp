// Error: a message and a name, and toString giving the message.
#include "swfcontrol/engine/script/Vm.h"
#include "swfcontrol/engine/script/lib/Library.h"

namespace swf::script {

namespace {

Value errorCall(Vm& vm, const Value& self, Args args)
{
    Object* o = self.object();
    if (o && !args.empty() && !args[0].isUndefined())
        o->set(vm, vm.n.message, args[0]);
    return Value();
}

Value errorToString(Vm& vm, const Value& self, Args)
{
    Object* o = self.object();
    if (!o)
        return Value(vm.strAscii("Error"));
    return Value(vm.toString(o->get(vm, vm.n.message)));
}

} // namespace

void installErrorClass(Vm& vm)
{
    Object* proto = vm.newObject();
    NativeFunction* ctor = vm.newClass(errorCall, nullptr, proto);
    vm.protos.error = proto;
    vm.ctors.error = ctor;
    proto->define(vm, vm.n.message, Value(vm.strAscii("Error")), DontEnum);
    proto->define(vm, vm.n.name, Value(vm.strAscii("Error")), DontEnum);
    vm.method(proto, "toString", errorToString);
    vm.global()->define(vm, vm.name("Error"), Value(ctor), DontEnum);
}

} // namespace swf::script
