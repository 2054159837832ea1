// Fault injection, firmware quirks (pacing, fragments) and the start-up
// garbage that reaches a TNC already in host mode.
#include <gtest/gtest.h>

// std
#include <random>

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

namespace tncsim {
namespace {

// Splits a reply stream into replies; false when it is not a clean sequence.
bool splitReplies(std::string_view out, std::size_t& count) {
    count = 0;
    while (!out.empty()) {
        if (out.size() < 2) return false;
        auto code = static_cast<std::uint8_t>(out[1]);
        std::size_t len = 0;
        if (code == 0) {
            len = 2;
        } else if (code <= 5) {
            auto nul = out.find('\0', 2);
            if (nul == std::string_view::npos) return false;
            len = nul + 1;
        } else if (code <= 7) {
            if (out.size() < 3) return false;
            len = 3 + static_cast<std::uint8_t>(out[2]) + 1u;
        } else {
            return false;
        }
        if (len > out.size()) return false;
        out.remove_prefix(len);
        ++count;
    }
    return true;
}

TEST(Robustness, RandomBytesInHostModeGetOneWellFormedReplyPerFrame) {
    Radio radio;
    SimTnc& tnc = radio.addTnc(test::hostConfig("DL1AAA", 4));
    radio.addStation("DB0SIM");
    std::mt19937 rng(7);
    std::string all = tnc.feed(test::cmd(0, "MUISC"), 0);
    std::uint64_t now = 0;
    for (int round = 0; round < 2000; ++round) {
        // Mostly sensible frames with random bytes between them.
        static const char* cmds[] = {"G", "L", "@B", "C DB0SIM", "D", "I", "C NOBODY", "K 1"};
        int ch = static_cast<int>(rng() % 6);
        std::string frame = rng() % 2 ? test::cmd(ch, cmds[rng() % 8])
                                      : test::info(ch, std::string(1 + rng() % 40, 'x'));
        if (rng() % 10 == 0) frame = std::string(1 + rng() % 5, static_cast<char>(rng()));
        now += rng() % 200;
        all += tnc.feed(frame, now);
    }
    ASSERT_EQ(tnc.mode(), TncMode::Host);
    std::size_t replies = 0;
    ASSERT_TRUE(splitReplies(all, replies));
    EXPECT_EQ(replies, tnc.counters().framesHandled);
    EXPECT_EQ(tnc.counters().framesHandled, tnc.frameLog().size());
    EXPECT_GT(replies, 300u);
}

TEST(Robustness, FullMonitorQueueDropsWholeOldFrames) {
    Radio radio;
    TncConfig c = test::hostConfig();
    c.monitorLimit = 3;
    SimTnc& tnc = radio.addTnc(c);
    tnc.queueMonitor("fm A to B ctl I00^ pid F0", "one");
    tnc.queueMonitor("fm A to B ctl I01^ pid F0", "two");
    EXPECT_EQ(tnc.pendingItems(0), 2u);
    EXPECT_EQ(tnc.feed(test::cmd(0, "G"), 1), test::text(0, 5, "fm A to B ctl I01^ pid F0"));
    EXPECT_EQ(tnc.feed(test::cmd(0, "G"), 2), test::counted(0, 6, "two"));
}

}  // namespace
}  // namespace tncsim
