#include "swfcontrol/engine/script/Convert.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace swf::script {

namespace {

int digitValue(char16_t c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z')
        return c - 'A' + 10;
    return 99;
}

// Reads [sign] digits [. digits] [e [sign] digits] from `i`; the value, or
// NaN when no digit was read. `i` ends after what was read.
double readDecimal(std::u16string_view s, std::size_t& i)
{
    std::string text;
    std::size_t n = s.size();
    if (i < n && (s[i] == '+' || s[i] == '-'))
        text.push_back(static_cast<char>(s[i++]));
    bool digits = false;
    while (i < n && s[i] >= '0' && s[i] <= '9') {
        text.push_back(static_cast<char>(s[i++]));
        digits = true;
    }
    if (i < n && s[i] == '.') {
        text.push_back('.');
        ++i;
        while (i < n && s[i] >= '0' && s[i] <= '9') {
            text.push_back(static_cast<char>(s[i++]));
            digits = true;
        }
    }
    if (!digits)
        return std::numeric_limits<double>::quiet_NaN();
    if (i < n && (s[i] == 'e' || s[i] == 'E')) {
        std::size_t j = i + 1;
        std::string exp = "e";
        if (j < n && (s[j] == '+' || s[j] == '-'))
            exp.push_back(static_cast<char>(s[j++]));
        bool expDigits = false;
        while (j < n && s[j] >= '0' && s[j] <= '9') {
            // Very long exponents only make the value 0 or infinite.
            if (exp.size() < 8)
                exp.push_back(static_cast<char>(s[j]));
            ++j;
            expDigits = true;
        }
        if (expDigits) {
            text += exp;
            i = j;
        }
    }
    return std::strtod(text.c_str(), nullptr);
}

} // namespace

bool isWhite(char16_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

std::string numberToAscii(double d)
{
    if (std::isnan(d))
        return "NaN";
    if (std::isinf(d))
        return d > 0 ? "Infinity" : "-Infinity";
    if (d == 0)
        return "0";
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.14e", d);
    // buf: [-]d.dddddddddddddde[+-]x
    std::string s(buf);
    std::size_t e = s.find('e');
    int exponent = std::atoi(s.c_str() + e + 1);
    bool negative = s[0] == '-';
    std::string digits;
    for (std::size_t i = negative ? 1 : 0; i < e; ++i)
        if (s[i] != '.')
            digits.push_back(s[i]);
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
    std::string out = negative ? "-" : "";
    if (exponent >= 15 || exponent < -6) {
        out += digits[0];
        if (digits.size() > 1)
            out += "." + digits.substr(1);
        out += exponent > 0 ? "e+" : "e-";
        out += std::to_string(exponent < 0 ? -exponent : exponent);
    } else if (exponent < 0) {
        out += "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
    } else {
        std::size_t whole = static_cast<std::size_t>(exponent) + 1;
        if (digits.size() <= whole) {
            out += digits + std::string(whole - digits.size(), '0');
        } else {
            out += digits.substr(0, whole) + "." + digits.substr(whole);
        }
    }
    return out;
}

std::u16string numberToText(double d)
{
    std::string a = numberToAscii(d);
    return std::u16string(a.begin(), a.end());
}

std::u16string numberToRadix(double d, int radix)
{
    if (radix == 10 || radix < 2 || radix > 36)
        return numberToText(d);
    if (std::isnan(d))
        return u"NaN";
    if (std::isinf(d))
        return d > 0 ? u"Infinity" : u"-Infinity";
    int32_t v = toInt32(d);
    bool negative = v < 0;
    uint32_t u = negative ? 0u - static_cast<uint32_t>(v) : static_cast<uint32_t>(v);
    std::u16string out;
    do {
        uint32_t digit = u % static_cast<uint32_t>(radix);
        out.insert(out.begin(), static_cast<char16_t>(digit < 10 ? '0' + digit : 'a' + digit - 10));
        u /= static_cast<uint32_t>(radix);
    } while (u);
    if (negative)
        out.insert(out.begin(), u'-');
    return out;
}

double parseNumber(std::u16string_view s, unsigned version)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::size_t i = 0, n = s.size();
    while (i < n && isWhite(s[i]))
        ++i;
    if (version < 5) {
        // SWF 4 reads the decimal number the text starts with, or 0.
        double v = readDecimal(s, i);
        return std::isnan(v) ? 0 : v;
    }
    if (i == n)
        return nan;
    if (version < 6) {
        double v = readDecimal(s, i);
        while (i < n && isWhite(s[i]))
            ++i;
        return i == n ? v : nan;
    }
    // "0x" hex and leading-zero octal (from SWF 6), as whole integers.
    std::size_t j = i;
    bool negative = false;
    if (j < n && (s[j] == '-' || s[j] == '+'))
        negative = s[j++] == '-';
    if (j + 1 < n && s[j] == '0' && (s[j + 1] == 'x' || s[j + 1] == 'X')) {
        double v = 0;
        std::size_t k = j + 2;
        if (k == n)
            return nan;
        for (; k < n; ++k) {
            int d = digitValue(s[k]);
            if (d >= 16)
                return nan;
            v = v * 16 + d;
        }
        return negative ? -v : v;
    }
    if (j + 1 < n && s[j] == '0') {
        bool octal = true;
        for (std::size_t k = j; k < n && octal; ++k)
            octal = s[k] >= '0' && s[k] <= '7';
        if (octal) {
            double v = 0;
            for (std::size_t k = j; k < n; ++k)
                v = v * 8 + (s[k] - '0');
            return negative ? -v : v;
        }
    }
    double v = readDecimal(s, i);
    while (i < n && isWhite(s[i]))
        ++i;
    return i == n ? v : nan;
}

