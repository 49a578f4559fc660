#include <gtest/gtest.h>

#include <string>

#include "movie/MetaRecord.h"
#include "movie/MovieMetadata.h"

namespace {

struct ResponseCase {
    const char* name;
    std::string response;
    StageSize stage;
    std::u16string title;
    std::u16string movieUrl;
    std::string flashVars;
};

const ResponseCase responseCases[] = {
    {"a response as the portal writes it",
     R"({"width": 600, "height": 400, "title": "Game", "swf": "https:\/\/cdn.example\/g.swf", "flashVars": "a=1&b=2"})",
     {true, 600, 400}, u"Game", u"https://cdn.example/g.swf", "a=1&b=2"},
    {"a bare number before the brace loses its last digit",
     R"({"height": 400, "width": 550})",
     {true, 55, 400}, u"", u"", ""},
    {"line feeds before the brace keep it whole",
     "{\"height\": 400,\n\"width\": 550\n}",
     {true, 550, 400}, u"", u"", ""},
    {"no blank after the colons",
     R"({"width":550,"height":400,"title":"Game"})",
     {true, 50, 0}, u"ame", u"", ""},
    {"sizes in octal and hexadecimal",
     R"({"width": 0550, "height": 0x190, "x": 1})",
     {true, 360, 400}, u"", u"", ""},
    {"CR LF lines hide every key after the first line",
     "{\"width\": 550,\r\n\"height\": 400,\r\n\"title\": \"Game\"\r\n}",
     {false, 0, 0}, u"", u"", ""},
    {"keys are case-sensitive",
     R"({"Width": 550, "height": 400, "Title": "Game", "x": 1})",
     {false, 0, 0}, u"", u"", ""},
    {"only the movie URL loses its backslashes",
     R"({"title": "a\/b \u00e9", "swf": "C:\\games\\g.swf", "flashVars": "p=\/x\n", "x": 1})",
     {false, 0, 0}, u"a\\/b \\u00e9", u"C:gamesg.swf", "p=\\/x\\n"},
    {"other keys are ignored",
     R"({"width": 600, "height": 400, "id": 7, "author": "Someone", "swf": "g.swf", "x": 1})",
     {true, 600, 400}, u"", u"g.swf", ""},
    {"UTF-8 title and URL are decoded",
     "{\"title\": \"Pok\xC3\xA9mon \xE3\x82\xB2\xE3\x83\xBC\xE3\x83\xA0\", "
     "\"swf\": \"https:\\/\\/cdn.example\\/\xC3\xA9t\xC3\xA9.swf\", \"x\": 1}",
     {false, 0, 0}, u"Pok\u00E9mon \u30B2\u30FC\u30E0", u"https://cdn.example/\u00E9t\u00E9.swf", ""},
    {"a title that is not UTF-8 is widened bytewise",
     "{\"title\": \"Pok\xE9mon\", \"x\": 1}",
     {false, 0, 0}, u"Pok\xFFE9mon", u"", ""},
    {"Flash variables stay bytes",
     "{\"flashVars\": \"n=\xC3\xA9\", \"x\": 1}",
     {false, 0, 0}, u"", u"", "n=\xC3\xA9"},
    {"an empty response", "", {false, 0, 0}, u"", u"", ""},
    {"a one-byte response", "{", {false, 0, 0}, u"", u"", ""},
    {"empty values", R"({"width":"","height":"","title":"","swf":"","flashVars":""})",
     {false, 0, 0}, u"", u"", ""},
};

TEST(ReadMovieMetadata, TakesWhatApplyMetadataUses)
{
    for (const ResponseCase& c : responseCases) {
        SCOPED_TRACE(c.name);
        MovieMetadata metadata = readMovieMetadata(parseMetadata(c.response));
        EXPECT_EQ(metadata.stage.known, c.stage.known);
        EXPECT_EQ(metadata.stage.width, c.stage.width);
        EXPECT_EQ(metadata.stage.height, c.stage.height);
        EXPECT_EQ(metadata.title, c.title);
        EXPECT_EQ(metadata.movieUrl, c.movieUrl);
        EXPECT_EQ(metadata.flashVars, c.flashVars);
    }
}

} // namespace
