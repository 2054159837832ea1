// The file commands on a real directory tree: names matched ignoring case,
// the remote area as a boundary (.., symbolic links, separators, hidden
// names), new files that never overwrite, and the exact answers.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>

#include "RemoteRig.h"
#include "remote/RemoteArea.h"
#include "support/Environment.h"

namespace norva::test {
namespace {

namespace fs = std::filesystem;

class FileCommands : public ::testing::Test {
protected:
    void SetUp() override {
        a = fs::canonical(r.area.path()).string();
        r.area.write("Readme.TXT", "hello\r");
        r.area.write("data.bin", "\x01\x02");
        r.area.write(".hidden.txt", "dot");
        fs::create_directory(r.area.path() / "Sub");
        r.area.write("Sub/inner.txt", "inner\r\n\r\n");
        r.outside.write("secret.txt", "root:x:0:0");
        fs::create_symlink(r.outside.path() / "secret.txt", r.area.path() / "escape.txt");
        fs::create_directory_symlink(r.outside.path(), r.area.path() / "outdir");
        r.connect();
        r.clear();
    }
    std::string say(std::string_view line) { return r.say(std::string(line) + "\r"); }
    static std::string prompt() { return RemoteRig::prompt(); }
    bool exists(const std::string& rel) const { return fs::exists(fs::symlink_status(r.area.path() / rel)); }

