// flash.geom.Point: x and y as plain properties, kept as given until
// arithmetic reads them as numbers.
#include "swfcontrol/engine/player/ClassSupport.h"
#include "swfcontrol/engine/player/GeomClasses.h"

#include <cmath>

namespace swf::player {

using script::NativeFunction;

namespace {

Value pointCall(Vm& vm, const Value& self, Args args)
{
    Object* o = self.object();
    if (!o)
        return Value();
    if (args.empty()) {
        setMember(vm, o, "y", Value(0));
        setMember(vm, o, "x", Value(0));
    } else {
        setMember(vm, o, "x", args[0]);
        setMember(vm, o, "y", args[1]);
    }
    return Value();
}

double lengthOf(Vm& vm, const Value& p)
{
    double x = numberMember(vm, p, "x"), y = numberMember(vm, p, "y");
    return std::sqrt(x * x + y * y);
}

Value pointLength(Vm& vm, const Value& self, Args) { return Value(lengthOf(vm, self)); }

Value pointClone(Vm& vm, const Value& self, Args)
{
    return construct(vm, "geom", "Point", {member(vm, self, "x"), member(vm, self, "y")});
}

Value pointOffset(Vm& vm, const Value& self, Args args)
{
    if (Object* o = self.object()) {
        setMember(vm, o, "x", Value(numberMember(vm, self, "x") + vm.toNumber(args[0])));
        setMember(vm, o, "y", Value(numberMember(vm, self, "y") + vm.toNumber(args[1])));
    }
    return Value();
}


Value pointEquals(Vm& vm, const Value& self, Args args)
{
    if (!isInstance(vm, args[0], "geom", "Point"))
        return Value(false);
    return Value(fieldsEqual(vm, member(vm, self, "x"), member(vm, args[0], "x")) &&
                 fieldsEqual(vm, member(vm, self, "y"), member(vm, args[0], "y")));
}

Value pointSubtract(Vm& vm, const Value& self, Args args)
{
    return newPoint(vm, numberMember(vm, self, "x") - numberMember(vm, args[0], "x"),
                    numberMember(vm, self, "y") - numberMember(vm, args[0], "y"));
}

Value pointAdd(Vm& vm, const Value& self, Args args)
{
    return newPoint(vm, numberMember(vm, self, "x") + numberMember(vm, args[0], "x"),
                    numberMember(vm, self, "y") + numberMember(vm, args[0], "y"));
}

// A point of no length, or of one that is not a number, stays as it is.
Value pointNormalize(Vm& vm, const Value& self, Args args)
{
    Object* o = self.object();
    double length = lengthOf(vm, self);
    if (o && length > 0) {
        double scale = vm.toNumber(args[0]) / length;
        setMember(vm, o, "x", Value(numberMember(vm, self, "x") * scale));
        setMember(vm, o, "y", Value(numberMember(vm, self, "y") * scale));
    }
    return Value();
}

Value pointToString(Vm& vm, const Value& self, Args)
{
    String* s = vm.strAscii("(x=");
    s = vm.concat(s, vm.toString(member(vm, self, "x")));
    s = vm.concat(s, vm.strAscii(", y="));
    s = vm.concat(s, vm.toString(member(vm, self, "y")));
    return Value(vm.concat(s, vm.strAscii(")")));
}

// The distance is the length of what subtract() gives, so an argument that
// is no Point (and has no subtract of its own) has none.
Value pointDistance(Vm& vm, const Value&, Args args)
{
    Object* a = args[0].isNullish() ? nullptr : vm.toObject(args[0]);
    if (!a)
        return Value();
    Value b = args[1];
    Value difference = vm.callMethod(Value(a), vm.name("subtract"), Args(&b, 1));
    return member(vm, difference, "length");
}

Value pointInterpolate(Vm& vm, const Value&, Args args)
{
    double f = vm.toNumber(args[2]);
    double x1 = numberMember(vm, args[0], "x"), y1 = numberMember(vm, args[0], "y");
    double x2 = numberMember(vm, args[1], "x"), y2 = numberMember(vm, args[1], "y");
    return newPoint(vm, x2 + f * (x1 - x2), y2 + f * (y1 - y2));
}

Value pointPolar(Vm& vm, const Value&, Args args)
{
    double length = vm.toNumber(args[0]), angle = vm.toNumber(args[1]);
    return newPoint(vm, length * std::cos(angle), length * std::sin(angle));
}

} // namespace

Value newPoint(Vm& vm, double x, double y) { return construct(vm, "geom", "Point", {Value(x), Value(y)}); }

void installPoint(Vm& vm, Object* package)
{
    Object* proto = vm.newObject();
    NativeFunction* ctor = vm.newClass(pointCall, nullptr, proto);
    proto->defineVirtual(vm, vm.name("length"), vm.newNative(pointLength), nullptr);
    vm.methods(proto,
               {{"clone", pointClone},
                {"offset", pointOffset},
                {"equals", pointEquals},
                {"subtract", pointSubtract},
                {"add", pointAdd},
                {"normalize", pointNormalize},
                {"toString", pointToString}},
               0);
    vm.methods(ctor, {{"distance", pointDistance}, {"interpolate", pointInterpolate}, {"polar", pointPolar}}, 0);
    package->define(vm, vm.name("Point"), Value(ctor));
}

} // namespace swf::player
