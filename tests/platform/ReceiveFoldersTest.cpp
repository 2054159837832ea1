// Where received files may land: redirection away from Norva's own
// directories, refused and renamed names, the run area's overlap with
// directories stations write to, and the private settings file.
#include "platform/ReceiveFolders.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "platform/Clock.h"
#include "platform/Profile.h"
#include "platform/SystemLog.h"
#include "support/TempDir.h"

namespace norva {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

struct Folders {
    TempDir dir;
    ManualClock clock;
    SystemLog log{dir.path(), clock};
    Profile profile{dir.path() / "norva.ini"};
    ReceiveFolders folders{profile, dir.path(), log};

    fs::path sub(const std::string& name) {
        fs::create_directories(dir.path() / name);
        return fs::canonical(dir.path() / name);
    }
    std::string logText() { return dir.read("system.log"); }
};

TEST(ReceiveFolders, EmptyOrOwnReceiveDirectoriesGiveWayToTheReceiveFolderSaidOnce) {
    Folders f;
    const fs::path received = fs::canonical(f.dir.path()) / "received";
    EXPECT_EQ(f.folders.directoryFor("BinReadFileDir"), received);
    struct stat st {};
    ASSERT_EQ(::stat(received.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    // Every directory Norva reads its own files from is refused as a receive directory.
    const fs::path scripts = f.sub("scripts");
    f.profile.writeString("frame", "ScriptDir", scripts.string());
    f.profile.writeString("frame", "7PlusRxDir", scripts.string() + "/");
    f.profile.writeString("frame", "ReadFileDir", f.dir.path().string());
    EXPECT_EQ(f.folders.directoryFor("7PlusRxDir"), received);
    EXPECT_EQ(f.folders.directoryFor("ReadFileDir"), received);
    EXPECT_EQ(receiveDirectory(f.profile, f.dir.path(), "7PlusRxDir"), received) << "the choosers agree";

    const fs::path inbox = f.sub("inbox");
    f.profile.writeString("frame", "BinReadFileDir", inbox.string());
    EXPECT_EQ(f.folders.directoryFor("BinReadFileDir"), inbox) << "a directory of its own is kept";

    f.folders.directoryFor("7PlusRxDir");
    const std::string log = f.logText();
    EXPECT_NE(log.find("BinReadFileDir is empty: received files go to " + received.string()), std::string::npos) << log;
    EXPECT_NE(log.find("7PlusRxDir holds Norva's own files: received files go to"), std::string::npos) << log;
    EXPECT_EQ(log.find("7PlusRxDir", log.find("7PlusRxDir") + 1), std::string::npos) << "said once: " << log;

    // When the receive folder itself is made one of ours, nothing is received.
    f.profile.writeString("frame", "MenuDir", received.string());
    EXPECT_EQ(f.folders.directoryFor("7PlusRxDir"), std::nullopt);
}

TEST(ReceiveFolders, NamesOfOurOwnKindsAreRefusedOrMadeSafe) {
    Folders f;
    const fs::path received = *f.folders.directoryFor("BinReadFileDir");
    const TempDir elsewhere;  // beside the program directory, neither above nor in it
    const fs::path outside = fs::canonical(elsewhere.path());
    for (const char* name : {"7pluse.sh", "EXEC.MNU", "connect.mnu", "visit.scr", "tnc1.ini", "tnc1.exi",
                             "DL1ABC.stn", "DL1ABC.pwd", "alias.dat", "WHELLO1.TXT", "norvaem.hlp", "ls.int"}) {
        EXPECT_TRUE(isOwnFileKind(name)) << name;
        EXPECT_EQ(f.folders.storeName(f.dir.path(), name), std::nullopt) << "never among our files: " << name;
        EXPECT_EQ(f.folders.storeName(received, name), std::string(name) + ".rcv") << "near them: " << name;
        EXPECT_EQ(f.folders.storeName(outside, name), std::string(name)) << "far from them: " << name;
    }
    for (const char* name : {"photo.jpg", "readme.txt", "7plus.p01", "data.bin"}) {
        EXPECT_FALSE(isOwnFileKind(name)) << name;
        EXPECT_EQ(f.folders.storeName(received, name), std::string(name));
        EXPECT_EQ(f.folders.storeName(f.dir.path(), name), std::nullopt) << "nothing at all among ours: " << name;
    }
    const std::string longName = std::string(260, 'x') + ".scr";
    const auto safe = f.folders.storeName(received, longName);
    ASSERT_TRUE(safe);
    EXPECT_LE(safe->size(), 255u);
    EXPECT_TRUE(safe->ends_with(".rcv"));
    EXPECT_NE(f.logText().find("Received file EXEC.MNU stored as EXEC.MNU.rcv"), std::string::npos);
}

TEST(ReceiveFolders, TheRunAreaMustStayApartFromWhereStationsWrite) {
    Folders f;
    EXPECT_FALSE(f.folders.runAreaIsSafe()) << "no run area: nothing to run";
    const fs::path remote = f.sub("remote");
    const fs::path run = f.sub("run");
    f.profile.writeString("frame", "RemoteDir", remote.string());
    f.profile.writeString("frame", "RunDir", run.string());
    EXPECT_TRUE(f.folders.runAreaIsSafe());

    for (const fs::path& overlapping : {remote, f.sub("remote/bin"), fs::canonical(f.dir.path())}) {
        f.profile.writeString("frame", "RunDir", overlapping.string());
        EXPECT_FALSE(f.folders.runAreaIsSafe()) << overlapping;
    }
    // A receive directory counts as much as the remote area.
    const fs::path inbox = f.sub("inbox");
    f.profile.writeString("frame", "RunDir", run.string());
    f.profile.writeString("frame", "BinReadFileDir", inbox.string());
    EXPECT_TRUE(f.folders.runAreaIsSafe());
    // Files for the run area itself go to the receive folder instead, so //DOS stays on.
    f.profile.writeString("frame", "BinReadFileDir", run.string());
    EXPECT_TRUE(f.folders.runAreaIsSafe());
    EXPECT_EQ(f.folders.directoryFor("BinReadFileDir"), fs::canonical(f.dir.path()) / "received");
    f.profile.writeString("frame", "BinReadFileDir", inbox.string());
    f.profile.writeString("frame", "RunDir", f.sub("inbox/tools").string());
    EXPECT_FALSE(f.folders.runAreaIsSafe()) << "inside a receive directory";
    EXPECT_NE(f.logText().find("//DOS is off until they are apart"), std::string::npos) << f.logText();
}

TEST(PrivateProfile, IsCreatedForItsOwnerOnlyAndKeptSoOnEveryRewrite) {
    TempDir dir;
    auto mode = [&dir] {
        struct stat st {};
        ::stat((dir.path() / "norva.ini").c_str(), &st);
        return st.st_mode & 0777;
    };
    Profile open(dir.path() / "norva.ini");
    ASSERT_TRUE(open.writeString("frame", "MyName", "x"));
    EXPECT_EQ(mode(), 0644u) << "an ordinary profile";

    Profile secret(dir.path() / "norva.ini");
    secret.setPrivate(true);
    ASSERT_TRUE(secret.writeString("frame", "Password", "geheim"));
    EXPECT_EQ(mode(), 0600u) << "an old 0644 file is tightened";
    ::chmod((dir.path() / "norva.ini").c_str(), 0664);
    ASSERT_TRUE(secret.writeString("frame", "Password", "anders"));
    EXPECT_EQ(mode(), 0600u);
    EXPECT_EQ(secret.getString("frame", "MyName"), "x");
}

// Callsign files: a link put in a station file's place (after whatever
// check the caller made) is neither read nor written through.
TEST(LinkRefusingProfile, NeitherReadsNorWritesThroughALink) {
    TempDir dir;
    TempDir outside;
    outside.write("target.ini", "[Station]\r\nSecret=outside\r\n");
    fs::create_symlink(outside.path() / "target.ini", dir.path() / "DL1ABC.stn");
    Profile followed(dir.path() / "DL1ABC.stn");
    EXPECT_EQ(followed.getString("Station", "Secret"), "outside") << "settings files may be links";

    Profile refused(dir.path() / "DL1ABC.stn", Links::Refuse);
    EXPECT_EQ(refused.getString("Station", "Secret"), "");
    EXPECT_FALSE(refused.writeString("Station", "Secret", "planted"));
    EXPECT_EQ(outside.read("target.ini"), "[Station]\r\nSecret=outside\r\n");

    // A name that is missing when read and a link when written: the link is replaced, not followed.
    Profile late(dir.path() / "DB2XY.stn", Links::Refuse);
    EXPECT_EQ(late.getString("Station", "Secret"), "");
    fs::create_symlink(outside.path() / "target.ini", dir.path() / "DB2XY.stn");
    late.writeString("Station", "Call", "DB2XY");
    EXPECT_EQ(outside.read("target.ini"), "[Station]\r\nSecret=outside\r\n");
}

}  // namespace
}  // namespace norva
