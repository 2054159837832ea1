// The engine thread: posted work runs in order on the engine thread, calls
// return results, ticks poll the TNCs, and shutdown runs the stop sequences.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "app/Engine.h"
#include "hostmode/Tnc.h"
#include "support/ScriptedStream.h"
#include "support/TempDir.h"

namespace norva::test {
namespace {

struct EngineRig {
    TempDir dir;
    RealClock clock;
    Profile profile{dir.path() / "norva.ini"};
    RecordingUi ui;  // touched by the engine thread only while the test waits
    std::unique_ptr<Engine> engine;

    void make() {
        EngineConfig config;
        config.programDir = dir.path();
        engine = std::make_unique<Engine>(config, profile, ui, clock);
    }
};

TEST(Engine, PostedWorkRunsInOrderOnTheEngineThread) {
    EngineRig rig;
    rig.make();
    rig.engine->start();
    std::vector<int> order;
    std::atomic<bool> onEngine{true};
    for (int i = 0; i < 100; ++i)
        rig.engine->post([&, i] {
            order.push_back(i);
            if (!rig.engine->onEngineThread()) onEngine = false;
        });
    const int n = rig.engine->call([&] { return static_cast<int>(order.size()); });
    EXPECT_EQ(n, 100);
    EXPECT_TRUE(onEngine);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(order[static_cast<std::size_t>(i)], i);
    rig.engine->shutdown();
}

TEST(Engine, CallsWithoutARunningThreadRunInPlace) {
    EngineRig rig;
    rig.make();
    EXPECT_EQ(rig.engine->call([] { return 7; }), 7);
    rig.engine->start();
    rig.engine->shutdown();
    EXPECT_EQ(rig.engine->call([] { return 8; }), 8);
    int ran = 0;
    rig.engine->post([&] { ++ran; });
    EXPECT_EQ(ran, 1) << "work posted after shutdown is not lost";
}

TEST(Engine, TicksPollTheTncsAndShutdownStopsThem) {
    EngineRig rig;
    rig.profile.writeString("Tnc", "1", "1");
    rig.profile.writeString("1", "TncName", "Virt");
    rig.profile.writeInt("1", "Channels", 4);
    rig.profile.writeString("1", "ComPort", "dde");
    rig.profile.writeInt("1", "Connected", 1);
    rig.make();
    rig.engine->start();
    const auto start = rig.clock.monotonicMs();
    while (rig.engine->steps() < 50 && rig.clock.monotonicMs() - start < 5000)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_GE(rig.engine->steps(), 50u);
    const bool open = rig.engine->call([&] { return rig.engine->hostMode().tnc(1)->isOpen(); });
    EXPECT_TRUE(open);
    rig.engine->shutdown();
    const std::string log = rig.dir.read("system.log");
    EXPECT_NE(log.find("Tnc Virt           Start...->  connected\r\n"), std::string::npos);
    EXPECT_NE(log.find("Tnc Virt           Stop ...->  disconnected\r\n"), std::string::npos);
}

}  // namespace
}  // namespace norva::test
