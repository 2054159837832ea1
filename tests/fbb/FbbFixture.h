// The F6FBB test rig: one simulated radio with two host-mode TNCs on ptys,
// the mailbox DB0FBB (Debian's xfbbd) on the first and a headless Norva
// (DL2BBB) on the second, each a child process of the test. Everything lives
// under one temporary directory, which goes with the fixture. Tests drive
// Norva through its console as an operator types, and watch what reaches
// Norva's TNC from the air, what Norva shows and what lands in files.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Files.h"
#include "support/Environment.h"
#include "tncsim/PtyServer.h"
#include "tncsim/Radio.h"

namespace norva::test {

namespace fs = std::filesystem;
using std::chrono::milliseconds;

// A program run by the test: standard input a pipe (or nothing), standard
// output and error into files. Ended by SIGTERM and waited for; one that
// does not end in time is killed, and a running one is killed when the
// object goes.
class ChildProcess {
public:
    ChildProcess() = default;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess();

    // Starts argv (argv[0] a path) with extra environment entries
    // ("NAME=value"); false with the reason in *error.
    bool start(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
               const fs::path& out, const fs::path& err, bool withInput, std::string* error);
    // True until the process has ended (then it is reaped).
    bool running();
    pid_t pid() const { return pid_; }
    void write(std::string_view bytes);
    void closeInput() { input_.reset(); }
    // Sends SIGTERM while the process runs.
    void terminate();
    // Waits until the process ended; its exit code, or nothing when it was
    // killed by a signal or did not end within limit (it is killed then).
    std::optional<int> wait(milliseconds limit);

private:
    bool reap(bool block);

    pid_t pid_ = 0;
    UniqueFd input_;
    int status_ = 0;
    bool ended_ = false;
};

// The parts of the mailbox a test looks at.
struct FbbPaths {
    fs::path root;      // FBB's data directory
    fs::path fileArea;  // FBBDOS C:\ (BGET / BPUT / YGET / YPUT)
    fs::path yapp;      // the YAPP area of "YD" / "YU" in BBS mode
};

class FbbFixture : public ::testing::Test {
protected:
    // The rig's calls, the mailbox's prompts and the generic SYS password of
    // tests/fbb/peer/passwd.sys.
    static constexpr std::string_view kBbsPrompt = "DB0FBB BBS (H for help) >";
    static constexpr std::string_view kDosPrompt = "C:\\>";
    static constexpr std::string_view kSysPassword = "riggenericpassword";
    static constexpr int kChannel = 1;  // Norva's channel (TNC 1) that visits the mailbox

    void SetUp() override;
    void TearDown() override;

    // Norva, as its operator: one console line (CR added by Norva).
    void type(std::string_view line);
    // Where the stream of what Norva's TNC received on the channel stands now.
    std::uint64_t mark() const;
    // What Norva's TNC received on the channel since the mark.
    std::string receivedSince(std::uint64_t from) const;
    // Waits until what arrived since the mark holds text, and Norva has
    // fetched it from its TNC.
    ::testing::AssertionResult waitForText(std::string_view text, std::uint64_t from,
                                           milliseconds limit = milliseconds(10000)) const;
    // Types a line and waits until the mailbox's answer holds text.
    ::testing::AssertionResult sendAndWait(std::string_view line, std::string_view text,
                                           milliseconds limit = milliseconds(10000));
    // Connects DB0FBB on the channel and waits for its prompt.
    ::testing::AssertionResult connectMailbox();
    // Waits until Norva's channel is disconnected (its TNC says so).
    ::testing::AssertionResult waitForDisconnect(milliseconds limit = milliseconds(10000)) const;

    // Norva's standard output (the channel lines) and error (notices).
    std::string norvaOutput() const;
    std::string norvaErrors() const;
    // Waits until Norva's standard output / error holds text.
    ::testing::AssertionResult waitForOutput(std::string_view text, milliseconds limit = milliseconds(10000)) const;
    ::testing::AssertionResult waitForError(std::string_view text, milliseconds limit = milliseconds(10000)) const;
    // The same for a regular expression (ECMAScript) over the whole stream.
    ::testing::AssertionResult waitForOutputMatching(const std::string& pattern,
                                                     milliseconds limit = milliseconds(10000)) const;
    ::testing::AssertionResult waitForErrorMatching(const std::string& pattern,
                                                    milliseconds limit = milliseconds(10000)) const;
    // Everything Norva sent on the channel, in order.
    std::string norvaSent() const;

    // Norva's program directory and its transfer directories.
    fs::path norvaDir() const { return root_ / "norva"; }
    fs::path receiveDir() const { return norvaDir() / "in"; }   // BinReadFileDir
    fs::path sendDir() const { return norvaDir() / "out"; }     // BinSendFileDir
    fs::path scriptDir() const { return norvaDir() / "scripts"; }
    const FbbPaths& fbb() const { return fbb_; }
    // Waits until the file exists with at least that many bytes.
    static bool waitForFile(const fs::path& file, std::size_t size, milliseconds limit);
    // The regular files of a directory (not below it), by name.
    static std::vector<std::string> filesIn(const fs::path& dir);

private:
    ::testing::AssertionResult startFbb();
    ::testing::AssertionResult startNorva();
    void writeNorvaIni() const;
    bool norvaCaughtUp() const;
    std::string report() const;

    fs::path root_;
    FbbPaths fbb_;
    std::unique_ptr<ScopedEnv> path_;
    std::unique_ptr<tncsim::Radio> radio_;
    std::unique_ptr<tncsim::PtyServer> fbbTnc_;
    std::unique_ptr<tncsim::PtyServer> norvaTnc_;
    ChildProcess xfbbd_;
    ChildProcess norva_;
    bool started_ = false;
};

// Test data: every byte value in each 256-byte block but one, which holds the
// texts the #BIN# and YAPP parsers look for (CR, "#OK#", "#BIN#", "#ABORT#",
// ^Z), so a file only arrives whole when nothing reads its data as control.
std::string everyByteFile(std::size_t length, unsigned seed);
// The CRC both sides report for #BIN# data (polynomial 0x1021, start 0),
// computed bit by bit, independent of Norva's table.
unsigned binCrc(std::string_view data);

}  // namespace norva::test
