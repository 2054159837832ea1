// The channel window's panes in the running program: typing on the REMOTE
// console and seeing the line come back through the engine, command lines,
// text for a closed window opening it, unseen-text marks in the title,
// colours as painted, copy, find, print and paste.
#include <QClipboard>
#include <QImage>
#include <QMdiArea>
#include <QStatusBar>

#include "GuiTestUtil.h"
#include "gui/FindDialog.h"
#include "gui/NorvaSplit.h"
#include "gui/PaneViews.h"
#include "gui/QtUiPort.h"
#include "platform/Profile.h"

#include <QLineEdit>
#include <QPushButton>

namespace norva::test {
namespace {

constexpr int kRemote = 86;

// How many pixels of an image are (nearly) the colour.
int pixelsOf(const QImage& image, QColor colour) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - colour.red()) + std::abs(c.green() - colour.green()) +
                    std::abs(c.blue() - colour.blue()) < 30)
                ++n;
        }
    return n;
}

TEST_F(GuiTest, ALineTypedOnTheRemoteConsoleComesBack) {
    start();
    frame()->activateChannel(kRemote);
    CNorvaSplit* w = frame()->channelWindow(kRemote);
    ASSERT_NE(w, nullptr);
    PrewriteView& input = w->prewriteView();
    input.setFocus();
    typeText(&input, "hello grüße");
    QTest::keyClick(&input, Qt::Key_Return);
    // The pane shows the line it sent, as typed.
    EXPECT_EQ(lines(w->prewrite().window())[0], "hello grüße");
    // The console treats it as text received from a remote station (class 9);
    // the umlauts made the trip as CP437 and back.
    const CTextWindow& out = w->output().window();
    ASSERT_TRUE(waitFor([&] { return findLine(out, "hello grüße") >= 0; }));
    EXPECT_EQ(out.heldLineClass(findLine(out, "hello grüße")), 9);
}

TEST_F(GuiTest, EscStartsACommandLineShownUpperCaseInTheCommandClass) {
    start();
    CNorvaSplit* w = frame()->channelWindow(kRemote);
    PrewriteView& input = w->prewriteView();
    input.setFocus();
    QTest::keyClick(&input, Qt::Key_Escape);
    QTest::keyClicks(&input, "c dl1abc");
    const CTextWindow& pre = w->prewrite().window();
    EXPECT_EQ(lines(pre)[0], "* C DL1ABC");
    EXPECT_EQ(pre.heldLineClass(0), 1);
    // Esc in mid-line is an ordinary character.
    QTest::keyClick(&input, Qt::Key_Return);
    QTest::keyClicks(&input, "ab");
    QTest::keyClick(&input, Qt::Key_Escape);
    EXPECT_EQ(pre.heldLineClass(1), 0);
    // Insert toggles the mode and its indicator.
    EXPECT_EQ(frame()->insertIndicator(), "INS");
    QTest::keyClick(&input, Qt::Key_Insert);
    EXPECT_FALSE(w->prewrite().settings().insert);
    EXPECT_EQ(frame()->insertIndicator(), "OVR");
}

TEST_F(GuiTest, TextForAClosedWindowOpensItAndMarksItUnseen) {
    start();
    frame()->activateChannel(kRemote);
    QtUiPort* ui = session->uiPort();
    ui->appendText(3, 9, "");  // nothing: no window for empty text
    ui->drainAll();
    EXPECT_EQ(frame()->channelWindow(3), nullptr);
    // From another thread, as the engine writes.
    std::thread([ui] { ui->appendText(3, 9, "Hallo von DL1ABC\r"); }).join();
    ASSERT_TRUE(waitFor([this] { return frame()->channelWindow(3) != nullptr; }));
    CNorvaSplit* w = frame()->channelWindow(3);
    EXPECT_GE(findLine(w->output().window(), "Hallo von DL1ABC"), 0);
    // Opening made it TopLink; text on another channel marks that one.
    frame()->activateChannel(kRemote);
    ui->appendText(3, 9, "mehr\r");
    ui->drainAll();
    EXPECT_TRUE(frame()->unseen(3));
    EXPECT_EQ(frame()->windowTitle(), "Norva 1/2 ");
    frame()->activateChannel(3);
    EXPECT_FALSE(frame()->unseen(3));
    EXPECT_EQ(frame()->windowTitle(), "Norva");
}

