// A picture of the main window with a monitor window and a channel window in
// colour, for the README: written to $NORVA_SCREENSHOT_DIR when that is set.
// It also checks that the monitor
// classes and the link status are painted in their colours.
#include <cstdlib>

#include <QDir>
#include <QImage>
#include <QMdiArea>

#include "GuiTestUtil.h"
#include "gui/EngineLink.h"
#include "gui/NorvaSplit.h"
#include "gui/PaneViews.h"
#include "gui/QtUiPort.h"

namespace norva::test {
namespace {

int pixelsNear(const QImage& image, QColor colour) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - colour.red()) + std::abs(c.green() - colour.green()) +
                    std::abs(c.blue() - colour.blue()) < 24)
                ++n;
        }
    return n;
}

void save(const QImage& image, const QString& name) {
    // Only on request: a test run must not leave pictures where it was started.
    if (const char* dir = std::getenv("NORVA_SCREENSHOT_DIR"))
        image.save(QDir(QString::fromLocal8Bit(dir)).filePath(name));
}

TEST_F(GuiTest, MainWindowWithAMonitorAndAChannelWindow) {
    dir.write("norva.ini",
              "[Frame]\r\nAutoArrange=0\r\nTopLink=2\r\nleft=0\r\ntop=0\r\nright=1000\r\nbottom=740\r\n"
              "ShowBitmap=0\r\n"
              "[Tnc]\r\n1=1\r\n[1]\r\nTncName=DL1ABC\r\nChannels=4\r\nComPort=/dev/null/none\r\n"
              "MyCall=DL1ABC\r\nConnected=0\r\n"
              "[Color]\r\nCommand=0,0,255\r\nTncEcho=170,85,0\r\nInputEcho=128,0,128\r\n"
              "LinkStatus=200,0,0\r\nMonHead1=0,120,0\r\nMonHead2=0,90,150\r\nMonInfo=90,90,90\r\n"
              "ChannelInfo=0,0,150\r\nBackGround=255,255,240\r\n"
              "[TncDocuments]\r\n1=1\r\n2=1\r\n"
              "[Link1]\r\nleft=0\r\ntop=300\r\nright=990\r\nbottom=560\r\nRowInfo=40\r\n"
              "[Link2]\r\nleft=0\r\ntop=0\r\nright=990\r\nbottom=300\r\nRowInfo=60\r\n");
    start();
    // What the engine has to say at its start comes first.
    frame()->activateChannel(2);
    session->engineLink()->call([](CHostMode&) {});
    QtUiPort& ui = *session->uiPort();
    ui.drainAll();
    const std::pair<int, const char*> monitor[] = {
        {5, "fm DL1ABC to DB0XYZ ctl RR3v\r"},
        {6, "fm DB0XYZ to DL1ABC ctl I34^ pid F0\r"},
        {7, "DB0XYZ> Mailbox, 12 neue Nachrichten fuer DL1ABC\r"},
        {5, "fm DK2XY-7 to DB0XYZ ctl SABM+\r"},
        {5, "fm DB0XYZ to DK2XY-7 ctl UA-\r"},
        {6, "fm DK2XY-7 to CQ ctl UI^ pid F0\r"},
        {7, "Gruesse aus Hamburg, 73 de Klaus\r"},
    };
    for (const auto& [cls, text] : monitor)
        ui.appendText(1, cls, text);
    const std::pair<int, const char*> channel[] = {
        {2, "\rDL1ABC set Init Parameters...\r"},
        {4, "*** CONNECTED to DB0XYZ\r"},
        {9, "DB0XYZ BBS Regensburg, DieBox 1.9\r"},
        {9, "Hallo Hans, 12 neue Nachrichten.\r"},
        {9, "(1) DB0XYZ BBS >\r"},
        {3, "l\r"},
        {9, "Nr  Von     An      Datum  Titel\r"},
        {9, "1   DK2XY   DL1ABC  08.12. Treffen am Samstag\r"},
        {9, "2   DG3ZZ   ALLE    08.12. Relais wieder QRV\r"},
        {9, "(1) DB0XYZ BBS >\r"},
    };
    for (const auto& [cls, text] : channel)
        ui.appendText(2, cls, text);
    ui.windowTitle(2, "[1/1] DL1ABC <-> DB0XYZ |ifx|0|0|0|  0:05 ");
    ui.windowTitle(1, "[1/0] Monitor");
    ui.channelButton(2, "db0xyz");
    ui.statusField(StatusField::TncChannel, "1/1");
    ui.statusField(StatusField::DefaultNode, "DB0XYZ");
    ui.statusField(StatusField::LinkState, "inf transfer");
    ui.statusField(StatusField::Counters, "0 0 0");
    ui.statusField(StatusField::Buffers, "742");
    ui.statusField(StatusField::Qrg, "438.425");
    ui.statusField(StatusField::Clock, "14:05");
    ui.statusField(StatusField::Date, "08.12.26");
    ui.drainAll();

    CNorvaSplit* w = frame()->channelWindow(2);
    ASSERT_NE(w, nullptr);
    PrewriteView& input = w->prewriteView();
    QTest::keyClicks(&input, "r 1 2");
    QTest::qWait(100);

    const QImage image = frame()->grab().toImage();
    ASSERT_FALSE(image.isNull());
    save(image, "main-window.png");
    const QImage monitorPane = frame()->channelWindow(1)->outputView().viewport()->grab().toImage();
    EXPECT_GT(pixelsNear(monitorPane, QColor(0, 120, 0)), 20);
    EXPECT_GT(pixelsNear(monitorPane, QColor(0, 90, 150)), 20);
    const QImage channelPane = w->outputView().viewport()->grab().toImage();
    EXPECT_GT(pixelsNear(channelPane, QColor(200, 0, 0)), 20);
    EXPECT_GT(pixelsNear(channelPane, QColor(0, 0, 150)), 20);
}

}  // namespace
}  // namespace norva::test

namespace norva::test {
namespace {

TEST_F(GuiTest, FirstStartPicture) {
    start();
    frame()->resize(900, 640);
    frame()->arrangeAll();
    frame()->activateChannel(86);
    CNorvaSplit* w = frame()->channelWindow(86);
    ASSERT_NE(w, nullptr);
    typeText(&w->prewriteView(), "Hallo, hier spricht die Fernbedienung");
    QTest::keyClick(&w->prewriteView(), Qt::Key_Return);
    ASSERT_TRUE(waitFor([&] { return findLine(w->output().window(), "Fernbedienung") >= 0; }));
    QTest::qWait(100);
    save(frame()->grab().toImage(), "first-start.png");
}

}  // namespace
}  // namespace norva::test
