// The ActionScript 1/2 virtual machine: the heap and its roots, the global
// object and the built-in classes, the conversions, calls, and the
// interpreter's stacks. One per movie player, used from one thread.
//
// The host enters through run() (a block of actions), callFunction() and
// callMethod() (handlers); each entry catches what the script throws or why
// it was stopped, so nothing escapes to the host but a false result.
#pragma once

#include "swfcontrol/engine/script/Code.h"
#include "swfcontrol/engine/script/Function.h"
#include "swfcontrol/engine/script/Heap.h"
#include "swfcontrol/engine/script/Host.h"
#include "swfcontrol/engine/script/Object.h"
#include "swfcontrol/engine/script/String.h"
#include "swfcontrol/engine/script/Value.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace swf::script {

// What a script throws; the value travels with it.
struct ScriptThrow {
    Value value;
};

struct VmLimits {
    std::size_t heapBytes = std::size_t(256) << 20;
    unsigned maxRecursion = 256;      // nested calls, as Flash Player allows
    std::size_t stackValues = 1 << 16; // the operand stack
    std::size_t registerValues = 1 << 16;
    // A script slice (what the host runs for one frame or event) stops
    // after this many milliseconds of wall time, or this many operations
    // (0: no limit of that kind).
    double sliceMilliseconds = 15000;
    uint64_t sliceSteps = 0;
};

// One running block or function call.
struct Frame {
    Frame* caller = nullptr;
    CodeBlock* code = nullptr;
    uint32_t pc = 0, begin = 0, end = 0;
    Scope* scope = nullptr;
    ConstantPool* pool = nullptr;
    Object* target = nullptr;   // timeline actions go here (SetTarget moves it)
    Object* base = nullptr;     // the timeline the code belongs to
    Value self;                 // `this`
    Function* callee = nullptr;
    Object* arguments = nullptr;
    Object* superObject = nullptr;
    Value* registers = nullptr;
    uint32_t registerCount = 0;
    std::size_t stackBase = 0;
    unsigned version = 0;
    // A function's locals are made when first needed: until then `scope`
    // is the chain it closed over.
    bool lazyLocals = false;
    // try/with blocks being run, innermost last
    struct Region {
        enum Kind : uint8_t { With, Try } kind;
        enum State : uint8_t { InTry, InCatch, InFinally } state = InTry;
        uint32_t begin = 0, end = 0;
        uint32_t tryIndex = 0;
        Scope* savedScope = nullptr;
        // What leaving the finally block completes.
        enum Pending : uint8_t { None, Throw, Return, Jump } pending = None;
        Value pendingValue;
        uint32_t pendingTarget = 0;
    };
    std::vector<Region> regions;
    Value returnValue;
};

class Vm final : public Heap::RootSource {
public:
    explicit Vm(Host& host, const VmLimits& limits = VmLimits());
    ~Vm() override;
    Vm(const Vm&) = delete;
    Vm& operator=(const Vm&) = delete;

    Heap& heap() { return heap_; }
    Host& host() { return host_; }
    const VmLimits& limits() const { return limits_; }
    // A movie's ScriptLimits tag: its recursion depth and time.
    void setScriptLimits(unsigned maxRecursion, double sliceMilliseconds)
    {
        if (maxRecursion)
            limits_.maxRecursion = maxRecursion;
        if (sliceMilliseconds > 0)
            limits_.sliceMilliseconds = sliceMilliseconds;
    }

    // --- strings ---------------------------------------------------------
    String* str(std::u16string_view text) { return String::make(heap_, text); }
    String* strAscii(std::string_view text);
    String* strUtf8(std::string_view text);
    String* intern(std::u16string_view text) { return names_.intern(text); }
    String* intern(String* s) { return s->interned() ? s : names_.intern(s); }
    String* name(std::string_view ascii); // interned
    String* concat(String* a, String* b) { return String::concat(heap_, a, b); }
    String* empty() { return n.empty; }

    // --- the running code ------------------------------------------------
    // The SWF version of the code running now: its conversions and name
    // rules. Set by each block and function as it runs.
    unsigned version() const { return version_; }
    void setVersion(unsigned v) { version_ = v; }
    bool caseSensitive() const { return version_ >= 7; }
    Frame* frame() const { return top_; }

