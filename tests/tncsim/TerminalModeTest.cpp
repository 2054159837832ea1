// The simulator in terminal mode: echo, command lines, the switch to host mode.
#include <gtest/gtest.h>

#include "TncsimTestUtil.h"

namespace tncsim {
namespace {

using test::cmd;

class TerminalMode : public ::testing::Test {
protected:
    Radio radio;
    SimTnc& tnc = radio.addTnc(TncConfig{});
};

TEST_F(TerminalMode, EchoesTypedTextAndStartsInTerminalMode) {
    EXPECT_EQ(tnc.mode(), TncMode::Terminal);
    EXPECT_EQ(tnc.feed("hello", 0), "hello");
    EXPECT_EQ(tnc.feed("\x08", 1), "\b \b");
    EXPECT_EQ(tnc.feed("\r", 2), "\r\n");
    EXPECT_EQ(tnc.mode(), TncMode::Terminal);
    EXPECT_EQ(tnc.terminalLog(), "hello\x08\r");
    // A host-mode frame sent to a TNC in terminal mode: only the letter shows.
    EXPECT_EQ(tnc.feed(std::string("\x00\x01\x00L", 4), 3), "L");
    EXPECT_EQ(tnc.mode(), TncMode::Terminal);
}

TEST_F(TerminalMode, StartSequenceOfTheHostSwitchesToHostMode) {
    // XON CAN (ignored), then ESC "jhost 1" CR, as a host sends it on start.
    std::string out = tnc.feed("\x11\x18", 0);
    EXPECT_EQ(out, "");
    out = tnc.feed("\x1bjhost 1\r", 1);
    EXPECT_EQ(out, "\r\n* jhost 1\r\n");
    EXPECT_EQ(tnc.mode(), TncMode::Host);
    EXPECT_EQ(tnc.counters().hostModeEntries, 1u);
    EXPECT_EQ(tnc.feed(cmd(1, "I"), 2), test::text(1, 1, "NOCALL"));
}

TEST_F(TerminalMode, BytesBehindTheSwitchInOneWriteAreHostFrames) {
    std::string out = tnc.feed("\x1bJHOST1\r" + cmd(0, "@B"), 0);
    EXPECT_EQ(out, "\r\n* JHOST1\r\n" + test::text(0, 1, "800"));
}

TEST_F(TerminalMode, CanCancelsHalfTypedCommandLine) {
    tnc.feed("\x1bjho", 0);
    tnc.feed("\x18", 1);
    // Without a new ESC the line is converse text, not a command.
    tnc.feed("jhost1\r", 2);
    EXPECT_EQ(tnc.mode(), TncMode::Terminal);
    tnc.feed("\x1bjhost1\r", 3);
    EXPECT_EQ(tnc.mode(), TncMode::Host);
}

TEST_F(TerminalMode, OtherCommandLinesAnswerPlausibly) {
    EXPECT_EQ(tnc.feed("\x1bQ\r", 0), "\r\n* Q\r\nINVALID COMMAND\r\n");
    EXPECT_EQ(tnc.feed("\x1bi dl1aaa\r", 1), "\r\n* i dl1aaa\r\n");
    EXPECT_EQ(tnc.feed("\x1bI\r", 2), "\r\n* I\r\nDL1AAA\r\n");
    EXPECT_EQ(tnc.feed("\x1bjhost0\r", 3), "\r\n* jhost0\r\n");
    EXPECT_EQ(tnc.feed("\x1bjhost 2\r", 4), "\r\n* jhost 2\r\nINVALID COMMAND\r\n");
    EXPECT_EQ(tnc.mode(), TncMode::Terminal);
}

TEST_F(TerminalMode, OverlongLineIsCutNotGrown) {
    std::string out = tnc.feed(std::string(300, 'a'), 0);
    EXPECT_EQ(out.size(), 256u);
    tnc.feed("\r", 1);
    EXPECT_EQ(tnc.feed("ok", 2), "ok");
}

}  // namespace
}  // namespace tncsim
