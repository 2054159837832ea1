// UnseenMarks: which channels received text the operator has not seen yet,
// and the main window title that lists them after the application name.
#pragma once

// std
#include <array>
#include <string>
#include <string_view>

namespace norva {

class UnseenMarks {
public:
    static constexpr int kFirstSlot = 1;
    static constexpr int kLastSlot = 105;

    // Each returns true when the mark changed (so the title must be rebuilt);
    // slots outside 1..105 are ignored.
    bool mark(int slot);
    bool clear(int slot);
    bool isMarked(int slot) const;

    // appName followed by one group " %d/%d " (TNC, channel) per marked slot,
    // in slot order.
    std::string titleFor(std::string_view appName) const;

private:
    static bool valid(int slot) { return slot >= kFirstSlot && slot <= kLastSlot; }
    std::array<bool, kLastSlot + 1> marked_{};
};

}  // namespace norva
