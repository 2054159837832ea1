// The transfer commands and the transfer status window in the running
// program, on the in-process TNC: what goes out on the air, what lands in
// files, what the window lists, and how its buttons change the queue.
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>

#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QPushButton>
#include <QTreeWidget>

#include "GuiTestUtil.h"
#include "support/EngineSync.h"
#include "support/AirRecorder.h"
#include "app/Engine.h"
#include "channel/TncChannel.h"
#include "gui/NorvaSplit.h"
#include "gui/EngineLink.h"
#include "gui/TransferCommands.h"
#include "gui/TransferStatusWindow.h"
#include "hostmode/HostMode.h"
#include "hostmode/VirtualTnc.h"
#include "platform/Profile.h"
#include "transfer/BinProtocol.h"
#include "transfer/TransferStatus.h"
#include "transfer/Transfers.h"

namespace norva::test {

// Answers the file choosers with prepared paths and keeps what they were asked.
struct ChooserStub {
    std::vector<FileRequest> asked;
    std::vector<QString> answers;
    FileChooser chooser() {
        return [this](QWidget*, const FileRequest& r) {
            asked.push_back(r);
            if (answers.empty())
                return QString();
            QString a = answers.front();
            answers.erase(answers.begin());
            return a;
        };
    }
};

// Accepts the next modal dialog of the given object name.
class DialogAccepter : public QObject {
public:
    explicit DialogAccepter(const char* name) : name_(name) {
        timer_.setInterval(10);
        connect(&timer_, &QTimer::timeout, this, [this] {
            auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (d && d->objectName() == name_) {
                timer_.stop();
                d->accept();
            }
        });
        timer_.start();
    }

private:
    QString name_;
    QTimer timer_;
};

class TransferGuiTest : public GuiTest {
protected:
    static constexpr int kSlot = 2;  // TNC 1, channel 1
    static constexpr int kChannel = 1;

    void startStation(const std::string& frameKeys = {}) {
        out = dir.path() / "out";
        in = dir.path() / "in";
        std::filesystem::create_directories(out);
        std::filesystem::create_directories(in);
        dir.write("norva.ini",
                  "[Frame]\r\nAutoArrange=0\r\nTopLink=2\r\nShowBitmap=0\r\n" + frameKeys +
                      "[Tnc]\r\n1=1\r\n[1]\r\nTncName=Demo\r\nChannels=4\r\nComPort=dde\r\n"
                      "MyCall=DL1ABC\r\nConnected=1\r\n[TncDocuments]\r\n2=1\r\n");
        start();
        link()->call([this](CHostMode& hm) { hm.virtualTnc().setPartner(&air); });
        frame()->transfers().setFileChooser(chooser.chooser());
    }
    void TearDown() override {
        if (session && !session->finished())
            link()->call([](CHostMode& hm) { hm.virtualTnc().setPartner(nullptr); });
        GuiTest::TearDown();
    }
    EngineLink* link() const { return session->engineLink(); }
    // As a station on the air would send it: connected information on channel 1.
    void receive(const std::string& text) {
        link()->call([text](CHostMode& hm) { hm.virtualTnc().queueItem(kChannel, 7, text); });
    }
    bool receiving() {
        return link()->call([this](CHostMode&) {
            CTncChannel* channel = link()->channelOf(kSlot);
            return channel && channel->job(JobSlot::FileReceive) != nullptr;
        });
    }
    std::string put(const std::filesystem::path& file, const std::string& content) {
        std::ofstream(file, std::ios::binary) << content;
        return file.string();
    }
    TransferStatusWindow* statusWindow() {
        frame()->showTransferStatus();
        TransferStatusWindow* w = frame()->transferStatusWindow();
        EXPECT_NE(w, nullptr);
        return w;
    }
    static std::vector<std::string> names(QTreeWidget* list) {
        std::vector<std::string> n;
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            n.push_back(list->topLevelItem(i)->text(6).toStdString());
        return n;
    }
    static std::string cell(QTreeWidget* list, int row, int column) {
        QTreeWidgetItem* item = list->topLevelItem(row);
        return item ? item->text(column).toStdString() : std::string("<no row>");
    }
    static void select(QTreeWidget* list, const std::vector<int>& rows) {
        list->clearSelection();
        for (int r : rows)
            list->topLevelItem(r)->setSelected(true);
    }
    bool airEndsWith(const std::string& tail) {
        return waitFor([&] {
            const std::string s = air.on(kChannel);
            return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
        });
    }

