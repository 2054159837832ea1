// Ax25Link: the requests of the layer above, the timers, and the steps the
// states share (sending, acknowledging, window, round-trip estimate).
#include "kiss/Ax25Link.h"

#include <algorithm>

namespace norva::kiss {

const char* linkStateName(LinkState s) {
    switch (s) {
    case LinkState::Disconnected: return "disconnected";
    case LinkState::AwaitingConnection: return "awaiting connection";
    case LinkState::AwaitingRelease: return "awaiting release";
    case LinkState::Connected: return "connected";
    case LinkState::TimerRecovery: return "timer recovery";
    }
    return "?";
}

void Ax25Link::setAddresses(Ax25Address me, Ax25Address peer, std::vector<Ax25Address> via) {
    me_ = std::move(me);
    peer_ = std::move(peer);
    via_ = std::move(via);
    if (via_.size() > kMaxDigis) via_.resize(kMaxDigis);
    for (auto& d : via_) d.bit = false;
}

void Ax25Link::setState(LinkState s, std::string_view why) {
    if (s == state_) return;
    user_.trace(addressText(me_) + " - " + addressText(peer_) + ": " + linkStateName(state_) + " -> " +
                linkStateName(s) + " (" + std::string(why) + ")");
    state_ = s;
}

void Ax25Link::dispatch(const Event& e) {
    switch (state_) {
    case LinkState::Disconnected: stateDisconnected(e); break;
    case LinkState::AwaitingConnection: stateAwaitingConnection(e); break;
    case LinkState::AwaitingRelease: stateAwaitingRelease(e); break;
    case LinkState::Connected: stateConnected(e); break;
    case LinkState::TimerRecovery: stateTimerRecovery(e); break;
    }
}

void Ax25Link::connect(std::int64_t nowMs) {
    now_ = nowMs;
    dispatch({Ev::Connect});
}

void Ax25Link::disconnect(std::int64_t nowMs) {
    now_ = nowMs;
    dispatch({Ev::Disconnect});
}

void Ax25Link::send(std::string_view data, std::int64_t nowMs) {
    now_ = nowMs;
    const auto piece = static_cast<std::size_t>(std::clamp(params_.paclen, 1, 256));
    while (!data.empty()) {
        const std::size_t n = std::min(piece, data.size());
        pending_.emplace_back(data.substr(0, n));
        data.remove_prefix(n);
    }
    if (state_ == LinkState::Connected || state_ == LinkState::TimerRecovery) kick();
}

void Ax25Link::setOwnBusy(bool busy, std::int64_t nowMs) {
    now_ = nowMs;
    if (busy == ownBusy_) return;
    ownBusy_ = busy;
    if (state_ != LinkState::Connected && state_ != LinkState::TimerRecovery) return;
    // Tell the peer at once; it would otherwise only learn of it from its next poll.
    sendS(busy ? FrameType::RNR : FrameType::RR, false, false);
}

void Ax25Link::acceptConnect(const Ax25Frame& sabm, std::int64_t nowMs) {
    now_ = nowMs;
    if (state_ != LinkState::Disconnected) return;
    clearQueues();
    vs_ = vr_ = va_ = rc_ = 0;
    srtt_ = 0;  // a new peer: nothing measured yet
    peerBusy_ = rejectSent_ = ackPending_ = resetting_ = false;
    sendU(FrameType::UA, sabm.pf, false);
    linkUp();
}

void Ax25Link::receive(const Ax25Frame& frame, std::int64_t nowMs) {
    now_ = nowMs;
    dispatch({Ev::Frame, &frame});
}

void Ax25Link::tick(std::int64_t nowMs) {
    now_ = nowMs;
    if (t2_ && *t2_ <= now_) {
        t2_.reset();
        if (ackPending_ && (state_ == LinkState::Connected || state_ == LinkState::TimerRecovery))
            enquiryResponse(false);
        ackPending_ = false;
    }
    if (t1_ && *t1_ <= now_) {
        t1_.reset();
        dispatch({Ev::T1});
    }
    if (t3_ && *t3_ <= now_) {
        t3_.reset();
        dispatch({Ev::T3});
    }
}

std::optional<std::int64_t> Ax25Link::nextDeadline() const {
    std::optional<std::int64_t> d;
    for (const auto& t : {t1_, t2_, t3_})
        if (t && (!d || *t < *d)) d = t;
    return d;
}

int Ax25Link::t1Ms() const {
    // Each digipeater adds a hop there and back; the estimate replaces the
    // guess once a round trip was measured. Unanswered SABMs wait longer each time.
    const int hops = 1 + 2 * static_cast<int>(via_.size());
    const long t = srtt_ > 0 ? 2L * srtt_ : static_cast<long>(params_.frackMs) * hops * (1 + std::min(rc_, 3));
    return static_cast<int>(std::clamp<long>(t, params_.minT1Ms, params_.maxT1Ms));
}

void Ax25Link::startT1() { t1_ = now_ + t1Ms(); }

// One sample per acknowledgement: the time since the newest frame it
// confirms went out, unless that frame was sent more than once (then it is
// unknown which copy is answered).
void Ax25Link::measureRtt(int ns) {
    if (resent_[static_cast<std::size_t>(ns)]) return;
    const auto sample = static_cast<int>(
        std::clamp<std::int64_t>(now_ - sentAt_[static_cast<std::size_t>(ns)], 1, params_.maxT1Ms));
    srtt_ = srtt_ == 0 ? sample : (7 * srtt_ + sample) / 8;
}

// A T1 that ran out was too short, or the channel is worse than measured:
// the estimate grows until a fresh sample says otherwise.
void Ax25Link::backOff() {
    if (srtt_ > 0) srtt_ = std::min(params_.maxT1Ms / 2, srtt_ + srtt_ / 4 + 1);
}

Ax25Frame Ax25Link::frame(FrameType t, bool command, bool pf) const {
    Ax25Frame f;
    f.dest = peer_;
    f.src = me_;
    f.digis = via_;
    f.type = t;
    f.command = command;
    f.pf = pf;
    f.nr = vr_;
    return f;
}

void Ax25Link::sendU(FrameType t, bool pf, bool command) { user_.transmit(frame(t, command, pf)); }

void Ax25Link::sendS(FrameType t, bool pf, bool command) {
    user_.transmit(frame(t, command, pf));
    ackPending_ = false;
    t2_.reset();
}

void Ax25Link::enquiryResponse(bool f) { sendS(ownBusy_ ? FrameType::RNR : FrameType::RR, f, false); }

void Ax25Link::transmitEnquiry() {
    sendS(ownBusy_ ? FrameType::RNR : FrameType::RR, true, true);
    startT1();
}

// Sends what the window allows: frames to repeat first, then new ones.
void Ax25Link::kick() {
    while (!peerBusy_) {
        const auto outstanding = static_cast<std::size_t>((vs_ - va_) & 7);
        if (outstanding >= static_cast<std::size_t>(std::clamp(params_.k, 1, 7))) return;
        const bool again = outstanding < unacked_.size();
        if (!again) {
            if (pending_.empty()) return;
            unacked_.push_back(std::move(pending_.front()));
            pending_.pop_front();
        }
        Ax25Frame f = frame(FrameType::I, true, false);
        f.ns = vs_;
        f.info = unacked_[outstanding];
        sentAt_[static_cast<std::size_t>(vs_)] = now_;
        resent_[static_cast<std::size_t>(vs_)] = again;
        vs_ = (vs_ + 1) & 7;
        ackPending_ = false;
        t2_.reset();
        if (!t1_) {
            t3_.reset();
            startT1();
        }
        user_.transmit(f);
    }
}

bool Ax25Link::validNr(int nr) const {
    return static_cast<std::size_t>((nr - va_) & 7) <= unacked_.size();
}

void Ax25Link::framesAcked(int nr) {
    const int n = (nr - va_) & 7;
    const int outstanding = (vs_ - va_) & 7;
    for (int i = 0; i < n && !unacked_.empty(); ++i) unacked_.pop_front();
    if (n > 0) rejWithoutProgress_ = 0;
    if (n > 0 && n <= outstanding) measureRtt((nr - 1) & 7);
    if (n > outstanding) vs_ = nr;  // acknowledged beyond a requeue point
    va_ = nr;
}

void Ax25Link::checkIFramesAcked(int nr) {
    if (peerBusy_) {
        framesAcked(nr);
        return;
    }
    if (static_cast<std::size_t>((nr - va_) & 7) == unacked_.size() && !unacked_.empty()) {
        framesAcked(nr);
        t1_.reset();
        t3_ = now_ + params_.t3Ms;
    } else if (nr != va_) {
        framesAcked(nr);
        startT1();
    }
}

void Ax25Link::requeue() { vs_ = va_; }

// A peer that rejects every frame would keep the link sending for ever;
// after N2 such REJs in a row it is treated like a peer that stopped answering.
bool Ax25Link::rejStorm(const Ax25Frame& f) {
    if (f.type != FrameType::REJ || f.nr != va_ || unacked_.empty()) return false;
    if (++rejWithoutProgress_ < params_.n2) return false;
    user_.trace(addressText(me_) + " - " + addressText(peer_) + ": " + std::to_string(rejWithoutProgress_) +
                " REJ without progress");
    sendU(FrameType::DM, false, false);
    linkDown(LinkEvent::LinkFailure, "N2 REJ without progress");
    return true;
}

void Ax25Link::clearQueues() {
    pending_.clear();
    unacked_.clear();
}

void Ax25Link::establish(bool reset, std::string_view why) {
    resetting_ = reset;
    rejectSent_ = peerBusy_ = ackPending_ = false;
    rc_ = 0;
    t2_.reset();
    t3_.reset();
    sendU(FrameType::SABM, true, true);
    startT1();
    setState(LinkState::AwaitingConnection, why);
}

void Ax25Link::linkUp() {
    const bool reset = resetting_;
    resetting_ = false;
    // Frames the peer never confirmed go out again from sequence number 0.
    vs_ = vr_ = va_ = rc_ = rejWithoutProgress_ = 0;
    rejectSent_ = peerBusy_ = ackPending_ = false;
    t1_.reset();
    t2_.reset();
    t3_ = now_ + params_.t3Ms;
    setState(LinkState::Connected, reset ? "link reset" : "link up");
    if (!reset) user_.linkEvent(LinkEvent::Connected);
    kick();
}

void Ax25Link::linkDown(LinkEvent event, std::string_view why) {
    clearQueues();
    t1_.reset();
    t2_.reset();
    t3_.reset();
    rc_ = 0;
    rejWithoutProgress_ = 0;
    resetting_ = false;
    setState(LinkState::Disconnected, why);
    user_.linkEvent(event);
}

}  // namespace norva::kiss
