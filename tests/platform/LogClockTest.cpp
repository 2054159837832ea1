// Log line heads, log appends and the manual clock they are tested with.
#include "platform/Clock.h"
#include "platform/SystemLog.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace norva {
namespace {

TEST(LogHead, ExactFormat)
{
    ManualClock clock;
    clock.setLocalTime({2024, 3, 5, 7, 9, 59});
    EXPECT_EQ(logHead(clock.localTime()), "  05.03.2024 07:09  ");
    EXPECT_EQ(logHead({1999, 12, 31, 23, 59, 0}), "  31.12.1999 23:59  ");
}

TEST(LogHead, PadRightKeepsLongText)
{
    EXPECT_EQ(padRight("DL1ABC", 9), "DL1ABC   ");
    EXPECT_EQ(padRight("DL1ABC-15", 6), "DL1ABC-15");
    EXPECT_EQ(padRight("", 2), "  ");
}

TEST(SystemLog, AppendsLinesWithHead)
{
    test::TempDir dir;
    ManualClock clock;
    clock.setLocalTime({2024, 1, 15, 12, 0, 0});
    SystemLog log(dir.path(), clock);
    EXPECT_EQ(log.file(), dir.path() / "system.log");
    log.event("Norva Start...\r\n");
    clock.advanceMs(61'000);
    log.event("Norva Stop...\r\n");
    EXPECT_EQ(test::readFile(log.file()),
              "  15.01.2024 12:00  Norva Start...\r\n  15.01.2024 12:01  Norva Stop...\r\n");
}

TEST(SystemLog, AppendToFileReportsFailure)
{
    test::TempDir dir;
    EXPECT_TRUE(appendToFile(dir / "a.log", "one\r\n"));
    EXPECT_TRUE(appendToFile(dir / "a.log", "two\r\n"));
    EXPECT_EQ(test::readFile(dir / "a.log"), "one\r\ntwo\r\n");
    EXPECT_FALSE(appendToFile(dir / "missing" / "a.log", "x"));
    EXPECT_FALSE(appendToFile(dir.path(), "x"));  // a directory
    // A log in a missing directory must not stop anything.
    ManualClock clock;
    SystemLog log(dir / "missing", clock);
    log.event("x\r\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
}

TEST(ManualClock, MovesOnlyWhenTold)
{
    ManualClock clock;
    const auto ms = clock.monotonicMs();
    const auto wall = clock.wallSeconds();
    EXPECT_EQ(clock.monotonicMs(), ms);
    clock.sleepMs(999);
    EXPECT_EQ(clock.monotonicMs(), ms + 999);
    EXPECT_EQ(clock.wallSeconds(), wall);
    clock.advanceMs(1);
    EXPECT_EQ(clock.wallSeconds(), wall + 1);
    clock.advanceMs(-5000);  // time never runs backwards
    EXPECT_EQ(clock.monotonicMs(), ms + 1000);
}

TEST(ManualClock, CalendarRollsOverDaysMonthsAndYears)
{
    ManualClock clock;
    clock.setLocalTime({2023, 12, 31, 23, 59, 30});
    clock.advanceMs(45'000);
    const LocalTime t = clock.localTime();
    EXPECT_EQ(t.year, 2024);
    EXPECT_EQ(t.month, 1);
    EXPECT_EQ(t.day, 1);
    EXPECT_EQ(t.hour, 0);
    EXPECT_EQ(t.minute, 0);
    EXPECT_EQ(t.second, 15);

    clock.setLocalTime({2024, 2, 28, 23, 59, 59});
    clock.advanceMs(1000);
    EXPECT_EQ(logHead(clock.localTime()), "  29.02.2024 00:00  ");
    clock.setLocalTime({2023, 2, 28, 23, 59, 59});
    clock.advanceMs(1000);
    EXPECT_EQ(logHead(clock.localTime()), "  01.03.2023 00:00  ");
}

TEST(ManualClock, CalendarFollowsWallClock)
{
    ManualClock clock;
    clock.setWallSeconds(1000);
    clock.setLocalTime({2024, 6, 1, 10, 0, 0});
    clock.setWallSeconds(1000 + 3600 * 24);
    EXPECT_EQ(logHead(clock.localTime()), "  02.06.2024 10:00  ");
    EXPECT_EQ(clock.wallSeconds(), 1000 + 3600 * 24);
}

TEST(RealClock, SleepsAndReportsPlausibleTime)
{
    RealClock clock;
    const auto before = clock.monotonicMs();
    clock.sleepMs(20);
    EXPECT_GE(clock.monotonicMs() - before, 20);
    const LocalTime t = clock.localTime();
    EXPECT_GE(t.month, 1);
    EXPECT_LE(t.month, 12);
    EXPECT_GE(t.year, 2000);
}

}  // namespace
}  // namespace norva
