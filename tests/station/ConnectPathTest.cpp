// Connect scripts from station back-links, and the entry-node list.
#include <gtest/gtest.h>

#include "platform/Profile.h"
#include "station/ConnectPath.h"
#include "station/EntryNodes.h"
#include "station/StationPaths.h"
#include "support/TempDir.h"

namespace norva::test {
namespace {

namespace fs = std::filesystem;

class ConnectPaths : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directory(dir / "stn");
        settings.writeString("frame", "StationDir", (dir / "stn").string());
    }
    // A station file as a person might write it: LF ends, any case.
    void station(const std::string& file, const std::string& command, const std::string& last) {
        std::string text = "[station]\n";
        if (!command.empty()) text += "connectcommand=" + command + "\n";
        if (!last.empty()) text += "LASTDESTCALL=" + last + "\n";
        writeFile(dir / "stn" / file, text);
    }
    std::string wait = "**Waitfor Connected to\r\n";

    TempDir dir;
    Profile settings{dir.path() / "norva.ini"};
    StationPaths paths{settings, dir.path()};
};

TEST_F(ConnectPaths, DirectAndThroughTwoNodes) {
    station("DB0AAA.stn", "C DB0AAA-2", "LOCAL");
    EXPECT_EQ(buildConnectPath(paths, "db0aaa", 100).script, "**c db0aaa-*\r\n" + wait);
    EXPECT_EQ(buildConnectPath(paths, "DB0AAA", 1).script, "**c db0aaa-*\r\n" + wait) << "one station fits in 1";

    station("DB0BBB.stn", "C DB0BBB", "db0aaa");
    station("DB0CCC-1.stn", "c hhbox-1 via x", "DB0BBB");
    const ConnectPathResult r = buildConnectPath(paths, "DB0CCC-1", 3);
    ASSERT_TRUE(r.ok()) << r.error->message;
    EXPECT_EQ(r.script, "**c db0aaa-*\r\n" + wait + "c db0bbb\r\n" + wait + "c hhbox-1 via x\r\n" + wait)
        << "only the first hop is a command, and only its SSID becomes -*";
    const ConnectPathResult tooFew = buildConnectPath(paths, "DB0CCC-1", 2);
    ASSERT_FALSE(tooFew.ok());
    EXPECT_EQ(tooFew.error->number, 3);
    EXPECT_EQ(tooFew.error->message, "Fehlerhafte Stations Datei !\rDatei:DB0AAA.STN\r\rFehler:zu viele Knoten");
    EXPECT_TRUE(tooFew.script.empty());
}

TEST_F(ConnectPaths, BrokenFilesNameTheStationAndTheReason) {
    station("DB0BBB.stn", "", "local");
    station("DB0CCC.stn", "c db0ccc", "DB0BBB");
    ConnectPathResult r = buildConnectPath(paths, "DB0CCC", 100);
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error->number, 1);
    EXPECT_EQ(r.error->call, "DB0BBB");
    EXPECT_EQ(r.error->message, "Fehlerhafte Stations Datei !\rDatei:DB0BBB.STN\r\rFehler:kein Connectbefehl");

    station("DB0BBB.stn", "c db0bbb", "");
    r = buildConnectPath(paths, "DB0CCC", 100);
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error->message, "Fehlerhafte Stations Datei !\rDatei:DB0BBB.STN\r\rFehler:kein vorhergehendes Call");

    r = buildConnectPath(paths, "DL9NIX", 100);
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error->number, 1) << "a missing file reads as empty";

    // A back-link loop ends after the maximum, also when the operator asks for a huge one.
    station("DB0LP1.stn", "c db0lp1", "DB0LP2");
    station("DB0LP2.stn", "c db0lp2", "DB0LP1");
    r = buildConnectPath(paths, "DB0LP1", 100);
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error->number, 3);
    EXPECT_EQ(r.error->call, "DB0LP1") << "the 100th station read leads back to DB0LP1";
    r = buildConnectPath(paths, "DB0LP1", 2'000'000'000);
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error->number, 3);

    // Maximum 0 (or less): nothing to build, no error.
    for (int max : {0, -5}) {
        r = buildConnectPath(paths, "DB0LP1", max);
        EXPECT_TRUE(r.ok());
        EXPECT_TRUE(r.script.empty());
    }
}

