// Programs the operator starts from the desktop (the run menu, the editor):
// a command line split into an argv without a shell, and children started
// with posix_spawn in a session of their own, so they outlive nothing of
// ours and a shell never sees the line unless the line itself names one
// ("sh -c '...'").
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace norva {

// Words separated by blanks or tabs; a double-quoted stretch belongs to its
// word with the quotes removed (so "C:/Program Files/x" stays one word, and
// an unclosed quote runs to the end). No other character is special.
std::vector<std::string> splitCommandLine(std::string_view line);

class DetachedPrograms {
public:
    DetachedPrograms() = default;
    // Programs still running keep running; ended ones are reaped.
    ~DetachedPrograms();
    DetachedPrograms(const DetachedPrograms&) = delete;
    DetachedPrograms& operator=(const DetachedPrograms&) = delete;

    // Where the program's output goes: ours (a terminal that started us), or
    // nowhere (a script's background program must not write into our log).
    enum class Output { Inherit, Discard };
    // Starts argv[0] (searched in PATH unless it holds a "/") in cwd (empty:
    // ours) with stdin from /dev/null and none of our other descriptors.
    // Never waits for it. False with *error set when the program cannot be
    // started (not found, not executable, empty argv).
    bool start(const std::vector<std::string>& argv, const std::filesystem::path& cwd, std::string* error,
               Output output = Output::Inherit);
    // Collects the children that have ended, so none stays a zombie.
    void reap();
    std::size_t running() const { return children_.size(); }

private:
    std::vector<pid_t> children_;
};

// A program whose output (stdout and stderr) the caller reads from a
// non-blocking pipe; killed with its process group and reaped when the
// owner goes, so no child outlives its purpose or stays a zombie.
class ChildProcess {
public:
    struct Launch {
        std::filesystem::path program;  // a path, or a bare name searched in PATH when searchPath
        bool searchPath = false;
        std::vector<std::string> argv;  // argv[0] first
        std::filesystem::path cwd;
        std::vector<std::string> env;   // empty: the engine's environment
    };
    // Null (and *error set) when the process could not be started.
    static std::unique_ptr<ChildProcess> start(const Launch& launch, std::string* error);
    // Kills the process group while the process still runs; reaps it in any case.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Appends what the pipe holds now, at most up to limit bytes in out
    // (the rest is read and dropped so the child never stalls). Never waits.
    void readAvailable(std::string& out, std::size_t limit);
    // True once the process has ended; it is reaped then.
    bool ended();
    // Ends the process and everything it started (its process group).
    void kill();
    pid_t pid() const { return pid_; }

    // Only start() makes one (the tag keeps the constructor to it).
    struct Started {
        pid_t pid;
        int fd;
    };
    explicit ChildProcess(Started s) : pid_(s.pid), fd_(s.fd) {}

private:
    pid_t pid_;
    int fd_;
    bool reaped_ = false;
};

}  // namespace norva