    // --- objects ---------------------------------------------------------
    Object* global() const { return global_; }
    struct Prototypes {
        Object* object = nullptr;
        Object* function = nullptr;
        Object* array = nullptr;
        Object* string = nullptr;
        Object* number = nullptr;
        Object* boolean = nullptr;
        Object* date = nullptr;
        Object* error = nullptr;
    } protos;
    struct Constructors {
        Function* object = nullptr;
        Function* function = nullptr;
        Function* array = nullptr;
        Function* string = nullptr;
        Function* number = nullptr;
        Function* boolean = nullptr;
        Function* date = nullptr;
        Function* error = nullptr;
        Function* xmlNode = nullptr; // its `prototype` is what parsed nodes get
    } ctors;
    // Object.registerClass's table, for the movie to read.
    Object* classRegistry() const { return registry_; }
    Object* newObject();
    Object* newObject(Object* proto);
    class ArrayObject* newArray();
    NativeFunction* newNative(NativeFunction::Fn fn, NativeFunction::Ctor ctor = nullptr, uint8_t flags = 0);
    // A built-in class: a constructor whose `prototype` is `proto` (made
    // when null) with `constructor` pointing back, as Flash Player has them.
    NativeFunction* newClass(NativeFunction::Fn fn, NativeFunction::Ctor ctor, Object* proto);
    // Methods, as DontEnum properties (Flash Player's built-ins hide theirs).
    void method(Object* on, std::string_view name, NativeFunction::Fn fn, uint16_t flags = DontEnum);
    void methods(Object* on, std::initializer_list<std::pair<const char*, NativeFunction::Fn>> list,
                 uint16_t flags = DontEnum);
    void constant(Object* on, std::string_view name, const Value& value,
                  uint16_t flags = DontEnum | DontDelete | ReadOnly);

    // --- conversions, as the running code's version has them ------------
    enum class Hint { None, Number, String };
    Value toPrimitive(const Value& v, Hint hint = Hint::None);
    double toNumber(const Value& v);
    String* toString(const Value& v);
    std::u16string toText(const Value& v); // toString's units
    bool toBoolean(const Value& v) const;
    int32_t toInt32(const Value& v);
    // null and undefined give null; primitives are boxed.
    Object* toObject(const Value& v);
    String* numberToString(double d);
    // An interned name for a property key.
    String* toName(const Value& v)
    {
        if (v.isString() && v.string()->interned())
            return v.string();
        return toNameSlow(v);
    }
    String* toNameSlow(const Value& v);
    const char* typeOf(const Value& v) const;

    // --- calls -----------------------------------------------------------
    // Throw ScriptThrow (what the script threw) and ScriptAbort.
    Value call(const Value& function, const Value& self, Args args);
    Value callMethod(const Value& object, String* name, Args args);
    Value construct(const Value& constructor, Args args);
    [[noreturn]] void throwValue(const Value& v) { throw ScriptThrow{v}; }
    // An Error object with a message, for built-ins that throw.
    [[noreturn]] void throwError(std::string_view message);

    // Runs a ScriptFunction (the interpreter). `home` is the object the
    // function was found on (its `super` starts above it); null takes
    // `self`'s prototype.
    Value runFunction(ScriptFunction& fn, const Value& self, Args args, Object* home);
    // Runs a block on a timeline, without the host entry's guard.
    void runBlock(CodeBlock& code, Object* target);
    Scope* globalScope();

    // --- the host's entry points: false when the script was stopped -----
    // A block of actions on a timeline (DoAction, clip events, buttons).
    bool run(CodeBlock* code, Object* target);
    // A handler: `fn` called with `self` as this.
    bool callFunction(const Value& fn, const Value& self, Args args, Value* result = nullptr);
    // A method by name, when the object has one.
    bool callMethodIfAny(Object* object, String* name, Args args, Value* result = nullptr);
    // Decodes a block once; blocks are kept, by where their bytes are,
    // until forgetCode().
    CodeBlock* code(const uint8_t* data, std::size_t size, unsigned version);
    void forgetCode();
    // A new slice: the time and step budgets start again.
    void beginSlice();
    // Once the script stopped itself for good (recursion, time): no more
    // actions run in this movie, as in Flash Player.
    bool disabled() const { return disabled_; }

    // Collects when due; only where no native code holds cells (the host
    // calls it between frames; the interpreter at its own safe points).
    void collectIfDue();
    void collectNow() { heap_.collect(); }
    // Counts native code on the stack that may hold cells in C++ locals.
    struct NoCollect {
        explicit NoCollect(Vm& vm) : vm(vm) { ++vm.noCollect_; }
        ~NoCollect() { --vm.noCollect_; }
        Vm& vm;
    };

    // --- the interpreter's stacks --------------------------------------
    Value* stackBase() { return stack_.get(); }
    Value*& sp() { return sp_; }
    Value* stackLimit() { return stackEnd_; }
    void push(const Value& v)
    {
        if (sp_ == stackEnd_)
            throw ScriptAbort{ScriptAbort::Reason::Stack};
        *sp_++ = v;
    }
    Value* allocateRegisters(uint32_t count);
    // The four registers of the block running at the bottom of the calls:
    // functions reach them through register numbers past their own.
    Value* globalRegisters() const { return globalRegisters_; }
    void freeRegisters(uint32_t count) { regTop_ -= count; }
    unsigned depth() const { return depth_; }
    void enter(Frame& f);
    void leave(Frame& f);
    // Counts an operation against the slice; throws ScriptAbort past it.
    void step()
    {
        if (++steps_ >= nextCheck_)
            checkBudget();
    }

