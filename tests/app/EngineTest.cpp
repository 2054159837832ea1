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

// Posts work whenever a TNC reports its stop sequence, as a GUI action
// fired while the program closes would.
struct PostingUi : RecordingUi {
    std::function<void()> onStop;
    void statusMessage(std::string_view t) override {
        RecordingUi::statusMessage(t);
        if (onStop && t.find("disconnect...") != std::string_view::npos) onStop();
    }
};

TEST(Engine, WorkPostedDuringShutdownNeverRunsOffTheEngineOrOnAGoneCore) {
    TempDir dir;
    RealClock clock;
    Profile profile{dir.path() / "norva.ini"};
    profile.writeString("Tnc", "1", "1");
    profile.writeString("1", "TncName", "Virt");
    profile.writeInt("1", "Channels", 2);
    profile.writeString("1", "ComPort", "dde");
    profile.writeInt("1", "Connected", 1);
    PostingUi ui;
    EngineConfig config;
    config.programDir = dir.path();
    Engine engine(config, profile, ui, clock);

    EXPECT_EQ(engine.call([] { return 7; }), 7) << "before start nothing runs concurrently";
    engine.start();

    std::atomic<int> ran{0}, offEngine{0}, withoutCore{0};
    auto work = [&] {
        ++ran;
        if (!engine.onEngineThread()) ++offEngine;
        if (!engine.hasCore()) ++withoutCore;
    };
    bool postedDuringStop = false;
    ui.onStop = [&] { postedDuringStop = engine.post(work); };

    std::atomic<bool> hammering{true};
    std::thread gui([&] {
        while (hammering) {
            engine.post(work);
            engine.call([&] {
                work();
                return 0;
            });
        }
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    engine.shutdown();
    hammering = false;
    gui.join();

    EXPECT_TRUE(postedDuringStop);
    const int before = ran.load();
    EXPECT_FALSE(engine.post(work)) << "dropped, not run here";
    EXPECT_EQ(engine.call([&] {
        work();
        return 9;
    }), 0);
    EXPECT_EQ(ran.load(), before);
    EXPECT_GT(before, 0);
    EXPECT_EQ(offEngine.load(), 0);
    EXPECT_EQ(withoutCore.load(), 0);
    EXPECT_NE(dir.read("system.log").find("dropped"), std::string::npos);
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
