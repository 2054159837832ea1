// The short-lived jobs of a remote session: paging the operator (//RIng)
// and the superuser challenge (//SYS). Each is a small state machine whose
// state changes go through one function.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "channel/ChannelJob.h"

namespace norva {

class CTncChannel;

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

// Asks for five characters of the superuser password at random positions
// and grants or clears the superuser flag by the answer.
class CSysLoginJob : public CChannelJob {
public:
    enum class State { Start, Waiting, Done };
    static constexpr std::size_t kPasswordMin = 80;
    static constexpr int kPositions = 5;

    explicit CSysLoginJob(CTncChannel& ch);
    int tick() override;
    int receive(const ReceiveRecord& record) override;
    std::string captionName() const override { return "SYS"; }
    State state() const { return state_; }
    const std::array<int, kPositions>& positions() const { return positions_; }

private:
    void enter(State next);
    void judge(std::string_view answer, int length);

    CTncChannel& ch_;
    std::string password_;
    std::array<int, kPositions> positions_{};
    State state_ = State::Start;
};

}  // namespace norva
