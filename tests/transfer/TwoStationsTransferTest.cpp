// Two headless stations on simulated TNCs joined by the simulated radio move
// files: a 100 kB #BIN# file with every byte value each way (one reception
// started by the operator, one automatic on the header), a text file with
// stamp line and end marker, and a disconnect in the middle of a transfer.
#include <gtest/gtest.h>

#include <regex>

#include "StationRig.h"
#include "channel/ChannelHooks.h"
#include "transfer/TransferLog.h"
#include "transfer/TransferStatus.h"
#include "transfer/Transfers.h"

namespace norva::test {
namespace {

using tncsim::SimTnc;

// Stands in for the remote command scanner: an arriving header starts the
// automatic reception, as it does on a channel with AutoBin.
struct AutoBinScanner : RemoteCommandHook {
    void scan(CTncChannel& ch, const ReceiveRecord& record) override {
        if (record.text().find("#BIN#") != std::string_view::npos) startAutoBin(ch, record.text());
    }
};

std::string everyByte(std::size_t n, int step) {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * static_cast<std::size_t>(step) + i / 256) % 256);
    return s;
}

class TwoStationsTransfer : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(serverA.start()) << serverA.error();
        ASSERT_TRUE(serverB.start()) << serverB.error();
        a.start(serverA.slavePath(), "DA1AAA");
        b.start(serverB.slavePath(), "DB1BBB");
        ASSERT_TRUE(eventually([&] { return a.tncOpen() && b.tncOpen(); })) << a.errors() << b.errors();
        ASSERT_TRUE(eventually([&] {
            return serverB.withTnc([](SimTnc& t) { return t.channelCall(1); }) == "DB1BBB";
        }));
        a.console->line(":ch 1/1");
        a.console->line("\\e c db1bbb");
        ASSERT_TRUE(eventually([&] { return a.linkState(1) == 4 && b.linkState(1) == 4; }))
            << a.output() << b.output();
        for (Station* s : {&a, &b})
            s->onChannel(1, [](CTncChannel& c) {
                c.settings().packlen = 256;
                return true;
            });
    }

    bool idle(Station& s) {
        return s.onChannel(1, [](CTncChannel& c) {
            return !c.job(JobSlot::Send) && !c.job(JobSlot::FileReceive) && c.transferQueue().empty();
        });
    }
    bool sendBin(Station& s, const std::filesystem::path& file) {
        return s.onChannel(1, [file](CTncChannel& c) { return enqueueTransfer(c, makeBinSendJob(c, file, false)); });
    }

    tncsim::Radio radio{tncsim::RadioConfig{300, 2000, 2, 20}};
    tncsim::PtyServer serverA{radio.addTnc({})};
    tncsim::PtyServer serverB{radio.addTnc({})};
    Station a;
    Station b;
};

TEST_F(TwoStationsTransfer, HundredKilobytesWithEveryByteValueCrossBothWaysIdentically) {
    const std::string toB = everyByte(100 * 1024, 7);
    const std::string toA = everyByte(100 * 1024 + 17, 13);
    a.dir.write("up.bin", toB);
    b.dir.write("down.bin", toA);

    // A to B: B's operator receives into a chosen file.
    ASSERT_TRUE(b.onChannel(1, [&](CTncChannel& c) {
        return c.setJob(JobSlot::FileReceive, makeBinReceiveJob(c, b.dir.path() / "got.bin", false));
    }));
    ASSERT_TRUE(sendBin(a, a.dir.path() / "up.bin"));
    ASSERT_TRUE(eventually([&] { return idle(a) && idle(b); }, 120000)) << a.output() << b.output();
    EXPECT_TRUE(b.dir.read("got.bin") == toB) << "size " << b.dir.read("got.bin").size();

    // B to A: A receives automatically on the header, into its own receive
    // folder (BinReadFileDir is empty), never among its settings.
    AutoBinScanner scanner;
    a.engine->call([&] { a.engine->context().channels.hooks().setRemote(&scanner); });
    ASSERT_TRUE(sendBin(b, b.dir.path() / "down.bin"));
    ASSERT_TRUE(eventually([&] { return std::filesystem::exists(a.dir.path() / "received/DOWN.BIN"); }, 20000))
        << a.output();
    ASSERT_TRUE(eventually([&] { return idle(a) && idle(b); }, 120000)) << a.output() << b.output();
    a.engine->call([&] { a.engine->context().channels.hooks().setRemote(nullptr); });
    EXPECT_TRUE(a.dir.read("received/DOWN.BIN") == toA) << "size " << a.dir.read("received/DOWN.BIN").size();
    EXPECT_FALSE(std::filesystem::exists(a.dir.path() / "DOWN.BIN"));

    // Both files.log files hold one line per side and direction, none aborted or failed.
    const std::string logA = a.dir.read("files.log");
    const std::string logB = b.dir.read("files.log");
    EXPECT_NE(logA.find("up.bin           ->  DB1BBB    102400 Byte"), std::string::npos) << logA;
    EXPECT_NE(logA.find("DOWN.BIN         <-  DB1BBB    102417 Byte"), std::string::npos) << logA;
    EXPECT_NE(logB.find("got.bin          <-  DA1AAA-1  102400 Byte"), std::string::npos) << logB;
    EXPECT_NE(logB.find("down.bin         ->  DA1AAA-1  102417 Byte"), std::string::npos) << logB;
    for (const std::string& log : {logA, logB}) {
        EXPECT_EQ(log.find("abgebrochen"), std::string::npos) << log;
        EXPECT_EQ(log.find("CRC-Fehler"), std::string::npos) << log;
    }
}

