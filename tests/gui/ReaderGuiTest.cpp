// The desktop's mailbox reader (DieBox and FBB listings), the 7Plus commands, the channel links
// dialog and a password answer put into an input pane, in the running
// program on the in-process TNC.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

#include "GuiTestUtil.h"
#include "support/EngineSync.h"
#include "support/AirRecorder.h"
#include "gui/DdeLinksDialog.h"
#include "gui/EngineLink.h"
#include "gui/MailboxWindow.h"
#include "gui/NorvaSplit.h"
#include "gui/PasswordDialogs.h"
#include "gui/SevenPlusCommands.h"
#include "hostmode/HostMode.h"
#include "hostmode/VirtualTnc.h"
#include "platform/Profile.h"
#include "terminal/Prewrite.h"
#include "transfer/SevenPlusFiles.h"
#include "transfer/SevenPlusParts.h"

namespace norva::test {

class ReaderGuiTest : public AirGuiTest {
protected:
    static constexpr int kChannel = 1;  // slot 2

    void startStation(const std::string& extra = {}) {
        dir.write("norva.ini",
                  "[Frame]\r\nAutoArrange=0\r\nTopLink=2\r\nShowBitmap=0\r\n" + extra +
                      "[Tnc]\r\n1=1\r\n[1]\r\nTncName=Demo\r\nChannels=4\r\nComPort=dde\r\nMyCall=DL1ABC\r\n"
                      "Connected=1\r\n[TncDocuments]\r\n2=1\r\n");
        startWithAir();
    }

};

TEST_F(ReaderGuiTest, MailboxReaderSendsPickedCommandsAndWritesTheReadScript) {
    dir.write("ALLE.b01", "User-File: ALLE\r\n  1 DL1ABC 01.12.26 10:15 12 Eins\r\n  4 DB0XYZ 02.12.26 11:20 34 Vier\r\n"
                          "  9 DK2QQ  03.12.26 12:00 56 Neun\r\n(DB0BOX) de DL1ABC>\r\n");
    startStation("[DieBox]\r\nLastDirFile=ALLE.b01\r\n");
    frame()->action("mailboxReader")->trigger();
    auto* reader = frame()->findChild<MailboxWindow*>("MailboxWindow");
    ASSERT_NE(reader, nullptr);
    ASSERT_EQ(reader->messageList()->count(), 3) << "the last listing opens by itself";

    reader->messageList()->setCurrentRow(1);
    reader->pick();
    reader->pickedList()->setCurrentRow(0);
    EXPECT_EQ(reader->commandLine()->text(), "r ALLE 4");
    reader->sendLine();
    ASSERT_TRUE(waitFor([&] { return air.on(kChannel) == "r ALLE 4\r"; })) << air.on(kChannel);
    EXPECT_EQ(reader->pickedList()->count(), 0);

    // A reader whose save dialog answers at once.
    const std::string out = (dir.path() / "readbox.scr").string();
    MailboxWindow custom(frame()->profile(), dir.path(),
                         [&](QWidget*, const FileRequest& r) {
                             EXPECT_EQ(r.title, "Save Script File");
                             EXPECT_EQ(r.proposedName, "readbox.scr");
                             return QString::fromStdString(out);
                         },
                         {});
    ASSERT_EQ(custom.messageList()->count(), 3);
    custom.messageList()->setCurrentRow(2);
    custom.pick();
    custom.eraseButton()->setChecked(true);
    ASSERT_TRUE(custom.writeScript());
    EXPECT_EQ(dir.read("readbox.scr"), "**Rem   9 DK2QQ  03.12.26 12:00 56 Neun\r\ne ALLE 9\r\n**WaitforBoxPrompt\r\n\r\n");
    EXPECT_EQ(custom.pickedList()->count(), 0) << "writing the script empties the picked list";
    custom.maskField()->setText("QQ");
    custom.openFile("ALLE.b01");
    EXPECT_EQ(custom.messageList()->count(), 1);
}

// An FBB capture as the watcher stores it (heading to prompt, CR LF).
TEST_F(ReaderGuiTest, MailboxReaderSelectsFbbMessagesAndReadsThemWithFbbCommands) {
    dir.write("DB0FBB.b01",
              "Msg#   TSLD  Size To    @Route  From   Date/Time Subject  [LC-choice: *]\r\n"
              "102    B$L     54 ALL   @WW     DL9SYS 1209/1049 Rig bulletin\r\n"
              "101    PNL    109 DL2BBB        DL9SYS 1209/1049 First test message\r\n"
              "(1) DB0FBB BBS (H for help) >\r\n");
    startStation("[DieBox]\r\nLastDirFile=DB0FBB.b01\r\nTextLine=1\r\n");
    frame()->action("mailboxReader")->trigger();
    auto* reader = frame()->findChild<MailboxWindow*>("MailboxWindow");
    ASSERT_NE(reader, nullptr);
    ASSERT_EQ(reader->messageList()->count(), 2);
    EXPECT_EQ(reader->messageList()->item(1)->text().toStdString(),
              "   101 DL9SYS    DL2BBB           09.12. 10:49    109 First test message");
    EXPECT_FALSE(reader->textLineBox()->isEnabled()) << "FBB reads by number only";
    reader->messageList()->setCurrentRow(0);
    reader->pick();
    reader->pickedList()->setCurrentRow(0);
    EXPECT_EQ(reader->commandLine()->text(), "R 102");
    reader->sendLine();
    ASSERT_TRUE(waitFor([&] { return air.on(kChannel) == "R 102\r"; })) << air.on(kChannel);

    const std::string out = (dir.path() / "readbox.scr").string();
    auto chooser = [&](QWidget*, const FileRequest&) { return QString::fromStdString(out); };
    MailboxWindow custom(frame()->profile(), dir.path(), chooser, {});
    custom.messageList()->setCurrentRow(1);
    custom.pick();
    custom.eraseButton()->setChecked(true);
    ASSERT_TRUE(custom.writeScript());
    EXPECT_EQ(dir.read("readbox.scr"),
              "**Rem    101 DL9SYS    DL2BBB           09.12. 10:49    109 First test message\r\n"
              "K 101\r\n**WaitFor DB0FBB BBS (H for help) >\r\n\r\n");
}

TEST_F(ReaderGuiTest, APasswordAnswerWaitsInTheInputPaneForEnter) {
    startStation();
    frame()->uiInsertInput(2, "\r");
    frame()->uiInsertInput(2, "35");
    CNorvaSplit* window = frame()->channelWindow(2);
    ASSERT_NE(window, nullptr);
    const CTextWindow& pane = window->prewrite().window();
    bool found = false;
    std::string shown;
    for (int i = 0; i < pane.heldLines(); ++i) {
        std::u32string_view line = pane.heldLine(i);
        while (!line.empty() && line.back() == U' ') line.remove_suffix(1);
        found |= line == U"35";
        for (char32_t c : pane.heldLine(i)) shown += static_cast<char>(c);
        shown += '|';
    }
    EXPECT_TRUE(found) << shown;
    // A send the inserted text set off would be on the air after this.
    engineRoundTrip(*link());
    EXPECT_EQ(air.on(kChannel), "") << "nothing is sent before the operator sends it";
    window->prewrite().typeChar(U'\r');
    ASSERT_TRUE(waitFor([&] { return air.on(kChannel) == "35\r"; })) << air.on(kChannel);
}

TEST_F(ReaderGuiTest, SevenPlusMenuDecodesTheChosenPartsSetIntoTheChosenFolder) {
    const auto parts = encodeSevenPlus("desktop payload\n", "gui.txt", {});
    ASSERT_TRUE(parts);
    dir.write("GUI.7PL", parts->at(0).text);
    std::filesystem::create_directories(dir.path() / "out");
    startStation();
    std::vector<FileRequest> asked;
    frame()->sevenPlus().setFileChooser([&](QWidget*, const FileRequest& r) {
        asked.push_back(r);
        return QString::fromStdString(asked.size() == 1 ? (dir.path() / "GUI.7PL").string()
                                                        : (dir.path() / "out" / "GUI").string());
    });
    QString output;
    QObject::connect(&frame()->sevenPlus(), &SevenPlusCommands::finished, [&](const QString& t) { output = t; });
    frame()->action("extractSevenPlus")->trigger();
    ASSERT_TRUE(waitFor([&] { return !output.isEmpty(); })) << "the decode never ended";
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0].title, "7Plus Datei auswählen");
    EXPECT_EQ(asked[1].title, "7Plus Datei auspacken nach");
    EXPECT_EQ(asked[1].proposedName, "GUI");
    EXPECT_EQ(output.toStdString(), "7Plus Datei " + (dir.path() / "out" / "gui.txt").string() + " dekodiert, 16 Bytes.\n");
    EXPECT_EQ(dir.read("out/gui.txt"), "desktop payload\n");
    EXPECT_EQ(frame()->profile().getString("frame", "7PlusExtractDir"), (dir.path() / "out").string());
    if (auto* box = frame()->findChild<QMessageBox*>("SevenPlusOutput")) box->close();
}

