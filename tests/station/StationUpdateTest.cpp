// The station files a real connect leaves behind: the update installed as
// the channels' station hook, driven by the TNC's link-status texts and a
// node's connect reports, and the connect path built from what it wrote.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "ChannelRig.h"
#include "FileWrites.h"
#include "station/AliasList.h"
#include "station/ConnectPath.h"
#include "station/PasswordFile.h"
#include "station/StationFile.h"
#include "station/StationList.h"
#include "station/StationPaths.h"
#include "station/StationUpdate.h"

namespace norva::test {
namespace {

namespace fs = std::filesystem;

struct FakeMap : MapProgramHook {
    std::string stationInfo(std::string_view call) override { return call == "DB0ABC-3" ? record : ""; }
    std::string record;
};

class ConnectUpdate : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directory(rig.dir / "stn");
        rig.profile.writeString("frame", "StationDir", (rig.dir / "stn").string());
        hooks().setStation(&update);
        hooks().setMap(&map);
        rig.configure(1, 4, "DL1XYZ");
        rig.create();
    }
    void TearDown() override {
        hooks().setStation(nullptr);
        hooks().setMap(nullptr);
    }
    ChannelHooks& hooks() { return rig.ctx.channels.hooks(); }
    CTncChannel& ch(int n) { return rig.channel(1, n); }
    void status(int n, std::string_view text) {
        rig.queueStatus(n, text);
        rig.poll(n);
    }
    void info(int n, std::string_view text) {
        rig.queueInfo(n, text);
        rig.poll(n);
    }
    std::string stn(const std::string& name) { return readFile(rig.dir / "stn" / name); }
    std::string key(const std::string& name, std::string_view k) {
        return Profile(rig.dir / "stn" / name).getString("Station", k, "<none>");
    }
    std::size_t listStationsIn() {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(rig.dir / "stn"), fs::directory_iterator()));
    }
    std::string notices() {
        std::string all;
        for (const auto& [slot, cls, text] : rig.ui.texts)
            if (cls == kClassTncEcho) all += text;
        return all;
    }

    ChannelRig rig;
    StationPaths paths{rig.profile, rig.dir.path()};
    StationUpdate update{paths};
    FakeMap map;
};

TEST_F(ConnectUpdate, DirectConnectTwiceKeepsWhatTheOperatorChanged) {
    status(1, "(1) CONNECTED to DB0ABC");
    EXPECT_EQ(stn("DB0ABC.stn"),
              "[Station]\r\nDestCall=DB0ABC\r\nAliasDestCall=DB0ABC\r\nLastDestCall=local\r\n"
              "LastAliasDestCall=\r\nLastConnectTime=05.03.2024 09:07\r\nTnc=1\r\n"
              "ConnectCommand=c db0abc\r\nStationType=normal Node\r\nModified=TRUE\r\n");
    EXPECT_FALSE(fs::exists(paths.aliasFile())) << "call and alias are the same";

    // The operator corrects the file; the link ends; two hours later the
    // station is called again, now with an SSID: a plain call's file is its base call's.
    Profile edit(rig.dir / "stn" / "DB0ABC.stn");
    edit.writeString("Station", "ConnectCommand", "c db0abc-7");
    edit.writeString("Station", "StationType", "Mailbox");
    status(1, "(1) DISCONNECTED fm DB0ABC");
    rig.clock.advanceMs((2 * 60 + 5) * 60 * 1000);
    ch(1).textOut("* C DB0ABC-7", kKindCommand, false);
    status(1, "(1) CONNECTED to DB0ABC-7");
    EXPECT_EQ(stn("DB0ABC.stn"),
              "[Station]\r\nDestCall=DB0ABC\r\nAliasDestCall=DB0ABC\r\nLastDestCall=local\r\n"
              "LastAliasDestCall=\r\nLastConnectTime=05.03.2024 11:12\r\nTnc=1\r\n"
              "ConnectCommand=c db0abc-7\r\nStationType=Mailbox\r\nModified=TRUE\r\n")
        << "the link before was to DB0ABC itself, not through it";
    EXPECT_EQ(listStationsIn(), 1u);
}

