// The local command PWD.
#include "station/PasswordAnswering.h"

#include "channel/TncChannel.h"
#include "hostmode/Tnc.h"
#include "station/PasswordFile.h"
#include "station/StationPaths.h"

namespace norva {

void PasswordAnswering::pwdCommand(CTncChannel& channel, std::string_view /*args*/) {
    channel.destroyJob(JobSlot::Password);
    const std::string dest = channel.linkState().destCall();
    if (dest.empty()) {
        channel.show(kPwdNotConnected, kClassTncEcho);
        return;
    }
    // The destination came from the air: it names a file only when it is a callsign.
    HostContext& ctx = channel.tnc().context();
    const auto file = StationPaths(ctx.profile, ctx.programDir).passwordFile(dest);
    if (!file) {
        channel.show("\r" + notACallsignMessage(dest) + "\r", kClassTncEcho);
        return;
    }
    const auto procedure = procedureForMode(readPasswordFile(*file).stationMode);
    if (!procedure) {
        channel.show(kPwdModeNotDefined, kClassTncEcho);
        return;
    }
    channel.setJob(JobSlot::Password, std::make_unique<CPasswordJob>(channel, *procedure, *file, trace_));
}

}  // namespace norva
