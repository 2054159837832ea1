// Station files, password modes, alias.dat and the station directory, on
// files as Norva writes them and as people write them by hand.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "FileWrites.h"
#include "platform/Profile.h"
#include "station/AliasList.h"
#include "station/PasswordFile.h"
#include "station/StationFile.h"
#include "station/StationList.h"
#include "station/StationPaths.h"
#include "support/TempDir.h"

namespace norva::test {
namespace {

namespace fs = std::filesystem;

class StationFiles : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directory(dir / "stn");
        fs::create_directory(dir / "pwd");
        settings.writeString("frame", "StationDir", (dir / "stn").string());
        settings.writeString("frame", "PasswordDir", (dir / "pwd").string());
    }
    std::string stn(const std::string& name) { return readFile(dir / "stn" / name); }
    void writeStn(const std::string& name, const std::string& text) { writeFile(dir / "stn" / name, text); }
    static mode_t modeOf(const fs::path& p) {
        struct stat st {};
        stat(p.c_str(), &st);
        return st.st_mode & 0777;
    }

    TempDir dir;
    Profile settings{dir.path() / "norva.ini"};
    StationPaths paths{settings, dir.path()};
};

StationRecord sample() {
    StationRecord r;
    r.call = "DB0ABC-1";
    r.alias = "ABCBOX";
    r.qth = "Hamburg JO43";
    r.lastCall = "local";
    r.lastAlias = "";
    r.lastLogin = "05.03.2024 09:07";
    r.connectCommand = "c db0abc-1";
    r.sysop = "Jürgen";
    r.name = "Box";
    r.comment = "via 2m";
    r.stationType = "Mailbox";
    r.passwordMode = "DieBox";
    r.tnc = 2;
    r.script = "box.scr";
    return r;
}

TEST_F(StationFiles, SaveWritesTheKeysInOrderAndLoadReadsThemBack) {
    ASSERT_TRUE(saveStation(paths, sample()));
    EXPECT_EQ(stn("DB0ABC-1.stn"),
              "[Station]\r\nDestCall=DB0ABC-1\r\nAliasDestCall=ABCBOX\r\nQth=Hamburg JO43\r\n"
              "LastDestCall=local\r\nLastAliasDestCall=\r\nLastConnectTime=05.03.2024 09:07\r\n"
              "ConnectCommand=c db0abc-1\r\nSysop=Jürgen\r\nComment=via 2m\r\nStationType=Mailbox\r\n"
              "Script=box.scr\r\nName=Box\r\nTnc=2\r\n");
    // No password file in the station directory: it goes to the password directory, private.
    const fs::path pwd = dir / "pwd" / "DB0ABC-1.pwd";
    EXPECT_EQ(readFile(pwd), "[Station]\r\nStationMode=DieBox\r\n");
    EXPECT_EQ(modeOf(pwd), 0600u);

    const StationLoad l = loadStation(paths, settings, "db0abc-1");
    ASSERT_TRUE(l.record);
    EXPECT_EQ(*l.record, sample());
    EXPECT_EQ(l.stationPath, dir / "stn" / "DB0ABC-1.stn");
    EXPECT_EQ(l.passwordPath, pwd);
    EXPECT_EQ(settings.getString("frame", "LastEditStation"), "DB0ABC-1");
}

