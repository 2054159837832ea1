// 7Plus capture on a channel connected to DB1BBB: parts recognised and
// collected across frames, saved byte for byte under the stop line's name,
// and everything the air can do wrong: hostile names, taken names, parts
// that never end.
#include <gtest/gtest.h>

#include "TransferRig.h"
#include "support/TempDir.h"
#include "transfer/SevenPlusDecode.h"
#include "transfer/SevenPlusJob.h"

namespace norva::test {
namespace {

namespace fs = std::filesystem;

const std::string kStart = " go_7+. 001 of 002 test.zip 0012000 5D1A 7PLUS v2.2\r\n";
const std::string kBody = "aGVsbG8gd29ybGQgaGVsbG8gd29ybGQ=1234\r\n" "second line of code 2345\r\n";
const std::string kStop = " stop_7+. (TEST.P01/02-AB12)\r\n";

class SevenPlus : public TransferTest {
protected:
    void SetUp() override {
        TransferTest::SetUp();
        rx = rig.dir.path() / "7plus";
        fs::create_directories(rx);
        rig.appendIni("[frame]\r\n7PlusRxDir=" + rx.string() + "\r\n");
    }
    CSevenPlusJob* job() const { return dynamic_cast<CSevenPlusJob*>(ch->job(JobSlot::FileReceive)); }
    // What the remote scanner does with a record holding the start line.
    void arrive(const std::string& text) {
        CSevenPlusJob::startCapture(*ch, text);
        receive(text);
    }
    fs::path rx;
};

TEST_F(SevenPlus, PartSplitOverManyFramesIsSavedExactlyUnderTheStopLinesName) {
    arrive("some mail text\r" + kStart.substr(0, kStart.size() - 1));
    ASSERT_NE(job(), nullptr);
    EXPECT_EQ(job()->path(), rx / "TEST.ZIP") << "field 5, upper case";
    EXPECT_EQ(job()->fileLength(), 6000) << "field 6 / field 4";
    // Every split, also between the CR and the LF of a line end.
    const std::string rest = "\n" + kBody + kStop + "next text\r";
    for (std::size_t at = 0; at < rest.size(); at += 7) receive(rest.substr(at, 7));
    ch->tick();
    EXPECT_EQ(job(), nullptr) << "a saved part ends the job";
    // The start record's text from the marker on, then everything up to the stop line's CR LF.
    EXPECT_EQ(file("7plus/TEST.P01"), kStart + kBody + kStop);
    EXPECT_NE(shown(kClassTncEcho).find("\r\r7Plus File " + (rx / "TEST.P01").string() + " ok.\r\n"),
              std::string::npos);
    EXPECT_NE(shown(kClassTncEcho).find("7Plus Dateiempfang gestarted"), std::string::npos);
    EXPECT_EQ(air(), "") << "nothing is sent to the station";
}

TEST_F(SevenPlus, BareCarriageReturnsGetLineFeedsAndStartWithStopNeedsOneMoreRecord) {
    std::string crOnly = kStart + kBody + kStop;
    for (std::size_t at; (at = crOnly.find("\r\n")) != std::string::npos;) crOnly.erase(at + 1, 1);
    arrive(crOnly);
    ASSERT_NE(job(), nullptr);
    EXPECT_EQ(job()->state(), CSevenPlusJob::State::Collecting) << "the start record only starts";
    receive("73\r");
    ch->tick();
    EXPECT_EQ(file("7plus/TEST.P01"), kStart + kBody + kStop);
}

TEST_F(SevenPlus, OnlyTheLowerCaseMarkerStartsAndOddHeadersEstimate10000) {
    EXPECT_FALSE(CSevenPlusJob::startCapture(*ch, " GO_7+. 001 OF 001 X.ZIP 1 2\r"));
    EXPECT_EQ(job(), nullptr);
    arrive(" go_7+. 001 of xx name.7pl abc\r\n");
    ASSERT_NE(job(), nullptr);
    EXPECT_EQ(job()->fileLength(), 10000);
}

TEST_F(SevenPlus, TwoPartsBackToBack) {
    arrive(kStart + kBody);
    receive(kStop);
    ch->tick();
    ASSERT_EQ(job(), nullptr);
    arrive(" go_7+. 002 of 002 test.zip 0012000 5D1A 7PLUS v2.2\r\n" + kBody);
    receive(" stop_7+. (TEST.P02/02-CD34)\r\n");
    ch->tick();
    EXPECT_TRUE(exists("7plus/TEST.P01"));
    EXPECT_TRUE(exists("7plus/TEST.P02"));
}

TEST_F(SevenPlus, NamesFromTheAirStayPlainAndNeverOverwrite) {
    rig.dir.write("7plus/EVIL.P01", "keep me");
    arrive(" go_7+. 001 of 001 ../../.hidden/evil 0000100 5D1A\r\n" + kBody);
    ASSERT_NE(job(), nullptr);
    EXPECT_EQ(job()->path().parent_path(), rx);
    EXPECT_EQ(job()->path().filename(), "EVIL") << "the part after the last separator";
    receive(" stop_7+. (EVIL.P01/01-0000)\r\n");
    ch->tick();
    EXPECT_EQ(file("7plus/EVIL.P01"), "keep me");
    EXPECT_TRUE(exists("7plus/EVIL.P01.1"));
    EXPECT_NE(shown(kClassTncEcho).find((rx / "EVIL.P01.1").string() + " ok."), std::string::npos)
        << "the notice names the file actually written";

    // A stop line whose name is no plain name: the part keeps the start line's name.
    arrive(kStart + kBody);
    receive(" stop_7+. (../x/01-0000)\r\n");
    ch->tick();
    EXPECT_TRUE(exists("7plus/TEST.ZIP"));
    for (const auto& e : fs::recursive_directory_iterator(rig.dir.path()))
        EXPECT_EQ(e.path().filename().string().find(".."), std::string::npos) << e.path();
}

TEST_F(SevenPlus, APartThatNeverEndsIsKeptAsIncomplete) {
    arrive(kStart);
    const std::string line(70, 'x');
    for (std::size_t sent = 0; sent <= CSevenPlusJob::kMaxPart; sent += line.size() + 2) receive(line + "\r\n");
    ch->tick();
    EXPECT_EQ(job(), nullptr);
    ASSERT_TRUE(exists("7plus/TEST.ZIP.incomplete"));
    EXPECT_GT(fs::file_size(rx / "TEST.ZIP.incomplete"), CSevenPlusJob::kMaxPart);
    EXPECT_NE(shown(kClassTncEcho).find("TEST.ZIP.incomplete unvollstaendig."), std::string::npos);

    // No text for ten minutes: the part so far is kept.
    arrive(kStart + kBody);
    rig.clock.advanceMs(CSevenPlusJob::kQuietLimitMs - 1000);
    ch->tick();
    ASSERT_NE(job(), nullptr);
    rig.clock.advanceMs(2000);
    ch->tick();
    EXPECT_EQ(job(), nullptr);
    EXPECT_EQ(file("7plus/TEST.ZIP.incomplete.1"), kStart + kBody);
}

}  // namespace
}  // namespace norva::test

