// Callable objects: built-in functions written in C++, and functions a
// movie defines (DefineFunction/DefineFunction2), which close over the scope
// chain they were defined in.
#pragma once

#include "swfcontrol/engine/script/Object.h"

#include <cstdint>

namespace swf::script {

class CodeBlock;
struct FunctionInfo;
class ConstantPool;

// A link of the scope chain: the global object, a timeline, a function's
// locals, or a `with` object.
class Scope final : public Cell {
public:
    enum class Kind : uint8_t { Global, Target, Local, With };
    Scope(Scope* parent, Object* object, Kind kind) : parent(parent), object(object), kind(kind) {}
    void trace(Tracer& tracer) override
    {
        tracer.mark(parent);
        tracer.mark(object);
    }
    Scope* parent;
    Object* object;
    Kind kind;
};

class Function : public Object {
public:
    explicit Function(Object* proto) : Object(proto, Kind::Function) {}

    // Calls the function with `self` as `this`.
    virtual Value call(Vm& vm, const Value& self, Args args) = 0;
    // `new`: the object the call made. By default a new Object whose
    // __proto__ is this function's `prototype`, initialised by a call.
    virtual Value construct(Vm& vm, Args args);
    const char* typeOf() const override { return "function"; }
    virtual class ScriptFunction* asScript() { return nullptr; }
};

class NativeFunction final : public Function {
public:
    using Fn = Value (*)(Vm& vm, const Value& self, Args args);
    // `new` on a built-in class: makes the object itself.
    using Ctor = Value (*)(Vm& vm, NativeFunction& callee, Args args);

    enum Flag : uint8_t {
        // Holds no cells in C++ locals across the script it runs
        // (Function.call and apply): collections may run inside it.
        MayCollect = 1,
    };

    NativeFunction(Object* proto, Fn fn, Ctor ctor = nullptr, uint8_t flags = 0)
        : Function(proto), fn_(fn), ctor_(ctor), flags_(flags)
    {
    }
    Value call(Vm& vm, const Value& self, Args args) override;
    Value construct(Vm& vm, Args args) override;
    // A value of the function's own, for built-ins made several times over
    // with different data (ASnative's numbers).
    Value data;
    void trace(Tracer& tracer) override
    {
        Object::trace(tracer);
        tracer.mark(data);
    }

private:
    Fn fn_;
    Ctor ctor_;
    uint8_t flags_;
};

class ScriptFunction final : public Function {
public:
    ScriptFunction(Object* proto, CodeBlock* code, uint32_t info, Scope* scope, ConstantPool* pool, Object* target)
        : Function(proto), code_(code), info_(info), scope_(scope), pool_(pool), target_(target)
    {
    }
    Value call(Vm& vm, const Value& self, Args args) override;
    void trace(Tracer& tracer) override;
    ScriptFunction* asScript() override { return this; }

    CodeBlock* code() const { return code_; }
    const FunctionInfo& info() const;
    Scope* scope() const { return scope_; }
    ConstantPool* pool() const { return pool_; }
    // The timeline the function was defined on: its `_parent`, `_root`
    // and the target of its timeline actions.
    Object* target() const { return target_; }

private:
    CodeBlock* code_;
    uint32_t info_;
    Scope* scope_;
    ConstantPool* pool_;
    Object* target_;
};

} // namespace swf::script
