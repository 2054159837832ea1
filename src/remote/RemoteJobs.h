// The short-lived jobs of a remote session: paging the operator (//RIng)
// and the superuser challenge (//SYS). Each is a small state machine whose
// state changes go through one function.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "channel/ChannelJob.h"

namespace norva {

class CTncChannel;
class SystemLog;

// Rings the operator every few seconds until the operator types something
// on the channel (the channel hands typed text to this slot's job) or the
// time is up.
class CRingJob : public CChannelJob {
public:
    enum class State { Ringing, Answered, GaveUp };
    CRingJob(CTncChannel& ch, std::int64_t limitMs, std::int64_t intervalMs);
    int tick() override;
    void sendHook(const FrameRecord& text) override;
    std::string captionName() const override { return "Ring"; }
    State state() const { return state_; }

private:
    void enter(State next);
    void ringOnce();
    std::int64_t now() const;

    CTncChannel& ch_;
    std::int64_t limitMs_;
    std::int64_t intervalMs_;
    std::int64_t startMs_;
    std::int64_t lastRingMs_;
    State state_ = State::Ringing;
};

// Wrong //SYS answers per call (the SSID does not count: an attacker could
// otherwise try sixteen times as often). Each wrong answer makes the next
// challenge wait longer; three in a row lock the call out for ten minutes.
// Every failure and lock goes to system.log, never the secret.
class SysGuard {
public:
    static constexpr int kFailuresBeforeLock = 3;
    static constexpr std::int64_t kLockMs = 10 * 60 * 1000;
    static constexpr std::int64_t kFirstDelayMs = 2000;

    // Milliseconds before the call's next challenge may go out (0: now);
    // nothing while the call is locked out.
    std::optional<std::int64_t> waitBeforeChallenge(std::string_view call, std::int64_t nowMs);
    void failed(std::string_view call, std::int64_t nowMs, SystemLog& log);
    void succeeded(std::string_view call);

private:
    struct Record {
        int failures = 0;
        std::int64_t lastFailureMs = 0;
        std::int64_t lockedUntilMs = 0;
    };
    std::map<std::string, Record, std::less<>> calls_;
};

// Asks for five characters of the superuser password at random positions
// and grants or clears the superuser flag by the answer. After wrong
// answers of the same call it waits first (SysGuard).
class CSysLoginJob : public CChannelJob {
public:
    enum class State { Start, Delaying, Waiting, Done };
    static constexpr std::size_t kPasswordMin = 80;
    static constexpr int kPositions = 5;

    CSysLoginJob(CTncChannel& ch, SysGuard& guard);
    int tick() override;
    int receive(const ReceiveRecord& record) override;
    std::string captionName() const override { return "SYS"; }
    State state() const { return state_; }
    const std::array<int, kPositions>& positions() const { return positions_; }

private:
    void enter(State next);
    void challenge();
    void judge(std::string_view answer, int length);
    std::int64_t now() const;

    CTncChannel& ch_;
    SysGuard& guard_;
    std::int64_t challengeAtMs_ = 0;
    std::string password_;
    std::array<int, kPositions> positions_{};
    State state_ = State::Start;
};

}  // namespace norva
