// The INI profile: Windows private-profile reading, line-preserving writes,
// deletion, the cache against outside edits, and failed writes that must leave
// the old file and the profile's view of it intact.
#include "platform/Profile.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <csignal>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace norva {
namespace {

using test::readFile;
using test::writeFile;
namespace fs = std::filesystem;

const std::string kSample =
    "; Norva settings\r\n"
    "[Frame]\r\n"
    "  Ratio = 70 \r\n"
    "ratio=99\r\n"
    "Name=  Norva Station  \r\n"
    "Empty=\r\n"
    "Num1=12abc\r\n"
    "Num2=abc\r\n"
    "Num3=-5\r\n"
    "Num4=   +7\r\n"
    "Big=99999999999\r\n"
    "garbage without equals\r\n"
    "=novalue\r\n"
    "[unterminated\r\n"
    "Hidden=1\r\n"
    "[Color]\r\n"
    "Input=0,0,0\r\n"
    "; Link 5 comes next\r\n"
    "[frame]\r\n"
    "Extra=x\r\n"
    "AutoArrange=5\r\n";

class ProfileTest : public ::testing::Test {
protected:
    fs::path file() const { return dir_ / "norva.ini"; }
    test::TempDir dir_;
};

TEST_F(ProfileTest, BatchedWritesReachTheDiskTogether)
{
    writeFile(file(), kSample);
    Profile p(file());
    {
        Profile::Batch outer(p);
        EXPECT_TRUE(p.writeInt("Frame", "Ratio", 55));
        {
            Profile::Batch inner(p);
            EXPECT_TRUE(p.writeString("Color", "Input", "1,2,3"));
        }
        EXPECT_EQ(readFile(file()), kSample) << "nothing written before the outer batch ends";
        EXPECT_EQ(p.getInt("Frame", "Ratio", 0), 55) << "but the profile shows the new values";
        EXPECT_TRUE(p.deleteKey("frame", "Extra"));
    }
    Profile fresh(file());
    EXPECT_EQ(fresh.getInt("Frame", "Ratio", 0), 55);
    EXPECT_EQ(fresh.getString("Color", "Input"), "1,2,3");
    EXPECT_FALSE(fresh.find("frame", "Extra"));
    EXPECT_EQ(fresh.getString("Frame", "Name"), "Norva Station") << "other lines kept";
}

// A batch whose rewrite fails keeps its values, says so once, and writes
// them with the next write (or flush at exit) once the disk takes them.
TEST_F(ProfileTest, FailedBatchKeepsItsValuesReportsOnceAndRetries)
{
    writeFile(file(), kSample);
    Profile p(file());
    std::vector<std::string> reports;
    p.setFailureReport([&](const std::string& m) { reports.push_back(m); });
    const std::string gone = dir_.path().string() + ".gone";
    {
        Profile::Batch batch(p);
        EXPECT_TRUE(p.writeInt("Frame", "Ratio", 55));
        // The directory disappears under the batch: the rewrite cannot happen.
        fs::rename(dir_.path(), gone);
        EXPECT_FALSE(batch.end());
    }
    EXPECT_TRUE(p.hasUnsavedWrites());
    EXPECT_EQ(p.getInt("Frame", "Ratio", 0), 55) << "the value is kept";
    EXPECT_FALSE(p.flush());
    {
        Profile::Batch again(p);
        p.writeInt("Frame", "Other", 1);
    }
    ASSERT_EQ(reports.size(), 1u) << "reported once, not per attempt";
    EXPECT_EQ(reports[0], "Die Einstellungen können nicht gespeichert werden: " + file().string());

    fs::rename(gone, dir_.path());
    EXPECT_TRUE(p.writeInt("Color", "Input", 7));
    EXPECT_FALSE(p.hasUnsavedWrites());
    Profile fresh(file());
    EXPECT_EQ(fresh.getInt("Frame", "Ratio", 0), 55) << "retried with the next write";
    EXPECT_EQ(fresh.getInt("Frame", "Other", 0), 1);
    EXPECT_EQ(fresh.getInt("Color", "Input", 0), 7);
}

TEST_F(ProfileTest, FlushAtExitWritesWhatAFailedBatchKept)
{
    writeFile(file(), kSample);
    Profile p(file());
    const std::string gone = dir_.path().string() + ".gone";
    p.beginBatch();
    p.writeInt("Frame", "Ratio", 56);
    fs::rename(dir_.path(), gone);
    EXPECT_FALSE(p.endBatch());
    fs::rename(gone, dir_.path());
    EXPECT_TRUE(p.flush());
    EXPECT_EQ(Profile(file()).getInt("Frame", "Ratio", 0), 56);
}

// Another thread's writes during a batch go to disk at once and are never
// part of the batch's fate.
TEST_F(ProfileTest, BatchesBelongToTheirThread)
{
    writeFile(file(), kSample);
    Profile p(file());
    p.beginBatch();
    EXPECT_TRUE(p.writeInt("Frame", "Ratio", 57));
    bool wrote = false;
    std::thread gui([&] { wrote = p.writeString("Color", "Input", "9,9,9"); });
    gui.join();
    EXPECT_TRUE(wrote);
    EXPECT_EQ(Profile(file()).getString("Color", "Input"), "9,9,9") << "on disk at once";
    EXPECT_TRUE(p.endBatch());
    EXPECT_EQ(Profile(file()).getInt("Frame", "Ratio", 0), 57);
}

TEST_F(ProfileTest, ReadsWithWindowsSemantics)
{
    writeFile(file(), kSample);
    Profile p(file());
    // Case-insensitive names, trimmed names and values, first match wins.
    EXPECT_EQ(p.getString("FRAME", "RATIO"), "70");
    EXPECT_EQ(p.getString("Frame", "Name"), "Norva Station");
    EXPECT_EQ(p.getString("color", "input", "d"), "0,0,0");
    // The default only for what is missing; a blank string value is a value.
    EXPECT_EQ(p.getString("Frame", "Empty", "def"), "");
    EXPECT_EQ(p.getString("Frame", "Missing", "def"), "def");
    EXPECT_EQ(p.getString("NoSection", "Ratio", "def"), "def");
    EXPECT_FALSE(p.find("Frame", "Missing").has_value());
    EXPECT_EQ(p.find("Frame", "Empty"), std::optional<std::string>(""));
    // A later block of the same section still counts, after the first one.
    EXPECT_EQ(p.getString("Frame", "Extra"), "x");
}

TEST_F(ProfileTest, GetIntReadsLikeGetPrivateProfileInt)
{
    writeFile(file(), kSample);
    Profile p(file());
    EXPECT_EQ(p.getInt("Frame", "Ratio", 1), 70);
    EXPECT_EQ(p.getInt("Frame", "Num1", 1), 12);
    EXPECT_EQ(p.getInt("Frame", "Num2", 1), 0);
    EXPECT_EQ(p.getInt("Frame", "Num3", 1), -5);
    EXPECT_EQ(p.getInt("Frame", "Num4", 1), 7);
    EXPECT_EQ(p.getInt("Frame", "Big", 1), INT_MAX);
    EXPECT_EQ(p.getInt("Frame", "Empty", 33), 33);
    EXPECT_EQ(p.getInt("Frame", "Missing", 44), 44);
}

TEST_F(ProfileTest, MalformedLinesAreSkipped)
{
    writeFile(file(), kSample);
    Profile p(file());
    // Keys under a broken header belong to no section, not to the one above.
    EXPECT_EQ(p.getString("Frame", "Hidden", "none"), "none");
    EXPECT_EQ(p.getString("unterminated", "Hidden", "none"), "none");
    EXPECT_EQ(p.getString("Frame", "garbage without equals", "none"), "none");
    EXPECT_EQ(p.keys("Frame"), (std::vector<std::string>{"Ratio", "Name", "Empty", "Num1", "Num2", "Num3",
                                                         "Num4", "Big", "Extra", "AutoArrange"}));
    EXPECT_EQ(p.sections(), (std::vector<std::string>{"Frame", "Color"}));
    EXPECT_TRUE(p.keys("Missing").empty());
}

TEST_F(ProfileTest, BinaryGarbageIsNeverFatal)
{
    std::string junk = "\xEF\xBB\xBF[Frame]\n";
    for (int i = 0; i < 2000; ++i)
        junk += static_cast<char>((i * 7919) % 256);
    junk += "\n[Frame\n]]]\n[]\nkey=\n=\n[\n";
    writeFile(file(), junk);
    Profile p(file());
    EXPECT_TRUE(p.writeString("Frame", "Ratio", "70"));
    EXPECT_EQ(p.getInt("Frame", "Ratio", 0), 70);
    EXPECT_EQ(Profile(file()).getInt("frame", "ratio", 0), 70);
}

TEST_F(ProfileTest, ByteOrderMarkDoesNotHideTheFirstSection)
{
    writeFile(file(), "\xEF\xBB\xBF[Frame]\r\nRatio=60\r\n");
    Profile p(file());
    EXPECT_EQ(p.getInt("Frame", "Ratio", 0), 60);
    EXPECT_TRUE(p.writeString("Frame", "Ratio", "61"));
    EXPECT_EQ(readFile(file()), "\xEF\xBB\xBF[Frame]\r\nRatio=61\r\n");
}

TEST_F(ProfileTest, WriteReplacesOnlyItsLineAndKeepsCrLf)
{
    writeFile(file(), kSample);
    Profile p(file());
    ASSERT_TRUE(p.writeString("FRAME", "ratio", "80"));
    std::string expected = kSample;
    expected.replace(expected.find("  Ratio = 70 "), 13, "Ratio=80");
    EXPECT_EQ(readFile(file()), expected);
    EXPECT_EQ(p.getInt("Frame", "Ratio", 0), 80);
}

TEST_F(ProfileTest, WriteKeepsLfFiles)
{
    writeFile(file(), "[Frame]\nRatio=70\n; note\n");
    Profile p(file());
    ASSERT_TRUE(p.writeInt("Frame", "PreRows", 50));
    EXPECT_EQ(readFile(file()), "[Frame]\nRatio=70\nPreRows=50\n; note\n");
}

TEST_F(ProfileTest, FirstWriteCreatesFileWithCrLf)
{
    Profile p(file());
    EXPECT_EQ(p.getString("Frame", "AppName", "Norva"), "Norva");
    EXPECT_FALSE(fs::exists(file()));
    ASSERT_TRUE(p.writeString("Frame", "AppName", "Norva"));
    ASSERT_TRUE(p.writeInt("Color", "ColorMode", 1));
    EXPECT_EQ(readFile(file()), "[Frame]\r\nAppName=Norva\r\n\r\n[Color]\r\nColorMode=1\r\n");
}

TEST_F(ProfileTest, NewKeyGoesAfterLastKeyOfTheSection)
{
    writeFile(file(), kSample);
    Profile p(file());
    ASSERT_TRUE(p.writeString("color", "Command", "1,2,3"));
    const std::string text = readFile(file());
    EXPECT_NE(text.find("Input=0,0,0\r\nCommand=1,2,3\r\n; Link 5 comes next\r\n"), std::string::npos);
    EXPECT_EQ(p.keys("Color"), (std::vector<std::string>{"Input", "Command"}));
}

TEST_F(ProfileTest, WriteIntoMissingSectionAppendsIt)
{
    writeFile(file(), "[Frame]\r\nRatio=70\r\n");
    Profile p(file());
    ASSERT_TRUE(p.writeString("Link3", "Paclen", "128"));
    EXPECT_EQ(readFile(file()), "[Frame]\r\nRatio=70\r\n\r\n[Link3]\r\nPaclen=128\r\n");
}

TEST_F(ProfileTest, DeleteKeyRemovesEveryCopy)
{
    writeFile(file(), kSample);
    Profile p(file());
    ASSERT_TRUE(p.deleteKey("frame", "RATIO"));
    EXPECT_FALSE(p.find("Frame", "Ratio").has_value());
    const std::string text = readFile(file());
    EXPECT_EQ(text.find("Ratio"), std::string::npos);
    EXPECT_EQ(text.find("ratio"), std::string::npos);
    EXPECT_NE(text.find("Name=  Norva Station  \r\n"), std::string::npos);
    // Deleting what is not there succeeds and writes nothing.
    const auto before = fs::last_write_time(file());
    EXPECT_TRUE(p.deleteKey("Frame", "Nothing"));
    EXPECT_TRUE(p.deleteKey("Nothing", "Nothing"));
    EXPECT_EQ(fs::last_write_time(file()), before);
}

TEST_F(ProfileTest, DeleteSectionRemovesAllItsBlocks)
{
    writeFile(file(), kSample);
    Profile p(file());
    ASSERT_TRUE(p.deleteSection("FRAME"));
    EXPECT_EQ(p.sections(), (std::vector<std::string>{"Color"}));
    EXPECT_FALSE(p.find("Frame", "Extra").has_value());
    EXPECT_EQ(readFile(file()),
              "; Norva settings\r\n"
              "[unterminated\r\n"
              "Hidden=1\r\n"
              "[Color]\r\n"
              "Input=0,0,0\r\n"
              "; Link 5 comes next\r\n");
    // A fresh write of the section starts it anew.
    ASSERT_TRUE(p.writeInt("Frame", "Ratio", 1));
    EXPECT_EQ(p.getInt("Frame", "Ratio", 0), 1);
}

TEST_F(ProfileTest, RejectsNamesAndValuesThatWouldBreakTheFile)
{
    writeFile(file(), kSample);
    Profile p(file());
    EXPECT_FALSE(p.writeString("Frame", "a=b", "1"));
    EXPECT_FALSE(p.writeString("Frame", "", "1"));
    EXPECT_FALSE(p.writeString("Frame", ";x", "1"));
    EXPECT_FALSE(p.writeString("Frame", "[x", "1"));
    EXPECT_FALSE(p.writeString("Fr\name", "k", "1"));
    EXPECT_FALSE(p.writeString("Frame", "k", "line1\r\nline2"));
    EXPECT_EQ(readFile(file()), kSample);
    // A value with '=' and non-ASCII bytes is fine and comes back raw.
    ASSERT_TRUE(p.writeString("Frame", "Text", "a=b \xC3\xA4"));
    EXPECT_EQ(Profile(file()).getString("Frame", "Text"), "a=b \xC3\xA4");
}

TEST_F(ProfileTest, OutsideEditIsReadAgain)
{
    writeFile(file(), "[Frame]\nRatio=70\n");
    Profile p(file());
    EXPECT_EQ(p.getInt("Frame", "Ratio", 0), 70);

    // Another size.
    writeFile(file(), "[Frame]\nRatio=100\n");
    EXPECT_EQ(p.getInt("Frame", "Ratio", 0), 100);

    // Same size, rewritten in place; the time stamp is set apart explicitly,
    // as two edits within one file-system clock tick cannot be told apart.
    writeFile(file(), "[Frame]\nRatio=200\n");
    fs::last_write_time(file(), fs::last_write_time(file()) - std::chrono::seconds(10));
    EXPECT_EQ(p.getInt("Frame", "Ratio", 0), 200);

    // Replaced by another program's rename.
    writeFile(dir_ / "other.ini", "[Frame]\nRatio=300\n");
    fs::rename(dir_ / "other.ini", file());
    EXPECT_EQ(p.getInt("Frame", "Ratio", 0), 300);

    // Removed: the defaults apply again.
    fs::remove(file());
    EXPECT_EQ(p.getInt("Frame", "Ratio", 5), 5);
}

TEST_F(ProfileTest, WriteIsBasedOnTheCurrentFile)
{
    writeFile(file(), "[Frame]\nRatio=70\n");
    Profile a(file());
    Profile b(file());
    EXPECT_EQ(b.getInt("Frame", "Ratio", 0), 70);
    ASSERT_TRUE(a.writeInt("Frame", "PreRows", 25));
    ASSERT_TRUE(b.writeInt("Frame", "PreCols", 40));
    Profile c(file());
    EXPECT_EQ(c.getInt("Frame", "PreRows", 0), 25);
    EXPECT_EQ(c.getInt("Frame", "PreCols", 0), 40);
    EXPECT_EQ(a.getInt("Frame", "PreCols", 0), 40);
}

TEST_F(ProfileTest, MissingDirectoryFailsWithoutCreatingIt)
{
    Profile p(dir_ / "nowhere" / "norva.ini");
    EXPECT_FALSE(p.writeString("Frame", "Ratio", "70"));
    EXPECT_FALSE(fs::exists(dir_ / "nowhere"));
    EXPECT_EQ(p.getInt("Frame", "Ratio", 7), 7);
}

TEST_F(ProfileTest, UnreadableFileIsNeverOverwritten)
{
    fs::create_directory(file());  // a path that cannot be read as a file
    Profile p(file());
    EXPECT_EQ(p.getString("Frame", "Ratio", "d"), "d");
    EXPECT_FALSE(p.writeString("Frame", "Ratio", "70"));
    EXPECT_TRUE(fs::is_directory(file()));
}

TEST_F(ProfileTest, ReadOnlyDirectoryKeepsOldContent)
{
    writeFile(file(), kSample);
    fs::permissions(dir_.path(), fs::perms::owner_read | fs::perms::owner_exec);
    if (::access(dir_.path().c_str(), W_OK) == 0) {
        fs::permissions(dir_.path(), fs::perms::owner_all);
        GTEST_SKIP() << "running with rights that ignore directory permissions";
    }
    Profile p(file());
    EXPECT_FALSE(p.writeString("Frame", "Ratio", "80"));
    fs::permissions(dir_.path(), fs::perms::owner_all);
    EXPECT_EQ(readFile(file()), kSample);
    EXPECT_EQ(p.getInt("Frame", "Ratio", 0), 70);
}

// A write that fails half-way (file size limit, as on a full disk) leaves the
// old file whole, no temporary file behind, and the profile's view unchanged.
TEST_F(ProfileTest, WriteFailingMidwayKeepsOldFile)
{
    writeFile(file(), kSample);
    Profile p(file());
    EXPECT_EQ(p.getInt("Frame", "Ratio", 0), 70);

    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool ok = p.writeString("Frame", "Ratio", std::string(10000, '7'));
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(ok);
    EXPECT_EQ(readFile(file()), kSample);
    EXPECT_EQ(p.getInt("Frame", "Ratio", 0), 70);
    int entries = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir_.path()))
        ++entries;
    EXPECT_EQ(entries, 1);
    EXPECT_TRUE(p.writeString("Frame", "Ratio", "71"));
    EXPECT_EQ(Profile(file()).getInt("Frame", "Ratio", 0), 71);
}

