// Radio: info frames on the air, with their airtime and acknowledgement, and
// the monitor copies every listening TNC gets.
#include "tncsim/Radio.h"

// std
#include <algorithm>

namespace tncsim {

void Radio::frameQueued(SimTnc& tnc, int channel) {
    SimTnc::Channel* ch = tnc.channel(channel);
    Link* link = findLink(ch->linkId);
    if (link == nullptr || !link->up) return;
    scheduleTncFrame(link->id, link->a.tnc == &tnc && link->a.channel == channel);
}

void Radio::sendUnproto(SimTnc& tnc, const std::string& dest, std::string_view data) {
    monitor(tnc.baseCall(), dest, {}, "UI^", data, 'U');
}

// Frames of one sender go on the air one after the other, each taking txDelayMs.
void Radio::scheduleTncFrame(std::uint64_t id, bool fromA) {
    Link* link = findLink(id);
    if (link == nullptr) return;
    Side& side = fromA ? link->a : link->b;
    std::uint64_t at = std::max(now_, side.txFreeAt) + config_.txDelayMs;
    side.txFreeAt = at;
    schedule(at, [this, id, fromA] { sendTncFrame(id, fromA); });
}

void Radio::sendTncFrame(std::uint64_t id, bool fromA) {
    Link* link = findLink(id);
    if (link == nullptr || !link->up) return;
    Side& side = fromA ? link->a : link->b;
    const Side& other = fromA ? link->b : link->a;
    SimTnc* tnc = side.tnc;
    int channel = side.channel;
    SimTnc::Channel* ch = tnc->channel(channel);
    if (ch->linkId != id || ch->unsent.empty()) return;
    std::string data = std::move(ch->unsent.front());
    ch->unsent.pop_front();
    ++ch->unacked;
    std::string ctl = "I" + std::to_string(other.sent % 8) + std::to_string(side.sent % 8) + "^";
    ++side.sent;
    std::vector<std::string> digis = link->digis;
    if (!fromA) std::reverse(digis.begin(), digis.end());
    monitor(side.call, other.call, digis, ctl, data, 'I');
    schedule(now_ + config_.ackDelayMs, [this, tnc, channel, id] {
        SimTnc::Channel* c = tnc->channel(channel);
        if (c->linkId != id) return;
        if (c->unacked > 0) --c->unacked;
        disconnectIfSent(*tnc, channel);
    });
    deliver(id, !fromA, data);
}

void Radio::stationTransmit(std::uint64_t id, bool fromA, std::string_view text,
                            bool thenDisconnect) {
    Link* link = findLink(id);
    if (link == nullptr) return;
    Side& side = fromA ? link->a : link->b;
    while (!text.empty()) {
        std::size_t n = std::min(text.size(), kMaxFrameData);
        std::string chunk(text.substr(0, n));
        text.remove_prefix(n);
        std::uint64_t at = std::max(now_, side.txFreeAt) + config_.txDelayMs;
        side.txFreeAt = at;
        schedule(at, [this, id, fromA, chunk] {
            Link* l = findLink(id);
            if (l == nullptr || !l->up) return;
            Side& s = fromA ? l->a : l->b;
            const Side& o = fromA ? l->b : l->a;
            std::string ctl = "I" + std::to_string(o.sent % 8) + std::to_string(s.sent % 8) + "^";
            ++s.sent;
            monitor(s.call, o.call, {}, ctl, chunk, 'I');
            deliver(id, !fromA, chunk);
        });
    }
    if (!thenDisconnect) return;
    std::uint64_t at = std::max(now_, side.txFreeAt) + config_.txDelayMs;
    side.txFreeAt = at;
    schedule(at, [this, id, fromA] {
        Link* l = findLink(id);
        if (l != nullptr && l->up) beginDisconnect(*l, fromA);
    });
}

void Radio::deliver(std::uint64_t id, bool toA, const std::string& bytes) {
    Link* link = findLink(id);
    if (link == nullptr) return;
    Side& side = toA ? link->a : link->b;
    if (side.tnc != nullptr) {
        side.tnc->pushItem(side.channel, kConnInfo, bytes.substr(0, kMaxFrameData));
        return;
    }
    if (side.station == nullptr) return;
    StationAnswer answer = side.station->receive(id, bytes);
    if (!answer.text.empty() || answer.disconnect) {
        stationTransmit(id, toA, answer.text, answer.disconnect);
    }
}

// Header like TF prints it: "fm DL1AAA to DB0SIM via DB0XX ctl I00^ pid F0".
void Radio::monitor(const std::string& from, const std::string& to,
                    const std::vector<std::string>& digis, const std::string& ctl,
                    std::string_view info, char kind) {
    std::string header = "fm " + from + " to " + to;
    for (std::size_t i = 0; i < digis.size(); ++i) header += (i == 0 ? " via " : " ") + digis[i];
    header += " ctl " + ctl;
    if (!info.empty()) header += " pid F0";
    for (auto& t : tncs_) {
        bool shown = t->monitorShows(kind) || (kind == 'S' && t->monitorShows('C'));
        if (!shown) continue;
        if (info.empty()) {
            t->pushItem(0, kMonHeader, header);
            continue;
        }
        t->pushItem(0, kMonHeaderInfo, header);
        t->pushItem(0, kMonInfo, std::string(info.substr(0, kMaxFrameData)));
    }
}

}  // namespace tncsim
