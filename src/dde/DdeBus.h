// The connection to the D-Bus session bus, served from the engine's own
// poll loop: the engine adds fd()/events() to its ppoll set, sleeps at most
// timeoutMs(), and calls process() when woken. Nothing here ever waits for
// the bus: every call that needs an answer is asynchronous.
#pragma once

#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <string_view>

#include "dde/SdBusHandles.h"

namespace norva {

class DdeBus {
public:
    struct Opened;
    // Connects to the bus at address (a D-Bus address such as
    // "unix:path=/run/user/1000/bus"); an empty address means the session
    // bus (DBUS_SESSION_BUS_ADDRESS, else the user's runtime bus). Never
    // registers on the system bus.
    static Opened open(std::string_view address);

    DdeBus(const DdeBus&) = delete;
    DdeBus& operator=(const DdeBus&) = delete;

    // ---- loop integration ----
    int fd() const;
    // Poll events to wait for (POLLIN, POLLOUT).
    short events() const;
    // Milliseconds until process() must run even without fd activity;
    // -1: no deadline. Already relative to now.
    int timeoutMs() const;
    // Dispatches everything pending without blocking. False when the
    // connection is lost; the bus is unusable afterwards.
    bool process();
    bool connected() const;

    // Work run after each process() (a service flushing held signals).
    // The handle removes it again when destroyed.
    class AfterProcess;
    std::unique_ptr<AfterProcess> afterProcess(std::function<void()> fn);

    sd_bus* raw() const { return bus_.get(); }

private:
    explicit DdeBus(BusPtr bus) : bus_(std::move(bus)) {}

    BusPtr bus_;
    std::list<std::function<void()>> after_;
    bool lost_ = false;
};

struct DdeBus::Opened {
    std::unique_ptr<DdeBus> bus;  // null on failure
    std::string error;            // why, when bus is null
};

class DdeBus::AfterProcess {
public:
    AfterProcess(DdeBus& bus, std::list<std::function<void()>>::iterator it) : bus_(bus), it_(it) {}
    ~AfterProcess() { bus_.after_.erase(it_); }
    AfterProcess(const AfterProcess&) = delete;
    AfterProcess& operator=(const AfterProcess&) = delete;

private:
    DdeBus& bus_;
    std::list<std::function<void()>>::iterator it_;
};

}  // namespace norva
