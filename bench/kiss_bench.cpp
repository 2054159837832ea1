// KISS TNC measurements in one run:
//  (a) payload throughput of a transfer between two KISS TNCs whose modems
//      sit on pty pairs joined by a simulated 9600 bit/s half-duplex radio
//      (30 ms key-up per transmission), as a share of the line rate, for
//      window k = 1, 4 and 7;
//  (b) CPU of the engine thread per second of wall time while it idles
//      with a KISS TNC on a quiet modem (goal: near 0).
// Usage: kiss_bench [bytes]   (default 100000)
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <string>
#include <thread>

#include "app/Engine.h"
#include "kiss/KissTnc.h"
#include "platform/ByteStream.h"
#include "platform/UiPort.h"

using namespace norva;
using Clk = std::chrono::steady_clock;

namespace {

constexpr double kBitsPerSecond = 9600;
constexpr int kKeyUpMs = 30;

struct Pty {
    int master = -1;
    std::string slave;
    bool open() {
        int s = -1;
        char name[256];
        if (openpty(&master, &s, name, nullptr, nullptr) != 0) return false;
        ::close(s);  // the TNC opens it by name
        slave = name;
        return true;
    }
    ~Pty() {
        if (master >= 0) ::close(master);
    }
};

// One radio channel: a frame holds it for its airtime; the other side gets it after.
class Air {
public:
    Air(int a, int b) : fd_{a, b} {
        thread_ = std::thread([this] { run(); });
    }
    ~Air() {
        stop_ = true;
        thread_.join();
    }

private:
    void run() {
        kiss::KissDecoder dec[2];
        std::deque<std::pair<Clk::time_point, std::pair<int, std::string>>> q;
        Clk::time_point busyUntil = Clk::now();
        char buf[4096];
        while (!stop_) {
            pollfd p[2] = {{fd_[0], POLLIN, 0}, {fd_[1], POLLIN, 0}};
            ::poll(p, 2, 1);
            for (int i = 0; i < 2; ++i) {
                if (!(p[i].revents & POLLIN)) continue;
                const ssize_t n = ::read(fd_[i], buf, sizeof buf);
                if (n <= 0) continue;
                std::vector<kiss::KissFrame> frames;
                dec[i].feed(std::string_view(buf, static_cast<std::size_t>(n)), frames);
                for (auto& f : frames) {
                    const auto air = std::chrono::microseconds(
                        kKeyUpMs * 1000 + static_cast<long>((static_cast<double>(f.data.size()) + 4) * 8e6 / kBitsPerSecond));
                    busyUntil = std::max(busyUntil, Clk::now()) + air;
                    q.emplace_back(busyUntil, std::make_pair(1 - i, kiss::encodeKiss(0, kiss::KissCommand::Data, f.data)));
                }
            }
            while (!q.empty() && q.front().first <= Clk::now()) {
                const auto& [to, bytes] = q.front().second;
                [[maybe_unused]] auto w = ::write(fd_[to], bytes.data(), bytes.size());
                q.pop_front();
            }
        }
    }
    int fd_[2];
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

std::string hostFrame(int ch, bool command, std::string_view data) {
    std::string out{static_cast<char>(ch), static_cast<char>(command ? 1 : 0), static_cast<char>(data.size() - 1)};
    return out.append(data);
}

std::string ask(ByteStream& t, int ch, bool command, std::string_view data) {
    const std::string f = hostFrame(ch, command, data);
    t.write({reinterpret_cast<const std::uint8_t*>(f.data()), f.size()});
    std::string out;
    std::uint8_t buf[512];
    for (int n; (n = t.read(buf)) > 0;) out.append(reinterpret_cast<const char*>(buf), static_cast<std::size_t>(n));
    return out;
}

// Seconds for `bytes` from A to B with window k; negative when it did not finish.
double transfer(int k, std::size_t bytes) {
    Pty pa;
    Pty pb;
    if (!pa.open() || !pb.open()) return -1;
    Air air(pa.master, pb.master);
    RealClock clock;
    kiss::KissSettings s;
    s.channels = 1;
    s.maxFrame = k;
    s.t2Ms = 100;
    s.myCall = "DA1AAA";
    s.traceFrames = std::getenv("KISS_TRACE") != nullptr;
    kiss::TraceFn trace;
    if (s.traceFrames)
        trace = [&clock](std::string_view l) {
            std::fprintf(stderr, "%lld %.*s\n", static_cast<long long>(clock.monotonicMs() % 100000),
                         static_cast<int>(l.size()), l.data());
        };
    auto a = kiss::openKissTnc("kiss:" + pa.slave, 9600, s, clock, nullptr, trace);
    s.myCall = "DB1BBB";
    auto b = kiss::openKissTnc("kiss:" + pb.slave, 9600, s, clock, nullptr, trace);
    if (!a || !b) return -1;
    ask(*a, 1, true, "C DB1BBB");
    const auto deadline = Clk::now() + std::chrono::seconds(600);
    const auto linkDeadline = Clk::now() + std::chrono::seconds(30);
    while (Clk::now() < linkDeadline && ask(*b, 1, true, "G").size() <= 2) a->waitReadable(5);
    if (Clk::now() >= linkDeadline) {
        std::fprintf(stderr, "no link: %s\n", ask(*a, 1, true, "L").c_str() + 2);
        return -1;
    }
    while (ask(*a, 1, true, "G").size() > 2) {
    }
    const auto start = Clk::now();
    std::size_t sent = 0;
    std::size_t got = 0;
    while (got < bytes && Clk::now() < deadline) {
        const std::string l = ask(*a, 1, true, "L");  // "a b unsent unacked tries state"
        int f[6] = {};
        std::sscanf(l.c_str() + 2, "%d %d %d %d %d %d", &f[0], &f[1], &f[2], &f[3], &f[4], &f[5]);
        if (sent < bytes && f[2] < 8) {
            const std::size_t n = std::min<std::size_t>(256, bytes - sent);
            ask(*a, 1, false, std::string(n, 'x'));
            sent += n;
        }
        for (std::string r = ask(*b, 1, true, "G"); r.size() > 2; r = ask(*b, 1, true, "G"))
            if (r[1] == 7) got += static_cast<unsigned char>(r[2]) + 1u;
        b->waitReadable(2);
    }
    if (got < bytes) return -1;
    return std::chrono::duration<double>(Clk::now() - start).count();
}

double idleCpu() {
    const auto dir = std::filesystem::temp_directory_path() / ("norva-kiss-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    Pty modem;
    if (!modem.open()) return -1;
    Profile profile(dir / "norva.ini");
    profile.writeString("Tnc", "1", "1");
    profile.writeString("1", "TncName", "Kiss");
    profile.writeInt("1", "Channels", 10);
    profile.writeString("1", "ComPort", "kiss:" + modem.slave);
    profile.writeInt("1", "Connected", 1);
    RealClock clock;
    NullUiPort ui;
    EngineConfig config;
    config.programDir = dir;
    kiss::KissSettings s;
    s.myCall = "DA1AAA";
    config.openStream = [&](const std::string& name, int baud, std::string* error) {
        if (kiss::isKissPortName(name)) return kiss::openKissTnc(name, baud, s, clock, error);
        return openStreamByName(name, baud, error);
    };
    Engine engine(config, profile, ui, clock);
    engine.start();
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const auto cpu0 = engine.cpuTimeNs();
    const auto wall0 = Clk::now();
    std::this_thread::sleep_for(std::chrono::seconds(5));
    const auto cpu1 = engine.cpuTimeNs();
    const double wall = std::chrono::duration<double>(Clk::now() - wall0).count();
    engine.shutdown();
    std::filesystem::remove_all(dir);
    return static_cast<double>(cpu1 - cpu0) / 1e9 / wall;
}

}  // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    const std::size_t bytes = argc > 1 ? static_cast<std::size_t>(std::atol(argv[1])) : 100000;
    std::printf("(a) %zu bytes over a simulated 9600 bit/s radio (%d ms key-up per frame), paclen 256:\n", bytes,
                kKeyUpMs);
    for (int k : {1, 4, 7}) {
        const double secs = transfer(k, bytes);
        if (secs < 0) {
            std::printf("  k=%d: did not finish\n", k);
            continue;
        }
        const double share = static_cast<double>(bytes) * 8 / secs / kBitsPerSecond;
        std::printf("  k=%d: %.1f s, %.0f bytes/s, %.2f of the line rate\n", k, secs, bytes / secs, share);
    }
    std::printf("(b) engine CPU idle with a KISS TNC: %.4f of a core (goal: near 0)\n", idleCpu());
    return 0;
}
