// flash.geom.Rectangle: x, y, width and height as plain properties; the
// edges and corners are read and written through them.
#include "swfcontrol/engine/player/ClassSupport.h"
#include "swfcontrol/engine/player/GeomClasses.h"

#include <cmath>
#include <limits>

namespace swf::player {

using script::NativeFunction;

namespace {

struct Box {
    double x, y, width, height;
    double right() const { return x + width; }
    double bottom() const { return y + height; }
};

Box boxOf(Vm& vm, const Value& r)
{
    return {numberMember(vm, r, "x"), numberMember(vm, r, "y"), numberMember(vm, r, "width"),
            numberMember(vm, r, "height")};
}

// Math.min and Math.max: NaN on either side gives NaN.
double minimum(double a, double b)
{
    return std::isnan(a) || std::isnan(b) ? std::numeric_limits<double>::quiet_NaN() : a < b ? a : b;
}
double maximum(double a, double b)
{
    return std::isnan(a) || std::isnan(b) ? std::numeric_limits<double>::quiet_NaN() : a > b ? a : b;
}

void setEmptyFields(Vm& vm, Object* o)
{
    setMember(vm, o, "height", Value(0));
    setMember(vm, o, "width", Value(0));
    setMember(vm, o, "y", Value(0));
    setMember(vm, o, "x", Value(0));
}

Value rectangleCall(Vm& vm, const Value& self, Args args)
{
    Object* o = self.object();
    if (!o)
        return Value();
    if (args.empty()) {
        setEmptyFields(vm, o);
    } else {
        setMember(vm, o, "x", args[0]);
        setMember(vm, o, "y", args[1]);
        setMember(vm, o, "width", args[2]);
        setMember(vm, o, "height", args[3]);
    }
    return Value();
}

Value rectangleClone(Vm& vm, const Value& self, Args)
{
    return construct(vm, "geom", "Rectangle",
                     {member(vm, self, "x"), member(vm, self, "y"), member(vm, self, "width"),
                      member(vm, self, "height")});
}

Value rectangleSetEmpty(Vm& vm, const Value& self, Args)
{
    if (Object* o = self.object())
        setEmptyFields(vm, o);
    return Value();
}

Value rectangleIsEmpty(Vm& vm, const Value& self, Args)
{
    Box b = boxOf(vm, self);
    return Value(!(b.width > 0) || !(b.height > 0));
}

// --- edges and corners ----------------------------------------------------

Value getLeft(Vm& vm, const Value& self, Args) { return member(vm, self, "x"); }
Value getTop(Vm& vm, const Value& self, Args) { return member(vm, self, "y"); }
Value getRight(Vm& vm, const Value& self, Args) { return Value(boxOf(vm, self).right()); }
Value getBottom(Vm& vm, const Value& self, Args) { return Value(boxOf(vm, self).bottom()); }

// Moving the top or left edge keeps the opposite one where it was.
Value setLeft(Vm& vm, const Value& self, Args args)
{
    if (Object* o = self.object()) {
        setMember(vm, o, "width", Value(boxOf(vm, self).right() - vm.toNumber(args[0])));
        setMember(vm, o, "x", args[0]);
    }
    return Value();
}

Value setTop(Vm& vm, const Value& self, Args args)
{
    if (Object* o = self.object()) {
        setMember(vm, o, "height", Value(boxOf(vm, self).bottom() - vm.toNumber(args[0])));
        setMember(vm, o, "y", args[0]);
    }
    return Value();
}

Value setRight(Vm& vm, const Value& self, Args args)
{
    if (Object* o = self.object())
        setMember(vm, o, "width", Value(vm.toNumber(args[0]) - numberMember(vm, self, "x")));
    return Value();
}

Value setBottom(Vm& vm, const Value& self, Args args)
{
    if (Object* o = self.object())
        setMember(vm, o, "height", Value(vm.toNumber(args[0]) - numberMember(vm, self, "y")));
    return Value();
}

Value getTopLeft(Vm& vm, const Value& self, Args)
{
    return construct(vm, "geom", "Point", {member(vm, self, "x"), member(vm, self, "y")});
}

Value setTopLeft(Vm& vm, const Value& self, Args args)
{
    if (Object* o = self.object()) {
        Value x = member(vm, args[0], "x"), y = member(vm, args[0], "y");
        Box b = boxOf(vm, self);
        setMember(vm, o, "width", Value(b.right() - vm.toNumber(x)));
        setMember(vm, o, "height", Value(b.bottom() - vm.toNumber(y)));
        setMember(vm, o, "x", x);
        setMember(vm, o, "y", y);
    }
    return Value();
}

Value getBottomRight(Vm& vm, const Value& self, Args)
{
    Box b = boxOf(vm, self);
    return newPoint(vm, b.right(), b.bottom());
}

Value setBottomRight(Vm& vm, const Value& self, Args args)
{
    if (Object* o = self.object()) {
        Box b = boxOf(vm, self);
        setMember(vm, o, "width", Value(numberMember(vm, args[0], "x") - b.x));
        setMember(vm, o, "height", Value(numberMember(vm, args[0], "y") - b.y));
    }
    return Value();
}

Value getSize(Vm& vm, const Value& self, Args)
{
    return construct(vm, "geom", "Point", {member(vm, self, "width"), member(vm, self, "height")});
}

Value setSize(Vm& vm, const Value& self, Args args)
{
    if (Object* o = self.object()) {
        Value width = member(vm, args[0], "x"), height = member(vm, args[0], "y");
        setMember(vm, o, "width", width);
        setMember(vm, o, "height", height);
    }
    return Value();
}

// --- moving and growing ---------------------------------------------------

void inflateBy(Vm& vm, const Value& self, double dx, double dy)
{
    Object* o = self.object();
    if (!o)
        return;
    Box b = boxOf(vm, self);
    setMember(vm, o, "x", Value(b.x - dx));
    setMember(vm, o, "width", Value(b.width + 2 * dx));
    setMember(vm, o, "y", Value(b.y - dy));
    setMember(vm, o, "height", Value(b.height + 2 * dy));
}

void offsetBy(Vm& vm, const Value& self, double dx, double dy)
{
    if (Object* o = self.object()) {
        setMember(vm, o, "x", Value(numberMember(vm, self, "x") + dx));
        setMember(vm, o, "y", Value(numberMember(vm, self, "y") + dy));
    }
}

Value rectangleInflate(Vm& vm, const Value& self, Args args)
{
    inflateBy(vm, self, vm.toNumber(args[0]), vm.toNumber(args[1]));
    return Value();
}

Value rectangleInflatePoint(Vm& vm, const Value& self, Args args)
{
    inflateBy(vm, self, numberMember(vm, args[0], "x"), numberMember(vm, args[0], "y"));
    return Value();
}

Value rectangleOffset(Vm& vm, const Value& self, Args args)
{
    offsetBy(vm, self, vm.toNumber(args[0]), vm.toNumber(args[1]));
    return Value();
}

Value rectangleOffsetPoint(Vm& vm, const Value& self, Args args)
{
    offsetBy(vm, self, numberMember(vm, args[0], "x"), numberMember(vm, args[0], "y"));
    return Value();
}

// --- tests ------------------------------------------------------------------

Value containsAt(Vm& vm, const Value& self, double x, double y)
{
    Box b = boxOf(vm, self);
    return Condition().greaterEqual(x, b.x).greaterEqual(y, b.y).less(x, b.right()).less(y, b.bottom()).result();
}

Value rectangleContains(Vm& vm, const Value& self, Args args)
{
    return containsAt(vm, self, vm.toNumber(args[0]), vm.toNumber(args[1]));
}

Value rectangleContainsPoint(Vm& vm, const Value& self, Args args)
{
    return containsAt(vm, self, numberMember(vm, args[0], "x"), numberMember(vm, args[0], "y"));
}

Value rectangleContainsRectangle(Vm& vm, const Value& self, Args args)
{
    Box a = boxOf(vm, self), b = boxOf(vm, args[0]);
    return Condition()
        .greaterEqual(b.x, a.x)
        .greaterEqual(b.y, a.y)
        .lessEqual(b.right(), a.right())
        .lessEqual(b.bottom(), a.bottom())
        .result();
}

// The overlap; false when there is none (or a side is not a number).
bool overlap(Vm& vm, const Value& self, const Value& other, Box& out)
{
    Box a = boxOf(vm, self), b = boxOf(vm, other);
    double left = maximum(a.x, b.x), top = maximum(a.y, b.y);
    double right = minimum(a.right(), b.right()), bottom = minimum(a.bottom(), b.bottom());
    out = {left, top, right - left, bottom - top};
    return right > left && bottom > top;
}

Value rectangleIntersection(Vm& vm, const Value& self, Args args)
{
    Box b;
    if (!overlap(vm, self, args[0], b))
        return construct(vm, "geom", "Rectangle", {});
    return newRectangle(vm, b.x, b.y, b.width, b.height);
}

Value rectangleIntersects(Vm& vm, const Value& self, Args args)
{
    Box b;
    return Value(overlap(vm, self, args[0], b));
}

Value rectangleUnion(Vm& vm, const Value& self, Args args)
{
    Box a = boxOf(vm, self), b = boxOf(vm, args[0]);
    double left = minimum(a.x, b.x), top = minimum(a.y, b.y);
    double right = maximum(a.right(), b.right()), bottom = maximum(a.bottom(), b.bottom());
    return newRectangle(vm, left, top, right - left, bottom - top);
}


Value rectangleEquals(Vm& vm, const Value& self, Args args)
{
    if (!isInstance(vm, args[0], "geom", "Rectangle"))
        return Value(false);
    for (const char* field : {"x", "y", "width", "height"})
        if (!fieldsEqual(vm, member(vm, self, field), member(vm, args[0], field)))
            return Value(false);
    return Value(true);
}

Value rectangleToString(Vm& vm, const Value& self, Args)
{
    String* s = vm.strAscii("(x=");
    s = vm.concat(s, vm.toString(member(vm, self, "x")));
    s = vm.concat(s, vm.strAscii(", y="));
    s = vm.concat(s, vm.toString(member(vm, self, "y")));
    s = vm.concat(s, vm.strAscii(", w="));
    s = vm.concat(s, vm.toString(member(vm, self, "width")));
    s = vm.concat(s, vm.strAscii(", h="));
    s = vm.concat(s, vm.toString(member(vm, self, "height")));
    return Value(vm.concat(s, vm.strAscii(")")));
}

void property(Vm& vm, Object* proto, const char* name, NativeFunction::Fn get, NativeFunction::Fn set)
{
    proto->defineVirtual(vm, vm.name(name), vm.newNative(get), vm.newNative(set));
}

} // namespace

Value newRectangle(Vm& vm, double x, double y, double width, double height)
{
    return construct(vm, "geom", "Rectangle", {Value(x), Value(y), Value(width), Value(height)});
}

void installRectangle(Vm& vm, Object* package)
{
    Object* proto = vm.newObject();
    NativeFunction* ctor = vm.newClass(rectangleCall, nullptr, proto);
    vm.methods(proto, {{"clone", rectangleClone}, {"setEmpty", rectangleSetEmpty}, {"isEmpty", rectangleIsEmpty}}, 0);
    property(vm, proto, "left", getLeft, setLeft);
    property(vm, proto, "right", getRight, setRight);
    property(vm, proto, "top", getTop, setTop);
    property(vm, proto, "bottom", getBottom, setBottom);
    property(vm, proto, "topLeft", getTopLeft, setTopLeft);
    property(vm, proto, "bottomRight", getBottomRight, setBottomRight);
    property(vm, proto, "size", getSize, setSize);
    vm.methods(proto,
               {{"inflate", rectangleInflate},
                {"inflatePoint", rectangleInflatePoint},
                {"offset", rectangleOffset},
                {"offsetPoint", rectangleOffsetPoint},
                {"contains", rectangleContains},
                {"containsPoint", rectangleContainsPoint},
                {"containsRectangle", rectangleContainsRectangle},
                {"intersection", rectangleIntersection},
                {"intersects", rectangleIntersects},
                {"union", rectangleUnion},
                {"equals", rectangleEquals},
                {"toString", rectangleToString}},
               0);
    package->define(vm, vm.name("Rectangle"), Value(ctor));
}

} // namespace swf::player
