// Milliseconds of the monotonic clock, the time base the servers hand to the
// otherwise clock-free simulator.
#pragma once

// std
#include <chrono>
#include <cstdint>

namespace tncsim {

inline std::uint64_t steadyNowMs() {
    using namespace std::chrono;
    return static_cast<std::uint64_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

}  // namespace tncsim
