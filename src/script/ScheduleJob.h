// CSchedulerJob: the standing job of a connection channel that starts the
// scripts the schedule names for this channel when their quarter hour comes.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>

#include "channel/ChannelJob.h"
#include "script/Schedule.h"

namespace norva {

class CTncChannel;

class CSchedulerJob final : public CChannelJob {
public:
    enum class State { Idle, Pending };
    // Seconds a once entry waits after a connected channel becomes free.
    static constexpr int kBusyDelaySeconds = 60;

    explicit CSchedulerJob(CTncChannel& channel);

    // Searches the schedule once per local quarter hour and starts what is
    // due; always running, the job lives as long as its channel.
    int tick() override;

    State state() const { return state_; }
    const std::string& pendingScript() const { return pending_; }

private:
    void setState(State next, std::string_view why);
    void advanceTo(std::int64_t quarter);
    void search(std::int64_t quarter);
    void reportSkipped(std::int64_t from, std::int64_t to);
    void reportBroken(const ScheduleLine& line);
    bool reportsForAll() const;
    bool mine(const ScheduleEntry& e) const;
    void handlePending();
    void start();

    CTncChannel& channel_;
    State state_ = State::Idle;
    std::optional<std::int64_t> lastQuarter_;  // the latest quarter searched
    std::string pending_;
    bool pendingOnce_ = true;
    std::optional<std::int64_t> freeSinceMs_;  // when the channel was first found free
    int delaySeconds_ = 0;
    std::set<std::string> brokenReported_;
};

}  // namespace norva
