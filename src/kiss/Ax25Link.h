// One AX.25 2.0 connection (modulo 8), written state by state: disconnected,
// awaiting connection, awaiting release, connected, timer recovery. Each
// state has one function that handles every event; every change of state
// goes through setState(), which reports it to the trace. Time comes in with
// each call, so the link runs on its owner's loop and tests need no sleeps.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kiss/Ax25Frame.h"

namespace norva::kiss {

enum class LinkState { Disconnected, AwaitingConnection, AwaitingRelease, Connected, TimerRecovery };
const char* linkStateName(LinkState s);

struct LinkParams {
    int k = 4;             // window, MaxFrame 1..7
    int n2 = 10;           // retries
    int frackMs = 3000;    // T1 before any round trip was measured (per hop)
    int t2Ms = 200;        // delay before an acknowledgement goes out alone
    int t3Ms = 180000;     // idle link check
    int minT1Ms = 300;
    int maxT1Ms = 30000;
    int paclen = 256;      // largest info field sent
};

// What the link reports to its owner.
enum class LinkEvent { Connected, Disconnected, LinkFailure, Busy };

class LinkUser {
public:
    virtual ~LinkUser() = default;
    virtual void transmit(const Ax25Frame& frame) = 0;
    virtual void linkEvent(LinkEvent event) = 0;
    virtual void received(std::string_view info) = 0;
    virtual void trace(std::string_view line) = 0;
};

class Ax25Link {
public:
    Ax25Link(LinkUser& user, LinkParams params) : user_(user), params_(params) {}

    // Our address, the peer's, and the digipeaters in the order our frames use them.
    void setAddresses(Ax25Address me, Ax25Address peer, std::vector<Ax25Address> via);
    void setParams(const LinkParams& p) { params_ = p; }

    // Requests of the layer above.
    void connect(std::int64_t nowMs);
    void disconnect(std::int64_t nowMs);
    // Queues data, cut into paclen pieces; sent as the window allows.
    void send(std::string_view data, std::int64_t nowMs);
    // Our receive side is full (RNR) or has room again (RR).
    void setOwnBusy(bool busy, std::int64_t nowMs);
    // A SABM for us that the owner accepted on this (disconnected) link.
    void acceptConnect(const Ax25Frame& sabm, std::int64_t nowMs);

    // A frame from the peer (already matched to this link by its addresses).
    void receive(const Ax25Frame& frame, std::int64_t nowMs);
    // Runs the timers that are due.
    void tick(std::int64_t nowMs);
    std::optional<std::int64_t> nextDeadline() const;

    LinkState state() const { return state_; }
    const Ax25Address& me() const { return me_; }
    const Ax25Address& peer() const { return peer_; }
    const std::vector<Ax25Address>& via() const { return via_; }
    std::size_t unsent() const { return pending_.size(); }
    std::size_t unacked() const { return unacked_.size(); }
    int tries() const { return rc_; }
    int srttMs() const { return srtt_; }
    int t1Ms() const;

private:
    enum class Ev { Connect, Disconnect, Frame, T1, T3 };
    struct Event {
        Ev kind;
        const Ax25Frame* frame = nullptr;
    };

    // One function per state.
    void stateDisconnected(const Event& e);
    void stateAwaitingConnection(const Event& e);
    void stateAwaitingRelease(const Event& e);
    void stateConnected(const Event& e);
    void stateTimerRecovery(const Event& e);
    void dispatch(const Event& e);
    void setState(LinkState s, std::string_view why);

    // Shared steps of the states.
    void connectedIFrame(const Ax25Frame& f, bool recovery);
    void connectedCommon(const Ax25Frame& f);  // SABM, DISC, DM, UA, FRMR in both link-up states
    void establish(bool reset, std::string_view why);
    void linkUp();
    void linkDown(LinkEvent event, std::string_view why);
    void sendU(FrameType t, bool pf, bool command);
    void sendS(FrameType t, bool pf, bool command);
    void enquiryResponse(bool f);
    void transmitEnquiry();
    void kick();
    bool validNr(int nr) const;
    void framesAcked(int nr);
    void checkIFramesAcked(int nr);
    void requeue();
    bool rejStorm(const Ax25Frame& f);
    void startT1();
    void measureRtt(int ns);
    void backOff();
    void clearQueues();
    Ax25Frame frame(FrameType t, bool command, bool pf) const;

    LinkUser& user_;
    LinkParams params_;
    LinkState state_ = LinkState::Disconnected;
    Ax25Address me_;
    Ax25Address peer_;
    std::vector<Ax25Address> via_;
    std::int64_t now_ = 0;

    int vs_ = 0;
    int vr_ = 0;
    int va_ = 0;
    int rc_ = 0;
    bool peerBusy_ = false;
    bool ownBusy_ = false;
    bool rejectSent_ = false;
    bool ackPending_ = false;
    bool resetting_ = false;   // re-establishing a link that was up
    int rejWithoutProgress_ = 0;  // REJs in a row that confirmed nothing
    int srtt_ = 0;             // 0: not measured yet
    std::optional<std::int64_t> t1_;
    std::optional<std::int64_t> t2_;
    std::optional<std::int64_t> t3_;
    std::array<std::int64_t, 8> sentAt_{};  // when the frame numbered N(S) last went out
    std::array<bool, 8> resent_{};          // ... and whether that was a repetition
    std::deque<std::string> pending_;  // never sent
    std::deque<std::string> unacked_;  // sent at least once, from V(A) on
};

}  // namespace norva::kiss