TEST_F(GuiTest, EachLineIsPaintedInItsClassColour) {
    dir.write("norva.ini", "[Color]\r\nLinkStatus=220,0,0\r\nChannelInfo=0,0,220\r\n"
                           "BackGround=255,255,224\r\n[TncDocuments]\r\n2=1\r\n");
    start();
    CNorvaSplit* w = frame()->channelWindow(2);
    ASSERT_NE(w, nullptr);
    QtUiPort* ui = session->uiPort();
    ui->appendText(2, 9, "info text from the station\r");
    ui->drainAll();
    QImage image = w->outputView().viewport()->grab().toImage();
    EXPECT_GT(pixelsOf(image, QColor(0, 0, 220)), 20);
    EXPECT_EQ(pixelsOf(image, QColor(220, 0, 0)), 0);
    EXPECT_GT(pixelsOf(image, QColor(255, 255, 224)), image.width() * image.height() / 2);
    // A line whose last character came in class 4 is drawn wholly in class 4.
    ui->appendText(2, 9, "begins as info, ");
    ui->appendText(2, 4, "ends as link status\r");
    ui->drainAll();
    image = w->outputView().viewport()->grab().toImage();
    EXPECT_GT(pixelsOf(image, QColor(220, 0, 0)), 40);
}

TEST_F(GuiTest, CopyFindAndPrintTheSelection) {
    start();
    frame()->activateChannel(kRemote);
    CNorvaSplit* w = frame()->channelWindow(kRemote);
    QtUiPort* ui = session->uiPort();
    for (int i = 0; i < 30; ++i)
        ui->appendText(kRemote, 9, "line " + std::to_string(i) + "\r");
    ui->appendText(kRemote, 9, "the Needle is here\r");
    ui->drainAll();
    w->outputView().setFocus();

    frame()->findText();
    auto* find = frame()->findChild<FindDialog*>();
    ASSERT_NE(find, nullptr);
    find->edit()->setText("needle");
    find->findButton()->click();
    EXPECT_EQ(w->output().copySelection(), "Needle");
    EXPECT_EQ(Profile(dir.path() / "norva.ini").getString("Frame", "Search"), "needle");
    // Nothing further down: the question offers to start from the top.
    QString asked;
    {
        Answerer ok(QMessageBox::Ok, &asked);
        find->findButton()->click();
        EXPECT_TRUE(ok.answered());
    }
    EXPECT_TRUE(asked.startsWith("Das Textende ist erreicht"));
    EXPECT_EQ(w->output().copySelection(), "Needle");
    find->hide();

    w->outputView().setFocus();
    frame()->copySelection();
    EXPECT_EQ(QApplication::clipboard()->text(), "Needle");

    {
        Answerer ok(QMessageBox::Ok, &asked);
        frame()->printSelection();
    }
    EXPECT_EQ(asked, "Selektierten Text drucken ?");
    EXPECT_EQ(dir.read("norvant.txt"), "Needle\r\n");
}

TEST_F(GuiTest, PasteSendsEveryFinishedLine) {
    start();
    frame()->activateChannel(kRemote);
    CNorvaSplit* w = frame()->channelWindow(kRemote);
    QApplication::clipboard()->setText("erste Zeile\nzweite Zeile\nRest");
    frame()->paste();
    const CTextWindow& out = w->output().window();
    ASSERT_TRUE(waitFor([&] { return findLine(out, "zweite Zeile") >= 0; }));
    EXPECT_GE(findLine(out, "erste Zeile"), 0);
    EXPECT_LT(findLine(out, "Rest"), 0) << "the unfinished rest stays in the input pane";
    EXPECT_GE(findLine(w->prewrite().window(), "Rest"), 0);
}

TEST_F(GuiTest, ClearingThePanesAsksFirst) {
    start();
    frame()->activateChannel(kRemote);
    CNorvaSplit* w = frame()->channelWindow(kRemote);
    session->uiPort()->appendText(kRemote, 9, "something\r");
    session->uiPort()->drainAll();
    QString asked;
    {
        Answerer cancel(QMessageBox::Cancel, &asked);
        frame()->clearOutput();
    }
    EXPECT_EQ(asked, "Ausgabefenster Window löschen?");
    EXPECT_GE(findLine(w->output().window(), "something"), 0);
    {
        Answerer ok(QMessageBox::Ok);
        frame()->clearOutput();
    }
    EXPECT_LT(findLine(w->output().window(), "something"), 0);
}

}  // namespace
}  // namespace norva::test
