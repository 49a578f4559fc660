#include "swfcontrol/engine/player/ClassSupport.h"

#include <cmath>
#include <vector>

namespace swf::player {

Object* flashPackage(Vm& vm, const char* name)
{
    Object* global = vm.global();
    String* flashName = vm.name("flash");
    Object* flash = global->get(vm, flashName).object();
    if (!flash) {
        flash = vm.newObject();
        // The flash packages came with Flash Player 8: older movies do not see
        // them.
        global->define(vm, flashName, Value(flash), script::DontEnum | script::OnlySwf8Up);
    }
    String* packageName = vm.name(name);
    Object* package = flash->get(vm, packageName).object();
    if (!package) {
        package = vm.newObject();
        flash->define(vm, packageName, Value(package));
    }
    return package;
}

Value member(Vm& vm, const Value& value, const char* name)
{
    if (value.isNullish())
        return Value();
    Object* o = value.isObject() ? value.object() : vm.toObject(value);
    return o ? o->get(vm, vm.name(name)) : Value();
}

double numberMember(Vm& vm, const Value& value, const char* name) { return vm.toNumber(member(vm, value, name)); }

void setMember(Vm& vm, Object* object, const char* name, const Value& value) { object->set(vm, vm.name(name), value); }

namespace {

Value findClass(Vm& vm, const char* package, const char* name)
{
    Value flash = vm.global()->get(vm, vm.name("flash"));
    return member(vm, member(vm, flash, package), name);
}

} // namespace

Value construct(Vm& vm, const char* package, const char* name, std::initializer_list<Value> args)
{
    Value ctor = findClass(vm, package, name);
    std::vector<Value> list(args);
    return vm.construct(ctor, Args(list.data(), list.size()));
}

bool isInstance(Vm& vm, const Value& value, const char* package, const char* name)
{
    Object* o = value.object();
    Object* ctor = findClass(vm, package, name).object();
    if (!o || !ctor)
        return false;
    Object* proto = ctor->get(vm, vm.n.prototype).object();
    Object* p = o->proto();
    for (int i = 0; p && i < 256; ++i, p = p->proto())
        if (p == proto)
            return true;
    return false;
}

bool fieldsEqual(Vm& vm, const Value& a, const Value& b)
{
    if (a.isNullish() || b.isNullish())
        return a.isNullish() && b.isNullish();
    if (a.isString() && b.isString())
        return a.string()->equals(b.string());
    if (a.isObject() && b.isObject())
        return a.object() == b.object();
    return vm.toNumber(a) == vm.toNumber(b);
}

Condition& Condition::test(double a, double b, bool holds)
{
    if (failed_ || undefined_)
        return *this;
    if (std::isnan(a) || std::isnan(b))
        undefined_ = true;
    else if (!holds)
        failed_ = true;
    return *this;
}

} // namespace swf::player