double parseIntPrefix(std::u16string_view s, int radix, bool radixGiven)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    if (radixGiven && (radix < 2 || radix > 36))
        return nan;
    std::size_t i = 0, n = s.size();
    // "0x" counts only at the very start; a sign may follow it.
    bool hex = n >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X');
    if (hex) {
        i = 2;
        if (!radixGiven)
            radix = 16;
    }
    while (i < n && isWhite(s[i]))
        ++i;
    bool negative = false;
    if (i < n && (s[i] == '-' || s[i] == '+'))
        negative = s[i++] == '-';
    if (!hex && !radixGiven) {
        radix = 10;
        // A leading zero reads octal when the rest is all octal digits,
        // with nothing but a sign before it.
        bool unpadded = i == (negative || (n && s[0] == '+') ? 1u : 0u);
        if (unpadded && i + 1 < n && s[i] == '0') {
            bool octal = true;
            for (std::size_t k = i; k < n && octal; ++k)
                octal = s[k] >= '0' && s[k] <= '7';
            if (octal)
                radix = 8;
        }
    }
    bool signed_ = i == 1 && (s[0] == '-' || s[0] == '+');
    if (!hex && signed_ && i + 1 < n && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        // A sign before "0x": Flash Player drops the sign and reads the x
        // as a digit, or gives NaN where it is none.
        if (radix <= 33)
            return nan;
        negative = false;
    }
    double v = 0;
    bool any = false;
    for (; i < n; ++i) {
        int d = digitValue(s[i]);
        if (d >= radix)
            break;
        v = v * radix + d;
        any = true;
    }
    if (!any)
        return nan;
    return negative ? -v : v;
}

double parseFloatPrefix(std::u16string_view s)
{
    std::size_t i = 0, n = s.size();
    while (i < n && isWhite(s[i]))
        ++i;
    return readDecimal(s, i);
}

int32_t toInt32Wrapped(double d)
{
    if (std::isnan(d) || std::isinf(d))
        return 0;
    double m = std::fmod(std::trunc(d), 4294967296.0);
    if (m < 0)
        m += 4294967296.0;
    return static_cast<int32_t>(static_cast<uint32_t>(m));
}

uint32_t toUint32(double d) { return static_cast<uint32_t>(toInt32(d)); }

double toInteger(double d)
{
    if (std::isnan(d))
        return 0;
    return std::trunc(d);
}

} // namespace swf::script
