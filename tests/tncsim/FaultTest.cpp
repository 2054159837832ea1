// Fault injection, firmware quirks (pacing, fragments) and the start-up
// garbage that reaches a TNC already in host mode.
#include <gtest/gtest.h>

#include "TncsimTestUtil.h"

namespace tncsim {
namespace {

using test::cmd;
using test::ok;
using test::text;

class Faults : public ::testing::Test {
protected:
    Radio radio;
    SimTnc& tnc = radio.addTnc(test::hostConfig());
    std::uint64_t now = 0;

    std::string send(const std::string& f) { return tnc.feed(f, ++now); }
};

TEST_F(Faults, DroppedRepliesStillProcessTheFrame) {
    tnc.dropReplies(2);
    EXPECT_EQ(send(cmd(1, "I DL1AAA")), "");
    EXPECT_EQ(send(cmd(1, "G")), "");
    EXPECT_EQ(send(cmd(1, "I")), text(1, 1, "DL1AAA"));
    SimCounters c = tnc.counters();
    EXPECT_EQ(c.framesHandled, 3u);
    EXPECT_EQ(c.repliesDropped, 2u);
    EXPECT_EQ(c.repliesWritten, 1u);
}

TEST_F(Faults, GarbledReplyKeepsLengthAndOnlyOnce) {
    tnc.garbleNextReply();
    std::string garbled = send(cmd(0, "@B"));
    EXPECT_EQ(garbled.size(), text(0, 1, "800").size());
    EXPECT_NE(garbled, text(0, 1, "800"));
    EXPECT_EQ(send(cmd(0, "@B")), text(0, 1, "800"));
}

TEST_F(Faults, CutReplyKeepsOnlyItsFirstBytes) {
    tnc.cutNextReply(3);
    EXPECT_EQ(send(cmd(0, "@B")), text(0, 1, "800").substr(0, 3));
    EXPECT_EQ(send(cmd(0, "@B")), text(0, 1, "800"));
}

TEST_F(Faults, FallBackToTerminalModeDropsPartialFrame) {
    send(cmd(0, "G").substr(0, 2));
    EXPECT_TRUE(tnc.framePartial());
    tnc.fallBackToTerminal();
    EXPECT_EQ(tnc.mode(), TncMode::Terminal);
    EXPECT_EQ(send("x"), "x");
    EXPECT_FALSE(tnc.framePartial());
    send("\x1bJHOST1\r");
    EXPECT_EQ(send(cmd(0, "G")), ok(0));
}

TEST_F(Faults, SlowRepliesLeaveLater) {
    tnc.setReplyDelay(500);
    EXPECT_EQ(tnc.feed(cmd(0, "G"), 100), "");
    EXPECT_EQ(tnc.nextWakeMs(), std::optional<std::uint64_t>(600));
    EXPECT_EQ(tnc.advance(599), "");
    EXPECT_EQ(tnc.advance(600), ok(0));
    tnc.setReplyDelay(0);
    EXPECT_EQ(tnc.feed(cmd(0, "G"), 700), ok(0));
}

TEST_F(Faults, SilentTncReadsButNeverAnswersUntilCleared) {
    tnc.setSilent(true);
    EXPECT_EQ(send(cmd(0, "G")), "");
    EXPECT_EQ(send(cmd(1, "I DL1AAA")), "");
    EXPECT_EQ(tnc.channelCall(1), "NOCALL");  // not processed either
    tnc.setSilent(false);
    EXPECT_EQ(send(cmd(0, "G")), ok(0));
    SimCounters c = tnc.counters();
    EXPECT_EQ(c.framesIgnored, 2u);
    EXPECT_EQ(c.framesHandled, 1u);
    auto log = tnc.frameLog();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[1].channel, 1);
    EXPECT_EQ(log[1].code, 1);
    EXPECT_EQ(log[1].data, "I DL1AAA");
    tnc.clearLogs();
    EXPECT_TRUE(tnc.frameLog().empty());
}

TEST_F(Faults, ClearFaultsEndsEveryPendingFault) {
    tnc.dropReplies(5);
    tnc.garbleNextReply();
    tnc.setSilent(true);
    tnc.setReplyDelay(1000);
    tnc.clearFaults();
    EXPECT_EQ(send(cmd(0, "G")), ok(0));
}

// The host's start sequence XON CAN ESC "jhost 1" CR reaching a TNC that is
// already in host mode opens a frame for channel 0x11 with 28 data bytes.
TEST_F(Faults, StartGarbageInHostModeCompletesAfterTwentySingleBytes) {
    EXPECT_EQ(send("\x11\x18"), "");
    EXPECT_EQ(send("\x1bjhost 1\r"), "");
    EXPECT_EQ(tnc.frameMissing(), 20u);
    for (int i = 0; i < 19; ++i) EXPECT_EQ(send("\x01"), "") << i;
    EXPECT_EQ(send("\x01"), text(0x11, 2, "INVALID CHANNEL NUMBER"));
    EXPECT_FALSE(tnc.framePartial());
    EXPECT_EQ(send(cmd(0, "G")), ok(0));
    auto log = tnc.frameLog();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].code, 0x18);
}

TEST_F(Faults, StartGarbageOnATncWithFiftyChannelsIsAnInvalidCommand) {
    Radio r;
    SimTnc& big = r.addTnc(test::hostConfig("NOCALL", 50));
    big.feed("\x11\x18\x1bjhost 1\r", 1);
    EXPECT_EQ(big.feed(std::string(20, '\x01'), 2), text(0x11, 2, "INVALID COMMAND"));
    EXPECT_EQ(big.mode(), TncMode::Host);
}

TEST_F(Faults, FrameIntervalPacesBackToBackFrames) {
    Radio r;
    TncConfig c = test::hostConfig();
    c.frameIntervalMs = 100;
    SimTnc& paced = r.addTnc(c);
    std::string three = cmd(0, "G") + cmd(1, "G") + cmd(2, "G");
    EXPECT_EQ(paced.feed(three, 1000), ok(0));
    EXPECT_EQ(paced.nextWakeMs(), std::optional<std::uint64_t>(1100));
    EXPECT_EQ(paced.advance(1099), "");
    EXPECT_EQ(paced.advance(1100), ok(1));
    EXPECT_EQ(paced.advance(1250), ok(2));
    // The next pass is 100 ms after the last one handled...
    EXPECT_EQ(paced.feed(cmd(3, "G"), 1260), "");
    EXPECT_EQ(paced.advance(1300), ok(3));
    // ...and after a quiet spell a frame is answered at once.
    EXPECT_EQ(paced.feed(cmd(4, "G"), 1450), ok(4));
}

TEST_F(Faults, FragmentedRepliesComeInPiecesWithGaps) {
    Radio r;
    TncConfig c = test::hostConfig();
    c.fragmentSize = 1;
    c.fragmentGapMs = 2;
    SimTnc& frag = r.addTnc(c);
    frag.receive(cmd(0, "@B"), 10);
    auto first = frag.takeOutput(10);
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0], std::string(1, '\0'));
    std::string rest;
    std::uint64_t t = 10;
    while (auto wake = frag.nextWakeMs()) {
        EXPECT_GT(*wake, t);
        t = *wake;
        auto pieces = frag.takeOutput(t);
        ASSERT_EQ(pieces.size(), 1u);
        rest += pieces[0];
    }
    EXPECT_EQ(first[0] + rest, text(0, 1, "800"));
    EXPECT_EQ(t, 20u);
}

}  // namespace
}  // namespace tncsim
