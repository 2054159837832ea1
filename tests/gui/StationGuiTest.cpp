// The station window and its dialogs in the running program, on the
// in-process TNC: a station file written by hand is loaded and saved back
// byte for byte, "Verbinden" and a file opened from outside start the
// station's script on the air, the password dialogs write a private .pwd
// without showing the secret anywhere, the entry-node chooser edits the
// channel's list, and a dropped .stn from elsewhere is taken in after asking.
#include <sys/stat.h>

#include <deque>
#include <fstream>
#include <iterator>
#include <filesystem>

#include <QComboBox>
#include <QCheckBox>
#include <QDir>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QToolButton>
#include <QUrl>

#include "GuiTestUtil.h"
#include "support/EngineSync.h"
#include "channel/TncChannel.h"
#include "gui/EngineLink.h"
#include "gui/PasswordDialogs.h"
#include "gui/StationCommands.h"
#include "gui/StationDialogs.h"
#include "gui/StationWindow.h"
#include "gui/StatusBar.h"
#include "hostmode/HostMode.h"
#include "hostmode/VirtualTnc.h"
#include "platform/Profile.h"
#include "script/ConnectWithScript.h"
#include "support/AirRecorder.h"

namespace norva::test {

namespace {

// Answers the modal boxes that come, one button each in order, and keeps their texts.
class Answers : public QObject {
public:
    explicit Answers(std::deque<QMessageBox::StandardButton> buttons) : buttons_(std::move(buttons)) {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, this, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            // A box may be made where the last one was: marked, not compared by address.
            if (!box || buttons_.empty() || box->property("answered").toBool())
                return;
            box->setProperty("answered", true);
            texts.push_back(box->windowTitle() + "|" + box->text());
            box->button(buttons_.front())->click();
            buttons_.pop_front();
        });
        timer_.start();
    }
    QStringList texts;

private:
    std::deque<QMessageBox::StandardButton> buttons_;
    QTimer timer_;
};

// Runs fn once on the next modal dialog of type T (it must close the dialog).
template <class T>
void onModal(std::function<void(T*)> fn) {
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, fn] {
        if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            fn(dialog);
        }
    });
    timer->start();
}

std::string fileBytes(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void dropFile(QWidget* target, const std::filesystem::path& file) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(file.string()))});
    QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
}

constexpr const char* kHandWritten =
    "; written by hand\r\n[station]\r\ndestcall=DB0ABC\r\nAliasDestCall=ABCBOX\r\nQth=Hamburg\r\n"
    "LastDestCall=local\r\nLastAliasDestCall=\r\nLastConnectTime=01.02.2026 10:15\r\n"
    "ConnectCommand=c db0abc\r\nSysop=Anna\r\nComment=\r\nStationType=Mailbox\r\nScript=hop.scr\r\n"
    "Name=Box\r\nTnc=1\r\nModified=TRUE\r\n";

}  // namespace

class StationGuiTest : public AirGuiTest {
protected:
    void startStation(const std::string& extraFrame = "") {
        std::filesystem::create_directories(dir.path() / "stations");
        std::filesystem::create_directories(dir.path() / "scripts");
        dir.write("norva.ini",
                  "[Frame]\r\nAutoArrange=0\r\nTopLink=2\r\nShowBitmap=0\r\nStationOnline=0\r\nStationDir=" +
                      (dir.path() / "stations").string() + "\r\nScriptDir=" + (dir.path() / "scripts").string() +
                      "\r\n" + extraFrame +
                      "[Tnc]\r\n1=1\r\n[1]\r\nTncName=Demo\r\nChannels=4\r\nComPort=dde\r\n"
                      "MyCall=DL1ABC\r\nConnected=1\r\n");
        dir.write("scripts/hop.scr", "Hello Node\r\n**WAITFOR never\r\n");
        startWithAir();
    }
    StationCommands& stations() { return frame()->stations(); }
    std::filesystem::path stn(const std::string& name) const { return dir.path() / "stations" / name; }
    StationWindow* openWindow() {
        frame()->action("newStation")->trigger();
        return stations().window();
    }

};

