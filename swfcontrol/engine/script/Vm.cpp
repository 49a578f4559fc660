#include "swfcontrol/engine/script/Vm.h"

#include "swfcontrol/engine/script/Array.h"
#include "swfcontrol/engine/script/Convert.h"
#include "swfcontrol/engine/script/lib/Library.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace swf::script {

namespace {

double wallMs()
{
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

// How often the time budget is looked at, in operations.
constexpr uint64_t kCheckEvery = 4096;
// Small integers are turned into names often (array indices): kept.
constexpr int kNumberStrings = 256;

} // namespace

Vm::Vm(Host& host, const VmLimits& limits)
    : host_(host), limits_(limits), heap_(limits.heapBytes), names_(heap_), random_(0x5eed)
{
    stack_.reset(new Value[limits_.stackValues]);
    sp_ = stack_.get();
    stackEnd_ = sp_ + limits_.stackValues;
    registers_.reset(new Value[limits_.registerValues]);
    heap_.addRoots(this);

#define NAME(field, text) n.field = name(text)
    NAME(empty, "");
    NAME(length, "length");
    NAME(prototype, "prototype");
    NAME(constructor, "constructor");
    NAME(__constructor__, "__constructor__");
    NAME(__proto__, "__proto__");
    NAME(__resolve, "__resolve");
    NAME(toString_, "toString");
    NAME(valueOf, "valueOf");
    NAME(this_, "this");
    NAME(arguments, "arguments");
    NAME(callee, "callee");
    NAME(caller, "caller");
    NAME(super_, "super");
    NAME(_global, "_global");
    NAME(_root, "_root");
    NAME(_parent, "_parent");
    NAME(undefined, "undefined");
    NAME(null_, "null");
    NAME(true_, "true");
    NAME(false_, "false");
    NAME(NaN, "NaN");
    NAME(Infinity, "Infinity");
    NAME(minusInfinity, "-Infinity");
    NAME(object, "object");
    NAME(function, "function");
    NAME(number, "number");
    NAME(string, "string");
    NAME(boolean, "boolean");
    NAME(movieclip, "movieclip");
    NAME(message, "message");
    NAME(name, "name");
    NAME(addListener, "addListener");
    NAME(removeListener, "removeListener");
    NAME(broadcastMessage, "broadcastMessage");
    NAME(_listeners, "_listeners");
    NAME(onStatus, "onStatus");
#undef NAME
    for (int i = 0; i < kNumberStrings; ++i)
        numberStrings_.push_back(intern(numberToText(i)));
    installGlobals();
}

Vm::~Vm() { heap_.removeRoots(this); }

void Vm::installGlobals()
{
    protos.object = heap_.make<Object>(nullptr);
    protos.function = heap_.make<Object>(protos.object);
    // The global object is bare: no prototype, so no toString of its own.
    global_ = heap_.make<Object>(nullptr);
    registry_ = heap_.make<Object>(nullptr);
    installObjectClass(*this);
    installFunctionClass(*this);
    installArrayClass(*this);
    installStringClass(*this);
    installNumberClasses(*this);
    installMath(*this);
    installDateClass(*this);
    installErrorClass(*this);
    installGlobalFunctions(*this);
    installBroadcaster(*this);
    installSystem(*this);
    installXmlClasses(*this);
    installLoadVars(*this);
}

void Vm::traceRoots(Tracer& tracer)
{
    tracer.mark(global_);
    for (Object* o : {protos.object, protos.function, protos.array, protos.string, protos.number, protos.boolean,
                      protos.date, protos.error})
        tracer.mark(o);
    for (Function* f : {ctors.object, ctors.function, ctors.array, ctors.string, ctors.number, ctors.boolean,
                        ctors.date, ctors.error, ctors.xmlNode})
        tracer.mark(f);
    tracer.mark(stack_.get(), static_cast<std::size_t>(sp_ - stack_.get()));
    tracer.mark(registers_.get(), regTop_);
    for (Frame* f = top_; f; f = f->caller) {
        tracer.mark(f->code);
        tracer.mark(f->scope);
        tracer.mark(f->pool);
        tracer.mark(f->target);
        tracer.mark(f->base);
        tracer.mark(f->self);
        tracer.mark(f->callee);
        tracer.mark(f->arguments);
        tracer.mark(f->superObject);
        tracer.mark(f->returnValue);
        for (const Frame::Region& r : f->regions) {
            tracer.mark(r.savedScope);
            tracer.mark(r.pendingValue);
        }
    }
    for (auto& entry : codeCache_)
        tracer.mark(entry.second);
    tracer.mark(globalScope_);
    tracer.mark(registry_);
    for (const PendingFetch& f : fetches_)
        tracer.mark(f.target);
    for (const Timer& t : timers_) {
        tracer.mark(t.object);
        tracer.mark(t.method);
        tracer.mark(t.args.data(), t.args.size());
    }
    const String* const* names = &n.empty;
    for (std::size_t i = 0; i < sizeof(Names) / sizeof(String*); ++i)
        tracer.mark(const_cast<String*>(names[i]));
    for (String* s : numberStrings_)
        tracer.mark(s);
}

// --- strings -----------------------------------------------------------------

String* Vm::strAscii(std::string_view text) { return str(ascii(text)); }
String* Vm::strUtf8(std::string_view text) { return str(decodeUtf8(text)); }
String* Vm::name(std::string_view text) { return intern(ascii(text)); }

// --- objects -----------------------------------------------------------------

Object* Vm::newObject() { return heap_.make<Object>(protos.object); }
Object* Vm::newObject(Object* proto) { return heap_.make<Object>(proto); }
ArrayObject* Vm::newArray() { return heap_.make<ArrayObject>(protos.array); }

NativeFunction* Vm::newNative(NativeFunction::Fn fn, NativeFunction::Ctor ctor, uint8_t flags)
{
    NativeFunction* f = heap_.make<NativeFunction>(protos.function, fn, ctor, flags);
    return f;
}

NativeFunction* Vm::newClass(NativeFunction::Fn fn, NativeFunction::Ctor ctor, Object* proto)
{
    NativeFunction* f = newNative(fn, ctor);
    if (!proto)
        proto = newObject();
    f->define(*this, n.prototype, Value(proto), DontEnum | DontDelete);
    proto->define(*this, n.constructor, Value(f), DontEnum);
    return f;
}

void Vm::method(Object* on, std::string_view methodName, NativeFunction::Fn fn, uint16_t flags)
{
    on->define(*this, name(methodName), Value(newNative(fn)), flags);
}

void Vm::methods(Object* on, std::initializer_list<std::pair<const char*, NativeFunction::Fn>> list, uint16_t flags)
{
    for (const auto& m : list)
        method(on, m.first, m.second, flags);
}

void Vm::constant(Object* on, std::string_view constantName, const Value& value, uint16_t flags)
{
    on->define(*this, name(constantName), value, flags);
}

// --- conversions ---------------------------------------------------------------

// What valueOf or toString gives; undefined, with `found` false, when the
// object has neither as a function (a bare object).
Value Vm::defaultValueOf(Object* o, Hint hint, bool& found)
{
    found = true;
    Value special;
    if (o->defaultValue(*this, hint == Hint::String, special))
        return special;
    String* order[2] = {n.valueOf, n.toString_};
    if (hint == Hint::String || (hint == Hint::None && o->kind() == Object::Kind::Date))
        std::swap(order[0], order[1]);
    bool any = false;
    for (String* method : order) {
        Value f = o->get(*this, method);
        if (f.isObject() && f.object()->isFunction()) {
            any = true;
            Value r = call(f, Value(o), Args());
            if (r.isPrimitive())
                return r;
        }
    }
    found = any;
    return Value();
}

Value Vm::toPrimitive(const Value& v, Hint hint)
{
    if (v.isPrimitive())
        return v;
    bool found;
    return defaultValueOf(v.object(), hint, found);
}

double Vm::toNumber(const Value& v)
{
    switch (v.type()) {
    case Value::Type::Undefined:
    case Value::Type::Null: return version_ >= 7 ? std::nan("") : 0.0;
    case Value::Type::Boolean: return v.boolean() ? 1 : 0;
    case Value::Type::Number: return v.number();
    case Value::Type::String: return parseNumber(v.string()->view(), version_);
    case Value::Type::Object: {
        Value p = toPrimitive(v, Hint::Number);
        return p.isObject() ? std::nan("") : toNumber(p);
    }
    }
    return std::nan("");
}

String* Vm::numberToString(double d)
{
    if (d >= 0 && d < kNumberStrings && d == std::floor(d) && !(d == 0 && std::signbit(d)))
        return numberStrings_[static_cast<std::size_t>(d)];
    return str(numberToText(d));
}

String* Vm::toString(const Value& v)
{
    switch (v.type()) {
    case Value::Type::Undefined: return version_ >= 7 ? n.undefined : n.empty;
    case Value::Type::Null: return n.null_;
    case Value::Type::Boolean:
        // SWF 4 has no Booleans: they read as the numbers they stand for.
        if (version_ < 5)
            return numberStrings_[v.boolean() ? 1 : 0];
        return v.boolean() ? n.true_ : n.false_;
    case Value::Type::Number: return numberToString(v.number());
    case Value::Type::String: return v.string();
    case Value::Type::Object: {
        bool found;
        Value p = defaultValueOf(v.object(), Hint::String, found);
        if (!found)
            return strAscii(v.object()->isFunction() ? "[type Function]" : "[type Object]");
        return toString(p);
    }
    }
    return n.empty;
}

std::u16string Vm::toText(const Value& v) { return std::u16string(toString(v)->view()); }

bool Vm::toBoolean(const Value& v) const
{
    switch (v.type()) {
    case Value::Type::Undefined:
    case Value::Type::Null: return false;
    case Value::Type::Boolean: return v.boolean();
    case Value::Type::Number: return v.number() != 0 && !std::isnan(v.number());
    case Value::Type::String: {
        if (version_ >= 7)
            return !v.string()->empty();
        double d = parseNumber(v.string()->view(), version_);
        return d != 0 && !std::isnan(d);
    }
    case Value::Type::Object: return true;
    }
    return false;
}

int32_t Vm::toInt32(const Value& v) { return script::toInt32(toNumber(v)); }

Object* Vm::toObject(const Value& v)
{
    switch (v.type()) {
    case Value::Type::Undefined:
    case Value::Type::Null: return nullptr;
    case Value::Type::Object: return v.object();
    case Value::Type::Boolean: {
        Value arg = v;
        return construct(Value(ctors.boolean), Args(&arg, 1)).object();
    }
    case Value::Type::Number: {
        Value arg = v;
        return construct(Value(ctors.number), Args(&arg, 1)).object();
    }
    case Value::Type::String: {
        Value arg = v;
        return construct(Value(ctors.string), Args(&arg, 1)).object();
    }
    }
    return nullptr;
}

String* Vm::toNameSlow(const Value& v)
{
    if (v.isString())
        return intern(v.string());
    if (v.isNumber())
        return intern(numberToString(v.number()));
    return intern(toString(v));
}

const char* Vm::typeOf(const Value& v) const
{
    switch (v.type()) {
    case Value::Type::Undefined: return "undefined";
    case Value::Type::Null: return "null";
    case Value::Type::Boolean: return "boolean";
    case Value::Type::Number: return "number";
    case Value::Type::String: return "string";
    case Value::Type::Object: return v.object()->typeOf();
    }
    return "undefined";
}

// --- calls ---------------------------------------------------------------------

Value Vm::call(const Value& function, const Value& self, Args args)
{
    Object* o = function.object();
    if (!o || !o->isFunction())
        return Value();
    return static_cast<Function*>(o)->call(*this, self, args);
}

Value Vm::callMethod(const Value& object, String* methodName, Args args)
{
    Object* o = toObject(object);
    if (!o)
        return Value();
    Value f = o->get(*this, methodName);
    return call(f, object.isObject() ? object : Value(o), args);
}

Value Vm::construct(const Value& constructor, Args args)
{
    Object* o = constructor.object();
    if (!o || !o->isFunction())
        return Value();
    if (depth_ >= limits_.maxRecursion)
        throw ScriptAbort{ScriptAbort::Reason::Recursion};
    return static_cast<Function*>(o)->construct(*this, args);
}

void Vm::throwError(std::string_view message)
{
    Value arg(strAscii(message));
    throwValue(construct(Value(ctors.error), Args(&arg, 1)));
}

// --- the host's entry points ---------------------------------------------------

void Vm::beginSlice()
{
    steps_ = 0;
    nextCheck_ = kCheckEvery;
    sliceStart_ = wallMs();
}

void Vm::checkBudget()
{
    nextCheck_ = steps_ + kCheckEvery;
    if (limits_.sliceSteps && steps_ >= limits_.sliceSteps)
        throw ScriptAbort{ScriptAbort::Reason::Time};
    if (limits_.sliceMilliseconds > 0 && wallMs() - sliceStart_ > limits_.sliceMilliseconds)
        throw ScriptAbort{ScriptAbort::Reason::Time};
}

Scope* Vm::globalScope()
{
    if (!globalScope_)
        globalScope_ = heap_.make<Scope>(nullptr, global_, Scope::Kind::Global);
    return globalScope_;
}

void Vm::collectIfDue()
{
    if (noCollect_ == 0 && heap_.wantsCollection())
        heap_.collect();
}

void Vm::enter(Frame& f)
{
    if (depth_ >= limits_.maxRecursion)
        throw ScriptAbort{ScriptAbort::Reason::Recursion};
    f.caller = top_;
    top_ = &f;
    ++depth_;
}

void Vm::leave(Frame& f)
{
    top_ = f.caller;
    --depth_;
}

Value* Vm::allocateRegisters(uint32_t count)
{
    if (count > limits_.registerValues - regTop_)
        throw ScriptAbort{ScriptAbort::Reason::Stack};
    Value* r = registers_.get() + regTop_;
    for (uint32_t i = 0; i < count; ++i)
        r[i] = Value();
    regTop_ += count;
    return r;
}

template <class F>
static bool guarded(Vm& vm, unsigned& hostDepth, bool& disabled, F&& body)
{
    Value* sp = vm.sp();
    unsigned version = vm.version();
    ++hostDepth;
    bool ok = true;
    try {
        body();
    } catch (const ScriptThrow& thrown) {
        // An exception nothing caught ends the script quietly, as in the
        // release player.
        // The debugging player logs it where trace() writes.
        Value v = thrown.value;
        try {
            std::u16string line = u"Warning: Uncaught exception, " + std::u16string(vm.toString(v)->view());
            vm.host().trace(line);
        } catch (...) {
        }
    } catch (const ScriptAbort& abort) {
        if (vm.warn)
            vm.warn("script stopped: " + std::to_string(static_cast<int>(abort.reason)));
        if (hostDepth > 1) {
            --hostDepth;
            throw; // the outermost entry stops everything
        }
        ok = false;
        if (abort.reason == ScriptAbort::Reason::Recursion)
            disabled = true;
    } catch (const std::bad_alloc&) {
        if (hostDepth > 1) {
            --hostDepth;
            throw;
        }
        ok = false;
    }
    --hostDepth;
    vm.sp() = sp;
    vm.setVersion(version);
    return ok;
}

bool Vm::run(CodeBlock* code, Object* target)
{
    if (disabled_ || !code)
        return false;
    return guarded(*this, hostDepth_, disabled_, [&] { runBlock(*code, target); });
}

bool Vm::callFunction(const Value& fn, const Value& self, Args args, Value* result)
{
    if (disabled_)
        return false;
    return guarded(*this, hostDepth_, disabled_, [&] {
        Value r = call(fn, self, args);
        if (result)
            *result = r;
    });
}

bool Vm::callMethodIfAny(Object* object, String* methodName, Args args, Value* result)
{
    if (disabled_ || !object)
        return false;
    return guarded(*this, hostDepth_, disabled_, [&] {
        Value f = object->get(*this, methodName);
        if (!f.isObject() || !f.object()->isFunction())
            return;
        Value r = call(f, Value(object), args);
        if (result)
            *result = r;
    });
}

CodeBlock* Vm::code(const uint8_t* data, std::size_t size, unsigned version)
{
    auto it = codeCache_.find(data);
    if (it != codeCache_.end())
        return it->second;
    CodeBlock* block = nullptr;
    try {
        block = CodeBlock::decode(heap_, names_, data, size, version);
    } catch (const ScriptAbort&) {
        return nullptr;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    codeCache_[data] = block;
    return block;
}

void Vm::forgetCode() { codeCache_.clear(); }

// --- timers ----------------------------------------------------------------------

int32_t Vm::addTimer(Timer timer)
{
    timer.id = nextTimerId_++;
    timers_.push_back(std::move(timer));
    return timers_.back().id;
}

bool Vm::removeTimer(int32_t id)
{
    for (auto it = timers_.begin(); it != timers_.end(); ++it) {
        if (it->id == id) {
            timers_.erase(it);
            return true;
        }
    }
    return false;
}

void Vm::runTimers()
{
    double now = host_.now();
    // Each timer fires at most as often as it fell due, and a bounded
    // number of times a frame, however short its interval.
    for (int round = 0; round < 64; ++round) {
        int32_t id = 0;
        double due = 0;
        for (const Timer& t : timers_) {
            if (t.due <= now && (id == 0 || t.due < due)) {
                id = t.id;
                due = t.due;
            }
        }
        if (id == 0)
            return;
        auto it = std::find_if(timers_.begin(), timers_.end(), [&](const Timer& t) { return t.id == id; });
        Timer t = *it;
        if (t.repeat)
            it->due = std::max(t.due + std::max(t.interval, 1.0), now - t.interval);
        else
            timers_.erase(it);
        RootedValues hold(heap_);
        hold.values = t.args;
        hold.values.push_back(t.object);
        Args args(hold.values.data(), t.args.size());
        if (t.method) {
            if (Object* o = t.object.object())
                callMethodIfAny(o, t.method, args);
        } else {
            callFunction(t.object, Value(), args);
        }
    }
}

// --- requests ----------------------------------------------------------------

uint32_t Vm::fetch(const UrlRequest& request, Object* target, const FetchHandler& handler)
{
    if (fetches_.size() >= kMaxPendingFetches)
        return 0;
    uint32_t id = nextFetchId_++;
    if (nextFetchId_ == 0)
        nextFetchId_ = 1;
    fetches_.push_back({id, target, handler});
    if (!host_.fetch(id, request)) {
        fetches_.pop_back();
        return 0;
    }
    return id;
}

void Vm::fetchProgress(uint32_t id, double loaded, double total)
{
    for (const PendingFetch& f : fetches_) {
        if (f.id != id)
            continue;
        if (!disabled_ && f.handler.progress) {
            PendingFetch copy = f;
            guarded(*this, hostDepth_, disabled_, [&] { copy.handler.progress(*this, copy.target, loaded, total); });
        }
        return;
    }
}

void Vm::fetchDone(uint32_t id, const std::string* body, int httpStatus)
{
    auto it = std::find_if(fetches_.begin(), fetches_.end(), [&](const PendingFetch& f) { return f.id == id; });
    if (it == fetches_.end())
        return;
    PendingFetch f = *it;
    fetches_.erase(it);
    if (disabled_ || !f.handler.done)
        return;
    RootedValues hold(heap_);
    hold.values.push_back(Value(f.target));
    guarded(*this, hostDepth_, disabled_, [&] { f.handler.done(*this, f.target, body, httpStatus); });
}

} // namespace swf::script
