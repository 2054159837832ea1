// The gateway pair on a scripted TNC link: which channel a //Connect gets,
// the exact texts the user sees, gateway commands before the onward link,
// relaying once it is up, the connect time-out, the help file, and how the
// pair comes apart from either side.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "ChannelRig.h"
#include "channel/Gateway.h"
#include "hostmode/Tnc.h"

namespace norva::test {
namespace {

const std::string kPrompt = "\r\rDL1ABC-3 de DB0GW (09:07)>";
const std::string kBanner = "\r************ Norva Gateway Betrieb ************\r\r";

TEST(GatewayCall, SsidIsMirroredAtFifteen) {
    EXPECT_EQ(gatewayCall("DL1ABC-3"), "DL1ABC-12");
    EXPECT_EQ(gatewayCall("DL1ABC-0"), "DL1ABC-15");
    EXPECT_EQ(gatewayCall("DL1ABC"), "DL1ABC");
    EXPECT_EQ(gatewayCall("DL1ABC-15"), "DL1ABC");
    EXPECT_EQ(gatewayCall("dl1abc-1"), "DL1ABC-14");
    // Hostile or broken calls still give a call the TNC takes.
    EXPECT_EQ(gatewayCall("DL1ABC-99"), "DL1ABC");
    EXPECT_EQ(gatewayCall("DL1ABC-x"), "DL1ABC-15");
    EXPECT_EQ(gatewayCall("DL1ABC--7"), "DL1ABC-15");
    EXPECT_EQ(gatewayCall("AVERYLONGCALLSIGN-2"), "AVERYL-13");
    EXPECT_EQ(gatewayCall(""), "");
}

class Gateway : public ::testing::Test {
protected:
    void SetUp() override {
        // TNC 1 carries the user; TNCs 2 and 3 have the same name in different case.
        rig.appendIni("[Tnc]\r\n1=1\r\n2=1\r\n3=1\r\n[frame]\r\n");
        tnc(1, "Kurz", "DB0GW", "144.800");
        tnc(2, "Lang", "DB0GW", "438.425");
        tnc(3, "LANG", "DB0GW", "433.100");
        rig.create();
        // The user on TNC 1 channel 1.
        home().receiveEntry(kKindLinkStatus, "(1) CONNECTED to DL1ABC-3");
        home().dispatch();
        ASSERT_EQ(home().linkState().destCall(), "DL1ABC-3");
        rig.state->writes.clear();
    }
    void tnc(int n, const std::string& name, const std::string& call, const std::string& qrg) {
        rig.appendIni("[" + std::to_string(n) + "]\r\nTncName=" + name + "\r\nChannels=3\r\nComPort=/dev/ttyFAKE" +
                      std::to_string(n) + "\r\nConnected=1\r\nMyCall=" + call + "\r\nQrg=" + qrg + "\r\n");
    }
    CTncChannel& home() { return rig.channel(1, 1); }
    CTncChannel& ch(int t, int n) { return rig.channel(t, n); }

    // What //Connect does with the job: into the slot, one tick at once.
    void connect(std::string_view name) {
        auto job = CGatewayLink::start(home(), name);
        ASSERT_NE(job, nullptr);
        CGatewayJob* started = job.get();
        home().setGatewayJob(std::move(job));
        if (started->tick() == 0 && home().gatewayJob() == started) home().setGatewayJob(nullptr);
    }
    void userTypes(std::string_view text) {
        home().receiveEntry(kKindConnected, text);
        home().dispatch();
    }
    // Frames written on a channel number with the code (0 info, 1 command), without head.
    std::vector<std::string> frames(int channel, int code) const {
        std::vector<std::string> out;
        for (const auto& w : rig.state->writes)
            if (w.size() >= 4 && w[0] == channel && w[1] == code) out.push_back(w.substr(3));
        return out;
    }
    // Everything sent on a channel as info, joined.
    std::string sentOn(int channel) const {
        std::string all;
        for (const auto& f : frames(channel, 0)) all += f;
        return all;
    }
    // TNC 2 channel 2 becomes the partner: channel 1 there runs a script.
    void connectToLang() {
        ch(2, 1).setJob(JobSlot::Script, std::make_unique<RecJob>("script", rig.events));
        connect("lang");
        rig.state->writes.clear();
    }
    void linkUp(CTncChannel& c, int state) { c.linkState().onLAnswer("0 0 0 0 0 " + std::to_string(state)); }

