// The dialogs over the running engine: the TNC settings flow, the channel
// settings, and a question the engine asks while the GUI waits for it.
#include <QCheckBox>
#include <QComboBox>
#include <QFontInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTreeWidget>

#include "GuiTestUtil.h"
#include "app/Engine.h"
#include "channel/TncChannel.h"
#include "gui/ChannelSettingsDialog.h"
#include "gui/EngineLink.h"
#include "gui/NorvaSplit.h"
#include "gui/FontMap.h"
#include "gui/SettingsDialogs.h"
#include "gui/TncDialogs.h"
#include "hostmode/Tnc.h"
#include "platform/Profile.h"

namespace norva::test {
namespace {

// Fills the next modal TNC editor and presses "Sichern / Ende".
class TncEditorFiller : public QObject {
public:
    TncEditorFiller(QString name, QString port) : name_(std::move(name)), port_(std::move(port)) {
        timer_.setInterval(10);
        connect(&timer_, &QTimer::timeout, this, [this] {
            auto* editor = qobject_cast<TncEditDialog*>(QApplication::activeModalWidget());
            if (!editor)
                return;
            timer_.stop();
            tnc = editor->tnc();
            editor->findChild<QLineEdit*>("tncName")->setText(name_);
            editor->findChild<QComboBox*>("comPort")->setEditText(port_);
            editor->findChild<QSpinBox*>("channels")->setValue(4);
            editor->findChild<QPushButton*>("save")->click();
        });
        timer_.start();
    }
    int tnc = 0;

private:
    QString name_;
    QString port_;
    QTimer timer_;
};

TEST_F(GuiTest, TncSettingsFlowAddsATncAndResumesPolling) {
    start();
    EngineLink& engine = *session->engineLink();
    {
        TncListDialog list(engine, session->profile(), dir.path(), session->settings().frame, frame());
        EXPECT_TRUE(engine.call([](CHostMode& hm) { return hm.pollingHeld(); }));
        ASSERT_EQ(list.list()->topLevelItemCount(), 1);
        EXPECT_EQ(list.list()->topLevelItem(0)->text(1), "Demo");
        EXPECT_EQ(list.list()->topLevelItem(0)->text(2), "activ");

        // "&Einstellen..." without a choice.
        QString said;
        {
            Answerer ok(QMessageBox::Ok, &said);
            list.list()->clearSelection();
            list.list()->setCurrentItem(nullptr);
            list.editSelected();
        }
        EXPECT_EQ(said, "Wählen Sie ein TNC oder Neu !");

        TncEditorFiller filler("Zwei", "dde");
        list.newTnc();
        EXPECT_EQ(filler.tnc, 2);
        ASSERT_EQ(list.list()->topLevelItemCount(), 2);
        EXPECT_EQ(list.listed(), (std::vector<int>{1, 2}));
        list.accept();
    }
    const bool running = engine.call([](CHostMode& hm) {
        return !hm.pollingHeld() && hm.tnc(2) && hm.tnc(2)->isOpen() && hm.tnc(1)->isOpen();
    });
    EXPECT_TRUE(running);
    Profile p(dir.path() / "norva.ini");
    EXPECT_EQ(p.getString("Tnc", "2"), "1");
    EXPECT_EQ(p.getString("2", "TncName"), "Zwei");
    EXPECT_EQ(p.getString("2", "Channels"), "4");
}

TEST_F(GuiTest, ClosingTheTncListAnyWayResumesPolling) {
    start();
    EngineLink& engine = *session->engineLink();
    {
        TncListDialog list(engine, session->profile(), dir.path(), session->settings().frame, frame());
        list.show();
        list.reject();
    }
    EXPECT_FALSE(engine.call([](CHostMode& hm) { return hm.pollingHeld(); }));
}

TEST_F(GuiTest, ANamelessTncIsNotSaved) {
    start();
    EngineLink& engine = *session->engineLink();
    TncEditDialog editor(engine, session->profile(), dir.path(), 3, session->settings().frame, frame());
    editor.findChild<QLineEdit*>("tncName")->clear();
    QString said;
    {
        Answerer ok(QMessageBox::Ok, &said);
        editor.save();
    }
    EXPECT_FALSE(said.isEmpty());
    EXPECT_FALSE(Profile(dir.path() / "norva.ini").find("Tnc", "3"));
}

TEST_F(GuiTest, ChannelSettingsGoIntoTheChannel) {
    start();
    EngineLink& engine = *session->engineLink();
    frame()->activateChannel(2);
    ChannelSettingsDialog dialog(*frame(), 2);
    EXPECT_TRUE(dialog.check("messageBeep")->isChecked());
    EXPECT_EQ(dialog.reviewTime()->currentText(), "60");
    dialog.check("messageBeep")->setChecked(false);
    dialog.check("remote")->setChecked(false);
    dialog.check("inputEcho")->setChecked(true);
    dialog.reviewTime()->setCurrentIndex(dialog.reviewTime()->findData(120));
    dialog.apply(false);
    const auto live = engine.call([&engine](CHostMode&) {
        return engine.channelOf(2)->settings();
    });
    EXPECT_FALSE(live.messageBeep);
    EXPECT_FALSE(live.remote);
    EXPECT_EQ(live.maxReviewTime, 120);
    EXPECT_FALSE(frame()->messageBeep(2));
    EXPECT_TRUE(frame()->channelWindow(2)->prewrite().settings().inputEcho);
    EXPECT_FALSE(Profile(dir.path() / "norva.ini").find("Link2", "MessageBeep"))
        << "Ende copies into the channel; the channel writes at its end";
    dialog.apply(true);
    EXPECT_EQ(Profile(dir.path() / "norva.ini").getString("Link2", "MessageBeep"), "0");

    // Another channel of the lists, without a window: the channel's defaults.
    dialog.choose(4);
    EXPECT_TRUE(dialog.check("messageBeep")->isChecked());
}

TEST_F(GuiTest, TheEngineCanAskWhileTheGuiWaitsForIt) {
    start();
    Answerer ok(QMessageBox::Ok);
    const bool answer = session->engineLink()->call([](CHostMode& hm) {
        bool checked = true;
        const bool yes = hm.context().ui.ask("Norva", "Frage?", "weiterhin anzeigen", &checked);
        return yes && checked;
    });
    EXPECT_TRUE(answer);
    EXPECT_TRUE(ok.answered());
}

}  // namespace
}  // namespace norva::test