    AirRecorder air;
    ChooserStub chooser;
    std::filesystem::path out, in;
};

namespace {

TEST_F(TransferGuiTest, HeldTextFilesWaitInTheWindowAndGoOutStampedWhenResumed) {
    startStation("SendFileDir=" + (dir.path() / "out").string() + "\r\n");
    TransferStatusWindow* w = statusWindow();
    ASSERT_TRUE(waitFor([&] { return w->shown().has_value(); }));
    EXPECT_EQ(w->windowTitle(), "Transfer Status / Tnc 1 Channel 1");
    EXPECT_FALSE(w->button("resume")->isEnabled());
    w->button("halt")->click();
    ASSERT_TRUE(waitFor([&] { return w->shown() && w->shown()->paused; }));
    EXPECT_FALSE(w->button("halt")->isEnabled());
    EXPECT_TRUE(w->button("resume")->isEnabled());

    const std::string body(1500, 'x');
    chooser.answers = {QString::fromStdString(put(out / "Rundspruch.txt", "Hallo\r" + body))};
    w->button("sendText")->click();
    ASSERT_EQ(chooser.asked.size(), 1u);
    EXPECT_EQ(chooser.asked[0].title, "Send Text File");
    EXPECT_EQ(chooser.asked[0].mode, FileRequest::Mode::Open);
    EXPECT_EQ(chooser.asked[0].directory.toStdString(), out.string());

    QTreeWidget* queue = w->queueList();
    ASSERT_TRUE(waitFor([&] { return queue->topLevelItemCount() == 1; }));
    EXPECT_EQ(cell(queue, 0, 0), "1506");
    EXPECT_EQ(cell(queue, 0, 1), "1506");
    EXPECT_EQ(cell(queue, 0, 4), "waiting");
    EXPECT_EQ(cell(queue, 0, 5), "text");
    EXPECT_EQ(queue->headerItem()->text(1), "Restlänge:");
    // Held: nothing of it is on the air, however often the channel ticked.
    ASSERT_TRUE(channelsPolled(*link()));
    EXPECT_EQ(air.on(kChannel).find("Hallo"), std::string::npos);

    w->button("resume")->click();
    ASSERT_TRUE(airEndsWith("***end"));
    const std::string sent = air.on(kChannel);
    const auto at = sent.find("Hallo\r" + body);
    ASSERT_NE(at, std::string::npos);
    // The stamp line follows the file, then the end marker.
    const std::string tail = sent.substr(at + 6 + body.size());
    EXPECT_NE(tail.find(" NORVA426 S: DL1ABC\r\n***end"), std::string::npos) << tail;
    w->refresh();
    ASSERT_TRUE(waitFor([&] { return queue->topLevelItemCount() == 0; }));
    EXPECT_NE(dir.read("files.log").find("1506 Byte"), std::string::npos);
}

TEST_F(TransferGuiTest, TheWindowReordersAndRemovesWaitingJobsOnly) {
    startStation();
    TransferStatusWindow* w = statusWindow();
    ASSERT_TRUE(waitFor([&] { return w->shown().has_value(); }));
    w->halt();
    ASSERT_TRUE(waitFor([&] { return w->shown() && w->shown()->paused; }));
    // A #BIN# send first: it becomes the active job and waits for "#OK#" for good.
    chooser.answers = {QString::fromStdString(put(in / "Bild.bin", std::string(3000, '\1')))};
    ASSERT_EQ(frame()->transfers().sendBinaryFile(kSlot, "Binärdatei senden"), TransferOutcome::Done);
    w->resume();
    ASSERT_TRUE(airEndsWith("#BILD.BIN\r"));
    w->halt();
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) {
        chooser.answers = {QString::fromStdString(put(out / name, std::string("Datei ") + name + "\r"))};
        ASSERT_EQ(frame()->transfers().sendTextFile(kSlot, "Textdatei senden"), TransferOutcome::Done);
    }
    // The chooser starts where the last file was taken from.
    EXPECT_EQ(chooser.asked.back().directory.toStdString(), out.string());
    w->refresh();
    QTreeWidget* queue = w->queueList();
    ASSERT_TRUE(waitFor([&] { return queue->topLevelItemCount() == 4; }));
    EXPECT_EQ(cell(queue, 0, 4), "transmit");
    EXPECT_EQ(cell(queue, 0, 5), "bin");

