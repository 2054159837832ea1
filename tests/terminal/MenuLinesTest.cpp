// "Connect <...>" and "Read <...>": the lines built from the map selection and
// the clipboard.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "terminal/MenuLines.h"

namespace norva {
namespace {

TEST(ConnectPlan, TakesTheMapSelectionOrTheClipboardCall)
{
    auto plan = planConnect("", "db0abc");
    EXPECT_EQ(plan.kind, ConnectPlan::Kind::Send);
    EXPECT_EQ(plan.line, "c DB0ABC\r");

    plan = planConnect("dl1xyz", "");
    EXPECT_EQ(plan.kind, ConnectPlan::Kind::Send);
    EXPECT_EQ(plan.line, "c DL1XYZ\r");

    plan = planConnect("dl1xyz", "DL1XYZ");  // the same call: no question
    EXPECT_EQ(plan.kind, ConnectPlan::Kind::Send);
    EXPECT_EQ(plan.line, "c DL1XYZ\r");

    plan = planConnect("", "  db0abc-7\r\nsecond line");
    EXPECT_EQ(plan.line, "c DB0ABC-7\r");
}

TEST(ConnectPlan, TwoDifferentCallsNeedAChoice)
{
    const auto plan = planConnect("dl1xyz", "db0abc");
    EXPECT_EQ(plan.kind, ConnectPlan::Kind::Choose);
    EXPECT_EQ(plan.mapCall, "DL1XYZ");
    EXPECT_EQ(plan.clipboardCall, "DB0ABC");
    EXPECT_EQ(connectLine(plan.clipboardCall), "c DB0ABC\r");
}

TEST(ConnectPlan, ClipboardAliasIsReplacedByItsCall)
{
    const AliasResolver aliases = [](std::string_view alias) -> std::optional<std::string> {
        if (alias == "BOX")
            return "db0box";
        return std::nullopt;
    };
    auto plan = planConnect("", "box", aliases);
    EXPECT_EQ(plan.line, "c DB0BOX\r");
    plan = planConnect("", "dl1abc", aliases);
    EXPECT_EQ(plan.line, "c DL1ABC\r");
    plan = planConnect("db0box", "box", aliases);  // same call after resolving
    EXPECT_EQ(plan.kind, ConnectPlan::Kind::Send);
}

TEST(ConnectPlan, NothingWithoutACallAndLongTextIsCut)
{
    EXPECT_EQ(planConnect("", "").kind, ConnectPlan::Kind::Nothing);
    EXPECT_EQ(planConnect(" \r\n", "\t").kind, ConnectPlan::Kind::Nothing);
    const auto plan = planConnect("", std::string(5000, 'a'));
    EXPECT_EQ(plan.line, "c " + std::string(kMaxConnectTarget, 'A') + "\r");
}

TEST(ReadLine, NumbersAndRanges)
{
    EXPECT_EQ(buildReadLine("1234"), "r 1234\r");
    EXPECT_EQ(buildReadLine("12..15"), "r 12 15\r");
    EXPECT_EQ(buildReadLine("12.....15"), "r 12 15\r");
    EXPECT_EQ(buildReadLine("12..15..18"), "r 12 15\r");
    EXPECT_EQ(buildReadLine("  12..15\r\n"), "r 12 15\r");
    EXPECT_EQ(buildReadLine("..15"), "r 15\r");
    EXPECT_EQ(buildReadLine("12.5"), "r 12.5\r");
    // Only the first 20 characters count.
    EXPECT_EQ(buildReadLine("123456789012345678901234"), "r 12345678901234567890\r");
    EXPECT_EQ(buildReadLine("12345678901234567890..99"), "r 12345678901234567890\r");
    EXPECT_EQ(buildReadLine(""), std::nullopt);
    EXPECT_EQ(buildReadLine("...."), std::nullopt);
}

}  // namespace
}  // namespace norva