TEST_F(ReaderGuiTest, SevenPlusSendPutsTheFilesPartsOnTheChannel) {
    std::string data;
    for (int i = 0; i < 1024; ++i) data += static_cast<char>(i % 256);
    dir.write("send.bin", data);
    startStation("[7Plus]\r\nSplitLines=5\r\n");
    frame()->sevenPlus().setFileChooser([&](QWidget*, const FileRequest& r) {
        EXPECT_EQ(r.title, "7Plus Datei senden");
        return QString::fromStdString((dir.path() / "send.bin").string());
    });
    frame()->action("sendSevenPlus")->trigger();
    std::string error;
    const auto expected = sevenPlusTextForSending(dir.path() / "send.bin", 5, {}, &error);
    ASSERT_TRUE(expected) << error;
    EXPECT_EQ(expected->parts, 4) << "17 lines in parts of 5";
    ASSERT_TRUE(waitFor([&] { return air.on(kChannel).size() >= expected->text.size(); }, 20000))
        << air.on(kChannel).size();
    EXPECT_TRUE(air.on(kChannel) == expected->text);
    EXPECT_EQ(frame()->profile().getString("frame", "BinSendFileDir"), dir.path().string());
}

TEST_F(ReaderGuiTest, ChannelLinksAreDefinedMarkedForAutoconnectAndDeleted) {
    startStation("[DdeLinks]\r\nLogger=LogSvc Channels\r\nEmpty=\r\n");
    DdeLinksDialog dialog(link(), frame()->profile(), 1, 1, frame());
    EXPECT_EQ(dialog.windowTitle().toStdString(), "DDE Einstellungen / Tnc 1 Channel 1");
    ASSERT_EQ(dialog.nameList()->count(), 1) << "names with an empty value are not links";
    dialog.nameList()->setCurrentRow(0);
    EXPECT_EQ(dialog.serviceField()->text().toStdString(), "LogSvc");
    EXPECT_EQ(dialog.typeField()->text().toStdString(), "DDE EXECUTE");
    dialog.nameField()->setText("Map");
    dialog.serviceField()->setText("KXWIN");
    dialog.topicField()->setText("MAP");
    dialog.itemField()->setText("STATION");
    EXPECT_EQ(dialog.typeField()->text().toStdString(), "DDE POKE");
    dialog.autoConnect()->setChecked(true);
    dialog.save();
    Profile& p = frame()->profile();
    EXPECT_EQ(p.getString("DdeLinks", "Map"), "KXWIN MAP STATION");
    EXPECT_EQ(p.getString("Link2", "Dde"), "Map");
    EXPECT_EQ(dialog.nameList()->count(), 2);
    dialog.remove();
    EXPECT_EQ(p.getString("DdeLinks", "Map"), "");
    EXPECT_EQ(p.getString("Link2", "Dde"), "");
    QString seen;
    {
        Answerer ok(QMessageBox::Ok, &seen);
        dialog.connectLink();  // no IPC service in the tests: nothing can be opened
    }
    EXPECT_EQ(seen.toStdString(), "Verbindung kann nicht erstellt werden !");
}

}  // namespace norva::test

