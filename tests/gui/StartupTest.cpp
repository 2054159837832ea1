// Start-up and shut-down of the desktop program: a first start on an empty
// directory, TncDocuments restore, the quit question (Cancel changes nothing,
// OK writes every Frame key and colour), SIGTERM, and settings that cannot be
// used.
#include <csignal>

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QSplitter>

#include "GuiTestUtil.h"
#include "app/Engine.h"
#include "gui/EngineLink.h"
#include "gui/NorvaSplit.h"
#include "gui/PaneViews.h"
#include "hostmode/Tnc.h"
#include "platform/Profile.h"

namespace norva::test {
namespace {

constexpr int kRemote = 86;
constexpr int kConverse = 87;

TEST_F(GuiTest, FirstStartOnAnEmptyDirectory) {
    start();
    // Black text on white.
    const PaneStyle& style = frame()->paneStyle();
    EXPECT_TRUE(style.colorMode);
    for (int c = 0; c < 10; ++c)
        EXPECT_EQ(style.colours[c], QColor(0, 0, 0)) << c;
    EXPECT_EQ(style.colours[10], QColor(255, 255, 255));
    EXPECT_EQ(frame()->windowTitle(), "Norva");

    // The first-start profile opens the two consoles of the dummy TNC.
    EXPECT_EQ(frame()->openSlots(), (std::vector<int>{kRemote, kConverse}));
    const int clientHeight = frame()->mdiArea()->viewport()->height();
    for (int slot : frame()->openSlots()) {
        CNorvaSplit* w = frame()->channelWindow(slot);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->output().window().rows(), 50);
        EXPECT_EQ(w->output().window().columns(), 80);
        EXPECT_EQ(w->prewrite().window().rows(), 50);
        EXPECT_EQ(w->prewrite().window().columns(), 80);
        // Arranged: top left, full width, 70 % of the client height.
        EXPECT_EQ(w->geometry().top(), 0);
        EXPECT_EQ(w->geometry().width(), frame()->mdiArea()->viewport()->width());
        EXPECT_EQ(w->geometry().height(), clientHeight * 70 / 100);
        EXPECT_TRUE(w->prewrite().settings().insert);
        EXPECT_TRUE(w->prewrite().settings().wordBreak);
    }
    EXPECT_NE(dir.read("system.log").find("  Norva Start...\r\n"), std::string::npos);
    EXPECT_TRUE(session->messages().empty());

    // The engine runs the TNC of the first-start profile and the dummy.
    const bool demoOpen = session->engineLink()->call([](CHostMode& hm) {
        return hm.tnc(1) && hm.tnc(1)->isOpen() && hm.tnc(5) != nullptr;
    });
    EXPECT_TRUE(demoOpen);
}

TEST_F(GuiTest, TncDocumentsAreReopenedWithTheirGeometry) {
    dir.write("norva.ini",
              "[Frame]\r\nAutoArrange=0\r\nTopLink=23\r\nleft=0\r\ntop=0\r\nright=900\r\nbottom=700\r\n"
              "[TncDocuments]\r\n1=1\r\n23=1\r\n40=0\r\n"
              "[Link23]\r\nleft=30\r\ntop=40\r\nright=530\r\nbottom=340\r\nRowInfo=90\r\n");
    start();
    EXPECT_EQ(frame()->openSlots(), (std::vector<int>{1, 23}));
    CNorvaSplit* w = frame()->channelWindow(23);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->geometry(), QRect(30, 40, 500, 300));
    EXPECT_EQ(qobject_cast<QSplitter*>(w->widget())->sizes().value(0), 90);
    EXPECT_EQ(w->tnc(), 2);
    EXPECT_EQ(w->channel(), 1);
    // TopLink comes to the front.
    EXPECT_EQ(frame()->mdiArea()->activeSubWindow(), w);
    EXPECT_EQ(frame()->topLink(), 23);
    // A slot without a channel still gets its window; its title names it.
    EXPECT_EQ(w->windowTitle(), "[2/1]");
}

TEST_F(GuiTest, CancelOnTheQuitQuestionLeavesEveryKeyUntouched) {
    start();
    QTest::qWait(200);
    const std::string before = ini();
    QString question;
    Answerer cancel(QMessageBox::Cancel, &question);
    frame()->close();
    EXPECT_TRUE(cancel.answered());
    EXPECT_EQ(question, "Norva beenden?");
    EXPECT_FALSE(frame()->closingDone());
    EXPECT_FALSE(session->finished());
    EXPECT_TRUE(frame()->isVisible());
    EXPECT_EQ(frame()->openSlots().size(), 2u);
    EXPECT_EQ(ini(), before);
    EXPECT_EQ(dir.read("system.log").find("Norva Stop"), std::string::npos);
}

