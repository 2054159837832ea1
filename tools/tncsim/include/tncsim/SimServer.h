// What the pty and TCP servers share: the TNC they serve, and safe access to
// it from other threads while the server runs.
#pragma once

// std
#include <mutex>

// tncsim
#include "tncsim/Clock.h"
#include "tncsim/Radio.h"
#include "tncsim/SimTnc.h"

namespace tncsim {

class SimServer {
public:
    SimServer(const SimServer&) = delete;
    SimServer& operator=(const SimServer&) = delete;

    // Runs fn(SimTnc&) under the radio's lock with the radio's clock brought
    // up to now, then lets the server thread look at the TNC again.
    template <class F>
    decltype(auto) withTnc(F&& fn) {
        Waker waker{*this};
        std::lock_guard lock(tnc_.radio().mutex());
        tnc_.radio().advance(steadyNowMs());
        return fn(tnc_);
    }

protected:
    explicit SimServer(SimTnc& tnc) : tnc_(tnc) {}
    ~SimServer() = default;
    // Makes the server thread look at the TNC again.
    virtual void wake() = 0;

    SimTnc& tnc_;

private:
    struct Waker {
        SimServer& server;
        ~Waker() { server.wake(); }
    };
};

}  // namespace tncsim
