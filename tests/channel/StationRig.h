// Whole stations for the integration tests: an engine with the headless user
// interface and console, its own program directory, and a simulated TNC on a
// pty on a radio shared with the other stations.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#include "app/Engine.h"
#include "app/Headless.h"
#include "app/HeadlessUi.h"
#include "channel/ChannelRegistry.h"
#include "channel/TncChannel.h"
#include "hostmode/Tnc.h"
#include "platform/ByteStream.h"
#include "support/Eventually.h"
#include "support/TempDir.h"
#include "tncsim/PtyServer.h"
#include "tncsim/Radio.h"

namespace norva::test {

struct Station {
    TempDir dir;
    RealClock clock;
    Clock* clockOverride = nullptr;  // set before start() to run on another clock
    std::string busAddress = "unix:path=/nonexistent/norva-test-bus";  // no IPC unless a test gives a bus
    std::string extraIni;                                    // appended to norva.ini by start()
    StreamOpener openStream;                                 // empty: the program's own
    std::function<void(std::string_view)> traceSink;         // the engine's trace, when set
    std::unique_ptr<Profile> profile;
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    HeadlessUi ui{out, err};
    std::unique_ptr<Engine> engine;
    std::unique_ptr<HeadlessConsole> console;

    // Writes norva.ini for TNC 1 on the given port (empty: no TNC) and starts the engine.
    void start(const std::string& port, const std::string& call, int channels = 4) {
        std::string ini;
        if (!port.empty()) {
            ini = "[Tnc]\r\n1=1\r\n[1]\r\nTncName=Sim\r\nChannels=" + std::to_string(channels) +
                  "\r\nComPort=" + port + "\r\nConnected=1\r\nDelayTime=25\r\nMyCall=" + call +
                  "\r\nQrg=144.800\r\n";
        }
        dir.write("norva.ini", ini + "[Link85]\r\nInputEcho=1\r\n" + extraIni);
        profile = std::make_unique<Profile>(dir.path() / "norva.ini");
        EngineConfig config;
        config.programDir = dir.path();
        config.busAddress = busAddress;
        config.openStream = openStream;
        config.trace = traceSink;
        engine = std::make_unique<Engine>(config, *profile, ui, clockOverride ? *clockOverride : clock);
        engine->start();
        console = std::make_unique<HeadlessConsole>(*engine, err);
    }

    // Ends the console and the engine (a derived rig whose callbacks the
    // engine uses calls it first).
    void stop() {
        console.reset();
        if (engine) engine->shutdown();
        engine.reset();
    }

    ~Station() {
        stop();
        std::fclose(out);
        std::fclose(err);
    }

    // Runs fn(channel) on the engine thread for channel n of TNC 1.
    template <class F>
    auto onChannel(int n, F fn) {
        return engine->call([this, n, fn] {
            CTncChannel* ch = engine->context().channels.channel(1, n);
            using R = decltype(fn(*ch));
            if (!ch) return R{};
            return fn(*ch);
        });
    }
    bool tncOpen() {
        return engine->call([this] {
            CTnc* t = engine->hostMode().tnc(1);
            return t && t->isOpen() && !t->outOfSync();
        });
    }
    std::string destCall(int n) {
        return onChannel(n, [](CTncChannel& c) { return c.linkState().destCall(); });
    }
    int linkState(int n) {
        return onChannel(n, [](CTncChannel& c) { return c.linkState().linkStateValue(); });
    }
    std::string output() { return contentsOf(out); }
    std::string errors() { return contentsOf(err); }
    std::string log() { return dir.read("norva.log"); }
};

// Station A and station B, each on a simulated TNC of one radio, both TNCs
// open and in host mode.
struct TwoStations {
    tncsim::Radio radio;
    tncsim::PtyServer serverA{radio.addTnc({})};
    tncsim::PtyServer serverB{radio.addTnc({})};
    Station a;
    Station b;

    // False (with the reason) when a TNC could not be served or started.
    ::testing::AssertionResult start() {
        if (!serverA.start()) return ::testing::AssertionFailure() << serverA.error();
        if (!serverB.start()) return ::testing::AssertionFailure() << serverB.error();
        a.start(serverA.slavePath(), "DA1AAA");
        b.start(serverB.slavePath(), "DB1BBB");
        if (!eventually([&] { return a.tncOpen() && b.tncOpen(); }))
            return ::testing::AssertionFailure() << a.errors() << b.errors();
        return ::testing::AssertionSuccess();
    }
};

inline std::vector<std::string> commandsOn(tncsim::PtyServer& s, int channel) {
    return s.withTnc([channel](tncsim::SimTnc& t) {
        std::vector<std::string> out;
        for (const auto& f : t.frameLog())
            if (f.code != 0 && f.channel == channel) out.push_back(f.data);
        return out;
    });
}

}  // namespace norva::test
