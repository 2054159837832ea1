// Waiting on the real clock for something another thread does, and reading
// what a program wrote to a temporary file so far.
#pragma once

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

namespace norva::test {

// Everything written to a temporary file so far.
inline std::string contentsOf(std::FILE* f) {
    std::fflush(f);
    std::string out;
    char buf[4096];
    for (off_t at = 0;;) {
        const ssize_t n = ::pread(fileno(f), buf, sizeof buf, at);
        if (n <= 0) return out;
        out.append(buf, static_cast<std::size_t>(n));
        at += n;
    }
}

// Waits until pred() holds; false after the limit.
template <class Pred>
bool eventually(Pred pred, int ms = 10000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        if (pred()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return pred();
}

}  // namespace norva::test
