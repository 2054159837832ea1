// The local command PWD: starts the password job of the connected station's
// procedure in the channel's password slot. Installed as the channel
// registry's PasswordHook; it keeps no state of its own, so one object
// serves every channel of an engine.
#pragma once

#include <string_view>

#include "channel/ChannelHooks.h"
#include "station/PasswordJob.h"

namespace norva {

inline constexpr std::string_view kPwdNotConnected = "\rNicht, wenn Kanal nicht verbunden ist.\r";
inline constexpr std::string_view kPwdModeNotDefined = "\rPassword Mode not defined\r";

class PasswordAnswering final : public PasswordHook {
public:
    // trace, when set, receives every state change of the jobs it starts.
    explicit PasswordAnswering(PasswordTrace trace = {}) : trace_(std::move(trace)) {}

    // PWD: the job of the station's StationMode replaces any earlier one;
    // without a connection, with a destination that is not a callsign, or
    // with no usable mode, a notice in colour class 2 and no job.
    void pwdCommand(CTncChannel& channel, std::string_view args) override;
    // No line is ever taken over: the sysop command goes out only on PWD.

private:
    PasswordTrace trace_;
};

}  // namespace norva
