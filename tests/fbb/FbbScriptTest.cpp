// The visit to DB0FBB by a Norva script (fbb-session.scr, the example of the
// README) that waits for each of FBB's prompts: the same files move, FBB
// sees the same lines in the same order as when they are typed.
#include "FbbSession.h"
#include "support/TempDir.h"

namespace norva::test {
namespace {

TEST_F(FbbVisit, ScriptListsReadsFetchesDeliversAndLogsOff) {
    fs::copy_file(FBB_SCRIPT, scriptDir() / "fbb-session.scr");

    const std::uint64_t from = mark();
    type(":script fbb-session");
    ASSERT_TRUE(waitForText("Ready to send " + downloadName, from, milliseconds(20000)));
    expectFetched(from);
    ASSERT_TRUE(waitForText("Ready to receive " + uploadName, from, milliseconds(20000)));
    const std::uint64_t ready = from + receivedSince(from).find("Ready to receive " + uploadName);
    expectDelivered(ready);
    ASSERT_TRUE(waitForDisconnect(milliseconds(20000)));
    EXPECT_TRUE(waitForError("sound: Script beenden\n"));
    expectWholeVisitInOrder();
    EXPECT_TRUE(waitForOutput("#2 [1/1] 4: (1) DISCONNECTED fm DB0FBB\n"));
}

}  // namespace
}  // namespace norva::test
