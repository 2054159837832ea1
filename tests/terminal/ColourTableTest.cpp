// The colour table: keys, defaults, the "r,g,b" text form and bad texts.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>

#include "terminal/ColourTable.h"

namespace norva {
namespace {

TEST(ColourText, ParsesThreeNumbers)
{
    EXPECT_EQ(parseRgb("255,128,0"), (Rgb{255, 128, 0}));
    EXPECT_EQ(parseRgb("0,0,0"), (Rgb{0, 0, 0}));
    EXPECT_EQ(parseRgb(" 1, 2 ,3 "), (Rgb{1, 2, 3}));
    EXPECT_EQ(formatRgb({255, 128, 0}), "255,128,0");
    EXPECT_EQ(parseRgb(formatRgb({7, 77, 177})), (Rgb{7, 77, 177}));
}

TEST(ColourText, RejectsEverythingElse)
{
    for (const char* bad : {"red", "300,20", "1,2,3,4", "1,,3", "-1,2,3", "", "256,0,0",
                            "1,2,", "1.5,2,3", "1 2 3", "0x10,0,0", "1,2,3x", "00001,2,3"}) {
        EXPECT_EQ(parseRgb(bad), std::nullopt) << bad;
    }
}

TEST(ColourTableTest, KeysAndDefaults)
{
    EXPECT_EQ(ColourTable::keyOf(0), "Input");
    EXPECT_EQ(ColourTable::keyOf(4), "LinkStatus");
    EXPECT_EQ(ColourTable::keyOf(8), "DDEEcho");
    EXPECT_EQ(ColourTable::keyOf(10), "BackGround");
    EXPECT_EQ(ColourTable::keyOf(11), "");
    EXPECT_EQ(ColourTable::keyOf(-1), "");
    ColourTable table;
    EXPECT_EQ(table.colour(9), (Rgb{0, 0, 0}));
    EXPECT_EQ(table.colour(10), (Rgb{255, 255, 255}));
}

TEST(ColourTableTest, LoadReportsBadTextsAndUsesTheirDefaults)
{
    const std::map<std::string, std::string, std::less<>> profile = {
        {"Input", "red"},
        {"Command", "10,20,30"},
        {"TncEcho", "300,20"},
        {"BackGround", "1,2,3,4"},
    };
    ColourTable table;
    table.setColour(0, {9, 9, 9});
    const auto errors = table.load([&](std::string_view key) -> std::optional<std::string> {
        const auto it = profile.find(key);
        if (it == profile.end())
            return std::nullopt;
        return it->second;
    });
    ASSERT_EQ(errors.size(), 3u);
    EXPECT_EQ(errors[0].key, "Input");
    EXPECT_EQ(errors[0].text, "red");
    EXPECT_EQ(errors[1].key, "TncEcho");
    EXPECT_EQ(errors[2].key, "BackGround");
    EXPECT_EQ(table.colour(0), (Rgb{0, 0, 0}));
    EXPECT_EQ(table.colour(1), (Rgb{10, 20, 30}));
    EXPECT_EQ(table.colour(2), (Rgb{0, 0, 0}));
    EXPECT_EQ(table.colour(10), (Rgb{255, 255, 255}));

    std::map<std::string, std::string, std::less<>> saved;
    table.save([&](std::string_view key, std::string_view text) {
        saved[std::string(key)] = std::string(text);
    });
    EXPECT_EQ(saved.size(), 11u);
    EXPECT_EQ(saved["Command"], "10,20,30");
    EXPECT_EQ(saved["BackGround"], "255,255,255");
    EXPECT_EQ(saved["ChannelInfo"], "0,0,0");
}

TEST(ColourTableTest, SetFromTextAndInvalidClasses)
{
    ColourTable table;
    EXPECT_TRUE(table.setFromText(3, "1,2,3"));
    EXPECT_EQ(table.colour(3), (Rgb{1, 2, 3}));
    EXPECT_FALSE(table.setFromText(3, "blue"));
    EXPECT_EQ(table.colour(3), (Rgb{0, 0, 0}));
    EXPECT_FALSE(table.setFromText(11, "1,2,3"));
    table.setColour(42, {5, 5, 5});  // ignored
    EXPECT_EQ(table.colour(42), table.colour(0));
}

}  // namespace
}  // namespace norva