TEST_F(StationGuiTest, HandWrittenFileLoadsAndOkWritesItBackExactly) {
    startStation("LastEditStation=DB0ABC\r\n");
    dir.write("stations/DB0ABC.stn", kHandWritten);
    StationWindow* w = openWindow();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->windowTitle(), "Station bearbeiten / offline");
    EXPECT_EQ(w->field("call")->text(), "DB0ABC");
    EXPECT_EQ(w->field("qth")->text(), "Hamburg");
    EXPECT_EQ(w->field("lastLogin")->text(), "01.02.2026 10:15");
    EXPECT_EQ(w->typeBox()->currentText(), "Mailbox");
    EXPECT_EQ(w->tncBox()->currentText(), "Demo");
    EXPECT_EQ(w->scriptBox()->currentText(), "hop.scr");
    EXPECT_EQ(w->modeBox()->currentText(), "no Password");
    ASSERT_EQ(w->modeBox()->count(), 7);
    EXPECT_EQ(w->modeBox()->itemText(5), "Norva");

    w->field("comment")->setText("Nachts QRT\nForged=1");
    w->typeBox()->setCurrentText("normal Node");
    w->modeBox()->setCurrentText("FlexNet");
    w->findChild<QPushButton*>("ok")->click();
    EXPECT_TRUE(waitFor([this] { return stations().window() == nullptr; })) << "Ok closes the window";
    // Every key keeps its line and its place; the comment cannot smuggle a key in.
    EXPECT_EQ(dir.read("stations/DB0ABC.stn"),
              "; written by hand\r\n[station]\r\ndestcall=DB0ABC\r\nAliasDestCall=ABCBOX\r\nQth=Hamburg\r\n"
              "LastDestCall=local\r\nLastAliasDestCall=\r\nLastConnectTime=01.02.2026 10:15\r\n"
              "ConnectCommand=c db0abc\r\nSysop=Anna\r\nComment=Nachts QRT Forged=1\r\nStationType=normal Node\r\n"
              "Script=hop.scr\r\nName=Box\r\nTnc=1\r\nModified=TRUE\r\n");
    const auto pwd = dir.path() / "DB0ABC.pwd";
    EXPECT_EQ(fileBytes(pwd), "[Station]\r\nStationMode=FlexNet\r\n");
    struct stat st {};
    ASSERT_EQ(::stat(pwd.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(frame()->profile().getString("frame", "LastEditStation"), "DB0ABC");
    EXPECT_NE(frame()->profile().find("stationedit", "left"), std::nullopt) << "the position is kept";

    // An empty call: the message, and nothing is written anywhere.
    w = openWindow();
    w->field("call")->clear();
    w->field("sysop")->setText("Nobody");
    const std::string before = dir.read("stations/DB0ABC.stn");
    const auto entries = [this] {
        const std::filesystem::directory_iterator all(dir.path() / "stations");
        return std::distance(begin(all), end(all));
    };
    const auto count = entries();
    {
        Answers a({QMessageBox::Ok});
        EXPECT_FALSE(w->ok());
        ASSERT_EQ(a.texts.size(), 1);
        EXPECT_EQ(a.texts[0], "Norva|Bitte geben Sie ein Rufzeichen an.");
    }
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(dir.read("stations/DB0ABC.stn"), before);
    EXPECT_EQ(entries(), count);
    {
        Answers a({QMessageBox::Ok, QMessageBox::Ok});
        w->editHelloText();
        w->modeBox()->setCurrentText("no Password");
        w->field("call")->setText("DB0ABC");
        w->editPassword();
        ASSERT_EQ(a.texts.size(), 2);
        EXPECT_EQ(a.texts[0], "Norva|Fehler ! Kein Zielrufzeichen vorhanden");
        EXPECT_EQ(a.texts[1], "Norva|Wählen Sie einen Knoten Typ zur Passworteinstellung");
    }
}

TEST_F(StationGuiTest, VerbindenAndAFileOpenedWithoutWindowStartTheScriptOnTheAir) {
    startStation();
    dir.write("stations/DB0ABC.stn", kHandWritten);
    StationWindow* w = openWindow();
    ASSERT_TRUE(w->loadCall("DB0ABC"));
    w->findChild<QPushButton*>("connect")->click();
    ASSERT_TRUE(waitFor([&] { return air.on(1).find("Hello Node\r") != std::string::npos; }));
    EXPECT_TRUE(waitFor([&] { return frame()->channelWindow(2) != nullptr && frame()->topLink() == 2; }))
        << "the channel window of the script comes forward";
    EXPECT_TRUE(w->isVisible()) << "Verbinden keeps the window";

    // A missing script: nothing starts, the box says why.
    w->scriptBox()->addItem("missing.scr");
    w->scriptBox()->setCurrentText("missing.scr");
    {
        Answers a({QMessageBox::Ok});
        w->connectStation();
        ASSERT_EQ(a.texts.size(), 1);
        EXPECT_EQ(a.texts[0], QString("Norva|") + QString::fromUtf8(kScriptNotFound.data()));
    }
    EXPECT_NE(dir.read("stations/DB0ABC.stn").find("Script=missing.scr\r\n"), std::string::npos) << "saved first";

    // A station file that does not want its window connects at once (channel 2: channel 1 runs a script).
    dir.write("stations/DB0XY.stn", "[Station]\r\nDestCall=DB0XY\r\nScript=hop.scr\r\nTnc=1\r\nDisplayOnOpen=0\r\n");
    EXPECT_EQ(stations().openStationFile(stn("DB0XY.stn")), StationOpenOutcome::Connected);
    EXPECT_TRUE(waitFor([&] { return air.on(2).find("Hello Node\r") != std::string::npos; }));
}

TEST_F(StationGuiTest, PasswordDialogsWritePrivateFileAndNeverShowTheSecret) {
    startStation();
    dir.write("stations/DB0ABC.stn", kHandWritten);
    const std::string secret = "geheim 4711x";
    const StationPaths paths = stations().paths();
    const auto file = *paths.passwordFile("DB0ABC");
    {
        TheNetPasswordDialog d({file, "DB0ABC", "ABCBOX"}, frame());
        d.show();
        EXPECT_EQ(d.windowTitle(), "THENET Node Passwort eingeben");
        d.sysopCommand()->setText("SYS");
        d.password()->setFocus();
        {
            Answers a({QMessageBox::Ok});
            typeText(d.password(), QString::fromStdString(secret));
            ASSERT_EQ(a.texts.size(), 1) << "one warning for the one blank";
            EXPECT_EQ(a.texts[0], "Norva|Achtung ! Ihr Passwort enthält Leerzeichen.");
        }
        EXPECT_EQ(d.lengthLabel()->text(), "12");
        EXPECT_EQ(d.password()->text().toStdString(), secret);
        EXPECT_NE(d.password()->displayText().toStdString(), secret) << "the field does not echo it";
        {
            Answers a({QMessageBox::Cancel});
            d.accept();
            ASSERT_EQ(a.texts.size(), 1);
            EXPECT_EQ(a.texts[0], "Norva|Achtung ! Ihr Passwort ist kürzer als 80 Zeichen.");
        }
        EXPECT_TRUE(d.isVisible()) << "Cancel returns to the dialog";
        EXPECT_FALSE(std::filesystem::exists(file));
        for (QWidget* widget : QApplication::allWidgets()) {
            EXPECT_EQ(widget->windowTitle().toStdString().find(secret), std::string::npos);
            if (auto* label = qobject_cast<QLabel*>(widget)) {
                EXPECT_EQ(label->text().toStdString().find(secret), std::string::npos);
            }
        }
        Answers a({QMessageBox::Ok});
        d.accept();
        EXPECT_EQ(d.result(), QDialog::Accepted);
    }
    EXPECT_EQ(fileBytes(file), "[Station]\r\nPassword=" + secret + "\r\nSysopCommand=SYS\r\nDestCall=DB0ABC\r\n"
                               "AliasDestCall=ABCBOX\r\n");
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(dir.read("system.log").find(secret), std::string::npos);

    // DieBox: the hint stands in the empty field and is no part of the stored block.
    DieBoxPasswordDialog d({file, "DB0ABC", "ABCBOX"}, frame());
    EXPECT_EQ(d.windowTitle(), "DIEBOX Passwort eingeben");
    EXPECT_EQ(d.sysopCommand()->text(), "SYS");
    EXPECT_EQ(d.sysopCommand()->maxLength(), 19);
    QString hint = QString::fromLatin1(kDieBoxHint);
    EXPECT_EQ(d.block()->toPlainText(), hint.replace("\r\n", "\n"));
    EXPECT_EQ(d.findChild<QLabel*>("ruler")->text().size(), 80);
    const std::string line(80, 'Q');
    std::string block;
    for (int i = 0; i < 20; ++i)
        block += line + "\n";
    block += std::string(20, 'Z');
    d.block()->setPlainText(hint + QString::fromStdString(block));
    d.accept();
    DieBoxPasswordEntry expected{"DB0ABC", "ABCBOX", "SYS", "DieBox", "Dummy Login Text", block};
    EXPECT_EQ(fileBytes(file), dieBoxFileBytes(expected));
    EXPECT_EQ(dieBoxSecret(readDieBoxBlock(file)).size(), kDieBoxBlockLength);
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(StationGuiTest, EntryNodeChooserRemovesAnEntryAndChoosesAnother) {
    startStation();
    link()->call([this](CHostMode&) {
        CTncChannel* channel = link()->channelOf(2);
        channel->linkState().setNodesAvail("DB0AAA,DB0BBB,DB0CCC,");
        channel->linkState().setDefaultNode("DB0BBB");
    });
    auto* button = frame()->channelStatusBar()->nodeButton();
    ASSERT_TRUE(button->isEnabled());
    QStringList shown;
    QString preselected;
    onModal<EntryNodeDialog>([&](EntryNodeDialog* d) {
        for (int i = 0; i < d->list()->count(); ++i)
            shown << d->list()->item(i)->text();
        preselected = d->list()->currentItem() ? d->list()->currentItem()->text() : QString();
        d->removeSelected();
        d->list()->setCurrentRow(1);
        d->findChild<QPushButton*>("ok")->click();
    });
    button->click();
    EXPECT_EQ(shown, QStringList({"DB0AAA", "DB0BBB", "DB0CCC"}));
    EXPECT_EQ(preselected, "DB0BBB");
    const auto state = link()->call([this](CHostMode&) {
        CTncChannel* channel = link()->channelOf(2);
        return channel->linkState().nodesAvail() + "|" + channel->linkState().defaultNode();
    });
    EXPECT_EQ(state, "DB0AAA,DB0CCC,|DB0CCC");
    EXPECT_EQ(frame()->profile().getString("Link2", "NodesAvail"), "DB0AAA,DB0CCC,");

    // Abbrechen changes nothing, whatever was removed in the dialog.
    onModal<EntryNodeDialog>([](EntryNodeDialog* d) {
        d->removeSelected();
        d->findChild<QPushButton*>("cancel")->click();
    });
    EXPECT_FALSE(stations().chooseEntryNode(2));
    EXPECT_EQ(link()->call([this](CHostMode&) { return link()->channelOf(2)->linkState().nodesAvail(); }),
              "DB0AAA,DB0CCC,");
}

TEST_F(StationGuiTest, DroppedStationFileFromElsewhereIsTakenInAfterAsking) {
    startStation();
    std::filesystem::create_directories(dir.path() / "outside");
    const std::string outsideText = "[Station]\r\nDestCall=DB0NEW\r\nQth=Kiel\r\n";
    dir.write("outside/DB0NEW.stn", outsideText);
    const auto source = dir.path() / "outside" / "DB0NEW.stn";
    {
        Answers a({QMessageBox::Cancel});
        dropFile(frame(), source);
        ASSERT_TRUE(waitFor([&] { return a.texts.size() == 1; }));
        EXPECT_EQ(a.texts[0], "Norva|Datei DB0NEW.stn in Stationsverzeichnis uebernehmen ?");
    }
    ASSERT_TRUE(uiCaughtUp(*link(), *frame()));
    EXPECT_FALSE(std::filesystem::exists(stn("DB0NEW.stn")));
    EXPECT_EQ(stations().window(), nullptr);
    {
        Answers a({QMessageBox::Ok});
        dropFile(frame(), source);
        ASSERT_TRUE(waitFor([&] { return stations().window() != nullptr; }));
    }
    EXPECT_EQ(fileBytes(stn("DB0NEW.stn")), outsideText);
    EXPECT_EQ(stations().window()->field("call")->text(), "DB0NEW");
    EXPECT_EQ(stations().window()->field("qth")->text(), "Kiel");

    // Once more: now it exists there, so the second question decides; Cancel keeps the old copy.
    dir.write("stations/DB0NEW.stn", "[Station]\r\nDestCall=DB0NEW\r\nQth=Alt\r\n");
    {
        Answers a({QMessageBox::Ok, QMessageBox::Cancel});
        EXPECT_EQ(stations().openStationFile(source), StationOpenOutcome::Cancelled);
        ASSERT_EQ(a.texts.size(), 2);
        EXPECT_EQ(a.texts[1], "Norva|Die Datei DB0NEW.stn existiert bereits. Datei ueberschreiben ?");
    }
    EXPECT_EQ(dir.read("stations/DB0NEW.stn"), "[Station]\r\nDestCall=DB0NEW\r\nQth=Alt\r\n");

    // A file whose DestCall is no callsign is refused with a box; the window keeps its station.
    dir.write("stations/EVIL.stn", "[Station]\r\nDestCall=../../etc/passwd\r\nDisplayOnOpen=0\r\n");
    {
        Answers a({QMessageBox::Ok});
        EXPECT_EQ(stations().openStationFile(stn("EVIL.stn")), StationOpenOutcome::Refused);
        EXPECT_EQ(a.texts.size(), 1);
    }
    EXPECT_EQ(stations().window()->field("call")->text(), "DB0NEW");
}

TEST_F(StationGuiTest, ConnectScriptDialogWritesThePathAndStationListDeletes) {
    startStation("MaxNodes=5\r\n");
    dir.write("stations/DB0ABC.stn", kHandWritten);
    dir.write("stations/DB0XYZ.stn", "[Station]\r\nDestCall=DB0XYZ\r\nConnectCommand=C DB0XYZ-3\r\nLastDestCall=db0abc\r\n");
    dir.write("stations/DB0BAD.stn", "[Station]\r\nDestCall=DB0BAD\r\nLastDestCall=DB0ABC\r\n");
    std::vector<FileRequest> asked;
    std::filesystem::path answer = dir.path() / "scripts" / "out.scr";
    stations().setFileChooser([&](QWidget*, const FileRequest& r) {
        asked.push_back(r);
        return QString::fromStdString(answer.string());
    });
    StationWindow* w = openWindow();
    w->field("call")->setText("DB0XYZ");
    QString destination;
    int maxNodes = 0;
    QStringList boxes;
    onModal<ConnectScriptDialog>([&](ConnectScriptDialog* d) {
        destination = d->destination()->text();
        maxNodes = d->maxNodes()->value();
        d->maxNodes()->setValue(4);
        d->findChild<QPushButton*>("create")->click();
        answer = dir.path() / "scripts" / "bad.scr";
        d->destination()->setText("DB0BAD");
        Answers a({QMessageBox::Ok});
        d->findChild<QPushButton*>("create")->click();
        boxes = a.texts;
        d->findChild<QPushButton*>("end")->click();
    });
    w->findChild<QPushButton*>("connectScript")->click();
    EXPECT_EQ(destination, "DB0XYZ");
    EXPECT_EQ(maxNodes, 5);
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0].title, "Save Script File");
    EXPECT_EQ(asked[0].proposedName, "db0xyz.scr");
    EXPECT_EQ(asked[0].defaultSuffix, "scr");
    EXPECT_EQ(QDir(asked[0].directory).canonicalPath(),
              QDir(QString::fromStdString((dir.path() / "scripts").string())).canonicalPath());
    EXPECT_EQ(dir.read("scripts/out.scr"),
              "**c db0abc\r\n**Waitfor Connected to\r\nc db0xyz-3\r\n**Waitfor Connected to\r\n");
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes[0], "Norva|Fehlerhafte Stations Datei !\rDatei:DB0BAD.STN\r\rFehler:kein Connectbefehl");
    EXPECT_EQ(dir.read("scripts/bad.scr"), "") << "the chosen file exists and stays empty";
    EXPECT_EQ(frame()->profile().getInt("Frame", "MaxNodes", 0), 4);

    // The list: Löschen asks and deletes the file (the .pwd stays); OK loads the chosen station.
    dir.write("DB0BAD.pwd", "[Station]\r\nStationMode=SP\r\n");
    QStringList listed;
    onModal<StationListDialog>([&](StationListDialog* d) {
        EXPECT_EQ(d->windowTitle(), "Station wählen");
        for (int i = 0; i < d->list()->count(); ++i)
            listed << d->list()->item(i)->text();
        d->list()->setCurrentRow(1);
        Answers a({QMessageBox::Ok});
        d->findChild<QPushButton*>("delete")->click();
        boxes = a.texts;
        d->list()->setCurrentRow(1);
        d->findChild<QPushButton*>("ok")->click();
    });
    w->findChild<QPushButton*>("open")->click();
    EXPECT_EQ(listed, QStringList({"DB0ABC", "DB0BAD", "DB0XYZ"}));
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes[0], "Norva|Stationdaten löschen ?");
    EXPECT_FALSE(std::filesystem::exists(stn("DB0BAD.stn")));
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "DB0BAD.pwd"));
    EXPECT_EQ(w->field("call")->text(), "DB0XYZ");
    EXPECT_EQ(w->field("connectCommand")->text(), "C DB0XYZ-3");

    // Hello Text: the call's file in HelloTextDir goes to the editor; Online follows TopLink.
    std::vector<std::filesystem::path> edited;
    stations().setEditor([&](QWidget*, const std::filesystem::path& f) { edited.push_back(f); return true; });
    w->findChild<QPushButton*>("helloText")->click();
    ASSERT_EQ(edited.size(), 1u);
    EXPECT_EQ(edited[0], dir.path() / "DB0XYZ.txt");
    w->onlineBox()->setChecked(true);
    EXPECT_EQ(w->windowTitle(), "Station bearbeiten / Tnc 1 Channel 1");
    EXPECT_EQ(frame()->profile().getInt("frame", "StationOnline", 0), 1);
}

