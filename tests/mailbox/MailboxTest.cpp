// The mailbox reader: listings captured while the operator browses a
// DieBox (and only then), stored without overwriting, under plain names;
// directory files of real DieBox shape and garbage read back into message
// lines, commands and read scripts.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "FileWrites.h"
#include "TransferRig.h"
#include "mailbox/BoxDirWatcher.h"
#include "mailbox/BoxDirectory.h"
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

}  // namespace
}  // namespace norva::test
