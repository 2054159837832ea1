// The headless program itself: driven through standard input, still running
// after the end of its input, stopped cleanly by a signal.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "StationRig.h"

extern char** environ;

namespace norva::test {
namespace {

TEST(HeadlessProgram, RunsOnAfterItsInputEndsAndStopsOnSigterm) {
    TempDir dir;
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    int in[2];
    ASSERT_EQ(::pipe2(in, O_CLOEXEC), 0);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fileno(out), STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fileno(err), STDERR_FILENO);
    const std::string program = NORVA_PROGRAM;
    const std::string dirArg = dir.path().string();
    char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>("--headless"),
                    const_cast<char*>("--dir"), const_cast<char*>(dirArg.c_str()), nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);

    // A relative file name of a transfer line lies in the program directory
    // while its directory key is empty.
    const std::string typed = ":ch 5/1\nhello remote\n:sendbin fehlt.bin\n:help\n";
    ASSERT_EQ(::write(in[1], typed.data(), typed.size()), static_cast<ssize_t>(typed.size()));
    ::close(in[1]);  // the end of the input
    EXPECT_TRUE(eventually([&] { return contentsOf(out).find("#86 [5/1] 9: hello remote") != std::string::npos; }))
        << contentsOf(out) << contentsOf(err);
    EXPECT_TRUE(eventually([&] { return contentsOf(err).find("  :queue ") != std::string::npos; }))
        << contentsOf(err);
    EXPECT_NE(contentsOf(err).find("norva: Die Datei " + (dir.path() / "fehlt.bin").string() +
                                   " lässt sich nicht verwenden.\n"),
              std::string::npos)
        << contentsOf(err);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    int status = 0;
    EXPECT_EQ(::waitpid(pid, &status, WNOHANG), 0) << "still running";

    ::kill(pid, SIGTERM);
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_NE(dir.read("system.log").find("Norva Stop...\r\n"), std::string::npos);
    std::fclose(out);
    std::fclose(err);
}

}  // namespace
}  // namespace norva::test
