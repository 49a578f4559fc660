#include "swfcontrol/engine/script/Function.h"

#include "swfcontrol/engine/script/Code.h"
#include "swfcontrol/engine/script/Vm.h"

namespace swf::script {

Value Function::construct(Vm& vm, Args args)
{
    Value prototype = get(vm, vm.n.prototype);
    Object* o = vm.newObject(prototype.object() ? prototype.object() : vm.protos.object);
    o->define(vm, vm.n.__constructor__, Value(this), DontEnum);
    if (vm.version() < 6)
        o->define(vm, vm.n.constructor, Value(this), DontEnum);
    Value self(o);
    if (ScriptFunction* script = asScript())
        vm.runFunction(*script, self, args, nullptr);
    else
        call(vm, self, args);
    return self;
}

Value NativeFunction::call(Vm& vm, const Value& self, Args args)
{
    if (flags_ & MayCollect)
        return fn_(vm, self, args);
    Vm::NoCollect hold(vm);
    return fn_(vm, self, args);
}

Value NativeFunction::construct(Vm& vm, Args args)
{
    if (!ctor_)
        return Function::construct(vm, args);
    Vm::NoCollect hold(vm);
    return ctor_(vm, *this, args);
}

Value ScriptFunction::call(Vm& vm, const Value& self, Args args) { return vm.runFunction(*this, self, args, nullptr); }

const FunctionInfo& ScriptFunction::info() const { return code_->functions()[info_]; }

void ScriptFunction::trace(Tracer& tracer)
{
    Object::trace(tracer);
    tracer.mark(code_);
    tracer.mark(scope_);
    tracer.mark(pool_);
    tracer.mark(target_);
}

} // namespace swf::script
