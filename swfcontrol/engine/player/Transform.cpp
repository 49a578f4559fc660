// flash.geom.Transform: a clip's matrix and colour transform as Matrix and
// ColorTransform objects. Each read makes a new object and each write
// copies one in, so changing what a read gave changes nothing until it is
// written back, as in Flash Player.
#include "swfcontrol/engine/player/ClassSupport.h"
#include "swfcontrol/engine/player/GeomClasses.h"

namespace swf::player {

using script::NativeFunction;

namespace {

// Kept on Transform.prototype: where every Transform of the movie reaches
// its clip.
class TransformClass final : public script::Cell {
public:
    explicit TransformClass(TransformTarget* target) : target(target) {}
    TransformTarget* target;
};

class TransformState final : public script::Cell {
public:
    script::Object* clip = nullptr;
    TransformTarget* target = nullptr;
    void trace(script::Tracer& tracer) override { tracer.mark(clip); }
};

TransformTarget* targetFor(Object* o)
{
    for (int i = 0; o && i < 256; ++i, o = o->proto())
        if (auto* c = dynamic_cast<TransformClass*>(o->native()))
            return c->target;
    return nullptr;
}

bool attach(Vm& vm, Object* o, const Value& clip)
{
    Object* c = clip.object();
    if (!c || c->kind() != Object::Kind::Display)
        return false;
    auto* state = dynamic_cast<TransformState*>(o->native());
    // An object that is already another kind of native stays that kind.
    if (!state && o->native())
        return false;
    if (!state) {
        state = vm.heap().make<TransformState>();
        o->setNative(state);
    }
    state->clip = c;
    state->target = targetFor(o);
    return true;
}

Value transformCall(Vm& vm, const Value& self, Args args)
{
    Object* o = self.object();
    return o && attach(vm, o, args[0]) ? self : Value();
}

// Without a clip there is no Transform.
Value transformConstruct(Vm& vm, NativeFunction& callee, Args args)
{
    Object* o = vm.newObject(callee.get(vm, vm.n.prototype).object());
    return attach(vm, o, args[0]) ? Value(o) : Value();
}

TransformState* stateOf(const Value& self)
{
    TransformState* s = nativeOf<TransformState>(self);
    return s && s->target ? s : nullptr;
}

Value getMatrix(Vm& vm, const Value& self, Args)
{
    TransformState* s = stateOf(self);
    return newMatrix(vm, s ? s->target->matrix(s->clip) : swf::Matrix());
}

Value setMatrix(Vm& vm, const Value& self, Args args)
{
    swf::Matrix m;
    if (TransformState* s = stateOf(self))
        if (readMatrix(vm, args[0], m))
            s->target->setMatrix(s->clip, m);
    return Value();
}

Value getConcatenatedMatrix(Vm& vm, const Value& self, Args)
{
    TransformState* s = stateOf(self);
    return newMatrix(vm, s ? s->target->concatenatedMatrix(s->clip) : swf::Matrix());
}

Value getColorTransform(Vm& vm, const Value& self, Args)
{
    TransformState* s = stateOf(self);
    return newColorTransform(
        vm, s ? ColorTransformValues::fromDrawing(s->target->colorTransform(s->clip)) : ColorTransformValues());
}

Value setColorTransform(Vm&, const Value& self, Args args)
{
    ColorTransformValues c;
    if (TransformState* s = stateOf(self))
        if (readColorTransform(args[0], c))
            s->target->setColorTransform(s->clip, c.toDrawing());
    return Value();
}

Value getConcatenatedColorTransform(Vm& vm, const Value& self, Args)
{
    TransformState* s = stateOf(self);
    return newColorTransform(vm, s ? ColorTransformValues::fromDrawing(s->target->concatenatedColorTransform(s->clip))
                                   : ColorTransformValues());
}

Value getPixelBounds(Vm& vm, const Value& self, Args)
{
    double x = 0, y = 0, width = 0, height = 0;
    if (TransformState* s = stateOf(self))
        s->target->pixelBounds(s->clip, x, y, width, height);
    return newRectangle(vm, x, y, width, height);
}

void property(Vm& vm, Object* proto, const char* name, NativeFunction::Fn get, NativeFunction::Fn set)
{
    proto->defineVirtual(vm, vm.name(name), vm.newNative(get), set ? vm.newNative(set) : nullptr,
                         script::DontDelete);
}

} // namespace

Value newTransform(Vm& vm, Object* clip)
{
    return construct(vm, "geom", "Transform", {Value(clip)});
}

void installTransform(Vm& vm, Object* package, TransformTarget* target)
{
    Object* proto = vm.newObject();
    proto->setNative(vm.heap().make<TransformClass>(target));
    NativeFunction* ctor = vm.newClass(transformCall, transformConstruct, proto);
    property(vm, proto, "matrix", getMatrix, setMatrix);
    property(vm, proto, "concatenatedMatrix", getConcatenatedMatrix, nullptr);
    property(vm, proto, "colorTransform", getColorTransform, setColorTransform);
    property(vm, proto, "concatenatedColorTransform", getConcatenatedColorTransform, nullptr);
    property(vm, proto, "pixelBounds", getPixelBounds, nullptr);
    package->define(vm, vm.name("Transform"), Value(ctor));
}

} // namespace swf::player
