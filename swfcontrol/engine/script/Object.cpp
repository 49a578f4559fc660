#include "swfcontrol/engine/script/Object.h"

#include "swfcontrol/engine/script/Function.h"
#include "swfcontrol/engine/script/String.h"
#include "swfcontrol/engine/script/Vm.h"

#include <algorithm>
#include <unordered_set>

namespace swf::script {

namespace {

// Prototype chains longer than this are taken as cycles.
constexpr int kMaxChain = 256;

std::size_t bucketOf(const String* folded, std::size_t mask)
{
    uintptr_t p = reinterpret_cast<uintptr_t>(folded);
    return static_cast<std::size_t>((p >> 4) * 0x9E3779B97F4A7C15ull >> 17) & mask;
}

bool sameName(String* a, String* b, bool caseSensitive)
{
    return caseSensitive ? a == b : a->folded() == b->folded();
}

} // namespace

bool visibleTo(uint16_t flags, unsigned version)
{
    if ((flags & OnlySwf6Up) && version < 6)
        return false;
    if ((flags & IgnoreSwf6) && version == 6)
        return false;
    if ((flags & OnlySwf7Up) && version < 7)
        return false;
    if ((flags & OnlySwf8Up) && version < 8)
        return false;
    if ((flags & OnlySwf9Up) && version < 9)
        return false;
    if ((flags & OnlySwf10Up) && version < 10)
        return false;
    return true;
}

// --- PropertyMap -----------------------------------------------------------

Property* PropertyMap::find(String* name, bool caseSensitive)
{
    if (index_.empty())
        return nullptr;
    std::size_t mask = index_.size() - 1;
    String* folded = name->folded();
    for (std::size_t b = bucketOf(folded, mask);; b = (b + 1) & mask) {
        int32_t i = index_[b];
        if (i == -1)
            return nullptr;
        if (i >= 0) {
            Property& p = entries_[static_cast<std::size_t>(i)];
            if (p.name->folded() == folded && (!caseSensitive || p.name == name))
                return &p;
        }
    }
}

Property& PropertyMap::add(String* name)
{
    if ((live_ + removed_ + 1) * 2 > index_.size())
        rehash(std::max<std::size_t>(8, index_.size() * (live_ * 4 > index_.size() ? 2 : 1)));
    entries_.emplace_back();
    Property& p = entries_.back();
    p.name = name;
    p.seq = nextSeq();
    std::size_t mask = index_.size() - 1;
    std::size_t b = bucketOf(name->folded(), mask);
    while (index_[b] >= 0)
        b = (b + 1) & mask;
    if (index_[b] == -2)
        --removed_;
    index_[b] = static_cast<int32_t>(entries_.size() - 1);
    ++live_;
    return p;
}

void PropertyMap::remove(Property& p)
{
    std::size_t i = static_cast<std::size_t>(&p - entries_.data());
    std::size_t mask = index_.size() - 1;
    for (std::size_t b = bucketOf(p.name->folded(), mask);; b = (b + 1) & mask) {
        if (index_[b] == static_cast<int32_t>(i)) {
            index_[b] = -2;
            break;
        }
    }
    p = Property();
    --live_;
    ++removed_;
    // Slots of removed properties are reclaimed once they outnumber the rest.
    if (removed_ > 8 && removed_ > live_)
        rehash(index_.size());
}

void PropertyMap::rehash(std::size_t buckets)
{
    std::vector<Property> kept;
    kept.reserve(live_ + 1);
    for (Property& p : entries_)
        if (p.name)
            kept.push_back(p);
    entries_.swap(kept);
    while (buckets < (entries_.size() + 1) * 2)
        buckets *= 2;
    index_.assign(buckets, -1);
    removed_ = 0;
    std::size_t mask = buckets - 1;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        std::size_t b = bucketOf(entries_[i].name->folded(), mask);
        while (index_[b] != -1)
            b = (b + 1) & mask;
        index_[b] = static_cast<int32_t>(i);
    }
    live_ = entries_.size();
}

std::size_t PropertyMap::ownedBytes() const
{
    return entries_.capacity() * sizeof(Property) + index_.capacity() * sizeof(int32_t);
}

void PropertyMap::trace(Tracer& tracer)
{
    for (Property& p : entries_) {
        if (!p.name)
            continue;
        tracer.mark(p.name);
        tracer.mark(p.value);
        tracer.mark(p.getter);
        tracer.mark(p.setter);
    }
}

// --- Object ----------------------------------------------------------------

Object::Object(Object* proto, Kind kind) : kind_(kind), hasProto_(true) { proto_ = Value(proto); }

Function* Object::asFunction() { return isFunction() ? static_cast<Function*>(this) : nullptr; }

Property* Object::findOwn(Vm& vm, String* name)
{
    Property* p = props_.find(name, vm.caseSensitive());
    return p && visibleTo(p->flags, vm.version()) ? p : nullptr;
}

