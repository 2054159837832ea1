// The checks of one visit to DB0FBB.
#include "FbbSession.h"

#include <initializer_list>

#include "support/TempDir.h"

namespace norva::test {

namespace {

// Each part after the one before it; the first part that is missing.
::testing::AssertionResult inOrder(const std::string& text, std::initializer_list<std::string> parts) {
    std::size_t at = 0;
    for (const std::string& part : parts) {
        const std::size_t found = text.find(part, at);
        if (found == std::string::npos)
            return ::testing::AssertionFailure() << "\"" << part << "\" missing after byte " << at;
        at = found + part.size();
    }
    return ::testing::AssertionSuccess();
}

std::string binReport(std::string_view prefix, std::string_view data) {
    return std::string(prefix) + std::to_string(binCrc(data));
}

}  // namespace

void FbbVisit::SetUp() {
    FbbFixture::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    writeFile(fbb().fileArea / downloadName, download);
    writeFile(sendDir() / uploadName, upload);
}

void FbbVisit::expectFetched(std::uint64_t from) {
    const fs::path file = receiveDir() / downloadName;
    const bool whole = waitForFile(file, download.size(), milliseconds(30000));
    ASSERT_TRUE(whole) << filesIn(receiveDir()).size() << " files in " << receiveDir();
    // FBB reports once the receiver has said its own; a finished reception
    // must not hold that back.
    const std::string report = binReport("BIN-TX OK #", download);
    ASSERT_TRUE(waitForText(report, from, milliseconds(5000)));
    const std::size_t after = receivedSince(from).find(report);
    EXPECT_TRUE(waitForText(kDosPrompt, from + after, milliseconds(5000)));
    EXPECT_EQ(readFile(file), download);
    EXPECT_EQ(filesIn(receiveDir()), std::vector<std::string>{downloadName});
    EXPECT_NE(norvaSent().find(binReport("#BIN-RX OK#", download)), std::string::npos);
}

void FbbVisit::expectDelivered(std::uint64_t from) {
    ASSERT_TRUE(waitForText("#OK#", from));
    const std::string report = binReport("BIN-RX OK #", upload);
    ASSERT_TRUE(waitForText(report, from, milliseconds(30000)));
    const std::size_t after = receivedSince(from).find(report);
    EXPECT_TRUE(waitForText(kDosPrompt, from + after, milliseconds(5000)));
    EXPECT_EQ(readFile(fbb().fileArea / uploadName), upload);
}

void FbbVisit::expectWholeVisitInOrder() {
    const std::string dos(kDosPrompt);
    const std::string bbs(kBbsPrompt);
    EXPECT_TRUE(inOrder(receivedSince(0),
                        {"[FBB-7.0.11-", bbs, "First test message", bbs, "RIG-PRIVATE-2201",
                         "--- End of message#: 101 from DL9SYS to DL2BBB ---", bbs, dos,
                         "Ready to send " + downloadName + " with AUTOBIN protocol.\r",
                         "#BIN#" + std::to_string(download.size()) + "\r", download,
                         binReport("BIN-TX OK #", download), dos,
                         "Ready to receive " + uploadName + " with AUTOBIN protocol.", "#OK#",
                         binReport("BIN-RX OK #", upload), dos, "Bye, "}));
    EXPECT_TRUE(inOrder(norvaSent(), {"L\r", "R 101\r", "D\r", "BGET " + downloadName + "\r", "#OK#\r",
                                      binReport("#BIN-RX OK#", download), "BPUT " + uploadName + "\r",
                                      "#BIN#" + std::to_string(upload.size()), upload, "B\r"}));
    // What the operator reads of FBB's reports: in the channel's lines (a
    // script's echo line has no CR of its own, so a report may follow it).
    EXPECT_TRUE(waitForOutputMatching(R"(#2 \[1/1\] 9: [^\n]*)" + binReport("BIN-TX OK #", download) + " *\n"));
    EXPECT_TRUE(waitForOutputMatching(R"(#2 \[1/1\] 9: [^\n]*)" + binReport("BIN-RX OK #", upload) + " *\n"));
}

}  // namespace norva::test
