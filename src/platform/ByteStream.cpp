// Byte streams on descriptors: a serial tty in raw 8N1 and a TCP connection.
// Reads are non-blocking; writes wait on POLLOUT within the serial write
// time-out (20 ms + 20 ms per byte); waits sleep in poll(). A device that went
// away (hang-up, unplugged adapter, closed peer) is marked broken() and every
// call then returns at once, so no caller can spin on it.
#include "platform/ByteStream.h"
#include "platform/Clock.h"
#include "platform/Files.h"

#include "platform/Text.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

namespace norva {

namespace {

std::int64_t nowMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1'000'000;
}

// Errors after which the device will not come back.
bool isFatal(int err)
{
    return err == EIO || err == ENXIO || err == ENODEV || err == EBADF || err == EPIPE
           || err == ECONNRESET || err == ENOTCONN || err == ETIMEDOUT || err == EHOSTUNREACH
           || err == ENETUNREACH;
}

void setError(std::string* error, std::string text)
{
    if (error)
        *error = std::move(text);
}

// One stream on a descriptor. Sockets send with MSG_NOSIGNAL so that a closed
// peer is an error code, not a SIGPIPE.
class FdStream final : public ByteStream {
public:
    FdStream(UniqueFd fd, bool socket) : fd_(std::move(fd)), socket_(socket) {}

    int read(std::span<std::uint8_t> buf) override
    {
        if (buf.empty() || broken_)
            return 0;
        std::size_t got = 0;
        if (pending_) {
            buf[got++] = *pending_;
            pending_.reset();
        }
        while (got < buf.size()) {
            const ssize_t n = ::read(fd_.get(), buf.data() + got, buf.size() - got);
            if (n > 0) {
                got += static_cast<std::size_t>(n);
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            // 0 is end of file: the tty hung up (its VMIN is 1, so "no data" is
            // EAGAIN) or the TCP peer closed.
            if (n == 0 || isFatal(errno))
                broken_ = true;
            break;
        }
        return static_cast<int>(got);
    }

    int write(std::span<const std::uint8_t> data) override
    {
        if (broken_)
            return 0;
        const std::int64_t deadline = nowMs() + 20 + 20 * static_cast<std::int64_t>(data.size());
        std::size_t done = 0;
        while (done < data.size()) {
            const ssize_t n = socket_ ? ::send(fd_.get(), data.data() + done, data.size() - done, MSG_NOSIGNAL)
                                      : ::write(fd_.get(), data.data() + done, data.size() - done);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
                if (isFatal(errno))
                    broken_ = true;
                return 0;
            }
            const std::int64_t left = deadline - nowMs();
            if (left <= 0)
                break;  // the write time-out: report what went out
            pollfd p{fd_.get(), POLLOUT, 0};
            ::poll(&p, 1, static_cast<int>(left));
        }
        return static_cast<int>(done);
    }

    bool waitReadable(int timeoutMs) override
    {
        if (broken_)
            return false;
        if (pending_)
            return true;
        pollfd p{fd_.get(), POLLIN, 0};
        int rc;
        do {
            rc = ::poll(&p, 1, std::max(timeoutMs, 0));
        } while (rc < 0 && errno == EINTR);
        if (rc <= 0)
            return false;
        if (p.revents & POLLIN)
            return true;
        if (p.revents & POLLNVAL) {
            broken_ = true;
            return false;
        }
        return probeHangUp(timeoutMs);
    }

    bool broken() const override { return broken_; }
    int fd() const override { return fd_.get(); }

private:
    // POLLHUP/POLLERR without POLLIN. A pty may report POLLHUP for good while
    // it still works, so only a read that fails (EIO, end of file) marks the
    // stream broken. A byte that arrived meanwhile is kept for read().
    bool probeHangUp(int timeoutMs)
    {
        std::uint8_t byte = 0;
        const ssize_t n = ::read(fd_.get(), &byte, 1);
        if (n == 1) {
            pending_ = byte;
            return true;
        }
        if (n == 0 || (n < 0 && isFatal(errno))) {
            broken_ = true;
            return false;
        }
        sleepForMs(timeoutMs);  // hang-up flag but a live device: wait instead of spinning
        return false;
    }

