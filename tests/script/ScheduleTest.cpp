// The schedule entries of norva.ini: the field formats, hostile lines, the
// dialog's padded layout, and the key list kept without gaps.
#include <gtest/gtest.h>

#include "platform/Clock.h"
#include "platform/Profile.h"
#include "script/Schedule.h"
#include "support/TempDir.h"

namespace norva::test {
namespace {

TEST(ScheduleEntryFormat, FieldsParseWithAnyBlanksAndCase) {
    auto e = parseScheduleEntry("1     3       Mo     14:30    einf.     mail.scr");
    ASSERT_TRUE(e);
    EXPECT_EQ(*e, (ScheduleEntry{1, 3, 1, 14 * 4 + 2, true, "mail.scr"}));

    e = parseScheduleEntry("\t2 10 T\xC3\x84GL. ST\xC3\x9C" "NDL. MEHRF. Box Fetch.scr");
    EXPECT_FALSE(e) << "seven fields: a name with a blank does not parse";
    e = parseScheduleEntry("2 10 T\xC3\x84GL. ST\xC3\x9C" "NDL. MEHRF. fetch.scr");
    ASSERT_TRUE(e);
    EXPECT_EQ(e->day, ScheduleEntry::kDaily);
    EXPECT_EQ(e->quarter, ScheduleEntry::kHourly);
    EXPECT_FALSE(e->once);
    // Latin-1 umlauts from an old editor are the same words.
    e = parseScheduleEntry("1 1 t\xE4gl. st\xFCndl. einf. x");
    ASSERT_TRUE(e);
    EXPECT_EQ(e->day, ScheduleEntry::kDaily);
    EXPECT_EQ(e->quarter, ScheduleEntry::kHourly);
    EXPECT_EQ(parseScheduleEntry("1 1 sa 00:00 einf. x")->day, 6);
    EXPECT_EQ(parseScheduleEntry("1 1 So 23:45 einf. x")->quarter, 95);
}

TEST(ScheduleEntryFormat, BrokenLinesAreRejected) {
    for (const char* bad : {
             "a b c d e f",                    // garbage
             "1 2 Mo 14:30 einf.",             // five fields
             "1 2 Mo 14:30 einf. a b",         // seven
             "x 2 Mo 14:30 einf. a",           // TNC not a number
             "1 -2 Mo 14:30 einf. a",          // negative channel
             "1 99999 Mo 14:30 einf. a",       // absurd channel
             "1 2 Montag 14:30 einf. a",       // unknown day
             "1 2 Mo 14:31 einf. a",           // off the quarter hours
             "1 2 Mo 24:00 einf. a",           // no such hour
             "1 2 Mo 4:30 einf. a",            // not two digits
             "1 2 Mo 14:30 twice a",           // unknown run
             "1 2 Mo 14:30 einf. ../../etc/passwd",
             "1 2 Mo 14:30 einf. sub\\x.scr",
             "1 2 Mo 14:30 einf. /abs.scr",
             "",
         })
        EXPECT_FALSE(parseScheduleEntry(bad)) << bad;
    EXPECT_FALSE(parseScheduleEntry("1 2 Mo 14:30 einf. " + std::string(256, 'n')));
    EXPECT_TRUE(parseScheduleEntry("1 2 Mo 14:30 einf. " + std::string(255, 'n')));
}

TEST(ScheduleEntryFormat, DialogLayoutPadsByCharactersAndRoundTrips) {
    const ScheduleEntry mon{1, 3, 1, 14 * 4 + 2, true, "mail.scr"};
    EXPECT_EQ(formatScheduleEntry(mon), "1     3       Mo     14:30    einf.     mail.scr");
    const ScheduleEntry daily{2, 10, ScheduleEntry::kDaily, ScheduleEntry::kHourly, false, "f.scr"};
    EXPECT_EQ(formatScheduleEntry(daily), "2     10      t\xC3\xA4gl.  st\xC3\xBCndl.  mehrf.    f.scr");
    EXPECT_EQ(parseScheduleEntry(formatScheduleEntry(mon)), mon);
    EXPECT_EQ(parseScheduleEntry(formatScheduleEntry(daily)), daily);
}

TEST(ScheduleEntryFormat, DueOnItsDayAndQuarterHourlyOnFullHours) {
    const auto mon = *parseScheduleEntry("1 1 Mo 14:30 mehrf. a");
    EXPECT_TRUE(mon.dueAt(1, 58));
    EXPECT_FALSE(mon.dueAt(2, 58));
    EXPECT_FALSE(mon.dueAt(1, 57));
    const auto hourly = *parseScheduleEntry("1 1 Di stündl. mehrf. a");
    EXPECT_TRUE(hourly.dueAt(2, 0));
    EXPECT_TRUE(hourly.dueAt(2, 92));
    EXPECT_FALSE(hourly.dueAt(2, 93));
    EXPECT_FALSE(hourly.dueAt(3, 92));
}

TEST(ScheduleCalendar, WeekdaysAndQuarterIndex) {
    EXPECT_EQ(weekdayOfDays(daysFromCivil(1970, 1, 1)), 4);
    EXPECT_EQ(weekdayOfDays(daysFromCivil(2024, 3, 4)), 1);   // a Monday
    EXPECT_EQ(weekdayOfDays(daysFromCivil(2024, 2, 29)), 4);  // leap day, Thursday
    EXPECT_EQ(weekdayOfDays(daysFromCivil(1969, 12, 28)), 0);
    EXPECT_EQ(localQuarterIndex({2024, 3, 5, 0, 0, 0}) - localQuarterIndex({2024, 3, 4, 23, 59, 59}), 1);
    EXPECT_EQ(localQuarterIndex({2024, 3, 4, 14, 44, 0}), localQuarterIndex({2024, 3, 4, 14, 30, 0}));
}

TEST(ScheduleProfile, ListEndsAtFirstGapAndRemovalShiftsKeys) {
    TempDir dir;
    dir.write("norva.ini", "[SCHEDULE]\r\n0=1 1 Mo 01:00 einf. a\r\n1=junk\r\n2=1 1 Di 02:00 mehrf. c\r\n"
                           "3=1 1 Mi 03:00 mehrf. d\r\n5=1 1 Do 04:00 mehrf. beyond\r\n");
    Profile profile(dir.path() / "norva.ini");
    auto lines = readSchedule(profile);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_FALSE(lines[1].entry);
    EXPECT_EQ(lines[1].text, "junk");
    EXPECT_EQ(lines[3].entry->script, "d");

    ASSERT_TRUE(removeScheduleKey(profile, 0));
    lines = readSchedule(profile);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].text, "junk");
    EXPECT_EQ(lines[2].entry->script, "d");
    EXPECT_FALSE(profile.find("SCHEDULE", "3"));
    EXPECT_EQ(profile.getString("SCHEDULE", "5"), "1 1 Do 04:00 mehrf. beyond") << "beyond the gap: untouched";
    EXPECT_FALSE(removeScheduleKey(profile, 3));

    ASSERT_TRUE(writeSchedule(profile, {*parseScheduleEntry("4 5 Sa 23:45 einf. z.scr")}));
    lines = readSchedule(profile);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].text, "4     5       Sa     23:45    einf.     z.scr");
    EXPECT_FALSE(profile.find("SCHEDULE", "1"));
}

}  // namespace
}  // namespace norva::test
