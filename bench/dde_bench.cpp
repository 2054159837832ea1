// The IPC service under a monitor flood, measured in one run: a private
// dbus-daemon, a headless engine serving it, one TNC on the simulator, and
// an sd-bus client in this program that advises "ALL" on topic "01/00" (the
// monitor channel of TNC 1).
//  (a) a flood of monitor frames (4 MB of info by default) with the client
//      subscribed: Changed signals and bytes of monitor text per second that
//      reach the client, against the records the channel received; up to
//      1 MB of the same flood without a subscriber gives the engine's own
//      rate and CPU per frame;
//  (b) the engine's added latency: paced single frames, each timed from the
//      moment the simulator queues it until the engine hands its text to the
//      output pane (UiPort::appendText, the engine's last step for a record;
//      the signal, when advised, leaves before that), p50/p99 without and
//      with the subscriber advised, in alternating blocks, and their ratio;
//      with the subscriber also until the client holds the signal.
// No timing is asserted; the exit code says only whether everything arrived.
// Usage: dde_bench [BYTES[k|M]]   (flood size, default 4M)
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "dde/PrivateBus.h"
#include "app/Engine.h"
#include "platform/ByteStream.h"
#include "platform/Clock.h"
#include "platform/Profile.h"
#include "platform/UiPort.h"
#include "tncsim/HostFrame.h"
#include "tncsim/PtyServer.h"
#include "tncsim/Radio.h"


using namespace norva;
namespace fs = std::filesystem;

namespace {

constexpr const char* kBusName = "org.norva.Bench";
constexpr const char* kTopicPath = "/org/norva/topic/01/00";
constexpr const char* kInterface = "org.norva.Dde";
// Latency probes: blocks of this many, alternately without and with the subscriber.
constexpr int kLatencyBlock = 50;
constexpr int kLatencyBlocks = 16;
// Monitor items the simulator holds at most during the flood: the engine
// reads as fast as it can, and the simulator never drops one.
constexpr std::size_t kFloodBacklog = 256;
constexpr std::size_t kDefaultFloodBytes = 4u * 1024 * 1024;

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

// Every "seq N" and "done N" marker in a text, by number.
template <class F>
void forMarkers(std::string_view text, std::string_view word, F found) {
    for (std::size_t at = text.find(word); at != std::string_view::npos; at = text.find(word, at + 1)) {
        std::size_t p = at + word.size();
        int n = 0;
        bool digits = false;
        while (p < text.size() && text[p] >= '0' && text[p] <= '9' && n < 1'000'000) {
            n = n * 10 + (text[p++] - '0');
            digits = true;
        }
        if (digits) found(n);
    }
}

// Marker arrival times, filled by one thread and read by another.
struct Arrivals {
    std::mutex mutex;
    std::vector<std::int64_t> seq;
    int doneSeen = -1;
    std::int64_t doneAt = 0;

    void reset(int samples) {
        std::lock_guard lock(mutex);
        seq.assign(static_cast<std::size_t>(samples), 0);
    }
    void note(std::string_view text, std::int64_t at) {
        std::lock_guard lock(mutex);
        forMarkers(text, "seq ", [&](int n) {
            if (n >= 0 && static_cast<std::size_t>(n) < seq.size() && seq[static_cast<std::size_t>(n)] == 0)
                seq[static_cast<std::size_t>(n)] = at;
        });
        forMarkers(text, "done ", [&](int n) {
            if (n > doneSeen) {
                doneSeen = n;
                doneAt = at;
            }
        });
    }
    bool done(int n) {
        std::lock_guard lock(mutex);
        return doneSeen >= n;
    }
    std::int64_t doneTime() {
        std::lock_guard lock(mutex);
        return doneAt;
    }
};

// The engine's output pane: when each marked text arrives, and how much
// monitor text there was.
class TimingUi : public NullUiPort {
public:
    void appendText(int, int, std::string_view text) override {
        arrivals.note(text, nowNs());
        bytes += text.size();
    }
    Arrivals arrivals;
    std::atomic<std::uint64_t> bytes{0};
};

// The subscriber: its own sd-bus connection, used only on its own thread.
// Other threads switch its advise on and off through setAdvised().
class Subscriber {
public:
    Subscriber(std::string address, std::string item) : address_(std::move(address)), item_(std::move(item)) {}
    ~Subscriber() { stop(); }
    Subscriber(const Subscriber&) = delete;
    Subscriber& operator=(const Subscriber&) = delete;

