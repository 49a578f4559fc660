// What the Flash Player classes of this folder share: their packages on
// _global (flash.geom, flash.display), reading members of any value as
// scripts do, and the comparisons of Flash Player's geometry, which answer
// undefined where a number is NaN.
#pragma once

#include "swfcontrol/engine/script/Vm.h"

#include <initializer_list>

namespace swf::player {

using script::Args;
using script::Object;
using script::String;
using script::Value;
using script::Vm;

// _global.flash.<name>, made (with _global.flash, seen from SWF 8 on) when
// missing.
Object* flashPackage(Vm& vm, const char* name);

// `value[name]`: primitives are boxed first; null and undefined have no
// members.
Value member(Vm& vm, const Value& value, const char* name);
double numberMember(Vm& vm, const Value& value, const char* name);
void setMember(Vm& vm, Object* object, const char* name, const Value& value);

// `new flash.<package>.<name>(args)` as a script would write it: the class
// is looked up when it is needed, so a movie that replaced it gets its own.
// Undefined when there is no such class.
Value construct(Vm& vm, const char* package, const char* name, std::initializer_list<Value> args);
// `value instanceof flash.<package>.<name>`.
bool isInstance(Vm& vm, const Value& value, const char* package, const char* name);

// `a == b` on two fields of a geometry object: numbers as numbers,
// undefined and null alike, strings and objects as themselves.
bool fieldsEqual(Vm& vm, const Value& a, const Value& b);

// A comparison that is undefined when either side is NaN, as the geometry
// classes' own comparisons are; the conditions they chain stop at the first
// that is not true and answer with it.
class Condition {
public:
    Condition& less(double a, double b) { return test(a, b, a < b); }
    Condition& lessEqual(double a, double b) { return test(a, b, a <= b); }
    Condition& greaterEqual(double a, double b) { return test(a, b, a >= b); }
    Value result() const { return undefined_ ? Value() : Value(!failed_); }

private:
    Condition& test(double a, double b, bool holds);
    bool failed_ = false;
    bool undefined_ = false;
};

// The native state a built-in constructor attached to `self` (or to an
// object made by the constructor), when it is of type T.
template <class T>
T* nativeOf(const Value& self)
{
    Object* o = self.object();
    return o ? dynamic_cast<T*>(o->native()) : nullptr;
}

} // namespace swf::player
