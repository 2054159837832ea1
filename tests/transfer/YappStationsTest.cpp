// Two headless stations on simulated TNCs joined by the simulated radio run
// YAPP against each other: a file with every byte value each way while host
// link replies get lost, a cancel from either side, the resume of a transfer
// cut by a cancel or a disconnect from its kept part, and //YGet and //YPut
// of a remote area.
#include <gtest/gtest.h>

#include <filesystem>

#include "StationRig.h"
#include "transfer/TransferStatus.h"
#include "transfer/Transfers.h"

namespace norva::test {
namespace {

namespace fs = std::filesystem;
using tncsim::SimTnc;

std::string everyByte(std::size_t n, int step) {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * static_cast<std::size_t>(step) + i / 256) % 256);
    return s;
}

std::uintmax_t sizeOf(const fs::path& p) {
    std::error_code ec;
    const auto n = fs::file_size(p, ec);
    return ec ? 0 : n;
}

class YappStations : public ::testing::Test {
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
        for (Station* s : {&a, &b}) s->console->line(":ch 1/1");
        a.console->line("\\e c db1bbb");
        // Under a loaded machine the link states come with the slower status polls.
        ASSERT_TRUE(eventually([&] { return a.linkState(1) == 4 && b.linkState(1) == 4; }, 30000))
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
    bool bothIdle(int ms = 120000) { return eventually([&] { return idle(a) && idle(b); }, ms); }

    tncsim::Radio radio{tncsim::RadioConfig{300, 2000, 2, 20}};
    tncsim::PtyServer serverA{radio.addTnc({})};
    tncsim::PtyServer serverB{radio.addTnc({})};
    Station a;
    Station b;
};

TEST_F(YappStations, EveryByteValueCrossesBothWaysIdenticallyAndALostFrameNeverMakesAWrongFile) {
    const std::string toB = everyByte(100 * 1024, 7);
    const std::string toA = everyByte(40 * 1024 + 17, 13);
    a.dir.write("up.bin", toB);
    b.dir.write("down.bin", toA);
    const fs::path got = b.dir.path() / "received/got.bin";
    const fs::path gotPart = fs::path(got) += ".part";

    // A to B from the consoles: B's relative name lands in its receive folder.
    const auto transferToB = [&] {
        b.console->line(":recvyapp got.bin");
        EXPECT_TRUE(eventually([&] { return !idle(b); }));
        a.console->line(":sendyapp up.bin");
    };
    transferToB();
    // Replies lost on both host links in the middle of the data. On A's link
    // that costs a resynchronisation and never a duplicate frame; on B's a
    // lost reply may carry a data frame away, which YAPP cannot repeat.
    for (std::uintmax_t mark : {10000u, 30000u, 50000u, 70000u}) {
        ASSERT_TRUE(eventually([&] { return sizeOf(gotPart) > mark || fs::exists(got); }, 60000))
            << a.output() << b.output();
        for (auto* s : {&serverA, &serverB}) s->withTnc([](SimTnc& t) { t.dropReplies(1); });
    }
    ASSERT_TRUE(bothIdle()) << a.output() << b.output();
    for (Station* s : {&a, &b}) EXPECT_NE(s->dir.read("system.log").find("Resynch OK"), std::string::npos) << "a loss took place";
    EXPECT_NE(b.output().find("YAPP: got.bin, 102400 Byte, YAPPC"), std::string::npos) << b.output();
    if (!fs::exists(got)) {
        // Never a file with a hole, neither stored nor kept for a resume;
        // both sides know the file did not arrive. The next try delivers it.
        EXPECT_NE(b.output().find("Byte angekommen, verworfen"), std::string::npos) << b.output();
        EXPECT_FALSE(fs::exists(gotPart));
        EXPECT_NE(a.output().find("YAPP von der Gegenstation abgebrochen: Data missing"), std::string::npos)
            << a.output();
        EXPECT_NE(a.dir.read("files.log").find("abgebrochen"), std::string::npos);
        transferToB();
        ASSERT_TRUE(bothIdle()) << a.output() << b.output();
    }
    EXPECT_TRUE(readFile(got) == toB) << "size " << sizeOf(got);
    EXPECT_FALSE(fs::exists(gotPart));

    // B to A into a directory: the name comes from the header.
    const fs::path inbox = a.dir.path() / "inbox";
    fs::create_directories(inbox);
    a.console->line(":recvyapp " + inbox.string());
    ASSERT_TRUE(eventually([&] { return !idle(a); }));
    b.console->line(":sendyapp down.bin");
    ASSERT_TRUE(bothIdle()) << a.output() << b.output();
    EXPECT_TRUE(readFile(inbox / "down.bin") == toA) << "size " << sizeOf(inbox / "down.bin");

    const std::string logA = a.dir.read("files.log");
    const std::string logB = b.dir.read("files.log");
    EXPECT_NE(logA.find("up.bin           ->  DB1BBB    102400 Byte"), std::string::npos) << logA;
    EXPECT_NE(logA.find("down.bin         <-  DB1BBB     40977 Byte"), std::string::npos) << logA;
    EXPECT_NE(logB.find("got.bin          <-  DA1AAA-1  102400 Byte"), std::string::npos) << logB;
    EXPECT_NE(logB.find("down.bin         ->  DA1AAA-1   40977 Byte"), std::string::npos) << logB;
    // The second file crossed without loss on either side.
    for (const std::string& log : {logA, logB}) {
        const auto at = log.find("down.bin");
        EXPECT_EQ(log.substr(at, log.find('\n', at) - at).find("abgebrochen"), std::string::npos) << log;
    }
    // Not one YAPP byte reached a window: no header, no checksum-mode reply.
    EXPECT_EQ(b.output().find("586F"), std::string::npos);
    EXPECT_EQ(a.output().find(std::string("up.bin\0", 7)), std::string::npos);
}

