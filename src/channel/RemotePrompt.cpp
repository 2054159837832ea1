// The remote prompt.
#include "channel/RemotePrompt.h"

#include <cstdio>

#include "channel/TncChannel.h"
#include "hostmode/HostContext.h"
#include "hostmode/Tnc.h"
#include "platform/Clock.h"
#include "platform/Text.h"

namespace norva {

std::string remotePromptText(const CTncChannel& channel, std::string_view callOverride) {
    const CLinkState& link = channel.linkState();
    std::string text = "\r\r";
    if (!link.destCall().empty()) text += link.destCall() + " de ";
    text += callOverride.empty() ? link.myCall() : toUpper(callOverride);
    const LocalTime t = channel.tnc().context().clock.localTime();
    char clock[16];
    std::snprintf(clock, sizeof clock, " (%02d:%02d)>", t.hour, t.minute);
    return text + clock;
}

void sendRemotePrompt(CTncChannel& channel, std::string_view callOverride) {
    const std::string text = remotePromptText(channel, callOverride);
    channel.show(text, kClassInputEcho);
    channel.sendOperation({kKindInfo, text});
}

}  // namespace norva
