// SerialLine: byte pacing from the time a busy stretch began, so rounding
// never accumulates over a long transfer.
#include "tncsim/SerialLine.h"

// std
#include <algorithm>
#include <utility>

namespace tncsim {

void SerialLine::push(std::string_view bytes, std::uint64_t nowMs) {
    if (bytes.empty()) return;
    // An empty queue means every byte so far has crossed: the line is idle.
    if (queue_.empty()) {
        start_ = nowMs;
        taken_ = 0;
    }
    queue_.append(bytes);
}

std::uint64_t SerialLine::completed(std::uint64_t nowMs) const {
    if (nowMs <= start_) return 0;
    return (nowMs - start_) * baud_ / (kBitsPerByte * 1000);
}

std::string SerialLine::take(std::uint64_t nowMs) {
    if (!throttled()) return std::exchange(queue_, {});
    const std::uint64_t done = completed(nowMs);
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(queue_.size(), done - std::min(done, taken_)));
    taken_ += n;
    std::string out = queue_.substr(0, n);
    queue_.erase(0, n);
    return out;
}

std::optional<std::uint64_t> SerialLine::nextDueMs() const {
    if (queue_.empty()) return std::nullopt;
    if (!throttled()) return start_;
    // The first whole millisecond by which byte taken_ + 1 has crossed.
    const std::uint64_t bits = (taken_ + 1) * kBitsPerByte * 1000;
    return start_ + (bits + baud_ - 1) / baud_;
}

}  // namespace tncsim
