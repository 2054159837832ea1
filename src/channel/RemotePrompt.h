// The remote prompt: what a remote station sees after every remote command
// and at the end of every job a remote command started.
#pragma once

#include <string>
#include <string_view>

namespace norva {

class CTncChannel;

// "\r\r", "<remote> de " when a station is connected, the callsign (the
// override in upper case, else the own call), " (HH:MM)>".
std::string remotePromptText(const CTncChannel& channel, std::string_view callOverride = {});
// Shows the prompt as text the station itself sent, then sends it.
void sendRemotePrompt(CTncChannel& channel, std::string_view callOverride = {});

}  // namespace norva
