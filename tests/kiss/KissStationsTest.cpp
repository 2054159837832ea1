// Two whole stations (engine, channels, remote server, #BIN# jobs), each on
// a KISS TNC reached over TCP, joined by a relay that loses, duplicates and
// delays frames: a #BIN# file arrives identical at every loss rate, a
// vanished peer ends in LINK FAILURE, and a restarted modem is reconnected.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>

#include "KissRelay.h"
#include "channel/StationRig.h"
#include "channel/TncChannel.h"
#include "kiss/KissTnc.h"

namespace norva::test {
namespace {

namespace fs = std::filesystem;

// A station of the shared rig on a KISS modem at 127.0.0.1:port, with the
// KISS settings of the test and every trace line kept.
struct KissStation : Station {
    kiss::KissSettings settings = [] {
        kiss::KissSettings s;
        s.retries = 10;
        return s;
    }();
    std::mutex mutex;
    std::string traceText;

    // The first channels send 256-byte frames.
    void start(int port, const std::string& call) {
        settings.myCall = call;
        settings.channels = 4;
        settings.maxFrame = 4;
        settings.t2Ms = 50;
        settings.traceFrames = true;
        extraIni = "[Link2]\r\nPacklen=256\r\n[Link3]\r\nPacklen=256\r\n";
        traceSink = [this](std::string_view line) { note(line); };
        openStream = [this](const std::string& name, int baud, std::string* error) {
            if (kiss::isKissPortName(name))
                return kiss::openKissTnc(name, baud, settings, clock, error, [this](std::string_view l) { note(l); });
            return openStreamByName(name, baud, error);
        };
        Station::start("kiss:tcp:127.0.0.1:" + std::to_string(port), call);
    }
    // The engine calls note() until it is gone.
    ~KissStation() { stop(); }
    void note(std::string_view line) {
        std::lock_guard lock(mutex);
        traceText.append(std::to_string(clock.monotonicMs() % 100000) + " ").append(line).push_back('\n');
    }
    std::string trace() {
        std::lock_guard lock(mutex);
        return traceText;
    }
};

std::string everyByte(std::size_t n) {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 13 + i / 256) % 256);
    return s;
}

// A (DA1AAA) and B (DB1BBB) on the relay, A connected to B on channel 1.
struct Pair {
    KissRelay relay;
    KissStation a;
    KissStation b;
    explicit Pair(KissRelay::Faults f) : relay(f, 11) {}
    ::testing::AssertionResult connect(int retries = 10, int frackMs = 1000) {
        if (!relay.start()) return ::testing::AssertionFailure() << "relay";
        for (KissStation* st : {&a, &b}) {
            st->settings.retries = retries;
            st->settings.frackMs = frackMs;
        }
        a.start(relay.port(0), "DA1AAA");
        b.start(relay.port(1), "DB1BBB");
        if (!eventually([&] { return a.tncOpen() && b.tncOpen(); }))
            return ::testing::AssertionFailure() << "TNCs not open";
        a.console->line(":ch 1/1");
        a.console->line("\\e c db1bbb");
        if (!eventually([&] { return a.linkState(1) == 4 && b.linkState(1) == 4; }, 15000))
            return ::testing::AssertionFailure() << "no link\n" << a.trace() << b.output();
        return ::testing::AssertionSuccess();
    }
};

TEST(KissStations, BinTransferArrivesWholeAtEveryLossRate) {
    for (int loss : {1, 10, 30}) {
        SCOPED_TRACE("loss " + std::to_string(loss) + " %");
        Pair p({.lossPercent = loss, .dupPercent = 3, .maxDelayMs = 15});
        const fs::path area = p.b.dir.path() / "area";
        const fs::path inbox = p.a.dir.path() / "in";
        fs::create_directories(area);
        fs::create_directories(inbox);
        // At 30 % loss both ways a frame and its answer get through one time in two:
        // a smaller file keeps the run short.
        const std::size_t size = loss >= 30 ? 6000 : 20000;
        const std::string binary = everyByte(size);
        writeFile(area / "data.bin", binary);
        // A channel this bad needs more patience than the default N2.
        ASSERT_TRUE(p.connect(loss >= 30 ? 25 : 10));
        p.b.engine->call([&] { return p.b.profile->writeString("frame", "RemoteDir", area.string()); });
        p.a.engine->call([&] { return p.a.profile->writeString("frame", "BinReadFileDir", inbox.string()); });
        p.a.onChannel(1, [](CTncChannel& c) { return c.settings().autoBin = true; });
        const auto started = std::chrono::steady_clock::now();
        p.a.console->line("//rbin data.bin");
        ASSERT_TRUE(eventually([&] { return readFile(inbox / "DATA.BIN") == binary; }, 60000))
            << p.relay.counts() << "\n" << p.a.trace().substr(0, 3000) << "\n" << p.b.trace().substr(0, 3000);
        const auto secs =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        std::printf("loss %d %%: %zu bytes in %.1f s, %llu frames, %llu lost, %llu duplicated\n", loss, size, secs,
                    static_cast<unsigned long long>(p.relay.frames()), static_cast<unsigned long long>(p.relay.lost()),
                    static_cast<unsigned long long>(p.relay.duplicated()));
        if (std::getenv("KISS_TRACE")) writeFile("/tmp/kiss-b-" + std::to_string(loss) + ".txt", p.b.trace());
        if (loss >= 10) {
            EXPECT_GT(p.relay.lost(), 0u);
        }
    }
}

TEST(KissStations, VanishedPeerEndsInLinkFailure) {
    Pair p({});
    ASSERT_TRUE(p.connect(3, 300));
    p.relay.setVanished(1, true);
    p.a.console->line("Hallo, noch da?");
    ASSERT_TRUE(eventually([&] { return p.a.output().find("LINK FAILURE with DB1BBB") != std::string::npos; }, 20000))
        << p.a.trace();
    EXPECT_TRUE(eventually([&] { return p.a.linkState(1) == 0; }));
    EXPECT_NE(p.a.trace().find("(N2 retries of poll)"), std::string::npos);
}

TEST(KissStations, RestartedModemIsReconnectedAndTheLinkCarriesOn) {
    Pair p({});
    ASSERT_TRUE(p.connect());
    p.relay.dropConnection(0);
    ASSERT_TRUE(eventually([&] { return p.relay.accepted(0) == 2; }, 10000)) << p.a.trace();
    EXPECT_NE(p.a.trace().find("kiss: modem reopened"), std::string::npos);
    p.a.console->line("nach dem Neustart");
    EXPECT_TRUE(eventually([&] { return p.b.output().find("nach dem Neustart") != std::string::npos; }, 15000))
        << p.a.trace();
    EXPECT_EQ(p.a.linkState(1), 4);
}

}  // namespace
}  // namespace norva::test
