// PtyServer: a SimTnc behind a raw pseudo-terminal.
#include "tncsim/PtyServer.h"

// std
#include <cerrno>
#include <cstring>

// POSIX
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

// tncsim
#include "ServerSupport.h"

namespace tncsim {

struct PtyServer::State {
    explicit State(SimTnc& tnc) : pump(tnc) {}
    WakePipe wake;
    UniqueFd master;
    // Our own descriptor on the slave: while it is open the master never
    // sees a hang-up when the host closes and reopens the device.
    UniqueFd slave;
    TncPump pump;
    Request request = Request::None;
    bool requestOk = false;
};

PtyServer::PtyServer(SimTnc& tnc, Options options)
    : SimServer(tnc), options_(std::move(options)), state_(std::make_unique<State>(tnc)) {}

PtyServer::~PtyServer() { stop(); }

bool PtyServer::start() {
    if (running()) return true;
    if (!state_->wake.valid()) {
        std::lock_guard lock(mutex_);
        error_ = "cannot create wake pipe";
        return false;
    }
    if (!openPty()) return false;
    thread_ = std::thread([this] { run(); });
    return true;
}

void PtyServer::stop() {
    if (!running()) return;
    request(Request::Stop);
    thread_.join();
    closePty();
    if (!options_.linkPath.empty()) {
        struct stat st {};
        if (::lstat(options_.linkPath.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
            ::unlink(options_.linkPath.c_str());
        }
    }
}

std::string PtyServer::slavePath() const {
    std::lock_guard lock(mutex_);
    return slavePath_;
}

std::string PtyServer::error() const {
    std::lock_guard lock(mutex_);
    return error_;
}

bool PtyServer::plugged() const {
    std::lock_guard lock(mutex_);
    return plugged_;
}

bool PtyServer::unplug() {
    if (!running()) return false;
    return request(Request::Unplug);
}

bool PtyServer::replug() {
    if (!running()) return false;
    return request(Request::Replug);
}

void PtyServer::wake() { state_->wake.wake(); }

// Hands a request to the thread and waits until it has been carried out.
bool PtyServer::request(Request what) {
    std::unique_lock lock(mutex_);
    state_->request = what;
    state_->wake.wake();
    done_.wait(lock, [this] { return state_->request == Request::None; });
    return state_->requestOk;
}

bool PtyServer::openPty() {
    int master = -1;
    int slave = -1;
    if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) {
        std::lock_guard lock(mutex_);
        error_ = std::string("openpty: ") + std::strerror(errno);
        return false;
    }
    UniqueFd m(master);
    UniqueFd s(slave);
    char name[128] = {};
    termios tio {};
    bool ok = ::ptsname_r(master, name, sizeof name) == 0 && ::tcgetattr(slave, &tio) == 0;
    if (ok) {
        ::cfmakeraw(&tio);
        ok = ::tcsetattr(slave, TCSANOW, &tio) == 0 && setNonBlocking(master) &&
             ::fcntl(slave, F_SETFD, FD_CLOEXEC) == 0;
    }
    if (!ok) {
        std::lock_guard lock(mutex_);
        error_ = std::string("pty setup: ") + std::strerror(errno);
        return false;
    }
    state_->master = std::move(m);
    state_->slave = std::move(s);
    {
        std::lock_guard lock(mutex_);
        slavePath_ = name;
        plugged_ = true;
    }
    updateLink();
    return true;
}

void PtyServer::closePty() {
    state_->master.reset();
    state_->slave.reset();
    state_->pump.discardPending();
    std::lock_guard lock(mutex_);
    plugged_ = false;
}

void PtyServer::updateLink() {
    if (options_.linkPath.empty()) return;
    const std::string& link = options_.linkPath;
    struct stat st {};
    if (::lstat(link.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            std::lock_guard lock(mutex_);
            error_ = link + " exists and is not a symlink; left alone";
            return;
        }
        ::unlink(link.c_str());
    }
    if (::symlink(slavePath().c_str(), link.c_str()) != 0) {
        std::lock_guard lock(mutex_);
        error_ = "symlink " + link + ": " + std::strerror(errno);
    }
}

void PtyServer::run() {
    State& st = *state_;
    char buf[4096];
    for (;;) {
        Request req = Request::None;
        {
            std::lock_guard lock(mutex_);
            req = st.request;
        }
        if (req != Request::None) {
            bool ok = true;
            if (req == Request::Unplug) {
                ok = st.master.valid();
                closePty();
            } else if (req == Request::Replug) {
                ok = !st.master.valid() && openPty();
            }
            std::lock_guard lock(mutex_);
            st.requestOk = ok;
            st.request = Request::None;
            done_.notify_all();
            if (req == Request::Stop) return;
        }
        int timeout = st.pump.service();
        if (st.master.valid() && !st.pump.flushTo(st.master.get())) st.pump.discardPending();
        if (!st.master.valid()) st.pump.discardPending();

        pollfd fds[2] = {{st.wake.readFd(), POLLIN, 0}, {st.master.get(), POLLIN, 0}};
        if (st.pump.hasPending()) fds[1].events |= POLLOUT;
        nfds_t count = st.master.valid() ? 2 : 1;
        int n = ::poll(fds, count, timeout);
        if (n < 0 && errno != EINTR) {
            // Leaving would strand a waiting request(); wait a little and retry.
            ::poll(nullptr, 0, 20);
            continue;
        }
        if (n <= 0) continue;
        if (fds[0].revents & POLLIN) st.wake.drain();
        if (count < 2) continue;
        if (fds[1].revents & POLLIN) {
            ssize_t got = ::read(st.master.get(), buf, sizeof buf);
            if (got > 0) st.pump.input(std::string_view(buf, static_cast<std::size_t>(got)));
        } else if (fds[1].revents & (POLLHUP | POLLERR)) {
            ::poll(nullptr, 0, 20);  // keeps a hang-up from spinning the loop
        }
    }
}

}  // namespace tncsim