TEST_F(StationGuiTest, OnlineWindowFollowsTheActiveChannelsPartner) {
    startStation();
    dir.write("stations/DB0ABC.stn", kHandWritten);
    frame()->profile().writeInt("frame", "StationOnline", 1);
    frame()->activateChannel(2);  // already in front: the connect itself must bring the calls
    ASSERT_TRUE(uiCaughtUp(*link(), *frame()));
    StationWindow* w = openWindow();
    EXPECT_EQ(w->windowTitle(), "Station bearbeiten / Tnc 1 Channel 1");
    EXPECT_EQ(w->field("call")->text(), "");
    link()->call([](CHostMode& hm) { hm.virtualTnc().queueItem(1, 3, "(1) CONNECTED to DB0ABC"); });
    ASSERT_TRUE(waitFor([&] { return w->field("call")->text() == "DB0ABC"; }));
    EXPECT_EQ(w->field("qth")->text(), "Hamburg");
    // Edits survive the operator clicking back into the same channel.
    w->field("comment")->setText("in Arbeit");
    frame()->activateChannel(2);
    // What the activation asked of the engine has come back to the window.
    ASSERT_TRUE(uiCaughtUp(*link(), *frame()));
    EXPECT_EQ(w->field("comment")->text(), "in Arbeit");
}

