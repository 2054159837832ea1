// The engine thread: posted work runs in order on the engine thread, calls
// return results, ticks poll the TNCs, and shutdown runs the stop sequences.
// A tick that overruns still lets posted work and the bus through, and the
// next tick counts from the end of the one before.
#include <gtest/gtest.h>
#include <systemd/sd-bus.h>

#include <atomic>
#include <thread>

#include "app/Engine.h"
#include "dde/PrivateBus.h"
#include "hostmode/Tnc.h"
#include "support/Eventually.h"
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

// Real time plus whatever the test adds: a fake TNC "takes" time by moving
// it on, without sleeping. Waits move it too.
class ShiftedClock final : public Clock {
public:
    // Every reading of the monotonic time moves it on by this much.
    explicit ShiftedClock(std::int64_t perReadingMs = 0) : perReading_(perReadingMs) {}
    std::int64_t monotonicMs() const override { return real_.monotonicMs() + (shift_ += perReading_); }
    std::int64_t wallSeconds() const override { return real_.wallSeconds(); }
    LocalTime localTime() const override { return real_.localTime(); }
    void sleepMs(int ms) override { advance(ms); }
    void advance(std::int64_t ms) { shift_ += ms; }

private:
    RealClock real_;
    std::int64_t perReading_;
    mutable std::atomic<std::int64_t> shift_{0};
};

// A well-behaved firmware behind a port whose every write takes stepMs of
// the clock's time. Notes, for each write, the clock and the poll steps
// finished so far (engine thread; read under the mutex).
class SlowPort final : public ByteStream {
public:
    struct Log {
        std::mutex mutex;
        std::vector<std::pair<std::int64_t, std::uint64_t>> writes;  // clock, steps done
        bool recording = false;
    };
    SlowPort(ShiftedClock& clock, int stepMs, const Engine*& engine, Log& log)
        : clock_(clock), stepMs_(stepMs), engine_(engine), log_(log) {}

    int read(std::span<std::uint8_t> buf) override {
        const std::size_t n = std::min(buf.size(), pending_.size());
        std::copy_n(pending_.begin(), n, buf.begin());
        pending_.erase(0, n);
        return static_cast<int>(n);
    }
    int write(std::span<const std::uint8_t> data) override {
        {
            std::lock_guard lock(log_.mutex);
            if (log_.recording && engine_) log_.writes.emplace_back(clock_.monotonicMs(), engine_->steps());
        }
        clock_.advance(stepMs_);
        pending_ += fw_.respond(std::string(data.begin(), data.end()));
        return static_cast<int>(data.size());
    }
    bool waitReadable(int) override { return !pending_.empty(); }
    bool broken() const override { return false; }

private:
    ShiftedClock& clock_;
    int stepMs_;
    const Engine*& engine_;
    Log& log_;
    FakeFirmware fw_;
    std::string pending_;
};

TEST(EngineLoop, TheNextTickCountsFromTheEndOfASlowStep) {
    constexpr int kStepMs = 5;
    TempDir dir;
    ShiftedClock clock;
    Profile profile{dir.path() / "norva.ini"};
    profile.writeString("Tnc", "1", "1");
    profile.writeString("1", "TncName", "Slow");
    profile.writeInt("1", "Channels", 2);
    profile.writeString("1", "ComPort", "/dev/ttySLOW");
    profile.writeInt("1", "Connected", 1);
    RecordingUi ui;
    SlowPort::Log log;
    const Engine* running = nullptr;
    EngineConfig config;
    config.programDir = dir.path();
    config.tickMs = 1;
    config.openStream = [&](const std::string&, int, std::string*) {
        return std::unique_ptr<ByteStream>(std::make_unique<SlowPort>(clock, kStepMs, running, log));
    };
    Engine engine(config, profile, ui, clock);
    running = &engine;
    engine.start();
    ASSERT_TRUE(engine.call([&] { return engine.hostMode().tnc(1)->isOpen(); }));
    {
        std::lock_guard lock(log.mutex);
        log.recording = true;
    }
    // Writes of different poll steps belong to different ticks: a tick ends
    // with the first step that touched a port.
    std::vector<std::int64_t> gaps;
    ASSERT_TRUE(eventually([&] {
        std::lock_guard lock(log.mutex);
        gaps.clear();
        for (std::size_t i = 1; i < log.writes.size(); ++i)
            if (log.writes[i].second != log.writes[i - 1].second)
                gaps.push_back(log.writes[i].first - log.writes[i - 1].first);
        return gaps.size() >= 40;
    }));
    engine.shutdown();
    const auto early = std::count_if(gaps.begin(), gaps.end(), [&](std::int64_t g) { return g < kStepMs + config.tickMs; });
    EXPECT_EQ(early, 0) << "ticks that started the moment the step before them ended, of " << gaps.size();
}