    std::mt19937& random() { return random_; }

    // Getters and setters nest only so deep; past it they are not called
    // (the property reads as undefined), and the script goes on.
    static constexpr unsigned kMaxAccessorNesting = 65;
    struct AccessorCall {
        explicit AccessorCall(Vm& vm) : vm(vm), allowed(vm.accessorDepth_ < kMaxAccessorNesting)
        {
            if (allowed)
                ++vm.accessorDepth_;
        }
        ~AccessorCall()
        {
            if (allowed)
                --vm.accessorDepth_;
        }
        Vm& vm;
        bool allowed;
    };

    // Told of what stopped a script (an exception nothing caught, a limit),
    // for tools that report it; none by default.
    std::function<void(const std::string&)> warn;

    // Names the interpreter and the built-ins use often.
    struct Names {
        String *empty, *length, *prototype, *constructor, *__constructor__, *__proto__, *__resolve, *toString_,
            *valueOf, *this_, *arguments, *callee, *caller, *super_, *_global, *_root, *_parent, *undefined,
            *null_, *true_, *false_, *NaN, *Infinity, *minusInfinity, *object, *function, *number, *string,
            *boolean, *movieclip, *message, *name, *addListener, *removeListener, *broadcastMessage,
            *_listeners, *onStatus;
    } n;

    // Sets up the global object; run once by the constructor. Each
    // built-in class lives in lib/ and installs itself here.
    void traceRoots(Tracer& tracer) override;

    // Timers on the movie's clock (setInterval, setTimeout).
    struct Timer {
        int32_t id;
        Value object;  // the function, or the object whose method runs
        String* method; // null: call `object`
        std::vector<Value> args;
        double interval;
        double due;
        bool repeat;
    };
    int32_t addTimer(Timer timer);
    bool removeTimer(int32_t id);
    // Runs the timers due by now().
    void runTimers();

    // --- requests the host fetches (XML.load, LoadVars.load, ...) ----------
    // What the library does with a request's answers; `body` is null when
    // the request failed. Both run script.
    struct FetchHandler {
        void (*progress)(Vm& vm, Object* target, double loaded, double total);
        void (*done)(Vm& vm, Object* target, const std::string* body, int httpStatus);
    };
    // Hands `request` to the host. `target` stays alive until the answer.
    // 0 when the host refused it or too many requests are waiting.
    uint32_t fetch(const UrlRequest& request, Object* target, const FetchHandler& handler);
    // The host's answers, between frames (Host::fetch). `httpStatus` is 0
    // where there is none (a local file). An unknown id is ignored.
    void fetchProgress(uint32_t id, double loaded, double total);
    void fetchDone(uint32_t id, const std::string* body, int httpStatus = 0);
    // Requests that may wait for an answer at once.
    static constexpr std::size_t kMaxPendingFetches = 256;

private:
    void installGlobals();
    void checkBudget();
    Value defaultValueOf(Object* o, Hint hint, bool& found);

    Host& host_;
    VmLimits limits_;
    Heap heap_;
    StringTable names_;
    Object* global_ = nullptr;
    unsigned version_ = 8;

    std::unique_ptr<Value[]> stack_;
    Value* sp_ = nullptr;
    Value* stackEnd_ = nullptr;
    std::unique_ptr<Value[]> registers_;
    std::size_t regTop_ = 0;
    Frame* top_ = nullptr;
    unsigned depth_ = 0;
    unsigned noCollect_ = 0;
    unsigned hostDepth_ = 0;
    unsigned accessorDepth_ = 0;
    Value* globalRegisters_ = nullptr;

    uint64_t steps_ = 0, nextCheck_ = 0;
    double sliceStart_ = 0;
    bool disabled_ = false;

    std::unordered_map<const uint8_t*, CodeBlock*> codeCache_;
    Scope* globalScope_ = nullptr;
    Object* registry_ = nullptr;
    std::vector<Timer> timers_;
    int32_t nextTimerId_ = 1;
    struct PendingFetch {
        uint32_t id;
        Object* target;
        FetchHandler handler;
    };
    std::vector<PendingFetch> fetches_;
    uint32_t nextFetchId_ = 1;
    std::mt19937 random_;
    std::vector<String*> numberStrings_; // small integers' strings, made once
};

} // namespace swf::script