    UniqueFd fd_;
    bool socket_;
    bool broken_ = false;
    std::optional<std::uint8_t> pending_;
};

std::optional<speed_t> speedOf(int baud)
{
    switch (baud) {
    case 50: return B50;
    case 75: return B75;
    case 110: return B110;
    case 134: return B134;
    case 150: return B150;
    case 200: return B200;
    case 300: return B300;
    case 600: return B600;
    case 1200: return B1200;
    case 1800: return B1800;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
#ifdef B460800
    case 460800: return B460800;
#endif
#ifdef B500000
    case 500000: return B500000;
#endif
#ifdef B576000
    case 576000: return B576000;
#endif
#ifdef B921600
    case 921600: return B921600;
#endif
#ifdef B1000000
    case 1000000: return B1000000;
#endif
#ifdef B1152000
    case 1152000: return B1152000;
#endif
#ifdef B1500000
    case 1500000: return B1500000;
#endif
#ifdef B2000000
    case 2000000: return B2000000;
#endif
    default: return std::nullopt;
    }
}

bool configureTty(int fd, speed_t speed, std::string* error, const std::string& device)
{
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) {
        setError(error, device + ": kein serielles Gerät (" + std::strerror(errno) + ")");
        return false;
    }
    ::cfmakeraw(&tio);  // also VMIN 1, VTIME 0: an empty non-blocking read is EAGAIN, not 0
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    ::cfsetispeed(&tio, speed);
    ::cfsetospeed(&tio, speed);
    if (::tcsetattr(fd, TCSANOW, &tio) != 0) {
        setError(error, device + ": " + std::strerror(errno));
        return false;
    }
    int lines = TIOCM_DTR | TIOCM_RTS;
    ::ioctl(fd, TIOCMBIC, &lines);  // a pty has no modem lines: failure is fine
    ::ioctl(fd, TIOCEXCL);          // keep other programs off the TNC; not every tty allows it
    return true;
}

// Connects one resolved address within timeoutMs; the socket stays non-blocking.
UniqueFd connectOne(const addrinfo& ai, int timeoutMs, int& err)
{
    UniqueFd fd(::socket(ai.ai_family, ai.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, ai.ai_protocol));
    if (fd.get() < 0) {
        err = errno;
        return UniqueFd();
    }
    if (::connect(fd.get(), ai.ai_addr, ai.ai_addrlen) != 0) {
        if (errno != EINPROGRESS) {
            err = errno;
            return UniqueFd();
        }
        pollfd p{fd.get(), POLLOUT, 0};
        int rc;
        do {
            rc = ::poll(&p, 1, timeoutMs);
        } while (rc < 0 && errno == EINTR);
        if (rc <= 0) {
            err = rc == 0 ? ETIMEDOUT : errno;
            return UniqueFd();
        }
        int soErr = 0;
        socklen_t len = sizeof soErr;
        if (::getsockopt(fd.get(), SOL_SOCKET, SO_ERROR, &soErr, &len) != 0 || soErr != 0) {
            err = soErr ? soErr : errno;
            return UniqueFd();
        }
    }
    int one = 1;
    ::setsockopt(fd.get(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return fd;
}

// What the connecting thread hands to its stream. Shared, so that neither
// side waits for the other: a stream closed while its host is still being
// resolved simply lets the thread finish into the void. The mutex guards
// copies only; no one sends or connects while holding it.
struct Connection {
    static constexpr std::size_t kEarlyLimit = 4096;  // a start sequence, not a transfer
    static constexpr std::int64_t kEarlySendMs = 1000;
    std::mutex mutex;
    bool done = false;  // the stream may adopt the socket
    UniqueFd socket;
    int error = 0;
    std::string early;  // written before the connection stood, not yet sent; goes first
    UniqueFd wake{::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)};  // readable once done
};

// Sends bytes within the deadline; false when the peer would not take them
// all in time or the connection failed.
bool sendUntil(int fd, const std::string& bytes, std::int64_t deadline)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK)
            return false;
        const std::int64_t left = deadline - nowMs();
        if (left <= 0)
            return false;
        pollfd p{fd, POLLOUT, 0};
        ::poll(&p, 1, static_cast<int>(std::min<std::int64_t>(left, 100)));
    }
    return true;
}

// Sends what was written while connecting, before anything written later,
// then hands the socket over. Each batch is taken under the lock and sent
// outside it; what the stream writes meanwhile joins the next batch. Only
// an empty queue ends the hand-over, under the same lock, so the order holds.
void handOver(Connection& c, UniqueFd socket, int err)
{
    const std::int64_t deadline = nowMs() + Connection::kEarlySendMs;
    std::unique_lock lock(c.mutex);
    while (socket.get() >= 0 && !c.early.empty()) {
        std::string batch;
        batch.swap(c.early);
        lock.unlock();
        const bool sent = sendUntil(socket.get(), batch, deadline);
        lock.lock();
        if (!sent)
            break;
    }
    c.early.clear();  // what a peer would not take in time is given up, as a write time-out would
    c.socket = std::move(socket);
    c.error = err;
    c.done = true;
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto n = ::write(c.wake.get(), &one, sizeof one);
}

