// One direction of a serial line at a fixed baud rate: bytes handed to it
// come out only as fast as the line could carry them (8N1: ten bits a byte,
// so 9600 baud moves 960 bytes a second). Pure: the caller supplies the time.
#pragma once

// std
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tncsim {

class SerialLine {
public:
    static constexpr std::uint64_t kBitsPerByte = 10;

    // 0: no limit, bytes pass at once.
    explicit SerialLine(int baud = 0) : baud_(baud > 0 ? static_cast<std::uint64_t>(baud) : 0) {}

    bool throttled() const { return baud_ > 0; }
    // Bytes put on the line at nowMs, behind those still on it.
    void push(std::string_view bytes, std::uint64_t nowMs);
    // The bytes that have crossed the line by nowMs, in order.
    std::string take(std::uint64_t nowMs);
    // When the next byte will have crossed; nothing while the line is empty.
    std::optional<std::uint64_t> nextDueMs() const;
    std::size_t queued() const { return queue_.size(); }

private:
    // Bytes of the current busy stretch complete by nowMs.
    std::uint64_t completed(std::uint64_t nowMs) const;

    std::uint64_t baud_;
    std::string queue_;
    std::uint64_t start_ = 0;  // when the current busy stretch began
    std::uint64_t taken_ = 0;  // bytes of the stretch already taken
};

}  // namespace tncsim