TEST_F(StationGuiTest, StationFileOnTheCommandLineOpensAfterStart) {
    std::filesystem::create_directories(dir.path() / "stations");
    dir.write("norva.ini", "[Frame]\r\nShowBitmap=0\r\nStationOnline=0\r\nStationDir=" +
                               (dir.path() / "stations").string() + "\r\n");
    dir.write("stations/DL1XYZ.stn", "[Station]\r\nDestCall=DL1XYZ\r\nSysop=Otto\r\n");
    session = std::make_unique<DesktopSession>(
        DesktopOptions{dir.path(), false, {}, {}, {dir.path() / "stations" / "DL1XYZ.stn"}});
    ASSERT_TRUE(session->start());
    ASSERT_TRUE(waitFor([this] { return frame()->stations().window() != nullptr; }));
    EXPECT_EQ(frame()->stations().window()->field("sysop")->text(), "Otto");
    // The window's place outlives the program, also when it is still open at the end.
    frame()->stations().window()->move(140, 90);
    frame()->quitWithoutAsking();
    ASSERT_TRUE(waitFor([this] { return session->finished(); }));
    Profile saved(dir.path() / "norva.ini");
    EXPECT_EQ(saved.getInt("stationedit", "left", 0), 140);
    EXPECT_EQ(saved.getInt("stationedit", "top", 0), 90);
}

