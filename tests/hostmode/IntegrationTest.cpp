// Norva's real serial code against the TNC simulator on a pty.
#include <gtest/gtest.h>

#include <regex>

#include "support/TempDir.h"
#include "PtyRig.h"

namespace norva::test {
namespace {

using tncsim::SimTnc;
using tncsim::TncConfig;

bool has(const std::vector<std::string>& v, const std::string& s) {
    return std::find(v.begin(), v.end(), s) != v.end();
}

// Firmware on a 9600-baud line: every reply byte written on its own, at
// most one frame per 100 ms.
TncConfig slowLine() {
    TncConfig cfg;
    cfg.fragmentSize = 1;
    cfg.fragmentGapMs = 1;
    cfg.frameIntervalMs = 100;
    return cfg;
}

TEST(PtyTnc, TerminalModeTncIsSwitchedInitialisedAndStopped) {
    PtyRig rig;
    auto& server = rig.addTnc(1, TncConfig{}, 4);
    rig.dir.write("tnc1.ini", "I DB0NRV\r\n\r\nT 30\nY 2\r" + std::string("\r\n"));
    rig.dir.write("tnc1.exi", "T 50\n");
    rig.create();
    CTnc* tnc = rig.host->tnc(1);
    ASSERT_TRUE(tnc->isOpen());
    EXPECT_FALSE(tnc->outOfSync());

    const std::string terminal = server.withTnc([](SimTnc& t) { return t.terminalLog(); });
    EXPECT_NE(terminal.find("\x11\x18"), std::string::npos);
    EXPECT_NE(terminal.find("\x1bjhost 1\r"), std::string::npos);
    auto cmds = commandsOf(server);
    ASSERT_GE(cmds.size(), 6u);
    // Channel 0 polled once (free buffers, then get), monitor on, the init file.
    EXPECT_EQ(cmds[0], "@B");
    EXPECT_EQ(cmds[1], "G");
    EXPECT_EQ(cmds[2], "MUISC");
    EXPECT_EQ(cmds[3], "I DB0NRV");
    EXPECT_EQ(cmds[4], "T 30");
    EXPECT_EQ(cmds[5], "Y 2");
    EXPECT_EQ(server.withTnc([](SimTnc& t) { return t.channelCall(2); }), "NOCALL");

    // Extended polling from the first step on.
    server.withTnc([](SimTnc& t) { t.clearLogs(); });
    for (int i = 0; i < 20; ++i) rig.host->pollStep();
    const auto frames = server.withTnc([](SimTnc& t) { return t.frameLog(); });
    EXPECT_TRUE(std::any_of(frames.begin(), frames.end(),
                            [](const auto& f) { return f.channel == 255 && f.data == "G"; }));

    server.withTnc([](SimTnc& t) { t.clearLogs(); });
    rig.host->stopAll();
    cmds = commandsOf(server);
    ASSERT_EQ(cmds.size(), 3u);
    EXPECT_EQ(cmds[0], "MN");
    EXPECT_EQ(cmds[1], "T 50");
    EXPECT_EQ(cmds[2], "jhost 0");
    EXPECT_FALSE(tnc->isOpen());
    EXPECT_EQ(server.withTnc([](SimTnc& t) { return t.mode(); }), tncsim::TncMode::Terminal);

    const std::regex lines(
        "  \\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d  Tnc Sim1           Start\\.\\.\\.->  connected\r\n"
        "  \\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d  Tnc Sim1           Stop \\.\\.\\.->  disconnected\r\n");
    EXPECT_TRUE(std::regex_match(rig.dir.read("system.log"), lines)) << rig.dir.read("system.log");
}

TEST(PtyTnc, InitFileIsCutAt8192Bytes) {
    PtyRig rig;
    auto& server = rig.addTnc(1, TncConfig{}, 2);
    std::string file;
    for (int n = 0; file.size() < 10000; ++n) file += "Y " + std::to_string(n % 10) + std::string(40, 'x') + "\r\n";
    rig.dir.write("tnc1.ini", file);
    rig.create();
    const auto cmds = commandsOf(server);
    const std::string head = file.substr(0, 8192);
    const std::string lastCut = head.substr(head.find_last_of('\n') + 1);
    EXPECT_TRUE(has(cmds, lastCut)) << "the line cut at the boundary is sent cut";
    const auto ys = std::count_if(cmds.begin(), cmds.end(), [](const auto& c) { return c.starts_with("Y "); });
    EXPECT_EQ(ys, static_cast<long>(std::count(head.begin(), head.end(), '\n')) + 1);
}

class AlreadyInHostMode : public ::testing::TestWithParam<int> {};

TEST_P(AlreadyInHostMode, ComesUpInSyncQuicklyWithoutResyncCycles) {
    PtyRig rig;
    TncConfig cfg;
    cfg.channels = GetParam();
    cfg.startInHostMode = true;
    auto& server = rig.addTnc(1, cfg, 10, 250);
    const auto start = rig.clock.monotonicMs();
    rig.create();
    const auto took = rig.clock.monotonicMs() - start;
    CTnc* tnc = rig.host->tnc(1);
    ASSERT_TRUE(tnc->isOpen());
    EXPECT_FALSE(tnc->outOfSync());
    EXPECT_LT(took, 3000) << "an operator restarting Norva does not wait long";
    for (int i = 0; i < 50; ++i) rig.host->pollStep();
    EXPECT_FALSE(tnc->outOfSync());
    EXPECT_EQ(tnc->resyncAttempts(), 0);
    EXPECT_TRUE(has(commandsOf(server), "MUISC"));
}

INSTANTIATE_TEST_SUITE_P(Firmware, AlreadyInHostMode, ::testing::Values(10, 50));

TEST(PtyTnc, HostModeLeftWithHalfAFrameRecovers) {
    PtyRig rig;
    TncConfig cfg;
    cfg.startInHostMode = true;
    auto& server = rig.addTnc(1, cfg, 4);
    // A crashed program left three bytes of a frame behind.
    server.withTnc([](SimTnc& t) { t.feed(std::string("\x02\x00\x05", 3), 0); });
    rig.create();
    CTnc* tnc = rig.host->tnc(1);
    ASSERT_TRUE(tnc->isOpen());
    EXPECT_TRUE(rig.stepUntil([&] { return !tnc->outOfSync() && !tnc->reinitPending(); }, 20000));
    for (int i = 0; i < 50; ++i) rig.host->pollStep();
    EXPECT_FALSE(tnc->outOfSync());
}

TEST(PtyTnc, InvalidChannelAnswerMeansPlainPollingUntilNextInitFile) {
    PtyRig rig;
    TncConfig cfg;
    cfg.extendedPoll = false;
    auto& server = rig.addTnc(1, cfg, 4);
    rig.create();
    CTnc* tnc = rig.host->tnc(1);
    rig.host->pollStep();
    EXPECT_FALSE(tnc->extendedPollAllowed());
    server.withTnc([](SimTnc& t) { t.clearLogs(); });
    for (int i = 0; i < 30; ++i) rig.host->pollStep();
    auto frames = server.withTnc([](SimTnc& t) { return t.frameLog(); });
    EXPECT_TRUE(std::none_of(frames.begin(), frames.end(), [](const auto& f) { return f.channel == 255; }));
    EXPECT_GT(frames.size(), 20u);
    tnc->sendInitFile(InitFile::Init);
    EXPECT_TRUE(tnc->extendedPollAllowed());
}

TEST(PtyTnc, LostReplyIsResynchronisedWithSingleBytes) {
    PtyRig rig;
    auto& server = rig.addTnc(1, TncConfig{}, 4);
    rig.create();
    CTnc* tnc = rig.host->tnc(1);
    server.withTnc([](SimTnc& t) { t.dropReplies(1); });
    ASSERT_TRUE(rig.stepUntil([&] { return tnc->outOfSync(); }));
    ASSERT_TRUE(rig.stepUntil([&] { return !tnc->outOfSync(); }, 10000));
    EXPECT_TRUE(tnc->isOpen());
    EXPECT_NE(rig.dir.read("system.log").find("Tnc Sim1           Resynch OK afer "), std::string::npos);
    for (int i = 0; i < 30; ++i) rig.host->pollStep();
    EXPECT_FALSE(tnc->outOfSync());
}

TEST(PtyTnc, SilentTncIsReopenedAndFinallyGivenUp) {
    PtyRig rig;
    auto& server = rig.addTnc(1, TncConfig{}, 2);
    rig.create();
    CTnc* tnc = rig.host->tnc(1);
    server.withTnc([](SimTnc& t) { t.setSilent(true); });
    ASSERT_TRUE(rig.stepUntil([&] { return tnc->outOfSync(); }));
    EXPECT_TRUE(rig.stepUntil([&] { return tnc->resyncAttempts() >= 6; }, 5000));
    EXPECT_TRUE(tnc->isOpen()) << "reopened after 5 attempts, still trying";
    ASSERT_TRUE(rig.stepUntil([&] { return !tnc->isOpen(); }, 30000));
    EXPECT_EQ(rig.profile.getInt("1", "Connected", 9), 0);
    const auto boxes = std::count_if(rig.ui.boxes.begin(), rig.ui.boxes.end(), [](const auto& b) {
        return b.second == "Tnc kann nicht resynchronisiert werden.";
    });
    EXPECT_EQ(boxes, 1);
    EXPECT_NE(rig.dir.read("system.log").find("Tnc Sim1           no Resynch afer 255\r\n"),
              std::string::npos);
}

TEST(PtyTnc, MissingPortFailsCleanly) {
    PtyRig rig;
    rig.profile.writeString("Tnc", "1", "1");
    rig.profile.writeString("1", "TncName", "Gone");
    rig.profile.writeString("1", "ComPort", (rig.dir.path() / "ttyNOPE").string());
    rig.profile.writeInt("1", "Connected", 1);
    rig.create();
    ASSERT_EQ(rig.ui.boxes.size(), 1u);
    EXPECT_EQ(rig.ui.boxes[0].second,
              "Com Port kann nicht geöffnet werden " + (rig.dir.path() / "ttyNOPE").string());
    EXPECT_EQ(rig.profile.getInt("1", "Connected", 9), 0);
    EXPECT_NE(rig.dir.read("system.log").find("Tnc Gone           Start...->  not connected (failed)\r\n"),
              std::string::npos);
}

TEST(PtyTnc, FragmentedAndSlowRepliesAreAssembled) {
    PtyRig rig;
    auto& server = rig.addTnc(1, slowLine(), 2, 250);
    rig.create();
    CTnc* tnc = rig.host->tnc(1);
    ASSERT_TRUE(tnc->isOpen());
    server.withTnc([](SimTnc& t) { t.queueConnectedData(1, "hello over a slow link\r"); });
    rig.ui.texts.clear();
    EXPECT_TRUE(rig.stepUntil([&] {
        return std::any_of(rig.ui.texts.begin(), rig.ui.texts.end(), [](const auto& t) {
            return std::get<2>(t) == "hello over a slow link\r";
        });
    }, 10000));
    EXPECT_FALSE(tnc->outOfSync());
    EXPECT_EQ(tnc->resyncAttempts(), 0);
}

// On a slow line a reply lost mid-session costs one resynchronisation
// round and no reopen of the port.
TEST(PtyTnc, SlowFragmentedLineResynchronisesWithoutReopen) {
    PtyRig rig;
    auto& server = rig.addTnc(1, slowLine(), 2, 250);
    rig.create();
    CTnc* tnc = rig.host->tnc(1);
    ASSERT_TRUE(tnc->isOpen());
    ASSERT_FALSE(tnc->outOfSync());
    std::vector<std::string> trace;
    rig.ctx.trace = [&](std::string_view line) { trace.emplace_back(line); };
    server.withTnc([](SimTnc& t) { t.dropReplies(1); });
    ASSERT_TRUE(rig.stepUntil([&] { return tnc->outOfSync(); }, 10000));
    ASSERT_TRUE(rig.stepUntil([&] { return !tnc->outOfSync(); }, 30000));
    rig.stepUntil([] { return false; }, 500);
    rig.ctx.trace = nullptr;
    ASSERT_EQ(trace.size(), 2u) << "no close, open or second loss";
    EXPECT_EQ(trace[0], "Tnc 1 out of sync: no reply");
    EXPECT_TRUE(trace[1].starts_with("Tnc 1 in sync: answer after ")) << trace[1];
    EXPECT_EQ(tnc->resyncAttempts(), 0);
}

TEST(PtyTnc, BadRepliesNeverCrashOrHang) {
    PtyRig rig;
    auto& server = rig.addTnc(1, TncConfig{}, 4);
    rig.create();
    CTnc* tnc = rig.host->tnc(1);
    for (int round = 0; round < 3; ++round) {
        server.withTnc([&](SimTnc& t) {
            if (round == 0) t.garbleNextReply();
            if (round == 1) t.cutNextReply(1);
            if (round == 2) t.queueConnectedData(2, std::string(256, '\xff'));
        });
        // A cut reply is always noticed; garbage may look like a short reply.
        const bool lost = rig.stepUntil([&] { return tnc->outOfSync(); }, 300);
        if (round == 1) {
            EXPECT_TRUE(lost) << "cut reply";
        }
        ASSERT_TRUE(rig.stepUntil([&] { return !tnc->outOfSync(); }, 15000)) << round;
    }
    EXPECT_TRUE(tnc->isOpen());
    EXPECT_TRUE(rig.stepUntil([&] {
        return std::any_of(rig.ui.texts.begin(), rig.ui.texts.end(), [](const auto& t) {
            return std::get<2>(t).find(std::string(256, '\xff')) != std::string::npos;
        });
    })) << "the full frame of 256 bytes arrived";
}

TEST(PtyTnc, UnpluggedAdapterDoesNotStopTheOtherTnc) {
    PtyRig rig;
    auto& first = rig.addTnc(1, TncConfig{}, 2);
    auto& second = rig.addTnc(2, TncConfig{}, 2);
    rig.create();
    ASSERT_TRUE(rig.host->tnc(1)->isOpen());
    ASSERT_TRUE(rig.host->tnc(2)->isOpen());
    first.unplug();
    second.withTnc([](SimTnc& t) { t.clearLogs(); });
    ASSERT_TRUE(rig.stepUntil([&] { return rig.host->tnc(1)->outOfSync(); }));
    for (int i = 0; i < 200; ++i) rig.host->pollStep();
    const auto polled = second.withTnc([](SimTnc& t) { return t.frameLog().size(); });
    EXPECT_GT(polled, 30u) << "TNC 2 kept being polled";
    // Plugged back in: the resynchronisation reopens it and it recovers.
    first.replug();
    EXPECT_TRUE(rig.stepUntil([&] { return !rig.host->tnc(1)->outOfSync(); }, 20000));
}

}  // namespace
}  // namespace norva::test
