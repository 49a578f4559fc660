// flash.geom.Matrix: a, b, c, d, tx and ty as plain properties.
// x' = a*x + c*y + tx, y' = b*x + d*y + ty.
#include "swfcontrol/engine/player/ClassSupport.h"
#include "swfcontrol/engine/player/GeomClasses.h"

#include <cmath>

namespace swf::player {

using script::NativeFunction;

namespace {

swf::Matrix fieldsOf(Vm& vm, const Value& m)
{
    swf::Matrix r;
    r.a = numberMember(vm, m, "a");
    r.b = numberMember(vm, m, "b");
    r.c = numberMember(vm, m, "c");
    r.d = numberMember(vm, m, "d");
    r.tx = numberMember(vm, m, "tx");
    r.ty = numberMember(vm, m, "ty");
    return r;
}

void store(Vm& vm, Object* o, const swf::Matrix& m)
{
    setMember(vm, o, "a", Value(m.a));
    setMember(vm, o, "b", Value(m.b));
    setMember(vm, o, "c", Value(m.c));
    setMember(vm, o, "d", Value(m.d));
    setMember(vm, o, "tx", Value(m.tx));
    setMember(vm, o, "ty", Value(m.ty));
}

void setIdentity(Vm& vm, Object* o)
{
    setMember(vm, o, "d", Value(1));
    setMember(vm, o, "a", Value(1));
    setMember(vm, o, "c", Value(0));
    setMember(vm, o, "b", Value(0));
    setMember(vm, o, "ty", Value(0));
    setMember(vm, o, "tx", Value(0));
}

Value matrixCall(Vm& vm, const Value& self, Args args)
{
    Object* o = self.object();
    if (!o)
        return Value();
    if (args.empty()) {
        setIdentity(vm, o);
        return Value();
    }
    static const char* const fields[] = {"a", "b", "c", "d", "tx", "ty"};
    for (std::size_t i = 0; i < 6; ++i)
        setMember(vm, o, fields[i], args[i]);
    return Value();
}

// `then` applied after the matrix itself.
Value matrixConcat(Vm& vm, const Value& self, Args args)
{
    if (Object* o = self.object())
        store(vm, o, fieldsOf(vm, args[0]) * fieldsOf(vm, self));
    return Value();
}

Value matrixInvert(Vm& vm, const Value& self, Args)
{
    Object* o = self.object();
    if (!o)
        return Value();
    swf::Matrix m = fieldsOf(vm, self), r;
    double det = m.a * m.d - m.b * m.c;
    r.a = m.d / det;
    r.b = -m.b / det;
    r.c = -m.c / det;
    r.d = m.a / det;
    r.tx = (m.c * m.ty - m.d * m.tx) / det;
    r.ty = (m.b * m.tx - m.a * m.ty) / det;
    store(vm, o, r);
    return Value();
}

// Optional arguments default to 0.
double optional(Vm& vm, Args args, std::size_t i) { return i < args.size() ? vm.toNumber(args[i]) : 0; }

Value matrixCreateBox(Vm& vm, const Value& self, Args args)
{
    Object* o = self.object();
    if (!o)
        return Value();
    double sx = vm.toNumber(args[0]), sy = vm.toNumber(args[1]), angle = optional(vm, args, 2);
    double cosine = std::cos(angle), sine = std::sin(angle);
    swf::Matrix m;
    m.a = cosine * sx;
    m.b = sine * sy;
    m.c = -sine * sx;
    m.d = cosine * sy;
    m.tx = optional(vm, args, 3);
    m.ty = optional(vm, args, 4);
    store(vm, o, m);
    return Value();
}

// A gradient's square is 1638.4 pixels across, centred on the origin.
Value matrixCreateGradientBox(Vm& vm, const Value& self, Args args)
{
    Object* o = self.object();
    if (!o)
        return Value();
    double width = vm.toNumber(args[0]), height = vm.toNumber(args[1]), angle = optional(vm, args, 2);
    double cosine = std::cos(angle), sine = std::sin(angle);
    swf::Matrix m;
    m.a = cosine * width / 1638.4;
    m.b = sine * height / 1638.4;
    m.c = -sine * width / 1638.4;
    m.d = cosine * height / 1638.4;
    m.tx = optional(vm, args, 3) + width / 2;
    m.ty = optional(vm, args, 4) + height / 2;
    store(vm, o, m);
    return Value();
}

Value matrixClone(Vm& vm, const Value& self, Args)
{
    return construct(vm, "geom", "Matrix",
                     {member(vm, self, "a"), member(vm, self, "b"), member(vm, self, "c"), member(vm, self, "d"),
                      member(vm, self, "tx"), member(vm, self, "ty")});
}

Value matrixIdentity(Vm& vm, const Value& self, Args)
{
    if (Object* o = self.object())
        setIdentity(vm, o);
    return Value();
}

Value matrixRotate(Vm& vm, const Value& self, Args args)
{
    Object* o = self.object();
    if (!o)
        return Value();
    double angle = vm.toNumber(args[0]);
    swf::Matrix rotation;
    rotation.a = rotation.d = std::cos(angle);
    rotation.b = std::sin(angle);
    rotation.c = -rotation.b;
    store(vm, o, rotation * fieldsOf(vm, self));
    return Value();
}

Value matrixTranslate(Vm& vm, const Value& self, Args args)
{
    if (Object* o = self.object()) {
        setMember(vm, o, "tx", Value(numberMember(vm, self, "tx") + vm.toNumber(args[0])));
        setMember(vm, o, "ty", Value(numberMember(vm, self, "ty") + vm.toNumber(args[1])));
    }
    return Value();
}

Value matrixScale(Vm& vm, const Value& self, Args args)
{
    Object* o = self.object();
    if (!o)
        return Value();
    double sx = vm.toNumber(args[0]), sy = vm.toNumber(args[1]);
    swf::Matrix m = fieldsOf(vm, self);
    m.a *= sx;
    m.b *= sy;
    m.c *= sx;
    m.d *= sy;
    m.tx *= sx;
    m.ty *= sy;
    store(vm, o, m);
    return Value();
}

Value matrixDeltaTransformPoint(Vm& vm, const Value& self, Args args)
{
    swf::Point p = fieldsOf(vm, self).applyVector({numberMember(vm, args[0], "x"), numberMember(vm, args[0], "y")});
    return newPoint(vm, p.x, p.y);
}

Value matrixTransformPoint(Vm& vm, const Value& self, Args args)
{
    swf::Point p = fieldsOf(vm, self).apply({numberMember(vm, args[0], "x"), numberMember(vm, args[0], "y")});
    return newPoint(vm, p.x, p.y);
}

Value matrixToString(Vm& vm, const Value& self, Args)
{
    static const char* const fields[] = {"a", "b", "c", "d", "tx", "ty"};
    static const char* const labels[] = {"(a=", ", b=", ", c=", ", d=", ", tx=", ", ty="};
    String* s = vm.empty();
    for (std::size_t i = 0; i < 6; ++i) {
        s = vm.concat(s, vm.strAscii(labels[i]));
        s = vm.concat(s, vm.toString(member(vm, self, fields[i])));
    }
    return Value(vm.concat(s, vm.strAscii(")")));
}

} // namespace

Value newMatrix(Vm& vm, const swf::Matrix& m)
{
    return construct(vm, "geom", "Matrix", {Value(m.a), Value(m.b), Value(m.c), Value(m.d), Value(m.tx), Value(m.ty)});
}

bool readMatrix(Vm& vm, const Value& value, swf::Matrix& out)
{
    if (!value.isObject())
        return false;
    out = fieldsOf(vm, value);
    return true;
}

void installMatrix(Vm& vm, Object* package)
{
    Object* proto = vm.newObject();
    NativeFunction* ctor = vm.newClass(matrixCall, nullptr, proto);
    vm.methods(proto,
               {{"concat", matrixConcat},
                {"invert", matrixInvert},
                {"createBox", matrixCreateBox},
                {"createGradientBox", matrixCreateGradientBox},
                {"clone", matrixClone},
                {"identity", matrixIdentity},
                {"rotate", matrixRotate},
                {"translate", matrixTranslate},
                {"scale", matrixScale},
                {"deltaTransformPoint", matrixDeltaTransformPoint},
                {"transformPoint", matrixTransformPoint},
                {"toString", matrixToString}},
               0);
    package->define(vm, vm.name("Matrix"), Value(ctor));
}

} // namespace swf::player
