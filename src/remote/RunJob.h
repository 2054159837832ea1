// Programs a remote station runs with //DOS: a child process started
// without a shell (its arguments are an argv, so "; rm -rf ~" is just an
// argument), its output read from a non-blocking pipe on every tick, sent
// back as one memory text when it ends, and killed when it runs too long.
// The process is always reaped.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "channel/ChannelJob.h"

namespace norva {

class CTncChannel;
class RemoteTransfers;

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

class CRunJob : public CChannelJob {
public:
    enum class State { Running, Delivered, TimedOut };
    CRunJob(CTncChannel& ch, RemoteTransfers& transfers, std::unique_ptr<ChildProcess> child, std::int64_t limitMs,
            std::size_t outputLimit);
    int tick() override;
    std::string captionName() const override { return "Run"; }
    State state() const { return state_; }

private:
    void enter(State next);
    std::int64_t now() const;

    CTncChannel& ch_;
    RemoteTransfers& transfers_;
    std::unique_ptr<ChildProcess> child_;
    std::int64_t limitMs_;
    std::size_t outputLimit_;
    std::int64_t startMs_;
    std::string output_;
    State state_ = State::Running;
};

// Program output as it goes on the air: CP437, lines ending in CR.
std::string programOutputToOem(std::string_view bytes);

}  // namespace norva