TEST_F(ConnectPaths, HostileBackLinksAndCommandsAreRefused) {
    writeFile(dir / "passwd.stn", "[Station]\nConnectCommand=c x\nLastDestCall=local\n");
    station("DB0AAA.stn", "c db0aaa", "../passwd");
    ConnectPathResult r = buildConnectPath(paths, "DB0AAA", 100);
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error->number, 4);
    EXPECT_NE(r.error->message.find("Fehler:kein gültiges Rufzeichen"), std::string::npos);

    // A text hop that would be a script command of its own.
    station("DB0AAA.stn", "**exec rm -rf ~", "DB0NOD");
    station("DB0NOD.stn", "c db0nod", "local");
    r = buildConnectPath(paths, "DB0AAA", 100);
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error->number, 4);
    for (const std::string dest : {"", "../../etc/passwd", "A/B", ".X", "DB0ABC-16"}) {
        r = buildConnectPath(paths, dest, 100);
        ASSERT_FALSE(r.ok()) << dest;
        EXPECT_EQ(r.error->number, 4) << dest;
    }
    // A wildcard destination uses its base call's file.
    EXPECT_TRUE(buildConnectPath(paths, "DB0NOD-*", 10).ok());
}

TEST_F(ConnectPaths, TheChosenFileIsCreatedFirstAndStaysEmptyOnError) {
    station("DB0AAA.stn", "c db0aaa", "local");
    const fs::path out = dir / "db0aaa.scr";
    writeFile(out, "old script text");
    ConnectPathResult r = writeConnectScript(paths, "DB0AAA", 100, out);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(readFile(out), "**c db0aaa\r\n" + wait);

    writeFile(out, "old script text");
    r = writeConnectScript(paths, "DB0ZZZ", 100, out);
    EXPECT_FALSE(r.ok());
    EXPECT_TRUE(fs::exists(out));
    EXPECT_EQ(readFile(out), "");

    writeFile(out, "old script text");
    r = writeConnectScript(paths, "DB0AAA", 0, out);
    EXPECT_TRUE(r.ok()) << "maximum 0: empty file, no message";
    EXPECT_EQ(readFile(out), "");

    r = writeConnectScript(paths, "DB0AAA", 100, dir / "no" / "such" / "dir.scr");
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error->number, 0);
    EXPECT_EQ(proposedScriptName("DB0AAA-2"), "db0aaa-2.scr");
}

TEST(EntryNodeList, AddRemoveAndChoose) {
    std::string list;
    list = addNode(list, "db0aaa");
    list = addNode(list, " DB0BBB ");
    list = addNode(list, "Db0AaA");
    EXPECT_EQ(list, "DB0AAA,DB0BBB,");
    EXPECT_EQ(addNode(list, "DB0AA"), "DB0AAA,DB0BBB,DB0AA,") << "a prefix of an entry is another node";
    EXPECT_EQ(addNode(list, "A,B"), list);
    EXPECT_EQ(addNode(list, ""), list);
    EXPECT_EQ(addNode(list, std::string(81, 'X')), list);
    EXPECT_EQ(addNode(list, std::string("X\rY", 3)), list);
    EXPECT_EQ(addNode("DB0AAA", "DB0BBB"), "DB0AAA,DB0BBB,") << "a hand-edited list without its last comma";

    EXPECT_EQ(splitNodes(" DB0AAA ,,DB0BBB,DB0CCC"), (std::vector<std::string>{"DB0AAA", "DB0BBB", "DB0CCC"}));
    EXPECT_TRUE(splitNodes("").empty());
    EXPECT_TRUE(splitNodes(",,,").empty());

    EXPECT_EQ(removeNode("DB0AAA,DB0BBB,DB0CCC,", "db0bbb"), "DB0AAA,DB0CCC,");
    EXPECT_EQ(removeNode("DB0AAA,DB0BBB,", "DB0B"), "DB0AAA,DB0BBB,");
    EXPECT_EQ((removeNode(NodeChoice{"DB0AAA,DB0BBB,", "DB0BBB"}, "DB0BBB")), (NodeChoice{"DB0AAA,", ""}));
    EXPECT_EQ((removeNode(NodeChoice{"DB0AAA,DB0BBB,", "DB0BBB"}, "DB0AAA")), (NodeChoice{"DB0BBB,", "DB0BBB"}));
}

}  // namespace
}  // namespace norva::test
