// TcpServer: a SimTnc behind a listening TCP socket on the loopback address.
#include "tncsim/TcpServer.h"

// std
#include <cerrno>
#include <cstring>

// POSIX
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

// tncsim
#include "ServerSupport.h"

namespace tncsim {

struct TcpServer::State {
    explicit State(SimTnc& tnc) : pump(tnc) {}
    WakePipe wake;
    UniqueFd listener;
    UniqueFd client;
    TncPump pump;
};

TcpServer::TcpServer(SimTnc& tnc, std::uint16_t port)
    : SimServer(tnc), requestedPort_(port), state_(std::make_unique<State>(tnc)) {}

TcpServer::~TcpServer() { stop(); }

bool TcpServer::start() {
    if (running()) return true;
    auto fail = [this](const std::string& what) {
        std::lock_guard lock(mutex_);
        error_ = what + ": " + std::strerror(errno);
        return false;
    };
    if (!state_->wake.valid()) return fail("pipe");
    UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!fd.valid()) return fail("socket");
    int one = 1;
    ::setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr {};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(requestedPort_);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(fd.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) return fail("bind");
    if (::listen(fd.get(), 4) != 0) return fail("listen");
    socklen_t len = sizeof addr;
    if (::getsockname(fd.get(), reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        return fail("getsockname");
    }
    {
        std::lock_guard lock(mutex_);
        port_ = ntohs(addr.sin_port);
        stopping_ = false;
    }
    state_->listener = std::move(fd);
    thread_ = std::thread([this] { run(); });
    return true;
}

void TcpServer::stop() {
    if (!running()) return;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake();
    thread_.join();
    state_->client.reset();
    state_->listener.reset();
    std::lock_guard lock(mutex_);
    client_ = false;
}

std::uint16_t TcpServer::port() const {
    std::lock_guard lock(mutex_);
    return port_;
}

std::string TcpServer::error() const {
    std::lock_guard lock(mutex_);
    return error_;
}

bool TcpServer::clientConnected() const {
    std::lock_guard lock(mutex_);
    return client_;
}

std::uint64_t TcpServer::clientsAccepted() const {
    std::lock_guard lock(mutex_);
    return accepted_;
}

void TcpServer::wake() { state_->wake.wake(); }

void TcpServer::acceptClient() {
    int fd = ::accept4(state_->listener.get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) return;
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    // Output meant for the old client is lost with it, as on a swapped cable.
    state_->pump.discardPending();
    state_->client.reset(fd);
    std::lock_guard lock(mutex_);
    client_ = true;
    ++accepted_;
}

void TcpServer::run() {
    State& st = *state_;
    char buf[4096];
    for (;;) {
        {
            std::lock_guard lock(mutex_);
            if (stopping_) return;
        }
        int timeout = st.pump.service();
        bool ok = st.client.valid() && st.pump.flushTo(st.client.get());
        if (!ok) st.pump.discardPending();

        pollfd fds[3] = {{st.wake.readFd(), POLLIN, 0},
                         {st.listener.get(), POLLIN, 0},
                         {st.client.get(), POLLIN, 0}};
        if (st.pump.hasPending()) fds[2].events |= POLLOUT;
        nfds_t count = st.client.valid() ? 3 : 2;
        int n = ::poll(fds, count, timeout);
        if (n < 0 && errno != EINTR) return;
        if (n <= 0) continue;
        if (fds[0].revents & POLLIN) st.wake.drain();
        if (fds[1].revents & POLLIN) {
            acceptClient();
            continue;  // fds[2] belonged to the replaced client
        }
        if (count < 3) continue;
        if (fds[2].revents & (POLLIN | POLLHUP | POLLERR)) {
            ssize_t got = ::read(st.client.get(), buf, sizeof buf);
            if (got > 0) {
                st.pump.input(std::string_view(buf, static_cast<std::size_t>(got)));
            } else if (got == 0 || (errno != EAGAIN && errno != EINTR)) {
                st.client.reset();
                st.pump.discardPending();
                std::lock_guard lock(mutex_);
                client_ = false;
            }
        }
    }
}

}  // namespace tncsim