TEST_F(GuiTest, OkOnTheQuitQuestionWritesEveryFrameKeyAndColour) {
    start();
    frame()->activateChannel(kRemote);
    Answerer ok(QMessageBox::Ok);
    frame()->close();
    ASSERT_TRUE(waitFor([this] { return session->finished(); }));

    Profile p(dir.path() / "norva.ini");
    for (const char* key : {"AutoArrange", "Ratio", "PreRows", "PreCols", "OutRows", "OutCols",
                            "TopLink", "DisplayRate", "NoExtHostMode", "Yield", "3d", "Sound",
                            "KartexDde", "left", "top", "right", "bottom", "ToolBar", "StatusBar",
                            "ChannelStatus", "ChannelBar", "ChannelBarTnc", "AlwaysOnTop"})
        EXPECT_TRUE(p.find("Frame", key)) << key;
    EXPECT_FALSE(p.find("Frame", "AppName"));
    EXPECT_EQ(p.getString("Frame", "TopLink"), std::to_string(kRemote));
    EXPECT_EQ(p.getString("Color", "ColorMode"), "1");
    EXPECT_EQ(p.getString("Color", "Input"), "0,0,0");
    EXPECT_EQ(p.getString("Color", "BackGround"), "255,255,255");
    EXPECT_EQ(p.keys("Color").size(), 12u);
    EXPECT_EQ(p.getString("Font", "FaceName"), "fixedsys");
    // Exactly the windows open at exit, with their geometry and panes.
    EXPECT_EQ(p.keys("TncDocuments"), (std::vector<std::string>{"86", "87"}));
    EXPECT_EQ(p.getString("Link86", "Show"), "5");
    EXPECT_TRUE(p.find("Link86", "RowInfo"));
    EXPECT_EQ(p.getString("Link86", "Insert"), "1");

    // The TNC stopped before the program's stop line.
    const std::string log = dir.read("system.log");
    const auto tncStop = log.find("Tnc Demo           Stop ...->  disconnected\r\n");
    const auto stop = log.find("  Norva Stop...\r\n");
    ASSERT_NE(tncStop, std::string::npos);
    ASSERT_NE(stop, std::string::npos);
    EXPECT_LT(tncStop, stop);
}

TEST_F(GuiTest, ClosedWindowsAreNotReopenedAtTheNextStart) {
    start();
    frame()->channelWindow(kConverse)->close();
    QTest::qWait(50);
    EXPECT_EQ(frame()->openSlots(), (std::vector<int>{kRemote}));
    frame()->quitWithoutAsking();
    ASSERT_TRUE(waitFor([this] { return session->finished(); }));
    session.reset();
    start();
    EXPECT_EQ(frame()->openSlots(), (std::vector<int>{kRemote}));
}

TEST_F(GuiTest, SigtermShutsDownAsOkWouldWithoutAsking) {
    start();
    StopSignals stopSignals;
    QObject::connect(&stopSignals, &StopSignals::received, frame(), &CMainFrame::quitWithoutAsking);
    bool asked = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
            asked = true;
    });
    watch.start(5);
    ASSERT_EQ(::raise(SIGTERM), 0);
    ASSERT_TRUE(waitFor([this] { return session->finished(); }));
    EXPECT_FALSE(asked);
    Profile p(dir.path() / "norva.ini");
    EXPECT_TRUE(p.find("Frame", "KartexDde"));
    EXPECT_EQ(p.keys("TncDocuments"), (std::vector<std::string>{"86", "87"}));
    EXPECT_NE(dir.read("system.log").find("Norva Stop..."), std::string::npos);
}

TEST_F(GuiTest, SigtermWhileTheQuitQuestionIsOpenStillShutsDown) {
    start();
    StopSignals stopSignals;
    QObject::connect(&stopSignals, &StopSignals::received, frame(), &CMainFrame::quitWithoutAsking);
    QTimer::singleShot(100, [] { ::raise(SIGINT); });
    frame()->close();  // the question is open until the signal closes it
    ASSERT_TRUE(waitFor([this] { return session->finished(); }));
    EXPECT_NE(dir.read("system.log").find("Norva Stop..."), std::string::npos);
}

TEST_F(GuiTest, ColoursThatDoNotParseAreReportedAndTheRestIsKept) {
    dir.write("norva.ini", "[Color]\r\nInput=red\r\nLinkStatus=300,20\r\nMonInfo=0,128,0\r\n"
                           "[TncDocuments]\r\n2=1\r\n");
    start();
    const PaneStyle& style = frame()->paneStyle();
    EXPECT_EQ(style.colours[0], QColor(0, 0, 0));
    EXPECT_EQ(style.colours[4], QColor(0, 0, 0));
    EXPECT_EQ(style.colours[7], QColor(0, 128, 0));
    ASSERT_EQ(session->messages().size(), 2u);
    // The operator sees them in one box that does not block the start.
    ASSERT_TRUE(waitFor([] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible())
                return box->text().contains("\"red\"") && box->text().contains("\"300,20\"");
        return false;
    }));
    EXPECT_EQ(frame()->openSlots(), (std::vector<int>{2}));
}

}  // namespace
}  // namespace norva::test
