// #BIN# and YAPP throughput over a 9600-baud host link, measured in one run:
// two headless engines on simulated TNCs whose serial side is paced to 9600
// baud (960 bytes/s each way) while their radio is fast; A connects B and
// sends a 100 kB file of every byte value by each protocol in turn. Prints the payload rate, its share of the
// line, the ceiling the host-mode framing leaves at the channel's Packlen,
// the share of that ceiling reached (goal: 90 % or more), and the CPU time
// of both engines during the transfer.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <thread>

#include "app/Engine.h"
#include "app/HeadlessUi.h"
#include "channel/ChannelRegistry.h"
#include "channel/TncChannel.h"
#include "hostmode/Tnc.h"
#include "platform/ByteStream.h"
#include "platform/Clock.h"
#include "platform/Profile.h"
#include "tncsim/PtyServer.h"
#include "tncsim/Radio.h"
#include "transfer/Transfers.h"

using namespace norva;
namespace fs = std::filesystem;

namespace {

constexpr int kBaud = 9600;
constexpr double kLineBytesPerSecond = kBaud / 10.0;  // 8N1
constexpr std::size_t kDefaultFileSize = 100 * 1024;
constexpr int kPacklen = 256;
// What the send job hands to the channel per tick, and so per channel poll.
constexpr double kBytesPerTick = 1024;

std::int64_t nowNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

struct BenchStation {
    fs::path dir;
    RealClock clock;
    std::unique_ptr<Profile> profile;
    std::FILE* sink = std::tmpfile();
    HeadlessUi ui{sink, sink};
    std::unique_ptr<Engine> engine;

