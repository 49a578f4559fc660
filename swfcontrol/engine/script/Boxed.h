// The object forms of Booleans, Numbers and Strings (new Number(5), and
// what a primitive becomes where an object is needed).
#pragma once

#include "swfcontrol/engine/script/Object.h"
#include "swfcontrol/engine/script/String.h"

namespace swf::script {

class BoxedObject final : public Object {
public:
    BoxedObject(Object* proto, Kind kind, const Value& primitive) : Object(proto, kind), primitive_(primitive) {}
    const Value& value() const { return primitive_; }
    void setValue(const Value& v) { primitive_ = v; }
    bool primitive(Value& out) const override
    {
        out = primitive_;
        return true;
    }
    void trace(Tracer& tracer) override
    {
        Object::trace(tracer);
        tracer.mark(primitive_);
    }

private:
    Value primitive_;
};

// The primitive of `self` when it is one, or a boxed object of `kind`.
bool primitiveOf(const Value& self, Object::Kind kind, Value& out);

} // namespace swf::script
