// The mailbox reader: listings captured while the operator browses a
// DieBox or an F6FBB BBS (and only then), stored without overwriting, under
// plain names; directory files of real DieBox and FBB shape and garbage
// read back into message lines, commands and read scripts that run as
// scripts whatever the air put into them.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "FileWrites.h"
#include "TransferRig.h"
#include "app/MailboxConsole.h"
#include "mailbox/BoxDirWatcher.h"
#include "mailbox/BoxDirectory.h"
#include "platform/Profile.h"
#include "script/ScriptFile.h"
#include "transfer/TextJobs.h"

namespace norva::test {
namespace {

namespace fs = std::filesystem;

const std::string kUserListing =
    "User-File: ALLE  (3 Nachrichten)\r\n"
    "Nr. Call   Datum    Zeit  Bytes Titel\r\n"
    "  1 DL1ABC 01.12.26 10:15  1234 Treffen am Samstag\r\n"
    "  2 DB0XYZ 02.12.26 11:20   567 Relais SP defekt\r\n"
    " 17 DK2QQ  03.12.26 12:00    89 sp-Contest\r\n";
const std::string kPrompt = "(DB0BOX) de DA1AAA>\r\n";
const std::string kCheckList =
    "#  Call    File      Datum    Zeit  Bytes Lt Titel\r\n"
    "1  DL1ABC  > ALLE.12  01.12.26 10:15  1234 30 Treffen am Samstag\r\n"
    "2  DB0XYZ  > TECHNIK.7 02.12.26 11:20  567 30 Relais defekt\r\n";

// FBB 7.0.11 answering "LL 10" in expert mode, the two records exactly as
// the TNC delivered them (the second line of message 101 is cut between them).
const std::string kFbbRecord1 =
    "\rMsg#   TSLD  Size To    @Route  From   Date/Time Subject  [LC-choice: *]\r"
    "103    PNL     10 DL2BBB@DB0XYZ DL2BBB 1209/1051 Glued route test\r"
    "102    B$L     54 ALL   @WW     DL9SYS 1209/1049 Rig bulletin\r"
    "101    PNL    109 DL2BBB        DL9SYS 1209/1049";
const std::string kFbbRecord2 = " First test message\r\rYou have 1 new (unread) message(s).\r\r(1) DB0FBB BBS>\r";
// The three messages as the reader lists them: number, from, to@route, date, size, subject.
const std::vector<std::string> kFbbListed = {
    "   103 DL2BBB    DL2BBB@DB0XYZ    09.12. 10:51     10 Glued route test",
    "   102 DL9SYS    ALL@WW           09.12. 10:49     54 Rig bulletin",
    "   101 DL9SYS    DL2BBB           09.12. 10:49    109 First test message",
};

// CR LF line ends, as the capture writes received text.
std::string withLf(std::string_view text) {
    std::string out;
    for (char c : text) {
        out += c;
        if (c == '\r') out += '\n';
    }
    return out;
}

class Watcher : public TransferTest {
protected:
    void SetUp() override {
        TransferTest::SetUp();
        box = rig.dir.path() / "box";
        fs::create_directories(box);
        rig.appendIni("[frame]\r\nDieBoxDir=" + box.string() + "\r\n");
        watcher = std::make_unique<CBoxDirWatcher>(*ch);
    }
    void TearDown() override { watcher.reset(); }
    // What the channel sends, as the channel offers it to its mailbox job.
    void sent(std::string_view text, int kind) { watcher->sendHook(FrameRecord{kind, text}); }
    void arrives(std::string_view text) {
        ReceiveRecord r;
        r.channel = 2;
        r.kind = kKindConnected;
        r.length = static_cast<int>(text.size());
        std::copy(text.begin(), text.end(), r.data.begin());
        watcher->receive(r);
    }
    std::string noticeText() {
        ch->flushToOutput();
        return shown(kClassTncEcho);
    }
    fs::path box;
    std::unique_ptr<CBoxDirWatcher> watcher;
};

TEST_F(Watcher, AListingWithoutAnythingSentIsNotCaptured) {
    arrives(kUserListing + kPrompt);
    EXPECT_EQ(watcher->state(), CBoxDirWatcher::State::Idle);
    EXPECT_TRUE(fs::is_empty(box));
}

TEST_F(Watcher, ListingAfterACommandIsCapturedAcrossFramesUntilThePrompt) {
    sent("l alle\r", kKindInfo);
    EXPECT_EQ(watcher->armed(), 10);
    arrives("l alle\r\n" + kUserListing.substr(0, 30));
    ASSERT_EQ(watcher->state(), CBoxDirWatcher::State::Capturing);
    arrives(kUserListing.substr(30));
    arrives(kPrompt);
    EXPECT_EQ(watcher->state(), CBoxDirWatcher::State::Idle);
    EXPECT_EQ(rig.dir.read("box/ALLE.b01"), kUserListing + kPrompt) << "from the heading on, as received";
    EXPECT_NE(noticeText().find("\rBox Directory ALLE.b01 opened.\r\rBox Directory closed.\r"), std::string::npos);
    EXPECT_EQ(rig.profile.getString("DieBox", "LastDirFile"), "ALLE.b01");

    // The same board again: an earlier capture is never overwritten.
    sent("l alle\r", kKindInfo);
    arrives(kUserListing + kPrompt);
    EXPECT_EQ(rig.dir.read("box/ALLE.b01"), kUserListing + kPrompt);
    EXPECT_TRUE(fs::exists(box / "ALLE.b02"));
    EXPECT_NE(noticeText().find("Box Directory ALLE.b02 opened."), std::string::npos);
}

TEST_F(Watcher, AListingInManyFramesRewritesTheSettingsOnceWhenItEnds) {
    FileWrites settings(rig.dir.path());
    ASSERT_TRUE(settings.ok());
    rig.profile.writeString("DieBox", "LastDirFile", "old.b01");
    settings.take();
    sent("l alle\r", kKindInfo);
    arrives("l alle\r\n" + kUserListing.substr(0, 20));
    ASSERT_EQ(watcher->state(), CBoxDirWatcher::State::Capturing);
    for (int i = 0; i < 40; ++i) arrives("  " + std::to_string(i + 20) + " DL1ABC 01.12.26 10:15  1234 Titel\r\n");
    arrives("Info-File: DX\r\n");  // a heading inside a listing opens nothing
    EXPECT_EQ(settings.take().count("norva.ini"), 0u) << "no rewrite while the listing arrives";
    EXPECT_EQ(rig.profile.getString("DieBox", "LastDirFile"), "old.b01");
    arrives(kPrompt);
    EXPECT_EQ(settings.take()["norva.ini"], 1);
    EXPECT_EQ(rig.profile.getString("DieBox", "LastDirFile"), "ALLE.b01");

    // A capture cut short by the channel's end still names its file.
    sent("l dx\r", kKindInfo);
    arrives("Info-File: DX\r\n  1 DL1ABC 01.12.26 10:15  1234 x\r\n");
    watcher.reset();
    EXPECT_EQ(settings.take()["norva.ini"], 1);
    EXPECT_EQ(rig.profile.getString("DieBox", "LastDirFile"), "DX.b01");
    // A FIFO picked as a directory file reads as empty instead of blocking.
    ASSERT_EQ(::mkfifo((box / "fifo.b01").c_str(), 0600), 0);
    EXPECT_TRUE(readBoxDirectory(box / "fifo.b01", MailboxSettings{}, "*").messages.empty());
}

TEST_F(Watcher, TenCommandsDisarmAndADisconnectEndsACapture) {
    sent("l\r", kKindInfo);
    for (int i = 0; i < 10; ++i) sent("L", kKindCommand);
    arrives(kCheckList);
    EXPECT_EQ(watcher->state(), CBoxDirWatcher::State::Idle) << "armed for ten commands only";
    sent("check\r", kKindInfo);
    for (int i = 0; i < 9; ++i) sent("L", kKindCommand);
    arrives(kCheckList);
    ASSERT_EQ(watcher->state(), CBoxDirWatcher::State::Capturing);
    arrives("\r(2) DISCONNECTED fm DB0BOX\r\n");
    EXPECT_EQ(watcher->state(), CBoxDirWatcher::State::Idle);
    EXPECT_EQ(rig.dir.read("box/checks.b01").substr(0, kCheckList.size()), kCheckList);
}

TEST_F(Watcher, NamesFromTheListingArePlainNames) {
    EXPECT_EQ(boxListingName(BoxListing::User, "User-File: ../../etc/x"), "box.b01");
    EXPECT_EQ(boxListingName(BoxListing::User, "User-File: .hidden"), "box.b01");
    EXPECT_EQ(boxListingName(BoxListing::Info, "Info-File:    DX\r\n"), "DX.b01");
    EXPECT_EQ(boxListingName(BoxListing::User, "User-File:"), "box.b01");
    sent("l\r", kKindInfo);
    arrives("User-File: ../../outside\r\n" + kPrompt);
    EXPECT_TRUE(fs::exists(box / "box.b01"));
    for (const auto& e : fs::recursive_directory_iterator(rig.dir.path()))
        EXPECT_EQ(e.path().filename().string().find("outside"), std::string::npos);
}

TEST_F(Watcher, FbbListingIsCapturedUnderTheBbsCallUntilItsOwnPromptEvenSplitAcrossRecords) {
    sent("LL 10\r", kKindInfo);
    arrives(kFbbRecord1);
    ASSERT_EQ(watcher->state(), CBoxDirWatcher::State::Capturing);
    // Expert mode's prompt "(1) DB0FBB BBS>" does not match "()de>": FBB's prompt ends the capture,
    // also when it comes in two records.
    arrives(kFbbRecord2.substr(0, kFbbRecord2.size() - 8));
    EXPECT_EQ(watcher->state(), CBoxDirWatcher::State::Capturing);
    arrives(kFbbRecord2.substr(kFbbRecord2.size() - 8));
    EXPECT_EQ(watcher->state(), CBoxDirWatcher::State::Idle);
    const std::string name = "DB1BBB.b01";  // the station the channel is connected to
    EXPECT_EQ(rig.dir.read("box/" + name), withLf((kFbbRecord1 + kFbbRecord2).substr(1))) << "from the heading on";
    EXPECT_EQ(rig.profile.getString("DieBox", "LastDirFile"), name);
    EXPECT_EQ(fbbListingName("../x"), "fbb.b01");

    // Read back: the listing's messages, FBB's commands, and a read script that waits for FBB's prompt.
    MailboxSettings s = MailboxSettings::read(rig.profile, rig.dir.path(), kCheckHeadingWindow);
    const BoxDirectory d = readBoxDirectory(box / name, s, "*");
    EXPECT_EQ(d.kind, BoxFileKind::Fbb);
    EXPECT_EQ(d.messages, kFbbListed);
    EXPECT_EQ(d.prompt, "DB0FBB BBS>");
    EXPECT_EQ(boxCommand(d, d.messages[0], true, false), "K 103");
    EXPECT_EQ(boxCommand(d, d.messages[1], false, true), "R 102") << "FBB knows no read by title";
    EXPECT_EQ(readScriptText(d, {d.messages[2], d.messages[1]}, false, true),
              "**Rem    101 DL9SYS    DL2BBB           09.12. 10:49    109 First test message\r\nR 101\r\n"
              "**WaitFor DB0FBB BBS>\r\n\r\n"
              "**Rem    102 DL9SYS    ALL@WW           09.12. 10:49     54 Rig bulletin\r\nR 102\r\n"
              "**WaitFor DB0FBB BBS>\r\n\r\n");
}

class Directory : public ::testing::Test {
protected:
    void SetUp() override {
        settings.userHeading = squeezedUpper("User-File:");
        settings.infoHeading = squeezedUpper("Info-File:");
        settings.checkHeading = squeezedUpper(kCheckHeadingWindow);
        settings.dir = dir.path();
    }
    BoxDirectory read(const std::string& name, const std::string& text, std::string_view mask = "*") {
        dir.write(name, text);
        return readBoxDirectory(dir.path() / name, settings, mask);
    }
    TempDir dir;
    MailboxSettings settings;
};

TEST_F(Directory, UserListingGivesBoardNumbersAndTitles) {
    const BoxDirectory d = read("ALLE.b01", kUserListing + kPrompt);
    EXPECT_EQ(d.kind, BoxFileKind::User);
    EXPECT_EQ(d.board, "ALLE");
    ASSERT_EQ(d.messages.size(), 3u);
    EXPECT_EQ(boxCommand(d, d.messages[0], false, false), "r ALLE 1");
    EXPECT_EQ(boxCommand(d, d.messages[2], true, false), "e ALLE 17");
    EXPECT_EQ(boxCommand(d, d.messages[1], false, true), "r ALLE < Relais SP defekt");
    EXPECT_EQ(readScriptText(d, d.messages, false, false),
              "**Rem   1 DL1ABC 01.12.26 10:15  1234 Treffen am Samstag\r\nr ALLE 1\r\n**WaitforBoxPrompt\r\n\r\n"
              "**Rem   2 DB0XYZ 02.12.26 11:20   567 Relais SP defekt\r\nr ALLE 2\r\n**WaitforBoxPrompt\r\n\r\n"
              "**Rem  17 DK2QQ  03.12.26 12:00    89 sp-Contest\r\nr ALLE 17\r\n**WaitforBoxPrompt\r\n\r\n");
}

TEST_F(Directory, MaskIsMatchedAsTypedAgainstTheUpperCaseLine) {
    EXPECT_EQ(read("a.b01", kUserListing, "SP").messages.size(), 2u);
    EXPECT_EQ(read("a.b01", kUserListing, "sp").messages.size(), 0u);
    EXPECT_EQ(read("a.b01", kUserListing, "").messages.size(), 3u);
}

TEST_F(Directory, CheckListCommandsTakeBoardAndNumberFromField4) {
    const BoxDirectory d = read("checks.b01", kCheckList + kPrompt);
    EXPECT_EQ(d.kind, BoxFileKind::Check);
    ASSERT_EQ(d.messages.size(), 2u);
    EXPECT_EQ(boxCommand(d, d.messages[1], false, false), "r TECHNIK 7");
    EXPECT_EQ(boxCommand(d, d.messages[0], false, true), "r ALLE < Treffen am Samstag");
}

TEST_F(Directory, GarbageAndUnknownFilesGiveNoCommands) {
    std::string garbage(40000, '\0');
    for (std::size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<char>(i * 31 % 256);
    const BoxDirectory g = read("g.b01", "12 x\n" + garbage);
    EXPECT_EQ(g.kind, BoxFileKind::Unknown);
    for (const auto& line : g.messages) EXPECT_FALSE(boxCommand(g, line, false, false));
    EXPECT_EQ(readScriptText(g, g.messages, false, false), "");
    // An LF-only file of a known kind keeps the kind of an earlier one when it has no heading.
    const BoxDirectory first = read("ALLE.b01", kUserListing);
    dir.write("more.b01", "  5 DL1ABC 01.12.26 10:15  1234 Nachtrag\n");
    const BoxDirectory more = readBoxDirectory(dir.path() / "more.b01", settings, "*", first);
    ASSERT_EQ(more.messages.size(), 1u);
    EXPECT_EQ(boxCommand(more, more.messages[0], false, false), "r ALLE 5");
    EXPECT_EQ(listBoxDirectories(settings), (std::vector<std::string>{"ALLE.b01", "g.b01", "more.b01"}));
}

// An operator's log of a session, CR line ends as received: the greeting
// and prompts before the listing, noise and garbled lines in it.
TEST_F(Directory, FbbLogWithPromptsAndGarbledLinesListsOnlyWholeMessages) {
    std::string junk = "104    B$L     54 ALL   @WW     DL9SYS 1209/1049 ";
    junk += std::string("Bell\x07Esc\x1b") + std::string(300, 'x');  // over the line limit
    const std::string log =
        "[FBB-7.0.11-AB1FHMRX$]\rDB0FBB BBS, QTH JO31NK.\rHere are 2 active messages, 102 is last message and \r"
        "82 is the last you have listed.\r(1) DB0FBB BBS (H for help) >\r" +
        kFbbRecord1 + kFbbRecord2.substr(0, 20) + "\r" +
        "105    PN      5 DL2BBB        DL9SYS 1399/1051 Month 13\r"
        "106    XN      5 DL2BBB        DL9SYS 1209/1051 Type X\r"
        "107    PN      5 DL2BBBXX      DL9SYS 1209/1051 Call too long\r"
        "108    PN      5 DL2BBB@       DL9SYS 1209/1051 Empty route\r"
        "0      PN      5 DL2BBB        DL9SYS 1209/1051 Number 0\r"
        "109    PN    12 DL2BBB        DL9SYS 1209/10\r" +
        junk + "\r" +
        "110    PN      7 DL2BBB-15     DL9SYS-1 0101/0000 Tab\there, bell\x07\r"
        "(1) DB0FBB BBS (H for help) >\r";
    const BoxDirectory d = read("fbb.b01", log);
    ASSERT_EQ(d.kind, BoxFileKind::Fbb);
    std::vector<std::string> expected = kFbbListed;
    expected.push_back("   110 DL9SYS-1  DL2BBB-15        01.01. 00:00      7 Tab here, bell");
    EXPECT_EQ(d.messages, expected);
    EXPECT_EQ(d.prompt, "DB0FBB BBS (H for help) >") << "the last prompt of the file";
    EXPECT_EQ(read("fbb.b01", log, "DL9SYS").messages.size(), 3u) << "the mask sees the line as listed";
    EXPECT_EQ(read("fbb.b01", log, "ALL@WW").messages, (std::vector<std::string>{kFbbListed[1]}));

    // A file without its prompt waits for the box prompt of the settings.
    const BoxDirectory bare = read("bare.b01", kFbbRecord1 + "\r");
    EXPECT_EQ(bare.prompt, "");
    EXPECT_EQ(readScriptText(bare, {bare.messages[0]}, true, false),
              "**Rem " + kFbbListed[0] + "\r\nK 103\r\n**WaitforBoxPrompt\r\n\r\n");
}

TEST_F(Directory, TheKindIsDecidedForEachFileFromItsHeading) {
    const BoxDirectory fbb = read("a.b01", withLf(kFbbRecord1 + kFbbRecord2));
    // A DieBox heading in the head of a file wins, whatever follows; its prompt is not FBB's.
    dir.write("b.b01", kUserListing + "Msg#   TSLD  Size To\r\n" + kPrompt);
    const BoxDirectory diebox = readBoxDirectory(dir.path() / "b.b01", settings, "*", fbb);
    EXPECT_EQ(diebox.kind, BoxFileKind::User);
    EXPECT_EQ(diebox.board, "ALLE");
    EXPECT_EQ(diebox.prompt, "");
    EXPECT_EQ(diebox.messages.size(), 3u);
    // An FBB listing after a DieBox one is FBB; a headless file goes on as the one before.
    dir.write("c.b01", withLf(kFbbRecord1));
    EXPECT_EQ(readBoxDirectory(dir.path() / "c.b01", settings, "*", diebox).kind, BoxFileKind::Fbb);
    dir.write("more.b01", "111    PN      5 DL2BBB        DL9SYS 1209/1051 Later\r\n");
    const BoxDirectory more = readBoxDirectory(dir.path() / "more.b01", settings, "*", fbb);
    EXPECT_EQ(more.kind, BoxFileKind::Fbb);
    EXPECT_EQ(more.prompt, "DB0FBB BBS>");
    ASSERT_EQ(more.messages.size(), 1u);
    EXPECT_EQ(boxCommand(more, more.messages[0], false, false), "R 111");
    const BoxDirectory unknown = readBoxDirectory(dir.path() / "more.b01", settings, "*");
    EXPECT_EQ(unknown.kind, BoxFileKind::Unknown);
    EXPECT_EQ(readScriptText(unknown, unknown.messages, false, false), "");
}

// Titles and boards come from the air; the script they end up in must run
// as the reader wrote it: no command of theirs, no line that stops it.
static_assert(kReadScriptLineLimit == kScriptMaxLine, "read scripts are cut where scripts refuse lines");

TEST_F(Directory, ReadScriptsKeepWhatTheAirSentAsText) {
    const std::string listing = "User-File: ALLE\r\n"
                                "  1 DL1ABC 01.12.26 10:15 12 Nice ** RUN rm -rf x\r\n"
                                "  2 DL1ABC 01.12.26 10:15 12 Wichtig * Info\r\n"
                                "  3 DL1ABC 01.12.26 10:15 12 Esc\x1b and bell\x07\r\n"
                                "  4 DL1ABC 01.12.26 10:15 12 " + std::string(200, 'y') + "\r\n";
    const BoxDirectory d = read("ALLE.b01", listing);
    ASSERT_EQ(d.messages.size(), 4u);
    const std::string script = readScriptText(d, d.messages, false, true);
    const ParsedScript parsed = parseScript(script, "readbox.scr");
    ASSERT_FALSE(parsed.error) << parsed.error->text();
    std::vector<std::string> sent;
    for (const ScriptLine& line : parsed.lines) {
        if (line.kind == LineKind::Text) sent.push_back(line.raw);
        if (line.kind == LineKind::Command) {
            EXPECT_TRUE(line.command == ScriptCommand::Rem || line.command == ScriptCommand::WaitForBoxPrompt)
                << line.raw;
        }
    }
    // A title that would be a command, stop the script or make too long a line reads by number.
    EXPECT_EQ(sent, (std::vector<std::string>{"r ALLE 1", "r ALLE 2", "r ALLE 3", "r ALLE 4"}));
    EXPECT_NE(script.find("**Rem   3 DL1ABC 01.12.26 10:15 12 Esc  and bell \r\n"), std::string::npos) << script;
    // A board that is a script command gives no command at all.
    const BoxDirectory hostile = read("x.b01", "User-File: **RUN\r\n  1 DL1ABC 01.12.26 10:15 12 x\r\n");
    EXPECT_EQ(readScriptText(hostile, hostile.messages, false, false), "");
}

TEST_F(Directory, HeadlessMailboxListsFbbMessagesAndWritesTheirReadScript) {
    dir.write("DB0FBB.b01", withLf(kFbbRecord1 + kFbbRecord2));
    Profile profile(dir.path() / "norva.ini");
    EXPECT_EQ(mailboxConsole(profile, dir.path(), "db0fbb.b01"),
              "1: " + kFbbListed[0] + "\n2: " + kFbbListed[1] + "\n3: " + kFbbListed[2] + "\n");
    EXPECT_EQ(mailboxConsole(profile, dir.path(), "DB0FBB.b01 erase 3"),
              (dir.path() / "readbox.scr").string() + ": 1 Nachrichten (\":script readbox\" startet es)\n");
    EXPECT_EQ(dir.read("readbox.scr"), "**Rem " + kFbbListed[2] + "\r\nK 101\r\n**WaitFor DB0FBB BBS>\r\n\r\n");
}

}  // namespace
}  // namespace norva::test