// A session-bus client of its own, with a bounded wait for every answer.
class BusPeer {
public:
    explicit BusPeer(const std::string& address) {
        if (sd_bus_new(&bus_) < 0) return;
        sd_bus_set_address(bus_, address.c_str());
        sd_bus_set_bus_client(bus_, 1);
        sd_bus_set_method_call_timeout(bus_, 10'000'000);
        if (sd_bus_start(bus_) < 0) bus_ = sd_bus_flush_close_unref(bus_);
    }
    ~BusPeer() { sd_bus_flush_close_unref(bus_); }
    BusPeer(const BusPeer&) = delete;
    BusPeer& operator=(const BusPeer&) = delete;

    bool ok() const { return bus_ != nullptr; }
    bool hasOwner(const char* name) {
        sd_bus_message* reply = nullptr;
        int has = 0;
        const int r = sd_bus_call_method(bus_, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                         "org.freedesktop.DBus", "NameHasOwner", nullptr, &reply, "s", name);
        if (r >= 0) sd_bus_message_read(reply, "b", &has);
        sd_bus_message_unref(reply);
        return has != 0;
    }
    // Request of a DDE item; the error name when the call failed.
    std::string request(const char* path, const char* item, std::string* value) {
        sd_bus_error error = SD_BUS_ERROR_NULL;
        sd_bus_message* reply = nullptr;
        const int r =
            sd_bus_call_method(bus_, "org.norva.norva", path, "org.norva.Dde", "Request", &error, &reply, "s", item);
        std::string why = r < 0 ? (error.name ? error.name : "failed") : "";
        const char* text = nullptr;
        if (r >= 0 && sd_bus_message_read(reply, "s", &text) >= 0 && text) *value = text;
        sd_bus_error_free(&error);
        sd_bus_message_unref(reply);
        return why;
    }

private:
    sd_bus* bus_ = nullptr;
};

TEST(EngineLoop, TicksThatAreAlwaysOverdueStillLetWorkAndTheBusThrough) {
    PrivateBus daemon;
    if (!requireBus(daemon)) return;
    TempDir dir;
    // Time moves on with every look at the clock: each tick is overdue the
    // moment the one before it ends, as behind a TNC that always answers late.
    ShiftedClock clock(2);
    Profile profile{dir.path() / "norva.ini"};
    profile.writeString("Tnc", "1", "1");
    profile.writeString("1", "TncName", "Virt");
    profile.writeInt("1", "Channels", 2);
    profile.writeString("1", "ComPort", "dde");
    profile.writeInt("1", "Connected", 1);
    RecordingUi ui;
    EngineConfig config;
    config.programDir = dir.path();
    config.busAddress = daemon.address();
    Engine engine(config, profile, ui, clock);
    engine.start();

    const std::uint64_t before = engine.steps();
    EXPECT_EQ(engine.call([] { return 7; }), 7);
    BusPeer peer(daemon.address());
    ASSERT_TRUE(peer.ok());
    ASSERT_TRUE(eventually([&] { return peer.hasOwner("org.norva.norva"); })) << "the bus is never served";
    std::string call = "unset";
    EXPECT_EQ(peer.request("/org/norva/topic/01/01", "DESTCALL", &call), "");
    EXPECT_EQ(call, "");
    EXPECT_EQ(engine.call([] { return 8; }), 8);
    EXPECT_GT(engine.steps(), before) << "and the TNC is polled all the while";
    engine.shutdown();
}

}  // namespace
}  // namespace norva::test
