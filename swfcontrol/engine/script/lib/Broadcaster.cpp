// AsBroadcaster: gives any object addListener, removeListener,
// broadcastMessage and a _listeners array, as Key, Mouse and Stage have.
#include "swfcontrol/engine/script/Array.h"
#include "swfcontrol/engine/script/Vm.h"
#include "swfcontrol/engine/script/lib/Library.h"

namespace swf::script {

namespace {

ArrayObject* listenersOf(Vm& vm, const Value& self)
{
    Object* o = self.object();
    if (!o)
        return nullptr;
    Object* l = o->get(vm, vm.n._listeners).object();
    return l && l->kind() == Object::Kind::Array ? static_cast<ArrayObject*>(l) : nullptr;
}

Value removeListener(Vm& vm, const Value& self, Args args)
{
    ArrayObject* list = listenersOf(vm, self);
    if (!list)
        return Value(false);
    std::vector<Value> values;
    bool removed = false;
    for (std::size_t i = 0; i < list->length(); ++i) {
        Value v = list->at(i);
        if (!removed && v.isObject() && args[0].isObject() && v.object() == args[0].object()) {
            removed = true;
            continue;
        }
        values.push_back(v);
    }
    if (removed)
        list->assign(vm, values);
    return Value(removed);
}

Value addListener(Vm& vm, const Value& self, Args args)
{
    ArrayObject* list = listenersOf(vm, self);
    if (!list)
        return Value(false);
    // A listener is listed once: adding it again moves it to the end.
    removeListener(vm, self, args);
    list->push(vm, args[0]);
    return Value(true);
}

Value broadcastMessage(Vm& vm, const Value& self, Args args)
{
    ArrayObject* list = listenersOf(vm, self);
    if (!list || args.empty())
        return Value();
    String* event = vm.toName(args[0]);
    // Listeners added or removed meanwhile do not change this broadcast.
    RootedValues snapshot(vm.heap());
    for (std::size_t i = 0; i < list->length(); ++i)
        snapshot.values.push_back(list->at(i));
    Args rest(args.begin() + 1, args.size() - 1);
    for (const Value& listener : snapshot.values)
        vm.callMethod(listener, event, rest);
    return Value(!snapshot.values.empty());
}

Value initialize(Vm& vm, const Value&, Args args)
{
    Object* o = args[0].object();
    if (!o)
        return Value();
    Object* broadcaster = vm.global()->get(vm, vm.name("AsBroadcaster")).object();
    if (!broadcaster)
        return Value();
    for (String* name : {vm.n.addListener, vm.n.removeListener, vm.n.broadcastMessage})
        o->define(vm, name, broadcaster->get(vm, name), DontEnum);
    o->define(vm, vm.n._listeners, Value(vm.newArray()), DontEnum);
    return Value();
}

Value broadcasterCall(Vm&, const Value&, Args) { return Value(); }

} // namespace

// Keeps the methods AsBroadcaster.initialize copies; the movie's own
// objects (Key, Mouse, Stage) are made broadcasters the same way.
void installBroadcaster(Vm& vm)
{
    NativeFunction* ctor = vm.newClass(broadcasterCall, nullptr, nullptr);
    vm.methods(ctor, {{"initialize", initialize},
                      {"addListener", addListener},
                      {"removeListener", removeListener},
                      {"broadcastMessage", broadcastMessage}});
    vm.global()->define(vm, vm.name("AsBroadcaster"), Value(ctor), DontEnum);
}

} // namespace swf::script
