// The script job on a channel connected to DB1BBB over a scripted TNC link:
// what goes on the air, what the window shows, its states and its limits.
#include <gtest/gtest.h>

#include "transfer/BinProtocol.h"

#include <filesystem>

#include "TransferRig.h"
#include "support/Eventually.h"
#include "script/ScriptFiles.h"
#include "script/ScriptJob.h"

namespace norva::test {
namespace {

struct RecOperator : ScriptOperator {
    void showMessage(int slot, std::string_view text) override { shown.emplace_back(slot, text); }
    std::vector<std::pair<int, std::string>> shown;
};

class Script : public TransferTest {
protected:
    void SetUp() override {
        TransferTest::SetUp();
        rig.ctx.trace = [this](std::string_view l) { traces.emplace_back(l); };
        rig.ui.sounds.clear();
    }
    // The link reports its closing after this fixture's members are gone.
    void TearDown() override { rig.ctx.trace = nullptr; }
    bool start(const std::string& name, const std::string& text, ScriptOperator* op = nullptr) {
        rig.dir.write(name, text);
        return startScript(*ch, name, &error, op);
    }
    CScriptJob* job() const { return dynamic_cast<CScriptJob*>(ch->job(JobSlot::Script)); }
    // TNC commands written to channel 2 since clearAir().
    std::vector<std::string> tncCommands() const {
        std::vector<std::string> out;
        for (const auto& w : rig.state->writes)
            if (w.size() >= 3 && w[0] == 2 && w[1] == 1) out.push_back(w.substr(3));
        return out;
    }
    std::string error;
    std::vector<std::string> traces;
};

TEST_F(Script, TextLinesAndTncCommandsGoOutExactlyAndAreEchoed) {
    ASSERT_TRUE(start("t.scr", "Hello Box\r\n; note\r\n**I DA1AAA\r\nx * @T2 500\n**rem done\r\nnot run"));
    ch->tick();
    EXPECT_EQ(air(), "Hello Box\r");
    EXPECT_EQ(tncCommands(), (std::vector<std::string>{"I DA1AAA", "@T2 500"}));
    EXPECT_EQ(shown(kClassTncEcho), "\rHello Box\r; note\r**I DA1AAA\rx * @T2 500\r**rem done");
    EXPECT_EQ(job(), nullptr) << "the text ran out: the channel destroyed the job";
    EXPECT_EQ(rig.ui.sounds, (std::vector<std::string>{"Script starten", "Script beenden"}));
}

TEST_F(Script, WaitForIsCaseBlindAndFoundAcrossRecords) {
    ASSERT_TRUE(start("w.scr", "**waitfor db0box>\r\nR 1\r\n"));
    ch->tick();
    EXPECT_EQ(job()->state(), CScriptJob::State::WaitingText);
    EXPECT_EQ(job()->waitText(), "DB0BOX>");
    receive("Welcome to Db0");
    ch->tick();
    EXPECT_EQ(air(), "") << "half the text is not enough";
    receive("bOx>\r");
    ch->tick();
    EXPECT_EQ(air(), "R 1\r");
    EXPECT_EQ(job(), nullptr);
    EXPECT_NE(std::find(traces.begin(), traces.end(),
                        "script 3 w.scr: waiting for text -> running (text arrived)"),
              traces.end());
}

TEST_F(Script, TextBeforeTheWaitDoesNotSatisfyIt) {
    ASSERT_TRUE(start("w.scr", "**WAITFOR OK\r\n**WAITFOR OK\r\nDONE\r\n"));
    ch->tick();
    receive("O");
    receive("K O");
    ch->tick();
    receive("x");
    ch->tick();
    EXPECT_EQ(air(), "") << "the O before the second wait began must not count";
    receive("OK");
    ch->tick();
    EXPECT_EQ(air(), "DONE\r");
}

TEST_F(Script, StopTextEndsAWaitingScriptWithTheMessageUnlessEchoIsOff) {
    ASSERT_TRUE(start("s.scr", "**STOPON busy\r\n**WAITFOR >\r\nnever\r\n"));
    ch->tick();
    receive("Station BU");
    receive("SY, try later");
    clearAir();
    ch->tick();
    EXPECT_EQ(job(), nullptr);
    EXPECT_EQ(shown(kClassTncEcho), "\rScript stoped by Condition BUSY\r");
    EXPECT_EQ(air(), "");

    ASSERT_TRUE(start("q.scr", "**ECHO OFF\r\n**STOPON busy\r\n**WAITFOR >\r\n"));
    ch->tick();
    receive("busy");
    clearAir();
    ch->tick();
    EXPECT_EQ(job(), nullptr);
    EXPECT_EQ(shown(kClassTncEcho), "");
}

TEST_F(Script, HundredLinesPerTickAndALoopWithoutWaitIsStopped) {
    std::string comments;
    for (int i = 0; i < 150; ++i) comments += ";\r\n";
    ASSERT_TRUE(start("c.scr", comments));
    ch->tick();
    ASSERT_NE(job(), nullptr) << "100 lines on the first tick";
    ch->tick();
    EXPECT_EQ(job(), nullptr);

    ASSERT_TRUE(start("loop.scr", "**RESTART\r\n"));
    int ticks = 0;
    while (job() && ticks < 1000) {
        ch->tick();
        ++ticks;
    }
    EXPECT_EQ(job(), nullptr);
    EXPECT_EQ(ticks, kScriptLinesWithoutPause / kScriptLinesPerTick + 1);
    EXPECT_NE(shown(kClassTncEcho).find("\rScript loop.scr, Zeile 1: Endlosschleife ohne Warten, Script beendet\r"),
              std::string::npos);
}

TEST_F(Script, RefusedStartsChangeNothingAndSayWhy) {
    EXPECT_FALSE(startScript(*ch, "none", &error));
    EXPECT_EQ(error, "Script none.scr: Script nicht gefunden");
    EXPECT_FALSE(start("bin.scr", std::string("\x7f" "ELF\x02\x01\0\0", 8)));
    EXPECT_EQ(error, "Script bin.scr: keine Textdatei");
    EXPECT_FALSE(start("bad.scr", "Hello\r\n**WAITFOR\r\n"));
    EXPECT_EQ(error, "Script bad.scr, Zeile 2: WAITFOR ohne Text");
    EXPECT_EQ(shown(kClassTncEcho), "\rScript none.scr: Script nicht gefunden\r\rScript bin.scr: keine Textdatei\r"
                                    "\rScript bad.scr, Zeile 2: WAITFOR ohne Text\r");
    EXPECT_EQ(job(), nullptr);
    ch->tick();
    EXPECT_EQ(air(), "") << "not even the good first line ran";

    ASSERT_TRUE(start("Run.SCR", "**WAITFOR X\r\n"));
    EXPECT_TRUE(startScript(*ch, "run", &error) == false);
    EXPECT_EQ(error, "Ein Script ist bereits aktiv.");
    EXPECT_TRUE(stopScript(*ch));
    EXPECT_EQ(job(), nullptr);
}

TEST_F(Script, CallRunsTheChildFromTheSameDirectoryAndRefusesRecursion) {
    rig.dir.write("sub.scr", "from child\r\n**WAITFOR go\r\n");
    ASSERT_TRUE(start("main.scr", "**STOPON go\r\n**CALL SUB\r\n**CALL gone\r\nafter\r\n"));
    ch->tick();
    EXPECT_EQ(air(), "") << "the child starts on the next tick";
    ch->tick();
    EXPECT_EQ(air(), "from child\r");
    EXPECT_EQ(job()->state(), CScriptJob::State::Calling);
    EXPECT_EQ(job()->innermost().captionName(), "SUB.SCR     ");
    receive("go");  // the child's wait, not the parent's stop text
    ch->tick();
    ch->tick();
    EXPECT_EQ(air(), "from child\rafter\r");
    EXPECT_NE(shown(kClassTncEcho).find("\rScript main.scr, Zeile 3: Script nicht gefunden: GONE\r"),
              std::string::npos);
    EXPECT_EQ(job(), nullptr);

    rig.dir.write("a.scr", "**CALL b.scr\r\n");
    rig.dir.write("b.scr", "**CALL A\r\nnever\r\n");
    clearAir();
    ASSERT_TRUE(startScript(*ch, "a", &error));
    for (int i = 0; i < 3; ++i) ch->tick();
    EXPECT_EQ(job(), nullptr);
    EXPECT_EQ(air(), "");
    EXPECT_NE(shown(kClassTncEcho).find("\rScript b.scr, Zeile 1: rekursiver Aufruf von A\r"), std::string::npos);
}

TEST_F(Script, ConnectToTheCurrentStationIsSkippedWithItsWait) {
    rig.lAnswers[2] = "0 0 0 0 0 4";
    for (int i = 0; i < 6; ++i) rig.poll(2);
    ASSERT_EQ(ch->linkState().linkStateValue(), 4);
    clearAir();
    ASSERT_TRUE(start("c.scr", "c db1bbb\r\n**WAITFOR connected\r\n**C DB0XYZ\r\n**WAITFOR x\r\n"
                               "**logon\r\n**WAITFOR y\r\nC DB0ZZZ\r\n**WAITFOR z\r\n"));
    ch->tick();
    EXPECT_EQ(air(), "C DB0ZZZ\r");
    EXPECT_TRUE(tncCommands().empty()) << "connect commands on a connected channel are not sent";
    EXPECT_EQ(job()->waitText(), "Z");
}

TEST_F(Script, SendWaitsForTheTransferAndPrintShowsWithoutSending) {
    rig.dir.write("News.txt", "line 1\r");
    ch->settings().fileStamp = false;
    ch->settings().addFileEnd = false;
    ASSERT_TRUE(start("s.scr", "**SEND news.txt\r\n**PRINT Sent\r\n**SEND missing.txt\r\nbye\r\n"));
    ch->tick();
    EXPECT_EQ(job()->state(), CScriptJob::State::WaitingTransfer);
    for (int i = 0; i < 5 && job(); ++i) ch->tick();
    EXPECT_EQ(air(), "line 1\rbye\r");
    EXPECT_EQ(shown(kClassInputEcho).find("SENT\r") != std::string::npos, true);
    EXPECT_NE(shown(kClassTncEcho).find("\rScript s.scr, Zeile 3: Datei nicht gefunden: MISSING.TXT (gesucht in " +
                                        rig.dir.path().string() + ")\r"),
              std::string::npos);
}

// Names in scripts are upper case: SEND and SENDBIN find their files as
// ":send" and ":sendbin" do, in SendFileDir / BinSendFileDir ignoring case,
// then in the program directory, and say where they looked when they fail.
TEST_F(Script, SendAndSendBinLookInTheirSendDirectoryThenInTheProgramDirectory) {
    for (const char* d : {"out", "bin"}) std::filesystem::create_directories(rig.dir.path() / d);
    rig.profile.writeString("frame", "SendFileDir", (rig.dir.path() / "out").string());
    rig.profile.writeString("frame", "BinSendFileDir", (rig.dir.path() / "bin").string());
    rig.dir.write("out/Gruss.Txt", "from out\r");
    rig.dir.write("Gruss.txt", "from the program directory\r");
    rig.dir.write("Only.txt", "fallback\r");
    rig.dir.write("bin/Data.Bin", "12345");
    rig.dir.write("data.bin", "123");
    ch->settings().fileStamp = false;
    ch->settings().addFileEnd = false;
    ASSERT_TRUE(start("s.scr", "**SEND gruss.txt\r\n**SEND only.txt\r\n**SENDBIN data.bin\r\n**SEND none.txt\r\n"
                               "**SENDBIN out\r\ndone\r\n"));
    for (int i = 0; i < 20 && air().find("#BIN#") == std::string::npos; ++i) ch->tick();
    // The five bytes of bin/Data.Bin, not the three of the program directory's file.
    EXPECT_EQ(air().substr(0, air().find("#$")), "from out\rfallback\r#BIN#5#|" + std::to_string(binCrc(0, "12345")));
    EXPECT_TRUE(air().ends_with("#DATA.BIN\r")) << air();
    EXPECT_EQ(job()->state(), CScriptJob::State::WaitingTransfer);
    clearAir();
    receive("#OK#\r");
    rig.clock.advanceMs(60'000);
    for (int i = 0; i < 20 && job(); ++i) ch->tick();
    EXPECT_EQ(air().substr(0, 5), "12345");
    EXPECT_EQ(air().substr(air().size() - 5), "done\r");
    EXPECT_NE(shown(kClassTncEcho).find("\rScript s.scr, Zeile 4: Datei nicht gefunden: NONE.TXT (gesucht in " +
                                        (rig.dir.path() / "out").string() + " und " + rig.dir.path().string() + ")\r"),
              std::string::npos)
        << shown(kClassTncEcho);
    // A directory is no file to send, not even where the name matches.
    EXPECT_NE(shown(kClassTncEcho).find("Zeile 5: Datei nicht gefunden: OUT (gesucht in " +
                                        (rig.dir.path() / "bin").string() + " und "),
              std::string::npos);
}

TEST_F(Script, MsgBoxWaitsForTheOperatorWithoutBlocking) {
    RecOperator op;
    ASSERT_TRUE(start("m.scr", "**MSGBOX Hello there\r\nnext\r\n", &op));
    ch->tick();
    ch->tick();
    EXPECT_EQ(op.shown, (std::vector<std::pair<int, std::string>>{{3, "HELLO THERE"}}));
    EXPECT_EQ(job()->state(), CScriptJob::State::WaitingOperator);
    EXPECT_EQ(air(), "");
    scriptOperatorDone(*ch);
    ch->tick();
    EXPECT_EQ(air(), "next\r");

    ASSERT_TRUE(start("n.scr", "**MSGBOX plain\r\nnext\r\n"));
    ch->tick();
    EXPECT_EQ(rig.ui.boxes.back(), (std::pair<std::string, std::string>{"Norva", "PLAIN"}));
    EXPECT_EQ(job(), nullptr) << "without an operator seam the box does not hold the script";
}

TEST_F(Script, BoxPromptMatchesTheLastLineOnly) {
    ASSERT_TRUE(start("b.scr", "**WAITFORBOXPROMPT\r\nL\r\n"));
    ch->tick();
    receive("(12) DB0BOX de DA1AAA>\rmore text\r");
    ch->tick();
    EXPECT_EQ(air(), "");
    receive("(13) DB0BOX de DA1AAA>");
    ch->tick();
    EXPECT_EQ(air(), "L\r");
}

TEST_F(Script, ADisconnectDestroysTheScript) {
    ASSERT_TRUE(start("d.scr", "**WAITFOR never\r\n"));
    ch->tick();
    rig.queueStatus(2, "(2) DISCONNECTED fm DB1BBB");
    rig.poll(2);
    EXPECT_EQ(job(), nullptr);
}


TEST_F(Script, LogonLogoffEchoAndBeepOnADisconnectedChannel) {
    CTncChannel& free = rig.channel(1, 3);
    free.linkState().setDefaultNode("DB0NOD");
    rig.dir.write("l.scr", "**ECHO OFF\r\n**LOGON\r\n**BEEP\r\n**ECHO\r\n**LOGOFF\r\n");
    clearAir();
    ASSERT_TRUE(startScript(free, "L.SCR", &error)) << error;
    free.tick();
    std::vector<std::string> cmds;
    for (const auto& w : rig.state->writes)
        if (w.size() >= 3 && w[0] == 3 && w[1] == 1) cmds.push_back(w.substr(3));
    // The channel names its own call first whenever a connect goes out.
    EXPECT_EQ(cmds, (std::vector<std::string>{"i DA1AAA-3", "C DB0NOD", "D"}));
    std::string echoed;
    for (const auto& [slot, cls, text] : rig.ui.texts)
        if (slot == free.slot() && cls == kClassTncEcho) echoed += text;
    EXPECT_EQ(echoed, "\r**ECHO OFF\r**LOGOFF") << "ECHO OFF is echoed itself; lines up to ECHO are not";
    EXPECT_NE(std::find(rig.ui.sounds.begin(), rig.ui.sounds.end(), "Klingel"), rig.ui.sounds.end());
}

TEST_F(Script, RestartRereadsTheFileAndClearsTheStopText) {
    ASSERT_TRUE(start("r.scr", "**STOPON END\r\n**WAITFOR go\r\nround\r\n**RESTART\r\n"));
    ch->tick();
    rig.dir.write("r.scr", "**WAITFOR go\r\nnew round\r\n");
    receive("go");
    ch->tick();
    EXPECT_EQ(job()->stopText(), "");
    receive("END go");  // no stop text any more: only the wait is met
    ch->tick();
    EXPECT_EQ(air(), "round\rnew round\r");
    EXPECT_EQ(job(), nullptr);

    rig.dir.write("r2.scr", "**WAITFOR go\r\n**RESTART\r\n");
    ASSERT_TRUE(startScript(*ch, "r2", &error));
    ch->tick();
    rig.dir.write("r2.scr", "**WAITFOR\r\n");
    receive("go");
    ch->tick();
    EXPECT_EQ(job(), nullptr) << "a file broken meanwhile stops the script at once";
    EXPECT_NE(shown(kClassTncEcho).find("\rScript r2.scr, Zeile 1: WAITFOR ohne Text\r"), std::string::npos);
}

TEST_F(Script, CallsNestOnlySoDeepAndABrokenChildStopsTheCaller) {
    for (int i = 0; i < 12; ++i)
        rig.dir.write("n" + std::to_string(i) + ".scr", "**CALL n" + std::to_string(i + 1) + "\r\n");
    ASSERT_TRUE(startScript(*ch, "n0", &error));
    for (int i = 0; i < 20 && job(); ++i) ch->tick();
    EXPECT_EQ(job(), nullptr);
    EXPECT_NE(shown(kClassTncEcho).find("\rScript n7.scr, Zeile 1: zu viele verschachtelte Aufrufe\r"),
              std::string::npos);

    clearAir();
    rig.dir.write("broken.scr", "\x01\x02");
    ASSERT_TRUE(start("p.scr", "**CALL broken\r\nafter\r\n"));
    for (int i = 0; i < 3; ++i) ch->tick();
    EXPECT_EQ(job(), nullptr);
    EXPECT_EQ(air(), "");
    EXPECT_NE(shown(kClassTncEcho).find("\rScript broken.scr: keine Textdatei\r"), std::string::npos);
}

// RUN starts a program of the program directory, its words as arguments
// (never read by a shell), and the script goes on without waiting for it.
TEST_F(Script, RunStartsTheProgramWithItsWordsAsArguments) {
    rig.dir.write("Mark.sh", "#!/bin/sh\nprintf '%s|' \"$@\" > \"$(dirname \"$0\")/ran.txt\"\n");
    std::filesystem::permissions(rig.dir.path() / "Mark.sh", std::filesystem::perms::owner_all);
    ASSERT_TRUE(start("r.scr", "**run mark.sh a;id $(x)\r\nafter\r\n")) << error;
    ch->tick();
    // The program runs on its own: wait for what it writes, all of it.
    EXPECT_TRUE(eventually([&] { return file("ran.txt") == "A;ID|$(X)|"; })) << file("ran.txt");
    EXPECT_NE(air().find("after"), std::string::npos);
}

TEST_F(Script, SendAllFilesWithoutAnOwnDirectorySaysSoAndGoesOn) {
    ASSERT_TRUE(start("a.scr", "**SENDALLFILES\r\nnext\r\n"));
    ch->tick();
    EXPECT_NE(shown(kClassTncEcho).find("Definieren Sie bitte ein eigenes Verzeichnis\nzum Aussenden von Textdateien"),
              std::string::npos);
    EXPECT_EQ(air(), "next\r");
}

}  // namespace
}  // namespace norva::test