namespace norva::test {
namespace {

TEST_F(GuiTest, ChosenColoursAndFontAreUsedAndWrittenAtExit) {
    start();
    {
        ColoursDialog dialog(session->settings(), frame());
        dialog.setColour(4, Rgb{200, 0, 0});
        dialog.apply();
    }
    frame()->styleChanged();
    EXPECT_EQ(frame()->paneStyle().colours[4], QColor(200, 0, 0));

    QFont chosen("DejaVu Sans Mono");
    chosen.setPixelSize(15);
    chosen.setBold(true);
    takeFont(session->settings().font, chosen);
    frame()->styleChanged();
    const QFont used = frame()->paneStyle().font;
    EXPECT_EQ(used.pixelSize(), 15);
    EXPECT_EQ(used.weight(), QFont::Bold);
    EXPECT_TRUE(QFontInfo(used).fixedPitch());

    frame()->quitWithoutAsking();
    ASSERT_TRUE(waitFor([this] { return session->finished(); }));
    Profile p(dir.path() / "norva.ini");
    EXPECT_EQ(p.getString("Color", "LinkStatus"), "200,0,0");
    EXPECT_EQ(p.getString("Font", "height"), "-15");
    EXPECT_EQ(p.getString("Font", "weight"), "700");
}

TEST(FontMap, WindowsFacesTheSystemLacksBecomeItsFixedFont) {
    FontSettings s;  // "fixedsys", height 0
    const QFont f = paneFont(s);
    EXPECT_TRUE(QFontInfo(f).fixedPitch());
    s.faceName = "Courier New";
    s.height = -20;
    s.italic = 1;
    const QFont g = paneFont(s);
    EXPECT_TRUE(QFontInfo(g).fixedPitch());
    EXPECT_EQ(g.pixelSize(), 20);
    EXPECT_TRUE(g.italic());
}

}  // namespace
}  // namespace norva::test
