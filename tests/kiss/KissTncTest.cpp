// The KISS TNC's host-mode face: its replies byte for byte against the
// simulated firmware (tncsim) in the same situations, links between two
// KISS TNCs, hostile modem input, a vanished peer, a lost modem, and data
// through a lossy in-memory radio.
#include <gtest/gtest.h>

#include <sstream>

#include "KissRig.h"
#include "tncsim/HostFrame.h"
#include "tncsim/Radio.h"
#include "tncsim/SimTnc.h"

namespace norva::test {
namespace {

using kiss::KissSettings;
using kiss::LinkState;

KissSettings settings(const char* call, int channels = 4) {
    KissSettings s;
    s.myCall = call;
    s.channels = channels;
    s.frackMs = 1000;
    s.retries = 3;
    return s;
}

// Two firmware TNCs on the simulated radio, asked the same way.
struct SimPair {
    tncsim::Radio radio;
    tncsim::SimTnc& a;
    tncsim::SimTnc& b;
    std::uint64_t now = 1;
    explicit SimPair(int channelsB = 4)
        : a(radio.addTnc({.channels = 4, .call = "DA1AAA", .startInHostMode = true})),
          b(radio.addTnc({.channels = channelsB, .call = "DB1BBB", .startInHostMode = true})) {}
    std::string cmd(tncsim::SimTnc& t, int ch, std::string_view text) {
        return t.feed(tncsim::encodeHostFrame(static_cast<std::uint8_t>(ch), true, text), now);
    }
    std::string info(tncsim::SimTnc& t, int ch, std::string_view text) {
        return t.feed(tncsim::encodeHostFrame(static_cast<std::uint8_t>(ch), false, text), now);
    }
    void run(int ms) {
        now += static_cast<std::uint64_t>(ms);
        a.advance(now);
        b.advance(now);
    }
};

std::string show(const std::string& s) {
    std::string out;
    for (unsigned char c : s) {
        if (c >= 0x20 && c < 0x7F) {
            out.push_back(static_cast<char>(c));
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "<%02X>", c);
            out += buf;
        }
    }
    return out;
}

TEST(KissTncFace, CommandRepliesMatchTheFirmwareByteForByte) {
    SimPair sim;
    KissPair kiss(settings("DA1AAA"), settings("DB1BBB"));
    const std::pair<int, const char*> commands[] = {
        {0, "L"},      {1, "L"},         {0, "@B"},       {0, "I"},          {1, "I"},
        {1, "I db1bbb-3"}, {1, "I"},     {1, "I bad!call"}, {1, "C"},        {1, "D"},
        {0, "D"},      {0, "M"},         {0, "MUISC"},    {0, "M"},          {0, "MN"},
        {0, "JHOST"},  {0, "JHOST 1"},   {1, "G"},        {0, "G"},          {0, "C"},
        {0, "C DB0BCN"}, {0, "C"},       {0, "K"},        {0, "K 1"},        {0, "K"},
        {2, "@A"},     {9, "L"},         {255, "G"},      {255, "L"},        {0, " "},
        {1, "C DB1BBB"}, {1, "C DB2CCC"}, {1, "C"},
    };
    for (const auto& [ch, text] : commands) {
        SCOPED_TRACE(std::to_string(ch) + " " + text);
        EXPECT_EQ(show(cmd(*kiss.a, ch, text)), show(sim.cmd(sim.a, ch, text)));
    }
    EXPECT_EQ(show(ask(*kiss.a, 2, false, "hello")), show(sim.info(sim.a, 2, "hello")));
}

TEST(KissTncFace, OwnRepliesWhereFirmwareWordsThemSo) {
    KissPair p(settings("DA1AAA"));
    EXPECT_EQ(cmd(*p.a, 1, "Q"), std::string("\x01\x02INVALID COMMAND: Q\0", 21));
    EXPECT_EQ(cmd(*p.a, 0, "MX"), std::string("\x00\x02INVALID COMMAND: M\0", 21));
    EXPECT_EQ(cmd(*p.a, 1, "C DB1BBB V A B C D E F G H I"), std::string("\x01\x02TOO MANY DIGIPEATERS\0", 23));
    EXPECT_EQ(cmd(*p.a, 1, "O 9"), std::string("\x01\x00", 2));
    EXPECT_EQ(cmd(*p.a, 1, "O"), std::string("\x01\x01" "7\0", 4)) << "MaxFrame kept within 1..7";
    EXPECT_EQ(cmd(*p.a, 1, "F x"), std::string("\x01\x02INVALID VALUE\0", 16));
    EXPECT_EQ(p.a->params().k, 7);
    // TXDELAY goes to the modem as a KISS parameter frame at once.
    p.lineA->fromTnc.clear();
    EXPECT_EQ(cmd(*p.a, 0, "T 40"), std::string("\x00\x00", 2));
    EXPECT_NE(p.lineA->fromTnc.find(std::string("\xC0\x01\x28\xC0", 4)), std::string::npos);
}

// The replies a connect, data and a disconnect produce, against the firmware's.
TEST(KissTncFace, LinkStatusTextsMatchTheFirmware) {
    SimPair sim;
    KissPair kiss(settings("DA1AAA"), settings("DB1BBB"));
    auto both = [&](int ch, const char* text, bool onA) {
        return std::make_pair(show(cmd(onA ? *kiss.a : *kiss.b, ch, text)), show(sim.cmd(onA ? sim.a : sim.b, ch, text)));
    };
    EXPECT_EQ(cmd(*kiss.a, 1, "C DB1BBB"), sim.cmd(sim.a, 1, "C DB1BBB"));
    kiss.run(500);
    sim.run(1000);
    for (auto [ch, text, onA] : {std::tuple{1, "L", true}, {1, "G", true}, {1, "L", true}, {1, "G", false}}) {
        auto [k, s] = both(ch, text, onA);
        EXPECT_EQ(k, s) << text;
    }
    EXPECT_EQ(ask(*kiss.a, 1, false, "hello\r"), sim.info(sim.a, 1, "hello\r"));
    kiss.run(1000);
    sim.run(1000);
    auto [k, s] = both(1, "G", false);
    EXPECT_EQ(k, s);
    EXPECT_EQ(k, show(std::string("\x01\x07\x05hello\r")));
    EXPECT_EQ(cmd(*kiss.a, 1, "D"), sim.cmd(sim.a, 1, "D"));
    kiss.run(1000);
    sim.run(1000);
    for (bool onA : {true, false}) {
        auto [k2, s2] = both(1, "G", onA);
        EXPECT_EQ(k2, s2);
    }
    EXPECT_EQ(kiss.a->linkState(1), LinkState::Disconnected);
}

TEST(KissTncFace, BusyAndLinkFailureTextsMatchTheFirmware) {
    SimPair sim(1);
    KissPair kiss(settings("DA1AAA"), settings("DB1BBB", 1));
    cmd(*kiss.a, 1, "C DB1BBB");
    sim.cmd(sim.a, 1, "C DB1BBB");
    kiss.run(500);
    sim.run(1000);
    // B's only channel is taken: the second call (another SSID) is turned away.
    for (const char* c : {"I DA1AAA-2", "C DB1BBB"}) {
        cmd(*kiss.a, 2, c);
        sim.cmd(sim.a, 2, c);
    }
    kiss.run(500);
    sim.run(1000);
    EXPECT_EQ(show(cmd(*kiss.a, 2, "G")), show(sim.cmd(sim.a, 2, "G")));
    EXPECT_EQ(show(cmd(*kiss.b, 0, "G")), show(std::string("\x00\x03(0) CONNECT REQUEST fm DA1AAA-2\0", 34)));
    // Nobody answers: N2 retries, then the failure.
    cmd(*kiss.a, 3, "C NOBODY");
    sim.cmd(sim.a, 3, "C NOBODY");
    kiss.run(30000, 50);
    sim.run(3000);
    EXPECT_EQ(show(cmd(*kiss.a, 3, "G")), show(sim.cmd(sim.a, 3, "G")));
}

TEST(KissTncFace, MonitorShowsUiFramesAsTheFirmwareDoes) {
    SimPair sim;
    KissPair kiss(settings("DA1AAA"), settings("DB1BBB"));
    for (auto* t : {kiss.b.get()}) cmd(*t, 0, "MUISC");
    sim.cmd(sim.b, 0, "MUISC");
    EXPECT_EQ(ask(*kiss.a, 0, false, "beacon text"), sim.info(sim.a, 0, "beacon text"));
    kiss.air();
    sim.run(10);
    EXPECT_EQ(show(cmd(*kiss.b, 255, "G")), show(sim.cmd(sim.b, 255, "G")));
    for (int i = 0; i < 3; ++i) EXPECT_EQ(show(cmd(*kiss.b, 0, "G")), show(sim.cmd(sim.b, 0, "G"))) << i;
    cmd(*kiss.b, 0, "MI");
    ask(*kiss.a, 0, false, "not shown");
    kiss.air();
    EXPECT_EQ(cmd(*kiss.b, 0, "G"), std::string("\x00\x00", 2)) << "UI frames filtered out";
}

TEST(KissTncFace, IncomingCallsTakeTheFirstFreeChannelWithTheirPath) {
    KissPair p(settings("DA1AAA"), settings("DB1BBB"));
    cmd(*p.a, 1, "C DB1BBB");
    p.run(200);
    cmd(*p.a, 2, "I DA1AAA-2");
    cmd(*p.a, 2, "C DB1BBB");
    p.run(200);
    EXPECT_EQ(cmd(*p.b, 1, "G"), std::string("\x01\x03(1) CONNECTED to DA1AAA\0", 26));
    EXPECT_EQ(cmd(*p.b, 2, "G"), std::string("\x02\x03(2) CONNECTED to DA1AAA-2\0", 28));
    EXPECT_EQ(cmd(*p.b, 1, "L"), std::string("\x01\x01" "0 0 0 0 0 4\0", 14));
    // Y caps the links callers may open: the next caller is turned away.
    cmd(*p.b, 0, "Y 2");
    cmd(*p.a, 3, "I DA1AAA-3");
    cmd(*p.a, 3, "C DB1BBB");
    p.run(200);
    EXPECT_EQ(cmd(*p.a, 3, "G"), std::string("\x03\x03(3) BUSY fm DB1BBB\0", 21));
    EXPECT_EQ(p.b->counters().refused, 1u);
}

TEST(KissTncFace, DigipeaterPathIsUsedAndReportedBackwards) {
    KissPair p(settings("DA1AAA"), settings("DB1BBB"));
    cmd(*p.a, 1, "C DB1BBB via DB0XX DB0YY");
    p.a->service();
    const auto sabm = sentFrames(*p.lineA);
    ASSERT_EQ(sabm.size(), 1u);
    ASSERT_EQ(sabm[0].digis.size(), 2u);
    EXPECT_EQ(kiss::addressText(sabm[0].digis[1]), "DB0YY");
    // The digipeaters repeat it: B hears it with both H bits set.
    kiss::Ax25Frame repeated = sabm[0];
    for (auto& d : repeated.digis) d.bit = true;
    p.lineB->toTnc += kiss::encodeKiss(0, kiss::KissCommand::Data, kiss::encodeAx25(repeated));
    p.b->service();
    const auto ua = sentFrames(*p.lineB);
    ASSERT_EQ(ua.size(), 1u);
    EXPECT_EQ(kiss::monitorHeader(ua[0]), "fm DB1BBB to DA1AAA via DB0YY DB0XX ctl UA-");
    EXPECT_EQ(cmd(*p.b, 1, "G"), std::string("\x01\x03(1) CONNECTED to DA1AAA via DB0YY DB0XX\0", 42));
    // Not yet repeated by the digipeaters: not for B.
    p.lineB->toTnc += kiss::encodeKiss(0, kiss::KissCommand::Data, kiss::encodeAx25(sabm[0]));
    p.b->service();
    EXPECT_TRUE(sentFrames(*p.lineB).empty());
}

TEST(KissTncFace, AFullReceiveQueueHoldsThePeerWithRnrUntilTheEngineReads) {
    KissSettings sa = settings("DA1AAA");
    sa.maxFrame = 7;
    KissSettings sb = settings("DB1BBB");
    sb.traceFrames = true;
    KissPair p(sa, sb);
    cmd(*p.a, 1, "C DB1BBB");
    p.run(200);
    cmd(*p.a, 1, "G");
    cmd(*p.b, 1, "G");
    for (int i = 0; i < 260; ++i) ask(*p.a, 1, false, "x" + std::to_string(i));
    p.run(20000);
    // B stopped the flow: it holds what the engine has not read, no more.
    const std::size_t held = p.b->pendingItems(1);
    EXPECT_GT(held, 200u);
    EXPECT_LT(held, 200u + 8u);
    const auto sentRnr = [&] {
        for (const auto& t : p.traces)
            if (t.find("sent fm DB1BBB to DA1AAA ctl RNR") != std::string::npos) return true;
        return false;
    };
    EXPECT_TRUE(sentRnr());
    const auto l = cmd(*p.a, 1, "L");
    EXPECT_NE(l.find(" 4"), std::string::npos) << "the link stays up while the peer is busy";
    std::string want;
    for (int i = 0; i < 260; ++i) want += "x" + std::to_string(i) + ",";
    std::string got;
    for (int round = 0; round < 200 && got.size() < want.size(); ++round) {
        for (std::string r = cmd(*p.b, 1, "G"); r.size() > 2; r = cmd(*p.b, 1, "G"))
            if (r[1] == 7) got += r.substr(3) + ",";
        p.run(200);
    }
    EXPECT_EQ(got, want) << "every piece once, in order, after the busy spell";
}

TEST(KissTncFace, ClosingTheTncTellsConnectedPeers) {
    KissPair p(settings("DA1AAA"), settings("DB1BBB"));
    cmd(*p.a, 1, "C DB1BBB");
    p.run(200);
    cmd(*p.b, 1, "G");
    p.a.reset();  // the program ends
    p.lineB->toTnc += p.lineA->fromTnc;
    p.b->service();
    EXPECT_EQ(cmd(*p.b, 1, "G"), std::string("\x01\x03(1) DISCONNECTED fm DA1AAA\0", 29));
}

TEST(KissTncFace, HostileModemInputIsCountedAndTheTncKeepsAnswering) {
    KissPair p(settings("DA1AAA"));
    std::string junk = "\x01\x02garbage";
    kiss::Ax25Frame ui;
    ui.dest = *kiss::parseAddress("DA1AAA");
    ui.src = *kiss::parseAddress("DB1BBB");
    ui.type = kiss::FrameType::UI;
    std::string many = kiss::encodeAx25(ui).substr(0, 14);
    many[13] = static_cast<char>(many[13] & ~1);
    for (int i = 0; i < 100; ++i) many += std::string("\x88\x84\x60\xB0\xB0\x40", 6) + (i == 99 ? '\x61' : '\x60');
    many += "\x03\xF0";
    std::string badSsid = kiss::encodeAx25(ui);
    badSsid[2] |= 1;
    junk += kiss::encodeKiss(0, kiss::KissCommand::Data, many);
    junk += kiss::encodeKiss(0, kiss::KissCommand::Data, badSsid);
    junk += kiss::encodeKiss(0, kiss::KissCommand::Data, std::string(4000, 'x'));
    junk += kiss::encodeKiss(5, kiss::KissCommand::Data, kiss::encodeAx25(ui));
    junk += std::string("\xC0\x00\xDB", 3);  // an escape at the very end of the buffer
    p.lineA->toTnc = junk;
    EXPECT_EQ(cmd(*p.a, 0, "L"), std::string("\x00\x01" "0 0\0", 6));
    p.lineA->toTnc = std::string("\xDC", 1) + "\xC0";  // ... completed by the next read
    p.a->service();
    EXPECT_EQ(p.a->counters().tooManyDigis, 1u);
    EXPECT_EQ(p.a->counters().badCallsigns, 1u);
    EXPECT_EQ(p.a->modem().kissCounters().oversize, 1u);
    EXPECT_EQ(p.a->modem().otherPort(), 1u);
    EXPECT_EQ(p.a->counters().badFrames, 3u) << "the frame ending in the escape is one byte: too short";
}

TEST(KissTncFace, VanishedPeerEndsInLinkFailureAfterN2) {
    KissPair p(settings("DA1AAA"), settings("DB1BBB"));
    cmd(*p.a, 1, "C DB1BBB");
    p.run(200);
    cmd(*p.a, 1, "G");
    p.bOnAir = false;
    ask(*p.a, 1, false, "anyone there?");
    p.run(60000, 50);
    EXPECT_EQ(cmd(*p.a, 1, "G"), std::string("\x01\x03(1) LINK FAILURE with DB1BBB\0", 31));
    bool traced = false;
    for (const auto& t : p.traces) traced |= t.find("timer recovery -> disconnected (N2 retries of poll)") != std::string::npos;
    EXPECT_TRUE(traced);
}

TEST(KissTncFace, LostModemIsReopenedWithGrowingPauses) {
    KissPair p(settings("DA1AAA"));
    EXPECT_EQ(p.lineA->opens, 1);
    p.lineA->fromTnc.clear();
    p.lineA->broken = true;
    p.lineA->refuseOpen = true;
    p.a->service();
    EXPECT_EQ(p.a->fd(), -1);
    EXPECT_EQ(cmd(*p.a, 0, "L"), std::string("\x00\x01" "0 0\0", 6)) << "the engine still gets its answers";
    p.clock.advanceMs(1000);
    p.a->service();  // refused: next try after 2 s
    p.clock.advanceMs(1500);
    p.lineA->refuseOpen = false;
    p.a->service();
    EXPECT_EQ(p.lineA->opens, 1);
    p.clock.advanceMs(500);
    p.a->service();
    EXPECT_EQ(p.lineA->opens, 2);
    EXPECT_EQ(p.lineA->fromTnc, kiss::kissParameterFrames(settings("DA1AAA"))) << "parameters sent again";
}

// The six numbers of an "L" reply.
std::vector<int> linkStatus(const std::string& reply) {
    std::vector<int> v;
    std::istringstream in(reply.substr(2, reply.size() - 3));
    for (int n; in >> n;) v.push_back(n);
    return v;
}

TEST(KissTncFace, DataCrossesALossyRadioWhole) {
    for (auto [loss, k, seed] : {std::tuple{10, 4, 1u}, {30, 4, 2u}, {30, 7, 3u}, {30, 7, 4u}, {30, 7, 5u}, {30, 7, 6u}}) {
        SCOPED_TRACE(std::to_string(loss) + " % loss, k=" + std::to_string(k) + ", seed " + std::to_string(seed));
        KissSettings sa = settings("DA1AAA");
        sa.retries = 20;
        sa.maxFrame = k;
        sa.t2Ms = 50;
        KissSettings sb = settings("DB1BBB");
        sb.retries = 20;
        sb.t2Ms = 50;
        KissPair p(sa, sb);
        p.rng.seed(seed);
        p.lossPercent = loss;
        p.dupPercent = 3;
        cmd(*p.a, 1, "C DB1BBB");
        std::string data(20000, '\0');
        for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
        std::size_t sent = 0;
        std::string got;
        for (int step = 0; step < 100000 && got.size() < data.size(); ++step) {
            if (p.a->linkState(1) == LinkState::Disconnected && sent > 0) break;
            const auto l = linkStatus(cmd(*p.a, 1, "L"));
            if (sent < data.size() && l.size() == 6 && l[5] == 4 && l[2] < 4) {
                ask(*p.a, 1, false, std::string_view(data).substr(sent, 200));
                sent = std::min(data.size(), sent + 200);
            }
            for (std::string r = cmd(*p.b, 1, "G"); r.size() > 2; r = cmd(*p.b, 1, "G"))
                if (r[1] == 7) got += r.substr(3);
            p.clock.advanceMs(10);
            p.air();
        }
        EXPECT_EQ(got.size(), data.size());
        EXPECT_TRUE(got == data);
        if (got != data) {
            std::string all;
            for (auto& t : p.traces) all += t + "\n";
            std::fprintf(stderr, "%s\n", all.substr(all.size() > 3000 ? all.size() - 3000 : 0).c_str());
        }
        EXPECT_GT(p.lost, 10u);
    }
}

}  // namespace
}  // namespace norva::test