Value Object::callGetter(Vm& vm, Property& p, Object* receiver)
{
    Function* getter = p.getter;
    Vm::AccessorCall nesting(vm);
    return getter && nesting.allowed ? vm.call(Value(getter), Value(receiver), Args()) : Value();
}

bool Object::getOwn(Vm& vm, String* name, Object* receiver, Value& out)
{
    if (sameName(name, vm.n.__proto__, vm.caseSensitive())) {
        if (!hasProto_ || !visibleTo(protoFlags_, vm.version()))
            return false;
        out = proto_;
        return true;
    }
    Property* p = findOwn(vm, name);
    if (!p)
        return false;
    out = p->isVirtual ? callGetter(vm, *p, receiver) : p->value;
    return true;
}

bool Object::lookup(Vm& vm, String* name, Value& out)
{
    Object* o = this;
    for (int i = 0; o && i < kMaxChain; ++i) {
        if (o->getOwn(vm, name, this, out))
            return true;
        o = o->proto();
    }
    return false;
}

Value Object::get(Vm& vm, String* name)
{
    Value out;
    if (lookup(vm, name, out))
        return out;
    if (name == vm.n.__resolve)
        return Value();
    Value resolve;
    if (lookup(vm, vm.n.__resolve, resolve) && resolve.isObject() && resolve.object()->isFunction()) {
        Value arg(name);
        return vm.call(resolve, Value(this), Args(&arg, 1));
    }
    return Value();
}

bool Object::setOwn(Vm& vm, String* name, const Value& value)
{
    (void)vm;
    (void)name;
    (void)value;
    return false;
}

bool Object::setInherited(Vm& vm, String* name, const Value& value)
{
    Object* o = proto();
    for (int i = 0; o && i < kMaxChain; ++i) {
        Property* p = o->findOwn(vm, name);
        if (p) {
            if (!p->isVirtual)
                return false;
            Function* setter = p->setter;
            Vm::AccessorCall nesting(vm);
            if (setter && nesting.allowed) {
                Value arg = value;
                vm.call(Value(setter), Value(this), Args(&arg, 1));
            }
            return true;
        }
        o = o->proto();
    }
    return false;
}

Value Object::watched(Vm& vm, String* name, const Value& old, const Value& value)
{
    if (!extra_ || extra_->watchers.empty() || watching_)
        return value;
    for (const Watcher& w : extra_->watchers) {
        if (!sameName(w.name, name, vm.caseSensitive()))
            continue;
        Value args[4] = {Value(name), old, value, w.userData};
        watching_ = true;
        Value result;
        try {
            result = vm.call(Value(w.callback), Value(this), Args(args, 4));
        } catch (...) {
            watching_ = false;
            throw;
        }
        watching_ = false;
        return result;
    }
    return value;
}

void Object::set(Vm& vm, String* name, const Value& value)
{
    if (setOwn(vm, name, value))
        return;
    if (sameName(name, vm.n.__proto__, vm.caseSensitive())) {
        if (!hasProto_ || !(protoFlags_ & ReadOnly)) {
            proto_ = value;
            hasProto_ = true;
        }
        return;
    }
    if (Property* p = findOwn(vm, name)) {
        if (p->isVirtual) {
            Vm::AccessorCall nesting(vm);
            if (Function* setter = p->setter; setter && nesting.allowed) {
                Value arg = value;
                vm.call(Value(setter), Value(this), Args(&arg, 1));
            }
            return;
        }
        if (p->flags & ReadOnly)
            return;
        if (!extra_ || extra_->watchers.empty()) {
            p->value = value;
            return;
        }
        Value stored = watched(vm, name, p->value, value);
        // The watcher may have changed the table.
        if ((p = findOwn(vm, name)) != nullptr && !p->isVirtual)
            p->value = stored;
        return;
    }
    if (setInherited(vm, name, value))
        return;
    Value stored = extra_ ? watched(vm, name, Value(), value) : value;
    if (Property* p = findOwn(vm, name)) { // a watcher made it meanwhile
        p->value = stored;
        return;
    }
    props_.add(name).value = stored;
    refreshOwnedBytes(vm.heap());
}

bool Object::removeOwn(Vm& vm, String* name)
{
    (void)vm;
    (void)name;
    return false;
}

bool Object::remove(Vm& vm, String* name)
{
    if (sameName(name, vm.n.__proto__, vm.caseSensitive())) {
        if (!hasProto_ || (protoFlags_ & DontDelete))
            return false;
        hasProto_ = false;
        proto_ = Value();
        return true;
    }
    Property* p = findOwn(vm, name);
    if (!p)
        return removeOwn(vm, name);
    if (p->flags & DontDelete)
        return false;
    props_.remove(*p);
    return true;
}

