// An ActionScript 1/2 value: undefined, null, a Boolean, a Number (an IEEE
// double), or a reference to a String or an Object the collector manages.
// Sixteen bytes, copied freely; numbers never allocate.
#pragma once

#include <cstddef>
#include <cstdint>

namespace swf::script {

class String;
class Object;

class Value {
public:
    enum class Type : uint8_t { Undefined, Null, Boolean, Number, String, Object };

    // Every constructor writes both words whole: values are copied as two
    // 64-bit words, and a partial write before such a copy would stall it.
    Value() : tag_(tagOf(Type::Undefined)), bits_(0) {}
    Value(bool b) : tag_(tagOf(Type::Boolean)), bits_(b ? 1 : 0) {}
    Value(double n) : tag_(tagOf(Type::Number)), number_(n) {}
    Value(int n) : tag_(tagOf(Type::Number)), number_(n) {}
    Value(unsigned n) : tag_(tagOf(Type::Number)), number_(n) {}
    Value(long n) : tag_(tagOf(Type::Number)), number_(static_cast<double>(n)) {}
    Value(unsigned long n) : tag_(tagOf(Type::Number)), number_(static_cast<double>(n)) {}
    Value(long long n) : tag_(tagOf(Type::Number)), number_(static_cast<double>(n)) {}
    Value(unsigned long long n) : tag_(tagOf(Type::Number)), number_(static_cast<double>(n)) {}
    // A null pointer gives undefined.
    Value(String* s) : tag_(tagOf(s ? Type::String : Type::Undefined)), bits_(reinterpret_cast<uintptr_t>(s)) {}
    Value(Object* o) : tag_(tagOf(o ? Type::Object : Type::Undefined)), bits_(reinterpret_cast<uintptr_t>(o)) {}
    Value(const char*) = delete; // strings are made by the Vm

    static Value null()
    {
        Value v;
        v.tag_ = tagOf(Type::Null);
        return v;
    }

    Type type() const { return static_cast<Type>(tag_ & 0xFF); }
    bool isUndefined() const { return type() == Type::Undefined; }
    bool isNull() const { return type() == Type::Null; }
    bool isNullish() const { return type() <= Type::Null; }
    bool isBoolean() const { return type() == Type::Boolean; }
    bool isNumber() const { return type() == Type::Number; }
    bool isString() const { return type() == Type::String; }
    bool isObject() const { return type() == Type::Object; }
    bool isPrimitive() const { return type() != Type::Object; }

    bool boolean() const { return bits_ != 0; }
    double number() const { return number_; }
    String* string() const { return isString() ? reinterpret_cast<String*>(static_cast<uintptr_t>(bits_)) : nullptr; }
    Object* object() const { return isObject() ? reinterpret_cast<Object*>(static_cast<uintptr_t>(bits_)) : nullptr; }

private:
    static uint64_t tagOf(Type t) { return static_cast<uint64_t>(t); }
    uint64_t tag_;
    union {
        double number_;
        uint64_t bits_; // a Boolean, or a String or Object pointer
    };
};

// The arguments of a call: a window onto the operand stack or a caller's
// array, read past its end as undefined.
class Args {
public:
    Args() = default;
    Args(const Value* data, std::size_t count) : data_(data), count_(count) {}
    std::size_t size() const { return count_; }
    bool empty() const { return count_ == 0; }
    Value operator[](std::size_t i) const { return i < count_ ? data_[i] : Value(); }
    const Value* begin() const { return data_; }
    const Value* end() const { return data_ + count_; }

private:
    const Value* data_ = nullptr;
    std::size_t count_ = 0;
};

} // namespace swf::script
