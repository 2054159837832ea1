// Ax25Link: one function per state, each handling every event that state
// knows: requests from above, frames from the peer, T1 and T3 expiry.
#include "kiss/Ax25Link.h"

namespace norva::kiss {

namespace {

bool isSupervisory(FrameType t) { return t == FrameType::RR || t == FrameType::RNR || t == FrameType::REJ; }

}  // namespace

// No link: only a connect request starts one. Frames for a free channel are
// answered by the owner (DM, or a new link for a SABM).
void Ax25Link::stateDisconnected(const Event& e) {
    if (e.kind != Ev::Connect) return;
    clearQueues();
    vs_ = vr_ = va_ = 0;
    srtt_ = 0;
    establish(false, "connect request");
}

void Ax25Link::stateAwaitingConnection(const Event& e) {
    switch (e.kind) {
    case Ev::Connect: return;
    case Ev::Disconnect:
        // Nothing was agreed yet: give up at once.
        linkDown(LinkEvent::Disconnected, "disconnect request");
        return;
    case Ev::T3: return;
    case Ev::T1:
        if (rc_ >= params_.n2) {
            linkDown(LinkEvent::LinkFailure, "N2 retries of SABM");
            return;
        }
        ++rc_;
        sendU(FrameType::SABM, true, true);
        startT1();
        return;
    case Ev::Frame: break;
    }
    const Ax25Frame& f = *e.frame;
    switch (f.type) {
    case FrameType::SABM:  // both sides called at once
        sendU(FrameType::UA, f.pf, false);
        return;
    case FrameType::DISC: sendU(FrameType::DM, f.pf, false); return;
    case FrameType::UA:
        // No round trip is taken from SABM and UA: two short frames say
        // nothing about a window of long I frames on a slow channel.
        if (!f.pf) return;
        linkUp();
        return;
    case FrameType::DM:
        if (resetting_) {
            linkDown(LinkEvent::Disconnected, "DM during link reset");
            return;
        }
        linkDown(LinkEvent::Busy, "DM: busy");
        return;
    default: return;  // I and S frames wait for the link
    }
}

void Ax25Link::stateAwaitingRelease(const Event& e) {
    switch (e.kind) {
    case Ev::Connect: return;
    case Ev::Disconnect:  // a second request does not wait for the answer
        linkDown(LinkEvent::Disconnected, "second disconnect request");
        return;
    case Ev::T3: return;
    case Ev::T1:
        if (rc_ >= params_.n2) {
            linkDown(LinkEvent::Disconnected, "N2 retries of DISC");
            return;
        }
        ++rc_;
        sendU(FrameType::DISC, true, true);
        startT1();
        return;
    case Ev::Frame: break;
    }
    const Ax25Frame& f = *e.frame;
    switch (f.type) {
    case FrameType::SABM: sendU(FrameType::DM, f.pf, false); return;
    case FrameType::DISC: sendU(FrameType::UA, f.pf, false); return;
    case FrameType::UA:
        if (f.pf) linkDown(LinkEvent::Disconnected, "UA");
        return;
    case FrameType::DM: linkDown(LinkEvent::Disconnected, "DM"); return;
    case FrameType::I:
    case FrameType::RR:
    case FrameType::RNR:
    case FrameType::REJ:
        if (f.pf && f.command) sendU(FrameType::DM, true, false);
        return;
    default: return;
    }
}

// Frames that end or reset a link that is up, the same in both link-up states.
void Ax25Link::connectedCommon(const Ax25Frame& f) {
    switch (f.type) {
    case FrameType::SABM:
        // The peer reset the link: confirm and start again from 0.
        sendU(FrameType::UA, f.pf, false);
        resetting_ = true;
        linkUp();
        return;
    case FrameType::DISC:
        sendU(FrameType::UA, f.pf, false);
        linkDown(LinkEvent::Disconnected, "DISC");
        return;
    case FrameType::DM: linkDown(LinkEvent::Disconnected, "DM"); return;
    case FrameType::FRMR: establish(true, "FRMR received"); return;
    default: user_.trace(addressText(me_) + " - " + addressText(peer_) + ": unexpected frame ignored"); return;
    }
}

void Ax25Link::stateConnected(const Event& e) {
    switch (e.kind) {
    case Ev::Connect: return;
    case Ev::Disconnect:
        clearQueues();
        rc_ = 0;
        t2_.reset();
        t3_.reset();
        sendU(FrameType::DISC, true, true);
        startT1();
        setState(LinkState::AwaitingRelease, "disconnect request");
        return;
    case Ev::T1:
        rc_ = 1;
        backOff();
        transmitEnquiry();
        setState(LinkState::TimerRecovery, "T1 expired");
        return;
    case Ev::T3:
        rc_ = 0;
        transmitEnquiry();
        setState(LinkState::TimerRecovery, "T3 link check");
        return;
    case Ev::Frame: break;
    }
    const Ax25Frame& f = *e.frame;
    if (f.type == FrameType::I) {
        connectedIFrame(f, false);
        return;
    }
    if (!isSupervisory(f.type)) {
        connectedCommon(f);
        return;
    }
    peerBusy_ = f.type == FrameType::RNR;
    if (f.command && f.pf) enquiryResponse(true);
    if (!validNr(f.nr)) {
        establish(true, "N(R) error");
        return;
    }
    if (rejStorm(f)) return;
    if (f.type == FrameType::REJ) {
        framesAcked(f.nr);
        t1_.reset();
        t3_ = now_ + params_.t3Ms;
        requeue();
    } else {
        checkIFramesAcked(f.nr);
    }
    kick();
}

void Ax25Link::stateTimerRecovery(const Event& e) {
    switch (e.kind) {
    case Ev::Connect: return;
    case Ev::Disconnect: stateConnected(e); return;
    case Ev::T3: return;
    case Ev::T1:
        if (rc_ >= params_.n2) {
            sendU(FrameType::DM, false, false);
            linkDown(LinkEvent::LinkFailure, "N2 retries of poll");
            return;
        }
        ++rc_;
        backOff();
        user_.trace(addressText(me_) + " - " + addressText(peer_) + ": poll " + std::to_string(rc_) + " of " +
                    std::to_string(params_.n2) + ", T1 " + std::to_string(t1Ms()) + " ms");
        transmitEnquiry();
        return;
    case Ev::Frame: break;
    }
    const Ax25Frame& f = *e.frame;
    if (f.type == FrameType::I) {
        connectedIFrame(f, true);
        return;
    }
    if (!isSupervisory(f.type)) {
        connectedCommon(f);
        return;
    }
    peerBusy_ = f.type == FrameType::RNR;
    const bool answer = !f.command && f.pf;  // the answer to our poll
    if (f.command && f.pf) enquiryResponse(true);
    if (!validNr(f.nr)) {
        establish(true, "N(R) error");
        return;
    }
    if (rejStorm(f)) return;
    if (answer) {
        t1_.reset();
        rc_ = 0;
    }
    framesAcked(f.nr);
    if (unacked_.empty() && (answer || f.type != FrameType::REJ)) {
        // Everything is confirmed: the link works again.
        t1_.reset();
        rc_ = 0;
        t3_ = now_ + params_.t3Ms;
        setState(LinkState::Connected, answer ? "poll answered" : "all frames acknowledged");
        kick();
        return;
    }
    if (answer || f.type == FrameType::REJ) requeue();
    kick();
    if (!t1_) startT1();  // keep asking while frames are outstanding
}

// An I frame while the link is up (recovery: in timer recovery).
void Ax25Link::connectedIFrame(const Ax25Frame& f, bool recovery) {
    if (!f.command) return;  // I frames are always commands
    if (!validNr(f.nr)) {
        establish(true, "N(R) error");
        return;
    }
    if (recovery)
        framesAcked(f.nr);
    else
        checkIFramesAcked(f.nr);
    if (ownBusy_) {
        if (f.pf) enquiryResponse(true);
        return;
    }
    if (f.ns == vr_) {
        vr_ = (vr_ + 1) & 7;
        rejectSent_ = false;
        user_.received(f.info);
        if (f.pf) {
            enquiryResponse(true);
        } else {
            // T2 runs from the first frame not yet acknowledged: frames that
            // follow within it share one RR, and a slow trickle is still
            // acknowledged in time for the sender's T1.
            ackPending_ = true;
            if (!t2_) t2_ = now_ + params_.t2Ms;
        }
    } else if (rejectSent_) {
        if (f.pf) enquiryResponse(true);
    } else {
        rejectSent_ = true;
        sendS(FrameType::REJ, f.pf, false);
    }
    kick();
}

}  // namespace norva::kiss
