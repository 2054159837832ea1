// Password files: the keys and the DieBox block, as the dialogs write them
// and as people write them by hand, their mode, and the LOGIN: capture.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/Profile.h"
#include "station/PasswordFile.h"
#include "station/StationPaths.h"
#include "support/TempDir.h"

namespace norva::test {
namespace {

namespace fs = std::filesystem;

unsigned modeOf(const fs::path& p) {
    struct stat st {};
    if (::stat(p.c_str(), &st) != 0) return 0;
    return st.st_mode & 0777;
}

// 20 lines of 80 characters and one of 20, as the operator types them.
std::string typedBlock(const char* eol) {
    std::string out;
    for (int line = 0; line < 21; ++line) {
        const int len = line < 20 ? 80 : 20;
        for (int i = 0; i < len; ++i) out.push_back(static_cast<char>('0' + (line * 7 + i) % 75));
        if (line < 20) out += eol;
    }
    return out;
}

class PasswordFiles : public ::testing::Test {
protected:
    TempDir dir;
    fs::path file = dir / "DB0BOX.pwd";
};

TEST_F(PasswordFiles, DieBoxDialogWritesExactBytesPrivately) {
    DieBoxPasswordEntry e;
    e.destCall = "DB0BOX";
    e.aliasDestCall = "BOXHH";
    e.block = "AB\ncd\r\nEF";
    ASSERT_TRUE(writeDieBoxPassword(file, e));
    EXPECT_EQ(readFile(file),
              "[Station]\r\nDestCall=DB0BOX\r\nAliasDestCall=BOXHH\r\nSysopCommand=PRIV\r\nStationMode=DieBox\r\n"
              "LoginText=Dummy Login Text\r\n\r\n\r\n[dieboxpassword]\r\nAB\r\ncd\r\nEF\x1a");
    EXPECT_EQ(modeOf(file), 0600u);

    // Made anew: an old Password key and the old block are gone; no block without a field.
    writeFile(file, "[Station]\r\nPassword=secret\r\n");
    ::chmod(file.c_str(), 0644);
    e.block.clear();
    ASSERT_TRUE(writeDieBoxPassword(file, e));
    EXPECT_EQ(readFile(file).find("secret"), std::string::npos);
    EXPECT_EQ(readFile(file).find("dieboxpassword"), std::string::npos);
    EXPECT_EQ(modeOf(file), 0600u);
}

TEST_F(PasswordFiles, DieBoxBlockRoundTripsAndSurvivesLaterKeyWrites) {
    for (const char* eol : {"\r\n", "\n"}) {
        DieBoxPasswordEntry e;
        e.destCall = "DB0BOX";
        e.block = typedBlock(eol);
        ASSERT_TRUE(writeDieBoxPassword(file, e));
        const std::string secret = dieBoxSecret(readDieBoxBlock(file));
        ASSERT_EQ(secret.size(), kDieBoxBlockLength);
        EXPECT_EQ(secret, dieBoxSecret(typedBlock("")));
        // The LOGIN: capture and the station window write keys later.
        ASSERT_TRUE(writePasswordKey(file, "LoginText", "LOGIN: 31.12.96 23:59"));
        ASSERT_TRUE(writePasswordKey(file, "StationMode", "DieBox"));
        EXPECT_EQ(dieBoxSecret(readDieBoxBlock(file)), secret);
        const PasswordSettings s = readPasswordFile(file);
        EXPECT_EQ(s.loginText, "LOGIN: 31.12.96 23:59");
        EXPECT_EQ(s.sysopCommand, "PRIV");
        EXPECT_EQ(s.destCall, "DB0BOX");
        EXPECT_EQ(modeOf(file), 0600u);
    }
}

TEST_F(PasswordFiles, BlockReaderStopsAtBlank26And205AndTakes2000Bytes) {
    EXPECT_EQ(dieBoxBlockFromBytes("[Station]\r\n\r\n[dieboxpassword]\r\nAB\r\nCD EF"), "AB\r\nCD");
    EXPECT_EQ(dieBoxBlockFromBytes("[dieboxpassword]\r\nAB\x1a" "CD"), "AB");
    EXPECT_EQ(dieBoxBlockFromBytes("[dieboxpassword]\r\nAB\xcd" "CD"), "AB");
    EXPECT_EQ(dieBoxBlockFromBytes("[DieBoxPassword]\nXAB"), "AB") << "two characters follow the marker";
    EXPECT_EQ(dieBoxBlockFromBytes("[Station]\r\nStationMode=DieBox\r\n"), "");
    EXPECT_EQ(dieBoxBlockFromBytes("[dieboxpassword]"), "");
    EXPECT_EQ(dieBoxBlockFromBytes("[dieboxpassword]\r\n" + std::string(2500, 'x')).size(), kDieBoxStoredLimit);
    // A long section before the block (long login text and calls) does not cut it.
    std::string bytes = "[Station]\r\n";
    for (int i = 0; i < 8; ++i) bytes += "Key" + std::to_string(i) + "=" + std::string(127, 'v') + "\r\n";
    bytes += "\r\n\r\n[dieboxpassword]\r\n" + typedBlock("\r\n") + "\x1a";
    writeFile(file, bytes);
    EXPECT_EQ(dieBoxSecret(readDieBoxBlock(file)).size(), kDieBoxBlockLength);
}

TEST_F(PasswordFiles, HandWrittenFilesWithLfAndGarbageLines) {
    writeFile(file, "garbage before\n[station]\nstationmode = FlexNet \nnonsense line\n=x\nPASSWORD=12345\n"
                    "SysopCommand=SYS\nLoginText=" + std::string(300, 'L') + "\n");
    const PasswordSettings s = readPasswordFile(file);
    EXPECT_EQ(s.stationMode, "FlexNet");
    EXPECT_EQ(s.password, "12345");
    EXPECT_EQ(s.sysopCommand, "SYS");
    EXPECT_EQ(s.loginText, std::string(kPasswordValueLimit, 'L')) << "128-byte buffers";
    const PasswordSettings none = readPasswordFile(dir / "missing.pwd");
    EXPECT_EQ(none.stationMode, "no Password");
    EXPECT_TRUE(none.password.empty());
}

TEST_F(PasswordFiles, NodeDialogWritesCreateAndKeepThePrivateMode) {
    ::umask(022);
    ASSERT_TRUE(writeNodePassword(file, "12345", "SYS"));
    EXPECT_EQ(modeOf(file), 0600u);
    EXPECT_EQ(readPasswordFile(file).password, "12345");
    ::chmod(file.c_str(), 0666);
    ASSERT_TRUE(writeNodePassword(file, std::string(200, '7') + "\r\nStationMode=x", "SYSOP"));
    EXPECT_EQ(modeOf(file), 0600u) << "made private again";
    EXPECT_EQ(readPasswordFile(file).password, std::string(kPasswordValueLimit, '7'));
    EXPECT_EQ(readPasswordFile(file).stationMode, "no Password") << "a line break cannot add a key";
    // No temporary copies are left beside it.
    int entries = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.path())) ++entries;
    EXPECT_EQ(entries, 1);
}

