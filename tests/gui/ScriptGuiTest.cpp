// The Scripte menu in the running program, on the in-process TNC: a script
// chosen from the menu sends its lines on the air and waits on its MSGBOX
// box; the schedule dialog edits the list and Ok writes SCHEDULE exactly.
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>

#include <QDir>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>

#include "GuiTestUtil.h"
#include "support/EngineSync.h"
#include "support/AirRecorder.h"
#include "channel/TncChannel.h"
#include "gui/EngineLink.h"
#include "gui/ScheduleDialog.h"
#include "gui/ScriptCommands.h"
#include "hostmode/HostMode.h"
#include "hostmode/VirtualTnc.h"
#include "platform/Profile.h"

namespace norva::test {

namespace {

void click(QWidget* root, const char* name) {
    auto* b = root->findChild<QPushButton*>(name);
    ASSERT_NE(b, nullptr) << name;
    b->click();
}

void pick(QListWidget* list, const QString& text) {
    const auto found = list->findItems(text, Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << text.toStdString();
    list->setCurrentItem(found.front());
}

}  // namespace

class ScriptGuiTest : public AirGuiTest {
protected:
    static constexpr int kSlot = 2;  // TNC 1, channel 1
    static constexpr int kChannel = 1;

    void startStation() {
        scripts = dir.path() / "scripts";
        std::filesystem::create_directories(scripts);
        dir.write("norva.ini",
                  "[Frame]\r\nAutoArrange=0\r\nTopLink=2\r\nShowBitmap=0\r\nScriptDir=" + scripts.string() +
                      "\r\n[Tnc]\r\n1=1\r\n2=1\r\n[1]\r\nTncName=Demo\r\nChannels=4\r\nComPort=dde\r\n"
                      "MyCall=DL1ABC\r\nConnected=1\r\n[2]\r\nTncName=Zwei\r\nChannels=2\r\nComPort=dde\r\n"
                      "Connected=0\r\n[TncDocuments]\r\n2=1\r\n");
        startWithAir();
        frame()->scripts().setFileChooser([this](QWidget*, const FileRequest& r) {
            asked.push_back(r);
            return answer;
        });
    }
    bool scriptRuns() {
        return link()->call([this](CHostMode&) {
            CTncChannel* channel = link()->channelOf(kSlot);
            return channel && channel->job(JobSlot::Script) != nullptr;
        });
    }
    QString writeScript(const std::string& name, const std::string& body) {
        dir.write("scripts/" + name, body);
        return QString::fromStdString((scripts / name).string());
    }
    std::string schedule(int key) { return frame()->profile().getString("SCHEDULE", std::to_string(key)); }

