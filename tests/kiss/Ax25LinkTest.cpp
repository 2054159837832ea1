// The AX.25 link state by state: a table of (state, event) -> (frames sent,
// new state, events reported), then the window, acknowledgement timing,
// round-trip estimate and the faults (silent peer, REJ storm, N(R) errors).
#include <gtest/gtest.h>

#include <functional>

#include "kiss/Ax25Link.h"

namespace norva::kiss {
namespace {

LinkParams testParams() {
    LinkParams p;
    p.k = 4;
    p.n2 = 3;
    p.frackMs = 1000;
    p.t2Ms = 100;
    p.t3Ms = 60000;
    p.minT1Ms = 100;
    return p;
}

// Records what the link does; frames are noted by their control text ("SABM+", "I00^").
struct Rig : LinkUser {
    std::vector<Ax25Frame> sent;
    std::vector<LinkEvent> events;
    std::string data;
    std::vector<std::string> traces;
    std::int64_t now = 10000;
    Ax25Link link{*this, testParams()};

    Rig() { link.setAddresses(*parseAddress("DA1AAA"), *parseAddress("DB1BBB"), {}); }
    void transmit(const Ax25Frame& f) override { sent.push_back(f); }
    void linkEvent(LinkEvent e) override { events.push_back(e); }
    void received(std::string_view info) override { data += info; }
    void trace(std::string_view l) override { traces.emplace_back(l); }

    // Control texts of the frames sent since the last call.
    std::string frames() {
        std::string out;
        for (const auto& f : sent) {
            const std::string h = monitorHeader(f);
            const auto at = h.find(" ctl ") + 5;
            out += (out.empty() ? "" : " ") + h.substr(at, h.find(' ', at) - at);
        }
        sent.clear();
        return out;
    }
    void in(FrameType t, bool command, bool pf, int nr = 0, int ns = 0, std::string info = {}) {
        Ax25Frame f;
        f.dest = *parseAddress("DA1AAA");
        f.src = *parseAddress("DB1BBB");
        f.type = t;
        f.command = command;
        f.pf = pf;
        f.nr = nr;
        f.ns = ns;
        f.info = std::move(info);
        link.receive(f, now);
    }
    void advance(std::int64_t ms) {
        const std::int64_t end = now + ms;
        while (auto d = link.nextDeadline()) {
            if (*d > end) break;
            now = std::max(now, *d);
            link.tick(now);
        }
        now = end;
        link.tick(now);
    }
    void expireT1() { advance(link.t1Ms()); }
    void send(std::string s) { link.send(s, now); }