    ChannelRig rig;
};

TEST_F(Gateway, ConnectTakesTheFirstFreeChannelOfEitherSameNamedTncAndGreets) {
    ch(2, 1).setJob(JobSlot::Script, std::make_unique<RecJob>("script", rig.events));
    connect("lANg");
    auto* homeJob = home().gatewayJob();
    ASSERT_NE(homeJob, nullptr);
    EXPECT_TRUE(homeJob->homeSide());
    EXPECT_EQ(homeJob->partnerSlot(), ch(2, 2).slot()) << "channel 0 and the script's channel are skipped";
    auto* outJob = ch(2, 2).gatewayJob();
    ASSERT_NE(outJob, nullptr);
    EXPECT_FALSE(outJob->homeSide());
    EXPECT_EQ(outJob->partnerSlot(), home().slot());
    EXPECT_EQ(ch(3, 1).gatewayJob(), nullptr);

    const std::string welcome = "\rKurz -> Lang\r" + kBanner +
                                "Hilfe bekommen Sie mit dem Befehl h.\r\rSie befinden sich jetzt auf dem Tnc Lang"
                                "\rDie Ausgabefrequenz ist 438.425\r" + kPrompt;
    EXPECT_EQ(sentOn(1), welcome);
    EXPECT_EQ(frames(2, 1), (std::vector<std::string>{"i DL1ABC-12"}));

    // The busy channel of TNC 2 is taken over by the other name's TNC next.
    rig.state->writes.clear();
    ch(2, 3).setJob(JobSlot::Script, std::make_unique<RecJob>("script", rig.events));
    CTncChannel& second = ch(1, 2);
    second.receiveEntry(kKindLinkStatus, "(2) CONNECTED to DL2XY");
    second.dispatch();
    auto job = CGatewayLink::start(second, "Lang");
    EXPECT_EQ(job->partnerSlot(), ch(3, 1).slot());
}

TEST_F(Gateway, NoFreeChannelTellsTheUserAndEndsAtTheFirstTick) {
    connect("Mittelwelle");
    EXPECT_EQ(home().gatewayJob(), nullptr);
    EXPECT_EQ(sentOn(1), kBanner +
                             "Zum gew\x81nschten Tnc kann zur Zeit leider keine Verbindung  erstellt werden.\r" +
                             kPrompt);
    rig.state->writes.clear();
    // Every channel of both "lang" TNCs busy.
    for (int t : {2, 3})
        for (int n : {1, 2, 3}) linkUp(ch(t, n), 4);
    connect("LANG");
    EXPECT_EQ(home().gatewayJob(), nullptr);
    EXPECT_NE(sentOn(1).find("keine Verbindung"), std::string::npos);
    EXPECT_TRUE(frames(1, 1).empty() && frames(2, 1).empty() && frames(3, 1).empty());
}

TEST_F(Gateway, BeforeTheOnwardLinkOnlyConnectAndDisconnectReachTheTncAsCommands) {
    connectToLang();
    userTypes("hallo da\r");
    EXPECT_EQ(sentOn(1), kPrompt);
    userTypes("  D\r");
    userTypes("c db0xyz\rI EVIL\r");
    EXPECT_EQ(frames(2, 1), (std::vector<std::string>{"D", "c db0xyz"})) << "one line, one command";
    EXPECT_TRUE(frames(2, 0).empty()) << "nothing goes out as text";
    EXPECT_EQ(ch(2, 2).linkState().connectPending(), 10);
    EXPECT_EQ(sentOn(1), kPrompt + "\rlink setup...\r");
    EXPECT_EQ(static_cast<CGatewayLink*>(home().gatewayJob())->state(), CGatewayLink::State::Connecting);
}

TEST_F(Gateway, LinkedTrafficFlowsBothWaysAndTheEndOfTheOnwardLinkReconnects) {
    connectToLang();
    userTypes("c db0xyz\r");
    rig.state->writes.clear();
    linkUp(ch(2, 2), 4);
    ch(2, 2).receiveEntry(kKindLinkStatus, "\r(2) CONNECTED to DB0XYZ\r\n");
    ch(2, 2).dispatch();
    ch(2, 2).tick();
    home().tick();
    EXPECT_EQ(static_cast<CGatewayLink*>(home().gatewayJob())->state(), CGatewayLink::State::Linked);
    EXPECT_EQ(sentOn(1), "\r(2) CONNECTED to DB0XYZ\r");

    rig.state->writes.clear();
    userTypes("d is kein Befehl mehr\r");
    ch(2, 2).receiveEntry(kKindConnected, "Antwort von C\r");
    ch(2, 2).dispatch();
    EXPECT_EQ(sentOn(2), "d is kein Befehl mehr\r");
    EXPECT_TRUE(frames(2, 1).empty());
    EXPECT_EQ(sentOn(1), "Antwort von C\r");

    // C goes: the user is back at the gateway, under his call again.
    rig.state->writes.clear();
    linkUp(ch(2, 2), 0);
    ch(2, 2).tick();
    EXPECT_EQ(sentOn(1), "\rReconnected to DB0GW\r" + kPrompt);
    EXPECT_EQ(frames(2, 1), (std::vector<std::string>{"i DL1ABC-12"}));
    rig.state->writes.clear();
    userTypes("text\r");
    EXPECT_TRUE(frames(2, 0).empty());
    ASSERT_NE(ch(2, 2).gatewayJob(), nullptr);
}

TEST_F(Gateway, ConnectThatDoesNotComeUpIsClearedAfterTwoMinutes) {
    connectToLang();
    userTypes("c db0xyz\r");
    rig.clock.advanceMs(120'000);
    home().tick();
    rig.state->writes.clear();
    rig.clock.advanceMs(1'000);
    home().tick();
    EXPECT_EQ(sentOn(1), "\rlink failure\r \r\rDL1ABC-3 de DB0GW (09:09)>");
    EXPECT_EQ(frames(2, 1), (std::vector<std::string>(4, "d")));
    rig.state->writes.clear();
    rig.clock.advanceMs(200'000);
    home().tick();
    EXPECT_TRUE(rig.state->writes.empty()) << "reported once";

    // A connect that came up in time is left alone.
    userTypes("c db0xyz\r");
    linkUp(ch(2, 2), 4);
    rig.clock.advanceMs(121'000);
    rig.state->writes.clear();
    home().tick();
    EXPECT_TRUE(frames(2, 1).empty());
    EXPECT_EQ(sentOn(1), "");
}

TEST_F(Gateway, QuitOrADisconnectOfTheUserUndoesTheOutgoingSide) {
    connectToLang();
    userTypes("q\r");
    home().tick();
    EXPECT_EQ(home().gatewayJob(), nullptr);
    EXPECT_EQ(ch(2, 2).gatewayJob(), nullptr);
    EXPECT_EQ(frames(2, 1), (std::vector<std::string>{"i DB0GW"})) << "own call back, no link to drop";

    // Linked, then the user's link ends: the onward link is dropped too.
    connect("Lang");
    ASSERT_EQ(home().gatewayJob()->partnerSlot(), ch(2, 2).slot());
    userTypes("c db0xyz\r");
    linkUp(ch(2, 2), 4);
    rig.state->writes.clear();
    home().resetJobs();
    EXPECT_EQ(home().gatewayJob(), nullptr);
    EXPECT_EQ(ch(2, 2).gatewayJob(), nullptr);
    EXPECT_EQ(frames(2, 1), (std::vector<std::string>{"d", "i DB0GW"}));

    // The outgoing side is not ended by a reset of its own channel.
    connect("Lang");
    CTncChannel* partner = rig.registry().channel(home().gatewayJob()->partnerSlot());
    ASSERT_EQ(partner, &ch(2, 3)) << "channel 2 still carries the onward link";
    partner->resetJobs();
    EXPECT_NE(partner->gatewayJob(), nullptr);
}

TEST_F(Gateway, HelpFileGoesOutInPiecesThenThePromptAndOddFilesSendNothing) {
    std::string help;
    for (int i = 0; i < 40; ++i) help += "Zeile " + std::to_string(i) + " der Gateway-Hilfe\r";
    rig.dir.write("GATEWAY.hlp", help);
    connectToLang();
    userTypes("h\r");
    EXPECT_EQ(sentOn(1), "") << "the file job sends on its ticks";
    for (int i = 0; i < 10; ++i) home().tick();
    EXPECT_EQ(sentOn(1), help + kPrompt);
    EXPECT_NE(home().gatewayJob(), nullptr);

    // No gate2.txt, and a FIFO in place of the help file: nothing is sent, nothing blocks.
    rig.state->writes.clear();
    userTypes("i\r");
    std::filesystem::remove(rig.dir.path() / "GATEWAY.hlp");
    ASSERT_EQ(::mkfifo((rig.dir.path() / "gateway.hlp").c_str(), 0600), 0);
    userTypes("h\r");
    for (int i = 0; i < 3; ++i) home().tick();
    EXPECT_EQ(sentOn(1), "");

    rig.dir.write("gate2.txt", "Info zu Tnc 2\r");
    userTypes("i\r");
    home().tick();
    home().tick();
    EXPECT_EQ(sentOn(1), "Info zu Tnc 2\r" + kPrompt);
}

TEST_F(Gateway, PartnerThatCannotSendHoldsThePollInBothDirections) {
    connectToLang();
    ch(2, 2).linkState().onBAnswer("100");
    rig.state->writes.clear();
    home().poll(PollMode::ForceGet);
    EXPECT_TRUE(rig.state->writes.empty());
    ch(2, 2).linkState().onBAnswer("900");
    home().linkState().onBAnswer("100");
    ch(2, 2).poll(PollMode::ForceGet);
    EXPECT_TRUE(rig.state->writes.empty());
    home().linkState().onBAnswer("900");
    ch(2, 2).poll(PollMode::ForceGet);
    EXPECT_FALSE(rig.state->writes.empty());
}

}  // namespace
}  // namespace norva::test
