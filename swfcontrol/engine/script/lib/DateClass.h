// Date objects, for the classes that read or make them (AMF, shared
// objects, LocalConnection): a time in milliseconds since 1970 UTC, NaN for
// an invalid date.
#pragma once

#include "swfcontrol/engine/script/Object.h"

namespace swf::script {

class Vm;

class DateObject final : public Object {
public:
    DateObject(Object* proto, double time) : Object(proto, Kind::Date), time_(time) {}
    double time() const { return time_; }
    void setTime(double t) { time_ = t; }
    bool primitive(Value& out) const override
    {
        out = Value(time_);
        return true;
    }

private:
    double time_;
};

// A Date of Date.prototype, as `new Date(time)` makes it.
DateObject* newDate(Vm& vm, double time);
// The object a Date method was called on, or null when it is not a Date.
DateObject* asDate(const Value& v);

} // namespace swf::script