TEST_F(YappStations, CancelFromEitherSideAndTheCutTransferResumesFromItsPart) {
    const std::string data = everyByte(200 * 1024, 3);
    a.dir.write("big.bin", data);
    const fs::path part = b.dir.path() / "received/big.bin.part";

    // B's operator stops the reception: A hears the cancel and ends too.
    b.console->line(":recvyapp big.bin");
    ASSERT_TRUE(eventually([&] { return !idle(b); }));
    a.console->line(":sendyapp big.bin");
    ASSERT_TRUE(eventually([&] { return sizeOf(part) > 30000; }, 60000)) << a.output() << b.output();
    b.console->line(":recvyapp off");
    ASSERT_TRUE(bothIdle(30000)) << a.output() << b.output();
    EXPECT_NE(a.output().find("YAPP von der Gegenstation abgebrochen: Cancelled by user"), std::string::npos)
        << a.output();
    EXPECT_NE(a.dir.read("files.log").find("abgebrochen"), std::string::npos);
    const std::string kept = readFile(part);
    ASSERT_LT(kept.size(), data.size());
    EXPECT_EQ(kept, data.substr(0, kept.size())) << "what arrived is on disk, unchanged";

    // The same transfer again: only the tail travels, the file is whole.
    b.console->line(":recvyapp big.bin");
    ASSERT_TRUE(eventually([&] { return !idle(b); }));
    a.console->line(":sendyapp big.bin");
    ASSERT_TRUE(bothIdle()) << a.output() << b.output();
    EXPECT_TRUE(b.dir.read("received/big.bin") == data) << "size " << sizeOf(b.dir.path() / "received/big.bin");
    EXPECT_FALSE(fs::exists(part));
    const std::string resumed = "fortgesetzt bei " + std::to_string(kept.size());
    EXPECT_NE(a.output().find(resumed), std::string::npos) << a.output();
    EXPECT_NE(b.output().find(resumed), std::string::npos) << b.output();

    // Now A's operator stops its sending: B hears it and keeps its part.
    b.console->line(":recvyapp again.bin");
    ASSERT_TRUE(eventually([&] { return !idle(b); }));
    ASSERT_TRUE(a.onChannel(1, [&](CTncChannel& c) {
        return enqueueTransfer(c, makeYappSendJob(c, a.dir.path() / "big.bin", false));
    }));
    const fs::path part2 = b.dir.path() / "received/again.bin.part";
    ASSERT_TRUE(eventually([&] { return sizeOf(part2) > 10000; }, 60000)) << a.output() << b.output();
    ASSERT_TRUE(a.onChannel(1, [](CTncChannel& c) { return cancelYapp(c, JobSlot::Send); }));
    ASSERT_TRUE(bothIdle(30000)) << a.output() << b.output();
    EXPECT_NE(b.output().find("YAPP von der Gegenstation abgebrochen: Cancelled by user"), std::string::npos)
        << b.output();
    const std::string kept2 = readFile(part2);
    EXPECT_EQ(kept2, data.substr(0, kept2.size()));
    EXPECT_FALSE(fs::exists(b.dir.path() / "received/again.bin"));
}

