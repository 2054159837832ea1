// The user menus in the running program, on the in-process TNC: entries from
// the menu files appear in their popups, a text entry goes on the air, a
// connect entry starts its script (and a second one is refused), the editor
// writes the file and the menu shows the new entry, a run entry starts a
// program without a shell and a broken one says so.
#include <QApplication>
#include <QInputDialog>
#include <QPlainTextEdit>

#include "GuiTestUtil.h"
#include "support/AirRecorder.h"
#include "app/UserMenus.h"
#include "channel/TncChannel.h"
#include "gui/EngineLink.h"
#include "gui/UserMenuCommands.h"
#include "hostmode/HostMode.h"
#include "hostmode/VirtualTnc.h"

namespace norva::test {

class UserMenuGuiTest : public AirGuiTest {
protected:
    static constexpr int kChannel = 1;  // slot 2

    void startStation() {
        dir.write("norva.ini",
                  "[Frame]\r\nAutoArrange=0\r\nTopLink=2\r\nShowBitmap=0\r\nMenuDir=" + (dir.path() / "menus").string() +
                      "\r\n[Tnc]\r\n1=1\r\n[1]\r\nTncName=Demo\r\nChannels=4\r\nComPort=dde\r\nMyCall=DL1ABC\r\n"
                      "Connected=1\r\n[TncDocuments]\r\n2=1\r\n");
        std::filesystem::create_directories(dir.path() / "menus");
        dir.write("menus/text.mnu", ";Menu Text=Command Line\r\nGruss=73 de Norva\r\n");
        dir.write("menus/connect.mnu", "Box=boxconn\r\n");
        dir.write("menus/exec.mnu", "Marker|sh -c \"echo ran > '" + (dir.path() / "ran.txt").string() +
                                        "'\"\r\nBroken=norva-no-such-program\r\n");
        dir.write("boxconn.scr", "**WAITFOR never\r\n");
        startWithAir();
    }
    bool scriptRuns() {
        return link()->call([this](CHostMode&) {
            CTncChannel* channel = link()->channelOf(2);
            return channel && channel->job(JobSlot::Script) != nullptr;
        });
    }
    // Runs fn on the next modal dialog of type D that opens.
    template <class D, class F>
    void onNextDialog(F fn) {
        QTimer::singleShot(50, [fn] {
            if (auto* d = qobject_cast<D*>(QApplication::activeModalWidget())) fn(d);
        });
    }

};

TEST_F(UserMenuGuiTest, EntriesAppearAndActOnTheActiveChannel) {
    startStation();
    QAction* gruss = frame()->action("menu32820");
    ASSERT_NE(gruss, nullptr);
    EXPECT_EQ(gruss->text(), "Gruss");
    gruss->trigger();
    ASSERT_TRUE(waitFor([&] { return air.on(kChannel) == "73 de Norva\r"; })) << air.on(kChannel);

    QAction* box = frame()->action("menu32840");
    ASSERT_NE(box, nullptr);
    box->trigger();
    ASSERT_TRUE(scriptRuns()) << "boxconn.scr from the command line";
    QString seen;
    {
        Answerer ok(QMessageBox::Ok, &seen);
        box->trigger();
    }
    EXPECT_EQ(seen, "Ein zweites Script kann nicht gestartet werden.\nEin Script ist bereits aktiv.");
}

TEST_F(UserMenuGuiTest, EditorWritesTheFileAndTheMenuReloads) {
    startStation();
    onNextDialog<MenuEditorDialog>([](MenuEditorDialog* d) {
        EXPECT_EQ(d->windowTitle().left(6), "Menu: ");
        EXPECT_EQ(d->text(), ";Menu Text=Command Line\nGruss=73 de Norva\n");
        d->editor()->setPlainText(d->text() + "Neu=Hallo\n");
        d->accept();
    });
    frame()->action("editTextMenu")->trigger();
    EXPECT_EQ(dir.read("menus/text.mnu"), ";Menu Text=Command Line\r\nGruss=73 de Norva\r\nNeu=Hallo\r\n");
    QAction* neu = frame()->action("menu32821");
    ASSERT_NE(neu, nullptr);
    EXPECT_EQ(neu->text(), "Neu");

    // A menu without a file: the editor starts from the one comment line.
    onNextDialog<MenuEditorDialog>([](MenuEditorDialog* d) {
        EXPECT_EQ(d->text(), ";Menu Text=Command Line\n");
        d->reject();
    });
    frame()->action("editTncMenu")->trigger();
    EXPECT_EQ(dir.read("menus/tnc.mnu"), ";Menu Text=Command Line\r\n");
}

TEST_F(UserMenuGuiTest, RunEntriesStartProgramsAndReportFailures) {
    startStation();
    frame()->action("menu32860")->trigger();
    ASSERT_TRUE(waitFor([&] { return dir.read("ran.txt") == "ran\n"; }));
    QString seen;
    {
        Answerer ok(QMessageBox::Ok, &seen);
        frame()->action("menu32861")->trigger();
    }
    EXPECT_EQ(seen, "Befehl kann nicht ausgeführt werden.");
}

}  // namespace norva::test
