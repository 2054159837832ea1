// CMapLinkJob: the map follows a channel's connections. Each new
// destination is selected and marked on the map; each onward hop is drawn
// as the route from the node left behind to the new one. The job lives as
// long as its channel and works state by state: a tick starts at most the
// next step, the map's answer finishes it, nothing waits. A map that does
// not answer ends the step by its time-out, and the job is idle again.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "channel/ChannelJob.h"
#include "map/KartexLink.h"
#include "map/MapOperations.h"

namespace norva {

class Clock;
class CTncChannel;
class MapProgram;

class MapLinkJob final : public CMapLinkJob {
public:
    enum class State {
        Idle,              // waiting for a pair
        Connecting,        // asking whether the map is there
        ShowingStation,    // a direct connect: the destination selected and marked
        GettingRoute,      // an onward connect: the route between the two asked for
        DrawingLinks,      // the route drawn hop by hop
        MarkingRoute,      // the route's stations marked
        ShowingDestination,  // the new destination selected and marked
        Done,              // the conversation ends; idle on the next tick
    };
    // How long one step may wait for its answers before the job gives it up
    // (beyond the calls' own time-outs, for a bus that went away).
    static constexpr std::int64_t kStepLimitMs = 60'000;

    MapLinkJob(MapProgram& map, const Clock& clock, std::string name = {});
    ~MapLinkJob() override;

    int tick() override;
    int receive(const ReceiveRecord&) override { return 1; }
    void setPair(std::string_view first, std::string_view second) override;

    State state() const { return state_; }
    bool busy() const { return state_ != State::Idle; }
    const std::string& first() const { return first_; }
    const std::string& second() const { return second_; }
    static std::string_view stateName(State s);

private:
    void setState(State s);
    void startStep();
    // The answer of the running step: go on to next.
    Then finishes(State next);
    void connected(bool ok);
    void gotRoute(std::string route);
    void abandon();

    MapProgram& map_;
    const Clock& clock_;
    std::string name_;
    std::unique_ptr<CKartexLink> link_;
    State state_ = State::Idle;
    bool waiting_ = false;
    std::int64_t stepStartMs_ = 0;
    std::string first_, second_;  // the pair stored for the next run
    std::string from_, to_;       // the pair of the running run
    std::string route_;
    std::uint64_t generation_ = 0;
};

// The channel's map link job, for ChannelJobFactory::mapLinkJob.
std::unique_ptr<CMapLinkJob> makeMapLinkJob(CTncChannel& channel, MapProgram& map);

}  // namespace norva
