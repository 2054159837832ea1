// Stations on a running headless station: a connect writes the station
// file, ":station" shows it, and ":connect" reaches the station again
// through the connect script built from its connect path.
#include <gtest/gtest.h>

#include <filesystem>

#include "channel/StationRig.h"
#include "transfer/SevenPlusParts.h"

namespace norva::test {
namespace {

namespace fs = std::filesystem;

TEST(StationConsole, ConnectWritesTheFileAndConnectRunsItsPath) {
    TwoStations two;
    ASSERT_TRUE(two.start());
    Station& a = two.a;
    Station& b = two.b;
    const fs::path scripts = a.dir.path() / "scripts";
    fs::create_directories(scripts);
    a.engine->call([&] { return a.profile->writeString("frame", "ScriptDir", scripts.string()); });

    a.console->line(":connect DB1BBB");
    a.console->line(":connect ../../etc");
    ASSERT_TRUE(eventually([&] { return a.errors().find("\"../../ETC\" ist kein Rufzeichen.") != std::string::npos; }))
        << a.errors();
    EXPECT_NE(a.errors().find("keine Stationsdatei für DB1BBB"), std::string::npos);

    // A connect by hand: the station file remembers how DB1BBB was reached.
    a.console->line(":ch 1/1");
    a.console->line("\\e c db1bbb");
    ASSERT_TRUE(eventually([&] { return a.linkState(1) == 4 && b.linkState(1) == 4; }));
    ASSERT_TRUE(eventually([&] { return fs::exists(a.dir.path() / "DB1BBB.stn"); }));
    const std::string stn = a.dir.read("DB1BBB.stn");
    EXPECT_NE(stn.find("DestCall=DB1BBB\r\n"), std::string::npos) << stn;
    EXPECT_NE(stn.find("LastDestCall=local\r\n"), std::string::npos) << stn;
    EXPECT_NE(stn.find("ConnectCommand=c db1bbb\r\n"), std::string::npos) << stn;
    a.console->line("\\e d");
    ASSERT_TRUE(eventually([&] { return a.linkState(1) == 0 && b.linkState(1) == 0; }));

    a.console->line(":station db1bbb");
    ASSERT_TRUE(eventually([&] { return a.errors().find("  ConnectCommand=c db1bbb") != std::string::npos; }))
        << a.errors();

    // No script of its own: the connect path becomes db1bbb.scr and runs on the first free channel.
    a.console->line(":connect DB1BBB");
    ASSERT_TRUE(eventually([&] { return a.linkState(1) == 4 && b.linkState(1) == 4; }, 20000)) << a.errors();
    EXPECT_EQ(a.dir.read("scripts/db1bbb.scr"), "**c db1bbb\r\n**Waitfor Connected to\r\n");
    EXPECT_NE(a.errors().find("DB1BBB: db1bbb.scr läuft"), std::string::npos) << a.errors();
}

}  // namespace
}  // namespace norva::test

namespace norva::test {
namespace {

TEST(SevenPlusConsole, DecodeBuildsTheSetOfAPartOf7PlusRxDirInTheReceiveFolder) {
    Station s;
    s.start("", "DA1AAA");
    const std::string payload = "7Plus from the console\n";
    const auto parts = encodeSevenPlus(payload, "console.txt", {});
    ASSERT_TRUE(parts);
    fs::create_directories(s.dir.path() / "rx");
    s.dir.write("rx/CONSOLE.7PL", parts->at(0).text);
    s.engine->call([&] { return s.profile->writeString("frame", "7PlusRxDir", (s.dir.path() / "rx").string()); });
    s.console->line(":decode7p CONSOLE.7PL");
    // 7PlusExtractDir is empty: the result lands in the receive folder.
    const fs::path decoded = s.dir.path() / "received" / "console.txt";
    EXPECT_TRUE(eventually([&] {
        return s.errors().find("7Plus Datei " + decoded.string() + " dekodiert, 23 Bytes.\n") != std::string::npos;
    })) << s.errors();
    EXPECT_EQ(s.dir.read("received/console.txt"), payload);
    s.console->line(":decode7p");
    EXPECT_TRUE(eventually([&] { return s.errors().find("needs the name of a 7Plus part") != std::string::npos; }));
}

}  // namespace
}  // namespace norva::test

namespace norva::test {
namespace {

TEST(MailboxConsole, ListsListingsTheirMessagesAndWritesTheReadScript) {
    Station s;
    s.start("", "DA1AAA");
    s.dir.write("ALLE.b01", "User-File: ALLE\r\n  1 DL1ABC 01.12.26 10:15 12 Eins\r\n  4 DB0XYZ 02.12.26 11:20 34 Vier\r\n");
    s.console->line(":mailbox");
    s.console->line(":mailbox alle.b01");
    s.console->line(":mailbox ALLE.b01 read 2");
    s.console->line(":mailbox ../norva.ini");
    s.console->line(":mailbox ALLE.b01 read 9");
    ASSERT_TRUE(eventually([&] { return s.errors().find("keine Nachricht 9") != std::string::npos; })) << s.errors();
    const std::string out = s.errors();
    EXPECT_NE(out.find("ALLE.b01\n"), std::string::npos);
    EXPECT_NE(out.find("1:   1 DL1ABC 01.12.26 10:15 12 Eins\n2:   4 DB0XYZ"), std::string::npos) << out;
    EXPECT_NE(out.find("kein Verzeichnis ../norva.ini"), std::string::npos);
    EXPECT_EQ(s.dir.read("readbox.scr"), "**Rem   4 DB0XYZ 02.12.26 11:20 34 Vier\r\nr ALLE 4\r\n**WaitforBoxPrompt\r\n\r\n");
}

}  // namespace
}  // namespace norva::test
