// files.log lines, the transfer status rows and their operations, and the
// send-all-files run with sf.log.
#include <gtest/gtest.h>

#include "TransferRig.h"
#include "transfer/TransferLog.h"
#include "transfer/TransferStatus.h"
#include "transfer/Transfers.h"

namespace norva::test {
namespace {

TEST(FilesLog, LineByteForByte) {
    const LocalTime t{2025, 1, 2, 3, 4, 5};
    EXPECT_EQ(filesLogLine(t, "TEST.TXT    ", kArrowSent, "DL1ABC-15", 123456, 789),
              "  02.01.2025 03:04  TEST.TXT         ->  DL1ABC-15 123456 Byte    789 Byte / min\r\n");
    EXPECT_EQ(filesLogLine(t, "A_VERY_LONG_FILENAME.BIN", kArrowReceived, "", 1, 0, kOutcomeAborted),
              "  02.01.2025 03:04  A_VERY_LONG_FILENAME.BIN  <-                 1 Byte      0 Byte / min  abgebrochen\r\n");
}

class Status : public TransferTest {
protected:
    const CChannelJob* queue(const std::string& name) {
        rig.dir.write(name, std::string(3000, 'q'));
        auto job = makeTextFileSendJob(*ch, rig.dir.path() / name, true, false);
        const CChannelJob* id = job.get();
        EXPECT_TRUE(enqueueTransfer(*ch, std::move(job)));
        return id;
    }
    std::vector<std::string> names() {
        std::vector<std::string> out;
        for (const auto& r : transferStatus(*ch).queue) out.push_back(r.name.substr(0, r.name.find(' ')));
        return out;
    }
};

TEST_F(Status, RowsShowEveryQueuedJobAndTheReception) {
    queue("one.txt");
    queue("two.txt");
    ticks(2);  // one.txt is being sent
    ch->setJob(JobSlot::FileReceive, makeBinReceiveJob(*ch, rig.dir.path() / "r.bin", false));
    const TransferStatus st = transferStatus(*ch);
    EXPECT_EQ(st.title(), "Transfer Status / Tnc 1 Channel 2");
    ASSERT_EQ(st.queue.size(), 2u);
    EXPECT_TRUE(st.queue[0].active);
    EXPECT_EQ(st.queue[0].text(), "    3000     1976      0      0     transmit  text  one.txt     ");
    EXPECT_EQ(st.queue[1].text(), "    3000     3000      0      0     waiting   text  two.txt     ");
    ASSERT_TRUE(st.receiving);
    EXPECT_EQ(st.receiving->text(), "       0        0      0      0     receive   bin   r.bin");
}

TEST_F(Status, JobsOutsideTheQueueAndEveryChannel) {
    ch->setJob(JobSlot::Send, makeMemoryTextJob(*ch, std::string(500, 'm')));
    queue("later.txt");
    const auto all = allTransferStatus(rig.registry());
    ASSERT_EQ(all.size(), 1u) << "idle channels are left out";
    ASSERT_EQ(all[0].queue.size(), 2u);
    EXPECT_TRUE(all[0].queue[0].active);
    EXPECT_EQ(all[0].queue[0].text(), "     500      500      0      0     transmit  text  Remote");
    EXPECT_EQ(proposedLogName(1, 2), "prlog12.txt");
}

TEST_F(Status, PauseRemoveAndMove) {
    const CChannelJob* a = queue("a.txt");
    const CChannelJob* b = queue("b.txt");
    const CChannelJob* c = queue("c.txt");
    const CChannelJob* d = queue("d.txt");
    ticks(2);  // a is being sent
    EXPECT_FALSE(removeWaitingTransfer(*ch, a)) << "the job being sent stays";
    EXPECT_FALSE(moveTransferUp(*ch, b)) << "nothing passes the job being sent";
    EXPECT_FALSE(moveTransferDown(*ch, a));
    EXPECT_TRUE(moveTransferUp(*ch, d));
    EXPECT_EQ(names(), (std::vector<std::string>{"a.txt", "b.txt", "d.txt", "c.txt"}));
    EXPECT_TRUE(moveTransferDown(*ch, b));
    EXPECT_EQ(names(), (std::vector<std::string>{"a.txt", "d.txt", "b.txt", "c.txt"}));
    EXPECT_FALSE(moveTransferDown(*ch, c));
    EXPECT_TRUE(removeWaitingTransfer(*ch, d));
    EXPECT_EQ(names(), (std::vector<std::string>{"a.txt", "b.txt", "c.txt"}));

    stopSending(*ch);
    pauseTransfers(*ch, true);
    ticks(2);
    EXPECT_EQ(ch->job(JobSlot::Send), nullptr) << "paused";
    EXPECT_TRUE(transferStatus(*ch).paused);
    pauseTransfers(*ch, false);
    ticks(1);
    ASSERT_NE(ch->job(JobSlot::Send), nullptr);
    EXPECT_EQ(ch->job(JobSlot::Send), b) << "after the moves b is next";
    (void)c;
}

TEST_F(Status, QueueHoldsFiftyJobs) {
    for (int i = 0; i < 50; ++i) queue("f" + std::to_string(i));
    rig.dir.write("over", "x");
    EXPECT_FALSE(enqueueTransfer(*ch, makeTextFileSendJob(*ch, rig.dir.path() / "over")));
}

class SendAll : public TransferTest {
protected:
    void SetUp() override {
        TransferTest::SetUp();
        out = rig.dir.path() / "out";
        std::filesystem::create_directory(out);
    }
    void useOut() { rig.profile.writeString("frame", "SendFileDir", out.string()); }
    std::filesystem::path out;
};

TEST_F(SendAll, ChecksBeforeTheDialog) {
    EXPECT_EQ(planSendAll(*ch).check, SendAllCheck::NoOwnDirectory);
    useOut();
    EXPECT_EQ(planSendAll(*ch).check, SendAllCheck::NoFiles);
    rig.dir.write("out/a.txt", "a");
    std::filesystem::create_directory(out / "sub");
    const SendAllPlan plan = planSendAll(*ch);
    EXPECT_EQ(plan.check, SendAllCheck::Ready);
    EXPECT_EQ(plan.files, (std::vector<std::string>{"a.txt"}));
}

TEST_F(SendAll, MarksSentFilesForgetsDeletedOnesAndStopsWhenTheQueueIsFull) {
    useOut();
    rig.dir.write("out/new.txt", "n");
    rig.dir.write("out/old.txt", "o");
    rig.dir.write("sf.log", "[data]\r\nold.txt=OK\r\ngone.txt=ok\r\n");
    SendAllResult r = queueAllUnsentFiles(*ch, false);
    EXPECT_EQ(r.queued, 1) << "OK in capitals counts as sent";
    Profile marks(rig.dir.path() / "sf.log");
    EXPECT_EQ(marks.getString("data", "new.txt", ""), "ok");
    EXPECT_FALSE(marks.find("data", "gone.txt")) << "a deleted file's mark goes";
    EXPECT_EQ(queueAllUnsentFiles(*ch, false).queued, 0);
    EXPECT_EQ(queueAllUnsentFiles(*ch, true).queued, 2) << "fresh: every file again";

    while (ch->transferQueue().size() < CTransferQueue::kCapacity - 1) {
        rig.dir.write("x", "x");
        enqueueTransfer(*ch, makeTextFileSendJob(*ch, rig.dir.path() / "x"));
    }
    rig.dir.write("out/third.txt", "t");
    std::filesystem::remove(rig.dir.path() / "sf.log");
    r = queueAllUnsentFiles(*ch, false);
    EXPECT_EQ(r.queued, 1);
    EXPECT_TRUE(r.queueFull);
    Profile after(rig.dir.path() / "sf.log");
    EXPECT_EQ(after.keys("data").size(), 1u) << "the file that did not fit stays unmarked";
}

}  // namespace
}  // namespace norva::test