TEST_F(StationFiles, SavingAndPasswordDialogsWriteEachFileOnce) {
    FileWrites stations(dir / "stn");
    FileWrites passwords(dir / "pwd");
    ASSERT_TRUE(stations.ok() && passwords.ok());
    ASSERT_TRUE(saveStation(paths, sample()));
    EXPECT_EQ(stations.take(), (Writes{{"DB0ABC-1.stn", 1}}));
    EXPECT_EQ(passwords.take(), (Writes{{"DB0ABC-1.pwd", 1}})) << "a new password file is made in one write";
    const fs::path pwd = dir / "pwd" / "DB0ABC-1.pwd";
    EXPECT_EQ(modeOf(pwd), 0600u);

    // Saved again with a changed comment: the password file's mode stays as it was.
    StationRecord r = sample();
    r.comment = "via 70cm";
    ASSERT_TRUE(saveStation(paths, r));
    EXPECT_EQ(stations.take(), (Writes{{"DB0ABC-1.stn", 1}}));
    EXPECT_EQ(passwords.take(), Writes{});

    // The node dialog stores password and sysop command together.
    ASSERT_TRUE(writeNodePassword(pwd, "12345", "SYS"));
    EXPECT_EQ(passwords.take(), (Writes{{"DB0ABC-1.pwd", 1}}));
    EXPECT_EQ(readFile(pwd), "[Station]\r\nStationMode=DieBox\r\nPassword=12345\r\nSysopCommand=SYS\r\n");
    EXPECT_EQ(modeOf(pwd), 0600u);
    ASSERT_TRUE(writeNodePassword(dir / "pwd" / "DB0NEW.pwd", "1", "S"));
    EXPECT_EQ(passwords.take(), (Writes{{"DB0NEW.pwd", 1}}));
    EXPECT_EQ(modeOf(dir / "pwd" / "DB0NEW.pwd"), 0600u);
}

TEST_F(StationFiles, HandWrittenFilesWithLfGarbageAndOddCaseRead) {
    // LF line ends, lower-case keys and file name, junk lines, a long value,
    // a second section and a duplicate key (the first wins).
    writeStn("db0xyz.STN", "garbage before\n[station]\ndestcall = db0xyz \n\x01\x02 binary\n"
                           "qth=" + std::string(200, 'Q') + "\nnoequals\nTNC=3x\nqth=second\n"
                           "displayonopen=0\n[Other]\nSysop=not me\n");
    writeFile(dir / "stn" / "DB0XYZ.pwd", "[STATION]\nstationmode=FlexNet\n");
    const StationLoad l = loadStation(paths, settings, "DB0XYZ");
    ASSERT_TRUE(l.record);
    EXPECT_EQ(l.record->call, "DB0XYZ");
    EXPECT_EQ(l.record->qth, std::string(80, 'Q'));
    EXPECT_EQ(l.record->tnc, 3);
    EXPECT_EQ(l.record->sysop, "");
    EXPECT_EQ(l.record->stationType, "undefined");
    EXPECT_FALSE(l.record->displayOnOpen);
    EXPECT_EQ(l.record->passwordMode, "FlexNet") << "the station directory's password file comes first";
    EXPECT_EQ(l.stationPath, dir / "stn" / "db0xyz.STN");

    // Saving keeps the file's LF style, its name, its junk and the password file where it was.
    StationRecord r = *l.record;
    r.sysop = "Eva\r\nInjected=1";  // a typed line break must not become a key
    ASSERT_TRUE(saveStation(paths, r));
    const std::string text = stn("db0xyz.STN");
    EXPECT_EQ(text.find('\r'), std::string::npos);
    EXPECT_NE(text.find("garbage before\n"), std::string::npos);
    EXPECT_NE(text.find("Sysop=Eva  Injected=1\n"), std::string::npos) << text;
    EXPECT_EQ(readStationFile(dir / "stn" / "db0xyz.STN").sysop, "Eva  Injected=1");
    EXPECT_FALSE(fs::exists(dir / "pwd" / "DB0XYZ.pwd"));
}

TEST_F(StationFiles, EmptyOrHostileCallsSaveNothing) {
    StationRecord r = sample();
    r.call = "  ";
    StationResult res = saveStation(paths, r);
    EXPECT_FALSE(res);
    EXPECT_EQ(res.message, "Bitte geben Sie ein Rufzeichen an.");
    for (const std::string& bad : std::vector<std::string>{"../../etc/passwd", "A/B", ".X", "DB0ABC-16", "DB0-1-2", "DB 0",
                                  std::string(300, 'A'), std::string("DB0\x01X", 5), std::string("DB0\0X", 5)}) {
        r.call = bad;
        res = saveStation(paths, r);
        EXPECT_FALSE(res) << bad;
        EXPECT_NE(res.message.find("ist kein Rufzeichen"), std::string::npos) << bad;
        EXPECT_EQ(res.message.find('\x01'), std::string::npos);
        EXPECT_FALSE(loadStation(paths, settings, bad).record) << bad;
    }
    EXPECT_TRUE(fs::is_empty(dir / "stn"));
    EXPECT_TRUE(fs::is_empty(dir / "pwd"));
    EXPECT_FALSE(fs::exists(dir.path().parent_path() / "etc"));
}

