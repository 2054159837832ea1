// The script schedule kept in section SCHEDULE of norva.ini: one entry per
// key "0", "1", ... (the list ends at the first missing or empty key), six
// blank-separated fields: TNC, channel, day, quarter hour, run, script.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Clock.h"

namespace norva {

class Profile;

inline constexpr std::string_view kScheduleSection = "SCHEDULE";
// More keys than any operator keeps; a runaway file is read no further.
inline constexpr int kMaxScheduleEntries = 1000;

struct ScheduleEntry {
    static constexpr int kDaily = 7;    // day: 0 Sunday .. 6 Saturday, or daily
    static constexpr int kHourly = -1;  // quarter: 0..95 of the day, or every full hour
    int tnc = 1;
    int channel = 1;
    int day = kDaily;
    int quarter = kHourly;
    bool once = false;
    std::string script;

    // True when the entry is due in the given quarter (0..95) of a day with that weekday.
    bool dueAt(int weekday, int quarterOfDay) const;
    bool operator==(const ScheduleEntry&) const = default;
};

// One key of the section as read: its text and, when it is well formed, the entry.
struct ScheduleLine {
    int key = 0;
    std::string text;
    std::optional<ScheduleEntry> entry;
};

// Parses one value; nothing when a field is missing, extra or malformed (a
// minute off the quarter hours, an unknown day, a script name with a path).
std::optional<ScheduleEntry> parseScheduleEntry(std::string_view value);
// The value as the schedule dialog writes it: fields padded to line up.
std::string formatScheduleEntry(const ScheduleEntry& entry);

// Day and time texts of the fields ("Mo", "tägl.", "14:30", "stündl.").
std::string_view scheduleDayName(int day);
std::string scheduleTimeText(int quarter);

// The keys "0", "1", ... up to the first missing or empty one.
std::vector<ScheduleLine> readSchedule(const Profile& profile);
// Replaces the whole list (keys "0" .. n-1). False when the file could not be written.
bool writeSchedule(Profile& profile, const std::vector<ScheduleEntry>& entries);
// Removes key `key`: the later keys move down by one and the last is deleted.
bool removeScheduleKey(Profile& profile, int key);

// Calendar helpers for the schedule (days come from daysFromCivil of the
// clock): the weekday (0 Sunday), and a running quarter-hour count of local time.
int weekdayOfDays(std::int64_t days);
std::int64_t localQuarterIndex(const LocalTime& t);

}  // namespace norva
