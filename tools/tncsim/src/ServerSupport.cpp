// Descriptor ownership, the wake pipe and the byte pump of the servers.
#include "ServerSupport.h"

// std
#include <algorithm>
#include <cerrno>
#include <mutex>

// POSIX
#include <fcntl.h>
#include <unistd.h>

// tncsim
#include "tncsim/Clock.h"
#include "tncsim/Radio.h"

namespace tncsim {

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
}

int UniqueFd::release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
}

void UniqueFd::reset(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
}

bool setNonBlocking(int fd) {
    int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0) return false;
    if (::fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0) return false;
    return ::fcntl(fd, F_SETFD, FD_CLOEXEC) == 0;
}

WakePipe::WakePipe() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return;
    read_.reset(fds[0]);
    write_.reset(fds[1]);
}

void WakePipe::wake() const {
    char c = 1;
    // A full pipe already wakes the loop; nothing to do on EAGAIN.
    [[maybe_unused]] ssize_t n = ::write(write_.get(), &c, 1);
}

void WakePipe::drain() const {
    char buf[64];
    while (::read(read_.get(), buf, sizeof buf) > 0) {
    }
}

void TncPump::input(std::string_view bytes) {
    std::lock_guard lock(tnc_.radio().mutex());
    const std::uint64_t now = steadyNowMs();
    toTnc_.push(bytes, now);
    deliverInput(now);
}

void TncPump::deliverInput(std::uint64_t nowMs) {
    const std::string arrived = toTnc_.take(nowMs);
    if (!arrived.empty()) tnc_.receive(arrived, nowMs);
}

int TncPump::service() {
    std::lock_guard lock(tnc_.radio().mutex());
    std::uint64_t now = steadyNowMs();
    deliverInput(now);
    tnc_.tick(now);
    for (auto& piece : tnc_.takeOutput(now)) {
        // Unthrottled, each piece stays one write (fragmented replies stay fragmented).
        if (!toHost_.throttled()) {
            pending_.push_back(std::move(piece));
        } else {
            toHost_.push(piece, now);
        }
    }
    if (std::string crossed = toHost_.take(now); !crossed.empty()) pending_.push_back(std::move(crossed));
    std::optional<std::uint64_t> wake = tnc_.nextWakeMs();
    for (const auto& line : {toTnc_.nextDueMs(), toHost_.nextDueMs()})
        if (line && (!wake || *line < *wake)) wake = line;
    if (!wake) return -1;
    if (*wake <= now) return 0;
    return static_cast<int>(std::min<std::uint64_t>(*wake - now, 60000));
}

bool TncPump::flushTo(int fd) {
    while (!pending_.empty()) {
        std::string& piece = pending_.front();
        ssize_t n = ::write(fd, piece.data(), piece.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno == EAGAIN || errno == EWOULDBLOCK;
        }
        if (static_cast<std::size_t>(n) < piece.size()) {
            piece.erase(0, static_cast<std::size_t>(n));
            return true;
        }
        pending_.pop_front();
    }
    return true;
}

}  // namespace tncsim