    BenchStation(const fs::path& d, const std::string& port, const std::string& call, bool monitor)
        : dir(d) {
        fs::create_directories(dir);
        std::ofstream(dir / "norva.ini", std::ios::binary)
            << "[Tnc]\r\n1=1\r\n[1]\r\nTncName=Bench\r\nChannels=4\r\nComPort=" << port
            << "\r\nConnected=1\r\nDelayTime=25\r\nMyCall=" << call << "\r\nQrg=144.800\r\n";
        // A TNC that monitors its own link hands every frame to the host a
        // second time, which halves a 9600-baud line; a station moving files
        // over a slow line turns the monitor off, as here.
        if (!monitor) std::ofstream(dir / "tnc1.ini", std::ios::binary) << "M N\r\n";
        profile = std::make_unique<Profile>(dir / "norva.ini");
        EngineConfig config;
        config.programDir = dir;
        config.openStream = openStreamByName;
        engine = std::make_unique<Engine>(config, *profile, ui, clock);
        engine->start();
    }
    ~BenchStation() {
        engine->shutdown();
        engine.reset();
        std::fclose(sink);
    }
    template <class F>
    auto onChannel(F fn) {
        return engine->call([this, fn] {
            CTncChannel* ch = engine->context().channels.channel(1, 1);
            using R = decltype(fn(*ch));
            return ch ? fn(*ch) : R{};
        });
    }
    bool ready() {
        return engine->call([this] {
            CTnc* t = engine->hostMode().tnc(1);
            return t && t->isOpen() && !t->outOfSync();
        });
    }
    int linkState() {
        return onChannel([](CTncChannel& c) { return c.linkState().linkStateValue(); });
    }
};

template <class Pred>
bool waitFor(Pred pred, int seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < end) {
        if (pred()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return pred();
}

// Host-link bytes that carry one send tick of the sender's channel at the
// least the protocol needs, in both directions (the send operation waits for
// every reply, so the two directions take turns):
//   data frames: 3 header bytes + Packlen payload, each answered by a 2-byte "ok";
//   one "G" (4 bytes) with its empty answer (2 bytes) per channel poll;
//   every fifth poll "@B" (5 bytes, answer about 6) and "L" (4 bytes, answer about 14).
double framingCeiling(int packlen) {
    const double frames = kBytesPerTick / packlen;
    const double data = frames * (3 + packlen + 2);
    const double poll = 4 + 2;
    const double status = (5 + 6 + 4 + 14) / 5.0;
    return kLineBytesPerSecond * kBytesPerTick / (data + poll + status);
}

struct FrameCounts {
    std::uint64_t info = 0;
    std::uint64_t commands = 0;
    std::uint64_t infoBytes = 0;
    std::uint64_t dataChannelG = 0;   // "G" on the data channel
    std::uint64_t otherPolls = 0;     // commands on other channels (idle ones, the extended poll)
};

FrameCounts countFrames(tncsim::PtyServer& server) {
    return server.withTnc([](tncsim::SimTnc& t) {
        FrameCounts c;
        for (const auto& f : t.frameLog()) {
            if (f.code == 0) {
                ++c.info;
                c.infoBytes += f.data.size();
            } else {
                ++c.commands;
                if (f.channel != 1) ++c.otherPolls;
                else if (f.data == "G") ++c.dataChannelG;
            }
        }
        return c;
    });
}

enum class Protocol { Bin, Yapp };

struct Outcome {
    bool done = false;
    bool intact = false;
};

// One transfer of data from A to B by the protocol, measured and printed.
Outcome measure(Protocol protocol, BenchStation& a, BenchStation& b, tncsim::PtyServer& serverA,
                tncsim::PtyServer& serverB, const std::string& data, bool monitor) {
    const bool yapp = protocol == Protocol::Yapp;
    const char* label = yapp ? "YAPP" : "#BIN#";
    const fs::path source = a.dir / (yapp ? "bench-yapp.bin" : "bench.bin");
    std::ofstream(source, std::ios::binary) << data;
    // The #BIN# reception writes into an existing file, YAPP's into one that is not there yet.
    const fs::path target = b.dir / (yapp ? "got-yapp.bin" : "got.bin");
    if (!yapp) std::ofstream(target, std::ios::binary).flush();

    b.onChannel([&](CTncChannel& c) {
        return c.setJob(JobSlot::FileReceive,
                        yapp ? makeYappReceiveJob(c, target, false) : makeBinReceiveJob(c, target, false));
    });
    for (auto* s : {&serverA, &serverB}) s->withTnc([](tncsim::SimTnc& t) { t.clearLogs(); });
    const std::int64_t cpuA0 = a.engine->cpuTimeNs();
    const std::int64_t cpuB0 = b.engine->cpuTimeNs();
    const std::int64_t t0 = nowNs();
    a.onChannel([&](CTncChannel& c) {
        return enqueueTransfer(c, yapp ? makeYappSendJob(c, source, false) : makeBinSendJob(c, source, false));
    });
    Outcome outcome;
    outcome.done = waitFor(
        [&] {
            return b.onChannel([](CTncChannel& c) { return c.job(JobSlot::FileReceive) == nullptr; }) &&
                   a.onChannel([](CTncChannel& c) { return c.job(JobSlot::Send) == nullptr; });
        },
        600);
    const double seconds = static_cast<double>(nowNs() - t0) / 1e9;
    const double cpuA = static_cast<double>(a.engine->cpuTimeNs() - cpuA0) / 1e9;
    const double cpuB = static_cast<double>(b.engine->cpuTimeNs() - cpuB0) / 1e9;
    const FrameCounts frames = countFrames(serverA);
    const FrameCounts framesB = countFrames(serverB);

    std::ifstream in(target, std::ios::binary);
    const std::string got((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    outcome.intact = got == data;

    const double rate = static_cast<double>(data.size()) / seconds;
    const double ceiling = framingCeiling(kPacklen);
    std::printf("%s %zu bytes A->B over %d-baud host links, Packlen %d, monitor %s: %s, file %s\n", label,
                data.size(), kBaud, kPacklen, monitor ? "on" : "off", outcome.done ? "finished" : "NOT finished",
                outcome.intact ? "intact" : "DIFFERS");
    std::printf("  time %.1f s, payload %.0f bytes/s\n", seconds, rate);
    std::printf("  share of the line (%.0f bytes/s): %.1f %%\n", kLineBytesPerSecond,
                100.0 * rate / kLineBytesPerSecond);
    std::printf("  host-mode framing ceiling at Packlen %d: %.0f bytes/s (%.1f %% of the line)\n", kPacklen, ceiling,
                100.0 * ceiling / kLineBytesPerSecond);
    std::printf("  share of the ceiling reached: %.1f %% (goal >= 90 %%)\n", 100.0 * rate / ceiling);
    if (yapp) {
        // Each data packet carries STX, its length and the checksum in its frame.
        const double packetCeiling = ceiling * (kPacklen - 3) / kPacklen;
        std::printf("  with YAPP's 3 bytes per %d-byte data packet the ceiling is %.0f bytes/s; share reached: %.1f %%\n",
                    kPacklen - 3, packetCeiling, 100.0 * rate / packetCeiling);
    }
    std::printf("  A's TNC saw %llu info frames (%llu bytes, %.0f per frame) and %llu commands (%.2f per info frame)\n",
                static_cast<unsigned long long>(frames.info), static_cast<unsigned long long>(frames.infoBytes),
                frames.info ? static_cast<double>(frames.infoBytes) / static_cast<double>(frames.info) : 0.0,
                static_cast<unsigned long long>(frames.commands),
                frames.info ? static_cast<double>(frames.commands) / static_cast<double>(frames.info) : 0.0);
    std::printf("  commands: A %llu on other channels, %llu \"G\" on channel 1; B %llu in all, %llu on other "
                "channels, %llu \"G\" on channel 1\n",
                static_cast<unsigned long long>(frames.otherPolls),
                static_cast<unsigned long long>(frames.dataChannelG),
                static_cast<unsigned long long>(framesB.commands),
                static_cast<unsigned long long>(framesB.otherPolls),
                static_cast<unsigned long long>(framesB.dataChannelG));
    std::printf("  engine CPU during the transfer: A %.3f s (%.1f %% of a core), B %.3f s (%.1f %% of a core)\n",
                cpuA, 100.0 * cpuA / seconds, cpuB, 100.0 * cpuB / seconds);
    return outcome;
}

}  // namespace

// Optional arguments: the file size in kB (default 100), "monitor" to leave
// the TNCs' monitor on (each frame then crosses each line twice), and "bin"
// or "yapp" to measure only that protocol (default: both, one after the
// other on the same link).
int main(int argc, char** argv) {
    const std::size_t kFileSize =
        argc > 1 && std::atoi(argv[1]) > 0 ? static_cast<std::size_t>(std::atoi(argv[1])) * 1024 : kDefaultFileSize;
    bool monitor = false;
    bool runBin = true;
    bool runYapp = true;
    for (int i = 2; i < argc; ++i) {
        const std::string_view arg(argv[i]);
        if (arg == "monitor") monitor = true;
        if (arg == "bin") runYapp = false;
        if (arg == "yapp") runBin = false;
    }
    const fs::path root = fs::temp_directory_path() / ("norva-binbench-" + std::to_string(getpid()));
    fs::create_directories(root);

    // A fast radio: the serial lines are to be the bottleneck.
    tncsim::Radio radio(tncsim::RadioConfig{300, 2000, 1, 5});
    tncsim::TncConfig tnc;
    tnc.serialBaud = kBaud;
    tncsim::PtyServer serverA(radio.addTnc(tnc));
    tncsim::PtyServer serverB(radio.addTnc(tnc));
    if (!serverA.start() || !serverB.start()) {
        std::fprintf(stderr, "pty: %s %s\n", serverA.error().c_str(), serverB.error().c_str());
        return 1;
    }
    int rc = 0;
    {
        BenchStation a(root / "a", serverA.slavePath(), "DA1AAA", monitor);
        BenchStation b(root / "b", serverB.slavePath(), "DB1BBB", monitor);
        if (!waitFor([&] { return a.ready() && b.ready(); }, 60)) {
            std::fprintf(stderr, "TNCs did not start\n");
            return 1;
        }
        a.onChannel([](CTncChannel& c) {
            c.textOut("  c DB1BBB", kKindCommand, false);
            return true;
        });
        if (!waitFor([&] { return a.linkState() == 4 && b.linkState() == 4; }, 60)) {
            std::fprintf(stderr, "no link\n");
            return 1;
        }
        for (BenchStation* s : {&a, &b})
            s->onChannel([](CTncChannel& c) {
                c.settings().packlen = kPacklen;
                return true;
            });

        std::string data(kFileSize, '\0');
        for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>((i * 7 + i / 256) % 256);
        for (Protocol p : {Protocol::Bin, Protocol::Yapp}) {
            if ((p == Protocol::Bin && !runBin) || (p == Protocol::Yapp && !runYapp)) continue;
            const Outcome o = measure(p, a, b, serverA, serverB, data, monitor);
            if (!o.done || !o.intact) rc = 1;
        }
    }
    serverA.stop();
    serverB.stop();
    std::error_code ec;
    fs::remove_all(root, ec);
    return rc;
}