TEST_F(TwoStationsTransfer, TextFileArrivesWithStampLineAndEndMarker) {
    std::string text;
    for (int i = 0; i < 40; ++i) text += "Zeile " + std::to_string(i) + " des Rundspruchs\r";
    a.dir.write("qst.txt", text);
    ASSERT_TRUE(a.onChannel(1, [&](CTncChannel& c) {
        return enqueueTransfer(c, makeTextFileSendJob(c, a.dir.path() / "qst.txt", true, false));
    }));
    // B captures what arrives, as the operator's log does.
    ASSERT_TRUE(b.onChannel(1, [&](CTncChannel& c) {
        return c.setJob(JobSlot::Capture, makeCaptureJob(c, b.dir.path() / "cap.txt", false, true));
    }));
    // The capture keeps text in memory: close it to look, open it again to go on.
    const auto capPath = b.dir.path() / "cap.txt";
    ASSERT_TRUE(eventually([&] {
        return b.onChannel(1, [&](CTncChannel& c) {
            c.destroyJob(JobSlot::Capture);
            const bool done = b.dir.read("cap.txt").find("***end") != std::string::npos;
            if (!done) c.setJob(JobSlot::Capture, makeCaptureJob(c, capPath, false, false));
            return done;
        });
    }, 30000)) << b.output();
    std::string expected;
    for (char c : text) expected += c == '\r' ? std::string("\r\n") : std::string(1, c);
    const std::string cap = b.dir.read("cap.txt");
    ASSERT_EQ(cap.substr(0, expected.size()), expected);
    const std::string tail = cap.substr(expected.size());
    EXPECT_TRUE(std::regex_match(tail, std::regex("\\d\\d\\.\\d\\d\\.\\d{4} [ \\d]\\d:\\d\\d NORVA426 S: DA1AAA(-1)?\r\n\\*\\*\\*end")))
        << tail;
}

TEST_F(TwoStationsTransfer, DisconnectInTheMiddleLeavesThePartAndLogsAnAbortOnBothSides) {
    const std::string data = everyByte(1024 * 1024, 3);  // far more than crosses before the disconnect
    a.dir.write("big.bin", data);
    ASSERT_TRUE(b.onChannel(1, [&](CTncChannel& c) {
        return c.setJob(JobSlot::FileReceive, makeBinReceiveJob(c, b.dir.path() / "part.bin", false));
    }));
    ASSERT_TRUE(sendBin(a, a.dir.path() / "big.bin"));
    ASSERT_TRUE(eventually([&] {
        std::error_code ec;
        return std::filesystem::file_size(b.dir.path() / "part.bin", ec) > 20000;
    }, 30000));
    b.console->line(":ch 1/1");
    b.console->line("\\e d");
    ASSERT_TRUE(eventually([&] { return idle(a) && idle(b); }, 20000));
    const std::string part = b.dir.read("part.bin");
    EXPECT_LT(part.size(), data.size());
    EXPECT_EQ(part, data.substr(0, part.size())) << "what arrived is on disk, unchanged";
    EXPECT_NE(b.dir.read("files.log").find("abgebrochen"), std::string::npos) << b.dir.read("files.log");
    EXPECT_NE(a.dir.read("files.log").find("abgebrochen"), std::string::npos) << a.dir.read("files.log");
}

}  // namespace
}  // namespace norva::test
