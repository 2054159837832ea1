// The headless program itself: driven through standard input, still running
// after the end of its input, stopped cleanly by a signal.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "StationRig.h"

extern char** environ;

namespace norva::test {
namespace {

// The headless program started with extra options, its input a pipe that
// stays open until endInput() or stop().
struct HeadlessRun {
    TempDir dir;
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    int input = -1;
    pid_t pid = 0;

    explicit HeadlessRun(std::vector<std::string> options) {
        int in[2];
        EXPECT_EQ(::pipe2(in, O_CLOEXEC), 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, fileno(out), STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, fileno(err), STDERR_FILENO);
        std::vector<std::string> args = {NORVA_PROGRAM, "--headless", "--dir", dir.path().string()};
        args.insert(args.end(), options.begin(), options.end());
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        EXPECT_EQ(posix_spawn(&pid, NORVA_PROGRAM, &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        ::close(in[0]);
        input = in[1];
    }

    // Closes standard input: the station must run on without it.
    void endInput() {
        if (input >= 0) ::close(input);
        input = -1;
    }

    void type(const std::string& text) const {
        EXPECT_EQ(::write(input, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    }

    // Stops the station as a service manager does; its exit code.
    int stop() {
        endInput();
        ::kill(pid, SIGTERM);
        int status = 0;
        EXPECT_EQ(::waitpid(pid, &status, 0), pid);
        pid = 0;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    ~HeadlessRun() {
        if (pid) stop();
        std::fclose(out);
        std::fclose(err);
    }
};

TEST(HeadlessProgram, RunsOnAfterItsInputEndsAndStopsOnSigterm) {
    HeadlessRun run({});
    // A relative file name of a transfer line lies in the program directory
    // while its directory key is empty.
    run.type(":ch 5/1\nhello remote\n:sendbin fehlt.bin\n:help\n");
    run.endInput();
    EXPECT_TRUE(eventually([&] { return contentsOf(run.out).find("#86 [5/1] 9: hello remote") != std::string::npos; }))
        << contentsOf(run.out) << contentsOf(run.err);
    EXPECT_TRUE(eventually([&] { return contentsOf(run.err).find("  :queue ") != std::string::npos; }))
        << contentsOf(run.err);
    // The engine answers :sendbin, the console :help: either may come first.
    EXPECT_TRUE(eventually([&] {
        return contentsOf(run.err).find("norva: Die Datei " + (run.dir.path() / "fehlt.bin").string() +
                                        " lässt sich nicht verwenden.\n") != std::string::npos;
    })) << contentsOf(run.err);
    // The end of the input must not end the station: an exit would make the
    // process descriptor readable at once; give it the time a quick exit takes.
    const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, run.pid, 0));
    ASSERT_GE(pidfd, 0);
    pollfd exited{pidfd, POLLIN, 0};
    EXPECT_EQ(::poll(&exited, 1, 500), 0) << "still running after the end of its input";
    ::close(pidfd);

    EXPECT_EQ(run.stop(), 0) << "SIGTERM ends it cleanly";
    EXPECT_NE(run.dir.read("system.log").find("Norva Stop...\r\n"), std::string::npos);
}

bool hasBookkeeping(const std::string& text) {
    for (const char* prefix : {"title ", "bar ", "button "})
        if (text.starts_with(prefix) || text.find(std::string("\n") + prefix) != std::string::npos) return true;
    return false;
}

// Bytes a terminal or the journal would act on: anything below a blank but
// the line end, and DEL.
bool hasControlBytes(const std::string& text) {
    for (const char c : text)
        if ((static_cast<unsigned char>(c) < 0x20 && c != '\n') || c == 0x7F) return true;
    return false;
}

// Quiet by default, the desktop's bookkeeping with --verbose; either way a
// line from the air that carries control characters reaches standard
// output as one printable line.
TEST(HeadlessProgram, PrintsBookkeepingOnlyWhenVerboseAndNoControlCharacters) {
    // The REMOTE console's text comes back as if a station had sent it: ESC,
    // BEL, DEL and a tab stand for what arrives from the air.
    const std::string typed = ":ch 5/1\nfrom \x1b[2Jthe\x07 air\x7f\tend\n:queue x\n";
    const std::string shown = "#86 [5/1] 9: from \u241b[2Jthe\u2407 air\u2421 end\n";
    const std::string answer = "norva: \":queue\" takes no file name\n";

    HeadlessRun verbose({"--verbose"});
    verbose.type(typed);
    EXPECT_TRUE(eventually([&] { return contentsOf(verbose.err).find(answer) != std::string::npos; }))
        << contentsOf(verbose.err);
    EXPECT_TRUE(eventually([&] { return contentsOf(verbose.out).find(shown) != std::string::npos; }))
        << contentsOf(verbose.out);
    EXPECT_TRUE(hasBookkeeping(contentsOf(verbose.err))) << contentsOf(verbose.err);
    EXPECT_EQ(verbose.stop(), 0);

    HeadlessRun quiet({});
    quiet.type(typed);
    // The answer goes through the engine after what the start-up showed.
    EXPECT_TRUE(eventually([&] { return contentsOf(quiet.err).find(answer) != std::string::npos; }))
        << contentsOf(quiet.err);
    EXPECT_TRUE(eventually([&] { return contentsOf(quiet.out).find(shown) != std::string::npos; }))
        << contentsOf(quiet.out);
    EXPECT_EQ(quiet.stop(), 0);
    const std::string errors = contentsOf(quiet.err);
    EXPECT_FALSE(hasBookkeeping(errors)) << errors;
    EXPECT_NE(errors.find("norva: stopping (signal 15)"), std::string::npos) << errors;

    for (HeadlessRun* run : {&verbose, &quiet}) {
        EXPECT_FALSE(hasControlBytes(contentsOf(run->out))) << contentsOf(run->out);
        EXPECT_FALSE(hasControlBytes(contentsOf(run->err))) << contentsOf(run->err);
    }
}

// What the user interface prints is one line of printable UTF-8 per event,
// on both streams, whatever bytes the text carries.
TEST(HeadlessOutput, EveryEventIsOnePrintableLine) {
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    {
        HeadlessUi ui{out, err, false};
        const int slot = slotOf(1, 1);
        // CP437 from the air: NUL, ESC, BEL, DEL, umlauts, a line in pieces.
        ui.appendText(slot, 9, std::string("a\0b\x1b[0m\x07\x7f \x84\x94", 12) + "\r");
        ui.appendText(slot, 9, "split ");
        ui.appendText(slot, 2, "line\r\n\r");
        ui.messageBox("Norva", "two\r\nlines\nand\x1b a tab\there");
        ui.statusMessage("not UTF-8: \xff\xfe, C1: \xc2\x9b, kept: \xe2\x82\xac");
        ui.windowTitle(slot, "[1/1] quiet");
        ui.channelButton(slot, "db0sim");
        ui.statusField(StatusField::LinkState, "connected");
    }
    EXPECT_EQ(contentsOf(out), "#2 [1/1] 9: a\u2400b\u241b[0m\u2407\u2421 äö\n"
                               "#2 [1/1] 2: split line\n");
    EXPECT_EQ(contentsOf(err), "*** Norva: two lines and\u241b a tab here\n"
                               "status: not UTF-8: ??, C1: \ufffd, kept: \u20ac\n");

    std::rewind(err);
    ASSERT_EQ(::ftruncate(fileno(err), 0), 0);
    {
        HeadlessUi verbose{out, err};  // the rigs' default
        verbose.windowTitle(slotOf(1, 1), "[1/1] DL1ABC\r\n");
        verbose.channelButton(slotOf(1, 1), "db0sim");
        verbose.statusField(StatusField::LinkState, "connected");
    }
    EXPECT_EQ(contentsOf(err), "title #2 [1/1]: [1/1] DL1ABC \n"
                               "button #2 [1/1]: db0sim\n"
                               "bar link: connected\n");
    std::fclose(out);
    std::fclose(err);
}

}  // namespace
}  // namespace norva::test
