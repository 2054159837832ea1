// Polling cost and latency of the engine against the TNC simulator on a pty,
// measured in one run:
//  (a) CPU of the engine thread per second of wall time while one TNC idles,
//  (b) host-mode frames per second while idle and CPU per frame,
//  (c) time from the simulator queuing connected data to Norva showing it.
// Prints numbers and ratios against an established Linux host-mode terminal
// measured on real firmware (7,500 frames/s, 0.12 of a core, p99 4 ms).
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "app/Engine.h"
#include "platform/ByteStream.h"
#include "platform/UiPort.h"
#include "tncsim/PtyServer.h"
#include "tncsim/Radio.h"

using namespace norva;

namespace {

std::int64_t nowNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

// Notes when each numbered text reaches the output.
class TimingUi : public NullUiPort {
public:
    void appendText(int, int, std::string_view text) override {
        const auto at = nowNs();
        if (!text.starts_with("seq ")) return;
        const int n = std::atoi(std::string(text.substr(4)).c_str());
        std::lock_guard lock(mutex);
        if (n >= 0 && static_cast<std::size_t>(n) < arrived.size()) arrived[static_cast<std::size_t>(n)] = at;
    }
    std::mutex mutex;
    std::vector<std::int64_t> arrived;
};

double percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[static_cast<std::size_t>(p * static_cast<double>(v.size() - 1))];
}

}  // namespace

int main() {
    const auto dir = std::filesystem::temp_directory_path() / ("norva-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);

    tncsim::Radio radio;
    tncsim::TncConfig cfg;
    cfg.startInHostMode = true;
    tncsim::SimTnc& sim = radio.addTnc(cfg);
    tncsim::PtyServer server(sim);
    if (!server.start()) {
        std::fprintf(stderr, "pty: %s\n", server.error().c_str());
        return 1;
    }

    Profile profile(dir / "norva.ini");
    profile.writeString("Tnc", "1", "1");
    profile.writeString("1", "TncName", "Bench");
    profile.writeInt("1", "Channels", 10);
    profile.writeString("1", "ComPort", server.slavePath());
    profile.writeInt("1", "Connected", 1);

    RealClock clock;
    TimingUi ui;
    EngineConfig config;
    config.programDir = dir;
    Engine engine(config, profile, ui, clock);
    engine.start();
    std::this_thread::sleep_for(std::chrono::seconds(2));  // start-up and first rounds

    // (a) and (b): idle.
    const auto frames0 = server.withTnc([](tncsim::SimTnc& t) { return t.counters().framesHandled; });
    const auto cpu0 = engine.cpuTimeNs();
    const auto wall0 = nowNs();
    std::this_thread::sleep_for(std::chrono::seconds(5));
    const auto cpu1 = engine.cpuTimeNs();
    const auto wall1 = nowNs();
    const auto frames1 = server.withTnc([](tncsim::SimTnc& t) { return t.counters().framesHandled; });
    const double wall = static_cast<double>(wall1 - wall0) / 1e9;
    const double cpu = static_cast<double>(cpu1 - cpu0) / 1e9;
    const double frames = static_cast<double>(frames1 - frames0);
    const double cores = cpu / wall;
    const double fps = frames / wall;

    std::printf("idle polling, one TNC (10 channels), %.1f s:\n", wall);
    std::printf("  (a) engine CPU: %.4f of a core (target < 0.02; reference terminal 0.12: ratio %.3f)\n",
                cores, cores / 0.12);
    std::printf("  (b) frames/s: %.0f (reference terminal 7,500: ratio %.3f), CPU per frame: %.1f us\n",
                fps, fps / 7500.0, frames > 0 ? cpu * 1e6 / frames : 0.0);

    // (c) latency of connected data.
    constexpr int kSamples = 400;
    {
        std::lock_guard lock(ui.mutex);
        ui.arrived.assign(kSamples, 0);
    }
    std::vector<std::int64_t> queued(kSamples, 0);
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> gap(2000, 12000);  // microseconds
    for (int i = 0; i < kSamples; ++i) {
        const int channel = 1 + i % 10;
        server.withTnc([&](tncsim::SimTnc& t) {
            queued[static_cast<std::size_t>(i)] = nowNs();
            t.queueConnectedData(channel, "seq " + std::to_string(i) + "\r");
        });
        std::this_thread::sleep_for(std::chrono::microseconds(gap(rng)));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    std::vector<double> ms;
    int lost = 0;
    {
        std::lock_guard lock(ui.mutex);
        for (int i = 0; i < kSamples; ++i) {
            const auto a = ui.arrived[static_cast<std::size_t>(i)];
            if (a == 0) {
                ++lost;
                continue;
            }
            ms.push_back(static_cast<double>(a - queued[static_cast<std::size_t>(i)]) / 1e6);
        }
    }
    std::printf("  (c) data latency over %d samples: p50 %.2f ms, p99 %.2f ms, max %.2f ms, lost %d "
                "(target p99 < 5 ms; reference terminal p99 4 ms: ratio %.2f)\n",
                kSamples, percentile(ms, 0.5), percentile(ms, 0.99), percentile(ms, 1.0), lost,
                percentile(ms, 0.99) / 4.0);

    engine.shutdown();
    server.stop();
    std::filesystem::remove_all(dir);
    return 0;
}
