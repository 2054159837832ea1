// Visits to the mailbox DB0FBB typed into Norva's headless console: connect,
// list and read mail, the file area FBBDOS with a #BIN# download (AutoBin)
// and an upload (:sendbin) byte for byte, log off; and FBB's sysop
// challenge SYS answered by PWD from the station's password file.
#include <regex>

#include "FbbSession.h"
#include "station/PasswordFile.h"
#include "support/TempDir.h"

namespace norva::test {
namespace {

TEST_F(FbbVisit, TypedListsReadsFetchesDeliversAndLogsOff) {
    ASSERT_TRUE(connectMailbox());
    EXPECT_TRUE(waitForOutput("#2 [1/1] 4: (1) CONNECTED to DB0FBB\n"));

    ASSERT_TRUE(sendAndWait("L", kBbsPrompt));
    EXPECT_TRUE(waitForOutputMatching(R"(#2 \[1/1\] 9: 101 +PN\S* +\d+ DL2BBB +DL9SYS .*First test message\n)"));
    EXPECT_TRUE(waitForOutputMatching(R"(#2 \[1/1\] 9: 102 +B\S* +\d+ ALL +@WW +DL9SYS .*Rig bulletin\n)"));

    ASSERT_TRUE(sendAndWait("R 101", kBbsPrompt));
    EXPECT_TRUE(waitForOutput("#2 [1/1] 9: Its second line holds the marker RIG-PRIVATE-2201.\n"));
    EXPECT_TRUE(waitForOutput("--- End of message#: 101 from DL9SYS to DL2BBB ---\n"));

    ASSERT_TRUE(sendAndWait("D", kDosPrompt));

    // FBB answers with a header that carries the length only; AutoBin takes
    // the name from the line before it.
    std::uint64_t from = mark();
    type("BGET " + downloadName);
    ASSERT_TRUE(waitForText("#BIN#" + std::to_string(download.size()) + "\r", from));
    expectFetched(from);

    ASSERT_TRUE(sendAndWait("BPUT " + uploadName,
                            "Ready to receive " + uploadName + " with AUTOBIN protocol."));
    from = mark();
    type(":sendbin " + uploadName);
    expectDelivered(from);

    from = mark();
    type("B");
    ASSERT_TRUE(waitForText("Bye, ", from));
    ASSERT_TRUE(waitForDisconnect());
    EXPECT_TRUE(waitForOutput("#2 [1/1] 4: (1) DISCONNECTED fm DB0FBB\n"));
    expectWholeVisitInOrder();
}

// The name in FBB's "Ready to send" line comes from the air: a second
// download of the same name gets a free name and leaves the first whole, and
// a file named like Norva's own (a TNC init file, which Norva would run at
// the next start) arrives with ".rcv" appended, since BinReadFileDir lies in
// the program directory.
TEST_F(FbbVisit, DownloadsNeverOverwriteAndNeverPlantNorvasOwnFiles) {
    const std::string init = "C DB0EVL\r\nY 9\r\n";
    writeFile(fbb().fileArea / "tnc1.ini", init);
    ASSERT_TRUE(connectMailbox());
    ASSERT_TRUE(sendAndWait("D", kDosPrompt));
    for (int round = 1; round <= 2; ++round) {
        const std::uint64_t from = mark();
        type("BGET " + downloadName);
        const std::string report = "BIN-TX OK #" + std::to_string(binCrc(download));
        ASSERT_TRUE(waitForText(report, from, milliseconds(30000))) << "download " << round;
        ASSERT_TRUE(waitForText(kDosPrompt, from + receivedSince(from).find(report)));
    }
    std::uint64_t from = mark();
    type("BGET tnc1.ini");
    ASSERT_TRUE(waitForText("BIN-TX OK #" + std::to_string(binCrc(init)), from));
    ASSERT_TRUE(waitForText(kDosPrompt, from + receivedSince(from).find("BIN-TX OK #")));

    const std::vector<std::string> names = filesIn(receiveDir());
    ASSERT_EQ(names.size(), 3u) << ::testing::PrintToString(names);
    EXPECT_EQ(readFile(receiveDir() / downloadName), download) << "the first download is left whole";
    int copies = 0;
    for (const std::string& name : names) {
        if (name.ends_with(".rcv")) {
            EXPECT_TRUE(name.starts_with("tnc1.ini")) << name;
            EXPECT_EQ(readFile(receiveDir() / name), init);
        } else {
            copies += readFile(receiveDir() / name) == download;
        }
    }
    EXPECT_EQ(copies, 2) << ::testing::PrintToString(names);
    EXPECT_FALSE(fs::exists(receiveDir() / "tnc1.ini"));
    EXPECT_FALSE(fs::exists(norvaDir() / "tnc1.ini"));

    from = mark();
    type("B");
    EXPECT_TRUE(waitForText("Bye, ", from));
}

// FBB's challenge names five positions of the password (1-based) and the
// time; the answer is those letters. Norva puts it into the input pane
// (shown on the console), the operator sends it, FBB says "Ok".
using FbbSysop = FbbFixture;

TEST_F(FbbSysop, SysChallengeIsAnsweredByPwdFromThePasswordFile) {
    const fs::path pwd = norvaDir() / "DB0FBB.pwd";
    ASSERT_TRUE(writeNodePassword(pwd, kSysPassword, "SYS"));
    ASSERT_TRUE(writePasswordKey(pwd, "StationMode", "FBB"));
    ASSERT_TRUE(connectMailbox());

    std::uint64_t from = mark();
    type(":pwd");
    ASSERT_TRUE(waitForText("]", from));
    std::smatch challenge;
    const std::string asked = receivedSince(from);
    ASSERT_TRUE(std::regex_search(asked, challenge, std::regex(R"(DB0FBB-0> +((\d+ +){5})\[\d+\])"))) << asked;
    EXPECT_NE(norvaSent().find("SYS\r"), std::string::npos) << "the sysop command of the password file";

    const std::string inputPattern = R"(input #2 \[1/1\]: ([^\n]*)\n)";
    const std::regex inputLine(inputPattern);
    ASSERT_TRUE(waitForErrorMatching(inputPattern));
    std::smatch proposed;
    const std::string errors = norvaErrors();
    ASSERT_TRUE(std::regex_search(errors, proposed, inputLine));
    from = mark();
    type(proposed[1].str());
    EXPECT_TRUE(waitForText("Ok\r", from)) << "FBB asked for " << challenge[1] << "; Norva proposed \""
                                           << proposed[1] << "\"";
    EXPECT_TRUE(waitForText(kBbsPrompt, from));

    // The secret went nowhere but its file.
    for (const std::string& text : {norvaOutput(), norvaErrors(), readFile(norvaDir() / "system.log"),
                                    readFile(norvaDir() / "norva.log"), norvaSent()})
        EXPECT_EQ(text.find(kSysPassword), std::string::npos);

    from = mark();
    type("B");
    EXPECT_TRUE(waitForText("Bye, ", from));
    EXPECT_TRUE(waitForDisconnect());
}

}  // namespace
}  // namespace norva::test
