// The engine thread's loop.
#include "app/Engine.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include "platform/ByteStream.h"

namespace norva {

Engine::Engine(EngineConfig config, Profile& profile, UiPort& ui, Clock& clock)
    : config_(std::move(config)),
      log_(config_.programDir, clock),
      ctx_{profile, clock, ui, log_, config_.programDir, config_.settings,
           config_.openStream ? config_.openStream : StreamOpener(openStreamByName), nullptr} {
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
    }
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

void Engine::post(std::function<void()> fn) {
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(fn));
    }
    wake();
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

void Engine::run() {
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
            hostMode_->pollStep();
            ++steps_;
            nextTick = clock.monotonicMs() + config_.tickMs;
        }
        const std::int64_t left = nextTick - clock.monotonicMs();
        if (left <= 0) continue;
        pollfd pfd{wakeFd_, POLLIN, 0};
        const timespec ts{static_cast<time_t>(left / 1000), static_cast<long>(left % 1000) * 1'000'000};
        if (ppoll(&pfd, 1, &ts, nullptr) > 0 && (pfd.revents & POLLIN)) {
            std::uint64_t drained = 0;
            [[maybe_unused]] auto n = ::read(wakeFd_, &drained, sizeof drained);
        }
    }
    runPosted();
    hostMode_->stopAll();
    hostMode_.reset();
}

}  // namespace norva
