// Opening the bus connection and serving it from the engine loop.
#include "dde/DdeBus.h"

#include <poll.h>
#include <time.h>

#include <cerrno>
#include <climits>
#include <cstring>

namespace norva {

namespace {

std::string failure(std::string_view what, int r) {
    return std::string(what) + ": " + std::strerror(-r);
}

}  // namespace

DdeBus::Opened DdeBus::open(std::string_view address) {
    sd_bus* raw = nullptr;
    int r = 0;
    if (address.empty()) {
        r = sd_bus_open_user(&raw);
        if (r < 0) return {nullptr, failure("no session bus", r)};
    } else {
        r = sd_bus_new(&raw);
        if (r < 0) return {nullptr, failure("cannot create bus connection", r)};
        BusPtr owned(raw);
        const std::string addr(address);
        if ((r = sd_bus_set_address(raw, addr.c_str())) < 0 || (r = sd_bus_set_bus_client(raw, 1)) < 0)
            return {nullptr, failure("bad bus address", r)};
        if ((r = sd_bus_start(raw)) < 0) return {nullptr, failure("cannot connect to bus " + addr, r)};
        raw = owned.release();
    }
    return {std::unique_ptr<DdeBus>(new DdeBus(BusPtr(raw))), {}};
}

int DdeBus::fd() const { return sd_bus_get_fd(bus_.get()); }

short DdeBus::events() const {
    const int e = sd_bus_get_events(bus_.get());
    return e < 0 ? short(0) : static_cast<short>(e);
}

int DdeBus::timeoutMs() const {
    std::uint64_t until = 0;
    if (sd_bus_get_timeout(bus_.get(), &until) < 0 || until == UINT64_MAX) return -1;
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    const std::uint64_t now = std::uint64_t(ts.tv_sec) * 1000000u + std::uint64_t(ts.tv_nsec) / 1000u;
    if (until <= now) return 0;
    const std::uint64_t ms = (until - now + 999) / 1000;
    return ms > INT_MAX ? INT_MAX : static_cast<int>(ms);
}

bool DdeBus::process() {
    if (lost_) return false;
    // A bound keeps a flood of messages from holding the engine; the rest
    // waits for the next turn of the loop (the fd stays readable).
    for (int n = 0; n < 4096; ++n) {
        const int r = sd_bus_process(bus_.get(), nullptr);
        if (r < 0) {
            lost_ = true;
            return false;
        }
        if (r == 0) break;
    }
    for (auto& fn : after_) fn();
    if (!sd_bus_is_open(bus_.get())) lost_ = true;
    return !lost_;
}

bool DdeBus::connected() const { return !lost_ && sd_bus_is_open(bus_.get()) > 0; }

std::unique_ptr<DdeBus::AfterProcess> DdeBus::afterProcess(std::function<void()> fn) {
    after_.push_back(std::move(fn));
    return std::make_unique<AfterProcess>(*this, std::prev(after_.end()));
}

}  // namespace norva