namespace norva::test {
namespace {

// A stop line may name anything; near Norva's own files our kinds get a
// safe name, and a receive directory that is one of ours gives way.
TEST_F(SevenPlus, AStopLineNamingOneOfOurFilesNeverPlantsIt) {
    arrive(kStart + kBody);
    receive(" stop_7+. (7PLUSE.SH/01-0000)\r\n");
    ch->tick();
    EXPECT_TRUE(exists("7plus/7PLUSE.SH.rcv"));
    EXPECT_FALSE(exists("7plus/7PLUSE.SH"));

    rig.profile.writeString("frame", "7PlusRxDir", rig.dir.path().string());
    arrive(kStart + kBody);
    receive(" stop_7+. (EXEC.MNU/01-0000)\r\n");
    ch->tick();
    EXPECT_FALSE(exists("EXEC.MNU"));
    EXPECT_FALSE(exists("7pluse.sh")) << "no decoder script appears while parts arrive";
    EXPECT_EQ(file("received/EXEC.MNU.rcv"), kStart + kBody + " stop_7+. (EXEC.MNU/01-0000)\r\n");
}

TEST(SevenPlusDecoder, ScriptGetsDirNameAndExtensionQuotedInTheExtractionDirectory) {
    TempDir dir;
    std::filesystem::create_directories(dir.path() / "rx dir");
    std::filesystem::create_directories(dir.path() / "out");
    dir.write("7pluse.sh", "echo \"[$1][$2][$3]\"; pwd; echo oops >&2\n");
    const DecodeResult r = runDecoder(dir.path(), dir.path() / "rx dir" / "$(id).P01", dir.path() / "out", 5000);
    ASSERT_TRUE(r.started) << r.output;
    EXPECT_EQ(r.output, "[" + (dir.path() / "rx dir").string() + "/][$(id)][P01]\n" + (dir.path() / "out").string() +
                            "\noops\n");
}

TEST(SevenPlusDecoder, AMissingScriptIsWrittenOnceAndAHungDecoderIsEnded) {
    TempDir dir;
    std::string error;
    ASSERT_TRUE(ensureDecoderScript(dir.path(), &error)) << error;
    EXPECT_EQ(dir.read("7pluse.sh"), defaultDecoderScript());
    EXPECT_EQ(std::filesystem::status(dir.path() / "7pluse.sh").permissions() & std::filesystem::perms::owner_exec,
              std::filesystem::perms::owner_exec);
    dir.write("7pluse.sh", "sleep 30\n");
    ASSERT_TRUE(ensureDecoderScript(dir.path(), &error));
    EXPECT_EQ(dir.read("7pluse.sh"), "sleep 30\n") << "the operator's script is kept";
    const DecodeResult r = runDecoder(dir.path(), dir.path() / "x.p01", dir.path(), 200);
    EXPECT_TRUE(r.started);
    EXPECT_TRUE(r.timedOut);

    // Decoding never writes the script: a missing one is said, not made.
    std::filesystem::remove(dir.path() / "7pluse.sh");
    const DecodeResult missing = runDecoder(dir.path(), dir.path() / "x.p01", dir.path(), 200);
    EXPECT_FALSE(missing.started);
    EXPECT_TRUE(missing.output.starts_with("Kann 7Plus.exe nicht finden.")) << missing.output;
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "7pluse.sh"));
    EXPECT_TRUE(decoderLaunch("rel", "p/x.p01", "out").argv[1].starts_with("/")) << "run by its absolute path";
}

}  // namespace
}  // namespace norva::test