    // Brings the link into a state by the ordinary road.
    void reach(LinkState s) {
        if (s == LinkState::Disconnected) return;
        link.connect(now);
        if (s != LinkState::AwaitingConnection) in(FrameType::UA, false, true);
        if (s == LinkState::AwaitingRelease) link.disconnect(now);
        if (s == LinkState::TimerRecovery) {
            send("x");
            expireT1();
        }
        frames();
        events.clear();
        ASSERT_EQ(link.state(), s);
    }
};

using S = LinkState;
using E = LinkEvent;

struct Case {
    const char* name;
    S start;
    std::function<void(Rig&)> act;
    const char* frames;
    S end;
    std::vector<E> events;
};

TEST(Ax25Link, EachStateHandlesEachEvent) {
    const Case cases[] = {
        {"connect request", S::Disconnected, [](Rig& r) { r.link.connect(r.now); }, "SABM+", S::AwaitingConnection, {}},
        {"UA with F", S::AwaitingConnection, [](Rig& r) { r.in(FrameType::UA, false, true); }, "", S::Connected,
         {E::Connected}},
        {"UA without F is no answer", S::AwaitingConnection, [](Rig& r) { r.in(FrameType::UA, false, false); }, "",
         S::AwaitingConnection, {}},
        {"DM: busy", S::AwaitingConnection, [](Rig& r) { r.in(FrameType::DM, false, true); }, "", S::Disconnected,
         {E::Busy}},
        {"T1 repeats SABM", S::AwaitingConnection, [](Rig& r) { r.expireT1(); }, "SABM+", S::AwaitingConnection, {}},
        {"N2 x T1: link failure", S::AwaitingConnection, [](Rig& r) { r.advance(600000); }, "SABM+ SABM+ SABM+",
         S::Disconnected, {E::LinkFailure}},
        {"SABM collision", S::AwaitingConnection, [](Rig& r) { r.in(FrameType::SABM, true, true); }, "UA-",
         S::AwaitingConnection, {}},
        {"DISC while calling", S::AwaitingConnection, [](Rig& r) { r.in(FrameType::DISC, true, true); }, "DM-",
         S::AwaitingConnection, {}},
        {"disconnect while calling", S::AwaitingConnection, [](Rig& r) { r.link.disconnect(r.now); }, "",
         S::Disconnected, {E::Disconnected}},
        {"DISC from peer", S::Connected, [](Rig& r) { r.in(FrameType::DISC, true, true); }, "UA-", S::Disconnected,
         {E::Disconnected}},
        {"DM from peer", S::Connected, [](Rig& r) { r.in(FrameType::DM, false, false); }, "", S::Disconnected,
         {E::Disconnected}},
        {"SABM: peer reset", S::Connected, [](Rig& r) { r.in(FrameType::SABM, true, true); }, "UA-", S::Connected, {}},
        {"FRMR: link reset", S::Connected, [](Rig& r) { r.in(FrameType::FRMR, false, false); }, "SABM+",
         S::AwaitingConnection, {}},
        {"I in sequence, ack after T2", S::Connected,
         [](Rig& r) {
             r.in(FrameType::I, true, false, 0, 0, "hello");
             EXPECT_EQ(r.frames(), "");
             r.advance(100);
             EXPECT_EQ(r.data, "hello");
         },
         "RR1v", S::Connected, {}},
        {"I with P answered at once", S::Connected, [](Rig& r) { r.in(FrameType::I, true, true, 0, 0, "x"); }, "RR1-",
         S::Connected, {}},
        {"I out of sequence: one REJ", S::Connected,
         [](Rig& r) {
             r.in(FrameType::I, true, false, 0, 1, "b");
             r.in(FrameType::I, true, false, 0, 2, "c");
             EXPECT_EQ(r.data, "");
         },
         "REJ0v", S::Connected, {}},
        {"RR poll answered", S::Connected, [](Rig& r) { r.in(FrameType::RR, true, true); }, "RR0-", S::Connected, {}},
        {"disconnect request", S::Connected, [](Rig& r) { r.link.disconnect(r.now); }, "DISC+", S::AwaitingRelease,
         {}},
        {"T3 link check", S::Connected, [](Rig& r) { r.advance(60000); }, "RR0+", S::TimerRecovery, {}},
        {"T1 with data outstanding", S::Connected,
         [](Rig& r) {
             r.send("x");
             r.expireT1();
         },
         "I00^ RR0+", S::TimerRecovery, {}},
        {"N(R) error resets the link", S::Connected, [](Rig& r) { r.in(FrameType::RR, false, false, 3); }, "SABM+",
         S::AwaitingConnection, {}},
        {"poll answered, frame repeated", S::TimerRecovery, [](Rig& r) { r.in(FrameType::RR, false, true, 0); },
         "I00^", S::TimerRecovery, {}},
        {"poll answered, all confirmed", S::TimerRecovery, [](Rig& r) { r.in(FrameType::RR, false, true, 1); }, "",
         S::Connected, {}},
        {"N2 polls: link failure", S::TimerRecovery, [](Rig& r) { r.advance(600000); }, "RR0+ RR0+ DMv",
         S::Disconnected, {E::LinkFailure}},
        {"DISC in recovery", S::TimerRecovery, [](Rig& r) { r.in(FrameType::DISC, true, true); }, "UA-",
         S::Disconnected, {E::Disconnected}},
        {"UA ends the release", S::AwaitingRelease, [](Rig& r) { r.in(FrameType::UA, false, true); }, "",
         S::Disconnected, {E::Disconnected}},
        {"DM ends the release", S::AwaitingRelease, [](Rig& r) { r.in(FrameType::DM, false, false); }, "",
         S::Disconnected, {E::Disconnected}},
        {"T1 repeats DISC, N2 ends", S::AwaitingRelease, [](Rig& r) { r.advance(600000); }, "DISC+ DISC+ DISC+",
         S::Disconnected, {E::Disconnected}},
        {"I with P while releasing", S::AwaitingRelease, [](Rig& r) { r.in(FrameType::I, true, true, 0, 0, "x"); },
         "DM-", S::AwaitingRelease, {}},
        {"DISC crossing ours", S::AwaitingRelease, [](Rig& r) { r.in(FrameType::DISC, true, true); }, "UA-",
         S::AwaitingRelease, {}},
        {"SABM while releasing", S::AwaitingRelease, [](Rig& r) { r.in(FrameType::SABM, true, true); }, "DM-",
         S::AwaitingRelease, {}},
        {"second disconnect request", S::AwaitingRelease, [](Rig& r) { r.link.disconnect(r.now); }, "",
         S::Disconnected, {E::Disconnected}},
        {"frames on a free link are the owner's", S::Disconnected, [](Rig& r) { r.in(FrameType::I, true, true); }, "",
         S::Disconnected, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig r;
        r.reach(c.start);
        c.act(r);
        EXPECT_EQ(r.frames(), c.frames);
        EXPECT_EQ(r.link.state(), c.end);
        EXPECT_EQ(r.events, c.events);
    }
}

TEST(Ax25Link, WindowLimitsFramesInFlightAndAcksOpenIt) {
    Rig r;
    r.reach(S::Connected);
    for (int i = 0; i < 6; ++i) r.send(std::string(1, static_cast<char>('a' + i)));
    EXPECT_EQ(r.frames(), "I00^ I01^ I02^ I03^");
    EXPECT_EQ(r.link.unacked(), 4u);
    EXPECT_EQ(r.link.unsent(), 2u);
    r.in(FrameType::RR, false, false, 2);
    EXPECT_EQ(r.frames(), "I04^ I05^");
    r.in(FrameType::RR, false, false, 6);
    EXPECT_EQ(r.link.unacked(), 0u);
    EXPECT_FALSE(r.link.nextDeadline() < std::optional<std::int64_t>(r.now + 60000)) << "only T3 runs";
}

TEST(Ax25Link, RejRepeatsFromItsNumberAndRnrHoldsTheSender) {
    Rig r;
    r.reach(S::Connected);
    r.send("abc");
    r.link.setParams([] { auto p = testParams(); p.paclen = 1; return p; }());
    r.send("defg");
    EXPECT_EQ(r.frames(), "I00^ I01^ I02^ I03^");
    r.in(FrameType::REJ, false, false, 2);
    EXPECT_EQ(r.frames(), "I02^ I03^ I04^");
    r.in(FrameType::RNR, false, false, 4);
    r.expireT1();
    EXPECT_EQ(r.frames(), "RR0+") << "a busy peer is polled, not sent to";
    r.in(FrameType::RR, false, true, 5);
    EXPECT_EQ(r.link.state(), S::Connected);
    r.send("h");
    EXPECT_EQ(r.frames(), "I05^");
}

TEST(Ax25Link, BurstIsAcknowledgedOnceAndAnswersCarryTheAck) {
    Rig r;
    r.reach(S::Connected);
    r.in(FrameType::I, true, false, 0, 0, "a");
    r.advance(40);
    r.in(FrameType::I, true, false, 0, 1, "b");
    r.advance(40);
    r.in(FrameType::I, true, false, 0, 2, "c");
    r.advance(19);
    EXPECT_EQ(r.frames(), "");
    r.advance(1);
    EXPECT_EQ(r.frames(), "RR3v") << "T2 counts from the first frame";
    r.in(FrameType::I, true, false, 0, 3, "d");
    r.advance(100);
    EXPECT_EQ(r.frames(), "RR4v");
    r.in(FrameType::I, true, false, 0, 4, "e");
    r.send("reply");
    r.advance(200);
    EXPECT_EQ(r.frames(), "I50^") << "the I frame acknowledges, no RR follows";
    EXPECT_EQ(r.data, "abcde");
}

TEST(Ax25Link, RoundTripEstimateSetsT1) {
    Rig r;
    r.reach(S::Connected);
    EXPECT_EQ(r.link.t1Ms(), 1000) << "FRACK until a round trip is known";
    r.send("x");
    r.advance(400);
    r.in(FrameType::RR, false, false, 1);
    EXPECT_EQ(r.link.srttMs(), 400);
    EXPECT_EQ(r.link.t1Ms(), 800);
    r.send("y");
    r.advance(200);
    r.in(FrameType::RR, false, false, 2);
    EXPECT_EQ(r.link.srttMs(), (7 * 400 + 200) / 8);
    // Digipeaters lengthen the guess: one hop there and back per digipeater.
    Rig d;
    d.link.setAddresses(*parseAddress("DA1AAA"), *parseAddress("DB1BBB"), {*parseAddress("DB0XX")});
    EXPECT_EQ(d.link.t1Ms(), 3000);
}

TEST(Ax25Link, ResetAfterFrmrResendsUnconfirmedDataWithoutANewConnectEvent) {
    Rig r;
    r.reach(S::Connected);
    r.send("keep");
    r.frames();
    r.in(FrameType::FRMR, false, false);
    EXPECT_EQ(r.frames(), "SABM+");
    r.in(FrameType::UA, false, true);
    EXPECT_EQ(r.frames(), "I00^");
    EXPECT_TRUE(r.events.empty());
}

TEST(Ax25Link, PeerThatRejectsEverythingEndsInLinkFailure) {
    Rig r;
    r.reach(S::Connected);
    r.send("doomed");
    for (int i = 0; i < 10 && r.link.state() != S::Disconnected; ++i) r.in(FrameType::REJ, false, false, 0);
    EXPECT_EQ(r.link.state(), S::Disconnected);
    EXPECT_EQ(r.events, std::vector<E>{E::LinkFailure});
    bool traced = false;
    for (const auto& t : r.traces) traced |= t.find("REJ") != std::string::npos;
    EXPECT_TRUE(traced);
}

TEST(Ax25Link, EveryStateChangeIsTraced) {
    Rig r;
    r.link.connect(r.now);
    r.in(FrameType::UA, false, true);
    ASSERT_EQ(r.traces.size(), 2u);
    EXPECT_EQ(r.traces[0], "DA1AAA - DB1BBB: disconnected -> awaiting connection (connect request)");
    EXPECT_EQ(r.traces[1], "DA1AAA - DB1BBB: awaiting connection -> connected (link up)");
}

}  // namespace
}  // namespace norva::kiss
