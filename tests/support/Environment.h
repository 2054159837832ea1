// What tests take from the machine they run on: outside programs they drive
// and environment variables they pin. A missing program skips its test on a
// developer's machine; where the suite must be complete (CI=true, or
// NORVA_REQUIRE_TOOLS=1 as scripts/test.sh sets it) a program that
// scripts/deps.sh installs is required, and its absence fails the test by name.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace norva::test {

// The path of a program found on PATH, empty when there is none.
inline std::string findProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    for (std::size_t at = 0; at <= dirs.size();) {
        const std::size_t end = std::min(dirs.find(':', at), dirs.size());
        const std::filesystem::path p = std::filesystem::path(dirs.substr(at, end - at)) / name;
        if (::access(p.c_str(), X_OK) == 0) return p.string();
        at = end + 1;
    }
    return {};
}

// True when a missing tool is a failure rather than a skip.
inline bool toolsRequired() {
    const char* ci = std::getenv("CI");
    const char* require = std::getenv("NORVA_REQUIRE_TOOLS");
    return (ci && std::string_view(ci) == "true") || (require && std::string_view(require) == "1");
}

// The programs tests drive, the Debian package that brings each, and whether
// scripts/deps.sh installs it (directly or as a dependency of what it lists).
struct TestTool {
    std::string_view name;
    std::string_view package;
    bool fromDeps;
};
inline constexpr TestTool kTestTools[] = {
    {"dbus-daemon", "dbus-daemon", true},
    {"gdbus", "libglib2.0-bin", true},
    {"gensiot", "gensio-bin", true},
    {"busctl", "systemd", false},
    {"xfbbd", "fbb", true},
};

inline const TestTool* knownTool(std::string_view name) {
    for (const TestTool& t : kTestTools)
        if (t.name == name) return &t;
    return nullptr;
}

// True when the program is on PATH. Otherwise the current test is marked
// skipped, or failed when the suite must be complete and scripts/deps.sh
// would have installed the program (or the program is not in the table
// above); the caller returns:
//     if (!requireTool("gdbus")) return;
inline bool requireTool(std::string_view name) {
    if (!findProgram(std::string(name)).empty()) return true;
    const TestTool* known = knownTool(name);
    std::string text = std::string(name) + " is not installed";
    if (known)
        text += " (Debian package " + std::string(known->package) +
                (known->fromDeps ? ", installed by scripts/deps.sh)" : ", not installed by scripts/deps.sh)");
    // GTEST_SKIP and GTEST_FAIL return from the function they are in.
    if (toolsRequired() && (!known || known->fromDeps))
        [&] { GTEST_FAIL() << text << "; required under CI=true or NORVA_REQUIRE_TOOLS=1"; }();
    else
        [&] { GTEST_SKIP() << text; }();
    return false;
}

// Sets an environment variable for one scope and puts back what was there.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value) ::setenv(name, value, 1);
        else ::unsetenv(name);
    }
    ~ScopedEnv() {
        if (old_) ::setenv(name_.c_str(), old_->c_str(), 1);
        else ::unsetenv(name_.c_str());
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};

// A time zone for one scope: local times come out the same on every machine.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* zone) {
        tz_.emplace("TZ", zone);
        ::tzset();
    }
    ~ScopedTimeZone() {
        tz_.reset();
        ::tzset();
    }
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

private:
    std::optional<ScopedEnv> tz_;
};

}  // namespace norva::test
