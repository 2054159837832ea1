// Programs a script starts with RUN: started without a shell, never waited
// for by the engine, and collected once they end, so a station that runs
// scripts for days gathers no zombies.
#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <sstream>

#include "channel/StationRig.h"

namespace norva::test {
namespace {

namespace fs = std::filesystem;

// Children of this test process that have ended but were not collected.
int zombieChildren() {
    int count = 0;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        if (!stat || !std::getline(stat, line)) continue;
        const auto close = line.rfind(')');
        if (close == std::string::npos || close + 4 >= line.size()) continue;
        std::istringstream rest(line.substr(close + 2));
        char state = 0;
        int ppid = 0;
        rest >> state >> ppid;
        if (ppid == ::getpid() && state == 'Z') ++count;
    }
    return count;
}

TEST(ScriptPrograms, RunLeavesTheEngineFreeAndNoZombieBehind) {
    TwoStations two;
    ASSERT_TRUE(two.start());
    Station& a = two.a;
    a.dir.write("note.sh", "#!/bin/sh\necho \"$@\" > \"$(dirname \"$0\")/noted.txt\"\n");
    a.dir.write("hold.sh", "#!/bin/sh\nexec sleep 30\n");
    for (const char* name : {"note.sh", "hold.sh"}) fs::permissions(a.dir.path() / name, fs::perms::owner_all);
    // A program that outlives the script by far; the script goes on at once.
    a.dir.write("run.scr", "**RUN hold.sh\r\n**RUN note.sh eins zwei\r\n**RUN no-such-program\r\n");
    a.console->line(":ch 1/1");
    a.console->line(":script run.scr");
    ASSERT_TRUE(eventually([&] { return a.dir.read("noted.txt") == "EINS ZWEI\n"; })) << a.output() << a.errors();
    EXPECT_TRUE(eventually([&] { return a.output().find("RUN NO-SUCH-PROGRAM: ") != std::string::npos; }))
        << "a program that cannot start is said: " << a.output();
    EXPECT_EQ(a.engine->call([] { return 1; }), 1) << "the engine answers while hold.sh runs";
    EXPECT_TRUE(eventually([] { return zombieChildren() == 0; }, 5000)) << "ended programs are collected";
}

}  // namespace
}  // namespace norva::test
