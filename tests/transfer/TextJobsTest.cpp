// The text send job (blocks, stamp line, end marker, the station's empty
// line), the memory text job and the capture job on a scripted TNC link.
#include <gtest/gtest.h>

#include "TransferRig.h"
#include "transfer/TextJobs.h"
#include "transfer/Transfers.h"

namespace norva::test {
namespace {

class TextSend : public TransferTest {
protected:
    void queueText(const std::string& name, const std::string& content, bool stamp, bool prompt = false) {
        rig.dir.write(name, content);
        ASSERT_TRUE(enqueueTransfer(*ch, makeTextFileSendJob(*ch, rig.dir.path() / name, stamp, prompt)));
    }
    std::string stamp() const { return "05.03.2024  9:07 NORVA426 S: " + ch->linkState().myCall() + "\r\n"; }
};

TEST_F(TextSend, ExactBlockThenEmptyReadThenStampAndEndMarker) {
    const std::string text(1024, 'x');
    queueText("news.txt", text, true);
    ticks(2);
    EXPECT_EQ(air(), text);
    EXPECT_NE(ch->job(JobSlot::Send), nullptr) << "a full block keeps the job running";
    clearAir();
    ch->tick();
    EXPECT_EQ(ch->job(JobSlot::Send), nullptr);
    EXPECT_EQ(air(), stamp() + "***end");
    EXPECT_EQ(shown(kClassInputEcho), stamp() + "***end") << "stamp and marker are echoed";
    EXPECT_EQ(filesLog(), "  05.03.2024 09:07  news.txt         ->  DB1BBB      1024 Byte      0 Byte / min\r\n")
        << "the name is padded to 12, then to 15";
}

TEST_F(TextSend, StampWithoutMarkerMarkerFromTheProfileAndNoneForHelpTexts) {
    ch->settings().addFileEnd = false;
    queueText("a.txt", "hello\r", true);
    ticks(2);
    EXPECT_EQ(air(), "hello\r" + stamp());

    clearAir();
    ch->settings().addFileEnd = true;
    rig.profile.writeString("DieBox", "MessageEnd", "nnnn");
    queueText("b.txt", "b\r", true);
    ticks(2);
    EXPECT_EQ(air(), "b\r" + stamp() + "nnnn");

    clearAir();
    queueText("help.hlp", "help\r", false, true);
    ticks(2);
    EXPECT_EQ(air(), "help\r\r\rDB1BBB de " + ch->linkState().myCall() + " (09:07)>") << "no stamp, the prompt";
}

TEST_F(TextSend, AnEmptyLineFromTheStationCancelsABlankDoesNot) {
    queueText("long.txt", std::string(5000, 'y'), true);
    ticks(2);
    receive(" \r");
    ch->tick();
    EXPECT_NE(ch->job(JobSlot::Send), nullptr);
    receive("\r\n");
    EXPECT_EQ(shown(kClassTncEcho), "\rText File Transfer canceled by Remote.\r");
    clearAir();
    ch->tick();
    EXPECT_EQ(ch->job(JobSlot::Send), nullptr);
    EXPECT_EQ(air(), "") << "no stamp after a cancel";
    EXPECT_EQ(filesLog(), "");
}

TEST_F(TextSend, WaitsWhileTheLinkCannotTakeMore) {
    rig.lAnswers[2] = "0 0 9 0 0 4";  // nine unsent frames
    for (int i = 0; i < 6; ++i) ch->poll(PollMode::StatusOnly);
    ASSERT_FALSE(ch->linkState().maySend());
    queueText("w.txt", "text", true);
    ticks(3);
    EXPECT_EQ(ch->transferQueue().size(), 1u);
    EXPECT_EQ(air().find("text"), std::string::npos);
}

TEST_F(TextSend, MemoryTextGoesIn240BytePiecesThenThePrompt) {
    std::string text;
    for (int i = 0; i < 600; ++i) text += static_cast<char>('a' + i % 26);
    ch->setJob(JobSlot::Send, makeMemoryTextJob(*ch, text));
    ticks(3);
    EXPECT_EQ(air(), text);
    EXPECT_EQ(shown(kClassInputEcho), text);
    ch->tick();
    EXPECT_EQ(ch->job(JobSlot::Send), nullptr);
    EXPECT_EQ(air(), text + "\r\rDB1BBB de " + ch->linkState().myCall() + " (09:07)>");

    clearAir();
    ch->setJob(JobSlot::Send, makeClipboardJob(*ch, "clip"));
    EXPECT_EQ(ch->job(JobSlot::Send)->captionName(), "Clip");
    ticks(2);
    EXPECT_EQ(air(), "clip") << "no prompt after the operator's clipboard";
}

class Capture : public TransferTest {};

TEST_F(Capture, LineEndsChunksAndTheRestOnDestroy) {
    rig.dir.write("log.txt", "old\r\n");
    ch->setJob(JobSlot::Capture, makeCaptureJob(*ch, rig.dir.path() / "log.txt", false, false));
    receive("one\rtwo\r\nthree\r");
    EXPECT_EQ(file("log.txt"), "old\r\n") << "kept in the buffer until 4096 bytes";
    for (int i = 0; i < 16; ++i) receive(std::string(256, 'z'));
    EXPECT_EQ(file("log.txt").size(), 5u + 4096u);
    ch->destroyJob(JobSlot::Capture);
    EXPECT_EQ(file("log.txt"), "old\r\none\r\ntwo\r\nthree\r\n" + std::string(4096, 'z'));

    ch->setJob(JobSlot::Capture, makeCaptureJob(*ch, rig.dir.path() / "log.txt", false, true));
    ch->destroyJob(JobSlot::Capture);
    EXPECT_EQ(file("log.txt"), "") << "create starts the file empty";
}

// What is buffered reaches the file within about a second of ticks, so a
// station that goes down keeps what it received.
TEST_F(Capture, BufferedTextIsWrittenOnTheNextTickAfterASecond) {
    ch->setJob(JobSlot::Capture, makeCaptureJob(*ch, rig.dir.path() / "live.txt", false, true));
    ch->tick();
    receive("first\r");
    ch->tick();
    EXPECT_EQ(file("live.txt"), "") << "not within the same second";
    rig.clock.advanceMs(1000);
    ch->tick();
    EXPECT_EQ(file("live.txt"), "first\r\n");
    ch->destroyJob(JobSlot::Capture);
    EXPECT_EQ(file("live.txt"), "first\r\n");
}

TEST_F(Capture, ARelativeLogFileLivesInTheProgramDirectory) {
    ch->setJob(JobSlot::Capture, makeLogCaptureJob(*ch, "chan2.log"));
    receive("logged\r");
    ch->destroyJob(JobSlot::Capture);
    EXPECT_EQ(file("chan2.log"), "logged\r\n");
}

TEST_F(Capture, TypedTextIsCapturedWhenInputToFileIsOn) {
    ch->setJob(JobSlot::Capture, makeCaptureJob(*ch, rig.dir.path() / "typed.txt", false, true));
    ch->textOut("typed\r", kKindInfo, false);
    ch->destroyJob(JobSlot::Capture);
    EXPECT_EQ(file("typed.txt"), "typed\r\n");
}

TEST_F(Capture, UnwritableFileAndDiskFloorStopTheCaptureWithANotice) {
    ch->setJob(JobSlot::Capture, makeCaptureJob(*ch, rig.dir.path() / "no" / "dir.txt", true, true));
    ch->tick();
    EXPECT_EQ(ch->job(JobSlot::Capture), nullptr) << "a file that cannot be made ends the capture at once";

    DiskLimits limits;
    limits.floorBytes = 1000;
    const auto msg = rig.dir.path() / "msg.txt";
    limits.freeSpace = [msg](const std::filesystem::path&) {
        std::error_code ec;
        const auto used = std::filesystem::file_size(msg, ec);
        return std::optional<std::uint64_t>(1000 + 5000 - (ec ? 0 : used));
    };
    ch->setJob(JobSlot::RemoteInput, makeCaptureJob(*ch, rig.dir.path() / "msg.txt", true, true, limits));
    clearAir();
    for (int i = 0; i < 16; ++i) receive(std::string(256, 'a'));
    EXPECT_EQ(file("msg.txt").size(), 4096u);
    for (int i = 0; i < 16; ++i) receive(std::string(256, 'b'));
    EXPECT_EQ(file("msg.txt").size(), 4096u) << "the floor is kept";
    EXPECT_NE(shown(kClassTncEcho).find("\r\nCannot write data.\r\nTextfile closed.\r\n"), std::string::npos);
    EXPECT_NE(air().find("\r\nCannot write data.\r\nTextfile closed.\r\n"), std::string::npos)
        << "a remote station's message capture tells the station";
    ch->tick();
    EXPECT_EQ(ch->job(JobSlot::RemoteInput), nullptr);
}

}  // namespace
}  // namespace norva::test
