#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/CommandLine.h"

namespace {

struct SplitCase {
    const char* text;
    std::vector<std::string> fields;
};

const SplitCase splitCases[] = {
    {"", {}},
    {"123_abc", {"123", "abc"}},
    {"x:123_abc", {"123", "abc"}},
    {"quibbleton:123_7", {"123", "7"}},
    {"a:b:c", {"b:c"}},
    {"\"x:123_abc\"", {"123", "abc"}},
    {"\"123_abc\"", {}},
    {"C:\\movies\\a.swf", {"\\movies\\a.swf"}},
    {"123__abc", {"123", "", "abc"}},
    {"123_", {"123"}},
    {"_abc", {"", "abc"}},
    {"_", {""}},
    {"__", {"", ""}},
    {"x:", {}},
    {"x:\"", {}},
    {"x:123 abc", {"123 abc"}},
    {"123_abc_7_z", {"123", "abc", "7", "z"}},
    {"x:1/2&a=b%20?_y", {"1/2&a=b%20?", "y"}},
    {"x:123_abc\" --evil", {"123", "abc"}},
    {"x:12\"3_abc", {"12"}},
    {"x:%22_a", {"%22", "a"}},
    {"\xC3\xA9:\xC3\xA9_\xFF", {"\xC3\xA9", "\xFF"}},
};

TEST(SplitCommandLine, FollowsTheGrammar)
{
    for (const SplitCase& c : splitCases) {
        SCOPED_TRACE(std::string("text: [") + c.text + "]");
        EXPECT_EQ(splitCommandLine(c.text), c.fields);
    }
}

TEST(SplitCommandLine, KeepsLongTextsWhole)
{
    std::string id(64 * 1024, '9');
    std::vector<std::string> fields = splitCommandLine(("x:" + id + "_s").c_str());
    ASSERT_EQ(fields.size(), 2u);
    EXPECT_EQ(fields[0], id);
    EXPECT_EQ(fields[1], "s");
}

} // namespace
