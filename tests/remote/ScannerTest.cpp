// The scanner over received text: command matching and its order, the
// gates and checks, the greeting, in-band markers, the conference, the
// superuser challenge, paging, and the tables, by the exact bytes on the air.
#include <gtest/gtest.h>

#include <regex>

#include "RemoteRig.h"
#include "platform/Profile.h"
#include "platform/Text.h"
#include "remote/CommandTable.h"
#include "remote/RemoteJobs.h"

namespace norva::test {
namespace {

using C = RemoteCommand;

std::optional<C> match(std::string_view word, bool remote = true, bool quit = true) {
    const auto info = matchCommand(word, remote, quit);
    return info ? std::optional(info->command) : std::nullopt;
}

TEST(RemoteCommandTable, FirstKeywordInTableOrderWins) {
    EXPECT_EQ(match("//c"), C::Connect);
    EXPECT_EQ(match("//CO"), C::Converse);
    EXPECT_EQ(match("//cs"), C::CStat);
    EXPECT_EQ(match("//CH"), C::ChDir);
    EXPECT_EQ(match("//ca"), C::Catalog);
    EXPECT_EQ(match("//d"), C::Dir);
    EXPECT_EQ(match("//de"), C::Delete);
    EXPECT_EQ(match("//DO"), C::Dos);
    EXPECT_EQ(match("//dr"), C::Drive);
    EXPECT_EQ(match("//h"), C::Help);
    EXPECT_EQ(match("//i"), C::Info);
    EXPECT_EQ(match("//md"), C::Md);
    EXPECT_EQ(match("//N"), C::Nodes);
    EXPECT_EQ(match("//q"), C::Quit);
    EXPECT_EQ(match("//r"), C::Read);
    EXPECT_EQ(match("//rb"), C::RBin);
    EXPECT_EQ(match("//ri"), C::Ring);
    EXPECT_EQ(match("//RD"), C::Rd);
    EXPECT_EQ(match("//s"), C::Send);
    EXPECT_EQ(match("//sb"), C::SBin);
    EXPECT_EQ(match("//sy"), C::Sys);
    EXPECT_EQ(match("//v"), C::Version);
    EXPECT_EQ(match("//VERSION"), C::Version);
    // Longer than the keyword, too short, only whole for //MD, not a keyword at all.
    for (const char* none : {"//CSTATUS", "//", "/", "//m", "//mkdir", "//MDX", "//x", "READ", "//VERSIONS"})
        EXPECT_EQ(match(none), std::nullopt) << none;
}

TEST(RemoteCommandTable, ClosedGatesHideTheirCommands) {
    EXPECT_EQ(match("//q", false, true), C::Quit);
    EXPECT_EQ(match("//h", false, true), std::nullopt);
    EXPECT_EQ(match("//q", true, false), std::nullopt);
    EXPECT_EQ(match("//qu", false, false), std::nullopt);
}

TEST(RemoteCommandTable, LineSplitsAtFirstLineEndAndFirstBlank) {
    SplitLine s = splitLine("//READ   my file.txt\rsecond line");
    EXPECT_EQ(s.line, "//READ   my file.txt");
    EXPECT_EQ(s.word, "//READ");
    EXPECT_EQ(s.argument, "my file.txt");
    s = splitLine("//DIR   \r");
    EXPECT_EQ(s.word, "//DIR");
    EXPECT_EQ(s.argument, "");
    s = splitLine("//V\n");
    EXPECT_EQ(s.word, "//V");
}

TEST(RemoteScanner, GreetingQueuesTheGreetingFilesAndTheLastOneBringsThePrompt) {
    RemoteRig r;
    r.help.write("WHELLO1.TXT", "tnc greeting\r");
    r.help.write("DA1ABC.txt", "hello station\r");
    r.clear();
    r.connect();
    const std::string head =
        "\r*** Norva 4.26 / 32 Bit Version ***\r\rConnected to DL1XYZ Port 1 on Tnc 1.\r05.03.2024 09:07\r\r\r";
    EXPECT_EQ(r.sent(), head + "     //h fuer Hilfe\r\r\r" + "\r\r");
    ASSERT_EQ(r.transfers.calls.size(), 2u);
    EXPECT_EQ(r.transfers.calls[0].arg, (r.help.path() / "WHELLO1.TXT").string()) << "found ignoring case";
    EXPECT_FALSE(r.transfers.calls[0].promptAfter);
    EXPECT_FALSE(r.transfers.calls[0].sendSlot);
    EXPECT_EQ(r.transfers.calls[1].arg, (r.help.path() / "DA1ABC.txt").string()) << "SSID cut off";
    EXPECT_TRUE(r.transfers.calls[1].promptAfter);

    // Without greeting files and with Remote off: no hint, no prompt.
    RemoteRig plain;
    plain.ch().settings().remote = false;
    plain.clear();
    plain.connect();
    EXPECT_EQ(plain.sent(), head);
    plain.ch().settings().remote = true;
    plain.connect(2, "DB2XY");
    EXPECT_EQ(plain.sent(2), "\r*** Norva 4.26 / 32 Bit Version ***\r\rConnected to DL1XYZ Port 2 on Tnc 1.\r"
                             "05.03.2024 09:07\r\r\r     //h fuer Hilfe\r\r\r" +
                                 RemoteRig::prompt("DB2XY"));
}

TEST(RemoteScanner, AnswersCommandsAndIgnoresConversation) {
    RemoteRig r;
    r.connect();
    EXPECT_EQ(r.say("//v\r"), "\rNorva 4.26 / 32 Bit Version\r" + RemoteRig::prompt());
    EXPECT_EQ(r.say("//CSTATUS\r"), "\rBefehl nicht erkannt.\r" + RemoteRig::prompt());
    EXPECT_EQ(r.say("//mkdir x\r"), "\rBefehl nicht erkannt.\r" + RemoteRig::prompt());
    EXPECT_EQ(r.say("//\r"), "\rBefehl nicht erkannt.\r" + RemoteRig::prompt());
    EXPECT_EQ(r.say("Hallo, wie geht's? //v\r"), "");
    EXPECT_EQ(r.say(std::string("\0\0//v", 5)), "");
    // The answer is echoed in the channel's own output as the station's text.
    r.rig.ui.texts.clear();
    r.say("//v\r");
    ASSERT_FALSE(r.rig.ui.texts.empty());
    EXPECT_EQ(std::get<1>(r.rig.ui.texts.back()), kClassInputEcho);

    r.ch().settings().remote = false;
    EXPECT_EQ(r.say("//v\r"), "");
    EXPECT_EQ(r.say("//nonsense\r"), "");
    r.ch().settings().remoteQuit = false;
    EXPECT_EQ(r.say("//q\r"), "");
    r.ch().settings().remote = true;
    EXPECT_EQ(r.say("//quit\r"), "\rBefehl nicht erkannt.\r" + RemoteRig::prompt());
}

TEST(RemoteScanner, TheRemoteConsoleIsASuperuserWithoutARemoteCall) {
    RemoteRig r;
    CTncChannel* console = r.rig.registry().channel(kDummyTnc, 1);
    ASSERT_NE(console, nullptr);
    EXPECT_TRUE(console->superuser());
    r.rig.ui.texts.clear();
    console->textOut("//v\r", kKindInfo, true);
    std::string shown;
    for (const auto& [slot, cls, text] : r.rig.ui.texts)
        if (slot == console->slot() && cls == kClassInputEcho) shown += text;
    EXPECT_EQ(shown, "\rNorva 4.26 / 32 Bit Version\r\r\rREMOTE (09:07)>");
    console->textOut("//co\r", kKindInfo, true);
    EXPECT_EQ(r.rig.registry().converseGroup(console->slot()), 0) << "the remote console stays out";
}

TEST(RemoteScanner, QuitLogsOffAndDisconnectsEvenWithRemoteOff) {
    RemoteRig r;
    r.connect();
    r.ch().settings().remote = false;
    r.ch().setSuperuser(true);
    r.ch().setJob(JobSlot::RemoteSession, std::make_unique<RecJob>("session", r.rig.events));
    r.rig.events.clear();
    EXPECT_EQ(r.say("//QUIT\r"), "\r05.03.2024 09:07\rLogoff from DL1XYZ\r\r");
    EXPECT_EQ(r.rig.commands().back(), "D");
    EXPECT_EQ(r.ch().job(JobSlot::RemoteSession), nullptr);
    EXPECT_FALSE(r.ch().superuser()) << "the channel reset drops the superuser";
}

TEST(RemoteScanner, AreaAndPathChecksComeBeforeTheCommand) {
    RemoteRig unconfigured(false);
    unconfigured.connect();
    const std::string notConfigured = "\rSystem ist nicht fuer Remotebetrieb konfiguriert.\r" + RemoteRig::prompt();
    for (const char* line : {"//dir\r", "//cd sub\r", "//read x\r", "//sbin x\r", "//md x\r", "//dos ls\r"})
        EXPECT_EQ(unconfigured.say(line), notConfigured) << line;
    EXPECT_EQ(unconfigured.say("//v\r"), "\rNorva 4.26 / 32 Bit Version\r" + RemoteRig::prompt());

    RemoteRig r;
    r.connect();
    const std::string notAllowed = "\rDiese Kommando ist fuer normale Benutzer nicht erlaubt.\r" + RemoteRig::prompt();
    for (const char* line : {"//read a:b\r", "//read ..\\x\r", "//read ../../etc/passwd\r", "//cd /\r",
                             "//md a/b\r", "//rd ../x\r", "//dos /bin/ls\r", "//del x\r", "//send /tmp/x\r"})
        EXPECT_EQ(r.say(line), notAllowed) << line;
    EXPECT_TRUE(r.transfers.calls.empty());

    r.ch().setSuperuser(true);
    EXPECT_EQ(r.say("//del *.txt\r"), "\r\rDiese Zeichen *?\\: sind nicht erlaubt.\r\r" + RemoteRig::prompt());
}

TEST(RemoteScanner, HelpTextsComeFromTheHelpDirectoryByPlainNamesOnly) {
    RemoteRig r;
    r.help.write("norvaem.hlp", "help\r");
    r.help.write("DIR.HLP", "dir help\r");
    r.outside.write("secret.hlp", "no\r");
    r.connect();
    r.clear();
    EXPECT_EQ(r.say("//h\r"), "");
    EXPECT_EQ(r.say("//help dir\r"), "");
    ASSERT_EQ(r.transfers.calls.size(), 2u);
    EXPECT_EQ(r.transfers.calls[0].arg, (r.help.path() / "norvaem.hlp").string());
    EXPECT_EQ(r.transfers.calls[1].arg, (r.help.path() / "DIR.HLP").string());
    EXPECT_TRUE(r.transfers.calls[1].sendSlot && r.transfers.calls[1].promptAfter);

    const std::string notFound = "\rHilfe oder Info nicht gefunden.\r" + RemoteRig::prompt();
    const std::string escape = "//help " + (r.outside.path() / "secret").string() + "\r";
    EXPECT_EQ(r.say(escape), notFound);
    EXPECT_EQ(r.say("//help ../" + r.outside.path().filename().string() + "/secret\r"), notFound);
    EXPECT_EQ(r.say("//info\r"), notFound);
    EXPECT_EQ(r.transfers.calls.size(), 2u);
}

TEST(RemoteScanner, MarkersLoginAutoBinAndTheEndOfAMessage) {
    RemoteRig r;
    r.connect();
    r.clear();
    EXPECT_EQ(r.say("Welcome\rlogin: please\r"), "");
    ASSERT_EQ(r.markers.seen.size(), 1u);
    EXPECT_EQ(r.markers.seen[0], "login:LOGIN: PLEASE");

    const std::string header = "#BIN#1234#|5678#$1C2D#FILE.BIN\r";
    EXPECT_EQ(r.say(header), "") << "AutoBin off: conversation";
    EXPECT_TRUE(r.transfers.calls.empty());
    r.ch().settings().autoBin = true;
    r.say(header);
    r.say("some text\r\n#BIN#10#x\r");
    r.say("some #BIN# in the middle\r");
    ASSERT_EQ(r.transfers.calls.size(), 2u);
    EXPECT_EQ(r.transfers.calls[0].what, "autobin");
    EXPECT_EQ(r.transfers.calls[0].arg, header);
    r.say("go_7+. ABC.7PL 001 of 003\r");
    EXPECT_EQ(r.markers.seen.size(), 1u) << "GO_7+ needs its leading blank";
    r.say(" go_7+. ABC.7PL 001 of 003\r");
    EXPECT_EQ(r.markers.seen.back(), "7plus: go_7+. ABC.7PL 001 of 003\r");
    EXPECT_EQ(r.say("#BIN#//v\r"), "") << "a marker consumes the line";

    // //Send opens a capture; ***end in any case ends it, and the marker line stays out.
    r.ch().settings().autoBin = false;
    r.clear();
    EXPECT_EQ(r.say("//s note\r"), "\rGeben Sie bitte den Text ein. Textende mit ***end auf neuer Zeile.\r");
    ASSERT_NE(r.ch().job(JobSlot::RemoteInput), nullptr);
    r.ch().tick();
    r.say("line one\r");
    EXPECT_EQ(r.say("more\r***End\r"), "\rNachricht OK.\r");
    EXPECT_EQ(r.ch().job(JobSlot::RemoteInput), nullptr);
    EXPECT_EQ(r.rig.events, (Events{"capture.tick", "capture.receive:line one\r", "capture.destroy"}));
    EXPECT_EQ(r.transfers.calls[0].text, "Nachricht von DA1ABC-3 05.03.2024 09:07\r\n\r\n");
}

TEST(RemoteConference, LinesReachTheOtherMembersAndTheConsole) {
    RemoteRig r;
    r.connect(1, "DA1ABC-3");
    r.connect(2, "DB2XY");
    CTncChannel* console = r.rig.registry().channel(kDummyTnc, 2);
    ASSERT_NE(console, nullptr);
    r.clear();

    const std::string joined =
        "\r\rSie befinden sich jetzt auf dem Converse-Kanal von Norva.\r\rHilfe bekommen Sie jetzt mit dem Befehl "
        "/H.\r\r";
    EXPECT_EQ(r.say("//co\r", 1), joined);
    EXPECT_EQ(r.rig.registry().converseGroup(r.ch(1).slot()), 1);
    r.say("//CO\r", 2);
    EXPECT_EQ(r.sent(1), "DB2XY> Eingelogged in Norva Converse-Kanal.\r");

    r.rig.ui.texts.clear();
    EXPECT_EQ(r.say("Hallo //v alle\r", 1), "") << "in the conference nothing is a command";
    EXPECT_EQ(r.sent(2), "DA1ABC-3> Hallo //v alle\r");
    ASSERT_FALSE(r.rig.ui.texts.empty());
    EXPECT_EQ(r.rig.ui.texts.back(),
              std::make_tuple(console->slot(), int(kKindConnected), std::string("DA1ABC-3> Hallo //v alle\r")));

    // The operator types on the converse console.
    r.rig.state->writes.clear();
    console->textOut("Hier Sysop\r", kKindInfo, true);
    EXPECT_EQ(r.sent(1), "SYSOP> Hier Sysop\r");
    EXPECT_EQ(r.sent(2), "SYSOP> Hier Sysop\r");

    r.help.write("conv.hlp", "x");
    r.transfers.calls.clear();
    r.say("/h\r", 1);
    ASSERT_EQ(r.transfers.calls.size(), 1u);
    EXPECT_EQ(r.transfers.calls[0].arg, (r.help.path() / "conv.hlp").string());

    r.say("/who\r", 1);
    ASSERT_EQ(r.transfers.calls.back().what, "memory");
    const std::string who = r.transfers.calls.back().text;
    const std::string dashes = std::string(61, '-') + "\r";
    EXPECT_TRUE(who.starts_with("\rNorva 4.26 / 32 Bit Version : DL1XYZ > Converse Status:\r\r" + dashes +
                                "Channel   Tnc  Mycall     Remote     via        connect time\r" + dashes))
        << who;
    EXPECT_NE(who.find(" 01     01   TNC1      DL1XYZ    DA1ABC-3   "), std::string::npos) << who;
    EXPECT_NE(who.find(" 02     01   TNC1      DL1XYZ    DB2XY      "), std::string::npos) << who;
    EXPECT_NE(who.find("\r 02     05   Dummy     CONVERSE"), std::string::npos) << "TNC change adds a CR: " << who;

    const std::string left = "\r\rSie haben den Converse-Kanal von Norva verlassen.\r\rHilfe bekommen Sie jetzt  mit "
                             "dem Befehl //H.\r\r";
    EXPECT_EQ(r.say("/q\r", 1), left);
    EXPECT_EQ(r.sent(2), "DA1ABC-3> Hat den Norva Converse-Kanal verlassen.\r");
    EXPECT_EQ(r.rig.registry().converseGroup(r.ch(1).slot()), 0);
    EXPECT_EQ(r.say("//v\r", 1), "\rNorva 4.26 / 32 Bit Version\r" + RemoteRig::prompt()) << "back to commands";
}

TEST(RemoteSys, ChallengeGrantsOnlyTheRightFiveCharacters) {
    RemoteRig r;
    r.connect();
    std::string password;
    for (int i = 0; i < 80; ++i) password += static_cast<char>('A' + i % 26 + (i >= 52 ? 6 : 0));
    r.rig.profile.writeString("frame", "Password", password);

    auto challenge = [&r] {
        r.rig.clock.advanceMs(10'000);  // past the wait that follows a wrong answer
        r.say("//sys\r");
        r.rig.state->writes.clear();
        r.ch().tick();
        return r.sent();
    };
    auto answerFor = [&password](const std::string& line) {
        std::string a;
        const std::string positions = line.substr(0, line.size() - 1);  // the views below point into it
        for (std::string_view p : splitBlanks(positions)) a += password[std::stoul(std::string(p)) - 1];
        return a;
    };

    const std::string line = challenge();
    EXPECT_TRUE(std::regex_match(line, std::regex("([1-9]|[1-7][0-9]|80) ([1-9]|[1-7][0-9]|80) ([1-9]|[1-7][0-9]|80) "
                                                  "([1-9]|[1-7][0-9]|80) ([1-9]|[1-7][0-9]|80) \r")))
        << line;
    EXPECT_EQ(r.say("//v\r"), "") << "the answer is not a command";
    EXPECT_FALSE(r.ch().superuser()) << "//v was the answer, and wrong";
    r.ch().tick();
    EXPECT_EQ(r.ch().job(JobSlot::Send), nullptr);

    const std::string line2 = challenge();
    std::string answer = answerFor(line2);
    answer.insert(2, "  ");
    r.rig.ui.texts.clear();
    EXPECT_EQ(r.say(answer + "\r"), "") << "nothing goes to the station";
    EXPECT_TRUE(r.ch().superuser());
    ASSERT_FALSE(r.rig.ui.texts.empty());
    EXPECT_EQ(std::get<2>(r.rig.ui.texts.back()), "\rSuperuser hat eingelogged.\r");
    r.ch().tick();

    challenge();
    EXPECT_EQ(r.say("AB\r"), "");
    EXPECT_TRUE(r.ch().superuser()) << "a short answer changes nothing";
    r.ch().tick();

    const std::string line3 = challenge();
    std::string wrong = answerFor(line3);
    wrong[4] = wrong[4] == '!' ? '?' : '!';
    r.say(wrong + "\r");
    EXPECT_FALSE(r.ch().superuser()) << "a wrong answer clears the flag";
    r.ch().tick();

    r.rig.profile.writeString("frame", "Password", password.substr(0, 79));
    EXPECT_EQ(challenge(), "\rKein Login Passwort definiert.\r" + RemoteRig::prompt());
}

TEST(RemoteSys, WrongAnswersSlowTheCallDownThenLockItOutWithoutLoggingTheSecret) {
    RemoteRig r;
    r.connect();
    const std::string password(80, 'S');
    r.rig.profile.writeString("frame", "Password", password);
    auto trySys = [&r] {
        r.say("//sys\r");
        r.rig.state->writes.clear();
        r.ch().tick();
        return r.sent();
    };
    auto answerWrong = [&r] {
        r.say("XXXXX\r");
        r.ch().tick();
        EXPECT_EQ(r.ch().job(JobSlot::Send), nullptr);
    };

    ASSERT_NE(trySys(), "");
    answerWrong();
    EXPECT_EQ(trySys(), "") << "the next challenge waits 2 s";
    r.rig.clock.advanceMs(1900);
    r.ch().tick();
    EXPECT_EQ(r.sent(), "");
    r.rig.clock.advanceMs(100);
    r.rig.state->writes.clear();
    r.ch().tick();
    EXPECT_NE(r.sent(), "") << "challenged after the wait";
    answerWrong();
    r.rig.clock.advanceMs(3900);
    EXPECT_EQ(trySys(), "") << "the second wait is longer";
    r.rig.clock.advanceMs(100);
    r.rig.state->writes.clear();
    r.ch().tick();
    EXPECT_NE(r.sent(), "");
    answerWrong();

    const std::string locked = "\rZu viele falsche Antworten: //SYS ist fuer dieses Rufzeichen gesperrt.\r";
    r.rig.clock.advanceMs(60'000);
    EXPECT_TRUE(trySys().starts_with(locked));
    r.connect(1, "DA1ABC-7");
    EXPECT_TRUE(trySys().starts_with(locked)) << "another SSID of the call is locked out too";
    r.connect(2, "DB2XY");
    r.say("//sys\r", 2);
    r.rig.state->writes.clear();
    r.ch(2).tick();
    EXPECT_NE(r.sent(2), "") << "other calls are not affected";

    r.rig.clock.advanceMs(10 * 60 * 1000);
    EXPECT_FALSE(trySys().starts_with(locked)) << "the lock ends after 10 minutes";
    EXPECT_FALSE(r.ch().superuser());

    const std::string log = r.rig.dir.read("system.log");
    EXPECT_NE(log.find("//SYS: wrong answer from DA1ABC-3 (3 in a row)"), std::string::npos) << log;
    EXPECT_NE(log.find("//SYS: DA1ABC locked out for 10 minutes"), std::string::npos) << log;
    EXPECT_EQ(log.find("SSSSS"), std::string::npos) << "the secret never reaches the log";
}

TEST(RemoteRing, PagesTheOperatorUntilAnAnswerOrTheTimeLimit) {
    RemoteRig r;
    r.connect();
    r.rig.ui.sounds.clear();
    EXPECT_EQ(r.say("//ri\r"), "\rRufe Sysop... Bitte warten\r");
    EXPECT_EQ(r.rig.ui.sounds, (std::vector<std::string>{"Sysop Ruf"}));
    r.rig.state->writes.clear();
    r.rig.clock.advanceMs(4000);
    r.ch().tick();
    EXPECT_EQ(r.sent(), "");
    r.rig.clock.advanceMs(1500);
    r.ch().tick();
    EXPECT_EQ(r.sent(), "\rring...\r");
    EXPECT_EQ(r.rig.ui.sounds.size(), 2u);
    EXPECT_EQ(std::get<2>(r.rig.ui.texts.back()), "\rSie werden gerufen. Dr\x81" "cken Sie <return> um zu antworten.\r");

    // The operator types: the text is the answer and is not sent.
    r.rig.state->writes.clear();
    r.ch().textOut("ja, hier\r", kKindInfo, true);
    EXPECT_EQ(r.sent(), "\rSysop hat geantwortet  Einen Moment bitte.\r" + RemoteRig::prompt());
    r.ch().tick();
    EXPECT_EQ(r.ch().job(JobSlot::RemoteSession), nullptr);

    r.ch().settings().messageBeep = false;
    r.say("//ri\r");
    r.rig.state->writes.clear();
    for (int i = 0; i < 13; ++i) {
        r.rig.clock.advanceMs(5001);
        r.ch().tick();
    }
    const std::string tail = std::string("\rring...\r\rSysop hat nicht geantwortet. Bitte versuchen Sie es sp\x84ter.\r") +
                             "\r\rDA1ABC-3 de DL1XYZ (09:08)>";
    EXPECT_TRUE(r.sent().ends_with(tail)) << r.sent();
    EXPECT_EQ(r.ch().job(JobSlot::RemoteSession), nullptr);
    EXPECT_EQ(r.rig.ui.sounds.size(), 2u) << "MessageBeep off: silent";
}

TEST(RemoteTables, NodesAndConnectStatus) {
    RemoteRig r;
    r.rig.configure(2, 2, "DL1XYZ");
    r.connect();
    EXPECT_EQ(r.say("//n\r"),
              "\rTnc: 1\r-------\rName  : TNC1\rQrg   : 438.425\rStatus: active\r\r"
              "\rTnc: 2\r-------\rName  : TNC2\rQrg   : 438.425\rStatus: active\r\r" +
                  RemoteRig::prompt());

    r.rig.lAnswers[1] = "0 0 0 0 0 4";
    for (int i = 0; i < 5; ++i) r.ch().poll(PollMode::StatusOnly);
    ASSERT_EQ(r.ch().linkState().linkStateValue(), 4);
    r.clear();
    EXPECT_EQ(r.say("//cs\r"), "");
    ASSERT_EQ(r.transfers.calls.size(), 1u);
    EXPECT_EQ(r.transfers.calls[0].arg, "Clip");
    EXPECT_TRUE(r.transfers.calls[0].promptAfter);
    const std::string dashes(68, '-');
    EXPECT_EQ(r.transfers.calls[0].text,
              "\rNorva 4.26 / 32 Bit Version : DL1XYZ > Connect Status:\r\r" + dashes +
                  "\rChannel Tnc  Tnc Name  Mycall    Remote     via        connect time\r" + dashes + "\r" +
                  " 01     01   TNC1      DL1XYZ    DA1ABC-3              " + r.ch().linkState().duration() + "\r\r");

    r.transfers.accept = false;
    EXPECT_EQ(r.say("//cs\r"), RemoteRig::prompt()) << "no memory text: just the prompt";
}

TEST(RemoteGatewaySeam, ConnectMakesTheGatewayAndDropsItWhenItFindsNoPartner) {
    RemoteRig r;
    r.connect();
    r.say("//c tnc2\r");
    ASSERT_EQ(r.gateway.asked, (std::vector<std::string>{"tnc2"}));
    EXPECT_NE(r.ch().gatewayJob(), nullptr);
    r.ch().setGatewayJob(nullptr);
    r.gateway.firstTick = 0;
    r.say("//connect nowhere\r");
    EXPECT_EQ(r.ch().gatewayJob(), nullptr);
}

}  // namespace
}  // namespace norva::test