    RemoteRig r;
    std::string a;  // the real path of the remote area
};

TEST_F(FileCommands, ReadFindsNamesIgnoringCaseAndQueuesTheRealFile) {
    EXPECT_EQ(say("//r readme"), "");
    EXPECT_EQ(say("//read README.txt"), "");
    EXPECT_EQ(say("//rb DATA"), "");
    ASSERT_EQ(r.transfers.calls.size(), 3u);
    EXPECT_EQ(r.transfers.calls[0].what, "text");
    EXPECT_EQ(r.transfers.calls[0].arg, a + "/Readme.TXT");
    EXPECT_FALSE(r.transfers.calls[0].sendSlot) << "queued";
    EXPECT_TRUE(r.transfers.calls[0].promptAfter);
    EXPECT_EQ(r.transfers.calls[1].arg, a + "/Readme.TXT");
    EXPECT_EQ(r.transfers.calls[2].what, "sendbin");
    EXPECT_EQ(r.transfers.calls[2].arg, a + "/data.bin");

    EXPECT_EQ(say("//r missing"), "\rKann gewuenschte Datei nicht finden.\r" + prompt());
    EXPECT_EQ(say("//rb readme"), "\rKann gewuenschte Datei nicht finden.\r" + prompt()) << ".bin is the default";
    EXPECT_EQ(say("//r sub"), "\rKann gewuenschte Datei nicht finden.\r" + prompt()) << "a directory is no file";
    r.transfers.accept = false;
    EXPECT_EQ(say("//r readme"), prompt()) << "a full queue drops the request but prompts";
}

TEST_F(FileCommands, HostileNamesNeverLeaveTheArea) {
    const std::string notFound = "\rKann gewuenschte Datei nicht finden.\r" + prompt();
    const std::string notAllowed = "\rDiese Kommando ist fuer normale Benutzer nicht erlaubt.\r" + prompt();
    EXPECT_EQ(say("//read ../../etc/passwd"), notAllowed);
    EXPECT_EQ(say("//read " + r.outside.path().string() + "/secret.txt"), notAllowed);
    EXPECT_EQ(say("//read escape"), notFound) << "a link pointing out";
    EXPECT_EQ(say("//read ESCAPE.TXT"), notFound);
    EXPECT_EQ(say("//read .hidden"), notFound);
    EXPECT_EQ(say("//read .."), notFound);
    EXPECT_EQ(say(std::string("//read readme\0/../x", 19)), notAllowed);
    EXPECT_TRUE(r.transfers.calls.empty());

    EXPECT_EQ(say("//cd outdir"), "\rKann Verzeichnis nicht finden /outdir\r" + prompt());
    EXPECT_EQ(say("//cd .."), "\rKann Verzeichnis nicht finden /..\r" + prompt());
    EXPECT_EQ(say("//cd ..."), "\rKann Verzeichnis nicht finden /...\r" + prompt());

    // The superuser is free to go anywhere.
    r.ch().setSuperuser(true);
    EXPECT_EQ(say("//read escape"), "");
    ASSERT_EQ(r.transfers.calls.size(), 1u);
    EXPECT_EQ(r.transfers.calls[0].arg, fs::canonical(r.outside.path() / "secret.txt").string());
    const std::string up = fs::canonical(r.area.path()).parent_path().string();
    EXPECT_EQ(say("//cd .."), "\rVerzeichnis gewechselt nach  " + up + "\r" + prompt());

    // A station that loses the flag is back at the top of the area.
    r.ch().setSuperuser(false);
    EXPECT_EQ(say("//cd"), "\rVerzeichnis gewechselt nach  /\r" + prompt());
}

TEST_F(FileCommands, ChangeDirectoryMovesOneLevelAndCommandsFollowIt) {
    EXPECT_EQ(say("//cd sub"), "\rVerzeichnis gewechselt nach  /Sub\r" + prompt());
    EXPECT_EQ(say("//cd"), "\rVerzeichnis gewechselt nach  /Sub\r" + prompt());
    EXPECT_EQ(say("//r INNER"), "");
    EXPECT_EQ(r.transfers.calls.back().arg, a + "/Sub/inner.txt");
    EXPECT_EQ(say("//chdir .."), "\rVerzeichnis gewechselt nach  /\r" + prompt());
    EXPECT_EQ(say("//drive sub"), "\rVerzeichnis gewechselt nach  /Sub\r" + prompt());

    // Each channel has its own directory; a new connection starts at the top.
    r.connect(2, "DB2XY");
    r.clear();
    EXPECT_EQ(r.say("//cd\r", 2), "\rVerzeichnis gewechselt nach  /\r" + RemoteRig::prompt("DB2XY"));
    r.connect(1, "DA1ABC-3");
    EXPECT_EQ(say("//cd"), "\rVerzeichnis gewechselt nach  /\r" + prompt());
}

TEST_F(FileCommands, ListingHasTheExactLayoutAndHidesWhatCannotBeRead) {
    const ScopedTimeZone utc("UTC");
    const timespec when[2] = {{1709634000, 0}, {1709634000, 0}};  // 05.03.2024 10:20 UTC
    for (const char* rel : {"Sub", "Sub/inner.txt", "Readme.TXT", "data.bin"})
        ASSERT_EQ(utimensat(AT_FDCWD, (r.area.path() / rel).c_str(), when, 0), 0);
    fs::create_directory(r.area.path() / "Sub/deeper");
    ASSERT_EQ(utimensat(AT_FDCWD, (r.area.path() / "Sub/deeper").c_str(), when, 0), 0);

    // The station sees its area as a volume of its own: no host path, no host device.
    const std::string head = "\r Label des Laufwerkes ist : Norva - Remote\r Verzeichnis von  /Sub/\r\r";
    say("//cd sub");
    EXPECT_EQ(say("//dir"), head +
                                "05.03.2024 10:20 <DIR>           deeper\r\n"
                                "05.03.2024 10:20        9        inner.txt\r\n"
                                "\r\n\r\n" + prompt());
    EXPECT_EQ(say("//cat *.xyz"), head + "\r\n\r\n" + prompt()) << "no match: header and end";
    EXPECT_EQ(say("//dir inner"), head + "05.03.2024 10:20        9        inner.txt\r\n\r\n\r\n" + prompt())
        << "a pattern without a dot gets .*";

    say("//cd ..");
    const std::string top = say("//dir");
    EXPECT_NE(top.find(" Readme.TXT\r\n"), std::string::npos) << top;
    EXPECT_NE(top.find("<DIR>           Sub\r\n"), std::string::npos) << top;
    for (const char* hidden : {"escape", "outdir", ".hidden"}) EXPECT_EQ(top.find(hidden), std::string::npos) << hidden;

    // 256 characters and more go as a memory text with the prompt after it.
    for (int i = 0; i < 6; ++i) r.area.write("file" + std::to_string(i) + ".txt", "x");
    r.clear();
    EXPECT_EQ(say("//dir"), "");
    ASSERT_EQ(r.transfers.calls.size(), 1u);
    EXPECT_EQ(r.transfers.calls[0].what, "memory");
    EXPECT_EQ(r.transfers.calls[0].arg, "Remote");
    EXPECT_TRUE(r.transfers.calls[0].text.ends_with(" file5.txt\r\n\r\n\r\n"));
    EXPECT_GE(r.transfers.calls[0].text.size(), 256u);
}

TEST_F(FileCommands, DeliveredFilesAreNewPlainNamesInTheCurrentDirectory) {
    const std::string cannotOpen = "\rKann gewuenschte Datei nicht oeffnen.\r" + prompt();
    const std::string already = "\r\nDatei existiert bereits. Waehlen Sie bitte einen anderen Namen.\r\n" + prompt();
    EXPECT_EQ(say("//send .bashrc"), cannotOpen);
    EXPECT_EQ(say("//sbin .."), cannotOpen);
    EXPECT_FALSE(exists(".bashrc"));
    EXPECT_EQ(say("//sbin readme.txt"), already) << "exists in another case";
    EXPECT_EQ(say("//send escape"), already) << "a link counts as a file";
    EXPECT_EQ(r.outside.read("secret.txt"), "root:x:0:0");
    EXPECT_TRUE(r.transfers.calls.empty());

    EXPECT_EQ(say("//sb New"), "\rBitte starten Sie die Binaerdatei\x81" "bertragung.\r");
    ASSERT_EQ(r.transfers.calls.size(), 1u);
    EXPECT_EQ(r.transfers.calls[0].what, "recvbin");
    EXPECT_EQ(r.transfers.calls[0].arg, a + "/New.bin");
    EXPECT_EQ(r.area.read("New.bin"), "");
    EXPECT_EQ(say("//sb new.BIN"), already);

    // The superuser's path is cut to its plain name too.
    r.ch().setSuperuser(true);
    r.clear();
    say("//sbin " + r.outside.path().string() + "/evil");
    ASSERT_EQ(r.transfers.calls.size(), 1u);
    EXPECT_EQ(r.transfers.calls[0].arg, a + "/evil.bin");
    EXPECT_FALSE(fs::exists(r.outside.path() / "evil.bin"));

    // A transfer that cannot start leaves no file behind.
    r.transfers.accept = false;
    EXPECT_EQ(say("//sb other"), cannotOpen);
    EXPECT_FALSE(exists("other.bin"));
}

// An area that reaches into Norva's own directories: a station may look,
// but nothing it sends lands where Norva reads settings, texts or programs,
// and names of Norva's own kinds near them are stored under safe names.
TEST_F(FileCommands, UploadsNeverLandAmongNorvasOwnFilesOrInTheRunArea) {
    const std::string cannotOpen = "\rKann gewuenschte Datei nicht oeffnen.\r" + prompt();
    const fs::path texts = r.area.path() / "texts";
    const fs::path tools = r.area.path() / "tools";
    fs::create_directory(texts);
    fs::create_directory(tools);
    r.rig.profile.writeString("frame", "HelpDir", texts.string());
    r.rig.profile.writeString("frame", "RunDir", tools.string());
    for (const char* dir : {"texts", "tools"}) {
        say(std::string("//cd ") + dir);
        for (const char* name : {"norvaem.hlp", "evil.sh", "notes.txt", "tnc1.ini"}) {
            EXPECT_EQ(say(std::string("//sbin ") + name), cannotOpen) << dir << "/" << name;
            EXPECT_EQ(say(std::string("//send ") + name), cannotOpen) << dir << "/" << name;
        }
        EXPECT_TRUE(fs::is_empty(r.area.path() / dir)) << dir;
        say("//cd ..");
    }
    EXPECT_TRUE(r.transfers.calls.empty());
    EXPECT_NE(r.rig.dir.read("system.log").find("Received file evil.sh refused: "), std::string::npos);

    // The area itself lies next to our files here, so our kinds get a safe name.
    r.rig.profile.writeString("frame", "StationDir", (r.area.path() / "Sub").string());
    say("//cd sub");
    EXPECT_EQ(say("//sb DL1ABC.stn"), cannotOpen) << "the station directory is one of ours";
    say("//cd ..");
    EXPECT_EQ(say("//send visit.scr"), "\rGeben Sie bitte den Text ein. Textende mit ***end auf neuer Zeile.\r");
    ASSERT_EQ(r.transfers.calls.size(), 1u);
    EXPECT_EQ(r.transfers.calls[0].arg, a + "/visit.scr.rcv");
}

TEST_F(FileCommands, MakeAndRemoveDirectoriesOnlyHereAndOnlyEmpty) {
    EXPECT_EQ(say("//md New"), "\rDirectory /New created.\r" + prompt());
    EXPECT_TRUE(fs::is_directory(r.area.path() / "New"));
    EXPECT_EQ(say("//md NEW"), "\rKann Verzeichnis nicht erstellen /NEW\r" + prompt());
    EXPECT_EQ(say("//md .."), "\rKann Verzeichnis nicht erstellen /..\r" + prompt());
    EXPECT_EQ(say("//md .x"), "\rKann Verzeichnis nicht erstellen /.x\r" + prompt());
    EXPECT_EQ(say("//md a\\b"), "\rDiese Kommando ist fuer normale Benutzer nicht erlaubt.\r" + prompt());

    EXPECT_EQ(say("//rd new"), "\rVerzeichnis /new entfernt\r" + prompt());
    EXPECT_FALSE(exists("New"));
    const std::string cannot = "\r\rKann Verzeichnis nicht loeschen.\r ";
    EXPECT_EQ(say("//rd sub"), cannot + "/sub\r" + prompt()) << "not empty";
    EXPECT_EQ(say("//rd outdir"), cannot + "/outdir\r" + prompt()) << "a link out";
    EXPECT_EQ(say("//rd .."), cannot + "/..\r" + prompt());
    EXPECT_TRUE(fs::is_directory(r.outside.path()));
    EXPECT_TRUE(exists("Sub/inner.txt"));
}

TEST_F(FileCommands, DeleteIsForTheSuperuserAndRemovesLinksNotTargets) {
    EXPECT_EQ(say("//del readme.txt"), "\rDiese Kommando ist fuer normale Benutzer nicht erlaubt.\r" + prompt());
    r.ch().setSuperuser(true);
    EXPECT_EQ(say("//del README.TXT"), "\r\rDatei geloescht.\r\r" + prompt());
    EXPECT_FALSE(exists("Readme.TXT"));
    EXPECT_EQ(say("//del readme.txt"), "\r\rKann Datei nicht loeschen.\r\r" + prompt());
    EXPECT_EQ(say("//del escape.txt"), "\r\rDatei geloescht.\r\r" + prompt());
    EXPECT_EQ(r.outside.read("secret.txt"), "root:x:0:0");
    EXPECT_EQ(say("//del sub"), "\r\rKann Datei nicht loeschen.\r\r" + prompt());
    EXPECT_EQ(say("//del s?b"), "\r\rDiese Zeichen *?\\: sind nicht erlaubt.\r\r" + prompt());
}

TEST_F(FileCommands, DrivesAreTheMountedFileSystems) {
    const std::string head = "\rVerfuegbare Laufwerke:\r\r";
    r.setMounts("/dev/sda1 / ext4 rw 0 0\nproc /proc proc rw 0 0\nsysfs /sys sysfs rw 0 0\n"
                "tmpfs /run/user/1000 tmpfs rw 0 0\n/dev/sdb1 /media/My\\040Disk vfat rw 0 0\n");
    EXPECT_EQ(say("//drive"), head + "   /  (Norva - Remote)\r\r" + prompt())
        << "a normal station sees its area as its only drive";

    r.ch().setSuperuser(true);
    EXPECT_EQ(say("//drive"), head +
                                  "   /  (/dev/sda1 - ext4)\r"
                                  "   /run/user/1000  (tmpfs - tmpfs)\r"
                                  "   /media/My Disk  (/dev/sdb1 - vfat)\r"
                                  "\r" + prompt())
        << "in the table's order, pseudo file systems left out";

    // The superuser's listing names the volume that holds the directory.
    EXPECT_TRUE(say("//dir data.bin").starts_with("\r Label des Laufwerkes ist : /dev/sda1 - ext4\r Verzeichnis von  " + a +
                                         "/\r\r"));
    r.setMounts("/dev/sda1 / ext4 rw 0 0\n/dev/sdc1 " + a + " xfs rw 0 0\n");
    EXPECT_TRUE(say("//dir data.bin").starts_with("\r Label des Laufwerkes ist : /dev/sdc1 - xfs\r"));
    EXPECT_EQ(say("//drive"), head + "   /  (/dev/sda1 - ext4)\r   " + a + "  (/dev/sdc1 - xfs)\r\r" + prompt());
}

TEST_F(FileCommands, DrivesShowTheAreaWhenNoListedFileSystemHoldsIt) {
    const std::string head = "\rVerfuegbare Laufwerke:\r\r";
    // A chroot without /proc, a container showing only pseudo file systems,
    // a table without the root file system.
    r.ch().setSuperuser(true);
    const std::string area = "   " + a + "  (Norva - Remote)\r";
    r.setMounts("");
    EXPECT_EQ(say("//drive"), head + area + "\r" + prompt()) << "empty table";
    r.setMounts("proc /proc proc rw 0 0\ndevpts /dev/pts devpts rw 0 0\n");
    EXPECT_EQ(say("//drive"), head + area + "\r" + prompt()) << "pseudo file systems only";
    r.setMounts("/dev/sda2 /boot ext2 rw 0 0\n");
    EXPECT_EQ(say("//drive"), head + "   /boot  (/dev/sda2 - ext2)\r" + area + "\r" + prompt()) << "no /";
    fs::remove(r.system / "mounts");
    EXPECT_EQ(say("//drive"), head + area + "\r" + prompt()) << "no table at all";

    EXPECT_TRUE(say("//dir data.bin").starts_with("\r Label des Laufwerkes ist : No Volume"));
}

}  // namespace
}  // namespace norva::test
