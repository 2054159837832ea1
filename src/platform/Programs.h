// Programs the operator starts from the desktop (the run menu, the editor):
// a command line split into an argv without a shell, and children started
// with posix_spawn in a session of their own, so they outlive nothing of
// ours and a shell never sees the line unless the line itself names one
// ("sh -c '...'").
#pragma once

#include <sys/types.h>

#include <filesystem>
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

    // Starts argv[0] (searched in PATH unless it holds a "/") in cwd (empty:
    // ours) with stdin from /dev/null. False with *error set when the program
    // cannot be started (not found, not executable, empty argv).
    bool start(const std::vector<std::string>& argv, const std::filesystem::path& cwd, std::string* error);
    // Collects the children that have ended, so none stays a zombie.
    void reap();
    std::size_t running() const { return children_.size(); }

private:
    std::vector<pid_t> children_;
};

}  // namespace norva
