// Array and its methods, sort and sortOn with their option flags.
#include "swfcontrol/engine/script/Array.h"
#include "swfcontrol/engine/script/Convert.h"
#include "swfcontrol/engine/script/Vm.h"
#include "swfcontrol/engine/script/lib/Library.h"

#include <algorithm>
#include <cmath>

namespace swf::script {

namespace {

enum SortOption : uint32_t {
    CaseInsensitive = 1,
    Descending = 2,
    UniqueSort = 4,
    ReturnIndexedArray = 8,
    Numeric = 16,
};

ArrayObject* selfArray(const Value& self)
{
    Object* o = self.object();
    return o && (o->kind() == Object::Kind::Array || o->kind() == Object::Kind::Arguments)
               ? static_cast<ArrayObject*>(o)
               : nullptr;
}

int64_t intArg(Vm& vm, Args args, std::size_t i, int64_t missing)
{
    if (i >= args.size() || args[i].isUndefined())
        return missing;
    double d = toInteger(vm.toNumber(args[i]));
    return d > 9e15 ? 9000000000000000ll : d < -9e15 ? -9000000000000000ll : static_cast<int64_t>(d);
}

// A relative index (negative counts from the end) clamped into [0, len].
std::size_t relative(int64_t i, std::size_t len)
{
    int64_t l = static_cast<int64_t>(len);
    if (i < 0)
        i = std::max<int64_t>(0, i + l);
    return static_cast<std::size_t>(std::min(i, l));
}

Value arrayConstruct(Vm& vm, NativeFunction& callee, Args args)
{
    Value proto = callee.get(vm, vm.n.prototype);
    ArrayObject* a = vm.heap().make<ArrayObject>(proto.object() ? proto.object() : vm.protos.array);
    Value result(a);
    if (args.size() == 1 && args[0].isNumber()) {
        double n = args[0].number();
        // A length that is no count makes an empty array.
        if (n >= 0 && n == std::floor(n) && n <= static_cast<double>(ArrayObject::kMaxLength))
            a->setLength(vm, static_cast<std::size_t>(n));
        return result;
    }
    for (std::size_t i = 0; i < args.size(); ++i)
        a->push(vm, args[i]);
    return result;
}

Value arrayCall(Vm& vm, const Value&, Args args)
{
    return arrayConstruct(vm, *static_cast<NativeFunction*>(vm.ctors.array), args);
}

Value push(Vm& vm, const Value& self, Args args)
{
    ArrayObject* a = selfArray(self);
    if (!a)
        return Value();
    for (std::size_t i = 0; i < args.size(); ++i)
        a->push(vm, args[i]);
    return Value(static_cast<double>(a->length()));
}

Value pop(Vm& vm, const Value& self, Args)
{
    ArrayObject* a = selfArray(self);
    if (!a || a->length() == 0)
        return Value();
    Value v = a->at(a->length() - 1);
    a->setLength(vm, a->length() - 1);
    return v;
}

std::vector<Value> valuesOf(ArrayObject* a)
{
    std::vector<Value> v(a->length());
    for (std::size_t i = 0; i < v.size(); ++i)
        v[i] = a->at(i);
    return v;
}

Value shift(Vm& vm, const Value& self, Args)
{
    ArrayObject* a = selfArray(self);
    if (!a || a->length() == 0)
        return Value();
    std::vector<Value> v = valuesOf(a);
    Value first = v.front();
    v.erase(v.begin());
    a->assign(vm, v);
    return first;
}

Value unshift(Vm& vm, const Value& self, Args args)
{
    ArrayObject* a = selfArray(self);
    if (!a)
        return Value();
    std::vector<Value> v = valuesOf(a);
    v.insert(v.begin(), args.begin(), args.end());
    a->assign(vm, v);
    return Value(static_cast<double>(a->length()));
}

Value reverse(Vm& vm, const Value& self, Args)
{
    ArrayObject* a = selfArray(self);
    if (!a)
        return Value();
    std::vector<Value> v = valuesOf(a);
    std::reverse(v.begin(), v.end());
    a->assign(vm, v);
    return self;
}

Value concat(Vm& vm, const Value& self, Args args)
{
    ArrayObject* out = vm.newArray();
    Value result(out);
    if (ArrayObject* a = selfArray(self))
        for (std::size_t i = 0; i < a->length(); ++i)
            out->push(vm, a->at(i));
    for (std::size_t k = 0; k < args.size(); ++k) {
        // Arrays are spread one level; anything else is one element.
        if (ArrayObject* b = selfArray(args[k])) {
            if (b->kind() == Object::Kind::Array) {
                for (std::size_t i = 0; i < b->length(); ++i)
                    out->push(vm, b->at(i));
                continue;
            }
        }
        out->push(vm, args[k]);
    }
    return result;
}

Value join(Vm& vm, const Value& self, Args args)
{
    ArrayObject* a = selfArray(self);
    if (!a)
        return Value();
    String* sep = args.empty() || args[0].isUndefined() ? vm.strAscii(",") : vm.toString(args[0]);
    std::u16string out;
    for (std::size_t i = 0; i < a->length(); ++i) {
        if (i)
            out += sep->view();
        out += vm.toString(a->at(i))->view();
        if (out.size() > String::kMaxLength)
            throw ScriptAbort{ScriptAbort::Reason::Memory};
    }
    return Value(vm.str(out));
}

Value arrayToString(Vm& vm, const Value& self, Args) { return join(vm, self, Args()); }

Value slice(Vm& vm, const Value& self, Args args)
{
    ArrayObject* a = selfArray(self);
    if (!a)
        return Value();
    std::size_t len = a->length();
    std::size_t start = relative(intArg(vm, args, 0, 0), len);
    std::size_t end = relative(intArg(vm, args, 1, static_cast<int64_t>(len)), len);
    ArrayObject* out = vm.newArray();
    Value result(out);
    for (std::size_t i = start; i < end; ++i)
        out->push(vm, a->at(i));
    return result;
}

Value splice(Vm& vm, const Value& self, Args args)
{
    ArrayObject* a = selfArray(self);
    if (!a || args.empty())
        return Value();
    std::vector<Value> v = valuesOf(a);
    std::size_t start = relative(intArg(vm, args, 0, 0), v.size());
    int64_t want = intArg(vm, args, 1, static_cast<int64_t>(v.size() - start));
    std::size_t count = static_cast<std::size_t>(std::max<int64_t>(0, std::min<int64_t>(want, static_cast<int64_t>(v.size() - start))));
    ArrayObject* removed = vm.newArray();
    Value result(removed);
    for (std::size_t i = 0; i < count; ++i)
        removed->push(vm, v[start + i]);
    v.erase(v.begin() + static_cast<std::ptrdiff_t>(start), v.begin() + static_cast<std::ptrdiff_t>(start + count));
    if (args.size() > 2)
        v.insert(v.begin() + static_cast<std::ptrdiff_t>(start), args.begin() + 2, args.end());
    a->assign(vm, v);
    return result;
}

// --- sorting ----------------------------------------------------------------------

struct Sorter {
    Vm& vm;
    uint32_t options;
    Value compareFn;

