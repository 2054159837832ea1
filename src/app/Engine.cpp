// The engine thread's loop.
#include "app/Engine.h"

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>

#include "app/IpcService.h"
#include "kiss/KissProfile.h"
#include "kiss/KissTnc.h"
#include "app/StationServices.h"
#include "platform/ByteStream.h"

namespace norva {

namespace {

// The ports of a real station: "kiss:..." is a KISS TNC behind our own AX.25
// layer (its settings in the section of the TNC that names the port);
// everything else is a host-mode TNC on a tty or TCP.
StreamOpener stationOpener(Profile& profile, Clock& clock, std::function<void(std::string_view)> trace) {
    return [&profile, &clock, trace](const std::string& name, int baud, std::string* error) {
        if (!kiss::isKissPortName(name)) return openStreamByName(name, baud, error);
        const kiss::KissSettings settings =
            kiss::readKissSettings(profile, kiss::tncSectionOfPort(profile, name));
        return kiss::openKissTnc(name, baud, settings, clock, error, trace);
    };
}

}  // namespace

Engine::Engine(EngineConfig config, Profile& profile, UiPort& ui, Clock& clock)
    : config_(std::move(config)),
      log_(config_.programDir, clock),
      ctx_(HostContext{profile, clock, ui, log_, config_.programDir, config_.settings,
                       // A given opener (a test's) opens every port itself.
                       config_.openStream ? config_.openStream
                                          : stationOpener(profile, clock, config_.trace),
                       nullptr, config_.trace}) {
    wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

Engine::~Engine() {
    shutdown();
    if (wakeFd_ >= 0) ::close(wakeFd_);
}

void Engine::start() {
    if (thread_.joinable()) return;
    {
        std::lock_guard lock(mutex_);
        stopping_ = false;
        acceptPosts_ = true;
    }
    started_ = true;
    thread_ = std::thread([this] { run(); });
}

void Engine::shutdown() {
    if (!thread_.joinable()) return;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake();
    thread_.join();
}

std::int64_t Engine::cpuTimeNs() {
    if (!thread_.joinable()) return 0;
    clockid_t id{};
    if (pthread_getcpuclockid(thread_.native_handle(), &id) != 0) return 0;
    timespec ts{};
    clock_gettime(id, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

bool Engine::post(std::function<void()> fn) {
    {
        std::lock_guard lock(mutex_);
        if (acceptPosts_) {
            queue_.push_back(std::move(fn));
            fn = nullptr;
        }
    }
    if (fn) {
        // The core is gone or going: running the work here would race the
        // engine thread or touch destroyed objects.
        log_.event("Engine: work posted after shutdown dropped\r\n");
        return false;
    }
    wake();
    return true;
}

void Engine::wake() {
    const std::uint64_t one = 1;
    if (wakeFd_ >= 0) [[maybe_unused]] auto n = ::write(wakeFd_, &one, sizeof one);
}

void Engine::runPosted() {
    std::deque<std::function<void()>> work;
    {
        std::lock_guard lock(mutex_);
        work.swap(queue_);
    }
    for (auto& fn : work) fn();
}

int Engine::runTick() {
    // Steps that touch no port (the dummy TNC, closed TNCs) cost nothing and
    // must not delay the next real poll, so a few of them run back to back.
    int result = CHostMode::kStepNoPort;
    for (int i = 0; i < 8 && result == CHostMode::kStepNoPort; ++i) {
        result = hostMode_->pollStep();
        ++steps_;
    }
    if (result == CHostMode::kStepTraffic) {
        idleSteps_ = 0;
        return config_.tickMs;
    }
    // A quiet station is asked a little less often; the first data brings the
    // tick back to its full rate.
    ++idleSteps_;
    return idleSteps_ > kIdleStepsBeforeSlowing ? config_.idleTickMs : config_.tickMs;
}

void Engine::serve(IpcService& ipc, std::int64_t waitMs) {
    // A tick that is already due again waits for nothing, but the wake-up
    // and the bus are still looked at: an overloaded TNC must not lock the
    // GUI's calls and the bus clients out.
    std::int64_t left = std::max<std::int64_t>(waitMs, 0);
    // The bus has its own deadlines (time-outs of calls in flight).
    if (const int busDue = ipc.timeoutMs(); busDue >= 0 && busDue < left) left = busDue;
    pollfd pfds[2] = {{wakeFd_, POLLIN, 0}, {ipc.fd(), ipc.events(), 0}};
    const nfds_t count = ipc.fd() >= 0 ? 2 : 1;
    const timespec ts{static_cast<time_t>(left / 1000), static_cast<long>(left % 1000) * 1'000'000};
    const int ready = ppoll(pfds, count, &ts, nullptr);
    if (ready > 0 && (pfds[0].revents & POLLIN)) {
        std::uint64_t drained = 0;
        [[maybe_unused]] auto n = ::read(wakeFd_, &drained, sizeof drained);
    }
    if (count == 2 && (pfds[1].revents != 0 || ipc.timeoutMs() == 0)) ipc.process();
}

void Engine::reapPrograms() {
    // Programs that scripts left running: ended ones are collected about once
    // a second, never waited for.
    const std::int64_t now = ctx_.clock.monotonicMs();
    if (now - lastReapMs_ < kReapIntervalMs) return;
    lastReapMs_ = now;
    ctx_.programs.reap();
}

void Engine::run() {
    services_ = std::make_unique<StationServices>(ctx_, config_.busAddress);
    IpcService& ipc = services_->ipc();
    hostMode_ = std::make_unique<CHostMode>(ctx_);
    hostMode_->createTncs();

    Clock& clock = ctx_.clock;
    std::int64_t nextTick = clock.monotonicMs();
    for (;;) {
        runPosted();
        {
            std::lock_guard lock(mutex_);
            if (stopping_) break;
        }
        if (clock.monotonicMs() >= nextTick) {
            // The next tick counts from the end of this one: a slow step
            // must not make the following step due at once.
            const int interval = runTick();
            nextTick = clock.monotonicMs() + interval;
            reapPrograms();
        }
        serve(ipc, nextTick - clock.monotonicMs());
    }
    runPosted();
    hostMode_->stopAll();
    // Work posted while the TNCs stopped still finds the whole core.
    runPosted();
    std::deque<std::function<void()>> late;
    {
        std::lock_guard lock(mutex_);
        acceptPosts_ = false;
        late.swap(queue_);
    }
    if (!late.empty())
        log_.event("Engine: " + std::to_string(late.size()) +
                   " work item(s) posted during shutdown dropped\r\n");
    late.clear();
    hostMode_.reset();
    services_.reset();
}

}  // namespace norva
