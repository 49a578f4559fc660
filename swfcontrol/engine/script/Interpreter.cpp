// The interpreter loop: runs a block's or a function's decoded operations
// on the Vm's operand stack.
//
// Operands stay on the stack until an operation has its result: anything
// that runs script (a getter, valueOf, a call) may collect, and the stack
// is what keeps them alive. Intermediate results go back into their stack
// slots for the same reason.
#include "swfcontrol/engine/script/Array.h"
#include "swfcontrol/engine/script/Convert.h"
#include "swfcontrol/engine/script/Vm.h"

#include <cmath>
#include <cstring>

namespace swf::script {

namespace {

const char* const kPropertyNames[] = {
    "_x",        "_y",           "_xscale", "_yscale",    "_currentframe", "_totalframes", "_alpha",   "_visible",
    "_width",    "_height",      "_rotation", "_target", "_framesloaded", "_name",      "_droptarget", "_url",
    "_highquality", "_focusrect", "_soundbuftime", "_quality", "_xmouse",   "_ymouse",
};
constexpr unsigned kPropertyCount = sizeof(kPropertyNames) / sizeof(kPropertyNames[0]);

// `super`: reads start above the method's home prototype, calls run with
// the object the method was called on, and super() calls the constructor
// that prototype was made for. A method called through `super` has the
// prototype it was found on as its home; any other call's home is `this`'s
// __proto__ as it is whenever `super` is used, so a method may change it.
class SuperObject final : public Object {
public:
    SuperObject(Value self, Object* home) : Object(nullptr, Kind::Super), self_(self), home_(home) {}
    Value self() const { return self_; }
    Object* home() const
    {
        if (home_)
            return home_;
        Object* self = self_.object();
        return self ? self->proto() : nullptr;
    }
    // The prototype lookups start at.
    Object* start() const
    {
        Object* h = home();
        return h ? h->proto() : nullptr;
    }

    bool getOwn(Vm& vm, String* name, Object* receiver, Value& out) override
    {
        (void)receiver;
        Object* o = start();
        Object* self = self_.object();
        for (int i = 0; o && i < 256; ++i) {
            if (o->getOwn(vm, name, self ? self : o, out))
                return true;
            o = o->proto();
        }
        return false;
    }
    // Where a method named `name` is found, for the next super.
    Object* holderOf(Vm& vm, String* name)
    {
        Object* o = start();
        for (int i = 0; o && i < 256; ++i) {
            if (o->hasOwn(vm, name))
                return o;
            o = o->proto();
        }
        return nullptr;
    }
    Value constructor(Vm& vm)
    {
        Value c;
        Object* h = home();
        if (h && h->lookup(vm, vm.n.__constructor__, c))
            return c;
        return Value();
    }
    void trace(Tracer& tracer) override
    {
        Object::trace(tracer);
        tracer.mark(self_);
        tracer.mark(home_);
    }

private:
    Value self_;
    Object* home_;
};

bool isDisplay(const Object* o) { return o && o->kind() == Object::Kind::Display; }

// Unlinks a frame and frees its registers however the run ends.
struct FrameLink {
    FrameLink(Vm& vm, Frame& f) : vm(vm), f(f) { vm.enter(f); }
    ~FrameLink()
    {
        vm.leave(f);
        vm.freeRegisters(f.registerCount);
        vm.sp() = vm.stackBase() + f.stackBase;
    }
    Vm& vm;
    Frame& f;
};

class Interpreter {
public:
    Interpreter(Vm& vm, Frame& f)
        : vm_(vm), f_(f), n_(vm.n), sp_(vm.sp()), base_(vm.stackBase() + f.stackBase), code_(f.code->code().data())
    {
    }

    void run()
    {
        for (;;) {
            try {
                loop();
                return;
            } catch (ScriptThrow& thrown) {
                Value v = thrown.value;
                if (!handleThrow(v))
                    throw;
            }
        }
    }

private:
    // --- the stack -------------------------------------------------------
    Value* base() { return base_; }
    // The n-th value from the top (1 is the top), undefined below the frame.
    Value& at(std::size_t n)
    {
        if (static_cast<std::size_t>(sp_ - base_) < n)
            pad(n);
        return sp_[-static_cast<std::ptrdiff_t>(n)];
    }
    // Reads past what this frame pushed are undefined: pads below.
    void pad(std::size_t n)
    {
        std::size_t have = static_cast<std::size_t>(sp_ - base_);
        std::size_t missing = n - have;
        if (static_cast<std::size_t>(vm_.stackLimit() - sp_) < missing)
            throw ScriptAbort{ScriptAbort::Reason::Stack};
        std::memmove(base_ + missing, base_, have * sizeof(Value));
        for (std::size_t i = 0; i < missing; ++i)
            base_[i] = Value();
        sp_ += missing;
    }
    void drop(std::size_t n)
    {
        std::size_t have = static_cast<std::size_t>(sp_ - base_);
        sp_ -= n < have ? n : have;
    }
    Value pop() { return sp_ > base_ ? *--sp_ : Value(); }
    void push(const Value& v) { vm_.push(v); }
    // Replaces the top n values with one.
    void replace(std::size_t n, const Value& v)
    {
        if (static_cast<std::size_t>(sp_ - base_) >= n && n > 0) {
            sp_[-static_cast<std::ptrdiff_t>(n)] = v;
            sp_ -= n - 1;
            return;
        }
        Value r = v;
        drop(n);
        push(r);
    }
    std::size_t depth() { return static_cast<std::size_t>(sp_ - base_); }

    // Register i: the frame's own, else one of the block's four below
    // every call; null past those.
    Value* reg(uint32_t i)
    {
        if (i < f_.registerCount)
            return f_.registers + i;
        Value* global = vm_.globalRegisters();
        return global && i < 4 ? global + i : nullptr;
    }

    double num(const Value& v) { return v.isNumber() ? v.number() : vm_.toNumber(v); }
    String* str(const Value& v) { return v.isString() ? v.string() : vm_.toString(v); }
    bool truth(const Value& v) { return v.isBoolean() ? v.boolean() : vm_.toBoolean(v); }
    Value boolResult(bool b)
    {
        // SWF 4 movies have no Booleans: comparisons give 1 and 0.
        return f_.version < 5 ? Value(b ? 1 : 0) : Value(b);
    }

    // --- the loop --------------------------------------------------------
    void loop();
    // False when the operation returned from the frame.
    bool leaveRegions();
    bool doReturn(const Value& v);
    bool handleThrow(const Value& v);

    // --- names -----------------------------------------------------------
    bool hasPathChars(String* s) { return s->hasPathChars(); }
    Object* targetScopeObject();
    // Makes a function's locals before anything needs them in the chain.
    void ensureLocals()
    {
        if (f_.lazyLocals) {
            f_.lazyLocals = false;
            Object* locals = vm_.heap().make<Object>(nullptr);
            f_.scope = vm_.heap().make<Scope>(f_.scope, locals, Scope::Kind::Local);
        }
    }
    Value getVariable(String* name);
    void setVariable(String* name, const Value& v);
    bool lookupSimple(String* name, Value& out, Object** holder = nullptr);
    Object* resolvePath(std::u16string_view path, Object* from, bool& ok);
    bool splitVariable(String* name, Object*& object, String*& var);
    Object* resolveTarget(const Value& v);
    void defineLocal(String* name, const Value& v);
    Object* localObject();
    void setTarget(Object* target);

    // --- members ---------------------------------------------------------
    Value getMember(const Value& object, const Value& name);
    void setMember(const Value& object, const Value& name, const Value& v);
    Object* protoOfPrimitive(const Value& v);
    // Calls with `argc` arguments that start `below` values under the top,
    // the first argument nearest the top.
    Value callValue(const Value& fn, const Value& self, std::size_t argc, std::size_t below, Object* home);
    Value construct(const Value& ctor, std::size_t argc, std::size_t below);
    Value* layOutArguments(std::size_t argc, std::size_t below);
    void defineFunction(const Instr& ins);
    bool instanceOf(const Value& object, const Value& ctor);

