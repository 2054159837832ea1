// Serves one SimTnc on a TCP port of 127.0.0.1, for hosts that reach their
// TNC over the network (ser2net and the like). One client at a time: a new
// client replaces the old one; the TNC keeps its state (mode, partial frame,
// links) across clients, as a TNC keeps it when the cable is swapped.
#pragma once

// std
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

// tncsim
#include "tncsim/SimServer.h"
#include "tncsim/Clock.h"
#include "tncsim/Radio.h"
#include "tncsim/SimTnc.h"

namespace tncsim {

class TcpServer final : public SimServer {
public:
    explicit TcpServer(SimTnc& tnc, std::uint16_t port = 0);
    ~TcpServer();

    // Binds 127.0.0.1:port (0 = any free port) and starts the thread.
    bool start();
    void stop();
    bool running() const { return thread_.joinable(); }
    std::uint16_t port() const;  // the bound port once started
    std::string error() const;
    bool clientConnected() const;
    std::uint64_t clientsAccepted() const;

private:
    struct State;

    void wake() override;
    void run();
    void acceptClient();

    std::uint16_t requestedPort_;
    std::unique_ptr<State> state_;
    std::thread thread_;
    mutable std::mutex mutex_;
    std::uint16_t port_ = 0;
    std::string error_;
    bool client_ = false;
    std::uint64_t accepted_ = 0;
    bool stopping_ = false;
};

}  // namespace tncsim
