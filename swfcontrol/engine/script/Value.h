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

    Value() : type_(Type::Undefined), number_(0) {}
    Value(bool b) : type_(Type::Boolean), number_(0) { boolean_ = b; }
    Value(double n) : type_(Type::Number), number_(n) {}
    Value(int n) : type_(Type::Number), number_(n) {}
    Value(unsigned n) : type_(Type::Number), number_(n) {}
    Value(long n) : type_(Type::Number), number_(static_cast<double>(n)) {}
    Value(unsigned long n) : type_(Type::Number), number_(static_cast<double>(n)) {}
    Value(long long n) : type_(Type::Number), number_(static_cast<double>(n)) {}
    Value(unsigned long long n) : type_(Type::Number), number_(static_cast<double>(n)) {}
    // A null pointer gives undefined.
    Value(String* s) : type_(s ? Type::String : Type::Undefined), number_(0) { string_ = s; }
    Value(Object* o) : type_(o ? Type::Object : Type::Undefined), number_(0) { object_ = o; }
    Value(const char*) = delete; // strings are made by the Vm

    static Value null()
    {
        Value v;
        v.type_ = Type::Null;
        return v;
    }

    Type type() const { return type_; }
    bool isUndefined() const { return type_ == Type::Undefined; }
    bool isNull() const { return type_ == Type::Null; }
    bool isNullish() const { return type_ <= Type::Null; }
    bool isBoolean() const { return type_ == Type::Boolean; }
    bool isNumber() const { return type_ == Type::Number; }
    bool isString() const { return type_ == Type::String; }
    bool isObject() const { return type_ == Type::Object; }
    bool isPrimitive() const { return type_ != Type::Object; }

    bool boolean() const { return boolean_; }
    double number() const { return number_; }
    String* string() const { return type_ == Type::String ? string_ : nullptr; }
    Object* object() const { return type_ == Type::Object ? object_ : nullptr; }

private:
    Type type_;
    union {
        bool boolean_;
        double number_;
        String* string_;
        Object* object_;
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
