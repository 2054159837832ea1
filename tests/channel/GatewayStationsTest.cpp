// The gateway between real engines on the simulated radio: station A calls
// the gateway station B on its 2 m TNC, asks for B's 70 cm TNC with
// "//connect", and reaches the test station C on the other band through it.
// Text crosses both ways; C leaving puts A back at the gateway, and A
// leaving ends the onward link as well.
#include <gtest/gtest.h>

#include "StationRig.h"
#include "tncsim/SimStation.h"

namespace norva::test {
namespace {

using tncsim::SimTnc;

// B: one engine with two TNCs, each on its own pty.
void startTwoTncStation(Station& s, const std::string& port1, const std::string& port2) {
    auto tnc = [](int n, const std::string& name, const std::string& port, const std::string& call,
                  const std::string& qrg) {
        return "[" + std::to_string(n) + "]\r\nTncName=" + name + "\r\nChannels=4\r\nComPort=" + port +
               "\r\nConnected=1\r\nDelayTime=25\r\nMyCall=" + call + "\r\nQrg=" + qrg + "\r\n";
    };
    s.dir.write("norva.ini", "[Tnc]\r\n1=1\r\n2=1\r\n" + tnc(1, "Kurz", port1, "DB0GW", "144.800") +
                                 tnc(2, "Lang", port2, "DB0GX", "438.425"));
    s.profile = std::make_unique<Profile>(s.dir.path() / "norva.ini");
    EngineConfig config;
    config.programDir = s.dir.path();
    config.openStream = openStreamByName;
    s.engine = std::make_unique<Engine>(config, *s.profile, s.ui, s.clock);
    s.engine->start();
    s.console = std::make_unique<HeadlessConsole>(*s.engine, s.err);
}

bool bothOpen(Station& s) {
    return s.engine->call([&s] {
        for (int n : {1, 2}) {
            CTnc* t = s.engine->hostMode().tnc(n);
            if (!t || !t->isOpen() || t->outOfSync()) return false;
        }
        return true;
    });
}

// The gateway slot of a channel of B: (home side, partner slot), or (false, 0) when empty.
std::pair<bool, int> gatewayOf(Station& s, int tnc, int channel) {
    return s.engine->call([&s, tnc, channel] {
        CTncChannel* ch = s.engine->context().channels.channel(tnc, channel);
        CGatewayJob* gw = ch ? ch->gatewayJob() : nullptr;
        return gw ? std::make_pair(gw->homeSide(), gw->partnerSlot()) : std::make_pair(false, 0);
    });
}

TEST(GatewayStations, AReachesCThroughBsSecondTncAndEitherEndEndsTheOnwardLink) {
    tncsim::Radio twoMetre;
    tncsim::Radio seventyCm;
    tncsim::PtyServer serverA(twoMetre.addTnc({}));
    tncsim::PtyServer serverB1(twoMetre.addTnc({}));
    tncsim::PtyServer serverB2(seventyCm.addTnc({}));
    {
        std::lock_guard lock(seventyCm.mutex());
        seventyCm.addStation("DC1CCC");
    }
    for (auto* s : {&serverA, &serverB1, &serverB2}) ASSERT_TRUE(s->start()) << s->error();

    Station a;
    Station b;
    a.start(serverA.slavePath(), "DA1AAA");
    startTwoTncStation(b, serverB1.slavePath(), serverB2.slavePath());
    ASSERT_TRUE(eventually([&] { return a.tncOpen() && bothOpen(b); })) << a.errors() << b.errors();

    a.console->line(":ch 1/1");
    a.console->line("\\e c db0gw");
    ASSERT_TRUE(eventually([&] { return a.linkState(1) == 4 && b.destCall(1) == "DA1AAA-1"; })) << a.output();

    // The gateway: A lands on B's first free channel of "lang" (TNC 2, channel 1, slot 23).
    a.console->line("//connect LANG");
    ASSERT_TRUE(eventually([&] {
        return a.output().find("Sie befinden sich jetzt auf dem Tnc Lang") != std::string::npos;
    })) << a.output() << b.output();
    EXPECT_EQ(gatewayOf(b, 1, 1), std::make_pair(true, 23));
    EXPECT_EQ(gatewayOf(b, 2, 1), std::make_pair(false, 2));
    ASSERT_TRUE(eventually([&] { return serverB2.withTnc([](SimTnc& t) { return t.channelCall(1); }) == "DA1AAA-14"; }));
    EXPECT_NE(a.output().find("Die Ausgabefrequenz ist 438.425"), std::string::npos);

    // Plain text before the onward link stays at the gateway.
    a.console->line("niemand hoert das");
    a.console->line("c dc1ccc");
    ASSERT_TRUE(eventually([&] { return a.output().find("Welcome to DC1CCC") != std::string::npos; }))
        << a.output() << b.output();
    EXPECT_NE(a.output().find("link setup..."), std::string::npos);
    {
        std::lock_guard lock(seventyCm.mutex());
        EXPECT_EQ(seventyCm.findStation("DC1CCC")->received().find("niemand"), std::string::npos);
    }

    // Text both ways.
    a.console->line("Gruss an C");
    ASSERT_TRUE(eventually([&] {
        std::lock_guard lock(seventyCm.mutex());
        return seventyCm.findStation("DC1CCC")->received().find("Gruss an C\r") != std::string::npos;
    }));
    ASSERT_TRUE(eventually([&] {
        const std::string out = a.output();
        return out.find("9: Gruss an C") != std::string::npos;
    })) << a.output();

    // C leaves: A is back at the gateway, still linked to B, B's pair intact.
    a.console->line("b");
    ASSERT_TRUE(eventually([&] { return a.output().find("Reconnected to DB0GW") != std::string::npos; }))
        << a.output() << b.output();
    ASSERT_TRUE(eventually([&] {
        std::lock_guard lock(seventyCm.mutex());
        return seventyCm.stationLinks("DC1CCC") == 0u;
    }));
    EXPECT_EQ(a.linkState(1), 4);
    EXPECT_EQ(gatewayOf(b, 1, 1), std::make_pair(true, 23));

    // Again to C, then A leaves B: the onward link goes too, and TNC 2 gets its call back.
    a.console->line("c dc1ccc");
    ASSERT_TRUE(eventually([&] {
        const std::string out = a.output();
        return out.find("Welcome to DC1CCC") != out.rfind("Welcome to DC1CCC");
    })) << a.output();
    a.console->line("\\e d");
    ASSERT_TRUE(eventually([&] {
        std::lock_guard lock(seventyCm.mutex());
        return seventyCm.stationLinks("DC1CCC") == 0u;
    })) << b.output();
    ASSERT_TRUE(eventually([&] { return gatewayOf(b, 1, 1).second == 0 && gatewayOf(b, 2, 1).second == 0; }));
    ASSERT_TRUE(eventually([&] { return serverB2.withTnc([](SimTnc& t) { return t.channelCall(1); }) == "DB0GX"; }));
}

}  // namespace
}  // namespace norva::test