TEST_F(YappStations, ATransferCutByADisconnectResumesAfterTheNextConnect) {
    const std::string data = everyByte(300 * 1024, 5);
    a.dir.write("cut.bin", data);
    const fs::path part = b.dir.path() / "received/cut.bin.part";
    b.console->line(":recvyapp cut.bin");
    ASSERT_TRUE(eventually([&] { return !idle(b); }));
    a.console->line(":sendyapp cut.bin");
    ASSERT_TRUE(eventually([&] { return sizeOf(part) > 20000; }, 60000)) << a.output() << b.output();
    b.console->line("\\e d");
    ASSERT_TRUE(bothIdle(30000)) << a.output() << b.output();
    const std::string kept = readFile(part);
    ASSERT_LT(kept.size(), data.size());
    EXPECT_EQ(kept, data.substr(0, kept.size()));
    EXPECT_NE(a.dir.read("files.log").find("abgebrochen"), std::string::npos);
    EXPECT_NE(b.dir.read("files.log").find("abgebrochen"), std::string::npos);

    ASSERT_TRUE(eventually([&] { return a.linkState(1) == 0 && b.linkState(1) == 0; }, 30000));
    a.console->line("\\e c db1bbb");
    ASSERT_TRUE(eventually([&] { return a.linkState(1) == 4 && b.linkState(1) == 4; }, 30000)) << a.output();
    b.console->line(":recvyapp cut.bin");
    ASSERT_TRUE(eventually([&] { return !idle(b); }));
    a.console->line(":sendyapp cut.bin");
    ASSERT_TRUE(bothIdle()) << a.output() << b.output();
    EXPECT_TRUE(b.dir.read("received/cut.bin") == data) << "size " << sizeOf(b.dir.path() / "received/cut.bin");
    EXPECT_NE(b.output().find("fortgesetzt bei " + std::to_string(kept.size())), std::string::npos) << b.output();
}

class YappRemote : public YappStations {
protected:
    void SetUp() override {
        YappStations::SetUp();
        area = b.dir.path() / "area";
        fs::create_directories(area);
        b.engine->call([&] { return b.profile->writeString("frame", "RemoteDir", area.string()); });
    }
    fs::path area;
};

TEST_F(YappRemote, StationFetchesAndDeliversFilesOfTheAreaByYapp) {
    const std::string offered = everyByte(30000, 11);
    writeFile(area / "data.bin", offered);
    writeFile(area / "taken.bin", "old");
    ASSERT_TRUE(eventually([&] { return a.output().find("//h fuer Hilfe") != std::string::npos; })) << a.output();

    // //YGet: A's reception waits first, then B's sender starts on the command.
    const fs::path inbox = a.dir.path() / "inbox";
    fs::create_directories(inbox);
    a.console->line(":recvyapp " + inbox.string());
    ASSERT_TRUE(eventually([&] { return !idle(a); }));
    a.console->line("//yget data.bin");
    ASSERT_TRUE(eventually([&] { return readFile(inbox / "data.bin") == offered; }, 60000))
        << a.output() << b.output();
    ASSERT_TRUE(bothIdle()) << a.output() << b.output();

    // //YPut: refused for a taken name and a path, then stored in the area.
    a.console->line("//yput taken.bin");
    ASSERT_TRUE(eventually([&] { return a.output().find("Datei existiert bereits") != std::string::npos; }));
    a.console->line("//yput ../escape.bin");
    ASSERT_TRUE(eventually([&] { return a.output().find("nicht erlaubt") != std::string::npos; })) << a.output();
    const std::string upload = everyByte(20000, 5);
    a.dir.write("up.bin", upload);
    a.console->line("//yput up.bin");
    ASSERT_TRUE(eventually([&] { return a.output().find("Bitte starten Sie die YAPP-Uebertragung.") != std::string::npos; }))
        << a.output();
    a.console->line(":sendyapp up.bin");
    ASSERT_TRUE(eventually([&] { return readFile(area / "up.bin") == upload; }, 60000)) << a.output() << b.output();
    ASSERT_TRUE(bothIdle()) << a.output() << b.output();
    EXPECT_EQ(readFile(area / "taken.bin"), "old");
    EXPECT_FALSE(fs::exists(b.dir.path() / "escape.bin"));
    // The station gets its prompt after each transfer.
    EXPECT_TRUE(eventually([&] { return b.dir.read("files.log").find("up.bin") != std::string::npos; }));
}

}  // namespace
}  // namespace norva::test
