// What an incoming connect costs the engine thread in station files: 100
// connects go through the station hook's two calls (the alias pair and the
// connect update) on a real directory, as the link state makes them. It
// prints the longest and the mean time of one connect and how many files
// the kernel saw written per connect (inotify: renames onto a name and
// writes closed on it).
//
//   station_bench [DIR]   (default: a fresh directory under /tmp)
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/Profile.h"
#include "station/StationPaths.h"
#include "station/StationUpdate.h"

namespace {

namespace fs = std::filesystem;
using norva::ConnectFacts;

constexpr int kConnects = 100;
constexpr int kStations = 25;  // so most connects find their file, some make it

// Files written since the last call (dot names are temporary copies).
int writesSince(int fd) {
    int count = 0;
    alignas(inotify_event) char buf[16384];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n <= 0) return count;
        for (ssize_t at = 0; at < n;) {
            const auto* e = reinterpret_cast<const inotify_event*>(buf + at);
            if (e->len > 0 && e->name[0] != '.') ++count;
            at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    fs::path dir;
    if (argc > 1) {
        dir = argv[1];
        fs::create_directories(dir);
    } else {
        std::string tmpl = (fs::temp_directory_path() / "norva-station-bench-XXXXXX").string();
        if (!::mkdtemp(tmpl.data())) return 1;
        dir = tmpl;
    }
    fs::create_directories(dir / "stn");
    norva::Profile settings(dir / "norva.ini");
    settings.writeString("frame", "StationDir", (dir / "stn").string());
    const norva::StationPaths paths(settings, dir);
    norva::StationUpdate update(paths);

    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (watch < 0) return 1;
    ::inotify_add_watch(watch, dir.c_str(), IN_MOVED_TO | IN_CLOSE_WRITE);
    ::inotify_add_watch(watch, (dir / "stn").c_str(), IN_MOVED_TO | IN_CLOSE_WRITE);
    writesSince(watch);

    double maxMs = 0, sumMs = 0;
    int writes = 0, maxWrites = 0;
    for (int i = 0; i < kConnects; ++i) {
        const int n = i % kStations;
        ConnectFacts f;
        f.destCall = "DB" + std::to_string(n % 10) + "X" + std::string(1, static_cast<char>('A' + n)) + "-3";
        f.aliasDestCall = "NODE" + std::to_string(n);
        f.neighbourCall = "DB0NOD";
        f.neighbourAlias = "NOD";
        f.now.minute = i % 60;
        f.stationInfo = "1,2,3,4,5,6,7,8,9,Sysop " + std::to_string(n) + ",Qth " + std::to_string(i);
        const auto start = std::chrono::steady_clock::now();
        update.aliasPair(f.aliasDestCall, f.destCall);
        update.update(f);
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        maxMs = std::max(maxMs, ms);
        sumMs += ms;
        const int w = writesSince(watch);
        writes += w;
        maxWrites = std::max(maxWrites, w);
    }
    ::close(watch);
    std::printf("station_bench: %d connects to %d stations in %s\n", kConnects, kStations, dir.c_str());
    std::printf("  longest connect  %8.3f ms\n", maxMs);
    std::printf("  mean per connect %8.3f ms\n", sumMs / kConnects);
    std::printf("  files written per connect: mean %.2f, most %d\n", static_cast<double>(writes) / kConnects,
                maxWrites);
    if (argc <= 1) fs::remove_all(dir);
    return 0;
}