bool Object::hasOwnSpecial(Vm& vm, String* name)
{
    (void)vm;
    (void)name;
    return false;
}

bool Object::hasOwn(Vm& vm, String* name)
{
    if (sameName(name, vm.n.__proto__, vm.caseSensitive()))
        return hasProto_ && visibleTo(protoFlags_, vm.version());
    return findOwn(vm, name) != nullptr || hasOwnSpecial(vm, name);
}

bool Object::hasProperty(Vm& vm, String* name)
{
    Object* o = this;
    for (int i = 0; o && i < kMaxChain; ++i) {
        if (o->hasOwn(vm, name))
            return true;
        o = o->proto();
    }
    return false;
}

void Object::enumerateOwn(Vm& vm, std::vector<String*>& out)
{
    props_.forEach([&](Property& p) {
        if (!(p.flags & DontEnum) && visibleTo(p.flags, vm.version()))
            out.push_back(p.name);
    });
}

void Object::enumerate(Vm& vm, std::vector<String*>& out)
{
    std::unordered_set<String*> seen;
    std::vector<String*> names;
    Object* o = this;
    for (int i = 0; o && i < kMaxChain; ++i) {
        names.clear();
        o->enumerateOwn(vm, names);
        for (String* s : names) {
            String* key = vm.caseSensitive() ? s : s->folded();
            if (seen.insert(key).second)
                out.push_back(s);
        }
        // A hidden property still hides the same name further up.
        o->props_.forEach([&](Property& p) {
            if (p.flags & DontEnum)
                seen.insert(vm.caseSensitive() ? p.name : p.name->folded());
        });
        o = o->proto();
    }
}

void Object::define(Vm& vm, String* name, const Value& value, uint16_t flags)
{
    Property* p = props_.find(name, true);
    if (!p) {
        p = &props_.add(name);
        refreshOwnedBytes(vm.heap());
    }
    p->value = value;
    p->getter = p->setter = nullptr;
    p->isVirtual = false;
    p->flags = flags;
}

void Object::defineVirtual(Vm& vm, String* name, Function* getter, Function* setter, uint16_t flags)
{
    Property* p = props_.find(name, vm.caseSensitive());
    if (!p) {
        p = &props_.add(name);
        refreshOwnedBytes(vm.heap());
    } else if (p->flags & ReadOnly && !p->isVirtual) {
        return;
    }
    p->value = Value();
    p->getter = getter;
    p->setter = setter;
    p->isVirtual = true;
    p->flags = flags;
}

bool Object::setFlags(Vm& vm, String* name, uint16_t set, uint16_t clear)
{
    if (sameName(name, vm.n.__proto__, vm.caseSensitive())) {
        if (!hasProto_)
            return false;
        protoFlags_ = static_cast<uint16_t>((protoFlags_ & ~clear) | set);
        return true;
    }
    Property* p = props_.find(name, vm.caseSensitive());
    if (!p)
        return false;
    p->flags = static_cast<uint16_t>((p->flags & ~clear) | set);
    return true;
}

bool Object::watch(Vm& vm, String* name, Function* callback, const Value& userData)
{
    if (!extra_)
        extra_.reset(new Extra());
    for (Watcher& w : extra_->watchers) {
        if (sameName(w.name, name, vm.caseSensitive())) {
            w.callback = callback;
            w.userData = userData;
            return true;
        }
    }
    extra_->watchers.push_back({name, callback, userData});
    return true;
}

bool Object::unwatch(Vm& vm, String* name)
{
    if (!extra_)
        return false;
    for (auto it = extra_->watchers.begin(); it != extra_->watchers.end(); ++it) {
        if (sameName(it->name, name, vm.caseSensitive())) {
            extra_->watchers.erase(it);
            return true;
        }
    }
    return false;
}

void Object::setInterfaces(std::vector<Function*> interfaces)
{
    if (!extra_)
        extra_.reset(new Extra());
    extra_->interfaces = std::move(interfaces);
}

void Object::setNative(Cell* state)
{
    if (!extra_)
        extra_.reset(new Extra());
    extra_->native = state;
}

const char* Object::typeOf() const { return "object"; }

bool Object::primitive(Value& out) const
{
    (void)out;
    return false;
}

void Object::refreshOwnedBytes(Heap& heap)
{
    std::size_t bytes = props_.ownedBytes() + extraOwnedBytes();
    if (bytes != ownedBytes())
        resized(heap, bytes);
}

void Object::trace(Tracer& tracer)
{
    props_.trace(tracer);
    tracer.mark(proto_);
    if (extra_) {
        for (const Watcher& w : extra_->watchers) {
            tracer.mark(w.name);
            tracer.mark(w.callback);
            tracer.mark(w.userData);
        }
        for (Function* f : extra_->interfaces)
            tracer.mark(f);
        tracer.mark(extra_->native);
    }
}

} // namespace swf::script