namespace norva::test {

TEST(MailboxSettings, DialogEditsTheHeadingsTheReaderUses) {
    TempDir dir;
    Profile profile(dir.path() / "norva.ini");
    MailboxSettingsDialog dialog(profile);
    EXPECT_EQ(dialog.field("DirBoxPrompt")->text().toStdString(), "()de>");
    dialog.field("DirUserString")->setText("Benutzer:");
    dialog.accept();
    EXPECT_EQ(profile.getString("DieBox", "DirUserString"), "Benutzer:");
    EXPECT_EQ(MailboxSettings::read(profile, dir.path(), kCheckHeadingWindow).userHeading, "BENUTZER:");
}

}  // namespace norva::test

namespace norva::test {

TEST(RemotePassword, ShortPasswordsAreQuestionedAndOkStoresIt) {
    TempDir dir;
    Profile profile(dir.path() / "norva.ini");
    RemotePasswordDialog dialog(profile);
    const std::string secret(85, 'x');
    dialog.password()->setText(QString::fromStdString(secret));
    EXPECT_EQ(dialog.lengthLabel()->text().toStdString(), "85");
    dialog.accept();
    EXPECT_EQ(profile.getString("frame", "Password"), secret);

    RemotePasswordDialog again(profile);
    EXPECT_EQ(again.password()->text().toStdString(), secret);
    again.password()->setText("kurz");
    QString asked;
    {
        Answerer cancel(QMessageBox::Cancel, &asked);
        again.accept();
    }
    EXPECT_EQ(asked.toStdString(), "Achtung ! Ihr Passwort ist kürzer als 80 Zeichen.");
    EXPECT_EQ(profile.getString("frame", "Password"), secret) << "Cancel returns to the field";
}

}  // namespace norva::test
