// Number and Boolean, and Math.
#include "swfcontrol/engine/script/Boxed.h"
#include "swfcontrol/engine/script/Convert.h"
#include "swfcontrol/engine/script/Vm.h"
#include "swfcontrol/engine/script/lib/Library.h"

#include <cmath>
#include <limits>

namespace swf::script {

bool primitiveOf(const Value& self, Object::Kind kind, Value& out)
{
    if (Object* o = self.object()) {
        if (o->kind() != kind)
            return false;
        return o->primitive(out);
    }
    Value::Type want = kind == Object::Kind::Number    ? Value::Type::Number
                       : kind == Object::Kind::Boolean ? Value::Type::Boolean
                                                       : Value::Type::String;
    if (self.type() != want)
        return false;
    out = self;
    return true;
}

namespace {

Value numberCall(Vm& vm, const Value&, Args args) { return Value(args.empty() ? 0.0 : vm.toNumber(args[0])); }

Value numberConstruct(Vm& vm, NativeFunction& callee, Args args)
{
    Value proto = callee.get(vm, vm.n.prototype);
    double d = args.empty() ? 0.0 : vm.toNumber(args[0]);
    return Value(vm.heap().make<BoxedObject>(proto.object(), Object::Kind::Number, Value(d)));
}

Value numberToString(Vm& vm, const Value& self, Args args)
{
    Value v;
    if (!primitiveOf(self, Object::Kind::Number, v))
        return Value(vm.strAscii("[Number]"));
    int radix = args.empty() || args[0].isUndefined() ? 10 : vm.toInt32(args[0]);
    return Value(vm.str(numberToRadix(v.number(), radix)));
}

Value numberValueOf(Vm&, const Value& self, Args)
{
    Value v;
    if (!primitiveOf(self, Object::Kind::Number, v))
        return self;
    return v;
}

Value booleanCall(Vm& vm, const Value&, Args args) { return Value(!args.empty() && vm.toBoolean(args[0])); }

Value booleanConstruct(Vm& vm, NativeFunction& callee, Args args)
{
    Value proto = callee.get(vm, vm.n.prototype);
    bool b = !args.empty() && vm.toBoolean(args[0]);
    return Value(vm.heap().make<BoxedObject>(proto.object(), Object::Kind::Boolean, Value(b)));
}

Value booleanToString(Vm& vm, const Value& self, Args)
{
    Value v;
    if (!primitiveOf(self, Object::Kind::Boolean, v))
        return Value(vm.strAscii("[Boolean]"));
    return Value(v.boolean() ? vm.n.true_ : vm.n.false_);
}

Value booleanValueOf(Vm&, const Value& self, Args)
{
    Value v;
    if (!primitiveOf(self, Object::Kind::Boolean, v))
        return self;
    return v;
}

// --- Math ---------------------------------------------------------------------

double arg(Vm& vm, Args args, std::size_t i)
{
    return i < args.size() ? vm.toNumber(args[i]) : std::numeric_limits<double>::quiet_NaN();
}

#define MATH1(name, expr)                                                                                              \
    Value name(Vm& vm, const Value&, Args args)                                                                        \
    {                                                                                                                  \
        double x = arg(vm, args, 0);                                                                                   \
        return Value(static_cast<double>(expr));                                                                       \
    }
MATH1(mathAbs, std::fabs(x))
MATH1(mathAcos, std::acos(x))
MATH1(mathAsin, std::asin(x))
MATH1(mathAtan, std::atan(x))
MATH1(mathCeil, std::ceil(x))
MATH1(mathCos, std::cos(x))
MATH1(mathExp, std::exp(x))
MATH1(mathFloor, std::floor(x))
MATH1(mathLog, std::log(x))
MATH1(mathSin, std::sin(x))
MATH1(mathSqrt, std::sqrt(x))
MATH1(mathTan, std::tan(x))
// Halves go up, as Flash Player rounds: -2.5 gives -2.
MATH1(mathRound, std::floor(x + 0.5))
#undef MATH1

Value mathAtan2(Vm& vm, const Value&, Args args) { return Value(std::atan2(arg(vm, args, 0), arg(vm, args, 1))); }

Value mathPow(Vm& vm, const Value&, Args args)
{
    double x = arg(vm, args, 0), y = arg(vm, args, 1);
    return Value(std::pow(x, y));
}

// Math.max and Math.min take two numbers: one alone compares with
// undefined and gives NaN; none gives the identity.
Value mathMax(Vm& vm, const Value&, Args args)
{
    if (args.empty())
        return Value(-std::numeric_limits<double>::infinity());
    double x = vm.toNumber(args[0]), y = arg(vm, args, 1);
    return Value(std::isnan(x) || std::isnan(y) ? std::numeric_limits<double>::quiet_NaN() : x > y ? x : y);
}

Value mathMin(Vm& vm, const Value&, Args args)
{
    if (args.empty())
        return Value(std::numeric_limits<double>::infinity());
    double x = vm.toNumber(args[0]), y = arg(vm, args, 1);
    return Value(std::isnan(x) || std::isnan(y) ? std::numeric_limits<double>::quiet_NaN() : x < y ? x : y);
}

Value mathRandom(Vm& vm, const Value&, Args)
{
    return Value(static_cast<double>(vm.random()() >> 5) / static_cast<double>(1u << 27));
}

} // namespace

void installNumberClasses(Vm& vm)
{
    Object* numberProto = vm.heap().make<BoxedObject>(vm.protos.object, Object::Kind::Number, Value(0.0));
    NativeFunction* number = vm.newClass(numberCall, numberConstruct, numberProto);
    vm.protos.number = numberProto;
    vm.ctors.number = number;
    vm.methods(numberProto, {{"toString", numberToString}, {"valueOf", numberValueOf}});
    const double inf = std::numeric_limits<double>::infinity();
    vm.constant(number, "MAX_VALUE", Value(std::numeric_limits<double>::max()));
    vm.constant(number, "MIN_VALUE", Value(std::numeric_limits<double>::denorm_min()));
    vm.constant(number, "NaN", Value(std::numeric_limits<double>::quiet_NaN()));
    vm.constant(number, "NEGATIVE_INFINITY", Value(-inf));
    vm.constant(number, "POSITIVE_INFINITY", Value(inf));
    vm.global()->define(vm, vm.name("Number"), Value(number), DontEnum);

    Object* booleanProto = vm.heap().make<BoxedObject>(vm.protos.object, Object::Kind::Boolean, Value(false));
    NativeFunction* boolean = vm.newClass(booleanCall, booleanConstruct, booleanProto);
    vm.protos.boolean = booleanProto;
    vm.ctors.boolean = boolean;
    vm.methods(booleanProto, {{"toString", booleanToString}, {"valueOf", booleanValueOf}});
    vm.global()->define(vm, vm.name("Boolean"), Value(boolean), DontEnum);
}

void installMath(Vm& vm)
{
    Object* math = vm.newObject();
    vm.methods(math, {{"abs", mathAbs},     {"acos", mathAcos},   {"asin", mathAsin}, {"atan", mathAtan},
                      {"atan2", mathAtan2}, {"ceil", mathCeil},   {"cos", mathCos},   {"exp", mathExp},
                      {"floor", mathFloor}, {"log", mathLog},     {"max", mathMax},   {"min", mathMin},
                      {"pow", mathPow},     {"random", mathRandom}, {"round", mathRound}, {"sin", mathSin},
                      {"sqrt", mathSqrt},   {"tan", mathTan}});
    vm.constant(math, "E", Value(2.718281828459045));
    vm.constant(math, "LN10", Value(2.302585092994046));
    vm.constant(math, "LN2", Value(0.6931471805599453));
    vm.constant(math, "LOG10E", Value(0.4342944819032518));
    vm.constant(math, "LOG2E", Value(1.442695040888963387));
    vm.constant(math, "PI", Value(3.141592653589793));
    vm.constant(math, "SQRT1_2", Value(0.7071067811865476));
    vm.constant(math, "SQRT2", Value(1.4142135623730951));
    vm.global()->define(vm, vm.name("Math"), Value(math), DontEnum);
}

} // namespace swf::script