void connectInBackground(const std::shared_ptr<Connection>& c, const std::string& host, int port)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    UniqueFd socket;
    int err = ECONNREFUSED;
    if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &list) != 0) {
        err = EHOSTUNREACH;
    } else {
        std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> guard(list, ::freeaddrinfo);
        for (const addrinfo* ai = list; ai && socket.get() < 0; ai = ai->ai_next)
            socket = connectOne(*ai, 3000, err);
    }
    handOver(*c, std::move(socket), err);
}

// A TCP stream whose host is resolved and connected on a thread of its own:
// a slow name server or a far host must not hold the engine. Until the
// connection stands reads find nothing and writes are kept (bounded), to go
// out in order once it does; a connection that fails is a broken stream.
class TcpStream final : public ByteStream {
public:
    TcpStream(const std::string& host, int port) : c_(std::make_shared<Connection>())
    {
        std::thread([c = c_, host, port] { connectInBackground(c, host, port); }).detach();
    }

    int read(std::span<std::uint8_t> buf) override { return settle() && live_ ? live_->read(buf) : 0; }

    int write(std::span<const std::uint8_t> data) override
    {
        {
            std::lock_guard lock(c_->mutex);
            if (!c_->done) {
                if (c_->early.size() + data.size() > Connection::kEarlyLimit)
                    return 0;
                c_->early.append(data.begin(), data.end());
                return static_cast<int>(data.size());
            }
        }
        settle();
        return live_ ? live_->write(data) : 0;
    }

    bool waitReadable(int timeoutMs) override
    {
        if (!settle()) {
            const std::int64_t start = nowMs();
            pollfd p{c_->wake.get(), POLLIN, 0};
            ::poll(&p, 1, std::max(timeoutMs, 0));
            timeoutMs -= static_cast<int>(nowMs() - start);
            if (!settle())
                return false;
        }
        return live_ && live_->waitReadable(std::max(timeoutMs, 0));
    }

    bool broken() const override { return settle() && (!live_ || live_->broken()); }
    int fd() const override { return live_ ? live_->fd() : -1; }

private:
    // True once the connecting thread is done; the connection is then adopted.
    bool settle() const
    {
        if (settled_)
            return true;
        std::unique_lock lock(c_->mutex);
        if (!c_->done)
            return false;
        settled_ = true;
        if (c_->socket.get() >= 0)
            live_ = std::make_unique<FdStream>(std::move(c_->socket), true);
        return true;
    }

    std::shared_ptr<Connection> c_;
    mutable bool settled_ = false;
    mutable std::unique_ptr<FdStream> live_;
};

}  // namespace

std::unique_ptr<ByteStream> openSerialStream(const std::string& device, int baud, std::string* error)
{
    const auto speed = speedOf(baud);
    if (!speed) {
        setError(error, device + ": Baudrate " + std::to_string(baud) + " wird nicht unterstützt");
        return nullptr;
    }
    UniqueFd fd(::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0) {
        setError(error, device + ": " + std::strerror(errno));
        return nullptr;
    }
    if (!configureTty(fd.get(), *speed, error, device))
        return nullptr;
    return std::make_unique<FdStream>(std::move(fd), false);
}

std::unique_ptr<ByteStream> openTcpStream(const std::string& host, int port, std::string* error)
{
    const std::string where = host + ":" + std::to_string(port);
    if (host.empty() || port < 1 || port > 65535) {
        setError(error, where + ": ungültige Adresse");
        return nullptr;
    }
    return std::make_unique<TcpStream>(host, port);
}

std::unique_ptr<ByteStream> openStreamByName(const std::string& name, int baud, std::string* error)
{
    if (name.empty()) {
        setError(error, "kein Portname");
        return nullptr;
    }
    if (name.size() > 4 && iequals(std::string_view(name).substr(0, 4), "tcp:")) {
        std::string rest = name.substr(4);
        const std::size_t colon = rest.rfind(':');
        const std::size_t digits = colon == std::string::npos ? 0 : rest.size() - colon - 1;
        if (colon == std::string::npos || digits == 0 || digits > 5
            || rest.find_first_not_of("0123456789", colon + 1) != std::string::npos) {
            setError(error, name + ": erwartet tcp:HOST:PORT");
            return nullptr;
        }
        const int port = std::stoi(rest.substr(colon + 1));
        std::string host = rest.substr(0, colon);
        if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
            host = host.substr(1, host.size() - 2);  // [::1]:8001
        return openTcpStream(host, port, error);
    }
    if (name.front() == '/')
        return openSerialStream(name, baud, error);
    if (name.size() > 3 && iequals(std::string_view(name).substr(0, 3), "com")
        && name.find_first_not_of("0123456789", 3) == std::string::npos && name.size() <= 6) {
        const int n = std::stoi(name.substr(3));
        if (n >= 1)
            return openSerialStream("/dev/ttyS" + std::to_string(n - 1), baud, error);
    }
    return openSerialStream("/dev/" + name, baud, error);
}

}  // namespace norva
