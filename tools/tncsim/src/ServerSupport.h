// What PtyServer and TcpServer share: an owned file descriptor, a self-pipe
// to wake a poll() loop, and the pump that moves bytes between a descriptor
// and a SimTnc under the radio's lock.
#pragma once

// std
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

// tncsim
#include "tncsim/SerialLine.h"
#include "tncsim/SimTnc.h"

namespace tncsim {

class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { reset(); }

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    int release();
    void reset(int fd = -1);

private:
    int fd_ = -1;
};

class WakePipe {
public:
    WakePipe();
    bool valid() const { return read_.valid() && write_.valid(); }
    int readFd() const { return read_.get(); }
    void wake() const;
    void drain() const;

private:
    UniqueFd read_;
    UniqueFd write_;
};

bool setNonBlocking(int fd);

// With the TNC's serialBaud set, both directions cross a serial line of that
// speed: the host's bytes reach the TNC, and the replies reach the host, no
// faster than the line carries them.
class TncPump {
public:
    explicit TncPump(SimTnc& tnc)
        : tnc_(tnc), baud_(tnc.config().serialBaud), toTnc_(baud_), toHost_(baud_) {}

    // Hands bytes read from the host to the TNC.
    void input(std::string_view bytes);
    // Runs the TNC's timers and collects due output; returns the poll()
    // timeout in ms until the TNC needs the next look (-1: none).
    int service();
    bool hasPending() const { return !pending_.empty(); }
    // Writes pending pieces, one write() each; false on a hard write error.
    bool flushTo(int fd);
    void discardPending() {
        pending_.clear();
        toHost_ = SerialLine(baud_);
    }

private:
    // Hands the host's bytes that have crossed the line to the TNC (lock held).
    void deliverInput(std::uint64_t nowMs);

    SimTnc& tnc_;
    int baud_;
    SerialLine toTnc_;
    SerialLine toHost_;
    std::deque<std::string> pending_;
};

}  // namespace tncsim
