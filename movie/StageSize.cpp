#include "movie/StageSize.h"

#include <cmath>

namespace {

bool isFormatSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The digit's value, or a value >= base when the byte is no digit of it.
int digitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z')
        return c - 'A' + 10;
    return 36;
}

} // namespace

// Read by hand rather than with sscanf: "%i" into an int is undefined on
// overflow, and C runtimes disagree on it and on "0x" with no digit after
// it. This reads what strtol with base 0 reads.
std::optional<int> readStageDimension(const std::string& text)
{
    std::string::size_type i = 0;
    const std::string::size_type size = text.size();
    while (i < size && isFormatSpace(text[i]))
        ++i;

    bool negative = false;
    if (i < size && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }

    int base = 10;
    if (i < size && text[i] == '0') {
        base = 8;
        // "0x" counts as a prefix only with a hex digit after it; otherwise
        // the number is the 0 and the x is the first byte that does not fit.
        if (i + 2 < size && (text[i + 1] == 'x' || text[i + 1] == 'X') && digitValue(text[i + 2]) < 16) {
            base = 16;
            i += 2;
        }
    }

    const std::string::size_type firstDigit = i;
    long long value = 0;
    while (i < size && digitValue(text[i]) < base) {
        // Once past the limit the exact value no longer matters.
        if (value <= maxStageDimension)
            value = value * base + digitValue(text[i]);
        ++i;
    }
    if (i == firstDigit)
        return std::nullopt;
    if (negative && value != 0)
        return std::nullopt;
    if (value > maxStageDimension)
        return std::nullopt;
    return static_cast<int>(value);
}

StageSize readStageSize(const std::string& width, const std::string& height)
{
    std::optional<int> w = readStageDimension(width);
    std::optional<int> h = readStageDimension(height);
    StageSize size;
    if (w && h) {
        size.known = true;
        size.width = *w;
        size.height = *h;
    }
    return size;
}

float stageAspectRatio(const StageSize& size)
{
    if (!size.known || size.height == 0)
        return 0.0f;
    float ratio = static_cast<float>(size.width) / static_cast<float>(size.height);
    return std::isfinite(ratio) && ratio > 0.0f ? ratio : 0.0f;
}
