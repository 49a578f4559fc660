// Arrays: their elements kept densely beside the property table, each
// stamped with when it was made so that for..in lists elements and other
// properties together, newest first, as Flash Player does. `length` is
// one more than the highest index; setting it drops or adds holes.
#pragma once

#include "swfcontrol/engine/script/Object.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace swf::script {

class ArrayObject : public Object {
public:
    // Past this many elements an array stops growing; the script stops.
    static constexpr std::size_t kMaxLength = std::size_t(1) << 26;

    explicit ArrayObject(Object* proto, Kind kind = Kind::Array) : Object(proto, kind) {}

    std::size_t length() const { return elements_.size(); }
    void setLength(Vm& vm, std::size_t length);
    bool has(std::size_t i) const { return i < elements_.size() && elements_[i].seq != 0; }
    Value at(std::size_t i) const { return i < elements_.size() ? elements_[i].value : Value(); }
    void put(Vm& vm, std::size_t i, const Value& v);
    void push(Vm& vm, const Value& v) { put(vm, elements_.size(), v); }
    void removeAt(std::size_t i); // leaves a hole
    // Replaces every element (sort, reverse, splice): the stamps stay with
    // the indices, as properties written again keep their place.
    void assign(Vm& vm, const std::vector<Value>& values);

    bool getOwn(Vm& vm, String* name, Object* receiver, Value& out) override;
    bool setOwn(Vm& vm, String* name, const Value& value) override;
    bool hasOwnSpecial(Vm& vm, String* name) override;
    bool removeOwn(Vm& vm, String* name) override;
    void enumerateOwn(Vm& vm, std::vector<String*>& out) override;
    void trace(Tracer& tracer) override;

protected:
    std::size_t extraOwnedBytes() const override { return elements_.capacity() * sizeof(Element); }

private:
    struct Element {
        Value value;
        uint32_t seq = 0; // 0: a hole
    };
    void resize(Vm& vm, std::size_t n);
    std::vector<Element> elements_;
};

} // namespace swf::script