    std::filesystem::path scripts;
    std::vector<FileRequest> asked;
    QString answer;
};

TEST_F(ScriptGuiTest, MenuStartsScriptThatWaitsOnItsBoxAndAsksBeforeStopping) {
    startStation();
    answer = writeScript("hello.scr", "Hello Box\r\n**MSGBOX Back soon\r\nafter box\r\n**WAITFOR never\r\n");
    QString shownText;
    int shownSlot = 0;
    QObject::connect(&frame()->scripts(), &ScriptCommands::messageShown,
                     [&](int slot, const QString& text) { shownSlot = slot, shownText = text; });

    frame()->action("startScript")->trigger();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].title, "Script starten");
    EXPECT_EQ(QDir(asked[0].directory).canonicalPath(), QDir(QString::fromStdString(scripts.string())).canonicalPath());
    ASSERT_TRUE(waitFor([&] { return air.on(kChannel).find("Hello Box\r") != std::string::npos; }));
    ASSERT_TRUE(waitFor([&] { return !shownText.isEmpty(); }));
    EXPECT_EQ(shownSlot, kSlot);
    EXPECT_EQ(shownText.toUpper(), "BACK SOON");
    auto* box = frame()->findChild<QMessageBox*>("ScriptMessageBox");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->windowTitle(), "Norva");
    EXPECT_FALSE(box->isModal()) << "the program goes on while the box is open";
    // The script has had its ticks: one that went on would have sent the next line.
    ASSERT_TRUE(channelsPolled(*link()));
    EXPECT_EQ(air.on(kChannel).find("after box"), std::string::npos) << "the script waits for the box";
    box->button(QMessageBox::Ok)->click();
    ASSERT_TRUE(waitFor([&] { return air.on(kChannel).find("after box\r") != std::string::npos; }));
    EXPECT_EQ(air.on(kChannel).find("Hello Box"), air.on(kChannel).rfind("Hello Box"));

    // A script runs: the menu asks first; Cancel keeps it, OK ends it, no chooser either time.
    ASSERT_TRUE(scriptRuns());
    QString question;
    {
        Answerer no(QMessageBox::Cancel, &question);
        EXPECT_EQ(frame()->scripts().startOrStop(kSlot), ScriptOutcome::Cancelled);
    }
    EXPECT_EQ(question, "Script stoppen ?");
    EXPECT_TRUE(scriptRuns());
    {
        Answerer yes(QMessageBox::Ok);
        EXPECT_EQ(frame()->scripts().startOrStop(kSlot), ScriptOutcome::Stopped);
    }
    EXPECT_FALSE(scriptRuns());
    EXPECT_EQ(asked.size(), 1u);

    // Nothing chosen: nothing starts; a faulty script is refused and nothing goes out.
    answer.clear();
    EXPECT_EQ(frame()->scripts().startOrStop(kSlot), ScriptOutcome::Cancelled);
    const std::size_t before = air.on(kChannel).size();
    answer = writeScript("bad.scr", "never sent\r\n**WAITFOR\r\n");
    EXPECT_EQ(frame()->scripts().startOrStop(kSlot), ScriptOutcome::Refused);
    EXPECT_FALSE(scriptRuns());
    ASSERT_TRUE(channelsPolled(*link()));
    EXPECT_EQ(air.on(kChannel).size(), before);
}