TEST(StationScreenshot, StationWindowWithAMailbox) {
    TempDir dir;
    std::filesystem::create_directories(dir.path() / "scripts");
    dir.write("scripts/db0abc.scr", "x\r\n");
    dir.write("scripts/wetter.scr", "x\r\n");
    dir.write("norva.ini", "[frame]\r\nStationOnline=0\r\nLastEditStation=DB0ABC\r\nScriptDir=" +
                               (dir.path() / "scripts").string() + "\r\n[1]\r\nTncName=Demo 2m\r\n[2]\r\nTncName=70cm\r\n");
    dir.write("DB0ABC.stn", "[Station]\r\nDestCall=DB0ABC\r\nAliasDestCall=ABCBOX\r\nQth=Hamburg JO53\r\n"
                            "LastDestCall=DB0HHN\r\nLastAliasDestCall=HHNODE\r\nLastConnectTime=07.12.2026 19:42\r\n"
                            "ConnectCommand=c db0abc\r\nSysop=Anna Berg\r\nComment=Mailbox des OV Hamburg\r\n"
                            "StationType=Mailbox\r\nScript=db0abc.scr\r\nName=DieBox Hamburg\r\nTnc=1\r\n");
    dir.write("DB0ABC.pwd", "[Station]\r\nStationMode=DieBox\r\n");
    Profile profile(dir.path() / "norva.ini");
    StationCommands commands(nullptr, profile, dir.path(), nullptr, nullptr);
    StationWindow* w = commands.showWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    EXPECT_EQ(w->windowTitle(), "Station bearbeiten / offline");
    EXPECT_EQ(w->field("sysop")->text(), "Anna Berg");
    EXPECT_EQ(w->modeBox()->currentText(), "DieBox");
    EXPECT_EQ(w->scriptBox()->currentText(), "db0abc.scr");
    if (const char* out = std::getenv("NORVA_SCREENSHOT_DIR"))
        w->grab().toImage().save(QDir(QString::fromLocal8Bit(out)).filePath("station-window.png"));
}

TEST(StationCommandLine, PlainArgumentsAreStationFilesMadeAbsolute) {
    std::string a0 = "norva", a1 = "--dir", a2 = "/tmp/prog", a3 = "box.stn", a4 = "--trace", a5 = "/x/Y.STN";
    char* argv[] = {a0.data(), a1.data(), a2.data(), a3.data(), a4.data(), a5.data()};
    const auto files = stationFilesOnCommandLine(6, argv);
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0], std::filesystem::current_path() / "box.stn");
    EXPECT_EQ(files[1], std::filesystem::path("/x/Y.STN"));
}

}  // namespace norva::test
