// Starting a connect script on the first free channel of a TNC.
#include "script/ConnectWithScript.h"

#include <algorithm>
#include <cstdio>

#include "channel/ChannelContext.h"
#include "channel/TncChannel.h"
#include "hostmode/HostMode.h"
#include "hostmode/Tnc.h"
#include "platform/FileNames.h"
#include "script/ScriptFiles.h"

namespace norva {

namespace {

bool isFree(const CTncChannel& ch) {
    return ch.number() != 0 && !ch.linkState().linkActive() && ch.linkState().destCall().empty() &&
           !ch.job(JobSlot::Gateway) && !ch.job(JobSlot::Script);
}

std::string withExtension(std::string_view name) {
    std::string file(name);
    const auto dot = file.rfind('.');
    if (dot == std::string::npos || file.find('/', dot) != std::string::npos) file += ".scr";
    return file;
}

}  // namespace

ConnectWithScriptResult connectWithScript(CHostMode& hostMode, int tnc, std::string_view script, ScriptOperator* op) {
    if (tnc < 1 || tnc > 4) return {0, std::string(kWrongTncNumber)};
    const HostContext& ctx = hostMode.context();
    const std::filesystem::path dir = frameDirectory(ctx.profile, "ScriptDir", ctx.programDir);
    if (script.empty() || !resolveIgnoringCase(dir, withExtension(script))) return {0, std::string(kScriptNotFound)};
    CTnc* t = hostMode.tnc(tnc);
    if (!t) return {0, std::string(kWrongTncNumber)};
    if (!t->isOpen()) return {0, std::string(kTncNotActive)};

    auto& channels = static_cast<ChannelContext&>(hostMode.context()).channels;
    for (int n = 1; n <= t->channelCount(); ++n) {
        CTncChannel* ch = channels.channel(tnc, n);
        if (!ch || !isFree(*ch)) continue;
        char notice[300];
        std::snprintf(notice, sizeof notice, "\rSetup connection with script %.*s...\r\r",
                      static_cast<int>(std::min<std::size_t>(script.size(), 255)), script.data());
        ch->show(notice, kClassTncEcho);
        std::string error;
        if (!startScript(*ch, withExtension(script), &error, op)) return {0, error};
        return {ch->slot(), {}};
    }
    return {};
}

}  // namespace norva
