#include "swfcontrol/engine/script/Array.h"

#include "swfcontrol/engine/script/String.h"
#include "swfcontrol/engine/script/Vm.h"

#include <algorithm>

namespace swf::script {

void ArrayObject::resize(Vm& vm, std::size_t n)
{
    if (n > kMaxLength)
        throw ScriptAbort{ScriptAbort::Reason::Memory};
    if (n > elements_.capacity()) {
        std::size_t capacity = std::max(n, elements_.capacity() + elements_.capacity() / 2);
        // Counted first: past the heap's limit this throws before growing.
        resized(vm.heap(), capacity * sizeof(Element) + table().ownedBytes());
        elements_.reserve(capacity);
    }
    elements_.resize(n);
}

void ArrayObject::setLength(Vm& vm, std::size_t length) { resize(vm, length); }

void ArrayObject::put(Vm& vm, std::size_t i, const Value& v)
{
    if (i >= elements_.size())
        resize(vm, i + 1);
    Element& e = elements_[i];
    if (!e.seq)
        e.seq = table().nextSeq();
    e.value = v;
}

void ArrayObject::removeAt(std::size_t i)
{
    if (i < elements_.size())
        elements_[i] = Element();
}

void ArrayObject::assign(Vm& vm, const std::vector<Value>& values)
{
    std::size_t old = elements_.size();
    resize(vm, values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        Element& e = elements_[i];
        if (!e.seq || i >= old)
            e.seq = table().nextSeq();
        e.value = values[i];
    }
}

bool ArrayObject::getOwn(Vm& vm, String* name, Object* receiver, Value& out)
{
    // Properties of the table (addProperty on "length" or an index) come
    // first.
    if (table().size() && Object::getOwn(vm, name, receiver, out))
        return true;
    int32_t i = name->arrayIndex();
    if (i >= 0) {
        if (has(static_cast<std::size_t>(i))) {
            out = elements_[static_cast<std::size_t>(i)].value;
            return true;
        }
    } else if (name == vm.n.length || (!vm.caseSensitive() && name->folded() == vm.n.length)) {
        out = Value(static_cast<double>(elements_.size()));
        return true;
    }
    return !table().size() && Object::getOwn(vm, name, receiver, out); // __proto__
}

bool ArrayObject::setOwn(Vm& vm, String* name, const Value& value)
{
    if (table().size() && table().find(name, vm.caseSensitive()))
        return false;
    int32_t i = name->arrayIndex();
    if (i >= 0) {
        put(vm, static_cast<std::size_t>(i), value);
        return true;
    }
    if (name == vm.n.length || (!vm.caseSensitive() && name->folded() == vm.n.length)) {
        double n = vm.toNumber(value);
        // A length that is no count leaves the array as it is.
        if (n >= 0 && n == static_cast<double>(static_cast<int64_t>(n)))
            setLength(vm, static_cast<std::size_t>(n));
        return true;
    }
    return false;
}

bool ArrayObject::hasOwnSpecial(Vm& vm, String* name)
{
    int32_t i = name->arrayIndex();
    if (i >= 0)
        return has(static_cast<std::size_t>(i));
    return name == vm.n.length || (!vm.caseSensitive() && name->folded() == vm.n.length);
}

bool ArrayObject::removeOwn(Vm& vm, String* name)
{
    (void)vm;
    int32_t i = name->arrayIndex();
    if (i < 0 || !has(static_cast<std::size_t>(i)))
        return false;
    removeAt(static_cast<std::size_t>(i));
    return true;
}

void ArrayObject::enumerateOwn(Vm& vm, std::vector<String*>& out)
{
    struct Named {
        uint32_t seq;
        String* name;
        std::size_t index;
    };
    std::vector<Named> all;
    for (std::size_t i = 0; i < elements_.size(); ++i)
        if (elements_[i].seq)
            all.push_back({elements_[i].seq, nullptr, i});
    table().forEach([&](Property& p) {
        if (!(p.flags & DontEnum) && visibleTo(p.flags, vm.version()))
            all.push_back({p.seq, p.name, 0});
    });
    std::sort(all.begin(), all.end(), [](const Named& a, const Named& b) { return a.seq < b.seq; });
    for (const Named& n : all)
        out.push_back(n.name ? n.name : vm.toName(Value(static_cast<double>(n.index))));
}

void ArrayObject::trace(Tracer& tracer)
{
    Object::trace(tracer);
    for (const Element& e : elements_)
        tracer.mark(e.value);
}

} // namespace swf::script