TEST_F(ConnectUpdate, OnwardConnectThroughANodeRecordsTheNeighbourAndTheMapInfo) {
    map.record = ",,1,2,,,3,4,5,6,7,8,9,Hans Meier,Hamburg JO43\r\nrest";
    status(1, "(1) CONNECTED to DB0NOD-2");
    ch(1).textOut("c hhbox\r", kKindInfo, true);
    info(1, "*** connected to HHBOX:DB0ABC-3\r");

    EXPECT_EQ(stn("DB0ABC-3.stn"),
              "[Station]\r\nDestCall=DB0ABC-3\r\nAliasDestCall=HHBOX\r\nLastDestCall=DB0NOD\r\n"
              "LastAliasDestCall=DB0NOD\r\nLastConnectTime=05.03.2024 09:07\r\nTnc=1\r\n"
              "ConnectCommand=c db0abc-3\r\nStationType=Mailbox\r\nModified=TRUE\r\n"
              "Sysop=Hans Meier\r\nQth=Hamburg JO43\r\n");
    EXPECT_EQ(key("DB0NOD.stn", "DestCall"), "DB0NOD");
    EXPECT_EQ(key("DB0NOD.stn", "Sysop"), "<none>") << "the map knew nothing of the node";
    EXPECT_EQ(rig.dir.read("alias.dat"), "[call]\r\nDB0ABC-3=HHBOX\r\n");

    // The path back: first hop a TNC command, the box a text hop.
    Profile(rig.dir / "stn" / "DB0NOD.stn").writeString("Station", "ConnectCommand", "c db0nod-2");
    const ConnectPathResult path = buildConnectPath(paths, "DB0ABC-3", 100);
    ASSERT_TRUE(path.ok()) << path.error->message;
    EXPECT_EQ(path.script,
              "**c db0nod-*\r\n**Waitfor Connected to\r\nc db0abc-3\r\n**Waitfor Connected to\r\n");

    // The map's spelling in another case does not overwrite the operator's.
    Profile(rig.dir / "stn" / "DB0ABC-3.stn").writeString("Station", "Sysop", "HANS MEIER");
    map.record = "1,2,3,4,5,6,7,8,9,hans meier,Kiel";
    status(1, "(1) DISCONNECTED fm DB0NOD-2");
    status(1, "(1) CONNECTED to DB0NOD-2");
    ch(1).textOut("c hhbox\r", kKindInfo, true);
    info(1, "*** connected to HHBOX:DB0ABC-3\r");
    EXPECT_EQ(key("DB0ABC-3.stn", "Sysop"), "HANS MEIER");
    EXPECT_EQ(key("DB0ABC-3.stn", "Qth"), "Kiel");
}

TEST_F(ConnectUpdate, LongCallsShareAFileAndBoxIsFoundInAnyCase) {
    for (int n : {2, 3}) {
        status(n, "(" + std::to_string(n) + ") CONNECTED to DB0NOD");
        ch(n).textOut("c dl1abc\r", kKindInfo, true);
    }
    info(2, "*** connected to MOBIL:DL1ABC-10\r");
    EXPECT_EQ(key("DL1ABC-1.stn", "DestCall"), "DL1ABC-10");
    Profile(rig.dir / "stn" / "DL1ABC-1.stn").writeString("Station", "Comment", "kept");
    info(3, "*** connected to HEIM:DL1ABC-1\r");
    EXPECT_EQ(key("DL1ABC-1.stn", "DestCall"), "DL1ABC-1");
    EXPECT_EQ(key("DL1ABC-1.stn", "AliasDestCall"), "HEIM");
    EXPECT_EQ(key("DL1ABC-1.stn", "Comment"), "kept");
    EXPECT_EQ(key("DL1ABC-1.stn", "ConnectCommand"), "c dl1abc-10") << "first connect only";

    ConnectFacts f;
    f.destCall = "DB0MB";
    f.aliasDestCall = "HhBoX";
    ASSERT_TRUE(update.update(f));
    EXPECT_EQ(key("DB0MB.stn", "StationType"), "Mailbox");
    f.destCall = "DB0NB";
    f.aliasDestCall = "HHBO";
    ASSERT_TRUE(update.update(f));
    EXPECT_EQ(key("DB0NB.stn", "StationType"), "normal Node");
}