TEST_F(ScriptGuiTest, ScheduleDialogAddsEditsRemovesAndOkWritesExactLines) {
    startStation();
    Profile& profile = frame()->profile();
    ASSERT_TRUE(profile.writeString("SCHEDULE", "0", "2 1 Mi 08:15 einf. old.scr"));
    ASSERT_TRUE(profile.writeString("SCHEDULE", "1", "1 1 Xx 99:99 einf. broken.scr"));
    ASSERT_TRUE(profile.writeString("SCHEDULE", "2", "1 2 So 10:00 einf. sunday.scr"));
    std::vector<FileRequest> seen;
    QString next = writeScript("mail.scr", "x\r\n");
    ScheduleDialog d(profile, QString::fromStdString(scripts.string()),
                     [&](QWidget*, const FileRequest& r) { seen.push_back(r); return next; }, 1, 3);
    d.show();

    EXPECT_EQ(d.windowTitle(), "Scripte zeitgesteuert starten");
    EXPECT_EQ(d.unreadableLines(), 1);
    ASSERT_EQ(d.overview()->topLevelItemCount(), 2) << "an unreadable line is left out, the list goes on";
    EXPECT_EQ(d.overview()->topLevelItem(1)->text(5), "sunday.scr");
    EXPECT_EQ(d.overview()->headerItem()->text(5), "Scriptname:");
    // Preset to the active channel; the channel list follows the TNC's channel count.
    ASSERT_EQ(d.tncList()->count(), 2);
    EXPECT_EQ(d.tncList()->currentItem()->text(), "1");
    EXPECT_EQ(d.channelList()->count(), 5);
    EXPECT_EQ(d.channelList()->currentItem()->text(), "3");
    EXPECT_EQ(d.dayList()->count(), 8);
    EXPECT_EQ(d.dayList()->item(7)->text(), "tägl.");
    ASSERT_EQ(d.timeList()->count(), 97);
    EXPECT_EQ(d.timeList()->item(95)->text(), "23:45");
    EXPECT_EQ(d.timeList()->item(96)->text(), "stündl.");
    EXPECT_TRUE(d.repeatButton()->isChecked());

    // Without a day and a time nothing is added.
    click(&d, "add");
    EXPECT_EQ(d.entries().size(), 2u);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].title, "Script auswählen");

    pick(d.dayList(), "Mo");
    pick(d.timeList(), "14:30");
    d.onceButton()->setChecked(true);
    click(&d, "add");
    pick(d.tncList(), "2");
    EXPECT_EQ(d.channelList()->count(), 3);
    pick(d.channelList(), "2");
    pick(d.dayList(), "tägl.");
    pick(d.timeList(), "stündl.");
    d.repeatButton()->setChecked(true);
    next = writeScript("hourly.scr", "x\r\n");
    click(&d, "add");
    ASSERT_EQ(d.entries().size(), 4u);
    EXPECT_EQ(d.overview()->indexOfTopLevelItem(d.overview()->currentItem()), 3) << "the new entry is selected";
    EXPECT_EQ(d.overview()->topLevelItem(3)->text(3), "stündl.");

    // A name with a blank would not read back as the same entry: refused.
    next = writeScript("two words.scr", "x\r\n");
    {
        Answerer ok(QMessageBox::Ok);
        click(&d, "add");
        EXPECT_TRUE(ok.answered());
    }
    EXPECT_EQ(d.entries().size(), 4u);

    // Bearbeiten shows the selected entry's values.
    d.overview()->setCurrentItem(d.overview()->topLevelItem(2));
    click(&d, "edit");
    EXPECT_EQ(d.tncList()->currentItem()->text(), "1");
    EXPECT_EQ(d.channelList()->currentItem()->text(), "3");
    EXPECT_EQ(d.dayList()->currentItem()->text(), "Mo");
    EXPECT_EQ(d.timeList()->currentItem()->text(), "14:30");
    EXPECT_TRUE(d.onceButton()->isChecked());

    d.overview()->setCurrentItem(d.overview()->topLevelItem(0));
    click(&d, "remove");
    EXPECT_EQ(d.overview()->currentItem()->text(5), "sunday.scr") << "the next entry is selected";
    click(&d, "remove");
    ASSERT_EQ(d.entries().size(), 2u);
    click(&d, "ok");
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(schedule(0), "1     3       Mo     14:30    einf.     mail.scr");
    EXPECT_EQ(schedule(1), "2     2       t\xC3\xA4gl.  st\xC3\xBCndl.  mehrf.    hourly.scr");
    EXPECT_EQ(schedule(2), "");
    EXPECT_EQ(ini().find("sunday.scr"), std::string::npos) << "keys after the new end are gone";
}

TEST_F(ScriptGuiTest, AbbrechenLeavesScheduleUntouchedAndMenuOpensDialog) {
    startStation();
    Profile& profile = frame()->profile();
    ASSERT_TRUE(profile.writeString("SCHEDULE", "0", "1 1 Di 02:00 mehrf. keep.scr"));
    const std::string before = ini();
    {
        ScheduleDialog d(profile, {}, [](QWidget*, const FileRequest&) { return QString(); }, 1, 1);
        d.show();
        d.overview()->setCurrentItem(d.overview()->topLevelItem(0));
        click(&d, "remove");
        EXPECT_TRUE(d.entries().empty());
        click(&d, "cancel");
        EXPECT_EQ(d.result(), QDialog::Rejected);
    }
    EXPECT_EQ(ini(), before);

    // The menu item opens the dialog preset to TopLink (TNC 1, channel 1).
    QString channelShown;
    QTimer::singleShot(0, [&] {
        waitFor([] { return QApplication::activeModalWidget() != nullptr; });
        auto* d = qobject_cast<ScheduleDialog*>(QApplication::activeModalWidget());
        if (!d)
            return;
        channelShown = d->channelList()->currentItem()->text();
        d->reject();
    });
    frame()->action("scheduleScripts")->trigger();
    EXPECT_EQ(channelShown, "1");
    EXPECT_EQ(ini(), before);
}

}  // namespace norva::test
