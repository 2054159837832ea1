// The #BIN# send and receive jobs on a channel of a scripted TNC link:
// every state, aborts both ways, refusals, hostile headers, the CRC
// comparison, the automatic reception and files.log.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdio>
#include <ctime>

#include "TransferRig.h"
#include "transfer/BinProtocol.h"
#include "transfer/BinReceiveJob.h"
#include "transfer/BinSendJob.h"
#include "transfer/Transfers.h"

namespace norva::test {
namespace {

constexpr std::time_t kStampTime = 1710506096;

// The full header the sender writes for a file of these bytes.
std::string fullHeader(const std::string& data, const std::string& airName) {
    char stamp[9];
    std::snprintf(stamp, sizeof stamp, "%08X", static_cast<unsigned>(dosTimestamp(kStampTime)));
    return "#BIN#" + std::to_string(data.size()) + "#|" + std::to_string(binCrc(0, data)) + "#$" + stamp + "#" +
           airName + "\r";
}

class BinSend : public TransferTest {
protected:
    CBinSendJob* start(const std::string& name, const std::string& content, bool promptAfter = false) {
        rig.dir.write(name, content);
        // A fixed modification time, so the header's stamp is known.
        const timespec times[2] = {{kStampTime, 0}, {kStampTime, 0}};
        ::utimensat(AT_FDCWD, (rig.dir.path() / name).c_str(), times, 0);
        auto job = makeBinSendJob(*ch, rig.dir.path() / name, promptAfter);
        auto* bin = static_cast<CBinSendJob*>(job.get());
        bin->setStateTrace([this](int from, int to) { states.push_back(from * 100 + to); });
        EXPECT_TRUE(enqueueTransfer(*ch, std::move(job)));
        return bin;
    }
    std::vector<int> states;
};

TEST_F(BinSend, WholeRunHeaderBlocksReportAndLog) {
    const std::string data = everyByte(2500);
    CBinSendJob* job = start("data.bin", data);
    ch->tick();  // into the send slot: the next tick runs it
    ch->tick();
    EXPECT_EQ(air(), fullHeader(data, "DATA.BIN")) << "the name goes out in upper case, with CRC and stamp";
    EXPECT_EQ(shown(kClassTncEcho), "\rBinaerdateisendung gestartet.\r");
    EXPECT_EQ(job->status(), "transmit");
    ticks(3);
    EXPECT_EQ(job->state(), BinSendState::WaitOk) << "no data before the go-ahead";
    clearAir();
    receive("#OK#\r");
    EXPECT_EQ(job->state(), BinSendState::Data);
    rig.clock.advanceMs(60'000);
    ticks(3);
    EXPECT_EQ(air(), data);
    EXPECT_EQ(shown(kClassTncEcho), "...");
    EXPECT_EQ(job->state(), BinSendState::End);
    clearAir();
    ch->tick();
    EXPECT_EQ(ch->job(JobSlot::Send), nullptr) << "finished after the report";
    EXPECT_TRUE(ch->transferQueue().empty());
    const std::string report = "#BIN-TX OK#" + std::to_string(binCrc(0, data)) + "\r";
    EXPECT_EQ(air(), "\r" + report) << "the data did not end the line: the report starts a new one";
    EXPECT_EQ(shown(kClassTncEcho), "\rBinaerdateisendung beendet.\r" + report);
    EXPECT_EQ(filesLog(), "  05.03.2024 09:08  data.bin         ->  DB1BBB      2500 Byte   2500 Byte / min\r\n");
    EXPECT_EQ(states, (std::vector<int>{102, 203, 304}));
}

TEST_F(BinSend, FullBlocksEndWithAnEmptyReadAndZeroLengthSendsNoData) {
    CBinSendJob* job = start("k2.bin", everyByte(2048));
    ticks(2);
    receive("#OK#\r");
    ticks(2);
    EXPECT_EQ(job->state(), BinSendState::Data) << "the last full block keeps the job sending";
    ch->tick();
    EXPECT_EQ(job->state(), BinSendState::End);
    ch->tick();

    clearAir();
    job = start("empty.bin", "");
    ticks(2);
    receive("#OK#\r");
    ticks(2);
    EXPECT_EQ(air(), fullHeader("", "EMPTY.BIN") + "#BIN-TX OK#0\r") << "the header ended its line";
}

TEST_F(BinSend, RefusalAndAbortEndTheJobWithAnAbortLine) {
    CBinSendJob* job = start("a.bin", everyByte(5000));
    ticks(2);
    receive("\r#NO#\r");
    EXPECT_EQ(job->state(), BinSendState::Stopped);
    clearAir();
    ch->tick();
    EXPECT_EQ(ch->job(JobSlot::Send), nullptr);
    EXPECT_EQ(air(), "#ABORT#\r") << "an announced transfer is aborted; the header ended its line";
    EXPECT_EQ(shown(kClassTncEcho), "\rUebertragung abgebrochen !\r");

    job = start("b.bin", everyByte(5000));
    ticks(2);
    receive("#OK#\r");
    ch->tick();
    receive("\r#ABORT#\r");
    EXPECT_EQ(job->state(), BinSendState::Stopped);
    clearAir();
    ch->tick();
    EXPECT_EQ(air(), "\r#ABORT#\r") << "after data that left the line open";
    const std::string log = filesLog();
    EXPECT_NE(log.find("a.bin            ->  DB1BBB      5000 Byte      0 Byte / min  abgebrochen\r\n"),
              std::string::npos) << log;
    EXPECT_NE(log.find("b.bin"), std::string::npos);
}

TEST_F(BinSend, GoAheadBeforeTheHeaderAndLinkTextAreIgnored) {
    CBinSendJob* job = start("c.bin", "xyz");
    ch->tick();  // queued → send slot
    receive("#OK#\r");
    EXPECT_EQ(job->state(), BinSendState::Start);
    ch->tick();
    receive("#OK#", kKindLinkStatus);
    EXPECT_EQ(job->state(), BinSendState::WaitOk) << "only connected text answers";
}

TEST_F(BinSend, PromptAfterARemoteRequestAndHeaderForAMailbox) {
    rig.dir.write("db1bbb.stn", "[Station]\r\nStationType=Mailbox\r\n");
    start("m.bin", "1", true);
    ticks(2);
    EXPECT_EQ(air(), "\r" + fullHeader("1", "M.BIN")) << "a mailbox gets a CR before the header";
    receive("#OK#\r");
    ticks(2);
    const std::string prompt = "\r\rDB1BBB de " + ch->linkState().myCall() + " (09:07)>";
    EXPECT_EQ(air().substr(air().size() - prompt.size()), prompt);
}

TEST_F(BinSend, UnreadableOrGoneFileEndsSilently) {
    EXPECT_EQ(makeBinSendJob(*ch, rig.dir.path() / "missing.bin"), nullptr);
    ASSERT_EQ(::mkfifo((rig.dir.path() / "fifo").c_str(), 0600), 0);
    EXPECT_EQ(makeBinSendJob(*ch, rig.dir.path() / "fifo"), nullptr) << "no waiting on a pipe";
    EXPECT_EQ(makeBinSendJob(*ch, rig.dir.path()), nullptr) << "a directory is no file";
    start("gone.bin", "data");
    std::filesystem::remove(rig.dir.path() / "gone.bin");
    ticks(2);
    EXPECT_EQ(ch->job(JobSlot::Send), nullptr);
    EXPECT_EQ(air(), "");
}

class BinReceive : public TransferTest {
protected:
    CBinReceiveJob* intoFile(const std::string& name, bool promptAfter = false, DiskLimits limits = {}) {
        auto job = makeBinReceiveJob(*ch, rig.dir.path() / name, promptAfter, std::move(limits));
        auto* bin = static_cast<CBinReceiveJob*>(job.get());
        ch->setJob(JobSlot::FileReceive, std::move(job));
        return bin;
    }
    CBinReceiveJob* receiving() const { return static_cast<CBinReceiveJob*>(ch->job(JobSlot::FileReceive)); }
};

TEST_F(BinReceive, HeaderWithFirstDataThenBlocksThenReports) {
    const std::string data = everyByte(600);
    CBinReceiveJob* job = intoFile("in.bin");
    EXPECT_TRUE(exists("in.bin"));
    EXPECT_EQ(shown(kClassTncEcho), "\rBinaerdateiempfang gestartet.\r");
    clearAir();
    receive("#BIN#600#IN.BIN\r" + data.substr(0, 100));
    EXPECT_EQ(job->state(), BinReceiveState::Data);
    EXPECT_EQ(file("in.bin"), data.substr(0, 100)) << "bytes with the header are written before the go-ahead";
    EXPECT_EQ(air(), "#OK#\r");
    receive(data.substr(100, 250));
    receive(data.substr(350));
    EXPECT_EQ(job->state(), BinReceiveState::Complete);
    ASSERT_EQ(ch->job(JobSlot::FileReceive), job) << "it waits for the sender's report";
    receive("\r#BIN-TX OK#" + std::to_string(binCrc(0, data)) + "\r");
    EXPECT_EQ(file("in.bin"), data) << "nothing beyond the announced length";
    EXPECT_EQ(shown(kClassTncEcho).find("CRC-Fehler"), std::string::npos) << "the report's CRC matched";
    EXPECT_EQ(air(), "#OK#\r#BIN-RX OK#" + std::to_string(binCrc(0, data)) + "\r");
    EXPECT_EQ(shown(kClassTncEcho), "#BIN#600#IN.BIN\r...\rBinaerdateiempfang beendet.\r#BIN-RX OK#" +
                                        std::to_string(binCrc(0, data)) + "\r");
    EXPECT_EQ(shown(kKindConnected), "") << "the report alone is the reception's own";
    EXPECT_EQ(ch->job(JobSlot::FileReceive), nullptr);
    EXPECT_EQ(filesLog(), "  05.03.2024 09:07  in.bin           <-  DB1BBB       600 Byte      0 Byte / min\r\n");
}

TEST_F(BinReceive, CrcMismatchIsReportedAndLogged) {
    intoFile("bad.bin");
    receive("#BIN#3#BAD.BIN\rabc");
    clearAir();
    receive("\r#BIN-TX OK#1\r");
    ch->tick();
    EXPECT_NE(shown(kClassTncEcho).find("CRC-Fehler: Sender 1, Empfang 7908"), std::string::npos);
    EXPECT_NE(filesLog().find("bad.bin          <-  DB1BBB         3 Byte      0 Byte / min  CRC-Fehler\r\n"),
              std::string::npos) << filesLog();
}

TEST_F(BinReceive, CompleteReceptionWaitsOnlyBrieflyForTheSenderReport) {
    intoFile("w.bin");
    receive("#BIN#1#W.BIN\rz");
    ch->tick();
    EXPECT_NE(ch->job(JobSlot::FileReceive), nullptr);
    rig.clock.advanceMs(CBinReceiveJob::kReportWaitSeconds * 1000);
    ch->tick();
    EXPECT_EQ(ch->job(JobSlot::FileReceive), nullptr);
    EXPECT_NE(filesLog().find("w.bin"), std::string::npos);
}

TEST_F(BinReceive, HeaderSplitAcrossFramesAndZeroLength) {
    CBinReceiveJob* job = intoFile("s.bin");
    receive("#BIN#1");
    EXPECT_EQ(job->state(), BinReceiveState::WaitHeader);
    EXPECT_EQ(air(), "");
    receive("0#S.BIN\r0123456789");
    EXPECT_EQ(job->state(), BinReceiveState::Complete);
    EXPECT_EQ(file("s.bin"), "0123456789");

    clearAir();
    job = intoFile("zero.bin");
    receive("#BIN#0#ZERO.BIN\r");
    EXPECT_EQ(job->state(), BinReceiveState::Complete);
    EXPECT_EQ(air(), "#OK#\r#BIN-RX OK#0\r");
    receive("late data");
    EXPECT_EQ(file("zero.bin"), "") << "text after completion is no data";
    EXPECT_EQ(shown(kKindConnected), "late data") << "but it is shown at once";
    EXPECT_EQ(ch->job(JobSlot::FileReceive), nullptr);
}

TEST_F(BinReceive, BadLengthsAreRefused) {
    for (const char* header : {"#BIN#-5#N.BIN\r", "#BIN#2147483648#N.BIN\r", "#BIN#4294967296#N.BIN\r",
                               "#BIN##N.BIN\r"}) {
        clearAir();
        CBinReceiveJob* job = intoFile("n.bin");
        receive(header);
        EXPECT_EQ(job->state(), BinReceiveState::Refused) << header;
        EXPECT_EQ(air(), "#NO#\r") << header;
        ch->tick();
        EXPECT_EQ(ch->job(JobSlot::FileReceive), nullptr);
        EXPECT_EQ(air(), "#NO#\r") << "no abort line after a refusal";
    }
}

TEST_F(BinReceive, AbortRecordsShorterThanFourteenBytesOnly) {
    CBinReceiveJob* job = intoFile("ab.bin");
    receive("#BIN#100#AB.BIN\r");
    const std::string fourteen = "xx\r#ABORT#\rxxx";
    ASSERT_EQ(fourteen.size(), 14u);
    receive(fourteen);
    EXPECT_EQ(job->state(), BinReceiveState::Data) << "14 bytes are data";
    EXPECT_EQ(file("ab.bin"), fourteen);
    const std::string thirteen = "x\r#ABORT#\rxxx";
    receive(thirteen);
    EXPECT_EQ(job->state(), BinReceiveState::Aborted);
    clearAir();
    ch->tick();
    EXPECT_EQ(ch->job(JobSlot::FileReceive), nullptr);
    EXPECT_EQ(file("ab.bin"), fourteen) << "the part received stays";
    EXPECT_EQ(air(), "#ABORT#\r") << "the go-ahead ended the line";
    EXPECT_NE(filesLog().find("ab.bin           <-  DB1BBB       100 Byte      0 Byte / min  abgebrochen"),
              std::string::npos) << filesLog();
}

TEST_F(BinReceive, LinkTextNeverBecomesData) {
    intoFile("l.bin");
    receive("#BIN#5#L.BIN\r");
    receive("(2) BUSY fm DB1BBB", kKindLinkStatus);
    receive("hello");
    EXPECT_EQ(file("l.bin"), "hello");
}

TEST_F(BinReceive, DisconnectMidFileKeepsThePartAndLogsAnAbort) {
    intoFile("d.bin", true);
    receive("#BIN#1000#D.BIN\r");
    receive(everyByte(200));
    receive(everyByte(100));
    rig.queueStatus(2, "(2) DISCONNECTED fm DB1BBB");
    rig.poll(2);
    EXPECT_EQ(ch->job(JobSlot::FileReceive), nullptr);
    EXPECT_EQ(file("d.bin"), everyByte(200) + everyByte(100));
    EXPECT_NE(filesLog().find("d.bin            <-  DB1BBB      1000 Byte"), std::string::npos) << filesLog();
    EXPECT_NE(filesLog().find("abgebrochen\r\n"), std::string::npos);
}

TEST_F(BinReceive, TooLittleDiskSpaceIsRefused) {
    DiskLimits limits;
    limits.floorBytes = 50'000'000;
    limits.freeSpace = [](const std::filesystem::path&) { return std::optional<std::uint64_t>(60'000'000); };
    CBinReceiveJob* job = intoFile("big.bin", false, limits);
    receive("#BIN#10000001#BIG.BIN\r");
    EXPECT_EQ(job->state(), BinReceiveState::Refused);
    EXPECT_EQ(air().find("#NO#\r"), 0u);
    clearAir();
    job = intoFile("fits.bin", false, limits);
    receive("#BIN#10000000#FITS.BIN\r");
    EXPECT_EQ(job->state(), BinReceiveState::Data);
}

class AutoBin : public BinReceive {
protected:
    void SetUp() override {
        BinReceive::SetUp();
        std::filesystem::create_directory(rig.dir.path() / "in");
        rig.profile.writeString("frame", "BinReadFileDir", (rig.dir.path() / "in").string());
    }
    // What the scanner does with a received record: start, then the dispatch hands it on.
    AutoBinOutcome arrive(const std::string& text) {
        const AutoBinOutcome outcome = autoBin(*ch, text);
        receive(text);
        return outcome;
    }
    std::vector<std::string> inDir() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(rig.dir.path() / "in"))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(AutoBin, ReceivesIntoTheConfiguredDirectoryUnderThePlainName) {
    EXPECT_EQ(arrive("#BIN#3#C:\\TEMP\\PIC.GIF\rabc"), AutoBinOutcome::Started);
    EXPECT_EQ(receiving()->state(), BinReceiveState::Complete);
    EXPECT_EQ(inDir(), (std::vector<std::string>{"PIC.GIF"}));
    EXPECT_EQ(rig.dir.read("in/PIC.GIF"), "abc");
}

TEST_F(AutoBin, HostileNamesCreateNothingOutside) {
    EXPECT_EQ(arrive("#BIN#10#../x\r"), AutoBinOutcome::Started);
    EXPECT_EQ(inDir(), (std::vector<std::string>{"x"})) << "the path part is dropped";
    EXPECT_FALSE(exists("x"));
    ch->destroyJob(JobSlot::FileReceive);
    for (const char* header : {"#BIN#10#.bashrc\r", "#BIN#10#..\r", "#BIN#10#/\r"}) {
        clearAir();
        arrive(header);
        ASSERT_NE(receiving(), nullptr) << header;
        EXPECT_EQ(receiving()->state(), BinReceiveState::Refused) << header;
        EXPECT_EQ(air(), "#NO#\r") << header;
        ch->tick();
    }
    EXPECT_EQ(inDir(), (std::vector<std::string>{"x"}));
}

TEST_F(AutoBin, NeverOverwritesAnExistingFile) {
    rig.dir.write("in/A.BIN", "precious");
    arrive("#BIN#3#A.BIN\rnew");
    EXPECT_EQ(rig.dir.read("in/A.BIN"), "precious");
    EXPECT_EQ(rig.dir.read("in/A.BIN.1"), "new");
    EXPECT_NE(shown(kClassTncEcho).find("A.BIN existiert, Empfang als A.BIN.1"), std::string::npos);
}

TEST_F(AutoBin, SplitHeaderBusyChannelAndLongNames) {
    EXPECT_EQ(arrive("#BIN#4#SPL"), AutoBinOutcome::Started);
    arrive("IT.TXT\rda");
    EXPECT_EQ(autoBin(*ch, "#BIN#4#OTHER\r"), AutoBinOutcome::Busy) << "one reception at a time";
    arrive("ta");
    EXPECT_EQ(rig.dir.read("in/SPLIT.TXT"), "data");
    ch->tick();
    ch->tick();
    rig.clock.advanceMs(20'000);
    ch->tick();
    ASSERT_EQ(ch->job(JobSlot::FileReceive), nullptr);
    EXPECT_EQ(autoBin(*ch, "#BIN#4#NINECHARS\r"), AutoBinOutcome::AskOperator);
    EXPECT_EQ(autoBin(*ch, "#BIN#4#MUCHTOOLONG.BIN\r"), AutoBinOutcome::AskOperator);
    EXPECT_EQ(autoBin(*ch, "no header"), AutoBinOutcome::NoHeader);
    EXPECT_EQ(ch->job(JobSlot::FileReceive), nullptr);
}

// F6FBB's BGET: the name comes on the line before a length-only header,
// in the same frame or the one before; without it a free name is made.
TEST_F(AutoBin, LengthOnlyHeaderTakesTheAnnouncedName) {
    receive("Ready to send rig.zip with AUTOBIN protocol.\r");
    EXPECT_EQ(arrive("#BIN#3\rabc"), AutoBinOutcome::Started);
    EXPECT_EQ(rig.dir.read("in/rig.zip"), "abc");
    ch->destroyJob(JobSlot::FileReceive);
    EXPECT_EQ(arrive("Ready to send b.txt with AUTOBIN protocol.\r#BIN#2\rxy"), AutoBinOutcome::Started);
    EXPECT_EQ(rig.dir.read("in/b.txt"), "xy");
    ch->destroyJob(JobSlot::FileReceive);
    receive("Ready to send ../../evil.sh with AUTOBIN protocol.\r");
    receive("something else\r");
    clearAir();
    EXPECT_EQ(arrive("#BIN#1\rq"), AutoBinOutcome::Started);
    EXPECT_EQ(rig.dir.read("in/AUTOBIN.BIN"), "q") << "the announcement was not just before";
    EXPECT_NE(shown(kClassTncEcho).find("Kein Dateiname im Kopf, Empfang als AUTOBIN.BIN"), std::string::npos);
    EXPECT_FALSE(exists("evil.sh"));
}

// What follows the last byte belongs to the station again at once: F6FBB's
// report and prompt are shown, the next transfer starts without waiting.
TEST_F(BinReceive, FinishedReceptionHoldsNothingAfterItsLastByte) {
    const std::string data = everyByte(300);
    intoFile("f.bin");
    receive("#BIN#300\r" + data.substr(0, 200));
    clearAir();
    const std::string prompt = "(1) [0/0kb] C:\\>";
    receive(data.substr(200) + "BIN-TX OK #" + std::to_string(binCrc(0, data)) + "\r" + prompt);
    EXPECT_EQ(file("f.bin"), data);
    EXPECT_EQ(ch->job(JobSlot::FileReceive), nullptr) << "the report came with the last bytes";
    EXPECT_EQ(shown(kKindConnected), "BIN-TX OK #" + std::to_string(binCrc(0, data)) + "\r" + prompt)
        << "no data byte is shown, nothing after them is lost";
    EXPECT_EQ(shown(kClassTncEcho).find("CRC-Fehler"), std::string::npos);

    // A send queued while the reception waits for a report starts at the next tick.
    intoFile("g.bin");
    receive("#BIN#1#G.BIN\rz");
    ASSERT_NE(ch->job(JobSlot::FileReceive), nullptr);
    rig.dir.write("out.bin", "12");
    ASSERT_TRUE(enqueueTransfer(*ch, makeBinSendJob(*ch, rig.dir.path() / "out.bin")));
    clearAir();
    ticks(2);
    EXPECT_NE(air().find("#BIN#2#|"), std::string::npos) << air();
}

// A protocol line never continues the line the station is on (TNT reads whole lines).
TEST_F(BinReceive, GoAheadAfterAnOpenPromptStartsANewLine) {
    ch->sendOperation(FrameRecord{kKindInfo, "DA1AAA de DB1BBB>"});
    intoFile("p.bin");
    clearAir();
    receive("#BIN#1#|0#$00000000#P.BIN\r");
    EXPECT_EQ(air(), "\r#OK#\r");
    clearAir();
    receive("x");
    EXPECT_EQ(air(), "#BIN-RX OK#" + std::to_string(binCrc(0, "x")) + "\r");
    rig.clock.advanceMs(CBinReceiveJob::kReportWaitSeconds * 1000);
    ch->tick();
    EXPECT_NE(shown(kClassTncEcho).find("CRC-Fehler: Sender 0"), std::string::npos)
        << "without a report the header's CRC is checked";
}

// The operator names the file for an announcement AutoBin could not use:
// the waiting sender is answered and the file arrives.
TEST_F(AutoBin, ReceptionTheOperatorStartsAnswersTheHeldHeader) {
    ASSERT_EQ(arrive("#BIN#5#MUCHTOOLONG.BIN\r"), AutoBinOutcome::AskOperator);
    EXPECT_EQ(air().find("#OK#"), std::string::npos) << "nobody answers before the operator";
    ASSERT_TRUE(ch->setJob(JobSlot::FileReceive, makeBinReceiveJob(*ch, rig.dir.path() / "chosen.bin", false)));
    EXPECT_NE(air().find("#OK#"), std::string::npos);
    receive("hello");
    EXPECT_EQ(file("chosen.bin"), "hello");
    // Held only once: the next reception waits for its own header.
    ch->destroyJob(JobSlot::FileReceive);
    clearAir();
    ASSERT_TRUE(ch->setJob(JobSlot::FileReceive, makeBinReceiveJob(*ch, rig.dir.path() / "next.bin", false)));
    EXPECT_EQ(air().find("#OK#"), std::string::npos);
}

}  // namespace
}  // namespace norva::test