    // The job being sent can neither move nor be removed.
    select(queue, {0});
    EXPECT_FALSE(w->button("remove")->isEnabled());
    EXPECT_FALSE(w->button("up")->isEnabled());
    EXPECT_TRUE(w->button("cancel")->isEnabled());

    const auto namesBefore = names(queue);
    select(queue, {3});
    w->button("up")->click();
    ASSERT_TRUE(waitFor([&] { return names(queue)[2] == namesBefore[3]; }));
    EXPECT_EQ(names(queue), (std::vector{namesBefore[0], namesBefore[1], namesBefore[3], namesBefore[2]}));
    // The selection follows the job.
    EXPECT_TRUE(queue->topLevelItem(2)->isSelected());
    w->button("up")->click();
    w->button("up")->click();  // cannot pass the job being sent
    ASSERT_TRUE(waitFor([&] { return names(queue)[1] == namesBefore[3]; }));
    // Both moves and the list's refresh after them have run; the answer came before this returns.
    engineRoundTrip(*link());
    EXPECT_EQ(names(queue)[0], namesBefore[0]);

    // "löschen" with the active job and a waiting one selected: only the waiting one goes.
    select(queue, {0, 2});
    {
        QString seen;
        Answerer yes(QMessageBox::Yes, &seen);
        w->button("remove")->click();
        EXPECT_EQ(seen, "Datei aus Transfer Queue löschen ?");
    }
    ASSERT_TRUE(waitFor([&] { return queue->topLevelItemCount() == 3; }));
    EXPECT_EQ(names(queue), (std::vector{namesBefore[0], namesBefore[3], namesBefore[2]}));

