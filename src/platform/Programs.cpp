// Starting programs without a shell: detached ones, and ones whose output we read.
#include "platform/Programs.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

extern char** environ;

namespace norva {

std::vector<std::string> splitCommandLine(std::string_view line) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    bool quoted = false;
    for (char c : line) {
        if (c == '"') {
            quoted = !quoted;
            inWord = true;
            continue;
        }
        if (!quoted && (c == ' ' || c == '\t' || c == '\r' || c == '\n')) {
            if (inWord) words.push_back(std::move(word));
            word.clear();
            inWord = false;
            continue;
        }
        word += c;
        inWord = true;
    }
    if (inWord) words.push_back(std::move(word));
    return words;
}

namespace {

// posix_spawn's attribute and file-action objects, destroyed on every path.
struct SpawnSetup {
    posix_spawnattr_t attr;
    posix_spawn_file_actions_t actions;
    SpawnSetup() {
        posix_spawnattr_init(&attr);
        posix_spawn_file_actions_init(&actions);
    }
    ~SpawnSetup() {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attr);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;
};

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> out;
    for (std::string& s : strings) out.push_back(s.data());
    out.push_back(nullptr);
    return out;
}

}  // namespace

DetachedPrograms::~DetachedPrograms() { reap(); }

bool DetachedPrograms::start(const std::vector<std::string>& argv, const std::filesystem::path& cwd,
                             std::string* error, Output output) {
    reap();
    if (argv.empty() || argv[0].empty()) {
        if (error) *error = "no program named";
        return false;
    }
    SpawnSetup setup;
    // A session of its own: the child does not get our terminal's signals.
    posix_spawnattr_setflags(&setup.attr, POSIX_SPAWN_SETSID);
    posix_spawn_file_actions_addopen(&setup.actions, 0, "/dev/null", O_RDONLY, 0);
    if (output == Output::Discard) {
        posix_spawn_file_actions_addopen(&setup.actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_adddup2(&setup.actions, 1, 2);
    }
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    // The TNC ports and every other descriptor of ours stay with us.
    posix_spawn_file_actions_addclosefrom_np(&setup.actions, 3);
#endif
    if (!cwd.empty()) posix_spawn_file_actions_addchdir_np(&setup.actions, cwd.c_str());

    std::vector<std::string> copy = argv;
    std::vector<char*> args = pointers(copy);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, args[0], &setup.actions, &setup.attr, args.data(), environ);
    if (rc != 0) {
        if (error) *error = argv[0] + ": " + std::strerror(rc);
        return false;
    }
    children_.push_back(pid);
    return true;
}

void DetachedPrograms::reap() {
    std::erase_if(children_, [](pid_t pid) {
        int status = 0;
        const pid_t r = waitpid(pid, &status, WNOHANG);
        return r == pid || r < 0;
    });
}

std::unique_ptr<ChildProcess> ChildProcess::start(const Launch& launch, std::string* error) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        if (error) *error = std::strerror(errno);
        return nullptr;
    }
    SpawnSetup setup;
    posix_spawn_file_actions_addopen(&setup.actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&setup.actions, fds[1], 1);
    posix_spawn_file_actions_adddup2(&setup.actions, fds[1], 2);
    posix_spawn_file_actions_addchdir_np(&setup.actions, launch.cwd.c_str());
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    // The TNC ports and every other descriptor of the engine stay with the engine.
    posix_spawn_file_actions_addclosefrom_np(&setup.actions, 3);
#endif
    // Its own process group, so a time-out ends whatever it started too.
    sigset_t none;
    sigset_t defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    for (int sig : {SIGPIPE, SIGINT, SIGQUIT, SIGTERM, SIGHUP, SIGCHLD}) sigaddset(&defaults, sig);
    posix_spawnattr_setpgroup(&setup.attr, 0);
    posix_spawnattr_setsigmask(&setup.attr, &none);
    posix_spawnattr_setsigdefault(&setup.attr, &defaults);
    posix_spawnattr_setflags(&setup.attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    std::vector<std::string> argv = launch.argv;
    std::vector<std::string> env = launch.env;
    std::vector<char*> argvp = pointers(argv);
    std::vector<char*> envp = pointers(env);
    char** envArg = launch.env.empty() ? environ : envp.data();
    pid_t pid = -1;
    const int rc = launch.searchPath
                       ? ::posix_spawnp(&pid, launch.program.c_str(), &setup.actions, &setup.attr, argvp.data(), envArg)
                       : ::posix_spawn(&pid, launch.program.c_str(), &setup.actions, &setup.attr, argvp.data(), envArg);
    ::close(fds[1]);
    if (rc != 0) {
        ::close(fds[0]);
        if (error) *error = std::strerror(rc);
        return nullptr;
    }
    ::fcntl(fds[0], F_SETFL, ::fcntl(fds[0], F_GETFL) | O_NONBLOCK);
    return std::make_unique<ChildProcess>(Started{pid, fds[0]});
}

ChildProcess::~ChildProcess() {
    if (!reaped_) {
        kill();
        int status = 0;
        // After SIGKILL the wait ends as soon as the kernel has torn the process down.
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
    }
    if (fd_ >= 0) ::close(fd_);
}

void ChildProcess::readAvailable(std::string& out, std::size_t limit) {
    if (fd_ < 0) return;
    char buf[4096];
    // Bounded per tick: a program that writes without pause must not keep
    // the engine reading for ever.
    for (int reads = 0; reads < 64; ++reads) {
        const ssize_t n = ::read(fd_, buf, sizeof buf);
        if (n > 0) {
            const std::size_t room = out.size() < limit ? limit - out.size() : 0;
            out.append(buf, std::min(room, static_cast<std::size_t>(n)));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n == 0) {
            ::close(fd_);
            fd_ = -1;
        }
        return;
    }
}

bool ChildProcess::ended() {
    if (reaped_) return true;
    int status = 0;
    const pid_t r = ::waitpid(pid_, &status, WNOHANG);
    if (r == pid_ || (r < 0 && errno == ECHILD)) reaped_ = true;
    return reaped_;
}

void ChildProcess::kill() {
    if (reaped_) return;
    ::kill(-pid_, SIGKILL);
    ::kill(pid_, SIGKILL);
}

}  // namespace norva