    // Connects and advises; the error text, empty on success.
    std::string start() {
        std::promise<std::string> advised;
        auto result = advised.get_future();
        thread_ = std::thread([this, p = std::move(advised)]() mutable { run(p); });
        return result.get();
    }
    void stop() {
        {
            std::lock_guard lock(mutex_);
            running_ = false;
        }
        if (thread_.joinable()) thread_.join();
    }
    // Advise or Unadvise, done by the client thread; false when the call failed.
    bool setAdvised(bool on) {
        std::unique_lock lock(mutex_);
        want_ = on;
        applied_ = false;
        changed_.wait(lock, [this] { return applied_ || !running_; });
        return applied_ && callOk_;
    }

    Arrivals arrivals;
    std::atomic<std::uint64_t> signals{0};
    std::atomic<std::uint64_t> bytes{0};

private:
    static int onChanged(sd_bus_message* m, void* self, sd_bus_error*) {
        const auto at = nowNs();
        const char* item = nullptr;
        const char* value = nullptr;
        if (sd_bus_message_read(m, "ss", &item, &value) < 0) return 0;
        auto& s = *static_cast<Subscriber*>(self);
        s.signals.fetch_add(1);
        s.bytes.fetch_add(std::char_traits<char>::length(value));
        s.arrivals.note(value, at);
        return 0;
    }

    std::string call(sd_bus* bus, const char* method) {
        sd_bus_error error = SD_BUS_ERROR_NULL;
        const int r =
            sd_bus_call_method(bus, kBusName, kTopicPath, kInterface, method, &error, nullptr, "s", item_.c_str());
        std::string why = r < 0 ? std::string(method) + ": " + (error.message ? error.message : "failed") : "";
        sd_bus_error_free(&error);
        return why;
    }

    std::string connect(sd_bus*& bus, sd_bus_slot*& slot) {
        if (sd_bus_new(&bus) < 0) return "sd_bus_new failed";
        sd_bus_set_address(bus, address_.c_str());
        sd_bus_set_bus_client(bus, 1);
        if (sd_bus_start(bus) < 0) return "no connection to " + address_;
        if (const int r = sd_bus_match_signal(bus, &slot, nullptr, kTopicPath, kInterface, "Changed", onChanged, this);
            r < 0)
            return std::string("match refused: ") + std::strerror(-r);
        return call(bus, "Advise");
    }

    // Runs a change of setAdvised(); false once the thread is to end.
    bool applyWanted(sd_bus* bus) {
        std::unique_lock lock(mutex_);
        if (!running_) return false;
        if (applied_) return true;
        const bool on = want_;
        lock.unlock();
        const bool ok = on == advised_ || call(bus, on ? "Advise" : "Unadvise").empty();
        lock.lock();
        if (ok) advised_ = on;
        callOk_ = ok;
        applied_ = true;
        changed_.notify_all();
        return true;
    }

