// Connection events with the texts real TNCs and nodes send, the commands
// the link state watches, norva.log, the caption and the bars.
#include <gtest/gtest.h>

#include "ChannelRig.h"
#include "channel/Callsign.h"
#include "hostmode/Tnc.h"

namespace norva::test {
namespace {

class LinkEvents : public ::testing::Test {
protected:
    void SetUp() override {
        hooks().setRemote(&remote);
        hooks().setStation(&station);
        hooks().setJobs(&factory);
        rig.configure(1, 20, "DL1XYZ");
        rig.create();
        rig.state->writes.clear();
        rig.events.clear();
    }
    void TearDown() override {
        hooks().setRemote(nullptr);
        hooks().setStation(nullptr);
        hooks().setJobs(nullptr);
    }
    ChannelHooks& hooks() { return rig.ctx.channels.hooks(); }
    CTncChannel& ch(int n) { return rig.channel(1, n); }
    const CLinkState& ls(int n) { return ch(n).linkState(); }
    // The TNC reports a link status; the next poll of the channel fetches it.
    void status(int n, std::string_view text) {
        rig.queueStatus(n, text);
        rig.poll(n);
    }
    void info(int n, std::string_view text) {
        rig.queueInfo(n, text);
        rig.poll(n);
    }
    std::string log() { return rig.dir.read("norva.log"); }
    // Five status-only polls: exactly one "L" among them.
    void lRound(int n) {
        for (int i = 0; i < 5; ++i) ch(n).poll(PollMode::StatusOnly);
    }
    int lines() {
        const std::string l = log();
        return static_cast<int>(std::count(l.begin(), l.end(), '\n'));
    }

