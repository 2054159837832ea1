// Pictures for the README, written to $NORVA_SCREENSHOT_DIR when that is set:
// the transfer status window with a queue and a reception, and a remote
// station's //DIR on the REMOTE console. Both also check what they show.
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <QDir>
#include <QTreeWidget>

#include "GuiTestUtil.h"
#include "channel/TncChannel.h"
#include "gui/EngineLink.h"
#include "gui/NorvaSplit.h"
#include "gui/PaneViews.h"
#include "gui/TransferCommands.h"
#include "gui/TransferStatusWindow.h"
#include "hostmode/HostMode.h"
#include "transfer/TransferStatus.h"
#include "transfer/Transfers.h"

namespace norva::test {
namespace {

void save(const QImage& image, const QString& name) {
    if (const char* dir = std::getenv("NORVA_SCREENSHOT_DIR"))
        image.save(QDir(QString::fromLocal8Bit(dir)).filePath(name));
}

void put(const std::filesystem::path& file, std::size_t size, char fill) {
    std::ofstream(file, std::ios::binary) << std::string(size, fill);
}

TEST_F(GuiTest, TransferStatusWindowPicture) {
    const std::filesystem::path out = dir.path() / "out";
    std::filesystem::create_directories(out);
    put(out / "rundspruch.txt", 18230, 'r');
    put(out / "relais.txt", 4410, 'q');
    put(out / "logbuch.bin", 52744, 'b');
    dir.write("norva.ini",
              "[Frame]\r\nAutoArrange=0\r\nTopLink=2\r\nShowBitmap=0\r\n"
              "[Tnc]\r\n1=1\r\n[1]\r\nTncName=Demo\r\nChannels=4\r\nComPort=dde\r\n"
              "MyCall=DL1ABC\r\nConnected=1\r\n[TncDocuments]\r\n2=1\r\n"
              "[filestatus]\r\nleft=0\r\ntop=0\r\n");
    start();
    std::vector<QString> answers = {QString::fromStdString((out / "logbuch.bin").string()),
                                    QString::fromStdString((out / "rundspruch.txt").string()),
                                    QString::fromStdString((out / "relais.txt").string()),
                                    QString::fromStdString((dir.path() / "karte.zip").string())};
    frame()->transfers().setFileChooser([&answers](QWidget*, const FileRequest&) {
        QString a = answers.front();
        answers.erase(answers.begin());
        return a;
    });
    TransferCommands& t = frame()->transfers();
    // The #BIN# send becomes active and waits for the go-ahead; the texts queue behind it.
    ASSERT_EQ(t.sendBinaryFile(2, "x"), TransferOutcome::Done);
    // No send starts while a reception runs: the #BIN# send goes first.
    ASSERT_TRUE(waitFor([this] {
        return session->engineLink()->call([this](CHostMode&) {
            CTncChannel* channel = session->engineLink()->channelOf(2);
            return channel && channel->job(JobSlot::Send) != nullptr;
        });
    }));
    ASSERT_EQ(t.sendTextFile(2, "x"), TransferOutcome::Done);
    ASSERT_EQ(t.sendTextFile(2, "x"), TransferOutcome::Done);
    ASSERT_EQ(t.receiveBinaryFile(2), TransferOutcome::Done);
    session->engineLink()->call([](CHostMode& hm) {
        hm.virtualTnc().queueItem(1, 7, "#BIN#120000#KARTE.ZIP\r" + std::string(200, 'k'));
    });

    frame()->showTransferStatus();
    TransferStatusWindow* w = frame()->transferStatusWindow();
    ASSERT_NE(w, nullptr);
    w->setRebuildInterval(100);
    ASSERT_TRUE(waitFor([&] {
        return w->queueList()->topLevelItemCount() == 3 && w->receiveList()->topLevelItemCount() == 1 &&
               w->receiveList()->topLevelItem(0)->text(1) == "119800";
    }));
    w->setRebuildInterval(TransferStatusWindow::kRebuildMs);
    w->queueList()->topLevelItem(2)->setSelected(true);
    w->resize(780, 330);
    QTest::qWait(100);
    EXPECT_EQ(w->queueList()->topLevelItem(0)->text(4), "transmit");
    EXPECT_EQ(w->queueList()->topLevelItem(1)->text(0), "18230");
    save(w->grab().toImage(), "transfer-status.png");
}

TEST_F(GuiTest, RemoteSessionPicture) {
    for (const auto& [name, size] : {std::pair{"rundspruch.txt", 18230}, {"relais.txt", 4410},
                                     {"logbuch.bin", 52744}})
        put(dir.path() / name, static_cast<std::size_t>(size), 'x');
    std::filesystem::create_directories(dir.path() / "mail");
    start();
    frame()->resize(900, 600);
    frame()->activateChannel(86);
    frame()->arrangeAll();
    CNorvaSplit* w = frame()->channelWindow(86);
    ASSERT_NE(w, nullptr);
    typeText(&w->prewriteView(), "//dir");
    QTest::keyClick(&w->prewriteView(), Qt::Key_Return);
    // The remote command server lists the remote area and prompts.
    ASSERT_TRUE(waitFor([&] { return findLine(w->output().window(), "relais.txt") >= 0; }))
        << ::testing::PrintToString(lines(w->output().window()));
    QTest::qWait(200);
    EXPECT_GE(findLine(w->output().window(), "rundspruch.txt"), 0);
    save(frame()->grab().toImage(), "remote-session.png");
}

}  // namespace
}  // namespace norva::test