TEST_F(ProfileTest, WriteThroughSymlinkKeepsTheLink)
{
    fs::create_directory(dir_ / "real");
    writeFile(dir_ / "real" / "norva.ini", "[Frame]\r\nRatio=70\r\n");
    fs::create_symlink(dir_ / "real" / "norva.ini", file());
    Profile p(file());
    ASSERT_TRUE(p.writeInt("Frame", "Ratio", 90));
    EXPECT_TRUE(fs::is_symlink(file()));
    EXPECT_EQ(readFile(dir_ / "real" / "norva.ini"), "[Frame]\r\nRatio=90\r\n");
}

TEST_F(ProfileTest, ExistingFileModeIsKept)
{
    writeFile(file(), "[Frame]\nRatio=70\n");
    fs::permissions(file(), fs::perms::owner_read | fs::perms::owner_write);
    Profile p(file());
    ASSERT_TRUE(p.writeInt("Frame", "Ratio", 90));
    EXPECT_EQ(fs::status(file()).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(ProfileTest, ReadersSeeWholeValuesWhileAnotherThreadWrites)
{
    Profile p(file());
    ASSERT_TRUE(p.writeInt("Frame", "Counter", 0));
    std::atomic<int> failed{0};
    std::thread writer([&] {
        for (int i = 1; i <= 30; ++i)
            if (!p.writeInt("Frame", "Counter", i))
                ++failed;
    });
    int last = 0;
    bool monotonic = true;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (last < 30 && std::chrono::steady_clock::now() < deadline) {
        const int v = p.getInt("Frame", "Counter", -1);
        monotonic = monotonic && v >= last;
        last = std::max(last, v);
    }
    writer.join();
    EXPECT_EQ(failed.load(), 0);
    EXPECT_EQ(last, 30);
    EXPECT_TRUE(monotonic);
    EXPECT_EQ(Profile(file()).getInt("Frame", "Counter", -1), 30);
}

TEST(ParseIntStrict, AcceptsOnlyWholeNumbers)
{
    EXPECT_EQ(parseIntStrict("  42 "), 42);
    EXPECT_EQ(parseIntStrict("-17"), -17);
    EXPECT_EQ(parseIntStrict("+3"), 3);
    EXPECT_EQ(parseIntStrict("0"), 0);
    EXPECT_EQ(parseIntStrict("-9223372036854775808"), LONG_MIN);
    EXPECT_EQ(parseIntStrict("9223372036854775807"), LONG_MAX);
    EXPECT_FALSE(parseIntStrict("9223372036854775808"));
    EXPECT_FALSE(parseIntStrict("4x"));
    EXPECT_FALSE(parseIntStrict(""));
    EXPECT_FALSE(parseIntStrict("  "));
    EXPECT_FALSE(parseIntStrict("-"));
    EXPECT_FALSE(parseIntStrict("4 2"));
    EXPECT_FALSE(parseIntStrict("0x10"));
    EXPECT_FALSE(parseIntStrict("--1"));
}

}  // namespace
}  // namespace norva
