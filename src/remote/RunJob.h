// Programs a remote station runs with //DOS: a child process started
// without a shell (its arguments are an argv, so "; rm -rf ~" is just an
// argument), its output read from a non-blocking pipe on every tick, sent
// back as one memory text when it ends, and killed when it runs too long.
// The process is always reaped.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "channel/ChannelJob.h"
#include "platform/Programs.h"

namespace norva {

class CTncChannel;
class RemoteTransfers;

class CRunJob : public CChannelJob {
public:
    enum class State { Running, Delivered, TimedOut };
    CRunJob(CTncChannel& ch, RemoteTransfers& transfers, std::unique_ptr<ChildProcess> child, std::int64_t limitMs,
            std::size_t outputLimit);
    int tick() override;
    std::string captionName() const override { return "Run"; }
    State state() const { return state_; }

private:
    void enter(State next);
    std::int64_t now() const;

    CTncChannel& ch_;
    RemoteTransfers& transfers_;
    std::unique_ptr<ChildProcess> child_;
    std::int64_t limitMs_;
    std::size_t outputLimit_;
    std::int64_t startMs_;
    std::string output_;
    State state_ = State::Running;
};

// Program output as it goes on the air: CP437, lines ending in CR.
std::string programOutputToOem(std::string_view bytes);

}  // namespace norva
