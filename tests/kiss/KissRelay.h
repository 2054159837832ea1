// A simulated radio for whole stations: two KISS modems on TCP ports of
// 127.0.0.1 (as soundcard modems offer them) joined by a relay thread that
// passes each KISS frame to the other side, losing, duplicating and
// delaying frames as told. Frames keep their order, as on one radio channel.
#pragma once

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <mutex>
#include <random>
#include <string>
#include <thread>

#include "kiss/Kiss.h"

namespace norva::test {

class KissRelay {
public:
    struct Faults {
        int lossPercent = 0;
        int dupPercent = 0;
        int maxDelayMs = 0;
    };

    explicit KissRelay(Faults f, unsigned seed = 1) : faults_(f), rng_(seed) {}
    ~KissRelay() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        for (Side& s : sides_) {
            if (s.conn >= 0) ::close(s.conn);
            if (s.listen >= 0) ::close(s.listen);
        }
    }

    bool start() {
        for (Side& s : sides_) {
            s.listen = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
            sockaddr_in a{};
            a.sin_family = AF_INET;
            a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            socklen_t len = sizeof a;
            if (s.listen < 0 || ::bind(s.listen, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
                ::listen(s.listen, 4) != 0 || ::getsockname(s.listen, reinterpret_cast<sockaddr*>(&a), &len) != 0)
                return false;
            s.port = ntohs(a.sin_port);
        }
        thread_ = std::thread([this] { run(); });
        return true;
    }

    int port(int side) const { return sides_[side].port; }
    // A vanished station neither hears nor is heard.
    void setVanished(int side, bool v) { vanished_[side] = v; }
    // Closes a modem's connection, as a restarted soundcard modem does.
    void dropConnection(int side) { dropRequest_[side] = true; }
    int accepted(int side) const { return accepted_[side]; }
    std::uint64_t frames() const { return frames_; }
    std::uint64_t lost() const { return lost_; }
    std::uint64_t duplicated() const { return duplicated_; }
    // "frames from A, lost, delivered to B / the same from B".
    std::string counts() const {
        return std::to_string(fromSide_[0]) + " " + std::to_string(lostFrom_[0]) + " " + std::to_string(delivered_[1]) +
               " / " + std::to_string(fromSide_[1]) + " " + std::to_string(lostFrom_[1]) + " " +
               std::to_string(delivered_[0]);
    }

private:
    struct Side {
        int listen = -1;
        int conn = -1;
        int port = 0;
        kiss::KissDecoder decoder;
        std::deque<std::pair<std::chrono::steady_clock::time_point, std::string>> queue;  // towards this side
        std::chrono::steady_clock::time_point lastDue{};
    };

    void pass(int from, const std::string& frame) {
        ++frames_;
        ++fromSide_[from];
        const int to = 1 - from;
        if (vanished_[from] || vanished_[to]) return;
        std::uniform_int_distribution<int> pct(0, 99);
        if (pct(rng_) < faults_.lossPercent) {
            ++lost_;
            ++lostFrom_[from];
            return;
        }
        const int copies = pct(rng_) < faults_.dupPercent ? 2 : 1;
        duplicated_ += static_cast<std::uint64_t>(copies - 1);
        Side& s = sides_[to];
        for (int i = 0; i < copies; ++i) {
            const int delay = faults_.maxDelayMs > 0 ? std::uniform_int_distribution<int>(0, faults_.maxDelayMs)(rng_) : 0;
            auto due = std::max(s.lastDue, std::chrono::steady_clock::now() + std::chrono::milliseconds(delay));
            s.lastDue = due;
            s.queue.emplace_back(due, kiss::encodeKiss(0, kiss::KissCommand::Data, frame));
        }
    }

    void run() {
        char buf[4096];
        while (!stop_) {
            pollfd fds[4];
            for (int i = 0; i < 2; ++i) {
                fds[i] = {sides_[i].listen, POLLIN, 0};
                fds[2 + i] = {sides_[i].conn, POLLIN, 0};
            }
            ::poll(fds, 4, 2);
            for (int i = 0; i < 2; ++i) {
                Side& s = sides_[i];
                if (dropRequest_[i].exchange(false) && s.conn >= 0) {
                    ::close(s.conn);
                    s.conn = -1;
                    s.decoder.reset();
                }
                if (fds[i].revents & POLLIN) {
                    const int c = ::accept4(s.listen, nullptr, nullptr, SOCK_NONBLOCK);
                    if (c >= 0) {
                        if (s.conn >= 0) ::close(s.conn);
                        s.conn = c;
                        s.decoder.reset();
                        ++accepted_[i];
                    }
                }
                if (s.conn >= 0 && (fds[2 + i].revents & (POLLIN | POLLHUP))) {
                    const ssize_t n = ::read(s.conn, buf, sizeof buf);
                    if (n == 0) {
                        ::close(s.conn);
                        s.conn = -1;
                    } else if (n > 0) {
                        std::vector<kiss::KissFrame> frames;
                        s.decoder.feed(std::string_view(buf, static_cast<std::size_t>(n)), frames);
                        for (const auto& f : frames) pass(i, f.data);
                    }
                }
            }
            const auto now = std::chrono::steady_clock::now();
            for (Side& s : sides_) {
                while (!s.queue.empty() && s.queue.front().first <= now) {
                    if (s.conn >= 0) {
                        const std::string& bytes = s.queue.front().second;
                        [[maybe_unused]] auto w = ::write(s.conn, bytes.data(), bytes.size());
                        ++delivered_[&s - sides_];
                    }
                    s.queue.pop_front();
                }
            }
        }
    }

    Faults faults_;
    std::mt19937 rng_;
    Side sides_[2];
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> vanished_[2]{false, false};
    std::atomic<bool> dropRequest_[2]{false, false};
    std::atomic<int> accepted_[2]{0, 0};
    std::atomic<std::uint64_t> frames_{0};
    std::atomic<std::uint64_t> fromSide_[2]{0, 0};
    std::atomic<std::uint64_t> lostFrom_[2]{0, 0};
    std::atomic<std::uint64_t> delivered_[2]{0, 0};
    std::atomic<std::uint64_t> lost_{0};
    std::atomic<std::uint64_t> duplicated_{0};
};

}  // namespace norva::test
