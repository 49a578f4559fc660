// Date: a time in milliseconds since 1970 UTC, its fields in local time (the
// host's time zone) and in UTC, and its text.
//
// Movies see Flash Player's own arithmetic at the edges, so it is kept:
// - a value that does not fit a 32-bit integer where one is wanted (a year,
//   setMinutes's arguments, a field of an infinite time) becomes INT32_MIN,
//   as the x86 conversion gives;
// - the constructor and Date.UTC neither clip nor check the time they make;
//   the setters clip it to +-8.64e15 ms;
// - a count of units (days, hours, minutes, seconds) is the time times the
//   unit's reciprocal, floored, and moved up one where that fell just short
//   of a whole unit, so a time 1 ms before -8.64e15 reads as hour 0.
#include "swfcontrol/engine/script/lib/DateClass.h"

#include "swfcontrol/engine/script/Vm.h"
#include "swfcontrol/engine/script/lib/Library.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

namespace swf::script {

namespace {

constexpr double kMsPerDay = 86400000.0;
constexpr double kMsPerHour = 3600000.0;
constexpr double kMsPerMinute = 60000.0;
constexpr double kMsPerSecond = 1000.0;
constexpr double kMaxTime = 8.64e15;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

int32_t toInt(double d)
{
    if (!(d > -2147483649.0 && d < 2147483648.0))
        return INT32_MIN;
    return static_cast<int32_t>(d);
}

double truncated(double d) { return std::isfinite(d) ? std::trunc(d) : d; }

// How many whole units fit in t, rounded down.
double unitsIn(double t, double unit)
{
    if (!std::isfinite(t))
        return t;
    double q = std::floor(t * (1.0 / unit));
    if ((q + 1) * unit <= t)
        q += 1;
    return q;
}

// The place of a count within a larger unit (an hour in its day).
int32_t placeIn(double count, int32_t n)
{
    int32_t r = toInt(std::fmod(count, n));
    return r < 0 ? r + n : r;
}

bool isLeap(double year)
{
    return (std::fmod(year, 4.0) == 0 && std::fmod(year, 100.0) != 0) || std::fmod(year, 400.0) == 0;
}

// The day number of 1 January of a year.
double firstDayOf(double year)
{
    return 365.0 * (year - 1970) + std::floor((year - 1969) / 4.0) - std::floor((year - 1901) / 100.0) +
           std::floor((year - 1601) / 400.0);
}

const int kDaysBeforeMonth[13] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365};

int64_t yearOf(double t)
{
    int32_t guess = toInt(std::floor(t * (1.0 / (kMsPerDay * 365.2425))));
    int64_t year = int64_t(guess) + 1970;
    if (guess == INT32_MIN) // NaN, infinite or past the years an int32 holds: no correction
        return year;
    // The mean year is off by at most one near the start or end of a year.
    for (int i = 0; i < 4 && kMsPerDay * firstDayOf(double(year)) > t; ++i)
        --year;
    for (int i = 0; i < 4 && kMsPerDay * firstDayOf(double(year + 1)) <= t; ++i)
        ++year;
    return year;
}

struct Fields {
    double year, month, date, day, hours, minutes, seconds, ms;
};

Fields fieldsOf(double t)
{
    if (std::isnan(t))
        return {kNaN, kNaN, kNaN, kNaN, kNaN, kNaN, kNaN, kNaN};
    Fields f;
    int64_t year = yearOf(t);
    double dayNumber = unitsIn(t, kMsPerDay);
    int64_t inYear = toInt(dayNumber - firstDayOf(double(year)));
    int leap = isLeap(double(year)) ? 1 : 0;
    int month = 0;
    while (month < 11 && inYear >= kDaysBeforeMonth[month + 1] + (month >= 1 ? leap : 0))
        ++month;
    f.year = double(year);
    f.month = month;
    f.date = double(inYear - (kDaysBeforeMonth[month] + (month >= 2 ? leap : 0)) + 1);
    f.day = placeIn(dayNumber + 4, 7);
    f.hours = placeIn(unitsIn(t, kMsPerHour), 24);
    f.minutes = placeIn(unitsIn(t, kMsPerMinute), 60);
    f.seconds = placeIn(unitsIn(t, kMsPerSecond), 60);
    f.ms = placeIn(t, 1000);
    return f;
}

double makeDay(double year, double month, double date)
{
    if (std::isfinite(month))
        year += std::floor(month / 12.0);
    double m = std::fmod(month, 12.0);
    if (m < 0)
        m += 12;
    if (std::isnan(m))
        return kNaN;
    int mi = static_cast<int>(m);
    return firstDayOf(year) + kDaysBeforeMonth[mi] + (mi >= 2 && isLeap(year) ? 1 : 0) + date - 1;
}

double makeTime(double h, double m, double s, double ms)
{
    return h * kMsPerHour + m * kMsPerMinute + s * kMsPerSecond + ms;
}

double clipped(double t) { return std::isnan(t) || std::fabs(t) > kMaxTime ? kNaN : std::trunc(t); }

// --- local time -------------------------------------------------------------

double offsetMs(Vm& vm, double utc)
{
    double minutes = vm.host().localOffsetMinutes(std::isfinite(utc) ? utc : 0.0);
    return std::isfinite(minutes) ? minutes * kMsPerMinute : 0.0;
}

double toLocal(Vm& vm, double t) { return t + offsetMs(vm, t); }

// Local fields name a UTC time whose offset is not known yet: the offset
// at the time they would name in UTC is near enough to find it.
double toUtc(Vm& vm, double local) { return local - offsetMs(vm, local - offsetMs(vm, local)); }

// The time the constructor and Date.UTC make of year, month[, date, hours,
// minutes, seconds, ms], in the zone the fields are in.
double timeOfFields(Vm& vm, Args args)
{
    double a[7] = {0, 0, 1, 0, 0, 0, 0};
    for (std::size_t i = 0; i < 7 && i < args.size(); ++i)
        a[i] = vm.toNumber(args[i]);
    double year = a[0];
    if (year < 100)
        year += 1900;
    double day = makeDay(toInt(year), truncated(a[1]), truncated(a[2]));
    return day * kMsPerDay + makeTime(truncated(a[3]), truncated(a[4]), truncated(a[5]), truncated(a[6]));
}

void appendInt(std::string& out, int64_t v, int width = 0)
{
    std::string digits;
    uint64_t u = v < 0 ? uint64_t(0) - uint64_t(v) : uint64_t(v);
    do {
        digits.insert(digits.begin(), char('0' + u % 10));
        u /= 10;
    } while (u);
    while (int(digits.size()) < width)
        digits.insert(digits.begin(), '0');
    if (v < 0)
        out += '-';
    out += digits;
}

// "Sat Feb 3 04:05:06 GMT+0545 2001"
String* dateText(Vm& vm, double t)
{
    if (!std::isfinite(t))
        return vm.strAscii("Invalid Date");
    static const char* const kDays[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    Fields f = fieldsOf(toLocal(vm, t));
    double offset = offsetMs(vm, t) / kMsPerMinute;
    int64_t minutes = static_cast<int64_t>(std::fabs(offset) < 1e6 ? std::fabs(offset) : 0);
    std::string s;
    s += kDays[static_cast<int>(f.day)];
    s += ' ';
    s += kMonths[static_cast<int>(f.month)];
    s += ' ';
    appendInt(s, static_cast<int64_t>(f.date));
    s += ' ';
    appendInt(s, static_cast<int64_t>(f.hours), 2);
    s += ':';
    appendInt(s, static_cast<int64_t>(f.minutes), 2);
    s += ':';
    appendInt(s, static_cast<int64_t>(f.seconds), 2);
    s += offset < 0 ? " GMT-" : " GMT+";
    appendInt(s, minutes / 60, 2);
    appendInt(s, minutes % 60, 2);
    s += ' ';
    appendInt(s, static_cast<int64_t>(f.year));
    return vm.strAscii(s);
}

// --- the class ----------------------------------------------------------------

Value dateCall(Vm& vm, const Value&, Args args)
{
    double t;
    if (args.empty())
        t = vm.host().dateNow();
    else if (args.size() == 1)
        t = vm.toNumber(args[0]);
    else
        t = toUtc(vm, timeOfFields(vm, args));
    return Value(dateText(vm, t));
}

Value dateConstruct(Vm& vm, NativeFunction& callee, Args args)
{
    double t;
    if (args.empty())
        t = vm.host().dateNow();
    else if (args.size() == 1)
        t = vm.toNumber(args[0]);
    else
        t = toUtc(vm, timeOfFields(vm, args));
    Object* proto = callee.get(vm, vm.n.prototype).object();
    return Value(vm.heap().make<DateObject>(proto, t));
}

Value dateUtc(Vm& vm, const Value&, Args args)
{
    if (args.size() < 2)
        return Value();
    return Value(timeOfFields(vm, args));
}

enum class Field { FullYear, Year, Month, Date, Day, Hours, Minutes, Seconds, Milliseconds };

template <Field F, bool Utc>
Value getField(Vm& vm, const Value& self, Args)
{
    DateObject* date = asDate(self);
    if (!date)
        return Value();
    double t = date->time();
    Fields f = fieldsOf(Utc ? t : toLocal(vm, t));
    switch (F) {
    case Field::FullYear: return Value(f.year);
    case Field::Year: return Value(f.year - 1900);
    case Field::Month: return Value(f.month);
    case Field::Date: return Value(f.date);
    case Field::Day: return Value(f.day);
    case Field::Hours: return Value(f.hours);
    case Field::Minutes: return Value(f.minutes);
    case Field::Seconds: return Value(f.seconds);
    case Field::Milliseconds: return Value(f.ms);
    }
    return Value();
}

Value getTime(Vm&, const Value& self, Args)
{
    DateObject* date = asDate(self);
    return date ? Value(date->time()) : Value();
}

Value getTimezoneOffset(Vm& vm, const Value& self, Args)
{
    DateObject* date = asDate(self);
    if (!date)
        return Value();
    double t = date->time();
    return Value((t - toLocal(vm, t)) / kMsPerMinute);
}

Value setTime(Vm& vm, const Value& self, Args args)
{
    DateObject* date = asDate(self);
    if (!date)
        return Value();
    date->setTime(args.empty() ? kNaN : clipped(vm.toNumber(args[0])));
    return Value(date->time());
}

// The fields a setter changes: the first, and those after it that its
// optional arguments reach (setHours(h, min, s, ms)).
double setFields(Vm& vm, double t, Field first, bool utc, Args args)
{
    const bool inDay = first >= Field::Hours;
    const std::size_t most = inDay ? 4 - (std::size_t(first) - std::size_t(Field::Hours))
                             : first == Field::Date ? 1
                             : first == Field::Month ? 2
                                                     : 3;
    double a[4];
    std::size_t n = args.size() < most ? args.size() : most;
    for (std::size_t i = 0; i < n; ++i)
        a[i] = vm.toNumber(args[i]);
    // Flash Player reads a missing or NaN month as January, and takes
    // setMinutes's arguments (a missing one too) as 32-bit integers.
    if (n == 0 && (first == Field::Month || first == Field::Minutes)) {
        a[0] = kNaN;
        n = 1;
    }
    if (first == Field::Month && std::isnan(a[0]))
        a[0] = 0;
    if (first == Field::Minutes)
        for (std::size_t i = 0; i < n; ++i)
            a[i] = toInt(a[i]);
    if (n == 0)
        return kNaN;

    double lt = utc ? t : toLocal(vm, t);
    double result;
    if (inDay) {
        Fields f = fieldsOf(lt);
        double parts[4] = {f.hours, f.minutes, f.seconds, f.ms};
        std::size_t at = std::size_t(first) - std::size_t(Field::Hours);
        for (std::size_t i = 0; i < n; ++i)
            parts[at + i] = truncated(a[i]);
        result = unitsIn(lt, kMsPerDay) * kMsPerDay + makeTime(parts[0], parts[1], parts[2], parts[3]);
    } else {
        double year = kNaN, month = kNaN, day = kNaN;
        if (std::isfinite(lt)) {
            Fields f = fieldsOf(lt);
            year = f.year;
            month = f.month;
            day = f.date;
        }
        std::size_t i = 0;
        if (first == Field::FullYear || first == Field::Year) {
            double y = a[i++];
            if (first == Field::Year && y >= 0 && y < 100)
                y += 1900;
            year = toInt(y);
        }
        if (first <= Field::Month && i < n)
            month = truncated(a[i++]);
        if (i < n)
            day = truncated(a[i]);
        result = makeDay(year, month, day) * kMsPerDay + (lt - unitsIn(lt, kMsPerDay) * kMsPerDay);
    }
    return utc ? result : toUtc(vm, result);
}

template <Field F, bool Utc>
Value setField(Vm& vm, const Value& self, Args args)
{
    DateObject* date = asDate(self);
    if (!date)
        return Value();
    date->setTime(clipped(setFields(vm, date->time(), F, Utc, args)));
    return Value(date->time());
}

Value dateToString(Vm& vm, const Value& self, Args)
{
    DateObject* date = asDate(self);
    return date ? Value(dateText(vm, date->time())) : Value();
}

} // namespace

DateObject* asDate(const Value& v)
{
    Object* o = v.object();
    return o && o->kind() == Object::Kind::Date ? static_cast<DateObject*>(o) : nullptr;
}

DateObject* newDate(Vm& vm, double time) { return vm.heap().make<DateObject>(vm.protos.date, time); }

void installDateClass(Vm& vm)
{
    Object* proto = vm.newObject();
    NativeFunction* ctor = vm.newClass(dateCall, dateConstruct, proto);
    vm.protos.date = proto;
    vm.ctors.date = ctor;
    vm.methods(proto, {{"getFullYear", getField<Field::FullYear, false>},
                       {"getYear", getField<Field::Year, false>},
                       {"getMonth", getField<Field::Month, false>},
                       {"getDate", getField<Field::Date, false>},
                       {"getDay", getField<Field::Day, false>},
                       {"getHours", getField<Field::Hours, false>},
                       {"getMinutes", getField<Field::Minutes, false>},
                       {"getSeconds", getField<Field::Seconds, false>},
                       {"getMilliseconds", getField<Field::Milliseconds, false>},
                       {"setFullYear", setField<Field::FullYear, false>},
                       {"setMonth", setField<Field::Month, false>},
                       {"setDate", setField<Field::Date, false>},
                       {"setHours", setField<Field::Hours, false>},
                       {"setMinutes", setField<Field::Minutes, false>},
                       {"setSeconds", setField<Field::Seconds, false>},
                       {"setMilliseconds", setField<Field::Milliseconds, false>},
                       {"setTime", setTime},
                       {"getTimezoneOffset", getTimezoneOffset},
                       {"toString", dateToString},
                       {"setYear", setField<Field::Year, false>},
                       {"getUTCFullYear", getField<Field::FullYear, true>},
                       {"getUTCYear", getField<Field::Year, true>},
                       {"getUTCMonth", getField<Field::Month, true>},
                       {"getUTCDate", getField<Field::Date, true>},
                       {"getUTCDay", getField<Field::Day, true>},
                       {"getUTCHours", getField<Field::Hours, true>},
                       {"getUTCMinutes", getField<Field::Minutes, true>},
                       {"getUTCSeconds", getField<Field::Seconds, true>},
                       {"getUTCMilliseconds", getField<Field::Milliseconds, true>},
                       {"setUTCFullYear", setField<Field::FullYear, true>},
                       {"setUTCMonth", setField<Field::Month, true>},
                       {"setUTCDate", setField<Field::Date, true>},
                       {"setUTCHours", setField<Field::Hours, true>},
                       {"setUTCMinutes", setField<Field::Minutes, true>},
                       {"setUTCSeconds", setField<Field::Seconds, true>},
                       {"setUTCMilliseconds", setField<Field::Milliseconds, true>}});
    // One function under both names, as in Flash Player.
    NativeFunction* time = vm.newNative(getTime);
    proto->define(vm, vm.name("getTime"), Value(time), DontEnum);
    proto->define(vm, vm.n.valueOf, Value(time), DontEnum);
    vm.method(ctor, "UTC", dateUtc);
    vm.global()->define(vm, vm.name("Date"), Value(ctor), DontEnum);
}

} // namespace swf::script
