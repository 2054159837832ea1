// Resynchronisation: single bytes, reopen after five unanswered attempts,
// give-up after 255, and a TNC that fell back to terminal mode.
#include <gtest/gtest.h>

#include "channel/TncChannel.h"
#include "support/HostRig.h"

namespace norva::test {
namespace {

// A TNC 1 with four channels that has just lost one reply.
CTnc* lostOneReply(HostRig& rig) {
    rig.configure(1, 4);
    rig.create();
    CTnc* tnc = rig.host->tnc(1);
    rig.fw.silent = true;
    rig.host->pollStep();
    rig.fw.silent = false;
    return tnc;
}

int singleBytes(const StreamState& s) {
    return static_cast<int>(std::count(s.writes.begin(), s.writes.end(), std::string("\x01")));
}

TEST(Resync, SilentTncIsReopenedEveryFifthAttemptAndGivenUpAfter255) {
    HostRig rig;
    rig.configure(1, 4, "/dev/ttyFAKE0", 1, "Silent");
    rig.create();
    CTnc* tnc = rig.host->tnc(1);
    rig.fw.silent = true;
    rig.state->writes.clear();
    const int opensBefore = rig.state->opens;
    // The lost reply, then the first attempt in the same step.
    rig.host->pollStep();
    ASSERT_TRUE(tnc->outOfSync());
    for (int i = 0; i < 3; ++i) EXPECT_EQ(tnc->resynchronise(), 1);
    EXPECT_EQ(singleBytes(*rig.state), 4);
    EXPECT_EQ(rig.state->opens, opensBefore);
    EXPECT_EQ(tnc->resynchronise(), 1);
    EXPECT_EQ(rig.state->opens, opensBefore + 1) << "reopened after the 5th attempt";

    int steps = 0;
    while (tnc->isOpen() && steps++ < 5000) rig.host->pollStep();
    EXPECT_FALSE(tnc->isOpen());
    EXPECT_EQ(singleBytes(*rig.state), 255);
    EXPECT_EQ(rig.profile.getInt("1", "Connected", 9), 0);
    int boxes = 0;
    for (const auto& [caption, text] : rig.ui.boxes)
        if (text == "Tnc kann nicht resynchronisiert werden.") {
            ++boxes;
            EXPECT_EQ(caption, "Norva Tnc Resynch ");
        }
    EXPECT_EQ(boxes, 1);
    const std::string log = rig.dir.read("system.log");
    EXPECT_NE(log.find("  05.03.2024 09:"), std::string::npos);
    EXPECT_NE(log.find("Tnc Silent         no Resynch afer 255\r\n"), std::string::npos) << log;
    // The give-up stopped polling the TNC; further steps leave it alone.
    rig.state->writes.clear();
    for (int i = 0; i < 10; ++i) rig.host->pollStep();
    EXPECT_TRUE(rig.state->writes.empty());
}

TEST(Resync, LostReplyRecoversInHostModeAndReinitialises) {
    HostRig rig;
    rig.configure(1, 4, "/dev/ttyFAKE0", 1, "Ok");
    rig.dir.write("tnc1.ini", "Y 1\n");
    rig.create();
    CTnc* tnc = rig.host->tnc(1);
    std::vector<std::string> trace;
    rig.ctx.trace = [&](std::string_view line) { trace.emplace_back(line); };
    // Lose exactly one reply: the firmware is silent for one step.
    rig.fw.silent = true;
    rig.state->writes.clear();
    const int opens = rig.state->opens;
    rig.host->pollStep();
    ASSERT_TRUE(tnc->outOfSync());
    rig.fw.silent = false;
    for (int i = 0; i < 20 && tnc->outOfSync(); ++i) rig.host->pollStep();
    EXPECT_FALSE(tnc->outOfSync());
    // The fifth single byte completes a frame the firmware answers "INVALID COMMAND".
    EXPECT_EQ(singleBytes(*rig.state), 5);
    EXPECT_EQ(rig.state->opens, opens) << "a host-mode answer needs no reopen";
    for (int i = 0; i < 5; ++i) rig.host->pollStep();
    const auto cmds = rig.state->commands();
    EXPECT_NE(std::find(cmds.begin(), cmds.end(), "Y 1"), cmds.end()) << "init file sent again";
    EXPECT_NE(rig.dir.read("system.log").find("Tnc Ok             Resynch OK afer 5\r\n"),
              std::string::npos);
    EXPECT_EQ(trace, (std::vector<std::string>{"Tnc 1 out of sync: no reply",
                                               "Tnc 1 in sync: answer after 5 attempts"}));
    rig.ctx.trace = nullptr;  // the rig outlives the lines it would report to
}

// A slow line hands the answer over in pieces; wherever it is cut, the
// host-mode answer is recognised and the port stays open.
TEST(Resync, AnswerSplitAnywhereIsJudgedWhole) {
    const std::size_t answerLength = reply(1, 2, "INVALID COMMAND").size();
    for (std::size_t cut = 1; cut < answerLength; ++cut) {
        SCOPED_TRACE("cut after byte " + std::to_string(cut));
        HostRig rig;
        CTnc* tnc = lostOneReply(rig);
        ASSERT_TRUE(tnc->outOfSync());
        rig.state->readSizes = {cut};
        const int opens = rig.state->opens;
        for (int i = 0; i < 20 && tnc->outOfSync(); ++i) rig.host->pollStep();
        EXPECT_FALSE(tnc->outOfSync());
        EXPECT_EQ(rig.state->opens, opens) << "no reopen for a host-mode answer";
    }
}

TEST(Resync, AnswerOneByteAtATimeIsJudgedWhole) {
    HostRig rig;
    CTnc* tnc = lostOneReply(rig);
    ASSERT_TRUE(tnc->outOfSync());
    rig.state->fragment = 1;
    const int opens = rig.state->opens;
    for (int i = 0; i < 20 && tnc->outOfSync(); ++i) rig.host->pollStep();
    EXPECT_FALSE(tnc->outOfSync());
    EXPECT_EQ(rig.state->opens, opens);
}

// A device that never stops sending cannot hold the engine in a drain.
TEST(Resync, ChatteringDeviceIsReadForABoundedTime) {
    HostRig rig;
    CTnc* tnc = lostOneReply(rig);
    ASSERT_TRUE(tnc->outOfSync());
    // Every read finds more garbage, as from a line with noise.
    rig.state->responder = [](const std::string&) { return std::string(100000, 'x'); };
    const auto before = rig.clock.monotonicMs();
    tnc->resynchronise();
    // The attempt reads, reopens and switches again: a few bounded drains.
    EXPECT_LE(rig.clock.monotonicMs() - before, 10000);
    EXPECT_FALSE(rig.state->pending.empty()) << "stopped reading before the end";
}

TEST(Resync, TerminalModeAnswerReopensAndSwitchesAgain) {
    HostRig rig;
    rig.configure(1, 4);
    rig.create();
    CTnc* tnc = rig.host->tnc(1);
    rig.fw.terminalMode = true;  // the TNC was reset
    const int opens = rig.state->opens;
    // The echo is no reply; the first attempt's echo shows terminal mode.
    rig.host->pollStep();
    EXPECT_FALSE(tnc->outOfSync());
    EXPECT_EQ(rig.state->opens, opens + 1);
    EXPECT_FALSE(rig.fw.terminalMode) << "switched back into host mode";
    EXPECT_TRUE(tnc->isOpen());
}

TEST(Resync, UnpluggedAdapterKeepsOtherTncsPolled) {
    HostRig rig;
    rig.configure(1, 4);
    rig.configure(2, 4, "dde");
    rig.create();
    CTnc* first = rig.host->tnc(1);
    rig.state->broken = true;
    rig.state->failOpen = true;
    int dummyTurns = 0, secondTurns = 0;
    for (int i = 0; i < 200; ++i) {
        if (rig.host->currentTnc() == 2) ++secondTurns;
        if (rig.host->currentTnc() == 5) ++dummyTurns;
        rig.host->pollStep();
    }
    EXPECT_TRUE(first->outOfSync() || !first->isOpen());
    EXPECT_GT(secondTurns, 40);
    EXPECT_GT(dummyTurns, 20);
}

}  // namespace
}  // namespace norva::test