    // --- operators -------------------------------------------------------
    Value add2(std::size_t a, std::size_t b);
    bool equals2(const Value& a, const Value& b);
    Value less2(std::size_t a, std::size_t b); // undefined for NaN
    static bool strictEquals(const Value& a, const Value& b);
    int64_t frameNumber(Object* clip, const Value& frame, Object*& target);

    Vm& vm_;
    Frame& f_;
    Vm::Names& n_;
    Value*& sp_;        // the Vm's: calls move it too
    Value* const base_; // the stack never moves
    const Instr* const code_;
};

// --- regions: with, try/catch/finally --------------------------------------

bool Interpreter::leaveRegions()
{
    while (!f_.regions.empty()) {
        Frame::Region& r = f_.regions.back();
        uint32_t pc = f_.pc;
        if (r.kind == Frame::Region::With) {
            if (pc >= r.begin && pc < r.end)
                return true;
            f_.scope = r.savedScope;
            f_.regions.pop_back();
            continue;
        }
        const TryInfo& t = f_.code->tries()[r.tryIndex];
        switch (r.state) {
        case Frame::Region::InTry:
            if (pc >= t.tryBegin && pc < t.tryEnd)
                return true;
            if (pc == t.tryEnd) {
                // Done without a throw: past the catch block.
                if (t.hasFinally) {
                    r.state = Frame::Region::InFinally;
                    f_.pc = t.finallyBegin;
                    continue;
                }
                f_.pc = t.finallyEnd;
                f_.regions.pop_back();
                continue;
            }
            break;
        case Frame::Region::InCatch:
            if (pc >= t.catchBegin && pc < t.catchEnd)
                return true;
            if (pc == t.catchEnd) {
                if (t.hasFinally) {
                    r.state = Frame::Region::InFinally;
                    continue;
                }
                f_.regions.pop_back();
                continue;
            }
            break;
        case Frame::Region::InFinally: {
            if (pc >= t.finallyBegin && pc < t.finallyEnd)
                return true;
            Frame::Region done = r;
            f_.regions.pop_back();
            if (pc != t.finallyEnd)
                continue; // the finally block jumped away: that wins
            switch (done.pending) {
            case Frame::Region::None: break;
            case Frame::Region::Jump: f_.pc = done.pendingTarget; break;
            case Frame::Region::Throw: throw ScriptThrow{done.pendingValue};
            case Frame::Region::Return:
                if (!doReturn(done.pendingValue))
                    return false;
                break;
            }
            continue;
        }
        }
        // A jump out of a try or catch block runs the finally block first.
        if (t.hasFinally) {
            r.state = Frame::Region::InFinally;
            r.pending = Frame::Region::Jump;
            r.pendingTarget = pc;
            f_.pc = t.finallyBegin;
            continue;
        }
        f_.regions.pop_back();
    }
    return true;
}

bool Interpreter::doReturn(const Value& v)
{
    while (!f_.regions.empty()) {
        Frame::Region& r = f_.regions.back();
        if (r.kind == Frame::Region::Try && r.state != Frame::Region::InFinally &&
            f_.code->tries()[r.tryIndex].hasFinally) {
            r.state = Frame::Region::InFinally;
            r.pending = Frame::Region::Return;
            r.pendingValue = v;
            f_.pc = f_.code->tries()[r.tryIndex].finallyBegin;
            return true;
        }
        if (r.kind == Frame::Region::With)
            f_.scope = r.savedScope;
        f_.regions.pop_back();
    }
    f_.returnValue = v;
    return false;
}

bool Interpreter::handleThrow(const Value& v)
{
    while (!f_.regions.empty()) {
        Frame::Region& r = f_.regions.back();
        if (r.kind == Frame::Region::With) {
            f_.scope = r.savedScope;
            f_.regions.pop_back();
            continue;
        }
        const TryInfo& t = f_.code->tries()[r.tryIndex];
        if (r.state == Frame::Region::InTry && t.hasCatch) {
            r.state = Frame::Region::InCatch;
            f_.scope = r.savedScope;
            f_.pc = t.catchBegin;
            if (t.catchInRegister) {
                if (Value* r = reg(t.catchRegister))
                    *r = v;
            } else if (t.catchName) {
                // The catch variable is a local of the function, or of the
                // timeline outside one.
                if (f_.callee)
                    defineLocal(t.catchName, v);
                else
                    setVariable(t.catchName, v);
            }
            return true;
        }
        if (r.state != Frame::Region::InFinally && t.hasFinally) {
            r.state = Frame::Region::InFinally;
            r.pending = Frame::Region::Throw;
            r.pendingValue = v;
            f_.scope = r.savedScope;
            f_.pc = t.finallyBegin;
            return true;
        }
        f_.regions.pop_back();
    }
    return false;
}

// --- names -------------------------------------------------------------------

Object* Interpreter::targetScopeObject()
{
    for (Scope* s = f_.scope; s; s = s->parent)
        if (s->kind == Scope::Kind::Target)
            return s->object;
    return f_.target ? f_.target : vm_.global();
}

Object* Interpreter::localObject()
{
    for (Scope* s = f_.scope; s; s = s->parent) {
        if (s->kind == Scope::Kind::Local)
            return s->object;
        if (s->kind == Scope::Kind::Target || s->kind == Scope::Kind::Global)
            break;
    }
    return nullptr;
}

// `var`: a `with` object that has the name itself takes it; otherwise the
// function's locals, or outside a function the timeline.
void Interpreter::defineLocal(String* name, const Value& v)
{
    ensureLocals();
    for (Scope* s = f_.scope; s; s = s->parent) {
        if (s->kind == Scope::Kind::With) {
            if (s->object && s->object->hasOwn(vm_, name)) {
                s->object->set(vm_, name, v);
                return;
            }
            continue;
        }
        if (s->kind == Scope::Kind::Local || s->kind == Scope::Kind::Target) {
            s->object->set(vm_, name, v);
            return;
        }
        break;
    }
    targetScopeObject()->set(vm_, name, v);
}

bool Interpreter::lookupSimple(String* name, Value& out, Object** holder)
{
    bool cs = vm_.caseSensitive();
    auto is = [&](String* known) { return cs ? name == known : name->folded() == known->folded(); };
    if (is(n_.this_)) {
        out = f_.self;
        return true;
    }
    if (f_.version >= 6 && is(n_._global)) {
        out = Value(vm_.global());
        return true;
    }
    for (Scope* s = f_.scope; s; s = s->parent) {
        if (s->object && s->object->lookup(vm_, name, out)) {
            if (holder)
                *holder = s->object;
            return true;
        }
    }
    if (is(n_._root)) {
        out = Value(vm_.host().root(f_.base));
        return true;
    }
    // _levelN
    std::u16string_view v = name->view();
    if (v.size() > 6 && (v.substr(0, 6) == u"_level" || (!cs && name->folded()->view().substr(0, 6) == u"_level"))) {
        uint32_t level = 0;
        for (std::size_t i = 6; i < v.size(); ++i) {
            if (v[i] < '0' || v[i] > '9')
                return false;
            level = level * 10 + (v[i] - '0');
            if (level > 0xFFFF)
                return false;
        }
        if (Object* o = vm_.host().level(level)) {
            out = Value(o);
            return true;
        }
    }
    return false;
}

// A path of clips: "/a/b", "../c", "a.b", "_root.x", "_level1/y".
Object* Interpreter::resolvePath(std::u16string_view path, Object* from, bool& ok)
{
    ok = true;
    Object* at = from;
    std::size_t i = 0;
    if (!path.empty() && path[0] == '/') {
        at = vm_.host().root(f_.base);
        i = 1;
    }
    bool first = true;
    while (i < path.size()) {
        std::size_t end = path.find_first_of(u"/.:", i);
        if (end == std::u16string_view::npos)
            end = path.size();
        // ".." is the parent in slash paths.
        if (path.compare(i, 2, u"..") == 0 && (i + 2 == path.size() || path[i + 2] == '/')) {
            end = i + 2;
            at = at ? at->get(vm_, n_._parent).object() : nullptr;
        } else if (end > i) {
            String* part = vm_.intern(path.substr(i, end - i));
            Value v;
            if (first && at == from) {
                // The first name of a dot path is a variable in scope.
                if (!lookupSimple(part, v) && at)
                    v = at->get(vm_, part);
            } else if (at) {
                v = at->get(vm_, part);
            }
            at = v.object();
        }
        if (!at) {
            ok = false;
            return nullptr;
        }
        first = false;
        i = end < path.size() ? end + 1 : end;
    }
    return at;
}

// "path:var" and "/path/var" name a variable on a clip, the path taken
// from the target. "a.b.c" is looked for scope by scope: the first scope
// where a.b leads to an object that has c gives it, or else the first
// where a.b leads to an object.
bool Interpreter::splitVariable(String* name, Object*& object, String*& var)
{
    std::u16string_view v = name->view();
    object = nullptr;
    if (v.find_first_of(u"/:") == std::u16string_view::npos) {
        std::size_t cut = v.find_last_of(u'.');
        var = vm_.intern(v.substr(cut + 1));
        std::u16string_view path = v.substr(0, cut);
        std::size_t dot = path.find(u'.');
        String* first = vm_.intern(path.substr(0, dot));
        std::u16string_view rest = dot == std::u16string_view::npos ? std::u16string_view() : path.substr(dot + 1);
        auto walk = [&](Object* o) -> Object* {
            std::size_t i = 0;
            while (o && i < rest.size()) {
                std::size_t end = rest.find(u'.', i);
                if (end == std::u16string_view::npos)
                    end = rest.size();
                o = o->get(vm_, vm_.intern(rest.substr(i, end - i))).object();
                i = end + 1;
            }
            return o;
        };
        bool cs = vm_.caseSensitive();
        auto is = [&](String* known) { return cs ? first == known : first->folded() == known->folded(); };
        if (is(n_.this_) || is(n_._global) || is(n_._root) ||
            (first->length() > 6 && first->folded()->view().substr(0, 6) == u"_level")) {
            Value base;
            lookupSimple(first, base);
            object = walk(base.object());
            return true;
        }
        Object* fallback = nullptr;
        for (Scope* s = f_.scope; s; s = s->parent) {
            Value head;
            if (!s->object || !s->object->lookup(vm_, first, head) || !head.object())
                continue;
            Object* o = walk(head.object());
            if (o && o->hasProperty(vm_, var)) {
                object = o;
                return true;
            }
            if (o && !fallback)
                fallback = o;
        }
        object = fallback;
        return true;
    }
    std::size_t cut = v.find_last_of(u":.");
    if (cut == std::u16string_view::npos) {
        // "/a/b" alone names the clip itself; "/a/b" as a variable path
        // takes its last part as the variable (Flash 4 style).
        cut = v.find_last_of(u'/');
        if (cut == std::u16string_view::npos)
            return false;
    }
    bool ok;
    object = cut == 0 ? vm_.host().root(f_.base) : resolvePath(v.substr(0, cut), f_.target ? f_.target : f_.base, ok);
    var = vm_.intern(v.substr(cut + 1));
    return true;
}

Value Interpreter::getVariable(String* name)
{
    Value out;
    if (!hasPathChars(name)) {
        lookupSimple(name, out);
        return out;
    }
    Object* object = nullptr;
    String* var = nullptr;
    if (splitVariable(name, object, var)) {
        if (!object)
            return Value();
        if (var->empty())
            return Value(object);
        return object->get(vm_, var);
    }
    return Value();
}

void Interpreter::setVariable(String* name, const Value& v)
{
    if (hasPathChars(name)) {
        Object* object = nullptr;
        String* var = nullptr;
        if (splitVariable(name, object, var) && object && !var->empty())
            object->set(vm_, var, v);
        return;
    }
    // The first scope that has the name takes it; otherwise the timeline.
    for (Scope* s = f_.scope; s; s = s->parent) {
        if (s->kind == Scope::Kind::Global || s->kind == Scope::Kind::Target)
            break;
        if (s->object && s->object->hasProperty(vm_, name)) {
            s->object->set(vm_, name, v);
            return;
        }
    }
    targetScopeObject()->set(vm_, name, v);
}

Object* Interpreter::resolveTarget(const Value& v)
{
    if (Object* o = v.object())
        return o;
    String* path = str(v);
    if (path->empty())
        return f_.target;
    bool ok;
    Object* o = resolvePath(path->view(), f_.target ? f_.target : f_.base, ok);
    return ok ? o : nullptr;
}

void Interpreter::setTarget(Object* target)
{
    ensureLocals();
    // The timeline of the scope chain follows the target.
    Object* clip = target ? target : f_.base;
    std::vector<Scope*> above;
    Scope* s = f_.scope;
    for (; s && s->kind != Scope::Kind::Target && s->kind != Scope::Kind::Global; s = s->parent)
        above.push_back(s);
    Scope* rest = s && s->kind == Scope::Kind::Target ? s->parent : s;
    Scope* chain = clip ? vm_.heap().make<Scope>(rest, clip, Scope::Kind::Target) : rest;
    for (auto it = above.rbegin(); it != above.rend(); ++it)
        chain = vm_.heap().make<Scope>(chain, (*it)->object, (*it)->kind);
    f_.scope = chain;
    f_.target = target;
}

// --- members -----------------------------------------------------------------

Object* Interpreter::protoOfPrimitive(const Value& v)
{
    switch (v.type()) {
    case Value::Type::String: return vm_.protos.string;
    case Value::Type::Number: return vm_.protos.number;
    case Value::Type::Boolean: return vm_.protos.boolean;
    default: return nullptr;
    }
}

Value Interpreter::getMember(const Value& object, const Value& name)
{
    Object* o = object.object();
    if (o && o->kind() == Object::Kind::Array && name.isNumber()) {
        double d = name.number();
        if (d >= 0 && d < 2147483647.0 && d == std::floor(d)) {
            ArrayObject* a = static_cast<ArrayObject*>(o);
            std::size_t i = static_cast<std::size_t>(d);
            if (a->has(i))
                return a->at(i);
        }
    }
    String* key = vm_.toName(name);
    if (o)
        return o->get(vm_, key);
    if (object.isString() && (key == n_.length || (!vm_.caseSensitive() && key->folded() == n_.length)))
        return Value(static_cast<double>(object.string()->length()));
    if (Object* proto = protoOfPrimitive(object)) {
        Value out;
        if (proto->lookup(vm_, key, out))
            return out;
    }
    return Value();
}

void Interpreter::setMember(const Value& object, const Value& name, const Value& v)
{
    Object* o = object.object();
    if (!o)
        return; // primitives keep no properties
    if (o->kind() == Object::Kind::Array && name.isNumber()) {
        double d = name.number();
        if (d >= 0 && d < 2147483647.0 && d == std::floor(d)) {
            static_cast<ArrayObject*>(o)->put(vm_, static_cast<std::size_t>(d), v);
            return;
        }
    }
    String* key = vm_.toName(name);
    if (!key->empty()) // an empty name takes no value
        o->set(vm_, key, v);
}

// Copies the arguments above the top in order, where they stay rooted
// for the call.
Value* Interpreter::layOutArguments(std::size_t argc, std::size_t below)
{
    if (static_cast<std::size_t>(vm_.stackLimit() - vm_.sp()) < argc)
        throw ScriptAbort{ScriptAbort::Reason::Stack};
    Value* args = vm_.sp();
    Value* top = vm_.sp() - below;
    for (std::size_t i = 0; i < argc; ++i)
        args[i] = top[-1 - static_cast<std::ptrdiff_t>(i)];
    vm_.sp() += argc;
    return args;
}

Value Interpreter::callValue(const Value& fnValue, const Value& selfValue, std::size_t argc, std::size_t below,
                             Object* home)
{
    Value fn = fnValue, self = selfValue;
    Object* o = fn.object();
    if (o && o->kind() == Object::Kind::Super) {
        // super(): the constructor the prototype above was made for.
        SuperObject* sup = static_cast<SuperObject*>(o);
        fn = sup->constructor(vm_);
        self = sup->self();
        home = sup->start();
        o = fn.object();
        at(below) = fn; // rooted for the call
    }
    if (!o || !o->isFunction())
        return Value();
    Value* args = layOutArguments(argc, below);
    Value result;
    Function* f = static_cast<Function*>(o);
    if (ScriptFunction* script = f->asScript())
        result = vm_.runFunction(*script, self, Args(args, argc), home);
    else
        result = f->call(vm_, self, Args(args, argc));
    vm_.sp() = args;
    return result;
}

Value Interpreter::construct(const Value& ctor, std::size_t argc, std::size_t below)
{
    Object* o = ctor.object();
    if (!o || !o->isFunction())
        return Value();
    Value* args = layOutArguments(argc, below);
    Value result = vm_.construct(ctor, Args(args, argc));
    vm_.sp() = args;
    return result;
}

void Interpreter::defineFunction(const Instr& ins)
{
    ensureLocals(); // the closure sees the locals, made now or later
    const FunctionInfo& info = f_.code->functions()[ins.a];
    ScriptFunction* fn = vm_.heap().make<ScriptFunction>(vm_.protos.function, f_.code, ins.a, f_.scope, f_.pool,
                                                         f_.base);
    Value fv(fn);
    push(fv); // rooted while its prototype is made
    Object* proto = vm_.newObject();
    proto->define(vm_, n_.constructor, fv, DontEnum);
    fn->define(vm_, n_.prototype, Value(proto), DontEnum);
    if (info.name && !info.name->empty()) {
        drop(1);
        defineLocal(info.name, fv);
    }
}

bool Interpreter::instanceOf(const Value& object, const Value& ctor)
{
    Object* o = object.object();
    Object* c = ctor.object();
    if (!o || !c)
        return false;
    Value pv = c->get(vm_, n_.prototype);
    Object* proto = pv.object();
    Object* p = o->proto();
    for (int i = 0; p && i < 256; ++i) {
        if (p == proto)
            return true;
        if (const std::vector<Function*>* interfaces = p->interfaces()) {
            // An interface and the interfaces it extends.
            std::vector<Object*> pending(interfaces->begin(), interfaces->end());
            for (std::size_t k = 0; k < pending.size() && k < 1024; ++k) {
                if (pending[k] == c)
                    return true;
                Value ip = pending[k]->get(vm_, n_.prototype);
                if (Object* ipo = ip.object())
                    if (const std::vector<Function*>* more = ipo->interfaces())
                        pending.insert(pending.end(), more->begin(), more->end());
            }
        }
        p = p->proto();
    }
    return false;
}

// --- operators -----------------------------------------------------------------

Value Interpreter::add2(std::size_t ia, std::size_t ib)
{
    if (at(ia).isNumber() && at(ib).isNumber())
        return Value(at(ia).number() + at(ib).number());
    at(ia) = vm_.toPrimitive(at(ia));
    at(ib) = vm_.toPrimitive(at(ib));
    const Value& a = at(ia);
    const Value& b = at(ib);
    if (a.isString() || b.isString()) {
        at(ia) = Value(str(a));
        at(ib) = Value(str(b));
        return Value(vm_.concat(at(ia).string(), at(ib).string()));
    }
    return Value(num(a) + num(b));
}

// A NaN equals a NaN in Flash Player, unlike ECMAScript.
bool Interpreter::strictEquals(const Value& a, const Value& b)
{
    if (a.type() != b.type())
        return false;
    switch (a.type()) {
    case Value::Type::Undefined:
    case Value::Type::Null: return true;
    case Value::Type::Boolean: return a.boolean() == b.boolean();
    case Value::Type::Number:
        return a.number() == b.number() || (std::isnan(a.number()) && std::isnan(b.number()));
    case Value::Type::String: return a.string()->equals(b.string());
    case Value::Type::Object: return a.object() == b.object();
    }
    return false;
}

bool Interpreter::equals2(const Value& a, const Value& b)
{
    if (a.type() == b.type())
        return strictEquals(a, b);
    // An object meets a primitive (undefined and null too) as its
    // primitive: a bare object's is undefined.
    if (a.isObject() || b.isObject()) {
        const Value& object = a.isObject() ? a : b;
        const Value& other = a.isObject() ? b : a;
        if (other.isObject())
            return false;
        Value p = vm_.toPrimitive(object);
        return p.isObject() ? false : equals2(p, other);
    }
    if (a.isNullish() || b.isNullish())
        return a.isNullish() && b.isNullish();
    if (a.isBoolean())
        return equals2(Value(a.boolean() ? 1.0 : 0.0), b);
    if (b.isBoolean())
        return equals2(a, Value(b.boolean() ? 1.0 : 0.0));
    // NaN from a conversion equals nothing.
    return num(a) == num(b);
}

Value Interpreter::less2(std::size_t ia, std::size_t ib)
{
    if (at(ia).isNumber() && at(ib).isNumber()) {
        double x = at(ia).number(), y = at(ib).number();
        return std::isnan(x) || std::isnan(y) ? Value() : Value(x < y);
    }
    at(ia) = vm_.toPrimitive(at(ia), Vm::Hint::Number);
    at(ib) = vm_.toPrimitive(at(ib), Vm::Hint::Number);
    const Value& a = at(ia);
    const Value& b = at(ib);
    if (a.isString() && b.isString())
        return Value(a.string()->compare(b.string()) < 0);
    double x = num(a), y = num(b);
    if (std::isnan(x) || std::isnan(y))
        return Value();
    return Value(x < y);
}

// A frame given as a number (1-based) or a label, "path:label" or
// "path:frame"; -1 when there is none. `target` becomes the clip meant.
int64_t Interpreter::frameNumber(Object* clip, const Value& frame, Object*& target)
{
    target = clip;
    auto fromNumber = [](double d) -> int64_t {
        if (std::isnan(d))
            return -1;
        d = toInteger(d);
        return d < -1 ? -1 : d > 4294967296.0 ? 4294967295ll : static_cast<int64_t>(d) - 1;
    };
    if (frame.isNumber() || frame.isBoolean() || frame.isNullish())
        return fromNumber(num(frame));
    String* s = str(frame);
    std::u16string_view v = s->view();
    std::size_t colon = v.find_last_of(u':');
    if (colon != std::u16string_view::npos) {
        bool ok;
        target = colon == 0 ? vm_.host().root(f_.base) : resolvePath(v.substr(0, colon), clip, ok);
        if (!target)
            return -1;
        v = v.substr(colon + 1);
    }
    double d = parseNumber(v, f_.version);
    if (!std::isnan(d))
        return fromNumber(d);
    return vm_.host().frameOfLabel(target, vm_.intern(v));
}

// --- the loop ----------------------------------------------------------------

// `pc` stays in a local; the frame's copy is written where try and with
// blocks and returns need it.
void Interpreter::loop()
{
    Host& host = vm_.host();
    uint32_t pc = f_.pc;
    const uint32_t begin = f_.begin, end = f_.end;
    bool regions = !f_.regions.empty();
    // A backward jump is a loop's turn: it counts against the slice and is
    // a safe point.
#define JUMP(target)                                                                                                   \
    do {                                                                                                               \
        uint32_t to = (target);                                                                                        \
        if (to < pc) {                                                                                                 \
            vm_.step();                                                                                                \
            vm_.collectIfDue();                                                                                        \
        }                                                                                                              \
        pc = to;                                                                                                       \
    } while (0)
    // The stack's top stays in a local too: the common operations on
    // numbers and registers use it, and it is written back before anything
    // else runs (the operations below the fast ones use sp_).
    Value* sp = sp_;
    Value* const limit = vm_.stackLimit();
    const bool swf5 = f_.version >= 5;
    for (;;) {
        if (regions) {
            sp_ = sp;
            f_.pc = pc;
            if (!leaveRegions())
                return;
            pc = f_.pc;
            sp = sp_;
            regions = !f_.regions.empty();
        }
        if (pc >= end || pc < begin) {
            sp_ = sp;
            f_.pc = pc;
            return;
        }
        const Instr& ins = code_[pc++];
        const std::ptrdiff_t have = sp - base_;
        switch (ins.action) {
        case ActPush: {
            if (limit - sp < ins.n)
                break;
            const PushItem* item = f_.code->pushes().data() + ins.a;
            for (uint32_t i = 0; i < ins.n; ++i, ++item) {
                if (item->kind == PushItem::Literal) {
                    *sp++ = item->value;
                } else if (item->kind == PushItem::Register) {
                    Value* r = reg(item->index);
                    *sp++ = r ? *r : Value();
                } else {
                    ConstantPool* pool = f_.pool;
                    *sp++ = pool && item->index < pool->strings.size() ? Value(pool->strings[item->index]) : Value();
                }
            }
            continue;
        }
        case ActPop:
            if (have > 0)
                --sp;
            continue;
        case ActPushDuplicate:
            if (have < 1 || sp == limit)
                break;
            *sp = sp[-1];
            ++sp;
            continue;
        case ActStoreRegister:
            if (have < 1)
                break;
            if (Value* r = reg(ins.a))
                *r = sp[-1];
            continue;
        case OpStoreRegisterPop:
            if (have < 1)
                break;
            if (Value* r = reg(ins.a))
                *r = sp[-1];
            --sp;
            pc += 1;
            continue;
        case ActJump:
        case OpJoin:
            if (ins.a < pc)
                sp_ = sp; // a safe point: the collector reads the stack
            JUMP(ins.a);
            continue;
        case ActIf:
            if (have < 1 || !sp[-1].isBoolean())
                break;
            --sp;
            if (sp->boolean()) {
                if (ins.a < pc)
                    sp_ = sp;
                JUMP(ins.a);
            }
            continue;
        case OpLessOrJump:
            if (have < 2 || !sp[-1].isNumber() || !sp[-2].isNumber())
                break;
            sp -= 2;
            // NaN compares as not less: the loop ends.
            if (sp[0].number() < sp[1].number()) {
                pc += 2;
            } else {
                if (ins.a < pc)
                    sp_ = sp;
                JUMP(ins.a);
            }
            continue;
#define NUMERIC(action, expr)                                                                                          \
    case action:                                                                                                       \
        if (have < 2 || !sp[-1].isNumber() || !sp[-2].isNumber())                                                     \
            break;                                                                                                     \
        {                                                                                                              \
            double a = sp[-2].number(), b = sp[-1].number();                                                           \
            --sp;                                                                                                      \
            sp[-1] = Value(expr);                                                                                      \
        }                                                                                                              \
        continue;
            NUMERIC(ActAdd2, a + b)
            NUMERIC(ActSubtract, a - b)
            NUMERIC(ActMultiply, a * b)
            NUMERIC(ActLess2, std::isnan(a) || std::isnan(b) ? Value() : Value(a < b))
            NUMERIC(ActGreater, std::isnan(a) || std::isnan(b) ? Value() : Value(b < a))
            NUMERIC(ActEquals2, a == b || (std::isnan(a) && std::isnan(b)))
            NUMERIC(ActStrictEquals, a == b || (std::isnan(a) && std::isnan(b)))
            NUMERIC(ActBitAnd, toInt32(a) & toInt32(b))
            NUMERIC(ActBitOr, toInt32(a) | toInt32(b))
            NUMERIC(ActBitXor, toInt32(a) ^ toInt32(b))
#undef NUMERIC
        case ActDivide:
        case ActModulo:
            if (!swf5 || have < 2 || !sp[-1].isNumber() || !sp[-2].isNumber())
                break;
            sp[-2] = Value(ins.action == ActDivide ? sp[-2].number() / sp[-1].number()
                                                   : std::fmod(sp[-2].number(), sp[-1].number()));
            --sp;
            continue;
        case ActIncrement:
        case ActDecrement:
            if (have < 1 || !sp[-1].isNumber())
                break;
            sp[-1] = Value(sp[-1].number() + (ins.action == ActIncrement ? 1 : -1));
            continue;
        case ActNot:
            if (!swf5 || have < 1 || !sp[-1].isBoolean())
                break;
            sp[-1] = Value(!sp[-1].boolean());
            continue;
        case ActGetMember:
            if (have >= 2 && sp[-1].isNumber()) {
                Object* o = sp[-2].object();
                double d = sp[-1].number();
                if (o && o->kind() == Object::Kind::Array && d >= 0 && d < 2147483647.0 && d == std::floor(d)) {
                    ArrayObject* a = static_cast<ArrayObject*>(o);
                    if (a->has(static_cast<std::size_t>(d))) {
                        sp[-2] = a->at(static_cast<std::size_t>(d));
                        --sp;
                        continue;
                    }
                }
            }
            break;
        default: break;
        }
        // Everything else, on the Vm's stack pointer.
        sp_ = sp;
        struct Reload {
            Value*& local;
            Value*& shared;
            ~Reload() { local = shared; }
        } reload{sp, sp_};
        switch (ins.action) {
        case ActEnd: return;
        case OpJoin: JUMP(ins.a); break;

        // --- the timeline ---
        case ActNextFrame: host.nextFrame(f_.target); break;
        case ActPrevFrame: host.prevFrame(f_.target); break;
        case ActPlay: host.play(f_.target); break;
        case ActStop: host.stop(f_.target); break;
        case ActToggleQuality: host.toggleQuality(); break;
        case ActStopSounds: host.stopSounds(); break;
        case ActGotoFrame: host.gotoFrame(f_.target, ins.a, false); break;
        case ActGotoLabel: {
            int64_t frame = host.frameOfLabel(f_.target, f_.code->string(ins.a));
            if (frame >= 0)
                host.gotoFrame(f_.target, static_cast<uint32_t>(frame), false);
            break;
        }
        case ActGotoFrame2: {
            Object* target;
            int64_t frame = frameNumber(f_.target, at(1), target);
            if (frame >= 0 && (ins.a & 0x02))
                frame += ins.b;
            if (frame >= 0 && frame <= 0xFFFFFFFFll)
                host.gotoFrame(target, static_cast<uint32_t>(frame), ins.a & 0x01);
            drop(1);
            break;
        }
        case ActWaitForFrame:
            if (!host.frameLoaded(f_.target, ins.a))
                pc = ins.b;
            break;
        case ActWaitForFrame2: {
            Object* target;
            int64_t frame = frameNumber(f_.target, at(1), target);
            drop(1);
            if (frame >= 0 && !host.frameLoaded(target, static_cast<uint32_t>(frame)))
                pc = ins.b;
            break;
        }
        case ActCall: {
            Object* target;
            int64_t frame = frameNumber(f_.target, at(1), target);
            if (frame >= 0 && target)
                host.callFrame(target, static_cast<uint32_t>(frame));
            drop(1);
            break;
        }
        case ActSetTarget: {
            String* path = f_.code->string(ins.a);
            if (path->empty()) {
                setTarget(nullptr);
                f_.target = f_.base;
            } else {
                bool ok;
                Object* t = resolvePath(path->view(), f_.base, ok);
                setTarget(t);
            }
            break;
        }
        case ActSetTarget2: {
            Value v = at(1);
            Object* t;
            if (v.isString() && v.string()->empty()) {
                t = nullptr;
            } else if (v.isObject()) {
                t = v.object();
            } else {
                bool ok;
                t = resolvePath(str(v)->view(), f_.base, ok);
            }
            drop(1);
            setTarget(t);
            if (!t && v.isString() && v.string()->empty())
                f_.target = f_.base;
            break;
        }
        case ActGetUrl:
            host.getUrl(f_.target, f_.code->string(ins.a), Value(f_.code->string(ins.b)), 0);
            break;
        case ActGetUrl2: {
            at(2) = Value(str(at(2)));
            host.getUrl(f_.target, at(2).string(), at(1), static_cast<uint8_t>(ins.a));
            drop(2);
            break;
        }
        case ActGetProperty: {
            double index = num(at(1));
            Object* target = resolveTarget(at(2));
            Value r;
            if (target && index >= 0 && index < kPropertyCount)
                r = target->get(vm_, vm_.name(kPropertyNames[static_cast<unsigned>(index)]));
            replace(2, r);
            break;
        }
        case ActSetProperty: {
            double index = num(at(2));
            Object* target = resolveTarget(at(3));
            if (target && index >= 0 && index < kPropertyCount)
                target->set(vm_, vm_.name(kPropertyNames[static_cast<unsigned>(index)]), at(1));
            drop(3);
            break;
        }
        case ActCloneSprite: {
            int32_t d = vm_.toInt32(at(1));
            String* name = str(at(2));
            at(2) = Value(name);
            Object* source = resolveTarget(at(3));
            if (source)
                host.cloneSprite(source, name, d);
            drop(3);
            break;
        }
        case ActRemoveSprite: {
            if (Object* t = resolveTarget(at(1)))
                host.removeSprite(t);
            drop(1);
            break;
        }
        case ActStartDrag: {
            Object* target = resolveTarget(at(1));
            bool lock = truth(at(2));
            bool constrain = truth(at(3));
            double rect[4];
            std::size_t used = 3;
            if (constrain) {
                rect[0] = num(at(7));
                rect[1] = num(at(6));
                rect[2] = num(at(5));
                rect[3] = num(at(4));
                used = 7;
            }
            if (target)
                host.startDrag(target, lock, constrain ? rect : nullptr);
            drop(used);
            break;
        }
        case ActEndDrag: host.stopDrag(); break;
        case ActTrace: {
            const Value& v = at(1);
            if (v.isUndefined()) {
                host.trace(u"undefined");
            } else {
                // The log ends a line at every carriage return.
                std::u16string line(str(v)->view());
                for (char16_t& c : line)
                    if (c == '\r')
                        c = '\n';
                host.trace(line);
            }
            drop(1);
            break;
        }
        case ActGetTime: push(Value(std::floor(host.now()))); break;
        case ActRandomNumber: {
            int32_t max = vm_.toInt32(at(1));
            double r = max > 0 ? static_cast<double>(vm_.random()() % static_cast<uint32_t>(max)) : 0;
            replace(1, Value(r));
            break;
        }

        // --- SWF 4 arithmetic, logic and strings ---
        case ActAdd: replace(2, Value(num(at(2)) + num(at(1)))); break;
        case ActSubtract: replace(2, Value(num(at(2)) - num(at(1)))); break;
        case ActMultiply: replace(2, Value(num(at(2)) * num(at(1)))); break;
        case ActDivide: {
            double a = num(at(2)), b = num(at(1));
            if (b == 0 && f_.version < 5)
                replace(2, Value(vm_.strAscii("#ERROR#")));
            else
                replace(2, Value(a / b));
            break;
        }
        case ActEquals: {
            // The top converts first.
            double b = num(at(1));
            replace(2, boolResult(num(at(2)) == b));
            break;
        }
        case ActLess: replace(2, boolResult(num(at(2)) < num(at(1)))); break;
        case ActAnd: replace(2, boolResult(truth(at(2)) && truth(at(1)))); break;
        case ActOr: replace(2, boolResult(truth(at(2)) || truth(at(1)))); break;
        case ActNot: replace(1, boolResult(!truth(at(1)))); break;
        case ActStringEquals: {
            at(2) = Value(str(at(2)));
            replace(2, boolResult(at(2).string()->equals(str(at(1)))));
            break;
        }
        case ActStringLess: {
            at(2) = Value(str(at(2)));
            replace(2, boolResult(at(2).string()->compare(str(at(1))) < 0));
            break;
        }
        case ActStringGreater: {
            at(2) = Value(str(at(2)));
            replace(2, boolResult(at(2).string()->compare(str(at(1))) > 0));
            break;
        }
        case ActStringAdd: {
            at(2) = Value(str(at(2)));
            at(1) = Value(str(at(1)));
            replace(2, Value(vm_.concat(at(2).string(), at(1).string())));
            break;
        }
        case ActStringLength:
        case ActMBStringLength: replace(1, Value(static_cast<double>(str(at(1))->length()))); break;
        case ActStringExtract:
        case ActMBStringExtract: {
            double count = toInteger(num(at(1)));
            double index = toInteger(num(at(2)));
            String* s = str(at(3));
            at(3) = Value(s);
            double len = static_cast<double>(s->length());
            double start = index < 1 ? 0 : index - 1;
            if (start > len)
                start = len;
            double take = count < 0 ? len - start : std::min(count, len - start);
            replace(3, Value(vm_.str(s->view().substr(static_cast<std::size_t>(start), static_cast<std::size_t>(take)))));
            break;
        }
        case ActCharToAscii:
        case ActMBCharToAscii: {
            String* s = str(at(1));
            double code = s->empty() ? 0 : s->at(0);
            if (ins.action == ActMBCharToAscii && s->length() >= 2 && s->at(0) >= 0xD800 && s->at(0) < 0xDC00 &&
                s->at(1) >= 0xDC00 && s->at(1) < 0xE000)
                code = 0x10000 + ((s->at(0) - 0xD800) << 10) + (s->at(1) - 0xDC00);
            replace(1, Value(code));
            break;
        }
        case ActAsciiToChar:
        case ActMBAsciiToChar: {
            uint32_t code = static_cast<uint32_t>(vm_.toInt32(at(1)));
            std::u16string text;
            if (code >= 0x10000 && code <= 0x10FFFF && ins.action == ActMBAsciiToChar) {
                code -= 0x10000;
                text.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
                text.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
            } else if (code != 0) {
                char c = static_cast<char>(code & 0xFF);
                text = f_.version < 6 && ins.action == ActAsciiToChar ? decodeAnsi(std::string_view(&c, 1))
                                                                      : std::u16string(1, static_cast<char16_t>(code));
            }
            replace(1, Value(vm_.str(text)));
            break;
        }
        case ActToInteger: replace(1, Value(static_cast<double>(toInt32(num(at(1)))))); break;

        // --- the stack and registers ---
        case ActPush: {
            const PushItem* item = f_.code->pushes().data() + ins.a;
            for (uint32_t i = 0; i < ins.n; ++i, ++item) {
                switch (item->kind) {
                case PushItem::Literal: push(item->value); break;
                case PushItem::Register: {
                    Value* r = reg(item->index);
                    push(r ? *r : Value());
                    break;
                }
                case PushItem::Constant:
                    push(f_.pool && item->index < f_.pool->strings.size() ? Value(f_.pool->strings[item->index])
                                                                           : Value());
                    break;
                }
            }
            break;
        }
        case ActPop: drop(1); break;
        case ActPushDuplicate: push(at(1)); break;
        case ActStackSwap: std::swap(at(1), at(2)); break;
        case ActStoreRegister:
            if (Value* r = reg(ins.a))
                *r = at(1);
            break;
        case OpStoreRegisterPop:
            if (Value* r = reg(ins.a))
                *r = at(1);
            drop(1);
            pc += 1;
            break;
        case OpLessOrJump: {
            Value r = less2(2, 1);
            drop(2);
            if (!(r.isBoolean() && r.boolean()))
                JUMP(ins.a);
            else
                pc += 2;
            break;
        }
        case ActConstantPool: f_.pool = f_.code->pools()[ins.a]; break;

        // --- variables ---
        case ActGetVariable: {
            String* name = vm_.toName(at(1));
            at(1) = Value(name);
            replace(1, getVariable(name));
            break;
        }
        case ActSetVariable: {
            String* name = vm_.toName(at(2));
            at(2) = Value(name);
            setVariable(name, at(1));
            drop(2);
            break;
        }
        case ActDefineLocal: {
            String* name = vm_.toName(at(2));
            at(2) = Value(name);
            defineLocal(name, at(1));
            drop(2);
            break;
        }
        case ActDefineLocal2: {
            ensureLocals();
            String* name = vm_.toName(at(1));
            at(1) = Value(name);
            Object* locals = localObject();
            Object* into = locals ? locals : targetScopeObject();
            if (!into->hasOwn(vm_, name))
                into->set(vm_, name, Value());
            drop(1);
            break;
        }
        case ActDelete: {
            String* name = vm_.toName(at(1));
            at(1) = Value(name);
            Object* o = at(2).object();
            bool done = o && o->remove(vm_, name);
            replace(2, Value(done));
            break;
        }
        case ActDelete2: {
            String* name = vm_.toName(at(1));
            at(1) = Value(name);
            bool done = false;
            for (Scope* s = f_.scope; s; s = s->parent) {
                if (s->object && s->object->hasOwn(vm_, name)) {
                    done = s->object->remove(vm_, name);
                    break;
                }
            }
            replace(1, Value(done));
            break;
        }

        // --- objects ---
        case ActGetMember: replace(2, getMember(at(2), at(1))); break;
        case ActSetMember: setMember(at(3), at(2), at(1)); drop(3); break;
        case ActInitArray: {
            double wanted = toInteger(num(at(1)));
            // A count past what the stack holds makes nothing and takes nothing.
            if (wanted < 0 || wanted > static_cast<double>(depth() - 1)) {
                replace(1, Value());
                break;
            }
            std::size_t count = static_cast<std::size_t>(wanted);
            ArrayObject* a = vm_.newArray();
            Value av(a);
            for (std::size_t i = 0; i < count; ++i)
                a->push(vm_, at(2 + i));
            replace(count + 1, av);
            break;
        }
        case ActInitObject: {
            double wanted = toInteger(num(at(1)));
            if (wanted < 0 || wanted * 2 > static_cast<double>(depth() - 1)) {
                replace(1, Value());
                break;
            }
            std::size_t pairs = static_cast<std::size_t>(wanted);
            Object* o = vm_.newObject();
            Value ov(o);
            // The pair on top is set first.
            for (std::size_t i = 0; i < pairs; ++i) {
                String* name = vm_.toName(at(2 + 2 * i + 1));
                o->set(vm_, name, at(2 + 2 * i));
            }
            replace(pairs * 2 + 1, ov);
            break;
        }
        case ActTypeOf: replace(1, Value(vm_.name(vm_.typeOf(at(1))))); break;
        case ActInstanceOf: replace(2, Value(instanceOf(at(2), at(1)))); break;
        case ActCastOp: {
            Value r = instanceOf(at(1), at(2)) ? at(1) : Value::null();
            replace(2, r);
            break;
        }
        case ActImplementsOp: {
            Object* ctor = at(1).object();
            std::size_t count = static_cast<std::size_t>(std::max(0.0, toInteger(num(at(2)))));
            count = std::min(count, depth() - 2);
            std::vector<Function*> interfaces;
            for (std::size_t i = 0; i < count; ++i)
                if (Object* f = at(3 + i).object())
                    if (f->isFunction())
                        interfaces.push_back(static_cast<Function*>(f));
            if (ctor)
                if (Object* proto = ctor->get(vm_, n_.prototype).object())
                    proto->setInterfaces(std::move(interfaces));
            drop(count + 2);
            break;
        }
        case ActExtends: {
            Object* superclass = at(1).object();
            Object* subclass = at(2).object();
            if (superclass && subclass) {
                Value superProto = superclass->get(vm_, n_.prototype);
                Object* proto = vm_.newObject(superProto.object());
                Value pv(proto);
                at(1) = pv; // rooted: the superclass is done with
                proto->define(vm_, n_.__constructor__, Value(superclass), DontEnum);
                subclass->set(vm_, n_.prototype, pv);
            }
            drop(2);
            break;
        }
        case ActTargetPath: {
            Object* o = at(1).object();
            Value r;
            if (isDisplay(o))
                r = Value(host.targetPath(o, true));
            replace(1, r);
            break;
        }
        case ActEnumerate:
        case ActEnumerate2: {
            Value subject = at(1);
            if (ins.action == ActEnumerate) {
                String* name = vm_.toName(subject);
                at(1) = Value(name);
                subject = getVariable(name);
                at(1) = subject;
            }
            std::vector<String*> names;
            if (Object* o = subject.object())
                o->enumerate(vm_, names);
            drop(1);
            push(Value());
            for (String* s : names)
                push(Value(s));
            break;
        }

        // --- calls ---
        case ActCallFunction: {
            String* name = vm_.toName(at(1));
            at(1) = Value(name);
            std::size_t argc = static_cast<std::size_t>(std::max(0.0, toInteger(num(at(2)))));
            argc = std::min(argc, depth() - 2);
            Object* holder = nullptr;
            Value fn;
            if (hasPathChars(name))
                fn = getVariable(name);
            else
                lookupSimple(name, fn, &holder);
            at(1) = fn;
            // A function found on a timeline or a `with` object runs with it
            // as `this`; one among a function's locals has none.
            bool local = holder && holder == localObject();
            Value r = callValue(fn, holder && !local ? Value(holder) : Value(), argc, 2, nullptr);
            replace(argc + 2, r);
            break;
        }
        case ActCallMethod: {
            std::size_t argc = static_cast<std::size_t>(std::max(0.0, toInteger(num(at(3)))));
            argc = std::min(argc, depth() - 3);
            Value object = at(2);
            Value name = at(1);
            Value fn, self = object;
            Object* home = nullptr;
            bool emptyName = name.isUndefined() || (name.isString() && name.string()->empty());
            if (emptyName) {
                // The object itself is called (super() among them).
                fn = object;
                self = Value();
            } else {
                String* key = vm_.toName(name);
                at(1) = Value(key);
                Object* o = object.object();
                SuperObject* sup = o && o->kind() == Object::Kind::Super ? static_cast<SuperObject*>(o) : nullptr;
                if (sup) {
                    fn = o->get(vm_, key);
                    self = sup->self();
                    home = sup->holderOf(vm_, key);
                } else if (o) {
                    fn = o->get(vm_, key);
                } else {
                    fn = getMember(object, Value(key));
                    Object* fo = fn.object();
                    if (fo && fo->isFunction() && static_cast<Function*>(fo)->asScript() && !object.isNullish()) {
                        // Script methods on primitives see the object form.
                        Object* boxed = vm_.toObject(object);
                        at(2) = Value(boxed);
                        self = at(2);
                    }
                }
            }
            at(1) = fn;
            Value r = callValue(fn, self, argc, 3, home);
            replace(argc + 3, r);
            break;
        }
        case ActNewObject: {
            String* name = vm_.toName(at(1));
            at(1) = Value(name);
            std::size_t argc = static_cast<std::size_t>(std::max(0.0, toInteger(num(at(2)))));
            argc = std::min(argc, depth() - 2);
            at(1) = getVariable(name);
            Value r = construct(at(1), argc, 2);
            replace(argc + 2, r);
            break;
        }
        case ActNewMethod: {
            std::size_t argc = static_cast<std::size_t>(std::max(0.0, toInteger(num(at(3)))));
            argc = std::min(argc, depth() - 3);
            Value name = at(1);
            bool emptyName = name.isUndefined() || (name.isString() && name.string()->empty());
            at(1) = emptyName ? at(2) : getMember(at(2), name);
            Value r = construct(at(1), argc, 3);
            replace(argc + 3, r);
            break;
        }
        case ActReturn: {
            Value v = at(1);
            drop(1);
            f_.pc = pc;
            if (!doReturn(v))
                return;
            pc = f_.pc;
            regions = !f_.regions.empty();
            break;
        }
        case ActDefineFunction:
        case ActDefineFunction2:
            defineFunction(ins);
            pc = ins.b;
            break;

        // --- control ---
        case ActJump: JUMP(ins.a); break;
        case ActIf: {
            bool c = truth(at(1));
            drop(1);
            if (c)
                JUMP(ins.a);
            break;
        }
        case ActWith: {
            ensureLocals();
            Object* o = at(1).object();
            drop(1);
            Frame::Region r;
            r.kind = Frame::Region::With;
            r.begin = pc;
            r.end = ins.a;
            r.savedScope = f_.scope;
            if (o)
                f_.scope = vm_.heap().make<Scope>(f_.scope, o, Scope::Kind::With);
            f_.regions.push_back(r);
            regions = true;
            break;
        }
        case ActTry: {
            Frame::Region r;
            r.kind = Frame::Region::Try;
            r.tryIndex = ins.a;
            r.savedScope = f_.scope;
            f_.regions.push_back(r);
            regions = true;
            break;
        }
        case ActThrow: {
            Value v = at(1);
            drop(1);
            throw ScriptThrow{v};
        }

        // --- SWF 5 operators ---
        case ActAdd2: replace(2, add2(2, 1)); break;
        case ActLess2: replace(2, less2(2, 1)); break;
        case ActGreater: replace(2, less2(1, 2)); break;
        case ActEquals2: replace(2, Value(equals2(at(2), at(1)))); break;
        case ActStrictEquals: replace(2, Value(strictEquals(at(2), at(1)))); break;
        case ActModulo: {
            double b = num(at(1));
            double a = num(at(2));
            replace(2, Value(std::fmod(a, b)));
            break;
        }
        case ActToNumber: replace(1, Value(num(at(1)))); break;
        case ActToString: replace(1, Value(str(at(1)))); break;
        case ActIncrement: replace(1, Value(num(at(1)) + 1)); break;
        case ActDecrement: replace(1, Value(num(at(1)) - 1)); break;
        case ActBitAnd: replace(2, Value(vm_.toInt32(at(2)) & vm_.toInt32(at(1)))); break;
        case ActBitOr: replace(2, Value(vm_.toInt32(at(2)) | vm_.toInt32(at(1)))); break;
        case ActBitXor: replace(2, Value(vm_.toInt32(at(2)) ^ vm_.toInt32(at(1)))); break;
        case ActBitLShift: {
            uint32_t shift = static_cast<uint32_t>(vm_.toInt32(at(1))) & 31;
            replace(2, Value(static_cast<int32_t>(static_cast<uint32_t>(vm_.toInt32(at(2))) << shift)));
            break;
        }
        case ActBitRShift: {
            uint32_t shift = static_cast<uint32_t>(vm_.toInt32(at(1))) & 31;
            replace(2, Value(vm_.toInt32(at(2)) >> shift));
            break;
        }
        case ActBitURShift: {
            uint32_t shift = static_cast<uint32_t>(vm_.toInt32(at(1))) & 31;
            uint32_t r = static_cast<uint32_t>(vm_.toInt32(at(2))) >> shift;
            // Players up to SWF 8 give the bits back as a signed number.
            replace(2, f_.version <= 8 ? Value(static_cast<int32_t>(r)) : Value(static_cast<double>(r)));
            break;
        }
        default: break; // actions of later players, or none at all
        }
    }
#undef JUMP
}

} // namespace

// --- entering code -------------------------------------------------------------

void Vm::runBlock(CodeBlock& code, Object* target)
{
    Frame f;
    f.code = &code;
    f.begin = 0;
    f.end = static_cast<uint32_t>(code.code().size());
    f.scope = target ? heap_.make<Scope>(globalScope(), target, Scope::Kind::Target) : globalScope();
    f.target = f.base = target;
    f.self = Value(target);
    f.version = code.version();
    f.stackBase = static_cast<std::size_t>(sp_ - stack_.get());
    f.registers = allocateRegisters(4);
    f.registerCount = 4;
    FrameLink link(*this, f);
    unsigned version = version_;
    Value* globals = globalRegisters_;
    version_ = f.version;
    globalRegisters_ = f.registers;
    try {
        Interpreter(*this, f).run();
    } catch (...) {
        version_ = version;
        globalRegisters_ = globals;
        throw;
    }
    version_ = version;
    globalRegisters_ = globals;
}

Value Vm::runFunction(ScriptFunction& fn, const Value& self, Args args, Object* home)
{
    const FunctionInfo& info = fn.info();
    Frame f;
    f.code = fn.code();
    f.begin = info.begin;
    f.end = info.end;
    f.pc = info.begin;
    f.pool = fn.pool();
    f.target = f.base = fn.target();
    f.self = self;
    f.callee = &fn;
    // Functions are SWF 5 code, whatever the movie: in SWF 4 movies they
    // keep SWF 5's Booleans and division.
    f.version = std::max(5u, f.code->version());
    f.stackBase = static_cast<std::size_t>(sp_ - stack_.get());
    uint32_t registers = info.v2 ? std::max<uint32_t>(info.registerCount, 1) : 4;
    f.registers = allocateRegisters(registers);
    f.registerCount = registers;
    Frame* callerFrame = top_;
    FrameLink link(*this, f);
    unsigned savedVersion = version_;
    version_ = f.version;
    struct RestoreVersion {
        Vm& vm;
        unsigned v;
        ~RestoreVersion() { vm.setVersion(v); }
    } restore{*this, savedVersion};

    step();
    uint16_t flags = info.flags;
    // The locals wait until something needs them, unless parameters or the
    // names a function defines for itself go there at once.
    bool eagerLocals = !info.v2 || !(flags & (SuppressArguments | PreloadArguments)) ||
                       !(flags & (SuppressSuper | PreloadSuper));
    for (std::size_t i = 0; i < info.params.size() && !eagerLocals; ++i)
        eagerLocals = info.paramRegisters[i] == 0;
    Object* locals = nullptr;
    if (eagerLocals) {
        locals = heap_.make<Object>(nullptr);
        f.scope = heap_.make<Scope>(fn.scope(), locals, Scope::Kind::Local);
    } else {
        f.scope = fn.scope();
        f.lazyLocals = true;
    }

    bool wantArguments = !info.v2 || !(flags & SuppressArguments) || (flags & PreloadArguments);
    if (wantArguments) {
        ArrayObject* a = heap_.make<ArrayObject>(protos.array, Object::Kind::Arguments);
        f.arguments = a;
        for (std::size_t i = 0; i < args.size(); ++i)
            a->push(*this, args[i]);
        a->define(*this, n.callee, Value(static_cast<Object*>(&fn)), DontEnum);
        Value caller = callerFrame && callerFrame->callee ? Value(static_cast<Object*>(callerFrame->callee))
                                                          : Value::null();
        a->define(*this, n.caller, caller, DontEnum);
    }
    bool wantSuper = !info.v2 || !(flags & SuppressSuper) || (flags & PreloadSuper);
    if (wantSuper && (self.object() || home))
        f.superObject = heap_.make<SuperObject>(self, home);

    if (info.v2) {
        uint32_t r = 1;
        auto preload = [&](uint16_t flag, const Value& v) {
            if ((flags & flag) && r < registers)
                f.registers[r++] = v;
        };
        preload(PreloadThis, self);
        preload(PreloadArguments, Value(f.arguments));
        preload(PreloadSuper, Value(f.superObject));
        preload(PreloadRoot, Value(host_.root(f.base)));
        if ((flags & PreloadParent) && r < registers) {
            Value parent;
            if (f.base)
                parent = f.base->get(*this, n._parent);
            f.registers[r++] = parent;
        }
        preload(PreloadGlobal, Value(global_));
        if (locals && !(flags & SuppressArguments) && !(flags & PreloadArguments))
            locals->define(*this, n.arguments, Value(f.arguments));
        if (locals && !(flags & SuppressSuper) && !(flags & PreloadSuper) && f.superObject)
            locals->define(*this, n.super_, Value(f.superObject));
    } else {
        locals->define(*this, n.arguments, Value(f.arguments));
        if (f.superObject)
            locals->define(*this, n.super_, Value(f.superObject));
    }
    for (std::size_t i = 0; i < info.params.size(); ++i) {
        uint8_t reg = info.paramRegisters[i];
        if (info.v2 && reg != 0) {
            if (reg < registers)
                f.registers[reg] = args[i];
        } else {
            locals->define(*this, info.params[i], args[i]);
        }
    }
    // A call is a safe point: everything live is in a frame or the stack.
    collectIfDue();
    Interpreter(*this, f).run();
    return f.returnValue;
}

} // namespace swf::script
