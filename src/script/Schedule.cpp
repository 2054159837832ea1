// Reading and writing the script schedule of norva.ini.
#include "script/Schedule.h"

#include <array>
#include <cstdio>

#include "platform/Clock.h"
#include "platform/Profile.h"
#include "platform/Text.h"

namespace norva {
namespace {

constexpr std::array<std::string_view, 8> kDays{"So", "Mo", "Di", "Mi", "Do", "Fr", "Sa", "tägl."};
constexpr std::string_view kHourlyText = "stündl.";
constexpr std::string_view kOnceText = "einf.";
constexpr std::string_view kRepeatText = "mehrf.";
constexpr std::size_t kMaxScriptName = 255;

// Lower case for the day and keyword fields: ASCII, plus the umlauts they use
// in UTF-8 and in Latin-1 (a file saved by an old editor).
std::string foldCase(std::string_view s) {
    std::string out = toLower(s);
    std::string r;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const auto c = static_cast<unsigned char>(out[i]);
        if (c == 0xC3 && i + 1 < out.size()) {
            auto n = static_cast<unsigned char>(out[i + 1]);
            if (n == 0x84 || n == 0x9C) n += 0x20;  // Ä Ü
            r += '\xC3';
            r += static_cast<char>(n);
            ++i;
        } else if (c == 0xE4 || c == 0xC4) {
            r += "\xC3\xA4";
        } else if (c == 0xFC || c == 0xDC) {
            r += "\xC3\xBC";
        } else {
            r += static_cast<char>(c);
        }
    }
    return r;
}

std::optional<int> smallNumber(std::string_view s) {
    if (s.empty() || s.size() > 3) return std::nullopt;
    int v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return std::nullopt;
        v = v * 10 + (c - '0');
    }
    return v;
}

std::optional<int> parseDay(std::string_view s) {
    const std::string f = foldCase(s);
    for (std::size_t i = 0; i < kDays.size(); ++i)
        if (f == foldCase(kDays[i])) return static_cast<int>(i);
    return std::nullopt;
}

// "HH:MM" on a quarter hour, or the hourly keyword.
std::optional<int> parseQuarter(std::string_view s) {
    if (foldCase(s) == foldCase(kHourlyText)) return ScheduleEntry::kHourly;
    if (s.size() != 5 || s[2] != ':') return std::nullopt;
    const auto h = smallNumber(s.substr(0, 2));
    const auto m = smallNumber(s.substr(3, 2));
    if (!h || !m || *h > 23 || *m % 15 != 0 || *m > 45) return std::nullopt;
    return *h * 4 + *m / 15;
}

// A script is named by a plain file name in the script directory.
bool plainName(std::string_view s) {
    if (s.empty() || s.size() > kMaxScriptName || s == "." || s == "..") return false;
    for (char c : s)
        if (c == '/' || c == '\\' || c == ':' || static_cast<unsigned char>(c) < 0x20) return false;
    return true;
}

// Width in characters of UTF-8 text, for padding.
std::size_t charCount(std::string_view s) {
    std::size_t n = 0;
    for (char c : s)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
    return n;
}

std::string padField(std::string_view s, std::size_t width) {
    std::string out(s);
    for (std::size_t n = charCount(s); n < width; ++n) out += ' ';
    return out;
}

}  // namespace

bool ScheduleEntry::dueAt(int weekday, int quarterOfDay) const {
    if (day != kDaily && day != weekday) return false;
    if (quarter == kHourly) return quarterOfDay % 4 == 0;
    return quarter == quarterOfDay;
}

std::optional<ScheduleEntry> parseScheduleEntry(std::string_view value) {
    const auto f = splitBlanks(value);
    if (f.size() != 6) return std::nullopt;
    ScheduleEntry e;
    const auto tnc = smallNumber(f[0]);
    const auto ch = smallNumber(f[1]);
    const auto day = parseDay(f[2]);
    const auto quarter = parseQuarter(f[3]);
    const std::string run = foldCase(f[4]);
    if (!tnc || !ch || !day || !quarter || !plainName(f[5])) return std::nullopt;
    if (run != kOnceText && run != kRepeatText) return std::nullopt;
    e.tnc = *tnc;
    e.channel = *ch;
    e.day = *day;
    e.quarter = *quarter;
    e.once = run == kOnceText;
    e.script = std::string(f[5]);
    return e;
}

std::string_view scheduleDayName(int day) {
    return day >= 0 && day < static_cast<int>(kDays.size()) ? kDays[static_cast<std::size_t>(day)] : kDays[7];
}

std::string scheduleTimeText(int quarter) {
    if (quarter < 0 || quarter > 95) return std::string(kHourlyText);
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02d:%02d", quarter / 4, quarter % 4 * 15);
    return buf;
}

std::string formatScheduleEntry(const ScheduleEntry& e) {
    return padField(std::to_string(e.tnc), 6) + padField(std::to_string(e.channel), 8) +
           padField(scheduleDayName(e.day), 7) + padField(scheduleTimeText(e.quarter), 9) +
           padField(e.once ? kOnceText : kRepeatText, 10) + e.script;
}

std::vector<ScheduleLine> readSchedule(const Profile& profile) {
    std::vector<ScheduleLine> out;
    for (int i = 0; i < kMaxScheduleEntries; ++i) {
        const std::string text = profile.getString(kScheduleSection, std::to_string(i));
        if (trim(text).empty()) break;
        out.push_back({i, text, parseScheduleEntry(text)});
    }
    return out;
}

bool writeSchedule(Profile& profile, const std::vector<ScheduleEntry>& entries) {
    Profile::Batch batch(profile);
    const std::size_t old = readSchedule(profile).size();
    for (std::size_t i = 0; i < old; ++i) profile.deleteKey(kScheduleSection, std::to_string(i));
    for (std::size_t i = 0; i < entries.size() && i < kMaxScheduleEntries; ++i)
        profile.writeString(kScheduleSection, std::to_string(i), formatScheduleEntry(entries[i]));
    return batch.end();
}

bool removeScheduleKey(Profile& profile, int key) {
    const auto lines = readSchedule(profile);
    if (key < 0 || key >= static_cast<int>(lines.size())) return false;
    Profile::Batch batch(profile);
    for (std::size_t i = static_cast<std::size_t>(key); i + 1 < lines.size(); ++i)
        profile.writeString(kScheduleSection, std::to_string(i), lines[i + 1].text);
    profile.deleteKey(kScheduleSection, std::to_string(lines.size() - 1));
    return batch.end();
}

int weekdayOfDays(std::int64_t days) {
    const std::int64_t w = (days + 4) % 7;  // 1970-01-01 was a Thursday
    return static_cast<int>(w < 0 ? w + 7 : w);
}

std::int64_t localQuarterIndex(const LocalTime& t) {
    return daysFromCivil(t.year, t.month, t.day) * 96 + t.hour * 4 + t.minute / 15;
}

}  // namespace norva
