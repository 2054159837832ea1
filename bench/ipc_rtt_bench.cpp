// The IPC round trip while a slow TNC is busy, measured in one run: a
// private dbus-daemon, a headless engine serving it, and one TNC on the
// simulator at 1200 baud with a 100 ms frame interval (every reply of a poll
// step comes late, as from a real TNC on a slow line). A client in this
// program calls Request("DESTCALL") on topic 01/01 and times the answer, in
// blocks that alternate between an idle TNC and one carrying monitor frames,
// so the machine's load weighs on both alike. Prints p50/p99/max of both and
// their ratios. No timing is asserted; the exit code says only whether every
// call was answered.
// Usage: ipc_rtt_bench [CALLS_PER_BLOCK]   (default 10; 3 blocks of each kind, about 25 s)
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "app/Engine.h"
#include "dde/PrivateBus.h"
#include "platform/Clock.h"
#include "platform/Profile.h"
#include "platform/UiPort.h"
#include "tncsim/PtyServer.h"
#include "tncsim/Radio.h"

using namespace norva;
namespace fs = std::filesystem;

namespace {

constexpr int kBlocks = 3;  // of each kind
constexpr int kMonitorSlot = 1;  // TNC 1, channel 0

std::int64_t nowNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

double percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[static_cast<std::size_t>(p * static_cast<double>(v.size() - 1))];
}

// Counts the monitor texts that reach the output pane.
class CountingUi : public NullUiPort {
public:
    void appendText(int slot, int, std::string_view) override {
        if (slot == kMonitorSlot) monitorTexts.fetch_add(1);
    }
    std::atomic<std::uint64_t> monitorTexts{0};
};

// The client: one connection, used only by the thread that made it.
class Client {
public:
    explicit Client(const std::string& address) {
        if (sd_bus_new(&bus_) < 0) return;
        sd_bus_set_address(bus_, address.c_str());
        sd_bus_set_bus_client(bus_, 1);
        sd_bus_set_method_call_timeout(bus_, 10'000'000);
        if (sd_bus_start(bus_) < 0) bus_ = sd_bus_flush_close_unref(bus_);
    }
    ~Client() { sd_bus_flush_close_unref(bus_); }
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    bool ok() const { return bus_ != nullptr; }
    bool serviceUp() {
        sd_bus_message* reply = nullptr;
        int has = 0;
        if (sd_bus_call_method(bus_, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                               "NameHasOwner", nullptr, &reply, "s", "org.norva.norva") >= 0)
            sd_bus_message_read(reply, "b", &has);
        sd_bus_message_unref(reply);
        return has != 0;
    }
    // One round trip in milliseconds; negative when the call failed.
    double roundTrip() {
        sd_bus_message* reply = nullptr;
        const auto t0 = nowNs();
        const int r = sd_bus_call_method(bus_, "org.norva.norva", "/org/norva/topic/01/01", "org.norva.Dde",
                                         "Request", nullptr, &reply, "s", "DESTCALL");
        const auto t1 = nowNs();
        sd_bus_message_unref(reply);
        return r < 0 ? -1.0 : static_cast<double>(t1 - t0) / 1e6;
    }

private:
    sd_bus* bus_ = nullptr;
};

// Keeps a few monitor frames waiting in the simulator while switched on.
class MonitorFeed {
public:
    explicit MonitorFeed(tncsim::PtyServer& server) : server_(server), thread_([this] { run(); }) {}
    ~MonitorFeed() {
        stop_ = true;
        thread_.join();
    }
    MonitorFeed(const MonitorFeed&) = delete;
    MonitorFeed& operator=(const MonitorFeed&) = delete;