    void run(std::promise<std::string>& started) {
        sd_bus* bus = nullptr;
        sd_bus_slot* slot = nullptr;
        const std::string why = connect(bus, slot);
        advised_ = why.empty();
        started.set_value(why);
        while (why.empty() && applyWanted(bus)) {
            const int r = sd_bus_process(bus, nullptr);
            if (r < 0) break;
            if (r == 0) sd_bus_wait(bus, 20'000);
        }
        {
            std::lock_guard lock(mutex_);
            running_ = false;
            changed_.notify_all();
        }
        sd_bus_slot_unref(slot);
        if (bus) sd_bus_flush_close_unref(bus);
    }

    std::string address_;
    std::string item_;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool running_ = true;
    bool want_ = true;
    bool applied_ = true;
    bool callOk_ = true;
    bool advised_ = false;  // client thread only
};

struct LatencyResult {
    std::vector<double> uiMs;
    std::vector<double> busMs;
    int lost = 0;
    int samples = 0;
};

// Paced single frames, each with its "seq N" in the info, in blocks that
// alternate between no subscriber and one: the machine's load then weighs
// on both alike. [0]: not advised, [1]: advised.
std::array<LatencyResult, 2> measureLatency(tncsim::PtyServer& server, TimingUi& ui, Subscriber& sub) {
    constexpr int kTotal = kLatencyBlocks * kLatencyBlock;
    ui.arrivals.reset(kTotal);
    sub.arrivals.reset(kTotal);
    std::vector<std::int64_t> queued(kTotal, 0);
    std::mt19937 rng(11);
    std::uniform_int_distribution<int> gap(2000, 12000);  // microseconds
    for (int i = 0; i < kTotal; ++i) {
        if (i % kLatencyBlock == 0) {
            if (!sub.setAdvised((i / kLatencyBlock) % 2 == 1)) std::fprintf(stderr, "Advise/Unadvise failed\n");
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        const std::string info = "seq " + std::to_string(i) + " latency probe\r";
        server.withTnc([&](tncsim::SimTnc& t) {
            queued[static_cast<std::size_t>(i)] = nowNs();
            t.queueMonitor("fm DL1ABC to DB0BEN via DB0RLY ctl UI^ pid F0", info);
            // The monitor pane gets a text when the next item is fetched:
            // a bare header right behind makes that the next poll step.
            t.queueMonitor("fm DB0BEN to DL1ABC ctl RR1-", "");
            return 0;
        });
        std::this_thread::sleep_for(std::chrono::microseconds(gap(rng)));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    std::array<LatencyResult, 2> result;
    std::lock_guard uiLock(ui.arrivals.mutex);
    std::lock_guard busLock(sub.arrivals.mutex);
    for (std::size_t i = 0; i < queued.size(); ++i) {
        const std::size_t state = (i / kLatencyBlock) % 2;
        LatencyResult& r = result[state];
        ++r.samples;
        if (ui.arrivals.seq[i] == 0)
            ++r.lost;
        else
            r.uiMs.push_back(static_cast<double>(ui.arrivals.seq[i] - queued[i]) / 1e6);
        if (state == 1 && sub.arrivals.seq[i] != 0)
            r.busMs.push_back(static_cast<double>(sub.arrivals.seq[i] - queued[i]) / 1e6);
    }
    return result;
}

struct FloodResult {
    int frames = 0;
    double seconds = 0;     // first frame queued .. last text in the output pane
    double busSeconds = 0;  // first frame queued .. last signal at the client
    std::uint64_t signals = 0;
    std::uint64_t busBytes = 0;
    double cpuSeconds = 0;
    bool complete = false;
};

// 256 bytes of monitor info: "flood N " and text with CP437 umlauts.
std::string floodInfo(int n) {
    std::string info = "flood " + std::to_string(n) + " ";
    static constexpr std::string_view kText = "Packet radio \x84\x94\x81 monitor traffic 0123456789 ";
    while (info.size() < tncsim::kMaxFrameData - 1) info += kText[info.size() % kText.size()];
    info += '\r';
    return info;
}

FloodResult flood(tncsim::PtyServer& server, Engine& engine, TimingUi& ui, Subscriber* sub, std::size_t bytes,
                  int round) {
    FloodResult r;
    r.frames = static_cast<int>((bytes + tncsim::kMaxFrameData - 1) / tncsim::kMaxFrameData);
    const std::uint64_t sig0 = sub ? sub->signals.load() : 0;
    const std::uint64_t bytes0 = sub ? sub->bytes.load() : 0;
    const auto cpu0 = engine.cpuTimeNs();
    const auto t0 = nowNs();
    for (int i = 0; i < r.frames; ++i) {
        // The last frame says the flood is over; it is no longer than the others.
        const std::string info = i + 1 == r.frames ? "done " + std::to_string(round) + "\r" : floodInfo(i);
        for (;;) {
            const bool queued = server.withTnc([&](tncsim::SimTnc& t) {
                if (t.pendingItems(0) >= kFloodBacklog) return false;
                t.queueMonitor("fm DL1ABC to DB0BEN via DB0RLY ctl I23^ pid F0", info);
                return true;
            });
            if (queued) break;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    }
    const auto deadline = nowNs() + 120'000'000'000LL;
    while (!ui.arrivals.done(round) && nowNs() < deadline) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    r.complete = ui.arrivals.done(round);
    r.seconds = static_cast<double>(ui.arrivals.doneTime() - t0) / 1e9;
    r.cpuSeconds = static_cast<double>(engine.cpuTimeNs() - cpu0) / 1e9;
    if (sub) {
        // Held changes keep only the latest value, so the final frame always arrives.
        const auto busDeadline = nowNs() + 10'000'000'000LL;
        while (!sub->arrivals.done(round) && nowNs() < busDeadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        r.complete = r.complete && sub->arrivals.done(round);
        r.busSeconds = static_cast<double>(sub->arrivals.doneTime() - t0) / 1e9;
        r.signals = sub->signals.load() - sig0;
        r.busBytes = sub->bytes.load() - bytes0;
    }
    return r;
}

std::size_t parseSize(const char* arg) {
    char* end = nullptr;
    const double v = std::strtod(arg, &end);
    if (v <= 0 || end == arg) return 0;
    double scale = 1;
    if (*end == 'k' || *end == 'K') scale = 1024;
    if (*end == 'm' || *end == 'M') scale = 1024 * 1024;
    return static_cast<std::size_t>(std::min(v * scale, 64.0 * 1024 * 1024));
}

void printLatency(const char* what, const LatencyResult& r) {
    std::printf("  %s: queue -> output pane p50 %.2f ms, p99 %.2f ms, max %.2f ms, lost %d of %d\n", what,
                percentile(r.uiMs, 0.5), percentile(r.uiMs, 0.99), percentile(r.uiMs, 1.0), r.lost, r.samples);
    if (!r.busMs.empty())
        std::printf("  %*s  queue -> client signal p50 %.2f ms, p99 %.2f ms, max %.2f ms, received %zu of %d\n",
                    static_cast<int>(std::string_view(what).size()), "", percentile(r.busMs, 0.5),
                    percentile(r.busMs, 0.99), percentile(r.busMs, 1.0), r.busMs.size(), r.samples);
}

void printFlood(const char* what, const FloodResult& r, std::size_t bytes) {
    const double mb = static_cast<double>(bytes) / (1024.0 * 1024.0);
    std::printf("  %s: %d frames (%.2f MB of info) in %.2f s: %.0f frames/s, %.0f kB/s into the channel, "
                "engine CPU %.2f of a core, %.0f us per frame%s\n",
                what, r.frames, mb, r.seconds, r.frames / r.seconds, static_cast<double>(bytes) / 1024.0 / r.seconds,
                r.cpuSeconds / r.seconds, r.cpuSeconds * 1e6 / r.frames, r.complete ? "" : " (INCOMPLETE)");
}

void printSubscriber(const FloodResult& r) {
    const double seconds = r.busSeconds > 0 ? r.busSeconds : 1;
    const int records = 2 * r.frames;  // header and info per frame
    std::printf("  subscriber (Advise ALL): %llu Changed signals in %.2f s = %.0f signals/s, "
                "%.0f kB/s of monitor text (headers and info, UTF-8)\n",
                static_cast<unsigned long long>(r.signals), seconds, static_cast<double>(r.signals) / seconds,
                static_cast<double>(r.busBytes) / 1024.0 / seconds);
    const double share = 100.0 * static_cast<double>(r.signals) / records;
    if (r.signals >= static_cast<std::uint64_t>(records))
        std::printf("  every one of the %d records reached the client\n", records);
    else
        std::printf("  %.1f %% of the %d records reached the client; the others were superseded while the "
                    "bus queue was full\n",
                    share, records);
}

// The engine's rate alone, latency without and with the subscriber, then the
// full flood to the subscriber.
int runPhases(tncsim::PtyServer& server, Engine& engine, TimingUi& ui, const std::string& address,
              std::size_t floodBytes) {
    std::printf("IPC service under a monitor flood (topic 01/00, private dbus-daemon)\n");
    // The engine's own rate is steady after a few hundred frames; 1 MB shows it.
    const std::size_t aloneBytes = std::min<std::size_t>(floodBytes, 1024 * 1024);
    std::printf("(a) flood, no subscriber:\n");
    const FloodResult alone = flood(server, engine, ui, nullptr, aloneBytes, 1);
    printFlood("no subscriber ", alone, aloneBytes);

    Subscriber sub(address, "ALL");
    if (const std::string why = sub.start(); !why.empty()) {
        std::fprintf(stderr, "subscriber: %s\n", why.c_str());
        return 1;
    }
    std::printf("(b) latency, paced monitor frames in blocks of %d, alternately without and with the "
                "subscriber advised:\n",
                kLatencyBlock);
    const auto [quiet, busy] = measureLatency(server, ui, sub);
    printLatency("no subscriber ", quiet);
    printLatency("one subscriber", busy);
    const double p50q = percentile(quiet.uiMs, 0.5);
    const double p99q = percentile(quiet.uiMs, 0.99);
    std::printf("  added by the subscriber: p50 ratio %.2f, p99 ratio %.2f (p99 %+.2f ms)\n",
                p50q > 0 ? percentile(busy.uiMs, 0.5) / p50q : 0.0,
                p99q > 0 ? percentile(busy.uiMs, 0.99) / p99q : 0.0, percentile(busy.uiMs, 0.99) - p99q);

    std::printf("(a) flood, one subscriber:\n");
    if (!sub.setAdvised(true)) std::fprintf(stderr, "Advise failed\n");
    const FloodResult watched = flood(server, engine, ui, &sub, floodBytes, 2);
    printFlood("one subscriber", watched, floodBytes);
    printSubscriber(watched);
    std::printf("  with / without subscriber: frames/s ratio %.2f, engine CPU per frame ratio %.2f\n",
                (watched.frames / watched.seconds) / (alone.frames / alone.seconds),
                (watched.cpuSeconds / watched.frames) / (alone.cpuSeconds / alone.frames));
    sub.stop();
    return alone.complete && watched.complete && quiet.lost == 0 && busy.lost == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t floodBytes = argc > 1 ? parseSize(argv[1]) : kDefaultFloodBytes;
    if (floodBytes == 0) {
        std::fprintf(stderr, "usage: dde_bench [BYTES[k|M]]\n");
        return 2;
    }
    const fs::path dir = fs::temp_directory_path() / ("norva-ddebench-" + std::to_string(getpid()));
    fs::create_directories(dir);
    int rc = 0;
    {
        // The same private session bus the IPC tests use.
        norva::test::PrivateBus daemon;
        if (!daemon.ok()) {
            std::fprintf(stderr, "dbus-daemon did not start (package dbus-daemon)\n");
            fs::remove_all(dir);
            return 1;
        }
        tncsim::Radio radio;
        tncsim::TncConfig cfg;
        cfg.startInHostMode = true;
        tncsim::PtyServer server(radio.addTnc(cfg));
        if (!server.start()) {
            std::fprintf(stderr, "pty: %s\n", server.error().c_str());
            fs::remove_all(dir);
            return 1;
        }
        Profile profile(dir / "norva.ini");
        profile.writeString("Frame", "MyName", "Bench");
        profile.writeString("Tnc", "1", "1");
        profile.writeString("1", "TncName", "Bench");
        profile.writeInt("1", "Channels", 4);
        profile.writeString("1", "ComPort", server.slavePath());
        profile.writeInt("1", "Connected", 1);

        RealClock clock;
        TimingUi ui;
        EngineConfig config;
        config.programDir = dir;
        config.busAddress = daemon.address();
        Engine engine(config, profile, ui, clock);
        engine.start();
        std::this_thread::sleep_for(std::chrono::seconds(2));  // start-up, bus name, first rounds
        rc = runPhases(server, engine, ui, daemon.address(), floodBytes);
        engine.shutdown();
        server.stop();
    }
    fs::remove_all(dir);
    return rc;
}