    // Cancelling the active #BIN# send aborts it on the air; the rest follow in order.
    select(queue, {0});
    {
        Answerer ok(QMessageBox::Ok);
        w->button("cancel")->click();
    }
    ASSERT_TRUE(airEndsWith("\r#ABORT#\r"));
    w->resume();
    ASSERT_TRUE(waitFor([&] { return air.on(kChannel).find("Datei b.txt\r") != std::string::npos; }));
    ASSERT_TRUE(airEndsWith("***end"));
    const std::string sent = air.on(kChannel);
    const auto c = sent.find("Datei c.txt\r");
    const auto b = sent.find("Datei b.txt\r");
    EXPECT_NE(c, std::string::npos);
    EXPECT_NE(b, std::string::npos);
    EXPECT_LT(c, b);
    EXPECT_EQ(sent.find("Datei a.txt"), std::string::npos);
}

TEST_F(TransferGuiTest, ABinaryReceptionIsListedWritesItsFileAndCanBeCancelled) {
    startStation("BinReadFileDir=" + (dir.path() / "in").string() + "\r\n");
    const std::filesystem::path target = in / "empfang.bin";
    chooser.answers = {QString::fromStdString(target.string())};
    ASSERT_EQ(frame()->transfers().receiveBinaryFile(kSlot), TransferOutcome::Done);
    ASSERT_EQ(chooser.asked.size(), 1u);
    EXPECT_EQ(chooser.asked[0].mode, FileRequest::Mode::Save);
    EXPECT_EQ(chooser.asked[0].title, "Binärdatei empfangen");
    EXPECT_EQ(chooser.asked[0].directory.toStdString(), in.string());
    EXPECT_TRUE(std::filesystem::exists(target));

    // Header and the first bytes in one frame; the rest never comes.
    receive("#BIN#10#DATEN.BIN\rhello");
    ASSERT_TRUE(airEndsWith("#OK#\r"));
    TransferStatusWindow* w = statusWindow();
    QTreeWidget* rx = w->receiveList();
    ASSERT_TRUE(waitFor([&] { return rx->topLevelItemCount() == 1; }));
    EXPECT_EQ(cell(rx, 0, 0), "10");
    EXPECT_EQ(cell(rx, 0, 1), "5");
    EXPECT_EQ(cell(rx, 0, 4), "receive");
    EXPECT_EQ(cell(rx, 0, 5), "bin");
    EXPECT_EQ(dir.read("in/empfang.bin"), "hello");

    select(rx, {0});
    {
        QString seen;
        Answerer yes(QMessageBox::Yes, &seen);
        w->button("cancel")->click();
        EXPECT_EQ(seen, "Binärdateiempfang abbrechen ?");
    }
    ASSERT_TRUE(airEndsWith("\r#ABORT#\r"));
    ASSERT_TRUE(waitFor([&] { return rx->topLevelItemCount() == 0; }));
    // What came stays on disk; later bytes are no longer written.
    receive("world");
    // The channel has fetched and handled what came.
    ASSERT_TRUE(channelsPolled(*link()));
    EXPECT_EQ(dir.read("in/empfang.bin"), "hello");
}

TEST_F(TransferGuiTest, TheMenuReceivesACompleteBinaryFileAndTheSecondCommandAsksToStop) {
    startStation();
    chooser.answers = {QString::fromStdString((in / "voll.bin").string())};
    frame()->action("receiveBinaryFile")->trigger();
    // Without a BinReadFileDir the chooser starts in the receive folder, where
    // received files go instead of among the settings.
    ASSERT_EQ(chooser.asked.size(), 1u);
    EXPECT_EQ(chooser.asked[0].directory.toStdString(), std::filesystem::weakly_canonical(dir.path() / "received").string());
    receive("#BIN#3#ABC\r");
    receive("abc");
    ASSERT_TRUE(airEndsWith(binRxReport(binCrc(0, "abc"))));
    EXPECT_EQ(binRxReport(binCrc(0, "abc")), "#BIN-RX OK#7908\r");
    EXPECT_EQ(dir.read("in/voll.bin"), "abc");
    // The chosen directory is remembered.
    EXPECT_EQ(session->profile().getString("frame", "BinReadFileDir"), in.string());

    // With the sender's report the finished job leaves the slot.
    receive("\r#BIN-TX OK#7908\r");
    ASSERT_TRUE(waitFor([&] { return !receiving(); }));
    // A reception that is still running: the command asks, No keeps it.
    chooser.answers = {QString::fromStdString((in / "zwei.bin").string())};
    ASSERT_EQ(frame()->transfers().receiveBinaryFile(kSlot), TransferOutcome::Done);
    {
        Answerer cancel(QMessageBox::Cancel);
        EXPECT_EQ(frame()->transfers().receiveBinaryFile(kSlot), TransferOutcome::Cancelled);
    }
    EXPECT_TRUE(receiving());
    {
        Answerer ok(QMessageBox::Ok);
        EXPECT_EQ(frame()->transfers().receiveBinaryFile(kSlot), TransferOutcome::Stopped);
    }
    EXPECT_FALSE(receiving());
    // The chooser was asked only for the two receptions.
    EXPECT_EQ(chooser.asked.size(), 2u);
}

TEST_F(TransferGuiTest, TheLogProposesItsNameAppendsAndClosesOnRequest) {
    startStation("ReadFileDir=" + (dir.path() / "in").string() + "\r\n");
    const std::filesystem::path log = in / "prlog11.txt";
    put(log, "alt\r\n");
    chooser.answers = {QString::fromStdString(log.string())};
    frame()->action("writeLog")->trigger();
    ASSERT_EQ(chooser.asked.size(), 1u);
    EXPECT_EQ(chooser.asked[0].proposedName, "prlog11.txt");
    EXPECT_EQ(chooser.asked[0].defaultSuffix, "txt");
    EXPECT_EQ(chooser.asked[0].title, "Logdatei schreiben");
    EXPECT_EQ(chooser.asked[0].directory.toStdString(), in.string());

    receive("Gruss vom Kanal\rzweite Zeile\r");
    CNorvaSplit* window = frame()->channelWindow(kSlot);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(waitFor([&] { return findLine(window->output().window(), "zweite Zeile") >= 0; }));
    {
        QString seen;
        Answerer ok(QMessageBox::Ok, &seen);
        EXPECT_EQ(frame()->transfers().toggleLog(kSlot), TransferOutcome::Stopped);
        EXPECT_EQ(seen, "Logdatei schließen ?");
    }
    // Appended, every CR followed by LF.
    EXPECT_EQ(dir.read("in/prlog11.txt"), "alt\r\nGruss vom Kanal\r\nzweite Zeile\r\n");
}

TEST_F(TransferGuiTest, PasteAndSendSendsTheClipboardOnceAsked) {
    startStation();
    QApplication::clipboard()->setText("Zeile eins\nGrüße\r\nEnde");
    {
        QString seen;
        Answerer cancel(QMessageBox::Cancel, &seen);
        frame()->action("pasteAndSend")->trigger();
        EXPECT_EQ(seen, "Zwischenablage senden");
    }
    ASSERT_TRUE(channelsPolled(*link()));
    EXPECT_EQ(air.on(kChannel).find("Zeile eins"), std::string::npos);
    {
        Answerer ok(QMessageBox::Ok);
        frame()->action("pasteAndSend")->trigger();
    }
    // CP437 umlauts, CR line ends, exactly once.
    ASSERT_TRUE(airEndsWith("Zeile eins\rGr\x81\xe1" "e\rEnde"));
    EXPECT_EQ(air.on(kChannel).find("Zeile eins"), air.on(kChannel).rfind("Zeile eins"));
    // Echoed into the channel's output as text the station sent.
    CNorvaSplit* window = frame()->channelWindow(kSlot);
    ASSERT_TRUE(waitFor([&] { return findLine(window->output().window(), "Grüße") >= 0; }));
    EXPECT_EQ(window->output().window().heldLineClass(findLine(window->output().window(), "Grüße")), 3);
}

TEST_F(TransferGuiTest, TheClipboardWaitsBehindARunningTransferInsteadOfReplacingIt) {
    startStation();
    chooser.answers = {QString::fromStdString(put(in / "gross.bin", std::string(5000, 'b')))};
    ASSERT_EQ(frame()->transfers().sendBinaryFile(kSlot, "x"), TransferOutcome::Done);
    ASSERT_TRUE(airEndsWith("#GROSS.BIN\r"));
    QApplication::clipboard()->setText("spaeter");
    {
        Answerer ok(QMessageBox::Ok);
        EXPECT_EQ(frame()->transfers().sendClipboard(kSlot), TransferOutcome::Done);
    }
    TransferStatusWindow* w = statusWindow();
    QTreeWidget* queue = w->queueList();
    ASSERT_TRUE(waitFor([&] { return queue->topLevelItemCount() == 2; }));
    EXPECT_EQ(cell(queue, 0, 4), "transmit");
    EXPECT_EQ(cell(queue, 1, 6), "Clip");
    EXPECT_EQ(air.on(kChannel).find("spaeter"), std::string::npos);
    // The receiver's go-ahead: the file goes, then the clipboard.
    receive("#OK#\r");
    ASSERT_TRUE(airEndsWith("spaeter"));
    const std::string sent = air.on(kChannel);
    EXPECT_NE(sent.find(std::string(5000, 'b') + "\r#BIN-TX OK#"), std::string::npos);
}

TEST_F(TransferGuiTest, SendAllFilesNeedsItsOwnDirectoryAndSendsEveryFileAfterTheList) {
    startStation();
    {
        QString seen;
        Answerer ok(QMessageBox::Ok, &seen);
        EXPECT_EQ(frame()->transfers().sendAllFiles(kSlot), TransferOutcome::Nothing);
        EXPECT_EQ(seen, "Definieren Sie bitte ein eigenes Verzeichnis\nzum Aussenden von Textdateien");
    }
    session->profile().writeString("frame", "SendFileDir", out.string());
    {
        QString seen;
        Answerer ok(QMessageBox::Ok, &seen);
        EXPECT_EQ(frame()->transfers().sendAllFiles(kSlot), TransferOutcome::Nothing);
        EXPECT_EQ(seen, "Es sind keine Dateien im Ausgangsverzeichnis vorhanden.");
    }
    put(out / "eins.txt", "Erste Nachricht\r");
    put(out / "zwei.txt", "Zweite Nachricht\r");
    // sf.log says one was sent before; the operator's command sends both again.
    dir.write("sf.log", "[data]\r\neins.txt=ok\r\n");
    DialogAccepter accept("SendAllDialog");
    frame()->action("sendAllFiles")->trigger();
    ASSERT_TRUE(waitFor([&] {
        const std::string s = air.on(kChannel);
        return s.find("Erste Nachricht") != std::string::npos && s.find("Zweite Nachricht") != std::string::npos;
    }));
    Profile marks(dir.path() / "sf.log");
    EXPECT_EQ(marks.getString("data", "eins.txt"), "ok");
    EXPECT_EQ(marks.getString("data", "zwei.txt"), "ok");
}

TEST_F(TransferGuiTest, AFullQueueStopsSendAllAtTheFileThatDidNotFit) {
    startStation("SendFileDir=" + (dir.path() / "out").string() + "\r\n");
    // Held, so all 50 entries stay taken.
    link()->call([this](CHostMode&) { pauseTransfers(*link()->channelOf(kSlot), true); });
    for (int i = 0; i < 51; ++i)
        put(out / ("m" + std::to_string(100 + i) + ".txt"), "Nachricht " + std::to_string(i) + "\r");
    DialogAccepter accept("SendAllDialog");
    QString seen;
    Answerer ok(QMessageBox::Ok, &seen);
    EXPECT_EQ(frame()->transfers().sendAllFiles(kSlot), TransferOutcome::QueueFull);
    EXPECT_EQ(seen, "Keine weitere Datei möglich.\r\n\r\n Transfer Queue ist voll.");
    const auto queued = link()->call(
        [this](CHostMode&) { return link()->channelOf(kSlot)->transferQueue().size(); });
    EXPECT_EQ(queued, 50u);
    // The file that did not fit is offered again next time: it is not marked.
    Profile marks(dir.path() / "sf.log");
    EXPECT_EQ(marks.keys("data").size(), 50u);

    // One more by hand: the same message, and the queue is unchanged.
    chooser.answers = {QString::fromStdString(put(in / "extra.txt", "x"))};
    Answerer again(QMessageBox::Ok, &seen);
    seen.clear();
    EXPECT_EQ(frame()->transfers().sendTextFile(kSlot, "Textdatei senden"), TransferOutcome::QueueFull);
    EXPECT_EQ(seen, "Keine weitere Datei möglich.\r\n\r\n Transfer Queue ist voll.");
}

TEST_F(TransferGuiTest, AFileThatCannotBeReadIsReportedAndNothingIsQueued) {
    startStation();
    std::filesystem::create_directories(in / "ordner");
    chooser.answers = {QString::fromStdString((in / "ordner").string())};
    QString seen;
    Answerer ok(QMessageBox::Ok, &seen);
    EXPECT_EQ(frame()->transfers().sendBinaryFile(kSlot, "Binärdatei senden"), TransferOutcome::Unusable);
    EXPECT_TRUE(seen.contains("ordner")) << seen.toStdString();
    const auto queued = link()->call(
        [this](CHostMode&) { return link()->channelOf(kSlot)->transferQueue().size(); });
    EXPECT_EQ(queued, 0u);
    // Cancelling the chooser does nothing at all.
    EXPECT_EQ(frame()->transfers().sendTextFile(kSlot, "Textdatei senden"), TransferOutcome::Cancelled);
}

TEST_F(TransferGuiTest, TheWindowFollowsWorkDoneElsewhereOnItsOwnAndSwitchesChannels) {
    startStation();
    TransferStatusWindow* w = statusWindow();
    w->setRebuildInterval(100);
    ASSERT_TRUE(waitFor([&] { return w->shown().has_value(); }));
    EXPECT_EQ(w->queueList()->topLevelItemCount(), 0);
    // A reception on channel 3 started behind the window's back (as a script would).
    const std::filesystem::path target = in / "kanal3.bin";
    const bool made = link()->call([this, target](CHostMode&) {
        CTncChannel* channel = link()->channelOf(4);
        return channel && channel->setJob(JobSlot::FileReceive, makeBinReceiveJob(*channel, target, false));
    });
    ASSERT_TRUE(made);
    // The channel list marks the busy channel without a button being pressed.
    auto* channels = w->findChild<QComboBox*>("channelList");
    ASSERT_NE(channels, nullptr);
    ASSERT_TRUE(waitFor([&] { return channels->findText("3 *") >= 0; }));
    EXPECT_EQ(channels->currentText(), "1");
    channels->setCurrentIndex(channels->findText("3 *"));
    ASSERT_TRUE(waitFor([&] { return w->receiveList()->topLevelItemCount() == 1; }));
    EXPECT_EQ(w->slot(), 4);
    EXPECT_EQ(w->windowTitle(), "Transfer Status / Tnc 1 Channel 3");
    // The position is kept for the next start.
    w->move(120, 90);
    w->close();
    EXPECT_EQ(session->profile().getInt("filestatus", "left", 0), w->pos().x());
    EXPECT_EQ(session->profile().getInt("filestatus", "top", 0), w->pos().y());
}

}  // namespace
}  // namespace norva::test
