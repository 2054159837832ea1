// Serves one SimTnc on a pseudo-terminal, as if the TNC hung on a serial
// port: the host opens slavePath() like any tty. One thread, sleeping in
// poll(); replies leave in the pieces and at the times the SimTnc gives.
#pragma once

// std
#include <condition_variable>
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

class PtyServer final : public SimServer {
public:
    struct Options {
        std::string linkPath;  // when set: a symlink to the slave device, kept across replug()
    };

    explicit PtyServer(SimTnc& tnc, Options options = {});
    ~PtyServer();

    // Opens the pty and starts the thread; false with error() on failure.
    bool start();
    void stop();
    bool running() const { return thread_.joinable(); }
    std::string slavePath() const;
    std::string error() const;

    // Closes the pty as a pulled USB adapter would: the host's descriptor
    // then reads EIO / hang-up. replug() opens a new pty (the device name may
    // change; the symlink follows it). Both return false when not applicable.
    bool unplug();
    bool replug();
    bool plugged() const;

private:
    enum class Request { None, Unplug, Replug, Stop };
    struct State;

    void wake() override;
    void run();
    bool openPty();
    void closePty();
    bool request(Request what);
    void updateLink();

    Options options_;
    std::unique_ptr<State> state_;
    std::thread thread_;
    mutable std::mutex mutex_;  // guards the fields below and State's request
    std::condition_variable done_;
    std::string slavePath_;
    std::string error_;
    bool plugged_ = false;
};

}  // namespace tncsim
