// Radio: the members of the radio, its event clock, and the life of a link
// (connect, link up, failure, disconnect).
#include "tncsim/Radio.h"

// std
#include <algorithm>

// tncsim
#include "Text.h"

namespace tncsim {

Radio::Radio(RadioConfig config) : config_(config) {}

Radio::~Radio() = default;

SimTnc& Radio::addTnc(TncConfig config) {
    tncs_.push_back(std::make_unique<SimTnc>(SimTnc::Key{}, *this, std::move(config)));
    return *tncs_.back();
}

SimStation& Radio::addStation(std::string_view call) {
    if (SimStation* existing = findStation(call)) return *existing;
    stations_.push_back(std::make_unique<SimStation>(upper(trimBlanks(call))));
    return *stations_.back();
}

SimStation* Radio::findStation(std::string_view call) {
    for (auto& s : stations_) {
        if (sameCall(s->call(), call)) return s.get();
    }
    return nullptr;
}

void Radio::advance(std::uint64_t nowMs) {
    while (!events_.empty() && events_.begin()->first <= nowMs) {
        auto node = events_.extract(events_.begin());
        now_ = std::max(now_, node.key());
        node.mapped()();
    }
    now_ = std::max(now_, nowMs);
}

void Radio::schedule(std::uint64_t atMs, std::function<void()> fn) {
    events_.emplace(std::max(atMs, now_), std::move(fn));
}

Radio::Link* Radio::findLink(std::uint64_t id) {
    auto it = links_.find(id);
    return it == links_.end() ? nullptr : &it->second;
}

std::string Radio::statusPrefix(int channel) { return "(" + std::to_string(channel) + ") "; }

// --- requests from the TNCs -----------------------------------------------------

void Radio::connectRequest(SimTnc& tnc, int channel, const std::string& target,
                           const std::vector<std::string>& digis) {
    Link link;
    link.id = nextLinkId_++;
    link.a.tnc = &tnc;
    link.a.channel = channel;
    link.a.call = tnc.channelCall(channel);
    link.b.call = target;
    link.digis = digis;
    link.startedAt = now_;
    SimTnc::Channel* ch = tnc.channel(channel);
    ch->linkId = link.id;
    ch->peer = target;
    tnc.setLinkState(channel, kLinkSetup);
    monitor(link.a.call, target, digis, "SABM+", {}, 'S');
    std::uint64_t id = link.id;
    links_.emplace(id, std::move(link));
    schedule(now_ + config_.connectDelayMs, [this, id] { resolveConnect(id); });
}

void Radio::disconnectRequest(SimTnc& tnc, int channel) {
    SimTnc::Channel* ch = tnc.channel(channel);
    Link* link = findLink(ch->linkId);
    if (link == nullptr) {
        tnc.setLinkState(channel, kDisconnected);
        ch->linkId = 0;
        ch->peer.clear();
        return;
    }
    if (!link->up) {
        std::string target = link->b.call;
        links_.erase(link->id);
        tncSideDown(Side{&tnc, channel, nullptr, {}, 0, 0}, target);
        return;
    }
    if (ch->state == kDiscInProgress) {
        finishDisconnect(link->id);  // a second "D" does not wait for the answer
        return;
    }
    if (tnc.config().sendBeforeDisconnect && (!ch->unsent.empty() || ch->unacked > 0)) {
        // As the firmware does: a mailbox's goodbye, given just before its
        // "D", still reaches the user.
        ch->disconnectWhenSent = true;
        tnc.setLinkState(channel, kDiscInProgress);
        return;
    }
    bool fromA = link->a.tnc == &tnc && link->a.channel == channel;
    beginDisconnect(*link, fromA);
}

// Called when a frame of the channel is acknowledged.
void Radio::disconnectIfSent(SimTnc& tnc, int channel) {
    SimTnc::Channel* ch = tnc.channel(channel);
    if (!ch->disconnectWhenSent || !ch->unsent.empty() || ch->unacked > 0) return;
    ch->disconnectWhenSent = false;
    if (Link* link = findLink(ch->linkId)) beginDisconnect(*link, link->a.tnc == &tnc && link->a.channel == channel);
}

// --- link life --------------------------------------------------------------------

void Radio::resolveConnect(std::uint64_t id) {
    Link* link = findLink(id);
    if (link == nullptr || link->up) return;
    if (link->a.tnc != nullptr) {
        if (SimStation* station = findStation(link->b.call)) {
            link->b.station = station;
            linkUp(*link);
            return;
        }
    }
    bool busy = false;
    if (findTncTarget(*link, busy)) {
        linkUp(*link);
        return;
    }
    std::string target = link->b.call;
    if (busy) {
        monitor(target, link->a.call, {}, "DM-", {}, 'S');
        linkFailed(id, "BUSY fm " + target);
        return;
    }
    schedule(link->startedAt + config_.linkFailureMs,
             [this, id, target] { linkFailed(id, "LINK FAILURE with " + target); });
}

// A TNC answers a call on the first free channel whose own call matches, or
// on any free channel when its base call was called. Never on the caller's TNC.
bool Radio::findTncTarget(Link& link, bool& busy) {
    const std::string& target = link.b.call;
    for (auto& t : tncs_) {
        if (t.get() == link.a.tnc) continue;
        int byBase = 0;
        for (int ch = 1; ch <= t->channels(); ++ch) {
            bool free = t->linkState(ch) == kDisconnected;
            if (sameCall(t->channelCall(ch), target)) {
                if (free) {
                    link.b.tnc = t.get();
                    link.b.channel = ch;
                    return true;
                }
                busy = true;
            }
            if (free && byBase == 0 && sameCall(t->baseCall(), target)) byBase = ch;
        }
        if (byBase != 0) {
            link.b.tnc = t.get();
            link.b.channel = byBase;
            busy = false;
            return true;
        }
        if (sameCall(t->baseCall(), target)) busy = true;
    }
    return false;
}

void Radio::linkUp(Link& link) {
    link.up = true;
    std::vector<std::string> back(link.digis.rbegin(), link.digis.rend());
    monitor(link.b.call, link.a.call, back, "UA-", {}, 'S');
    std::string viaA;
    std::string viaB;
    for (const auto& d : link.digis) viaA += (viaA.empty() ? " via " : " ") + d;
    for (const auto& d : back) viaB += (viaB.empty() ? " via " : " ") + d;
    for (int i = 0; i < 2; ++i) {
        Side& side = i == 0 ? link.a : link.b;
        const Side& other = i == 0 ? link.b : link.a;
        if (side.tnc == nullptr) continue;
        SimTnc::Channel* ch = side.tnc->channel(side.channel);
        ch->linkId = link.id;
        ch->peer = other.call;
        side.tnc->setLinkState(side.channel, kInfoTransfer);
        side.tnc->pushItem(side.channel, kLinkStatus,
                           statusPrefix(side.channel) + "CONNECTED to " + other.call +
                               (i == 0 ? viaA : viaB));
        for (std::size_t n = 0; n < ch->unsent.size(); ++n) scheduleTncFrame(link.id, i == 0);
    }
    if (link.b.station != nullptr) stationTransmit(link.id, false, link.b.station->greeting(), false);
}

void Radio::linkFailed(std::uint64_t id, const std::string& why) {
    Link* link = findLink(id);
    if (link == nullptr || link->up) return;
    Side side = link->a;
    links_.erase(id);
    if (side.tnc == nullptr) return;
    SimTnc::Channel* ch = side.tnc->channel(side.channel);
    ch->linkId = 0;
    ch->peer.clear();
    ch->unsent.clear();
    side.tnc->setLinkState(side.channel, kDisconnected);
    side.tnc->pushItem(side.channel, kLinkStatus, statusPrefix(side.channel) + why);
}

// The side that sends DISC waits for the UA; a station's DISC is answered at once.
void Radio::beginDisconnect(Link& link, bool fromA) {
    Side& side = fromA ? link.a : link.b;
    const Side& other = fromA ? link.b : link.a;
    monitor(side.call, other.call, {}, "DISC+", {}, 'S');
    std::uint64_t id = link.id;
    if (side.tnc == nullptr) {
        monitor(other.call, side.call, {}, "UA-", {}, 'S');
        finishDisconnect(id);
        return;
    }
    SimTnc::Channel* ch = side.tnc->channel(side.channel);
    ch->unsent.clear();
    side.tnc->setLinkState(side.channel, kDiscInProgress);
    std::string from = side.call;
    std::string to = other.call;
    schedule(now_ + config_.connectDelayMs, [this, id, from, to] {
        if (findLink(id) == nullptr) return;
        monitor(to, from, {}, "UA-", {}, 'S');
        finishDisconnect(id);
    });
}

void Radio::finishDisconnect(std::uint64_t id) {
    Link* link = findLink(id);
    if (link == nullptr) return;
    Link done = std::move(*link);
    links_.erase(id);
    for (int i = 0; i < 2; ++i) {
        const Side& side = i == 0 ? done.a : done.b;
        const Side& other = i == 0 ? done.b : done.a;
        if (side.station != nullptr) side.station->linkClosed(id);
        if (side.tnc != nullptr) tncSideDown(side, other.call);
    }
}

void Radio::tncSideDown(const Side& side, const std::string& other) {
    SimTnc::Channel* ch = side.tnc->channel(side.channel);
    ch->linkId = 0;
    ch->peer.clear();
    ch->unsent.clear();
    ch->unacked = 0;
    ch->disconnectWhenSent = false;
    side.tnc->setLinkState(side.channel, kDisconnected);
    side.tnc->pushItem(side.channel, kLinkStatus,
                       statusPrefix(side.channel) + "DISCONNECTED fm " + other);
}

// --- station control ------------------------------------------------------------------

std::size_t Radio::stationSend(std::string_view call, std::string_view text) {
    SimStation* station = findStation(call);
    if (station == nullptr) return 0;
    std::vector<std::pair<std::uint64_t, bool>> targets;
    for (auto& [id, link] : links_) {
        if (!link.up) continue;
        if (link.a.station == station) targets.emplace_back(id, true);
        if (link.b.station == station) targets.emplace_back(id, false);
    }
    for (auto [id, fromA] : targets) stationTransmit(id, fromA, text, false);
    return targets.size();
}

bool Radio::stationConnect(std::string_view stationCall, std::string_view targetCall) {
    SimStation* station = findStation(stationCall);
    auto target = parseCall(targetCall);
    if (station == nullptr || !target) return false;
    Link link;
    link.id = nextLinkId_++;
    link.a.station = station;
    link.a.call = station->call();
    link.b.call = *target;
    link.startedAt = now_;
    Link probe = link;
    bool busy = false;
    bool reachable = findTncTarget(probe, busy);
    monitor(link.a.call, link.b.call, {}, "SABM+", {}, 'S');
    std::uint64_t id = link.id;
    links_.emplace(id, std::move(link));
    schedule(now_ + config_.connectDelayMs, [this, id] { resolveConnect(id); });
    return reachable;
}

std::size_t Radio::stationDisconnect(std::string_view call) {
    SimStation* station = findStation(call);
    if (station == nullptr) return 0;
    std::vector<std::pair<std::uint64_t, bool>> targets;
    std::vector<std::uint64_t> attempts;
    for (auto& [id, link] : links_) {
        bool mine = link.a.station == station || link.b.station == station;
        if (!mine) continue;
        if (link.up) {
            targets.emplace_back(id, link.a.station == station);
        } else {
            attempts.push_back(id);
        }
    }
    for (auto id : attempts) links_.erase(id);
    for (auto [id, fromA] : targets) {
        if (Link* link = findLink(id)) beginDisconnect(*link, fromA);
    }
    return targets.size();
}

std::size_t Radio::stationLinks(std::string_view call) const {
    std::size_t n = 0;
    for (const auto& [id, link] : links_) {
        if (!link.up) continue;
        if (link.a.station && sameCall(link.a.station->call(), call)) ++n;
        if (link.b.station && sameCall(link.b.station->call(), call)) ++n;
    }
    return n;
}

}  // namespace tncsim
