// libFuzzer entry for the host-mode reply decoder: whatever bytes a TNC
// sends after a request, reception must end (complete, timed out or flushed)
// without reading or writing outside its buffers.
#include <cstddef>
#include <cstdint>

#include "channel/TncChannel.h"
#include "support/HostRig.h"

using namespace norva;
using namespace norva::test;

namespace {

// A TNC on a scripted stream, configured and started once.
struct Rig : HostRig {
    Rig() {
        configure(1, 20, "/dev/fuzz");
        profile.writeInt("1", "DelayTime", 25);
        create();
        state->responder = nullptr;  // from here on the fuzzer's bytes are the replies
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
        CTncChannel* ch = channelOf(*tnc, (how >> 4) & 0x07);
        if (ch) tnc->receiveReply(ch);
    }
    rig.state->pending.clear();
    // Back in sync for the next input.
    rig.state->pending = reply(1, 2, "INVALID COMMAND");
    tnc->resynchronise();
    rig.state->pending.clear();
    return 0;
}