    ChannelRig rig;
    RecRemote remote{rig.events};
    RecStation station{rig.events};
    RecFactory factory{rig.events};
};

TEST_F(LinkEvents, LinkStatusConnectToPlainCallWithSsid) {
    status(2, "(2) CONNECTED to DL1ABC-3");
    EXPECT_EQ(ls(2).destCall(), "DL1ABC-3");
    EXPECT_EQ(ls(2).aliasDestCall(), "DL1ABC-3");
    EXPECT_EQ(ls(2).lastDestCall(), "DL1ABC-3");
    EXPECT_EQ(ls(2).connectPending(), 0);
    EXPECT_EQ(rig.ui.sounds, (std::vector<std::string>{"connected to..."}));
    EXPECT_EQ(factory.maps[ch(2).slot()]->pairs,
              (std::vector<std::pair<std::string, std::string>>{{"DL1ABC-3", ""}}));
    // The link state sees the record before the jobs and the scanner do.
    const std::string record = "\r(2) CONNECTED to DL1ABC-3\r\n";
    EXPECT_EQ(rig.events, (Events{"map.tick", "alias:DL1ABC-3,DL1ABC-3", "station:DL1ABC-3", "greet:3",
                                  "map.receive:" + record, "remote.scan:3:" + record}))
        << "the other station called: greeting";
    const auto& dde = factory.ddes[ch(2).slot()]->items;
    ASSERT_GE(dde.size(), 3u);
    EXPECT_EQ(dde[dde.size() - 3].first, kKindLinkStatus);
    EXPECT_EQ(dde[dde.size() - 2], std::make_pair(int(kKindDestCall), std::string("DL1ABC-3")));
    EXPECT_EQ(dde[dde.size() - 1], std::make_pair(int(kKindAliasDestCall), std::string("DL1ABC-3")));
    EXPECT_NE(ch(2).caption().find(" DL1XYZ <-> DL1ABC-3 "), std::string::npos) << ch(2).caption();
    EXPECT_TRUE(ch(2).settings().remote);
}

TEST_F(LinkEvents, ConnectWithDigipeatersTakesTheDestinationOnly) {
    status(1, "(1) CONNECTED to DB0ABC via DB0XYZ DB0QQQ");
    EXPECT_EQ(ls(1).destCall(), "DB0ABC");
}

TEST_F(LinkEvents, NodeReportsOnwardConnectToAliasAndCall) {
    status(1, "(1) CONNECTED to DB0NOD");
    rig.ui.notices.clear();
    ch(1).textOut("c dbox\r", kKindInfo, true);
    EXPECT_EQ(ls(1).connectPending(), 10);
    rig.clock.advanceMs(60'000);
    info(1, "*** connected to DBOX:DB0ABC\r");
    EXPECT_EQ(ls(1).aliasDestCall(), "DBOX");
    EXPECT_EQ(ls(1).destCall(), "DB0ABC");
    EXPECT_EQ(ls(1).lastDestCall(), "DB0ABC");
    EXPECT_EQ(ls(1).connectPending(), 0);
    EXPECT_EQ(factory.maps[ch(1).slot()]->pairs.back(), std::make_pair(std::string("DB0NOD"), std::string("DB0ABC")));
    // The hop to the node is logged.
    EXPECT_EQ(log(), "  05.03.2024  09:07 -09:07   :DL1XYZ   DB0NOD             438.425\r\n");
    EXPECT_FALSE(ch(1).settings().remote) << "we called onward: no remote commands from there";
    EXPECT_TRUE(rig.ui.notices.empty());
}

TEST_F(LinkEvents, InfoTextConnectIsIgnoredWithoutPendingConnect) {
    status(1, "(1) CONNECTED to DB0NOD");
    info(1, "I was connected to DL9ZZZ yesterday\r");
    EXPECT_EQ(ls(1).destCall(), "DB0NOD");
}

TEST_F(LinkEvents, NodeReportsReconnect) {
    status(1, "(1) CONNECTED to DB0NOD");
    ch(1).setJob(JobSlot::Password, std::make_unique<RecJob>("password", rig.events));
    ch(1).textOut("c db0abc\r", kKindInfo, false);
    info(1, "*** connected to DB0ABC\r");
    rig.events.clear();
    info(1, "\r*** reconnected to DB0NOD\r");
    EXPECT_EQ(ls(1).destCall(), "DB0NOD");
    EXPECT_EQ(ls(1).aliasDestCall(), "DB0NOD");
    EXPECT_EQ(ch(1).job(JobSlot::Password), nullptr) << "a reconnect resets the jobs";
    EXPECT_EQ(factory.maps[ch(1).slot()]->pairs.back(), std::make_pair(std::string("DB0NOD"), std::string()));
    // Lines for the node hop and for the onward hop.
    EXPECT_EQ(lines(), 2);
    EXPECT_NE(log().find(":DL1XYZ   DB0ABC "), std::string::npos) << log();
}

TEST_F(LinkEvents, DisconnectRestoresOwnCallAndClearsTheDestination) {
    status(1, "(1) CONNECTED to DL1ABC");
    ch(1).setJob(JobSlot::Script, std::make_unique<RecJob>("script", rig.events));
    rig.state->writes.clear();
    rig.ui.sounds.clear();
    status(1, "(1) DISCONNECTED fm DL1ABC");
    EXPECT_EQ(ls(1).destCall(), "");
    EXPECT_EQ(ls(1).aliasDestCall(), "");
    EXPECT_EQ(ls(1).lastDestCall(), "DL1ABC");
    const auto cmds = rig.commands();
    EXPECT_NE(std::find(cmds.begin(), cmds.end(), "i DL1XYZ"), cmds.end());
    EXPECT_EQ(ch(1).job(JobSlot::Script), nullptr);
    EXPECT_EQ(ch(1).caption().find("<->"), std::string::npos) << ch(1).caption();
    EXPECT_EQ(rig.ui.sounds, (std::vector<std::string>{"disconnected"}));
    EXPECT_EQ(lines(), 1);
}

TEST_F(LinkEvents, LinkFailureEndsTheAttempt) {
    ch(3).textOut("* C DL1ABC", kKindCommand, false);
    EXPECT_EQ(ls(3).connectPending(), 10);
    status(3, "(3) LINK FAILURE with DL1ABC");
    EXPECT_EQ(ls(3).connectPending(), 0);
    EXPECT_EQ(log(), "") << "no link, no line";
    const auto cmds = rig.commands();
    EXPECT_EQ(cmds.back(), "i DL1XYZ");
}

TEST_F(LinkEvents, TextsThatMatchNothingLeaveTheStateAlone) {
    status(1, "(1) CONNECTED to DL1ABC");
    const std::string caption = ch(1).caption();
    for (const char* text : {"(1) BUSY fm DL2BBB", "(1) CONNECTED to", "(1) CONNEC", "(1) CONNECTED to \r\n",
                             "hello world"})
        status(1, text);
    info(1, "the disconnected state is fine\r");
    info(1, "*** reconnected to\r");
    EXPECT_EQ(ls(1).destCall(), "DL1ABC");
    EXPECT_EQ(ch(1).caption(), caption);
}

TEST_F(LinkEvents, CallsFromTheAirAreParsedDefensively) {
    status(1, "(1) CONNECTED to DL1ABC-X");
    EXPECT_EQ(ls(1).destCall(), "DL1ABC-X");
    status(2, "(2) CONNECTED to ABCDEFGHIJKLMNOPQRST");
    EXPECT_EQ(ls(2).destCall(), "ABCDEFGHIJKLMNOPQRST");
    status(3, "(3) connected to dbox:\r\n");
    EXPECT_EQ(ls(3).destCall(), "") << "an alias without a call is no destination";
    status(4, "(4) CONNECTED to :DB0ABC");
    EXPECT_EQ(ls(4).destCall(), "DB0ABC");
    EXPECT_EQ(ls(4).aliasDestCall(), "DB0ABC");
    status(5, "(5) CONNECTED to " + std::string(240, 'K'));
    EXPECT_EQ(ls(5).destCall(), std::string(kCallLimit, 'K'));
}

TEST_F(LinkEvents, ParseDestinationHelpers) {
    EXPECT_EQ(parseDestination("connected to DL1ABC-3\r\n")->call, "DL1ABC-3");
    EXPECT_EQ(parseDestination("CONNECTED to\tDB0ABC")->call, "DB0ABC");
    EXPECT_FALSE(parseDestination("connected to"));
    EXPECT_FALSE(parseDestination("connected to \x01\x02"));
    EXPECT_EQ(std::string(baseCall("DL1ABC-15")), "DL1ABC");
    EXPECT_EQ(withWildcardSsid("DB0ABC-3"), "DB0ABC-*");
    EXPECT_EQ(withWildcardSsid("DB0ABC"), "DB0ABC-*");
    EXPECT_EQ(buttonLabel("DL1ABC-3", 2), "dl1abc");
    EXPECT_EQ(buttonLabel("", 2), "disc");
    EXPECT_EQ(buttonLabel("", 0), "mon");
}

TEST_F(LinkEvents, ConnectCommandWithoutSsidFirstSetsTheChannelSsid) {
    ch(3).textOut("* C DL1ABC", kKindCommand, false);
    EXPECT_EQ(rig.commands(), (std::vector<std::string>{"i DL1XYZ-3", "C DL1ABC"}));
    rig.state->writes.clear();
    ch(4).textOut("* C DL1ABC-2", kKindCommand, false);
    EXPECT_EQ(rig.commands(), (std::vector<std::string>{"C DL1ABC-2"}));
    rig.state->writes.clear();
    ch(16).textOut("* C DL1ABC", kKindCommand, false);
    EXPECT_EQ(rig.commands(), (std::vector<std::string>{"C DL1ABC"}));
    EXPECT_EQ(ls(16).connectPending(), 10);
    rig.state->writes.clear();
    ch(0).textOut("* C CQ", kKindCommand, false);
    EXPECT_EQ(rig.commands(), (std::vector<std::string>{"C CQ"})) << "channel 0 sets the unproto call";
    EXPECT_EQ(ls(0).connectPending(), 0);
}

TEST_F(LinkEvents, OwnCallWithSsidIsNotGivenASecondOne) {
    ch(3).textOut("* I DL1XYZ-7", kKindCommand, false);
    rig.state->writes.clear();
    ch(3).textOut("* C DL1ABC", kKindCommand, false);
    EXPECT_EQ(rig.commands().front(), "i DL1XYZ-3");
}

TEST_F(LinkEvents, WildcardSsidIsFilledInAndRestoredAtTheConnect) {
    ch(3).textOut("* C DB0ABC-*", kKindCommand, false);
    EXPECT_EQ(rig.commands(), (std::vector<std::string>{"C DB0ABC-3"}));
    EXPECT_TRUE(ls(3).wildcardSsid());
    status(3, "(3) CONNECTED to DB0ABC-3");
    EXPECT_EQ(ls(3).destCall(), "DB0ABC-*");
    EXPECT_EQ(ls(3).lastDestCall(), "DB0ABC-*");
    EXPECT_FALSE(ls(3).wildcardSsid());
    EXPECT_EQ(ls(3).logonNode(), "DB0ABC-3") << "we called: the link was made through it";
    EXPECT_EQ(ls(3).defaultNode(), "DB0ABC-3");
}

TEST_F(LinkEvents, NewOwnCallIsKeptAndStored) {
    ch(2).textOut("* I DK0AAA-1", kKindCommand, false);
    EXPECT_EQ(ls(2).myCall(), "DK0AAA-1");
    EXPECT_EQ(rig.profile.getString("Link3", "MyCall"), "DK0AAA-1");
    ch(2).textOut("* I", kKindCommand, false);
    ch(2).textOut("* i ab", kKindCommand, false);
    EXPECT_EQ(ls(2).myCall(), "DK0AAA-1") << "a query or a short rest changes nothing";
    EXPECT_NE(ch(2).caption().find(" DK0AAA-1 "), std::string::npos);
}

TEST_F(LinkEvents, TypedConnectToANodeInInfoText) {
    ch(1).textOut("hello\r", kKindInfo, false);
    EXPECT_EQ(ls(1).connectPending(), 0);
    ch(1).textOut("C DB0ABC\r", kKindInfo, false);
    EXPECT_EQ(ls(1).connectPending(), 10);
}

TEST_F(LinkEvents, LogLineByteForByteWithViaNode) {
    ch(2).textOut("* C DB0NOD-1", kKindCommand, false);
    status(2, "(2) CONNECTED to DB0NOD-1");
    EXPECT_EQ(ls(2).logonNode(), "DB0NOD-1");
    ch(2).textOut("c dbox\r", kKindInfo, false);
    rig.clock.advanceMs(120'000);
    info(2, "*** connected to DBOX:DB0ABC-8\r");
    rig.clock.advanceMs(185'000);
    rig.lAnswers[2] = "0 0 0 0 0 4";
    lRound(2);
    rig.lAnswers[2] = "0 0 0 0 0 0";
    rig.clock.advanceMs(60'000);
    status(2, "(2) DISCONNECTED fm DB0NOD-1");
    EXPECT_EQ(log(),
              "  05.03.2024  09:07 -09:07   :DL1XYZ   DB0NOD-1           438.425\r\n"
              "  05.03.2024  09:09 -09:12   :DL1XYZ   DBOX:DB0ABC-8      438.425 via DB0NOD-1\r\n");
    EXPECT_TRUE(ch(2).settings().remote) << "Remote comes back after our link";
    EXPECT_EQ(ls(2).logonNode(), "");
    EXPECT_EQ(ls(2).defaultNode(), "DB0NOD-1");
}

TEST_F(LinkEvents, LongNamesAreNotCutInTheLog) {
    status(2, "(2) CONNECTED to ABCDEFGHIJKLMNOPQRSTU");
    status(2, "(2) DISCONNECTED fm ABCDEFGHIJKLMNOPQRSTU");
    EXPECT_EQ(log(), "  05.03.2024  09:07 -09:07   :DL1XYZ   ABCDEFGHIJKLMNOPQRSTU    438.425\r\n");
}

TEST_F(LinkEvents, LAnswerSeesTheLinkEndOnceAndTheStatusTextAddsNoSecondLine) {
    ch(2).setJob(JobSlot::Password, std::make_unique<RecJob>("password", rig.events));
    status(2, "(2) CONNECTED to DL1ABC");
    rig.lAnswers[2] = "0 0 1 2 0 4";
    lRound(2);
    EXPECT_EQ(ls(2).unsent(), "1");
    EXPECT_EQ(ls(2).unacked(), "2");
    EXPECT_EQ(ls(2).linkStateValue(), 4);
    EXPECT_EQ(ls(2).duration(), " 0:00 ");
    rig.clock.advanceMs(3'723'000);
    lRound(2);
    EXPECT_EQ(ls(2).duration(), " 1:02 ");
    EXPECT_NE(ch(2).caption().find("|ifx|1|2|0|  1:02 "), std::string::npos) << ch(2).caption();

    rig.lAnswers[2] = "0 0 0 0 0 0";
    lRound(2);
    EXPECT_EQ(ch(2).job(JobSlot::Password), nullptr) << "the jobs were reset";
    EXPECT_EQ(ls(2).duration(), "0:00");
    EXPECT_EQ(lines(), 1);
    ch(2).setJob(JobSlot::Password, std::make_unique<RecJob>("password", rig.events));
    for (int i = 0; i < 3; ++i) lRound(2);
    EXPECT_NE(ch(2).job(JobSlot::Password), nullptr) << "idle answers reset nothing";
    status(2, "(2) DISCONNECTED fm DL1ABC");
    EXPECT_EQ(lines(), 1);
    EXPECT_NE(log().find(" -10:09   :DL1XYZ   DL1ABC "), std::string::npos) << log();
}

TEST_F(LinkEvents, IdleLAnswersNeitherLogNorReset) {
    ch(2).setJob(JobSlot::Password, std::make_unique<RecJob>("password", rig.events));
    for (int i = 0; i < 20; ++i) ch(2).poll(PollMode::StatusOnly);
    EXPECT_NE(ch(2).job(JobSlot::Password), nullptr);
    EXPECT_EQ(log(), "");
}

TEST_F(LinkEvents, IncomingConnectAnnouncesItselfUnlessTheChannelIsInFront) {
    rig.ctx.channels.activate(ch(1).slot());
    status(2, "(2) CONNECTED to DL1ABC");
    EXPECT_EQ(rig.ui.notices, std::vector<int>{ch(2).slot()});
    rig.ui.notices.clear();
    rig.ctx.channels.activate(ch(3).slot());
    status(3, "(3) CONNECTED to DL1ABC");
    EXPECT_TRUE(rig.ui.notices.empty()) << "its window is the active one";
    rig.ctx.channels.activate(ch(4).slot());
    rig.ctx.channels.setMainWindowActive(false);
    status(4, "(4) CONNECTED to DL1ABC");
    EXPECT_EQ(rig.ui.notices, std::vector<int>{ch(4).slot()}) << "the main window is not active";
    rig.ui.notices.clear();
    ch(5).settings().connectMsg = false;
    status(5, "(5) CONNECTED to DL1ABC");
    EXPECT_TRUE(rig.ui.notices.empty());
}

TEST_F(LinkEvents, OutgoingConnectSwitchesRemoteOffUntilTheDisconnect) {
    ch(2).textOut("* C DL1ABC", kKindCommand, false);
    status(2, "(2) CONNECTED to DL1ABC");
    EXPECT_FALSE(ch(2).settings().remote);
    EXPECT_TRUE(rig.ui.notices.empty());
    EXPECT_EQ(std::count(rig.events.begin(), rig.events.end(), "greet:3"), 0);
    // Written back as it was before the link, should the program end now.
    rig.host.reset();
    EXPECT_EQ(rig.profile.getString("Link3", "Remote", "1"), "1");
    EXPECT_EQ(rig.profile.getString("Link3", "DestCall"), "DL1ABC");
}

TEST_F(LinkEvents, SoundsFollowMessageBeep) {
    ch(2).settings().messageBeep = false;
    status(2, "(2) CONNECTED to DL1ABC");
    status(2, "(2) DISCONNECTED fm DL1ABC");
    EXPECT_TRUE(rig.ui.sounds.empty());
}

TEST_F(LinkEvents, LogStationSwitchesTheStationFileUpdate) {
    ch(2).settings().logStation = false;
    status(2, "(2) CONNECTED to DL1ABC");
    EXPECT_EQ(std::count_if(rig.events.begin(), rig.events.end(),
                            [](const std::string& e) { return e.starts_with("station:"); }),
              0);
}

TEST_F(LinkEvents, ChannelButtonFollowsTheDestination) {
    status(2, "(2) CONNECTED to DL1ABC-3");
    ASSERT_FALSE(rig.ui.buttons.empty());
    EXPECT_EQ(rig.ui.buttons.back(), std::make_pair(ch(2).slot(), std::string("dl1abc")));
    const auto sent = rig.ui.buttons.size();
    rig.poll(2);
    EXPECT_EQ(rig.ui.buttons.size(), sent) << "unchanged labels are not sent again";
    status(2, "(2) DISCONNECTED fm DL1ABC-3");
    EXPECT_EQ(rig.ui.buttons.back(), std::make_pair(ch(2).slot(), std::string("disc")));
}

TEST_F(LinkEvents, StatusBarShowsTheActiveChannelAndOnlyChangedFields) {
    rig.ctx.channels.activate(ch(2).slot());
    auto value = [&](StatusField f) {
        std::string last;
        for (const auto& [field, text] : rig.ui.fields)
            if (field == f) last = text;
        return last;
    };
    EXPECT_EQ(value(StatusField::TncChannel), "1/2");
    EXPECT_EQ(value(StatusField::LinkState), "disconnected");
    EXPECT_EQ(value(StatusField::Buffers), "800");
    EXPECT_EQ(value(StatusField::Qrg), "438.425");
    EXPECT_EQ(value(StatusField::Clock), "9:07");
    EXPECT_EQ(value(StatusField::Date), "05.03.24");
    const auto sent = rig.ui.fields.size();
    rig.poll(2);
    EXPECT_EQ(rig.ui.fields.size(), sent);
    ch(2).linkState().setDefaultNode("db0nod");
    rig.lAnswers[2] = "0 0 3 0 0 4";
    lRound(2);
    EXPECT_EQ(value(StatusField::LinkState), "inf transfer");
    EXPECT_EQ(value(StatusField::Counters), "3/0/0");
    EXPECT_EQ(value(StatusField::DefaultNode), "DB0NOD") << "upper case while connected";
    // Polls of other channels leave the bar alone.
    const auto before = rig.ui.fields.size();
    lRound(3);
    EXPECT_EQ(rig.ui.fields.size(), before);
    rig.ctx.channels.activate(rig.channel(kDummyTnc, 1).slot());
    EXPECT_EQ(value(StatusField::TncChannel), "5/1");
    EXPECT_EQ(value(StatusField::LinkState), "") << "the dummy has no link";
}

TEST_F(LinkEvents, LinkStateTexts) {
    EXPECT_EQ(CLinkState::longText(0), "disconnected");
    EXPECT_EQ(CLinkState::longText(4), "inf transfer");
    EXPECT_EQ(CLinkState::longText(9), " both busy  ");
    EXPECT_EQ(CLinkState::longText(17), "... busy ...");
    EXPECT_EQ(CLinkState::longText(-3), "disconnected");
    EXPECT_EQ(CLinkState::shortText(6), "nack");
    for (int s = 0; s <= 10; ++s) EXPECT_EQ(CLinkState::longText(s).size(), 12u);
}

TEST_F(LinkEvents, CaptionsOfMonitorDummyAndJobs) {
    EXPECT_EQ(ch(0).caption(), "[1/0] Monitor");
    EXPECT_EQ(rig.channel(kDummyTnc, 1).caption(), "REMOTE");
    auto send = std::make_unique<RecJob>("send", rig.events);
    send->caption = "TEXT.TXT";
    ch(2).setJob(JobSlot::Send, std::move(send));
    auto capture = std::make_unique<RecJob>("capture", rig.events);
    capture->caption = "log.txt";
    ch(2).setJob(JobSlot::Capture, std::move(capture));
    EXPECT_EQ(ch(2).caption(), "[1/2] TEXT.TXT -> DL1XYZ -> log.txt |dsc|0|0|0| ");
    EXPECT_EQ(rig.ui.titles.back(), std::make_pair(ch(2).slot(), ch(2).caption()));
}

TEST_F(LinkEvents, DdeSeesReportsWithLinkAnswersMarked) {
    RecDde& dde = *factory.ddes[ch(2).slot()];
    dde.isActive = true;
    dde.items.clear();
    ch(2).poll(PollMode::ForceGet);  // "@B", "L", "G"
    ASSERT_EQ(dde.items.size(), 1u) << "the free buffers are not reported";
    EXPECT_EQ(dde.items[0].first, kKindLAnswer);
    EXPECT_EQ(dde.advised, dde.items);
}

TEST_F(LinkEvents, EmptyReplyMovesTheGCountdown) {
    ch(3).poll(PollMode::ForceGet);
    EXPECT_EQ(ch(3).gCountdown(), 4) << "nothing there: ask every fourth poll";
    rig.queueInfo(3, "x");
    ch(3).poll(PollMode::ForceGet);
    EXPECT_EQ(ch(3).gCountdown(), 1);
    ch(0).receiveEntry(0, {});
    EXPECT_EQ(ch(0).gCountdown(), 1) << "the monitor is always asked";
    ch(3).receiveEntry(0, {});
    EXPECT_EQ(ch(3).gCountdown(), 4);
}

TEST_F(LinkEvents, IdleChannelIsAskedEveryFourthPollBusyOneEveryPoll) {
    auto getsOf = [&](int n, int polls) {
        rig.state->writes.clear();
        for (int i = 0; i < polls; ++i) ch(n).poll(PollMode::Normal);
        const auto cmds = rig.commands();
        return std::count(cmds.begin(), cmds.end(), "G");
    };
    ch(3).poll(PollMode::ForceGet);
    EXPECT_EQ(getsOf(3, 8), 2);
    for (int i = 0; i < 8; ++i) rig.queueInfo(3, "data");
    ch(3).poll(PollMode::ForceGet);
    EXPECT_EQ(getsOf(3, 6), 6);
}

}  // namespace
}  // namespace norva::test
