// The simulator in host mode: one reply per frame, by channel and command.
#include <gtest/gtest.h>

#include "TncsimTestUtil.h"

namespace tncsim {
namespace {

using test::cmd;
using test::counted;
using test::info;
using test::ok;
using test::text;

class HostCommands : public ::testing::Test {
protected:
    Radio radio;
    SimTnc& tnc = radio.addTnc(test::hostConfig());
    std::uint64_t now = 1000;

    std::string send(const std::string& frame) { return tnc.feed(frame, ++now); }
};

TEST_F(HostCommands, StatusCommandsOnIdleTnc) {
    EXPECT_EQ(send(cmd(0, "G")), ok(0));
    EXPECT_EQ(send(cmd(3, "G")), ok(3));
    EXPECT_EQ(send(cmd(0, "L")), text(0, 1, "0 0"));
    EXPECT_EQ(send(cmd(2, "L")), text(2, 1, "0 0 0 0 0 0"));
    EXPECT_EQ(send(cmd(0, "@B")), text(0, 1, "800"));
    EXPECT_EQ(send(cmd(5, "@b")), text(5, 1, "800"));
}

TEST_F(HostCommands, IdentStoresUpperCaseCallPerChannel) {
    EXPECT_EQ(send(cmd(1, "I")), text(1, 1, "NOCALL"));
    EXPECT_EQ(send(cmd(1, "i dl1aaa-1")), ok(1));
    EXPECT_EQ(send(cmd(1, "I")), text(1, 1, "DL1AAA-1"));
    EXPECT_EQ(send(cmd(2, "I")), text(2, 1, "NOCALL"));
    // Channel 0 sets the TNC's own call, which channels without their own call use.
    EXPECT_EQ(send(cmd(0, "I DB0XYZ")), ok(0));
    EXPECT_EQ(send(cmd(2, "I")), text(2, 1, "DB0XYZ"));
    EXPECT_EQ(send(cmd(1, "I")), text(1, 1, "DL1AAA-1"));
    EXPECT_EQ(send(cmd(1, "I THIS/IS/BAD")), text(1, 2, "INVALID CALLSIGN"));
    EXPECT_EQ(tnc.channelCall(1), "DL1AAA-1");
}

TEST_F(HostCommands, ConnectToNobodyEndsInLinkFailure) {
    EXPECT_EQ(send(cmd(1, "C DB0XXX")), ok(1));
    EXPECT_EQ(tnc.linkState(1), kLinkSetup);
    EXPECT_EQ(send(cmd(1, "L")), text(1, 1, "0 0 0 0 1 1"));
    EXPECT_EQ(send(cmd(1, "C DB0YYY")), text(1, 2, "CHANNEL ALREADY CONNECTED"));
    EXPECT_EQ(send(cmd(1, "G")), ok(1));
    // The attempt started at 1001 and fails 2000 ms later.
    EXPECT_EQ(tnc.advance(2990), "");
    EXPECT_EQ(tnc.pendingItems(1), 0u);
    now = 3010;
    EXPECT_EQ(send(cmd(1, "L")), text(1, 1, "1 0 0 0 0 0"));
    EXPECT_EQ(send(cmd(1, "G")), text(1, 3, "(1) LINK FAILURE with DB0XXX"));
    EXPECT_EQ(tnc.linkState(1), kDisconnected);
}

TEST_F(HostCommands, DisconnectAndInfoNeedALink) {
    EXPECT_EQ(send(cmd(1, "D")), text(1, 2, "CHANNEL NOT CONNECTED"));
    EXPECT_EQ(send(info(1, "hello\r")), text(1, 2, "CHANNEL NOT CONNECTED"));
    EXPECT_EQ(send(cmd(1, "C")), text(1, 2, "CHANNEL NOT CONNECTED"));
    // During link setup "D" gives up the attempt at once.
    send(cmd(2, "C DB0XXX"));
    EXPECT_EQ(send(cmd(2, "D")), ok(2));
    EXPECT_EQ(send(cmd(2, "G")), text(2, 3, "(2) DISCONNECTED fm DB0XXX"));
    now += 5000;
    EXPECT_EQ(send(cmd(2, "G")), ok(2));
}

TEST_F(HostCommands, ConnectArgumentsAreChecked) {
    EXPECT_EQ(send(cmd(1, "C ???")), text(1, 2, "INVALID CALLSIGN"));
    EXPECT_EQ(send(cmd(1, "C DB0SIM via !!")), text(1, 2, "INVALID CALLSIGN"));
    EXPECT_EQ(tnc.linkState(1), kDisconnected);
    // On the monitor channel "C" names the destination of unproto frames.
    EXPECT_EQ(send(cmd(0, "C APRS")), ok(0));
    EXPECT_EQ(send(cmd(0, "C")), text(0, 1, "APRS"));
}

TEST_F(HostCommands, MonitorSettingsJhostAndParameters) {
    EXPECT_EQ(send(cmd(0, "M")), text(0, 1, "N"));
    EXPECT_EQ(send(cmd(0, "muisc")), ok(0));
    EXPECT_TRUE(tnc.monitorOn());
    EXPECT_EQ(send(cmd(0, "M")), text(0, 1, "UISC"));
    EXPECT_EQ(send(cmd(0, "MN")), ok(0));
    EXPECT_FALSE(tnc.monitorOn());
    EXPECT_EQ(send(cmd(0, "M Q")), text(0, 2, "INVALID COMMAND"));

    EXPECT_EQ(send(cmd(1, "T 50")), ok(1));
    EXPECT_EQ(send(cmd(1, "T")), text(1, 1, "50"));
    EXPECT_EQ(send(cmd(1, "K")), text(1, 1, "0"));
    EXPECT_EQ(send(cmd(0, "@T2 300")), ok(0));
    EXPECT_EQ(send(cmd(0, "@T2")), text(0, 1, "300"));
    EXPECT_EQ(send(cmd(0, "Q")), text(0, 2, "INVALID COMMAND"));
    EXPECT_EQ(send(cmd(0, "1")), text(0, 2, "INVALID COMMAND"));
    EXPECT_EQ(send(cmd(0, "@")), text(0, 2, "INVALID COMMAND"));
    EXPECT_EQ(send(cmd(0, "JUNK")), text(0, 2, "INVALID COMMAND"));
    EXPECT_EQ(send(cmd(0, "JHOST1")), ok(0));
    EXPECT_EQ(tnc.mode(), TncMode::Host);

    EXPECT_EQ(send(cmd(0, "JHOST0")), ok(0));
    EXPECT_EQ(tnc.mode(), TncMode::Terminal);
    EXPECT_EQ(send("ab"), "ab");  // echoed like a terminal again
}

TEST_F(HostCommands, ChannelNumbersAboveTheCountAreRejected) {
    EXPECT_EQ(send(cmd(11, "G")), text(11, 2, "INVALID CHANNEL NUMBER"));
    EXPECT_EQ(send(info(200, "x")), text(200, 2, "INVALID CHANNEL NUMBER"));
    EXPECT_EQ(send(cmd(10, "G")), ok(10));

    Radio big;
    SimTnc& fifty = big.addTnc(test::hostConfig("NOCALL", 50));
    EXPECT_EQ(fifty.feed(cmd(50, "G"), 1), ok(50));
    EXPECT_EQ(fifty.feed(cmd(51, "G"), 2), text(51, 2, "INVALID CHANNEL NUMBER"));
}

TEST_F(HostCommands, GetReturnsQueuedItemsInOrderWithTheirCodes) {
    tnc.queueLinkStatus(2, "(2) CONNECTED to DL2BBB");
    tnc.queueConnectedData(2, std::string(300, 'd'));
    tnc.queueMonitor("fm DL1AAA to DB0SIM ctl SABM+", "");
    tnc.queueMonitor("fm DL1AAA to DB0SIM ctl I00^ pid F0", "hi\r");

    EXPECT_EQ(send(cmd(2, "L")), text(2, 1, "1 2 0 0 0 0"));
    EXPECT_EQ(send(cmd(0, "L")), text(0, 1, "0 2"));
    EXPECT_EQ(send(cmd(0, "@B")), text(0, 1, "794"));
    EXPECT_EQ(send(cmd(2, "G")), text(2, 3, "(2) CONNECTED to DL2BBB"));
    EXPECT_EQ(send(cmd(2, "G")), counted(2, 7, std::string(256, 'd')));
    EXPECT_EQ(send(cmd(2, "G")), counted(2, 7, std::string(44, 'd')));
    EXPECT_EQ(send(cmd(2, "G")), ok(2));
    EXPECT_EQ(send(cmd(0, "G")), text(0, 4, "fm DL1AAA to DB0SIM ctl SABM+"));
    EXPECT_EQ(send(cmd(0, "G")), text(0, 5, "fm DL1AAA to DB0SIM ctl I00^ pid F0"));
    EXPECT_EQ(send(cmd(0, "G")), counted(0, 6, "hi\r"));
    EXPECT_EQ(send(cmd(0, "G")), ok(0));
}

TEST_F(HostCommands, EveryFrameGetsExactlyOneReplyEvenBackToBack) {
    std::string out = send(cmd(0, "G") + cmd(1, "L") + cmd(99, "G") + cmd(0, "@B"));
    EXPECT_EQ(out, ok(0) + text(1, 1, "0 0 0 0 0 0") + text(99, 2, "INVALID CHANNEL NUMBER") +
                       text(0, 1, "800"));
    EXPECT_EQ(tnc.counters().framesHandled, 4u);
    // Half a frame gets no answer until it is complete.
    std::string g = cmd(1, "G");
    EXPECT_EQ(send(g.substr(0, 2)), "");
    EXPECT_TRUE(tnc.framePartial());
    EXPECT_EQ(send(g.substr(2)), ok(1));
}

class ExtendedPoll : public ::testing::Test {
protected:
    Radio radio;
};

TEST_F(ExtendedPoll, ListsChannelsWithPendingItemsAsChannelPlusOne) {
    SimTnc& tnc = radio.addTnc(test::hostConfig());
    EXPECT_EQ(tnc.feed(cmd(255, "G"), 1), ok(255));
    tnc.queueLinkStatus(3, "(3) CONNECTED to DL2BBB");
    tnc.queueMonitor("fm A to B ctl UI^", "");
    tnc.queueConnectedData(10, "x");
    EXPECT_EQ(tnc.feed(cmd(255, "G"), 2), text(255, 1, "\x01\x04\x0b"));
    // Polling does not consume anything.
    EXPECT_EQ(tnc.feed(cmd(255, "G"), 3), text(255, 1, "\x01\x04\x0b"));
    EXPECT_EQ(tnc.feed(cmd(255, "L"), 4), text(255, 2, "INVALID COMMAND"));
}

TEST_F(ExtendedPoll, EmptyListAsTextAndFirmwareWithoutExtendedPoll) {
    TncConfig c = test::hostConfig();
    c.emptyPollAsText = true;
    SimTnc& withText = radio.addTnc(c);
    EXPECT_EQ(withText.feed(cmd(255, "G"), 1), text(255, 1, ""));

    c = test::hostConfig();
    c.extendedPoll = false;
    SimTnc& old = radio.addTnc(c);
    old.queueConnectedData(1, "x");
    EXPECT_EQ(old.feed(cmd(255, "G"), 2), text(255, 2, "INVALID CHANNEL"));
}

}  // namespace
}  // namespace tncsim
