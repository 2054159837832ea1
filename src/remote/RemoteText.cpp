// The remote server's ways of speaking on a channel: replies, echoes and
// the prompt.
#include "remote/RemoteText.h"

#include <cstdio>

#include "channel/TncChannel.h"
#include "hostmode/HostContext.h"
#include "hostmode/Tnc.h"
#include "platform/Cp437.h"
#include "platform/Text.h"

namespace norva {

std::string dateTimeText(const LocalTime& t) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%02d.%02d.%04d %02d:%02d", t.day, t.month, t.year, t.hour, t.minute);
    return buf;
}

std::string clockText(const LocalTime& t) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d:%02d", t.hour, t.minute);
    return buf;
}

void remoteReplyOem(CTncChannel& ch, std::string_view oem) {
    if (oem.empty()) return;
    ch.show(oem, kClassInputEcho);
    ch.sendOperation({kKindInfo, oem});
}

void remoteReply(CTncChannel& ch, std::string_view utf8) { remoteReplyOem(ch, utf8ToOem(utf8)); }

void remoteSendOnly(CTncChannel& ch, std::string_view utf8) {
    const std::string oem = utf8ToOem(utf8);
    ch.sendOperation({kKindInfo, oem});
}

void remoteEchoOnly(CTncChannel& ch, std::string_view utf8) { ch.show(utf8ToOem(utf8), kClassInputEcho); }


}  // namespace norva
