// Headless station lines: ":station CALL" and ":connect ALIAS".
#include "app/StationConsole.h"

#include <filesystem>

#include "hostmode/HostMode.h"
#include "platform/FileNames.h"
#include "platform/Profile.h"
#include "platform/Text.h"
#include "script/ConnectWithScript.h"
#include "station/AliasList.h"
#include "station/ConnectPath.h"
#include "station/StationFile.h"
#include "station/StationPaths.h"

namespace norva {

namespace {

namespace fs = std::filesystem;

struct Found {
    std::string call;
    fs::path file;
    StationRecord record;
};

// The station a typed call or alias names: its own file when that has a
// DestCall, else the call alias.dat gives for the alias.
std::optional<Found> findStation(const StationPaths& paths, std::string_view typed, std::string* why) {
    const std::string wanted = toUpper(trim(typed));
    std::vector<std::string> candidates;
    if (isCallsign(wanted)) candidates.push_back(wanted);
    const std::string viaAlias = AliasList(paths.aliasFile()).byAlias(wanted);
    if (!viaAlias.empty() && viaAlias != wanted) candidates.push_back(viaAlias);
    for (const std::string& call : candidates) {
        const auto file = paths.stationFile(call);
        if (!file || !fs::exists(*file)) continue;
        StationRecord record = readStationFile(*file);
        if (record.call.empty()) continue;
        return Found{call, *file, std::move(record)};
    }
    *why = candidates.empty() ? notACallsignMessage(wanted) : "keine Stationsdatei für " + wanted;
    return std::nullopt;
}

}  // namespace

std::string describeStation(CHostMode& hostMode, std::string_view callOrAlias) {
    const HostContext& ctx = hostMode.context();
    const StationPaths paths(ctx.profile, ctx.programDir);
    std::string why;
    const auto found = findStation(paths, callOrAlias, &why);
    if (!found) return why;
    const StationRecord& r = found->record;
    std::string text = found->file.string() + "\n";
    const std::pair<const char*, const std::string*> lines[] = {
        {"DestCall", &r.call},         {"AliasDestCall", &r.alias},         {"Qth", &r.qth},
        {"LastDestCall", &r.lastCall}, {"LastAliasDestCall", &r.lastAlias}, {"LastConnectTime", &r.lastLogin},
        {"ConnectCommand", &r.connectCommand}, {"Sysop", &r.sysop},        {"Name", &r.name},
        {"Comment", &r.comment},       {"StationType", &r.stationType},     {"Script", &r.script},
    };
    for (const auto& [key, value] : lines) text += "  " + std::string(key) + "=" + *value + "\n";
    text += "  Tnc=" + std::to_string(r.tnc) + "\n";
    if (const auto pwd = paths.passwordFile(found->call))
        text += "  StationMode=" + readPasswordMode(*pwd) + "\n";
    return text;
}

std::string connectStation(CHostMode& hostMode, std::string_view callOrAlias) {
    const HostContext& ctx = hostMode.context();
    const StationPaths paths(ctx.profile, ctx.programDir);
    std::string why;
    const auto found = findStation(paths, callOrAlias, &why);
    if (!found) return why;

    std::string script = found->record.script;
    if (script.empty()) {
        const fs::path dir = frameDirectory(ctx.profile, "ScriptDir", ctx.programDir);
        script = proposedScriptName(found->call);
        if (!findIgnoringCase(dir, script)) {
            const int maxNodes = ctx.profile.getInt("Frame", "MaxNodes", 100);
            const ConnectPathResult built = writeConnectScript(paths, found->call, maxNodes, dir / script);
            if (!built.ok()) return oneLine(built.error->message);
        }
    }
    const ConnectWithScriptResult started = connectWithScript(hostMode, found->record.tnc, script);
    if (started.slot == 0)
        return started.message.empty() ? "kein freier Kanal auf Tnc " + std::to_string(found->record.tnc)
                                       : oneLine(started.message);
    return found->call + ": " + script + " läuft";
}

}  // namespace norva
