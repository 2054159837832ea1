// The real clock (monotonic tick, wall time, local calendar) and the manual
// clock the tests drive by hand.
#include "platform/Clock.h"

#include <cerrno>
#include <ctime>

namespace norva {

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
std::int64_t daysFromCivil(int year, int m, int d)
{
    std::int64_t y = year;
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

LocalTime civilFromSeconds(std::int64_t secs)
{
    std::int64_t days = secs / 86400;
    std::int64_t rem = secs % 86400;
    if (rem < 0) {
        rem += 86400;
        --days;
    }
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t doe = days - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    LocalTime t;
    t.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    t.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    t.year = static_cast<int>(yoe + era * 400 + (t.month <= 2));
    t.hour = static_cast<int>(rem / 3600);
    t.minute = static_cast<int>(rem % 3600 / 60);
    t.second = static_cast<int>(rem % 60);
    return t;
}

std::int64_t secondsOf(const LocalTime& t)
{
    return daysFromCivil(t.year, t.month, t.day) * 86400 + t.hour * 3600 + t.minute * 60 + t.second;
}


std::int64_t RealClock::monotonicMs() const
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1'000'000;
}

std::int64_t RealClock::wallSeconds() const
{
    return static_cast<std::int64_t>(std::time(nullptr));
}

LocalTime RealClock::localTime() const
{
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    return LocalTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

void RealClock::sleepMs(int ms)
{
    sleepForMs(ms);
}

void sleepForMs(int ms)
{
    if (ms <= 0)
        return;
    timespec req{ms / 1000, static_cast<long>(ms % 1000) * 1'000'000};
    timespec rest{};
    while (nanosleep(&req, &rest) != 0 && errno == EINTR)
        req = rest;
}

std::int64_t ManualClock::monotonicMs() const
{
    std::lock_guard lock(mutex_);
    return ms_;
}

std::int64_t ManualClock::wallSeconds() const
{
    std::lock_guard lock(mutex_);
    return wall_ + (ms_ - wallSetAtMs_) / 1000;
}

LocalTime ManualClock::localTime() const
{
    std::lock_guard lock(mutex_);
    const std::int64_t wall = wall_ + (ms_ - wallSetAtMs_) / 1000;
    return civilFromSeconds(secondsOf(base_) + (wall - baseWall_));
}

void ManualClock::advanceMs(std::int64_t ms)
{
    std::lock_guard lock(mutex_);
    if (ms > 0)
        ms_ += ms;
}

void ManualClock::setWallSeconds(std::int64_t s)
{
    std::lock_guard lock(mutex_);
    // localTime() follows the wall clock from its base, as a real local clock would.
    wall_ = s;
    wallSetAtMs_ = ms_;
}

void ManualClock::setLocalTime(const LocalTime& t)
{
    std::lock_guard lock(mutex_);
    base_ = t;
    baseWall_ = wall_ + (ms_ - wallSetAtMs_) / 1000;
}

}  // namespace norva