TEST_F(ConnectUpdate, HostileCallsFromTheAirNeverBecomeFileNames) {
    status(1, "(1) CONNECTED to ../../ETC");
    status(2, "(2) CONNECTED to .X");
    EXPECT_TRUE(fs::is_empty(rig.dir / "stn"));
    status(3, "(3) CONNECTED to DB0NOD");
    ch(3).textOut("c x\r", kKindInfo, true);
    info(3, "*** connected to X:DB0ABC-16\r");
    EXPECT_FALSE(fs::exists(rig.dir / "stn" / "DB0ABC-1.stn"));
    EXPECT_EQ(fs::exists(rig.dir / "ETC.stn") || fs::exists(rig.dir.path().parent_path() / "ETC.stn"), false);
    const std::string shown = notices();
    EXPECT_NE(shown.find("\"../../ETC\" ist kein Rufzeichen."), std::string::npos) << shown;
    EXPECT_NE(shown.find("\".X\" ist kein Rufzeichen."), std::string::npos);
    EXPECT_NE(shown.find("\"DB0ABC-16\" ist kein Rufzeichen."), std::string::npos);
    EXPECT_FALSE(fs::exists(paths.aliasFile()));

    // A node's alias may be odd text; it is a value, never a key or a file.
    ch(1).textOut("c x\r", kKindInfo, true);
    status(4, "(4) CONNECTED to DB0NOD");
    ch(4).textOut("c x\r", kKindInfo, true);
    info(4, "*** connected to A/B=[C]:DB0ABC\r");
    EXPECT_EQ(key("DB0ABC.stn", "AliasDestCall"), "A/B=[C]");
    EXPECT_EQ(update.aliases().byCall("DB0ABC"), "A/B=[C]");
    update.aliasPair("ALIAS", "../../ETC");
    update.aliasPair("ALIAS", std::string(300, 'A'));
    EXPECT_EQ(rig.dir.read("alias.dat"), "[call]\r\nDB0ABC=A/B=[C]\r\n");
}

TEST_F(ConnectUpdate, LogStationOffOrNoDirectoryWritesNothing) {
    ch(1).settings().logStation = false;
    status(1, "(1) CONNECTED to DB0ABC");
    EXPECT_TRUE(fs::is_empty(rig.dir / "stn"));
    // The update never creates the station directory, and a connect goes on without it.
    fs::remove_all(rig.dir / "stn");
    status(2, "(2) CONNECTED to DB0ABC");
    EXPECT_FALSE(fs::exists(rig.dir / "stn"));
    EXPECT_EQ(ch(2).linkState().destCall(), "DB0ABC");
    EXPECT_EQ(notices().find("Rufzeichen"), std::string::npos);
}

TEST_F(ConnectUpdate, EachConnectWritesEveryFileItTouchesOnce) {
    FileWrites stations(rig.dir / "stn");
    FileWrites program(rig.dir.path());
    ASSERT_TRUE(stations.ok() && program.ok());
    // The link log is appended to, not rewritten: it does not count here.
    const auto rewrites = [&program] {
        Writes w = program.take();
        w.erase("norva.log");
        return w;
    };
    map.record = "1,2,3,4,5,6,7,8,9,Hans Meier,Hamburg JO43";
    status(1, "(1) CONNECTED to DB0NOD-2");
    EXPECT_EQ(stations.take(), (Writes{{"DB0NOD.stn", 1}}));
    ch(1).textOut("c hhbox\r", kKindInfo, true);
    // Every step at once: a new file, the first-connect keys, the map's
    // Sysop and Qth, and a new alias list.
    info(1, "*** connected to HHBOX:DB0ABC-3\r");
    EXPECT_EQ(stations.take(), (Writes{{"DB0ABC-3.stn", 1}}));
    EXPECT_EQ(rewrites(), (Writes{{"alias.dat", 1}})) << "created with its entry in one write";
    EXPECT_EQ(rig.dir.read("alias.dat"), "[call]\r\nDB0ABC-3=HHBOX\r\n");
    EXPECT_NE(stn("DB0ABC-3.stn").find("Modified=TRUE\r\nSysop=Hans Meier\r\nQth=Hamburg JO43\r\n"),
              std::string::npos);

    // Again, onto existing files; an alias that did not change costs nothing.
    status(1, "(1) DISCONNECTED fm DB0NOD-2");
    rig.clock.advanceMs(60 * 1000);
    status(1, "(1) CONNECTED to DB0NOD-2");
    ch(1).textOut("c hhbox\r", kKindInfo, true);
    info(1, "*** connected to HHBOX:DB0ABC-3\r");
    EXPECT_EQ(stations.take(), (Writes{{"DB0ABC-3.stn", 1}, {"DB0NOD.stn", 1}}));
    EXPECT_EQ(rewrites(), Writes{});
}