TEST_F(StationFiles, NineCharacterCallsShareTheFileOfTheirPrefix) {
    StationRecord r = sample();
    r.call = "DL1ABC-10";
    ASSERT_TRUE(saveStation(paths, r));
    EXPECT_TRUE(fs::exists(dir / "stn" / "DL1ABC-1.stn"));
    EXPECT_TRUE(fs::exists(dir / "pwd" / "DL1ABC-10.pwd")) << "password files keep the whole call";
    EXPECT_EQ(loadStation(paths, settings, "DL1ABC-1").record->call, "DL1ABC-10");
    EXPECT_EQ(settings.getString("frame", "LastEditStation"), "DL1ABC-1");
}

TEST_F(StationFiles, PasswordFilesAreMadePrivate) {
    const fs::path pwd = dir / "pwd" / "DB0ABC-1.pwd";
    writeFile(pwd, "[Station]\r\nPassword=secret\r\n");
    chmod(pwd.c_str(), 0644);
    ASSERT_TRUE(saveStation(paths, sample()));
    EXPECT_EQ(modeOf(pwd), 0600u);
    EXPECT_EQ(readFile(pwd), "[Station]\r\nPassword=secret\r\nStationMode=DieBox\r\n");
    // A missing password directory is reported, not passed over.
    fs::remove_all(dir / "pwd");
    const StationResult res = saveStation(paths, sample());
    EXPECT_FALSE(res);
    EXPECT_NE(res.message.find("Passwortdatei"), std::string::npos);
}

TEST_F(StationFiles, LoadFallsBackThroughTheAliasList) {
    AliasList aliases(paths.aliasFile());
    ASSERT_TRUE(aliases.write("DB0ABC-1", "ABCBOX"));
    ASSERT_TRUE(saveStation(paths, sample()));
    // The alias names no file; the alias list leads to the call's file.
    const StationLoad l = loadStation(paths, settings, "abcbox-3");
    ASSERT_TRUE(l.record);
    EXPECT_EQ(l.record->call, "DB0ABC-1");
    // Nothing known: nothing loaded, nothing remembered.
    settings.writeString("frame", "LastEditStation", "OLD");
    EXPECT_FALSE(loadStation(paths, settings, "DL9NIX").record);
    EXPECT_FALSE(loadStation(paths, settings, "").record);
    EXPECT_EQ(settings.getString("frame", "LastEditStation"), "OLD");
}

