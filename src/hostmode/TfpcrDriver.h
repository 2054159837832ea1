// The TFPCR firmware driver of DOS PCs: one software interrupt per byte. Linux
// has no such driver, so Norva ships none and a "tfpcr" port fails to open
// like a missing one; the byte transfer is kept here, against this interface,
// for a platform that provides the three calls.
#pragma once

#include <cstdint>
#include <span>

namespace norva {

class TfpcrDriver {
public:
    virtual ~TfpcrDriver() = default;
    // Function 1: nonzero when the TNC has a byte for the host.
    virtual int status(int interrupt) = 0;
    // Function 2: fetch one byte.
    virtual std::uint8_t fetch(int interrupt) = 0;
    // Function 3: send one byte.
    virtual void send(int interrupt, std::uint8_t byte) = 0;
};

// Only interrupts 253, 254 and 255 are the driver's; any other does nothing.
inline bool tfpcrInterruptValid(int interrupt) { return interrupt >= 253 && interrupt <= 255; }

// Fetches bytes for as long as the driver reports one, at most buf.size().
inline int tfpcrRead(TfpcrDriver& d, int interrupt, std::span<std::uint8_t> buf) {
    if (!tfpcrInterruptValid(interrupt)) return 0;
    std::size_t n = 0;
    while (n < buf.size() && d.status(interrupt) != 0) buf[n++] = d.fetch(interrupt);
    return static_cast<int>(n);
}

inline int tfpcrWrite(TfpcrDriver& d, int interrupt, std::span<const std::uint8_t> data) {
    if (!tfpcrInterruptValid(interrupt)) return 0;
    for (const std::uint8_t b : data) d.send(interrupt, b);
    return static_cast<int>(data.size());
}

}  // namespace norva
