// Numbers to text and back, as ActionScript 1/2 write and read them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace swf::script {

// 15 significant digits, trailing zeros dropped; exponent form ("1e+15",
// "1.5e-7") from 1e15 up and below 1e-6; "NaN", "Infinity", "-Infinity".
std::u16string numberToText(double d);
std::string numberToAscii(double d);
// Integers in radix 2 to 36, lower-case digits, a minus sign for negatives.
std::u16string numberToRadix(double d, int radix);

// A string as a Number: decimal with an optional exponent, "0x" hex and
// leading-zero octal, surrounding white space allowed; NaN for the rest.
// SWF 4 reads the decimal number the text starts with, 0 when none.
double parseNumber(std::u16string_view s, unsigned version);
// parseInt and parseFloat: the longest number at the start of the text.
double parseIntPrefix(std::u16string_view s, int radix, bool radixGiven);
double parseFloatPrefix(std::u16string_view s);

// ECMAScript's integer conversions, as the bit operators use them.
int32_t toInt32Wrapped(double d);
inline int32_t toInt32(double d)
{
    // NaN fails both tests and takes the slow way, as do large numbers.
    if (d >= -2147483648.0 && d <= 2147483647.0)
        return static_cast<int32_t>(d);
    return toInt32Wrapped(d);
}
uint32_t toUint32(double d);
double toInteger(double d); // truncated towards zero; NaN gives 0

bool isWhite(char16_t c);

} // namespace swf::script