TEST_F(StationFiles, AliasListWritesAndLooksUpBothWays) {
    AliasList aliases(paths.aliasFile());
    EXPECT_EQ(aliases.lookup("DB0ABC"), "");
    EXPECT_FALSE(fs::exists(paths.aliasFile())) << "lookups do not create the file";
    EXPECT_FALSE(aliases.write("DB0ABC", "DB0ABC")) << "same call and alias";
    EXPECT_FALSE(aliases.write("DB0ABC", ""));
    EXPECT_FALSE(aliases.write("", "HHBOX"));
    EXPECT_FALSE(aliases.write("A=B", "HHBOX")) << "keys are callsigns";
    EXPECT_FALSE(aliases.write("[X]", "HHBOX"));
    ASSERT_TRUE(aliases.write("DB0ABC", "hhbox"));
    EXPECT_EQ(dir.read("alias.dat"), "[call]\r\nDB0ABC=hhbox\r\n");
    ASSERT_TRUE(aliases.write("DB0XYZ", "HHNODE-7"));
    ASSERT_TRUE(aliases.write("db0abc", "HHMAIL"));  // replaces the earlier entry
    EXPECT_EQ(dir.read("alias.dat"), "[call]\r\nDB0ABC=HHMAIL\r\nDB0XYZ=HHNODE-7\r\n");

    EXPECT_EQ(aliases.byCall("db0xyz"), "HHNODE-7");
    EXPECT_EQ(aliases.byCall(""), "");
    EXPECT_EQ(aliases.byAlias("hhnode-3"), "DB0XYZ") << "the SSID goes";
    EXPECT_EQ(aliases.byAlias("HH"), "DB0ABC") << "first entry containing it";
    EXPECT_EQ(aliases.byAlias(""), "");
    EXPECT_EQ(aliases.byAlias("-5"), "") << "nothing left of the alias";
    EXPECT_EQ(aliases.lookup("DB0XYZ"), "HHNODE-7");
    EXPECT_EQ(aliases.lookup("HHMAIL"), "DB0ABC");

    // A hand-edited LF file with junk still works, and keeps its style.
    dir.write("alias.dat", "junk\n[CALL]\nDL1AA = kiel\n=nokey\n");
    EXPECT_EQ(aliases.byAlias("KIEL"), "DL1AA");
    ASSERT_TRUE(aliases.write("DL2BB", std::string("LUE\r\nX=Y", 8)));
    EXPECT_EQ(aliases.byCall("DL2BB"), "LUE  X=Y");
    EXPECT_EQ(dir.read("alias.dat").find('\r'), std::string::npos);
}

TEST_F(StationFiles, StationListListsAndDeletesOnlyInsideItsDirectory) {
    writeStn("DB0B.stn", "[Station]\n");
    writeStn("db0a.STN", "[Station]\n");
    writeStn("notes.txt", "");
    writeStn(".hidden.stn", "");
    fs::create_directory(dir / "stn" / "sub.stn");
    writeFile(dir / "outside.stn", "[Station]\n");
    fs::create_symlink(dir / "outside.stn", dir / "stn" / "LINK.stn");
    writeFile(dir / "pwd" / "DB0B.pwd", "");
    EXPECT_EQ(listStations(paths), (std::vector<std::string>{"DB0B", "db0a"}));
    writeStn("b.SCR", "");
    writeStn("a.scr", "");
    writeStn(".c.scr", "");
    writeStn("scr", "");
    EXPECT_EQ(listScripts(dir / "stn"), (std::vector<std::string>{"a.scr", "b.SCR"}));

    EXPECT_TRUE(deleteStation(paths, "DB0B"));
    EXPECT_FALSE(fs::exists(dir / "stn" / "DB0B.stn"));
    EXPECT_TRUE(fs::exists(dir / "pwd" / "DB0B.pwd"));
    EXPECT_TRUE(deleteStation(paths, "DB0A")) << "names match ignoring case";
    for (const std::string bad : {"../outside", "/tmp/x", "", ".hidden", "LINK", "sub", "GONE"})
        EXPECT_FALSE(deleteStation(paths, bad)) << bad;
    EXPECT_TRUE(fs::exists(dir / "outside.stn"));
    EXPECT_TRUE(fs::exists(dir / "stn" / ".hidden.stn"));
    EXPECT_TRUE(listStations(paths).empty());
}

