// A TNC link on fakes: temporary program directory, manual clock, recording
// UI and scripted streams answered by a fake firmware. The recording UI
// can be exchanged for one that records more.
#pragma once

#include <memory>

#include "channel/ChannelContext.h"
#include "channel/TncChannel.h"
#include "hostmode/HostMode.h"
#include "platform/Profile.h"
#include "platform/SystemLog.h"
#include "support/ScriptedStream.h"
#include "support/TempDir.h"

namespace norva::test {

// The channel object of a TNC: the rig's factory makes CTncChannel objects.
inline CTncChannel* channelOf(const CTnc& tnc, int n) { return static_cast<CTncChannel*>(tnc.channel(n)); }

template <class Ui>
struct BasicHostRig {
    TempDir dir;
    ManualClock clock;
    Profile profile{dir.path() / "norva.ini"};
    Ui ui;
    SystemLog log{dir.path(), clock};
    std::shared_ptr<StreamState> state = std::make_shared<StreamState>(clock);
    FakeFirmware fw;
    ChannelContext ctx{HostContext{profile, clock, ui, log, dir.path(), {}, {}, nullptr}};
    std::unique_ptr<CHostMode> host;

    BasicHostRig() {
        clock.setLocalTime({2024, 3, 5, 9, 7, 0});
        state->responder = [this](const std::string& w) { return fw.respond(w); };
        ctx.openStream = [s = state](const std::string& name, int, std::string* err) {
            ++s->opens;
            s->openedNames.push_back(name);
            if (s->failOpen) {
                if (err) *err = "no such device";
                return std::unique_ptr<ByteStream>();
            }
            return std::unique_ptr<ByteStream>(std::make_unique<ScriptedStream>(s));
        };
    }

    void configure(int n, int channels, const std::string& port = "/dev/ttyFAKE0",
                   int connected = 1, const std::string& name = "") {
        const std::string sec = std::to_string(n);
        profile.writeString("Tnc", sec, "1");
        profile.writeString(sec, "TncName", name.empty() ? "TNC" + sec : name);
        profile.writeInt(sec, "Channels", channels);
        profile.writeString(sec, "ComPort", port);
        profile.writeInt(sec, "Connected", connected);
    }

    CHostMode& create() {
        host = std::make_unique<CHostMode>(ctx);
        host->createTncs();
        return *host;
    }
    // The TNCs go before the services they use.
    ~BasicHostRig() { host.reset(); }
};

using HostRig = BasicHostRig<RecordingUi>;

}  // namespace norva::test