    int compare(const Value& a, const Value& b)
    {
        int r;
        if (compareFn.isObject()) {
            Value args[2] = {a, b};
            double d = vm.toNumber(vm.call(compareFn, Value(), Args(args, 2)));
            r = d < 0 ? -1 : d > 0 ? 1 : 0;
        } else if (options & Numeric) {
            double x = vm.toNumber(a), y = vm.toNumber(b);
            // NaN (and so undefined) sorts last.
            if (std::isnan(x) || std::isnan(y))
                r = std::isnan(x) == std::isnan(y) ? 0 : std::isnan(x) ? 1 : -1;
            else
                r = x < y ? -1 : x > y ? 1 : 0;
        } else {
            std::u16string x(vm.toString(a)->view()), y(vm.toString(b)->view());
            if (options & CaseInsensitive) {
                for (char16_t& c : x)
                    c = foldCase(c);
                for (char16_t& c : y)
                    c = foldCase(c);
            }
            r = x < y ? -1 : x > y ? 1 : 0;
        }
        return (options & Descending) ? -r : r;
    }
};

// Sorts the indices of `keys` and applies the options; false when
// UNIQUESORT met two equal keys.
bool sortIndices(Sorter& sorter, const std::vector<Value>& keys, std::vector<std::size_t>& order)
{
    order.resize(keys.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    bool duplicate = false;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t x, std::size_t y) {
        int r = sorter.compare(keys[x], keys[y]);
        if (r == 0)
            duplicate = true;
        return r < 0;
    });
    return !(duplicate && (sorter.options & UniqueSort));
}

Value finishSort(Vm& vm, ArrayObject* a, const Value& self, const std::vector<Value>& values,
                 const std::vector<std::size_t>& order, uint32_t options)
{
    if (options & ReturnIndexedArray) {
        ArrayObject* out = vm.newArray();
        Value result(out);
        for (std::size_t i : order)
            out->push(vm, Value(static_cast<double>(i)));
        return result;
    }
    std::vector<Value> sorted;
    sorted.reserve(order.size());
    for (std::size_t i : order)
        sorted.push_back(values[i]);
    a->assign(vm, sorted);
    return self;
}

Value sort(Vm& vm, const Value& self, Args args)
{
    ArrayObject* a = selfArray(self);
    if (!a)
        return Value();
    Sorter sorter{vm, 0, Value()};
    std::size_t next = 0;
    if (Object* f = args[0].object(); f && f->isFunction()) {
        sorter.compareFn = args[0];
        next = 1;
    }
    if (next < args.size())
        sorter.options = toUint32(vm.toNumber(args[next]));
    RootedValues values(vm.heap());
    values.values = valuesOf(a);
    std::vector<std::size_t> order;
    if (!sortIndices(sorter, values.values, order))
        return Value(0);
    return finishSort(vm, a, self, values.values, order, sorter.options);
}

Value sortOn(Vm& vm, const Value& self, Args args)
{
    ArrayObject* a = selfArray(self);
    if (!a || args.empty())
        return Value();
    RootedValues hold(vm.heap());
    std::vector<String*> fields;
    std::vector<uint32_t> fieldOptions;
    uint32_t options = args.size() > 1 ? toUint32(vm.toNumber(args[1])) : 0;
    if (ArrayObject* names = selfArray(args[0])) {
        for (std::size_t i = 0; i < names->length(); ++i)
            fields.push_back(vm.toName(names->at(i)));
        if (ArrayObject* opts = selfArray(args[1]))
            for (std::size_t i = 0; i < opts->length(); ++i)
                fieldOptions.push_back(toUint32(vm.toNumber(opts->at(i))));
    } else {
        fields.push_back(vm.toName(args[0]));
    }
    for (String* f : fields)
        hold.values.push_back(Value(f));
    std::vector<Value> values = valuesOf(a);
    hold.values.insert(hold.values.end(), values.begin(), values.end());
    // The fields' values, read once.
    std::vector<std::vector<Value>> keys(fields.size(), std::vector<Value>(values.size()));
    for (std::size_t k = 0; k < fields.size(); ++k) {
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (Object* o = values[i].object())
                keys[k][i] = o->get(vm, fields[k]);
            hold.values.push_back(keys[k][i]);
        }
    }
    std::vector<std::size_t> order(values.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    bool duplicate = false;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t x, std::size_t y) {
        for (std::size_t k = 0; k < fields.size(); ++k) {
            Sorter s{vm, k < fieldOptions.size() ? fieldOptions[k] : options, Value()};
            int r = s.compare(keys[k][x], keys[k][y]);
            if (r != 0)
                return r < 0;
        }
        duplicate = true;
        return false;
    });
    uint32_t first = fieldOptions.empty() ? options : fieldOptions[0];
    if (duplicate && (first & UniqueSort))
        return Value(0);
    return finishSort(vm, a, self, values, order, first);
}

} // namespace

void installArrayClass(Vm& vm)
{
    ArrayObject* proto = vm.heap().make<ArrayObject>(vm.protos.object);
    NativeFunction* ctor = vm.newClass(arrayCall, arrayConstruct, proto);
    vm.protos.array = proto;
    vm.ctors.array = ctor;
    vm.methods(proto, {{"push", push},
                       {"pop", pop},
                       {"shift", shift},
                       {"unshift", unshift},
                       {"reverse", reverse},
                       {"concat", concat},
                       {"join", join},
                       {"toString", arrayToString},
                       {"slice", slice},
                       {"splice", splice},
                       {"sort", sort},
                       {"sortOn", sortOn}});
    vm.constant(ctor, "CASEINSENSITIVE", Value(1));
    vm.constant(ctor, "DESCENDING", Value(2));
    vm.constant(ctor, "UNIQUESORT", Value(4));
    vm.constant(ctor, "RETURNINDEXEDARRAY", Value(8));
    vm.constant(ctor, "NUMERIC", Value(16));
    vm.global()->define(vm, vm.name("Array"), Value(ctor), DontEnum);
}

} // namespace swf::script