namespace norva::test {
namespace {

TEST(KissPortName, DevicesAndTcpModemsAreTold) {
    struct Case {
        const char* name;
        bool ok;
        bool tcp;
        const char* where;  // device or host
        int port;
    } cases[] = {
        {"kiss:/dev/ttyUSB0", true, false, "/dev/ttyUSB0", 8001},
        {"KISS:/dev/serial/by-id/Nino-TNC", true, false, "/dev/serial/by-id/Nino-TNC", 8001},
        {"kiss:tcp:localhost:8100", true, true, "localhost", 8100},
        {"kiss:TCP:direwolf.local", true, true, "direwolf.local", 8001},
        {"kiss:tcp:[::1]:8002", true, true, "::1", 8002},
        {"kiss:tcp:[::1]", true, true, "::1", 8001},
        {"kiss:tcp:host:", false, false, "", 0},
        {"kiss:tcp:host:0", false, false, "", 0},
        {"kiss:tcp:host:65536", false, false, "", 0},
        {"kiss:tcp:host:80x", false, false, "", 0},
        {"kiss:tcp::8001", false, false, "", 0},
        {"kiss:tcp:[::1", false, false, "", 0},
        {"kiss:", false, false, "", 0},
        {"tcp:host:8001", false, false, "", 0},
        {"/dev/ttyS0", false, false, "", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(kiss::isKissPortName(c.name), std::string_view(c.name).size() >= 5 &&
                                                    (c.name[0] == 'k' || c.name[0] == 'K'));
        const auto t = kiss::parseKissPortName(c.name);
        ASSERT_EQ(t.has_value(), c.ok);
        if (!c.ok) continue;
        EXPECT_EQ(t->tcp, c.tcp);
        EXPECT_EQ(c.tcp ? t->host : t->device, c.where);
        if (c.tcp) {
            EXPECT_EQ(t->port, c.port);
        }
    }
    ManualClock clock;
    std::string error;
    EXPECT_FALSE(kiss::openKissTnc("kiss:tcp:host:0", 9600, {}, clock, &error));
    EXPECT_EQ(error, "bad KISS port name kiss:tcp:host:0");
    EXPECT_FALSE(kiss::openKissTnc("kiss:/dev/norva-no-such-tty", 9600, {}, clock, &error));
    EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace norva::test
