// Time for the core: monotonic milliseconds for waits and time limits, wall
// seconds for link times, local calendar time for log lines. Injectable so that
// tests run without sleeping.
#pragma once

#include <cstdint>
#include <mutex>

namespace norva {

struct LocalTime {
    int year = 1970;  // four digits
    int month = 1;    // 1..12
    int day = 1;      // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// Calendar arithmetic on the proleptic Gregorian calendar, for local times
// counted as if they were UTC (no time zone is involved).
// Days since 1970-01-01 of a date.
std::int64_t daysFromCivil(int year, int month, int day);
// The date and time a count of seconds since 1970-01-01 00:00 stands for.
LocalTime civilFromSeconds(std::int64_t seconds);
// The inverse: seconds since 1970-01-01 00:00.
std::int64_t secondsOf(const LocalTime& t);

class Clock {
public:
    virtual ~Clock() = default;
    // Monotonic milliseconds (the role of GetTickCount).
    virtual std::int64_t monotonicMs() const = 0;
    // Seconds since the epoch (the role of time()).
    virtual std::int64_t wallSeconds() const = 0;
    // Local calendar time of wallSeconds().
    virtual LocalTime localTime() const = 0;
    // Pause the calling thread; the manual clock advances instead.
    virtual void sleepMs(int ms) = 0;
};

// Sleeps the calling thread for ms milliseconds (through signals).
void sleepForMs(int ms);

class RealClock final : public Clock {
public:
    std::int64_t monotonicMs() const override;
    std::int64_t wallSeconds() const override;
    LocalTime localTime() const override;
    void sleepMs(int ms) override;
};

// A clock that only moves when told to; sleepMs advances it.
class ManualClock final : public Clock {
public:
    std::int64_t monotonicMs() const override;
    std::int64_t wallSeconds() const override;
    LocalTime localTime() const override;
    void sleepMs(int ms) override { advanceMs(ms); }

    void advanceMs(std::int64_t ms);
    void setWallSeconds(std::int64_t s);
    // Fixes the calendar time that localTime() reports (it then moves with advanceMs).
    void setLocalTime(const LocalTime& t);

private:
    mutable std::mutex mutex_;
    std::int64_t ms_ = 1'000'000;
    std::int64_t wall_ = 1'700'000'000;
    std::int64_t wallSetAtMs_ = 1'000'000;  // ms_ when wall_ was set
    LocalTime base_{2024, 1, 15, 12, 0, 0};
    std::int64_t baseWall_ = 1'700'000'000;
};

}  // namespace norva
