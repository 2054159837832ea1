// The real serial code against tncsim on a pty: a TNC link with the real
// clock, a radio with one or more simulated TNCs, each served on a pty.
#pragma once

#include <memory>
#include <vector>

#include "channel/ChannelContext.h"
#include "channel/TncChannel.h"
#include "hostmode/HostMode.h"
#include "platform/ByteStream.h"
#include "platform/Profile.h"
#include "platform/SystemLog.h"
#include "support/ScriptedStream.h"
#include "support/TempDir.h"
#include "tncsim/PtyServer.h"
#include "tncsim/Radio.h"

namespace norva::test {

struct PtyRig {
    TempDir dir;
    RealClock clock;
    Profile profile{dir.path() / "norva.ini"};
    RecordingUi ui;
    SystemLog log{dir.path(), clock};
    ChannelContext ctx{HostContext{profile, clock, ui, log, dir.path(), {}, openStreamByName, nullptr}};
    tncsim::Radio radio;
    std::vector<std::unique_ptr<tncsim::PtyServer>> servers;
    std::unique_ptr<CHostMode> host;

    // Adds a simulated TNC on a pty and configures Norva's TNC n for it.
    tncsim::PtyServer& addTnc(int n, tncsim::TncConfig config, int channels, int delayMs = 25) {
        tncsim::SimTnc& sim = radio.addTnc(config);
        servers.push_back(std::make_unique<tncsim::PtyServer>(sim));
        tncsim::PtyServer& server = *servers.back();
        if (!server.start()) ADD_FAILURE() << server.error();
        const std::string sec = std::to_string(n);
        profile.writeString("Tnc", sec, "1");
        profile.writeString(sec, "TncName", "Sim" + sec);
        profile.writeInt(sec, "Channels", channels);
        profile.writeString(sec, "ComPort", server.slavePath());
        profile.writeInt(sec, "Connected", 1);
        profile.writeInt(sec, "DelayTime", delayMs);
        return server;
    }

    CHostMode& create() {
        host = std::make_unique<CHostMode>(ctx);
        host->createTncs();
        return *host;
    }

    // Poll steps until pred() holds or ms passed.
    template <class Pred>
    bool stepUntil(Pred pred, int ms = 3000) {
        const auto end = clock.monotonicMs() + ms;
        while (clock.monotonicMs() < end) {
            if (pred()) return true;
            host->pollStep();
            clock.sleepMs(1);
        }
        return pred();
    }

    ~PtyRig() {
        host.reset();
        for (auto& s : servers) s->stop();
    }
};

inline std::vector<std::string> commandsOf(tncsim::PtyServer& s) {
    return s.withTnc([](tncsim::SimTnc& t) {
        std::vector<std::string> out;
        for (const auto& f : t.frameLog())
            if (f.code == 1) out.push_back(f.data);
        return out;
    });
}

}  // namespace norva::test
