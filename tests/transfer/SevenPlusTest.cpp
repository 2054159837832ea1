// 7Plus capture on a channel connected to DB1BBB: parts recognised and
// collected across frames, saved byte for byte under the stop line's name,
// the set decoded when its last part arrives (or its error report written),
// and everything the air can do wrong: hostile names, taken names, parts
// that never end.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>

#include "SevenPlusVectors.h"
#include "TransferRig.h"
#include "platform/ReceiveFolders.h"
#include "support/Environment.h"
#include "support/TempDir.h"
#include "transfer/SevenPlusFiles.h"
#include "transfer/SevenPlusJob.h"
#include "transfer/SevenPlusParts.h"

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

// Parts sent back to back: the next part's header may share a frame with
// the stop line before it; nothing of it is lost.
TEST_F(SevenPlus, APartBeginningInTheFrameThatEndsTheLastOneIsCollectedToo) {
    const std::string start2 = " go_7+. 002 of 002 test.zip 0012000 5D1A 7PLUS v2.2\r\n";
    const std::string stop2 = " stop_7+. (TEST.P02/02-CD34)\r\n";
    arrive(kStart + kBody);
    receive(kStop + "73\r\n" + start2 + kBody.substr(0, 10));
    ASSERT_NE(job(), nullptr);
    EXPECT_EQ(job()->state(), CSevenPlusJob::State::Collecting);
    receive(kBody.substr(10) + stop2 + kStart + "and a third");
    receive(kBody + kStop);
    ch->tick();
    EXPECT_EQ(job(), nullptr);
    EXPECT_EQ(file("7plus/TEST.P01"), kStart + kBody + kStop);
    EXPECT_EQ(file("7plus/TEST.P02"), start2 + kBody + stop2);
    EXPECT_EQ(file("7plus/TEST.P01.1"), kStart + "and a third" + kBody + kStop);
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

// A set arriving part by part in frames of 200 bytes, lines ended by CR as
// on the air: the part that completes it decodes the set into 7PlusExtractDir.
class SevenPlusSet : public SevenPlus {
protected:
    void SetUp() override {
        SevenPlus::SetUp();
        out = rig.dir.path() / "out";
        fs::create_directories(out);
        rig.profile.writeString("frame", "7PlusExtractDir", out.string());
    }
    void sendPart(std::string text) {
        std::replace(text.begin(), text.end(), '\n', '\r');
        arrive(text.substr(0, 200));
        for (std::size_t at = 200; at < text.size(); at += 200) receive(text.substr(at, 200));
        receive("73\r");
        ch->tick();
        ASSERT_EQ(job(), nullptr) << "the part was saved";
    }
    fs::path out;
};

TEST_F(SevenPlusSet, TheLastPartToArriveDecodesTheSetAndASetSentAgainIsNotWrittenTwice) {
    const auto names = randomPartNames();
    // In any order: the first part comes last.
    for (std::size_t i = 1; i < names.size(); ++i) sendPart(sevenPlusVector("b/" + names[i]));
    EXPECT_TRUE(fs::is_empty(out)) << "nothing before the set is complete";
    EXPECT_EQ(shown(kClassTncEcho).find("dekodiert"), std::string::npos);
    sendPart(sevenPlusVector("b/random40.p01"));
    EXPECT_EQ(file("out/random40k.bin"), sevenPlusVector("b/random40k.bin"));
    EXPECT_NE(shown(kClassTncEcho).find("\r7Plus Datei " + (out / "random40k.bin").string() +
                                        " dekodiert, 40000 Bytes.\r"),
              std::string::npos)
        << shown(kClassTncEcho);
    EXPECT_TRUE(exists("7plus/RANDOM40.P01")) << "the parts stay where they were collected";
    EXPECT_EQ(air(), "");

    // A part sent again finds the same file there: no second copy.
    clearAir();
    sendPart(sevenPlusVector("b/random40.p05"));
    EXPECT_NE(shown(kClassTncEcho).find("ist schon vorhanden"), std::string::npos) << shown(kClassTncEcho);
    EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 1);
}

