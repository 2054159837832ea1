// The poll step: extended and plain polling, countdowns, review hold, the
// round over several TNCs, and the send operation.
#include <gtest/gtest.h>

#include "channel/TncChannel.h"
#include "support/HostRig.h"

namespace norva::test {
namespace {

// Channel numbers of the "G" commands written since the last clear.
std::vector<int> gets(const StreamState& s) {
    std::vector<int> out;
    for (const auto& w : s.writes)
        if (w.size() == 4 && w[1] == 1 && w[3] == 'G') out.push_back(static_cast<unsigned char>(w[0]));
    return out;
}

TEST(PollStep, ExtendedListPollsListedChannelsThenOneStatusRound) {
    HostRig rig;
    rig.configure(1, 4);
    rig.create();
    rig.state->writes.clear();
    rig.fw.extendedList = "\x03\x01";
    rig.host->pollStep();
    EXPECT_EQ(gets(*rig.state), (std::vector<int>{255, 2, 0}));
}

TEST(PollStep, NothingPendingStillRunsTheStatusRoundAndMovesOn) {
    HostRig rig;
    rig.configure(1, 4);
    rig.configure(2, 4, "/dev/ttyFAKE1");
    rig.create();
    // Five status rounds cover channels 0..4 of TNC 1; the sixth step is TNC 2's.
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(rig.host->currentTnc(), 1);
        rig.host->pollStep();
    }
    EXPECT_EQ(rig.host->currentTnc(), 2);
}

TEST(PollStep, ImpossibleChannelInListResetsToFirstTnc) {
    HostRig rig;
    rig.configure(1, 4);
    rig.create();
    for (int i = 0; i < 3; ++i) rig.host->pollStep();
    rig.fw.extendedList = "\x0a";  // channel 9 on a TNC with 4 channels
    rig.state->writes.clear();
    rig.host->pollStep();
    EXPECT_EQ(gets(*rig.state), (std::vector<int>{255}));
    EXPECT_EQ(rig.host->currentTnc(), 1);
    EXPECT_FALSE(rig.host->tnc(1)->outOfSync());
}

TEST(PollStep, InvalidChannelAnswerSwitchesToPlainModeUntilNextInitFile) {
    HostRig rig;
    rig.fw.extendedPoll = false;
    rig.configure(1, 4);
    rig.create();
    // Start sent the init file after the first extended poll was refused? No:
    // the refusal comes with the first poll step.
    rig.host->pollStep();
    CTnc* tnc = rig.host->tnc(1);
    EXPECT_FALSE(tnc->extendedPollAllowed());
    rig.state->writes.clear();
    rig.host->pollStep();
    // Plain mode: channel 0 and the sequential channel, no extended poll.
    const auto g = gets(*rig.state);
    EXPECT_EQ(std::count(g.begin(), g.end(), 255), 0);
    EXPECT_FALSE(g.empty());
    tnc->sendInitFile(InitFile::Init);
    EXPECT_TRUE(tnc->extendedPollAllowed());
}

TEST(PollStep, PlainRoundSkipsClosedTncAndVisitsDummy) {
    HostRig rig;
    rig.ctx.settings.noExtHostMode = true;
    rig.configure(1, 1);
    rig.configure(2, 1, "/dev/ttyFAKE1", 0);  // configured but not started
    rig.configure(3, 1, "/dev/ttyFAKE2");
    rig.create();
    std::vector<int> visited;
    for (int i = 0; i < 14; ++i) {
        visited.push_back(rig.host->currentTnc());
        rig.host->pollStep();
    }
    // TNC 1: channels 0,1; TNC 2 skipped in one step; TNC 3: 0,1; the empty
    // entry 4 is passed over within the dummy's first step; dummy: 0,1,2.
    EXPECT_EQ(visited, (std::vector<int>{1, 1, 2, 3, 3, 4, 5, 5, 1, 1, 2, 3, 3, 4}));
}

TEST(ChannelPoll, StatusEveryFifthPollAndIdleGetEveryFourth) {
    HostRig rig;
    rig.configure(1, 4);
    rig.create();
    CTncChannel& ch = *channelOf(*rig.host->tnc(1), 3);
    rig.state->writes.clear();
    for (int i = 0; i < 10; ++i) ch.poll(PollMode::Normal);
    const auto cmds = rig.state->commands();
    EXPECT_EQ(std::count(cmds.begin(), cmds.end(), "@B"), 2);
    EXPECT_EQ(std::count(cmds.begin(), cmds.end(), "L"), 2);
    // Idle: "G" every fourth poll, and at once after a status answer
    // (those count as data): polls 1, 5, 6 and 10.
    EXPECT_EQ(std::count(cmds.begin(), cmds.end(), "G"), 4);
}

TEST(ChannelPoll, DataOnTheChannelIsShownAndKeepsGettingAsked) {
    HostRig rig;
    rig.configure(1, 4);
    rig.fw.onCommand = [n = 0](int ch, std::string_view cmd) mutable -> std::string {
        if (ch == 2 && cmd == "G" && n++ < 3) return counted(2, 7, "hello\r");
        return {};
    };
    rig.create();
    rig.ui.texts.clear();
    CTncChannel& ch = *channelOf(*rig.host->tnc(1), 2);
    for (int i = 0; i < 4; ++i) ch.poll(PollMode::Normal);
    int shown = 0;
    for (const auto& [slot, cls, text] : rig.ui.texts)
        if (slot == slotOf(1, 2) && cls == kKindConnected && text == "hello\r") ++shown;
    EXPECT_EQ(shown, 3);
}

TEST(ChannelPoll, ReviewHoldSkipsChannelUntilDeadline) {
    HostRig rig;
    rig.configure(1, 4);
    rig.create();
    CTncChannel& ch = *channelOf(*rig.host->tnc(1), 1);
    ch.holdForReview(rig.clock.wallSeconds());
    rig.state->writes.clear();
    EXPECT_FALSE(ch.poll(PollMode::ForceGet));
    EXPECT_TRUE(rig.state->writes.empty());
    ASSERT_FALSE(rig.ui.titles.empty());
    EXPECT_EQ(rig.ui.titles.back().second, ch.caption() + " [REVIEW:60]");
    rig.clock.advanceMs(61'000);
    ch.poll(PollMode::ForceGet);
    EXPECT_FALSE(rig.state->writes.empty());
    EXPECT_EQ(rig.ui.jumps, std::vector<int>{slotOf(1, 1)});
}

TEST(SendOperation, CutIntoPacklenPiecesEachAnswered) {
    HostRig rig;
    rig.configure(1, 4);
    rig.profile.writeInt("Link" + std::to_string(slotOf(1, 2)), "Packlen", 64);
    rig.create();
    rig.state->writes.clear();
    const std::string data(150, 'a');
    channelOf(*rig.host->tnc(1), 2)->sendOperation({kKindInfo, data});
    ASSERT_EQ(rig.state->writes.size(), 3u);
    EXPECT_EQ(rig.state->writes[0].size(), 64u + 3);
    EXPECT_EQ(rig.state->writes[1].size(), 64u + 3);
    EXPECT_EQ(rig.state->writes[2].size(), 22u + 3);
    EXPECT_EQ(channelOf(*rig.host->tnc(1), 2)->lCountdown(), 1);
}

TEST(SendOperation, LostReplyDropsTheRest) {
    HostRig rig;
    rig.configure(1, 4);
    rig.create();
    rig.fw.silent = true;
    rig.state->writes.clear();
    channelOf(*rig.host->tnc(1), 2)->sendOperation({kKindInfo, std::string(200, 'b')});
    EXPECT_EQ(rig.state->writes.size(), 1u);
    EXPECT_TRUE(rig.host->tnc(1)->outOfSync());
}

TEST(ChannelSettings, PacklenOutsideRangeIsClampedAndLogged) {
    HostRig rig;
    rig.profile.writeInt("Link" + std::to_string(slotOf(1, 1)), "Packlen", 5000);
    rig.profile.writeInt("Link" + std::to_string(slotOf(1, 2)), "Packlen", 0);
    rig.profile.writeString("Link" + std::to_string(slotOf(1, 3)), "Packlen", "abc");
    rig.configure(1, 4);
    rig.create();
    EXPECT_EQ(channelOf(*rig.host->tnc(1), 1)->packlen(), 256);
    EXPECT_EQ(channelOf(*rig.host->tnc(1), 2)->packlen(), 1);
    EXPECT_EQ(channelOf(*rig.host->tnc(1), 3)->packlen(), 64);
    const std::string log = rig.dir.read("system.log");
    EXPECT_NE(log.find("Link2 Packlen 5000 outside 1..256, using 256"), std::string::npos);
    EXPECT_NE(log.find("Link4 Packlen \"abc\" is not a number"), std::string::npos);
}

TEST(MaySend, UnsentFramesAndFreeBuffers) {
    HostRig rig;
    rig.configure(1, 4);
    rig.create();
    CLinkState& ls = channelOf(*rig.host->tnc(1), 1)->linkState();
    ls.onBAnswer("\r800");
    ls.onLAnswer("\r0 0 9 0 0 4");
    EXPECT_FALSE(ls.maySend());
    ls.onLAnswer("\r0 0 8 0 0 4");
    EXPECT_TRUE(ls.maySend());
    ls.onBAnswer("\r500");
    EXPECT_FALSE(ls.maySend()) << "free buffers equal to MinFreeBuffer";
    EXPECT_TRUE(channelOf(*rig.host->tnc(5), 1)->linkState().maySend());
}

}  // namespace
}  // namespace norva::test
