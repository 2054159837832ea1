// libFuzzer entry for the host-mode reply decoder: whatever bytes a TNC
// sends after a request, reception must end (complete, timed out or flushed)
// without reading or writing outside its buffers.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "channel/TncChannel.h"
#include "hostmode/HostMode.h"
#include "platform/Profile.h"
#include "platform/SystemLog.h"
#include "support/ScriptedStream.h"
#include "support/TempDir.h"

using namespace norva;
using namespace norva::test;

namespace {

struct Rig {
    TempDir dir;
    ManualClock clock;
    Profile profile{dir.path() / "norva.ini"};
    RecordingUi ui;
    SystemLog log{dir.path(), clock};
    std::shared_ptr<StreamState> state = std::make_shared<StreamState>(clock);
    FakeFirmware fw;
    HostContext ctx{profile, clock, ui, log, dir.path(), {}, {}, nullptr};
    std::unique_ptr<CHostMode> host;

    Rig() {
        state->responder = [this](const std::string& w) { return fw.respond(w); };
        ctx.openStream = [s = state](const std::string&, int, std::string*) {
            return std::unique_ptr<ByteStream>(std::make_unique<ScriptedStream>(s));
        };
        profile.writeString("Tnc", "1", "1");
        profile.writeInt("1", "Channels", 20);
        profile.writeString("1", "ComPort", "/dev/fuzz");
        profile.writeInt("1", "Connected", 1);
        profile.writeInt("1", "DelayTime", 25);
        host = std::make_unique<CHostMode>(ctx);
        host->createTncs();
        state->responder = nullptr;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Rig rig;
    CTnc* tnc = rig.host->tnc(1);
    if (!tnc || size < 2) return 0;
    // First byte: how the reply arrives and who expects it; the rest is the reply.
    const std::uint8_t how = data[0];
    rig.state->fragment = how & 0x0F;
    rig.state->pending.assign(reinterpret_cast<const char*>(data + 1), size - 1);
    if (how & 0x80) {
        tnc->extendedPoll();
    } else {
        CTncChannel* ch = tnc->channel((how >> 4) & 0x07);
        if (ch) tnc->receiveReply(ch);
    }
    rig.state->pending.clear();
    // Back in sync for the next input.
    rig.state->pending = reply(1, 2, "INVALID COMMAND");
    tnc->resynchronise();
    rig.state->pending.clear();
    return 0;
}
