#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "movie/TextConversion.h"

namespace {

using namespace std::string_literals;

std::string hexUnits(const std::u16string& text)
{
    std::string out;
    char unit[8];
    for (char16_t c : text) {
        std::snprintf(unit, sizeof unit, "%04X ", static_cast<unsigned>(c));
        out += unit;
    }
    return out;
}

std::string hexBytes(const std::string& text)
{
    std::string out;
    char byte[4];
    for (char c : text) {
        std::snprintf(byte, sizeof byte, "%02X ", static_cast<unsigned char>(c));
        out += byte;
    }
    return out;
}

struct TextCase {
    std::string bytes;
    std::u16string units;
};

const TextCase bytewiseCases[] = {
    {"", u""},
    {"Game - 1", u"Game - 1"},
    {"\x7F", u"\x007F"},
    {"\x80", u"\xFF80"},
    {"\xFF", u"\xFFFF"},
    {"Pok\xC3\xA9mon", u"Pok\xFFC3\xFFA9mon"},
    {"a\0b"s, u"a\0b"s},
};

TEST(WidenBytewise, SignExtendsEachByte)
{
    for (const TextCase& c : bytewiseCases) {
        SCOPED_TRACE("bytes: " + hexBytes(c.bytes));
        EXPECT_EQ(hexUnits(widenBytewise(c.bytes)), hexUnits(c.units));
    }
}

const TextCase decodeCases[] = {
    {"Pok\xC3\xA9mon", u"Pok\u00E9mon"},
    {"\xD0\x98\xD0\xB3\xD1\x80\xD0\xB0", u"\u0418\u0433\u0440\u0430"},
    {"\xE3\x82\xB2\xE3\x83\xBC\xE3\x83\xA0", u"\u30B2\u30FC\u30E0"},
    {"\xC2\x80", u"\x0080"},
    {"\xDF\xBF", u"\u07FF"},
    {"\xE0\xA0\x80", u"\u0800"},
    {"\xED\x9F\xBF", u"\uD7FF"},
    {"\xEE\x80\x80", u"\uE000"},
    {"\xEF\xBF\xBF", u"\xFFFF"},
    {"\xF0\x90\x80\x80", u"\xD800\xDC00"},
    {"\xF0\x9F\x8E\xAE!", u"\xD83C\xDFAE!"},
    {"\xF4\x8F\xBF\xBF", u"\xDBFF\xDFFF"},
    {"https://cdn.example/\xC3\xA9t\xC3\xA9.swf", u"https://cdn.example/\u00E9t\u00E9.swf"},
    {"a\0\xC3\xA9"s, u"a\0\u00E9"s},

    // Not UTF-8: the whole text falls back to bytewise widening.
    {"Pok\xE9mon", u"Pok\xFFE9mon"},
    {"\xC3\xA9\xE9", u"\xFFC3\xFFA9\xFFE9"},
    {"\x80", u"\xFF80"},
    {"a\xBF" "b", u"a\xFFBF" u"b"},
    {"\xC0\xAF", u"\xFFC0\xFFAF"},
    {"\xC1\xBF", u"\xFFC1\xFFBF"},
    {"\xE0\x9F\xBF", u"\xFFE0\xFF9F\xFFBF"},
    {"\xF0\x8F\xBF\xBF", u"\xFFF0\xFF8F\xFFBF\xFFBF"},
    {"\xED\xA0\x80", u"\xFFED\xFFA0\xFF80"},
    {"\xED\xBF\xBF", u"\xFFED\xFFBF\xFFBF"},
    {"\xF4\x90\x80\x80", u"\xFFF4\xFF90\xFF80\xFF80"},
    {"\xF5\x80\x80\x80", u"\xFFF5\xFF80\xFF80\xFF80"},
    {"\xFE\xFF", u"\xFFFE\xFFFF"},
    {"\xC3", u"\xFFC3"},
    {"Pok\xC3", u"Pok\xFFC3"},
    {"\xE2\x82", u"\xFFE2\xFF82"},
    {"\xF0\x9F\x8E", u"\xFFF0\xFF9F\xFF8E"},
    {"\xC3(", u"\xFFC3("},
    {"\xE2(\xA1", u"\xFFE2(\xFFA1"},
    {"\xE2\x82(", u"\xFFE2\xFF82("},
    {"\xF0\x9F\x8E(", u"\xFFF0\xFF9F\xFF8E("},
};

TEST(DecodeUtf8OrWiden, DecodesWellFormedUtf8AndWidensTheRest)
{
    for (const TextCase& c : decodeCases) {
        SCOPED_TRACE("bytes: " + hexBytes(c.bytes));
        EXPECT_EQ(hexUnits(decodeUtf8OrWiden(c.bytes)), hexUnits(c.units));
    }
}

TEST(DecodeUtf8OrWiden, GivesAsciiTheUnitsOfBytewiseWidening)
{
    std::string ascii;
    for (int byte = 0; byte < 0x80; ++byte)
        ascii.push_back(static_cast<char>(byte));
    EXPECT_EQ(decodeUtf8OrWiden(ascii), widenBytewise(ascii));
    EXPECT_EQ(decodeUtf8OrWiden(ascii).size(), 0x80u);
}

} // namespace
