// A private dbus-daemon for one test, with its own config in a temporary
// directory, and a loop that serves several bus connections the way the
// engine does (ppoll on their fds, then process()).
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "dde/DdeBus.h"
#include "support/Environment.h"
#include "support/TempDir.h"

extern char** environ;

namespace norva::test {

class PrivateBus {
public:
    PrivateBus() {
        const std::string daemon = findProgram("dbus-daemon");
        if (daemon.empty()) return;
        const auto config = dir_ / "bus.conf";
        writeFile(config,
                  "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                  " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                  "<busconfig><type>session</type><listen>unix:dir=" +
                      dir_.path().string() +
                      "</listen><policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
                      "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n");
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 3);
        // Its complaints about fd limits are no test's business.
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        const std::string cfgArg = "--config-file=" + config.string();
        std::vector<std::string> args = {daemon, cfgArg, "--nofork", "--print-address=3"};
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, daemon.c_str(), &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        readAddress(fds[0]);
        ::close(fds[0]);
    }
    ~PrivateBus() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGCONT);
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    bool ok() const { return !address_.empty(); }
    // A stopped daemon reads nothing: the service's outgoing queue fills.
    void stop() { ::kill(pid_, SIGSTOP); }
    void resume() { ::kill(pid_, SIGCONT); }
    const std::string& address() const { return address_; }

private:
    void readAddress(int fd) {
        if (pid_ <= 0) return;
        std::string line;
        while (line.find('\n') == std::string::npos) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 10000) <= 0) return;
            char buf[256];
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n <= 0) return;
            line.append(buf, static_cast<std::size_t>(n));
        }
        address_ = line.substr(0, line.find('\n'));
    }

    TempDir dir_;
    pid_t pid_ = -1;
    std::string address_;
};

// True when the private bus runs. Without dbus-daemon the test skips or
// fails as requireTool decides; a daemon that is there but gives no bus is
// always a failure. The caller returns: if (!requireBus(bus)) return;
inline bool requireBus(const PrivateBus& bus) {
    if (!requireTool("dbus-daemon")) return false;
    if (bus.ok()) return true;
    [] { GTEST_FAIL() << "dbus-daemon is installed but started no private bus"; }();
    return false;
}

// A command-line program (gdbus, busctl) run while the test serves the bus;
// its standard output and error are collected.
class ShellTool {
public:
    explicit ShellTool(std::vector<std::string> args) {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDERR_FILENO);
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        fd_ = fds[0];
    }
    ~ShellTool() {
        if (pid_ > 0 && !done_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (fd_ >= 0) ::close(fd_);
    }
    ShellTool(const ShellTool&) = delete;
    ShellTool& operator=(const ShellTool&) = delete;

    // Reads what is there; true once the program ended and all is read.
    bool finished() {
        char buf[4096];
        for (ssize_t n; (n = ::read(fd_, buf, sizeof buf)) > 0;) output_.append(buf, static_cast<std::size_t>(n));
        if (!done_ && pid_ > 0 && ::waitpid(pid_, &status_, WNOHANG) == pid_) done_ = true;
        if (!done_) return false;
        for (ssize_t n; (n = ::read(fd_, buf, sizeof buf)) > 0;) output_.append(buf, static_cast<std::size_t>(n));
        return true;
    }
    const std::string& output() const { return output_; }
    int exitCode() const { return WIFEXITED(status_) ? WEXITSTATUS(status_) : -1; }

private:
    pid_t pid_ = -1;
    int fd_ = -1;
    bool done_ = false;
    int status_ = 0;
    std::string output_;
};

// Serves the given connections until pred() holds; false after ms.
template <class Pred>
bool serveUntil(const std::vector<DdeBus*>& buses, Pred pred, int ms = 5000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        for (DdeBus* b : buses) b->process();
        if (pred()) return true;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count();
        if (left <= 0) return false;
        std::vector<pollfd> fds;
        int wait = static_cast<int>(std::min<long long>(left, 50));
        for (DdeBus* b : buses) {
            fds.push_back(pollfd{b->fd(), b->events(), 0});
            const int t = b->timeoutMs();
            if (t >= 0) wait = std::min(wait, t);
        }
        ::poll(fds.data(), fds.size(), wait);
    }
}

}  // namespace norva::test
