// A station on the air tries to plant Norva's own files: with AutoBin on and
// every directory left at its default, it sends #BIN# files named after
// each kind Norva reads (a 7Plus decoder script, menus, a script, a TNC
// init file, a station file, the alias list, a greeting). Each is a program
// that would leave a mark if anything ran it. Afterwards a 7Plus decode, a
// menu load, a script start and a restart of the station run none of them,
// and all of them lie in the receive folder under safe names.
#include <gtest/gtest.h>

#include "channel/StationRig.h"
#include "app/UserMenus.h"
#include "platform/Text.h"
#include "transfer/Transfers.h"

namespace norva::test {
namespace {

namespace fs = std::filesystem;

const char* const kPlanted[] = {"7pluse.sh", "exec.mnu",  "connect.mnu", "visit.scr",
                                "tnc1.ini",  "DB1BBB.stn", "alias.dat",  "whello1.txt"};

TEST(PlantedFiles, NothingFromTheAirLandsWhereNorvaReadsItsOwnFilesOrEverRuns) {
    TempDir marks;
    TwoStations two;
    two.a.extraIni = "[Link2]\r\nAutoBin=1\r\n";
    ASSERT_TRUE(two.start());
    Station& a = two.a;
    Station& b = two.b;
    // Norva decodes 7Plus itself: no decoder script is written, none is ever run.
    EXPECT_FALSE(fs::exists(a.dir.path() / "7pluse.sh"));

    a.console->line(":ch 1/1");
    a.console->line("\\e c db1bbb");
    ASSERT_TRUE(eventually([&] { return a.linkState(1) == 4 && b.linkState(1) == 4; })) << a.output();

    for (const char* name : kPlanted) {
        // A program for sh, a menu line, a script line and a TNC command at once.
        b.dir.write(name, "#!/bin/sh\ntouch " + (marks.path() / name).string() + "\nRun=touch " +
                              (marks.path() / name).string() + "\nI PLANTED\n");
        ASSERT_TRUE(b.onChannel(1, [&](CTncChannel& c) {
            return enqueueTransfer(c, makeBinSendJob(c, b.dir.path() / name, false));
        }));
        // The sender names the file in capitals, as the field does.
        const fs::path landed = a.dir.path() / "received" / (toUpper(name) + ".rcv");
        ASSERT_TRUE(eventually([&] { return fs::exists(landed) && fs::file_size(landed) > 0; }, 60000))
            << name << "\n" << a.output() << b.output();
        ASSERT_TRUE(eventually([&] {
            return b.onChannel(1, [](CTncChannel& c) { return !c.job(JobSlot::Send) && c.transferQueue().empty(); });
        }, 60000));
    }

    // Nothing landed among A's own files; what was there is unchanged.
    EXPECT_FALSE(fs::exists(a.dir.path() / "7pluse.sh"));
    for (const char* name : {"exec.mnu", "connect.mnu", "visit.scr", "tnc1.ini", "whello1.txt"})
        EXPECT_FALSE(fs::exists(a.dir.path() / name)) << name;
    EXPECT_EQ(a.dir.read("DB1BBB.stn").find("PLANTED"), std::string::npos);
    EXPECT_EQ(a.dir.read("alias.dat").find("PLANTED"), std::string::npos);
    EXPECT_EQ(fs::status(a.dir.path() / "received").permissions() & fs::perms::all, fs::perms::owner_all);
    EXPECT_NE(a.dir.read("system.log").find("BinReadFileDir is empty: received files go to "), std::string::npos);

    // The operator's next steps run nothing that came from the air.
    a.dir.write("received/part.7pl", "not a 7plus part\r\n");
    a.console->line(":decode7p part.7pl");
    a.console->line(":script visit.scr");
    EXPECT_TRUE(eventually([&] { return a.errors().find("visit.scr") != std::string::npos; })) << a.errors();
    const UserMenu menu = a.engine->call([&] {
        const HostContext& ctx = a.engine->context();
        return loadUserMenu(userMenuPath(ctx.profile, ctx.programDir, UserMenuKind::Run), UserMenuKind::Run);
    });
    EXPECT_TRUE(menu.entries.empty());

    // A restart reads its init file and writes no decoder script.
    a.stop();
    a.start(two.serverA.slavePath(), "DA1AAA");
    ASSERT_TRUE(eventually([&] { return a.tncOpen(); })) << a.errors();
    EXPECT_FALSE(fs::exists(a.dir.path() / "7pluse.sh"));
    for (const std::string& command : commandsOn(two.serverA, 0)) EXPECT_EQ(command.find("PLANTED"), std::string::npos);

    // Give a decoder that was run the moment it needs, through a round trip of the engine.
    a.engine->call([] { return true; });
    for (const char* name : kPlanted) EXPECT_FALSE(fs::exists(marks.path() / name)) << name << " ran";
}

}  // namespace
}  // namespace norva::test
