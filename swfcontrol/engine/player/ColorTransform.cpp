// flash.geom.ColorTransform: eight numbers of its own, read and written
// through properties of its prototype.
#include "swfcontrol/engine/player/ClassSupport.h"
#include "swfcontrol/engine/player/GeomClasses.h"
#include "swfcontrol/engine/script/Convert.h"

#include <algorithm>

namespace swf::player {

using script::NativeFunction;

namespace {

class ColorTransformState final : public script::Cell {
public:
    ColorTransformValues values;
};

using Field = double ColorTransformValues::*;

// The constructor's arguments in order; those not given keep the identity's.
constexpr Field kFields[] = {
    &ColorTransformValues::redMultiplier, &ColorTransformValues::greenMultiplier,
    &ColorTransformValues::blueMultiplier, &ColorTransformValues::alphaMultiplier,
    &ColorTransformValues::redOffset, &ColorTransformValues::greenOffset,
    &ColorTransformValues::blueOffset, &ColorTransformValues::alphaOffset,
};

ColorTransformState* attach(Vm& vm, Object* o, Args args)
{
    auto* state = dynamic_cast<ColorTransformState*>(o->native());
    // An object that is already another kind of native stays that kind.
    if (!state && o->native())
        return nullptr;
    if (!state) {
        state = vm.heap().make<ColorTransformState>();
        o->setNative(state);
    }
    ColorTransformValues v;
    for (std::size_t i = 0; i < 8 && i < args.size(); ++i)
        v.*kFields[i] = vm.toNumber(args[i]);
    state->values = v;
    return state;
}

// Called on an object (super() in a class that extends ColorTransform), the
// constructor makes that object a ColorTransform and gives it back.
Value colorTransformCall(Vm& vm, const Value& self, Args args)
{
    Object* o = self.object();
    return o && attach(vm, o, args) ? self : Value();
}

Value colorTransformConstruct(Vm& vm, NativeFunction& callee, Args args)
{
    Object* o = vm.newObject(callee.get(vm, vm.n.prototype).object());
    attach(vm, o, args);
    return Value(o);
}

template <Field F>
Value getField(Vm&, const Value& self, Args)
{
    ColorTransformState* s = nativeOf<ColorTransformState>(self);
    return s ? Value(s->values.*F) : Value();
}

template <Field F>
Value setField(Vm& vm, const Value& self, Args args)
{
    double v = vm.toNumber(args[0]);
    if (ColorTransformState* s = nativeOf<ColorTransformState>(self))
        s->values.*F = v;
    return Value();
}

Value getRgb(Vm&, const Value& self, Args)
{
    ColorTransformState* s = nativeOf<ColorTransformState>(self);
    if (!s)
        return Value();
    const ColorTransformValues& v = s->values;
    uint32_t rgb = script::toUint32(v.redOffset) << 16 | script::toUint32(v.greenOffset) << 8 |
                   script::toUint32(v.blueOffset);
    return Value(script::toInt32(rgb));
}

// A colour: the three colours' multipliers go to 0 and their offsets make
// it; alpha stays.
Value setRgb(Vm& vm, const Value& self, Args args)
{
    int32_t rgb = vm.toInt32(args[0]);
    if (ColorTransformState* s = nativeOf<ColorTransformState>(self)) {
        ColorTransformValues& v = s->values;
        v.redMultiplier = v.greenMultiplier = v.blueMultiplier = 0;
        v.redOffset = (rgb >> 16) & 0xff;
        v.greenOffset = (rgb >> 8) & 0xff;
        v.blueOffset = rgb & 0xff;
    }
    return Value();
}

// `second` applied after this one.
Value colorTransformConcat(Vm&, const Value& self, Args args)
{
    ColorTransformState* s = nativeOf<ColorTransformState>(self);
    ColorTransformState* other = nativeOf<ColorTransformState>(args[0]);
    if (!s || !other)
        return Value();
    ColorTransformValues& a = s->values;
    const ColorTransformValues& b = other->values;
    a.redOffset += a.redMultiplier * b.redOffset;
    a.greenOffset += a.greenMultiplier * b.greenOffset;
    a.blueOffset += a.blueMultiplier * b.blueOffset;
    a.alphaOffset += a.alphaMultiplier * b.alphaOffset;
    a.redMultiplier *= b.redMultiplier;
    a.greenMultiplier *= b.greenMultiplier;
    a.blueMultiplier *= b.blueMultiplier;
    a.alphaMultiplier *= b.alphaMultiplier;
    return Value();
}

Value colorTransformToString(Vm& vm, const Value& self, Args)
{
    ColorTransformState* s = nativeOf<ColorTransformState>(self);
    if (!s)
        return Value();
    static const char* const labels[] = {"(redMultiplier=", ", greenMultiplier=", ", blueMultiplier=",
                                         ", alphaMultiplier=", ", redOffset=", ", greenOffset=",
                                         ", blueOffset=", ", alphaOffset="};
    String* text = vm.empty();
    for (std::size_t i = 0; i < 8; ++i) {
        text = vm.concat(text, vm.strAscii(labels[i]));
        text = vm.concat(text, vm.numberToString(s->values.*kFields[i]));
    }
    return Value(vm.concat(text, vm.strAscii(")")));
}

template <Field F>
void field(Vm& vm, Object* proto, const char* name)
{
    proto->defineVirtual(vm, vm.name(name), vm.newNative(getField<F>), vm.newNative(setField<F>), script::DontDelete);
}

} // namespace

swf::ColorTransform ColorTransformValues::toDrawing() const
{
    // What the drawing layer multiplies by is a float; scripts may store
    // numbers beyond any colour.
    auto f = [](double d) { return static_cast<float>(std::max(-1e9, std::min(1e9, d == d ? d : 0.0))); };
    swf::ColorTransform c;
    c.mulR = f(redMultiplier);
    c.mulG = f(greenMultiplier);
    c.mulB = f(blueMultiplier);
    c.mulA = f(alphaMultiplier);
    c.addR = f(redOffset);
    c.addG = f(greenOffset);
    c.addB = f(blueOffset);
    c.addA = f(alphaOffset);
    return c;
}

ColorTransformValues ColorTransformValues::fromDrawing(const swf::ColorTransform& c)
{
    ColorTransformValues v;
    v.redMultiplier = c.mulR;
    v.greenMultiplier = c.mulG;
    v.blueMultiplier = c.mulB;
    v.alphaMultiplier = c.mulA;
    v.redOffset = c.addR;
    v.greenOffset = c.addG;
    v.blueOffset = c.addB;
    v.alphaOffset = c.addA;
    return v;
}

Value newColorTransform(Vm& vm, const ColorTransformValues& c)
{
    Value made = construct(vm, "geom", "ColorTransform", {});
    if (ColorTransformState* s = nativeOf<ColorTransformState>(made))
        s->values = c;
    return made;
}

bool readColorTransform(const Value& value, ColorTransformValues& out)
{
    ColorTransformState* s = nativeOf<ColorTransformState>(value);
    if (!s)
        return false;
    out = s->values;
    return true;
}

void installColorTransform(Vm& vm, Object* package)
{
    Object* proto = vm.newObject();
    NativeFunction* ctor = vm.newClass(colorTransformCall, colorTransformConstruct, proto);
    field<&ColorTransformValues::alphaMultiplier>(vm, proto, "alphaMultiplier");
    field<&ColorTransformValues::redMultiplier>(vm, proto, "redMultiplier");
    field<&ColorTransformValues::greenMultiplier>(vm, proto, "greenMultiplier");
    field<&ColorTransformValues::blueMultiplier>(vm, proto, "blueMultiplier");
    field<&ColorTransformValues::alphaOffset>(vm, proto, "alphaOffset");
    field<&ColorTransformValues::redOffset>(vm, proto, "redOffset");
    field<&ColorTransformValues::greenOffset>(vm, proto, "greenOffset");
    field<&ColorTransformValues::blueOffset>(vm, proto, "blueOffset");
    proto->defineVirtual(vm, vm.name("rgb"), vm.newNative(getRgb), vm.newNative(setRgb), script::DontDelete);
    vm.methods(proto, {{"concat", colorTransformConcat}, {"toString", colorTransformToString}}, script::DontDelete);
    package->define(vm, vm.name("ColorTransform"), Value(ctor));
}

} // namespace swf::player