TEST_F(SevenPlusSet, ADamagedSetWritesTheErrorReportAndTheCorrectionGivesTheFile) {
    rig.dir.write("out/random40k.bin", "an older file of that name");
    for (const std::string& name : randomPartNames()) sendPart(damagedPart(name));
    EXPECT_EQ(file("out/random40.err"), sevenPlusVector("c-errcor/random40.err"));
    const std::string shownText = shown(kClassTncEcho);
    EXPECT_NE(shownText.find("7Plus: Teil 2 von 65 beschaedigt, es fehlen die Zeilen 3\r"), std::string::npos)
        << shownText;
    EXPECT_NE(shownText.find("7Plus: Teil 65 von 65 beschaedigt, es fehlen die Zeilen 5\r"), std::string::npos);
    EXPECT_NE(shownText.find("7Plus: 3 Zeilen fehlen, 1 Zeile repariert. Fehlerbericht " +
                             (out / "random40.err").string() + " geschrieben."),
              std::string::npos);

    // The originator's correction, applied as the operator does (":decode7p random40.cor").
    rig.dir.write("7plus/random40.cor", sevenPlusVector("c-errcor/random40.cor"));
    ScopedTimeZone utc("UTC");
    const SevenPlusDecodeReport report = decodeSevenPlusFile(rx / "random40.cor", rx, out, rig.ctx.receiveFolders);
    EXPECT_EQ(file("out/random40k.bin"), "an older file of that name") << "never overwritten";
    EXPECT_EQ(file("out/random40k.bin.1"), sevenPlusVector("b/random40k.bin"));
    EXPECT_EQ(report.decoded, out / "random40k.bin.1");
    ASSERT_EQ(report.messages.size(), 2u);
    EXPECT_EQ(report.messages[0], "7Plus: Korrektur random40.cor: 3 Zeilen ersetzt.");
    EXPECT_EQ(report.messages[1],
              "7Plus Datei " + (out / "random40k.bin.1").string() + " dekodiert, 40000 Bytes, 1 Zeile repariert.");
    // The time of the stop lines, 2024-03-15 12:34:56.
    struct stat st {};
    ASSERT_EQ(::stat((out / "random40k.bin.1").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, 1710506096);
}

TEST_F(SevenPlusSet, ALongNameFromTheAirBecomesAPlainNameInTheExtractionDirectory) {
    for (const char* name : {"..\\..\\exec.mnu", "C:report.txt", "..", "sub\\"}) {
        auto parts = encodeSevenPlus("planted\n", name, {});
        ASSERT_TRUE(parts);
        sendPart(parts->at(0).text);
    }
    EXPECT_EQ(file("out/exec.mnu.rcv"), "planted\n") << "of Norva's own kinds, near its own files";
    EXPECT_EQ(file("out/report.txt"), "planted\n");
    // No plain name left: the header's 8.3 name, made of ".." and "sub\".
    EXPECT_EQ(file("out/_"), "planted\n");
    EXPECT_EQ(file("out/sub_"), "planted\n");
    for (const auto& e : fs::recursive_directory_iterator(rig.dir.path())) {
        EXPECT_NE(e.path().filename(), "exec.mnu") << e.path();
        EXPECT_EQ(e.path().filename().string().find(".."), std::string::npos) << e.path();
    }
}

// The sending side on files: the stamp comes from the file's time, lines
// end in CR for the air, and an error report is answered with the
// correction made from the original file it names.
TEST(SevenPlusSending, TheFilesPartsAndTheAnswerToAnErrorReportAreTheProgramsOwn) {
    ScopedTimeZone utc("UTC");
    TempDir dir;
    fs::create_directories(dir.path() / "orig");
    dir.write("orig/random40k.bin", sevenPlusVector("b/random40k.bin"));
    const timespec times[2] = {{1710506096, 0}, {1710506096, 0}};  // 2024-03-15 12:34:56
    ASSERT_EQ(::utimensat(AT_FDCWD, (dir.path() / "orig/random40k.bin").c_str(), times, 0), 0);
    auto onAir = [](std::string text) {
        std::replace(text.begin(), text.end(), '\n', '\r');
        return text;
    };

    std::string error;
    const auto parts = sevenPlusTextForSending(dir.path() / "orig/random40k.bin", 10, {}, &error);
    ASSERT_TRUE(parts) << error;
    EXPECT_EQ(parts->parts, 65);
    EXPECT_EQ(parts->name, "random40k.bin");
    std::string expected;
    for (const std::string& name : randomPartNames()) expected += onAir(sevenPlusVector("b/" + name));
    EXPECT_TRUE(parts->text == expected);

    dir.write("random40.err", sevenPlusVector("c-errcor/random40.err"));
    EXPECT_FALSE(sevenPlusTextForSending(dir.path() / "random40.err", 10, {dir.path()}, &error));
    EXPECT_EQ(error, "Die Originaldatei random40k.bin des Fehlerberichts ist nicht zu finden.");
    const auto cor = sevenPlusTextForSending(dir.path() / "random40.err", 10, {dir.path(), dir.path() / "orig"}, &error);
    ASSERT_TRUE(cor) << error;
    EXPECT_EQ(cor->name, "random40.cor");
    EXPECT_EQ(cor->text, onAir(sevenPlusVector("c-errcor/random40.cor")));

    dir.write("orig/random40k.bin", "shorter now");
    EXPECT_FALSE(sevenPlusTextForSending(dir.path() / "random40.err", 10, {dir.path() / "orig"}, &error));
    EXPECT_EQ(error, "Die Datei hat nicht die Größe, die der Fehlerbericht nennt.");
    dir.write("empty", "");
    EXPECT_FALSE(sevenPlusTextForSending(dir.path() / "empty", 10, {}, &error));
}

}  // namespace
}  // namespace norva::test
