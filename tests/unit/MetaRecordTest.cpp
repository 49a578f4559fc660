#include <gtest/gtest.h>

#include <string>

#include "movie/MetaRecord.h"

namespace {

using namespace std::string_literals;

struct ParseCase {
    const char* name;
    std::string text;
    MetaRecord pairs;
};

const ParseCase parseCases[] = {
    {"object as the portal writes it",
     R"({"width": 550, "height": 400, "title": "Game", "swf": "https:\/\/cdn.example\/g.swf", "flashVars": "a=1&b=2"})",
     {{"width", "550"}, {"height", "400"}, {"title", "Game"},
      {"swf", R"(https:\/\/cdn.example\/g.swf)"}, {"flashVars", "a=1&b=2"}}},
    {"a key given twice keeps its last value",
     R"({"title": "One", "title": "Two", "x": "y"})",
     {{"title", "Two"}, {"x", "y"}}},
    {"keys keep their case",
     R"({"Width": "550", "width": "1"})",
     {{"Width", "550"}, {"width", "1"}}},
    {"blanks, quotes and line feeds leave keys wherever they stand",
     "{ \" wi dth\"\n : 550,\"a\"\"b\": 1,\n}",
     {{"width", "550"}, {"ab", "1"}, {"", ""}}},
    {"tabs and other bytes stay in keys",
     "{\"\twidth\": 550, \"x\": 1}",
     {{"\twidth", "550"}, {"x", ""}}},
    {"only the first colon splits a pair",
     R"({"swf": "http://h:80/a.swf", "t": "a:b"})",
     {{"swf", "http://h:80/a.swf"}, {"t", "a:b"}}},
    {"a comma in a value cuts it and makes an entry of the rest and the next key",
     R"({"title": "a, b", "swf": "m.swf", "width": 550})",
     {{"title", "a"}, {"b,swf", "m.swf, width: 550"}, {"swf", "m.swf"}, {"width", "55"}}},
    {"a comma in the last value makes an entry of its rest under itself",
     R"({"swf": "m.swf", "title": "a, bc"})",
     {{"swf", "m.swf"}, {"title", "a"}, {"bc", "bc"}}},
    {"without a blank after that comma the rest loses its first byte as a value",
     R"({"swf": "m.swf", "title": "a,bc"})",
     {{"swf", "m.swf"}, {"title", "a"}, {"bc", "c"}}},
    {"a comma inside quotes still ends the value",
     R"({"flashVars": "a=1,b=2", "x": "y"})",
     {{"flashVars", "a=1"}, {"b=2,x", "y"}, {"x", "y"}}},
    {"no blank after the colon drops the value's first byte",
     R"({"width":550,"height":400,"title":"Game"})",
     {{"width", "50"}, {"height", "00"}, {"title", "ame"}}},
    {"a bare number before the brace loses its last digit",
     R"({"height": 400, "width": 550})",
     {{"height", "400"}, {"width", "55"}}},
    {"a line feed before the brace keeps the last number whole",
     "{\"height\": 400, \"width\": 550\n}",
     {{"height", "400"}, {"width", "550"}}},
    {"a line feed after the brace keeps the last number whole",
     "{\"height\": 400, \"width\": 550}\n",
     {{"height", "400"}, {"width", "550"}}},
    {"pretty-printed with line feeds",
     "{\n  \"width\": 550,\n  \"title\": \"Game\"\n}",
     {{"width", "550"}, {"title", "Game"}}},
    {"lines ended by CR LF leave the CR in the next key and the last value",
     "{\r\n  \"width\": 550,\r\n  \"height\": 400\r\n}",
     {{"\rwidth", "550"}, {"\rheight", "400\r"}}},
    {"escapes are not undone",
     R"({"title": "a\/b \u00e9 \\", "x": 1})",
     {{"title", R"(a\/b \u00e9 \\)"}, {"x", ""}}},
    {"braces and brackets group nothing",
     R"({"a": {"b": [1, 2]}, "c": "d"})",
     {{"a", "{b: [1"}, {"2]},c", "d"}, {"c", "d"}}},
    {"bytes above 0x7F pass through",
     "{\"title\": \"Pok\xC3\xA9mon \xE9t\xE9\", \"x\": 1}",
     {{"title", "Pok\xC3\xA9mon \xE9t\xE9"}, {"x", ""}}},
    {"a NUL byte is just a byte",
     "{\"title\": \"a\0b\", \"x\": 1}"s,
     {{"title", "a\0b"s}, {"x", ""}}},
    {"a pair without a colon is all key, its value cut at the comma",
     R"({ab,cd})",
     {{"ab,cd", "b"}, {"cd", ""}}},

    // Texts the rules leave undefined: no crash, and what the bytes give.
    {"empty text", "", {}},
    {"one byte", "{", {}},
    {"two bytes", "{}", {}},
    {"one byte of body", "{a}", {{"a", ""}}},
    {"a lone comma", "{,}", {{",", ""}}},
    {"a colon as the body's last byte", R"({"a":})", {{"a", ""}}},
    {"a value that is only quotes stays empty", R"({"a":"","b":"x"})", {{"a", ""}, {"b", ""}}},
    {"a value that is only a line feed stays empty", "{\"a\":\n,\"b\": \"x\"}", {{"a", ""}, {"b", "x"}}},
    {"trailing comma", R"({"a": 1,})", {{"a", "1"}}},
};

TEST(ParseMetadata, SplitsByTheFormatsRules)
{
    for (const ParseCase& c : parseCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(parseMetadata(c.text), c.pairs);
    }
}

// Each ',' before the next ':' makes an entry holding the rest of the text:
// stored in full, 200 KB of them would take gigabytes.
TEST(ParseMetadata, ReadsThePairsAfterAFloodOfCommas)
{
    std::string text = "{";
    for (int i = 0; i < 100000; ++i)
        text += "x,";
    text += R"("width": 550, "height": 400, "title": "T", "x": 1})";

    MetaRecord pairs = parseMetadata(text);
    EXPECT_EQ(pairs["width"], "550");
    EXPECT_EQ(pairs["height"], "400");
    EXPECT_EQ(pairs["title"], "T");
    std::size_t stored = 0;
    for (const MetaRecord::value_type& pair : pairs)
        stored += pair.first.size() + pair.second.size();
    EXPECT_LT(stored, 16 * text.size());
    // The first of them is still there as the rules make it.
    std::string firstKey;
    for (int i = 0; i < 100000; ++i)
        firstKey += "x,";
    firstKey += "width";
    EXPECT_EQ(pairs[firstKey], "550, height: 400, title: T, x: 1");
}

} // namespace