    void setOn(bool on) { on_ = on; }
    std::uint64_t queued() const { return queued_.load(); }

private:
    void run() {
        int n = 0;
        while (!stop_) {
            if (on_) {
                const std::string info = "monitor frame " + std::to_string(n) + " on a busy channel, 1200 Bd\r";
                const bool added = server_.withTnc([&](tncsim::SimTnc& t) {
                    if (t.pendingItems(0) >= 2) return false;
                    t.queueMonitor("fm DL1ABC to DB0BEN via DB0RLY ctl I23^ pid F0", info);
                    return true;
                });
                if (added) {
                    ++n;
                    queued_.fetch_add(1);
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    tncsim::PtyServer& server_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> on_{false};
    std::atomic<std::uint64_t> queued_{0};
    std::thread thread_;
};

struct Samples {
    std::vector<double> ms;
    int failed = 0;
};

void printSamples(const char* what, const Samples& s) {
    std::printf("  %s: %zu calls, round trip p50 %.2f ms, p99 %.2f ms, max %.2f ms%s\n", what, s.ms.size(),
                percentile(s.ms, 0.5), percentile(s.ms, 0.99), percentile(s.ms, 1.0),
                s.failed ? (", " + std::to_string(s.failed) + " FAILED").c_str() : "");
}

double ratio(double a, double b) { return b > 0 ? a / b : 0.0; }

int measure(Client& client, MonitorFeed& feed, CountingUi& ui, int perBlock) {
    std::array<Samples, 2> result;  // [0] idle, [1] monitor traffic
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> gap(5, 25);  // ms, so calls do not lock step with the poll
    std::uint64_t textsBusy = 0;
    for (int block = 0; block < 2 * kBlocks; ++block) {
        const int busy = block % 2;
        feed.setOn(busy == 1);
        // Let the previous kind's frames drain (or the new ones start) first.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        const auto texts0 = ui.monitorTexts.load();
        for (int i = 0; i < perBlock; ++i) {
            const double ms = client.roundTrip();
            if (ms < 0)
                ++result[busy].failed;
            else
                result[busy].ms.push_back(ms);
            std::this_thread::sleep_for(std::chrono::milliseconds(gap(rng)));
        }
        if (busy) textsBusy += ui.monitorTexts.load() - texts0;
    }
    feed.setOn(false);
    std::printf("IPC round trip (Request DESTCALL on 01/01, private dbus-daemon), TNC at 1200 Bd, "
                "100 ms frame interval\n");
    printSamples("idle TNC          ", result[0]);
    printSamples("monitor traffic   ", result[1]);
    std::printf("  monitor texts shown while measuring with traffic: %llu (frames queued: %llu)\n",
                static_cast<unsigned long long>(textsBusy), static_cast<unsigned long long>(feed.queued()));
    std::printf("  traffic / idle: p50 ratio %.2f, p99 ratio %.2f, max ratio %.2f\n",
                ratio(percentile(result[1].ms, 0.5), percentile(result[0].ms, 0.5)),
                ratio(percentile(result[1].ms, 0.99), percentile(result[0].ms, 0.99)),
                ratio(percentile(result[1].ms, 1.0), percentile(result[0].ms, 1.0)));
    return result[0].failed + result[1].failed == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const int perBlock = argc > 1 ? std::atoi(argv[1]) : 10;
    if (perBlock <= 0 || perBlock > 1000) {
        std::fprintf(stderr, "usage: ipc_rtt_bench [CALLS_PER_BLOCK]\n");
        return 2;
    }
    const fs::path dir = fs::temp_directory_path() / ("norva-rttbench-" + std::to_string(getpid()));
    fs::create_directories(dir);
    int rc = 1;
    {
        norva::test::PrivateBus daemon;
        if (!daemon.ok()) {
            std::fprintf(stderr, "dbus-daemon did not start (package dbus-daemon)\n");
            fs::remove_all(dir);
            return 1;
        }
        tncsim::Radio radio;
        tncsim::TncConfig cfg;
        cfg.startInHostMode = true;
        cfg.serialBaud = 1200;
        cfg.frameIntervalMs = 100;
        tncsim::PtyServer server(radio.addTnc(cfg));
        if (!server.start()) {
            std::fprintf(stderr, "pty: %s\n", server.error().c_str());
            fs::remove_all(dir);
            return 1;
        }
        Profile profile(dir / "norva.ini");
        profile.writeString("Tnc", "1", "1");
        profile.writeString("1", "TncName", "Slow");
        profile.writeInt("1", "Channels", 4);
        profile.writeString("1", "ComPort", server.slavePath());
        profile.writeInt("1", "Baudrate", 1200);
        profile.writeInt("1", "Connected", 1);

        RealClock clock;
        CountingUi ui;
        EngineConfig config;
        config.programDir = dir;
        config.busAddress = daemon.address();
        Engine engine(config, profile, ui, clock);
        engine.start();
        Client client(daemon.address());
        bool up = client.ok() && engine.call([&] { return engine.hostMode().tnc(1)->isOpen(); });
        for (int i = 0; up && i < 200 && !client.serviceUp(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        if (!up || !client.serviceUp()) {
            std::fprintf(stderr, "the TNC or the IPC service did not come up\n");
        } else {
            MonitorFeed feed(server);
            rc = measure(client, feed, ui, perBlock);
        }
        engine.shutdown();
        server.stop();
    }
    fs::remove_all(dir);
    return rc;
}