// Files named by callsigns may be anything someone put there: none of them
// may stop the engine, carry a write elsewhere, or be cut.
TEST_F(ConnectUpdate, HostileFilesInAStationsPlaceAreNeitherReadNorWritten) {
    const fs::path stnDir = rig.dir / "stn";
    const fs::path outside = rig.dir / "outside.txt";
    const std::string secret = "root:x:0:0:root:/root:/bin/bash\n";
    writeFile(outside, secret);
    ::chmod(outside.c_str(), 0644);
    ASSERT_EQ(::mkfifo((stnDir / "DL1ABC.stn").c_str(), 0600), 0);
    fs::create_symlink(outside, stnDir / "DL1ABD.stn");
    fs::create_symlink("/dev/zero", stnDir / "DL1ABE.stn");
    const std::string big = "[Station]\r\nDestCall=DL1ABF\r\n;" + std::string(kStationFileLimit, 'x') + "\r\n";
    writeFile(stnDir / "DL1ABF.stn", big);

    int n = 1;
    for (const char* call : {"DL1ABC", "DL1ABD", "DL1ABE", "DL1ABF"}) {
        status(n, "(" + std::to_string(n) + ") CONNECTED to " + call);
        EXPECT_EQ(ch(n).linkState().destCall(), call) << "the connect goes on";
        EXPECT_NE(notices().find("Die Datei " + std::string(call) + ".stn ist keine gewöhnliche Datei oder zu groß"),
                  std::string::npos)
            << call;
        ++n;
    }
    EXPECT_TRUE(readFile(outside) == secret) << "nothing is written through a link";
    EXPECT_TRUE(fs::is_symlink(stnDir / "DL1ABD.stn"));
    EXPECT_TRUE(fs::is_fifo(stnDir / "DL1ABC.stn"));
    EXPECT_TRUE(readFile(stnDir / "DL1ABF.stn") == big) << "an oversized file is never replaced by a cut copy";
    EXPECT_TRUE(readStationFile(stnDir / "DL1ABD.stn") == StationRecord{}) << "read as missing";
    EXPECT_TRUE(readStationFile(stnDir / "DL1ABF.stn") == StationRecord{});

    // The alias list and the password files: a link to the outside file.
    fs::create_symlink(outside, paths.aliasFile());
    update.aliasPair("HHBOX", "DB0ABC");
    EXPECT_EQ(update.aliases().byCall("root"), "");
    fs::create_symlink(outside, stnDir / "DL1ABC.pwd");
    EXPECT_FALSE(storeLoginText(paths, "DL1ABC", "LOGIN: 1.1.97 1:1"));
    EXPECT_FALSE(writeNodePassword(stnDir / "DL1ABC.pwd", "12345", "SYS"));
    EXPECT_EQ(readPasswordFile(stnDir / "DL1ABC.pwd").password, "");
    StationRecord record;
    record.call = "DL1ABC";
    EXPECT_FALSE(saveStation(paths, record));
    struct stat st {};
    ASSERT_EQ(::stat(outside.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u) << "not made private through the link";
    EXPECT_TRUE(readFile(outside) == secret);
    // A FIFO in a password file's place is not waited on.
    fs::remove(stnDir / "DL1ABC.pwd");
    ASSERT_EQ(::mkfifo((stnDir / "DL1ABC.pwd").c_str(), 0600), 0);
    EXPECT_EQ(readDieBoxBlock(stnDir / "DL1ABC.pwd"), "");
    EXPECT_EQ(readPasswordMode(stnDir / "DL1ABC.pwd"), "no Password");
    EXPECT_FALSE(writeDieBoxPassword(stnDir / "DL1ABC.pwd", DieBoxPasswordEntry{}));
    EXPECT_TRUE(fs::is_fifo(stnDir / "DL1ABC.pwd"));
}

TEST(StationInfoRecord, FieldsSkipCommaRunsAndEndAtLineBreaks) {
    EXPECT_EQ(stationInfoField("a,b,c", 1), "a");
    EXPECT_EQ(stationInfoField(",,,a,,,b,c", 2), "b");
    EXPECT_EQ(stationInfoField("a,b\r\nc,d", 2), "b");
    EXPECT_EQ(stationInfoField("a,b\r\nc,d", 3), "d") << "only commas separate while skipping";
    EXPECT_EQ(stationInfoField("a,b", 3), "");
    EXPECT_EQ(stationInfoField("a,b,", 3), "");
    EXPECT_EQ(stationInfoField("", 1), "");
    EXPECT_EQ(stationInfoField("a", 0), "");
    EXPECT_EQ(stationInfoField(std::string(1000, 'x'), 1), std::string(80, 'x'));
    EXPECT_EQ(stationInfoField(std::string("a,\x01name\x7f", 9), 2), "name");
}

}  // namespace
}  // namespace norva::test
