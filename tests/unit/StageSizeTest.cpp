#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <string>

#include "movie/StageSize.h"

namespace {

struct DimensionCase {
    std::string text;
    std::optional<int> pixels;
};

const DimensionCase dimensionCases[] = {
    {"550", 550},
    {"+550", 550},
    {" \t\n\v\f\r550", 550},
    {"550px", 550},
    {"55 0", 55},
    {"550\r", 550},
    {"3.9", 3},
    {"1e3", 1},
    {"0550", 360},
    {"08", 0},
    {"0x226", 550},
    {"0X226", 550},
    {"0x1aF", 431},
    {"0x", 0},
    {"0xg", 0},
    {"-0", 0},
    {"0", 0},
    {"16384", 16384},
    {"0x4000", 16384},
    {"040000", 16384},

    // Unknown: nothing to read, negative or absurd.
    {"", std::nullopt},
    {"   ", std::nullopt},
    {"abc", std::nullopt},
    {"x550", std::nullopt},
    {"+", std::nullopt},
    {"-", std::nullopt},
    {"+-5", std::nullopt},
    {"- 5", std::nullopt},
    {"\xA0" "550", std::nullopt},
    {"-550", std::nullopt},
    {"-0x10", std::nullopt},
    {"16385", std::nullopt},
    {"0x4001", std::nullopt},
    {"2147483647", std::nullopt},
    {"2147483648", std::nullopt},
    // 2^32 + 550 and 2^64 + 550: must not wrap around to 550.
    {"4294967846", std::nullopt},
    {"18446744073709552166", std::nullopt},
    {std::string(5000, '9'), std::nullopt},
    {"0000000000000000000000000550", 360},
};

TEST(ReadStageDimension, ReadsAsPercentIAndRejectsWhatIsNoStage)
{
    for (const DimensionCase& c : dimensionCases) {
        SCOPED_TRACE("text: [" + c.text.substr(0, 40) + "]");
        EXPECT_EQ(readStageDimension(c.text), c.pixels);
    }
}

TEST(ReadStageSize, IsUnknownUnlessBothDimensionsAreRead)
{
    StageSize both = readStageSize("600", "0x190");
    EXPECT_TRUE(both.known);
    EXPECT_EQ(both.width, 600);
    EXPECT_EQ(both.height, 400);

    const std::pair<const char*, const char*> halfKnown[] = {
        {"", "400"}, {"600", ""}, {"-600", "400"}, {"600", "99999"}, {"", ""},
    };
    for (const auto& sizes : halfKnown) {
        SCOPED_TRACE(std::string(sizes.first) + " x " + sizes.second);
        StageSize size = readStageSize(sizes.first, sizes.second);
        EXPECT_FALSE(size.known);
        EXPECT_EQ(size.width, 0);
        EXPECT_EQ(size.height, 0);
    }
}

struct RatioCase {
    StageSize size;
    float ratio;
};

const RatioCase ratioCases[] = {
    {{true, 600, 400}, 1.5f},
    {{true, 550, 400}, 1.375f},
    {{true, 1, 16384}, 1.0f / 16384.0f},
    {{true, 16384, 1}, 16384.0f},
    {{true, 600, 0}, 0.0f},
    {{true, 0, 0}, 0.0f},
    {{true, 0, 400}, 0.0f},
    {{false, 0, 0}, 0.0f},
    // A size marked unknown is never used, whatever it holds.
    {{false, 600, 400}, 0.0f},
};

TEST(StageAspectRatio, IsZeroWhenNoFinitePositiveRatioExists)
{
    for (const RatioCase& c : ratioCases) {
        SCOPED_TRACE(std::to_string(c.size.width) + " x " + std::to_string(c.size.height) +
                     (c.size.known ? "" : " (unknown)"));
        EXPECT_EQ(stageAspectRatio(c.size), c.ratio);
    }
}

} // namespace