TEST_F(StationFiles, OpenFromOutsideCopiesAfterAskingAndChecksTheFile) {
    fs::create_directory(dir / "desk");
    const fs::path file = dir / "desk" / "DB0ABC.stn";
    writeFile(file, "[Station]\nDestCall=db0abc\nDisplayOnOpen=0\nTnc=2\nScript=abc.scr\n");
    OutsideFile o = inspectOutsideFile(paths, file);
    ASSERT_TRUE(o.ok) << o.message;
    EXPECT_FALSE(o.inStationDir);
    EXPECT_FALSE(o.existsInStationDir);
    EXPECT_EQ(takeOverQuestion(o.fileName), "Datei DB0ABC.stn in Stationsverzeichnis uebernehmen ?");
    ASSERT_TRUE(copyIntoStationDir(o));
    EXPECT_EQ(stn("DB0ABC.stn"), readFile(file));

    // Same name in another case: asked about, and that file is replaced.
    writeFile(dir / "desk" / "db0abc.stn", "[Station]\nDestCall=DB0ABC\n");
    o = inspectOutsideFile(paths, dir / "desk" / "db0abc.stn");
    ASSERT_TRUE(o.ok);
    EXPECT_TRUE(o.existsInStationDir);
    EXPECT_EQ(overwriteQuestion(o.fileName), "Die Datei db0abc.stn existiert bereits. Datei ueberschreiben ?");
    ASSERT_TRUE(copyIntoStationDir(o));
    EXPECT_EQ(stn("DB0ABC.stn"), "[Station]\nDestCall=DB0ABC\n");
    EXPECT_EQ(listStations(paths), (std::vector<std::string>{"DB0ABC"}));

    // A file already in the station directory, reached through a link, is not copied.
    fs::create_symlink(dir / "stn" / "DB0ABC.stn", dir / "desk" / "via.stn");
    o = inspectOutsideFile(paths, dir / "desk" / "via.stn");
    ASSERT_TRUE(o.ok);
    EXPECT_TRUE(o.inStationDir);

    const StationOpen info = readOpenInfo(file);
    ASSERT_TRUE(info.ok) << info.message;
    EXPECT_EQ(info.destCall, "DB0ABC");
    EXPECT_FALSE(info.displayOnOpen);
    EXPECT_EQ(info.tnc, 2);
    EXPECT_EQ(info.script, "abc.scr");
}

TEST_F(StationFiles, HostileFilesFromOutsideAreRefused) {
    fs::create_directory(dir / "desk");
    const auto refusedOpen = [&](const std::string& body) {
        writeFile(dir / "desk" / "X.stn", body);
        const StationOpen info = readOpenInfo(dir / "desk" / "X.stn");
        EXPECT_EQ(info.ok, info.message.empty());
        return !info.ok;
    };
    EXPECT_TRUE(refusedOpen("[Station]\nDestCall=../../etc/passwd\n"));
    EXPECT_TRUE(refusedOpen("[Station]\nDestCall=" + std::string(5000, 'A') + "\n"));
    static constexpr char kBinary[] = "\x7f" "ELF\0\0[Station]\0DestCall=\xff\n";
    EXPECT_TRUE(refusedOpen(std::string(kBinary, sizeof kBinary - 1)));
    EXPECT_TRUE(refusedOpen("[Station]\nDestCall=DB0ABC\nScript=../../bin/sh\n"));
    EXPECT_TRUE(refusedOpen("[Station]\nDestCall=DB0ABC\nScript=/tmp/x.scr\n"));
    EXPECT_TRUE(refusedOpen("[Station]\n"));
    EXPECT_FALSE(refusedOpen("[Station]\r\nDestCall=DB0ABC-*\r\n")) << "a wildcard connect's file";

    writeFile(dir / "desk" / "big.stn", "[Station]\nDestCall=DB0ABC\n" + std::string(kStationFileLimit, ';'));
    EXPECT_FALSE(inspectOutsideFile(paths, dir / "desk" / "big.stn").ok);
    EXPECT_FALSE(readOpenInfo(dir / "desk" / "big.stn").ok);
    writeFile(dir / "desk" / "notes.txt", "[Station]\nDestCall=DB0ABC\n");
    EXPECT_FALSE(inspectOutsideFile(paths, dir / "desk" / "notes.txt").ok);
    EXPECT_FALSE(inspectOutsideFile(paths, dir / "desk" / "missing.stn").ok);
    ASSERT_EQ(mkfifo((dir / "desk" / "fifo.stn").c_str(), 0600), 0);
    EXPECT_FALSE(inspectOutsideFile(paths, dir / "desk" / "fifo.stn").ok);
    EXPECT_FALSE(readOpenInfo(dir / "desk" / "fifo.stn").ok);
    EXPECT_FALSE(copyIntoStationDir(inspectOutsideFile(paths, dir / "desk" / "missing.stn")));
    EXPECT_TRUE(listStations(paths).empty());
}

}  // namespace
}  // namespace norva::test
