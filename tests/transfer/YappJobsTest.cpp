// The YAPP send and receive jobs on a channel of a scripted TNC link: the
// exact exchange of a whole transfer each way, the hidden window, the
// refusals of hostile headers, checksum and length faults, resume from a
// kept part, the timers, and cancels from either side.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <utime.h>

#include <ctime>

#include "TransferRig.h"
#include "transfer/Transfers.h"
#include "transfer/YappReceiveJob.h"
#include "transfer/YappSendJob.h"

namespace norva::test {
namespace {

using namespace std::string_literals;

constexpr std::uint32_t kStamp = 0x586F645C;  // 2024-03-15 12:34:56

class YappJobs : public TransferTest {
protected:
    void SetUp() override {
        TransferTest::SetUp();
        ch->settings().packlen = 256;
    }
    void setLocalMtime(const std::string& name) {
        std::tm t{};
        t.tm_year = 124;
        t.tm_mon = 2;
        t.tm_mday = 15;
        t.tm_hour = 12;
        t.tm_min = 34;
        t.tm_sec = 56;
        t.tm_isdst = -1;
        const std::time_t when = std::mktime(&t);
        const utimbuf times{when, when};
        ASSERT_EQ(::utime((rig.dir.path() / name).c_str(), &times), 0);
    }
    CYappSendJob* startSend(const std::string& name, const std::string& content) {
        rig.dir.write(name, content);
        setLocalMtime(name);
        auto job = makeYappSendJob(*ch, rig.dir.path() / name, false);
        auto* yapp = static_cast<CYappSendJob*>(job.get());
        yapp->setStateTrace([this](int from, int to) { states.push_back(from * 10 + to); });
        EXPECT_TRUE(enqueueTransfer(*ch, std::move(job)));
        ticks(2);  // into the send slot, then its first step
        return yapp;
    }
    CYappReceiveJob* startReceive(const std::filesystem::path& target, DiskLimits limits = {}) {
        auto job = makeYappReceiveJob(*ch, target, false, std::move(limits));
        auto* yapp = static_cast<CYappReceiveJob*>(job.get());
        if (!yapp) return nullptr;
        yapp->setStateTrace([this](int from, int to) { states.push_back(from * 10 + to); });
        EXPECT_TRUE(ch->setJob(JobSlot::FileReceive, std::move(job)));
        ch->tick();
        return yapp;
    }
    // The data packets a sender with this packlen makes of content.
    static std::string dataPackets(std::string_view content, bool checksum, std::size_t per = 253) {
        std::string out;
        for (std::size_t at = 0; at < content.size(); at += per) out += yappData(content.substr(at, per), checksum);
        return out;
    }
    std::vector<int> states;
};

TEST_F(YappJobs, SenderRunsTheWholeExchangeWithChecksumsAndHidesTheReceivedBytes) {
    const std::string data = everyByte(2000);
    CYappSendJob* job = startSend("data.bin", data);
    EXPECT_EQ(air(), kYappSendInit);
    EXPECT_EQ(job->status(), "transmit");
    EXPECT_EQ(job->type(), "yapp");
    clearAir();
    // The mailbox's prompt before its first packet is its text; the packet is not.
    receive("Ready to receive data.bin with YAPP protocol.\r"s + std::string(kYappRcvReady));
    EXPECT_EQ(shown(kKindConnected), "Ready to receive data.bin with YAPP protocol.\r");
    EXPECT_EQ(air(), yappHeader("data.bin", 2000, kStamp)) << "the file's date is the offer of checksums";
    clearAir();
    receive(kYappRcvTpk);
    EXPECT_TRUE(job->checksumMode());
    rig.clock.advanceMs(60'000);
    ticks(2);
    EXPECT_EQ(job->state(), YappSendState::Eof);
    EXPECT_EQ(air(), dataPackets(data, true) + std::string(kYappEof));
    // Each data packet is one frame of at most Packlen bytes.
    for (const auto& w : rig.state->writes)
        if (w.size() >= 3 && w[0] == 2 && w[1] == 0) {
            EXPECT_LE(w.size() - 3, 256u);
        }
    clearAir();
    receive(kYappAckEof);
    EXPECT_EQ(air(), kYappEot);
    EXPECT_TRUE(job->delivered());
    receive(kYappAckEot);
    EXPECT_EQ(shown(kKindConnected), "") << "no YAPP byte reaches the window";
    ch->tick();
    EXPECT_EQ(ch->job(JobSlot::Send), nullptr);
    EXPECT_EQ(states, (std::vector<int>{12, 23, 34, 45, 56, 68}));
    EXPECT_NE(shown(kClassTncEcho).find("\rYAPP-Sendung beendet.\r"), std::string::npos);
    const std::string log = filesLog();
    EXPECT_NE(log.find("data.bin         ->  DB1BBB      2000 Byte"), std::string::npos) << log;
    EXPECT_EQ(log.find("abgebrochen"), std::string::npos) << log;
}

TEST_F(YappJobs, SenderPlainModeResumeAndAnImpossibleResume) {
    // RF: no checksums; RF straight after SI skips the header.
    CYappSendJob* job = startSend("p.bin", "Hello");
    receive(kYappRcvFile);
    clearAir();
    ch->tick();
    EXPECT_EQ(air(), "\x02\x05Hello\x03\x01"s);
    EXPECT_FALSE(job->checksumMode());
    receive(kYappAckEof);
    receive(kYappAckEot);
    ch->tick();

    // A resume with 'C' after 3 bytes: the tail with its checksum.
    job = startSend("r.bin", "Hello");
    receive(kYappRcvReady);
    clearAir();
    receive(yappResume(3, true));
    ch->tick();
    EXPECT_EQ(air(), "\x02\x02lo\xDB\x03\x01"s);
    EXPECT_EQ(job->startOffset(), 3);
    receive(kYappAckEof);
    receive(kYappAckEot);
    ch->tick();

    // Beyond the end of the file: cancelled, never a seek past it.
    job = startSend("s.bin", "Hello");
    receive(kYappRcvReady);
    clearAir();
    receive(yappResume(6, true));
    EXPECT_EQ(air(), yappCancel("Invalid resume position"));
    EXPECT_EQ(job->state(), YappSendState::CancelWait);
    // Late packets are ignored until the cancel is answered.
    receive(kYappRcvTpk);
    EXPECT_EQ(job->state(), YappSendState::CancelWait);
    receive(kYappCanAck);
    ch->tick();
    EXPECT_EQ(ch->job(JobSlot::Send), nullptr);
    EXPECT_NE(filesLog().find("s.bin            ->  DB1BBB         5 Byte"), std::string::npos);
    EXPECT_NE(filesLog().find("abgebrochen"), std::string::npos);
}

TEST_F(YappJobs, SenderResendsInitThenGivesUpAndTimesOutInEveryWait) {
    CYappSendJob* job = startSend("t.bin", "x");
    clearAir();
    for (int i = 0; i < 6; ++i) {
        rig.clock.advanceMs(20'000);
        ch->tick();
    }
    std::string six;
    for (int i = 0; i < 6; ++i) six += kYappSendInit;
    EXPECT_EQ(air(), six) << "SI again every 20 s";
    clearAir();
    rig.clock.advanceMs(20'000);
    ch->tick();
    EXPECT_EQ(air(), yappCancel("Retry count excessive"));
    EXPECT_EQ(job->state(), YappSendState::CancelWait);
    rig.clock.advanceMs(120'000);
    ch->tick();
    EXPECT_EQ(ch->job(JobSlot::Send), nullptr) << "no answer to the cancel either: the job ends";

    // A header that is never answered; a packet restarts the wait.
    job = startSend("u.bin", "x");
    receive(kYappRcvReady);
    rig.clock.advanceMs(119'000);
    ch->tick();
    EXPECT_EQ(job->state(), YappSendState::Header);
    clearAir();
    rig.clock.advanceMs(1'000);
    ch->tick();
    EXPECT_EQ(air(), yappCancel("Timeout"));
    receive(yappCancel("me too"));
    EXPECT_EQ(job->state(), YappSendState::Done) << "a cancel in the cancel wait is answered and ends it";
    ch->tick();
}

TEST_F(YappJobs, CancelFromEitherSideOfTheSender) {
    // The other side cancels during the data: CA, its reason shown, the job ends.
    CYappSendJob* job = startSend("c.bin", everyByte(50'000));
    receive(kYappRcvFile);
    ch->tick();
    clearAir();
    receive("\x18\x03" "why"s);
    EXPECT_EQ(air(), kYappCanAck);
    EXPECT_NE(shown(kClassTncEcho).find("abgebrochen: why"), std::string::npos);
    ch->tick();
    EXPECT_EQ(ch->job(JobSlot::Send), nullptr);

    // The operator cancels: CN, the cancel wait, and nothing more sent.
    job = startSend("d.bin", everyByte(50'000));
    receive(kYappRcvFile);
    ch->tick();
    job->cancel();
    clearAir();
    ch->tick();
    EXPECT_EQ(air(), yappCancel("Cancelled by user"));
    EXPECT_TRUE(job->aborted());
    ticks(3);
    EXPECT_EQ(air(), yappCancel("Cancelled by user")) << "no data after the cancel";
    receive(kYappCanAck);
    ch->tick();
    EXPECT_EQ(ch->job(JobSlot::Send), nullptr);

    // Taken out of the slot (stop sending): the other side still hears it.
    startSend("e.bin", everyByte(50'000));
    receive(kYappRcvFile);
    clearAir();
    ch->destroyJob(JobSlot::Send);
    EXPECT_EQ(air(), yappCancel("Cancelled by user"));
    const std::string log = filesLog();
    EXPECT_NE(log.find("c.bin"), std::string::npos);
    EXPECT_NE(log.find("e.bin"), std::string::npos);
}

TEST_F(YappJobs, ReceiverStoresAPlainNamedFileWithItsDateAndChecksums) {
    std::filesystem::create_directories(rig.dir.path() / "in");
    const auto dir = rig.dir.path() / "in";
    CYappReceiveJob* job = startReceive(dir);
    ASSERT_TRUE(job);
    receive("\rLogin text from the box\r");
    EXPECT_EQ(shown(kKindConnected), "\rLogin text from the box\r") << "text before SI is shown";
    clearAir();
    receive(kYappSendInit);
    EXPECT_EQ(air(), kYappRcvReady);
    clearAir();
    // A name with a path is stored under its last part, inside the directory.
    const std::string data = everyByte(700);
    receive(yappHeader("..\\up/../../evil.bin", 700, kStamp));
    EXPECT_EQ(air(), kYappRcvTpk);
    EXPECT_TRUE(exists("in/evil.bin.part"));
    // The packets arrive cut anywhere, several in one frame.
    const std::string stream = dataPackets(data, true, 100) + std::string(kYappEof);
    for (std::size_t at = 0; at < stream.size(); at += 77) receive(stream.substr(at, 77));
    EXPECT_EQ(air(), std::string(kYappRcvTpk) + std::string(kYappAckEof));
    EXPECT_EQ(file("in/evil.bin"), data);
    EXPECT_FALSE(exists("in/evil.bin.part"));
    EXPECT_FALSE(exists("evil.bin"));
    struct stat st {};
    ASSERT_EQ(::stat((dir / "evil.bin").c_str(), &st), 0);
    std::tm local{};
    const std::time_t when = st.st_mtime;
    localtime_r(&when, &local);
    EXPECT_EQ(local.tm_year + 1900, 2024);
    EXPECT_EQ(local.tm_hour, 12);
    EXPECT_EQ(local.tm_sec, 56);

    // A second file of the same name in the same transfer never overwrites the first.
    clearAir();
    receive(yappHeader("evil.bin", 2, std::nullopt) + "\x02\x02zz\x03\x01"s);
    EXPECT_EQ(air(), std::string(kYappRcvFile) + std::string(kYappAckEof)) << "no stamp: no checksums";
    EXPECT_EQ(file("in/evil.bin.1"), "zz");
    EXPECT_EQ(file("in/evil.bin"), data);
    clearAir();
    receive(kYappEot);
    EXPECT_EQ(air(), kYappAckEot);
    EXPECT_EQ(shown(kKindConnected), "");
    EXPECT_EQ(job->filesStored(), 2);
    ch->tick();
    EXPECT_EQ(ch->job(JobSlot::FileReceive), nullptr);
    EXPECT_EQ(states, (std::vector<int>{12, 23, 32, 23, 32, 25}));
    const std::string log = filesLog();
    EXPECT_NE(log.find("evil.bin         <-  DB1BBB       700 Byte"), std::string::npos) << log;
    EXPECT_NE(log.find("evil.bin.1       <-  DB1BBB         2 Byte"), std::string::npos) << log;
}

TEST_F(YappJobs, ReceiverRefusesHostileHeadersAndCancelsOnBadData) {
    std::filesystem::create_directories(rig.dir.path() / "in");
    const auto dir = rig.dir.path() / "in";
    DiskLimits tight;
    tight.floorBytes = 1000;
    tight.freeSpace = [](const std::filesystem::path&) { return std::optional<std::uint64_t>(5000); };
    struct Case {
        std::string header;
        std::string reply;
    };
    const Case cases[] = {
        {yappHeader("..", 5, kStamp), yappNotReady("Bad file name")},
        {yappHeader("a/", 5, kStamp), yappNotReady("Bad file name")},
        {yappHeader(".hidden", 5, kStamp), yappNotReady("Bad file name")},
        {"\x01\x05" "a\0" "-5\0"s, yappNotReady("Bad header")},
        {"\x01\x03" "a\0" "5"s, yappNotReady("Bad header")},
        {"\x01\x00"s, yappNotReady("Bad header")},
        {yappHeader("big.bin", 4001, kStamp), yappNotReady("No room")},
        {yappHeader("huge.bin", 0x7fffffff, kStamp), yappNotReady("No room")},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(startReceive(dir, tight));
        receive(kYappSendInit);
        clearAir();
        receive(c.header);
        EXPECT_EQ(air(), c.reply);
        ch->tick();
        EXPECT_EQ(ch->job(JobSlot::FileReceive), nullptr);
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir)) << "nothing was created";

    // A wrong checksum: cancelled, what came before stays as a part.
    CYappReceiveJob* job = startReceive(dir);
    receive(std::string(kYappSendInit) + yappHeader("b.bin", 10, kStamp));
    clearAir();
    receive("\x02\x03" "abc\x26" "\x02\x03" "def\x00"s);
    EXPECT_EQ(air(), yappCancel("Bad checksum"));
    EXPECT_EQ(job->state(), YappReceiveState::CancelWait);
    receive(kYappCanAck);
    ch->tick();
    EXPECT_EQ(file("in/b.bin.part"), "abc");
    EXPECT_FALSE(exists("in/b.bin"));
    EXPECT_NE(filesLog().find("abgebrochen"), std::string::npos);

    // Fewer bytes than announced at EF: something was lost on the way, so the
    // part is no prefix of the file; it goes, and the sender hears it.
    startReceive(dir);
    receive(std::string(kYappSendInit) + yappHeader("s.bin", 10, kStamp) + yappData("abc", true));
    clearAir();
    receive(kYappEof);
    EXPECT_EQ(air(), yappCancel("Data missing"));
    EXPECT_FALSE(exists("in/s.bin.part"));
    EXPECT_FALSE(exists("in/s.bin"));
    EXPECT_NE(shown(kClassTncEcho).find("s.bin: nur 3 von 10 Byte angekommen, verworfen"), std::string::npos);
    receive(kYappCanAck);
    ch->tick();

    // More data than announced, and a packet that has no place in the data.
    for (const std::string& bad : {yappData("0123456789X", false), std::string(kYappRcvReady), "junk"s}) {
        job = startReceive(dir);
        receive(std::string(kYappSendInit) + yappHeader("c.bin", 10, std::nullopt));
        clearAir();
        receive(bad);
        EXPECT_EQ(air(), yappCancel(bad.size() == 13 ? "Too much data" : "Unknown code")) << bad;
        ch->destroyJob(JobSlot::FileReceive);
        std::filesystem::remove(dir / "c.bin.part");
    }
}

TEST_F(YappJobs, ReceiverResumesItsOwnPartOnlyForASenderThatKnowsTheExtension) {
    std::filesystem::create_directories(rig.dir.path() / "in");
    rig.dir.write("in/r.bin.part", "Hel");
    const auto dir = rig.dir.path() / "in";
    CYappReceiveJob* job = startReceive(dir);
    receive(kYappSendInit);
    clearAir();
    receive(yappHeader("r.bin", 5, kStamp));
    EXPECT_EQ(air(), "\x15\x06R\0" "3\0" "C\0"s);
    EXPECT_EQ(job->resumedAt(), 3);
    receive("\x02\x02lo\xDB\x03\x01"s);
    EXPECT_EQ(file("in/r.bin"), "Hello");
    receive(kYappEot);
    ch->tick();

    // A plain sender cannot resume: the part starts anew.
    rig.dir.write("in/q.bin.part", "XXX");
    job = startReceive(dir);
    receive(std::string(kYappSendInit));
    clearAir();
    receive(yappHeader("q.bin", 5, std::nullopt));
    EXPECT_EQ(air(), kYappRcvFile);
    receive("\x02\x05Hello\x03\x01"s);
    EXPECT_EQ(file("in/q.bin"), "Hello");
    receive(kYappEot);
    ch->tick();

    // A chosen file that exists is never a target; a link in the part's place is refused.
    EXPECT_EQ(makeYappReceiveJob(*ch, dir / "r.bin", false), nullptr);
    std::filesystem::create_symlink(rig.dir.path() / "victim", dir / "l.bin.part");
    ASSERT_TRUE(startReceive(dir / "l.bin"));
    receive(kYappSendInit);
    clearAir();
    receive(yappHeader("whatever", 5, kStamp));
    EXPECT_EQ(air(), yappNotReady("Cannot create file"));
    EXPECT_FALSE(exists("victim"));
}

TEST_F(YappJobs, ReceiverCancelsAndIsCancelled) {
    const auto dir = rig.dir.path();
    // The other side cancels: CA, and the part stays for a resume.
    CYappReceiveJob* job = startReceive(dir / "x.bin");
    receive(std::string(kYappSendInit) + yappHeader("x", 100, kStamp) + yappData("abc", true));
    clearAir();
    receive("\x18\x05" "later"s);
    EXPECT_EQ(air(), kYappCanAck);
    EXPECT_EQ(job->abortReason(), "later");
    ch->tick();
    EXPECT_EQ(ch->job(JobSlot::FileReceive), nullptr);
    EXPECT_EQ(file("x.bin.part"), "abc");
    EXPECT_NE(shown(kClassTncEcho).find("x.bin.part"), std::string::npos) << "the operator hears where the part is";

    // The operator cancels; in-flight data is ignored in the cancel wait.
    job = startReceive(dir / "x.bin");
    receive(std::string(kYappSendInit) + yappHeader("x", 100, kStamp));
    EXPECT_EQ(job->resumedAt(), 3);
    job->cancel();
    clearAir();
    ch->tick();
    EXPECT_EQ(air(), yappCancel("Cancelled by user"));
    receive(yappData("def", true) + std::string(kYappEof));
    EXPECT_EQ(file("x.bin.part"), "abc");
    EXPECT_EQ(job->state(), YappReceiveState::CancelWait);
    receive(kYappCanAck);
    ch->tick();
    EXPECT_EQ(ch->job(JobSlot::FileReceive), nullptr);

    // Nobody sends: the wait for SI ends after its time with a cancel.
    job = startReceive(dir / "y.bin");
    clearAir();
    rig.clock.advanceMs(120'000);
    ch->tick();
    EXPECT_EQ(air(), yappCancel("Timeout"));
    EXPECT_FALSE(exists("y.bin.part"));
    ch->destroyJob(JobSlot::FileReceive);
}

}  // namespace
}  // namespace norva::test
