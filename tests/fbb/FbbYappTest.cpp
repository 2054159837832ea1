// YAPP against F6FBB's file area: YGET (FBB sends, Norva receives with
// :recvyapp) and YPUT (Norva sends with :sendyapp) of files with every byte
// value, identical on both sides, with FBB's prompt after each.
#include "FbbSession.h"
#include "support/TempDir.h"

namespace norva::test {
namespace {

TEST_F(FbbVisit, YappFetchesAndDeliversByteForByte) {
    const std::string got = everyByteFile(7001, 3);
    const std::string put = everyByteFile(4099, 5);
    writeFile(fbb().fileArea / "yget.bin", got);
    writeFile(sendDir() / "yput.bin", put);
    ASSERT_TRUE(connectMailbox());
    ASSERT_TRUE(sendAndWait("D", kDosPrompt));

    // The reception waits for FBB's start; text before it is FBB's own.
    type(":recvyapp " + receiveDir().string());
    std::uint64_t from = mark();
    type("YGET yget.bin");
    ASSERT_TRUE(waitForFile(receiveDir() / "yget.bin", got.size(), milliseconds(30000)))
        << filesIn(receiveDir()).size() << " files in " << receiveDir();
    EXPECT_EQ(readFile(receiveDir() / "yget.bin"), got);
    EXPECT_TRUE(waitForText(kDosPrompt, from + receivedSince(from).rfind('\x04') + 1, milliseconds(10000)))
        << "FBB prompts after the end of the transfer";

    // FBB asks for a line describing the upload before it takes the file.
    ASSERT_TRUE(sendAndWait("YPUT yput.bin", "Describe the file"));
    from = mark();
    type("every byte value");
    type(":sendyapp yput.bin");
    ASSERT_TRUE(waitForFile(fbb().fileArea / "yput.bin", put.size(), milliseconds(30000)));
    EXPECT_TRUE(waitForText(kDosPrompt, from + 1, milliseconds(10000)));
    EXPECT_EQ(readFile(fbb().fileArea / "yput.bin"), put);

    from = mark();
    type("B");
    ASSERT_TRUE(waitForText("Bye, ", from));
    ASSERT_TRUE(waitForDisconnect());
}

}  // namespace
}  // namespace norva::test
