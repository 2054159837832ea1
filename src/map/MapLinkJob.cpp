// The map link job, state by state.
#include "map/MapLinkJob.h"

#include "channel/TncChannel.h"
#include "hostmode/Tnc.h"
#include "map/MapOperations.h"
#include "map/MapProgram.h"
#include "platform/Clock.h"

namespace norva {

std::string_view MapLinkJob::stateName(State s) {
    switch (s) {
    case State::Idle: return "idle";
    case State::Connecting: return "connecting";
    case State::ShowingStation: return "showing station";
    case State::GettingRoute: return "getting route";
    case State::DrawingLinks: return "drawing links";
    case State::MarkingRoute: return "marking route";
    case State::ShowingDestination: return "showing destination";
    case State::Done: return "done";
    }
    return "?";
}

MapLinkJob::MapLinkJob(MapProgram& map, const Clock& clock, std::string name)
    : map_(map), clock_(clock), name_(std::move(name)), link_(map.newLink()) {}

MapLinkJob::~MapLinkJob() = default;

void MapLinkJob::setPair(std::string_view first, std::string_view second) {
    first_ = map_.resolve(first);
    second_ = map_.resolve(second);
}

void MapLinkJob::setState(State s) {
    if (s == state_) return;
    map_.trace("map " + name_ + ": " + std::string(stateName(state_)) + " -> " + std::string(stateName(s)));
    state_ = s;
}

Then MapLinkJob::finishes(State next) {
    waiting_ = true;
    stepStartMs_ = clock_.monotonicMs();
    // The link (and with it this answer) goes with the job; the generation
    // tells an answer of an abandoned step from the current one.
    return [this, next, generation = generation_] {
        if (generation != generation_) return;
        waiting_ = false;
        setState(next);
    };
}

int MapLinkJob::tick() {
    if (waiting_) {
        if (clock_.monotonicMs() - stepStartMs_ > kStepLimitMs) abandon();
        return 1;
    }
    startStep();
    return 1;
}

void MapLinkJob::startStep() {
    switch (state_) {
    case State::Idle:
        if (!map_.availability().available() || first_.empty()) return;
        // The pair is taken: a new one that comes meanwhile waits for the next run.
        from_ = std::exchange(first_, {});
        to_ = std::exchange(second_, {});
        setState(State::Connecting);
        waiting_ = true;
        stepStartMs_ = clock_.monotonicMs();
        link_->connect([this, generation = generation_](bool ok) {
            if (generation == generation_) connected(ok);
        });
        return;
    case State::Connecting: return;  // the answer moves on
    case State::ShowingStation: showStation(*link_, from_, finishes(State::Done)); return;
    case State::GettingRoute:
        waiting_ = true;
        stepStartMs_ = clock_.monotonicMs();
        getRoute(*link_, from_, to_, [this, generation = generation_](std::string route) {
            if (generation == generation_) gotRoute(std::move(route));
        });
        return;
    case State::DrawingLinks: showRoute(*link_, route_, 1, finishes(State::MarkingRoute)); return;
    case State::MarkingRoute: showRoute(*link_, route_, 2, finishes(State::ShowingDestination)); return;
    case State::ShowingDestination: showStation(*link_, to_, finishes(State::Done)); return;
    case State::Done:
        link_->disconnect();
        route_.clear();
        from_.clear();
        to_.clear();
        setState(State::Idle);
        return;
    }
}

void MapLinkJob::connected(bool ok) {
    waiting_ = false;
    if (!ok) {
        map_.connectFailed(*link_);
        from_.clear();
        to_.clear();
        setState(State::Idle);
        return;
    }
    setState(to_.empty() ? State::ShowingStation : State::GettingRoute);
}

void MapLinkJob::gotRoute(std::string route) {
    waiting_ = false;
    route_ = std::move(route);
    setState(isRouteError(route_) ? State::ShowingDestination : State::DrawingLinks);
}

void MapLinkJob::abandon() {
    // A fresh link forgets every call of the old one.
    ++generation_;
    link_ = map_.newLink();
    waiting_ = false;
    map_.trace("map " + name_ + ": step given up");
    setState(State::Done);
}

std::unique_ptr<CMapLinkJob> makeMapLinkJob(CTncChannel& channel, MapProgram& map) {
    return std::make_unique<MapLinkJob>(map, channel.tnc().context().clock,
                                        std::to_string(channel.tncNumber()) + "/" + std::to_string(channel.number()));
}

}  // namespace norva