TEST_F(PasswordFiles, LoginTextIsStoredOnlyUnderACallsign) {
    Profile ini(dir / "norva.ini");
    const StationPaths paths(ini, dir.path());
    ASSERT_TRUE(storeLoginText(paths, "DB0BOX-3", "LOGIN: 31.12.96 23:59 DB0BOX\rnext line"));
    const fs::path stored = dir / "DB0BOX-3.pwd";
    EXPECT_EQ(readPasswordFile(stored).loginText, "LOGIN: 31.12.96 23:59 DB0BOX");
    EXPECT_EQ(modeOf(stored), 0600u);
    ASSERT_TRUE(storeLoginText(paths, "db0box-3", "LOGIN: 01.01.97 00:00\x1a\x01" + std::string(300, 'x')));
    const std::string login = readPasswordFile(stored).loginText;
    EXPECT_EQ(login.size(), kPasswordValueLimit);
    EXPECT_EQ(login.substr(0, 22), "LOGIN: 01.01.97 00:00 ") << "control characters become blanks";

    for (const char* hostile : {"../DB0BOX", "DB0/BOX", ".pwd", "", "DB0BOX-16", "DB0 BOX", "*"}) {
        EXPECT_FALSE(storeLoginText(paths, hostile, "LOGIN: 1.1.97 1:1")) << hostile;
    }
    int entries = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.path())) ++entries;
    EXPECT_EQ(entries, 1) << "no file was made for a hostile call";
}

TEST_F(PasswordFiles, LoginTextGoesToTheStationDirectoryFileWhenItExists) {
    fs::create_directory(dir / "stn");
    fs::create_directory(dir / "pwd");
    writeFile(dir / "norva.ini", "[frame]\r\nStationDir=" + (dir / "stn").string() + "\r\nPasswordDir=" +
                                     (dir / "pwd").string() + "\r\n");
    Profile ini(dir / "norva.ini");
    const StationPaths paths(ini, dir.path());
    ASSERT_TRUE(storeLoginText(paths, "DB0AAA", "LOGIN: 2.2.97 2:2"));
    EXPECT_TRUE(fs::exists(dir / "pwd" / "DB0AAA.pwd"));
    writeFile(dir / "stn" / "DB0BBB.pwd", "[Station]\r\nStationMode=DieBox\r\n");
    ASSERT_TRUE(storeLoginText(paths, "DB0BBB", "LOGIN: 3.3.97 3:3"));
    EXPECT_EQ(readPasswordFile(dir / "stn" / "DB0BBB.pwd").loginText, "LOGIN: 3.3.97 3:3");
    EXPECT_FALSE(fs::exists(dir / "pwd" / "DB0BBB.pwd"));
}

}  // namespace
}  // namespace norva::test
