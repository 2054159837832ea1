// Connect scripts from station back-links.
#include "station/ConnectPath.h"

#include <algorithm>

#include "platform/Files.h"
#include "platform/Profile.h"
#include "platform/Text.h"
#include "station/StationFile.h"
#include "station/StationPaths.h"

namespace norva {

namespace {

constexpr std::string_view kWait = "**Waitfor Connected to\r\n";

ConnectPathResult failed(int number, std::string_view call) {
    ConnectPathResult r;
    r.error = ConnectPathError{number, toUpper(call), connectPathMessage(number, call)};
    return r;
}

// A hop's command may reach the script only as one plain line: a leading "*"
// would make a text hop a script command of its own.
bool usableCommand(std::string_view cmd) {
    if (cmd.empty() || cmd.front() == '*') return false;
    return std::none_of(cmd.begin(), cmd.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u < 0x20 || u == 0x7f;
    });
}

}  // namespace

std::string connectPathMessage(int number, std::string_view call) {
    std::string reason;
    switch (number) {
        case 1: reason = "kein Connectbefehl"; break;
        case 2: reason = "kein vorhergehendes Call"; break;
        case 3: reason = "zu viele Knoten"; break;
        default: reason = "kein gültiges Rufzeichen oder Connectbefehl"; break;
    }
    std::string shown = toUpper(call.substr(0, 8));
    for (char& c : shown)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
    return "Fehlerhafte Stations Datei !\rDatei:" + shown + ".STN\r\rFehler:" + reason;
}

ConnectPathResult buildConnectPath(const StationPaths& paths, std::string_view destination, int maxStations) {
    ConnectPathResult result;
    int remaining = std::min(maxStations, kMaxPathStations);
    if (remaining <= 0) return result;
    std::string current = toUpper(trim(destination));
    std::string text;
    for (;;) {
        const auto stn = paths.stationFile(withoutWildcard(current));
        if (!stn) return failed(4, current);
        // A refused file (link, FIFO, device, oversized) reads as a missing one.
        if (checkSmallFile(*stn) == SmallFile::Refused) return failed(1, current);
        const Profile p(*stn, Links::Refuse);
        const std::string command = toLower(trim(cut(p.getString(kStationSection, "ConnectCommand", ""), 80)));
        if (command.empty()) return failed(1, current);
        if (!usableCommand(command)) return failed(4, current);
        const std::string last = toLower(trim(cut(p.getString(kStationSection, "LastDestCall", ""), 80)));
        if (last.empty()) return failed(2, current);
        if (last == "local") {
            std::string line = "**" + command;
            if (const auto dash = line.find('-'); dash != std::string::npos) line = line.substr(0, dash) + "-*";
            result.script = line + "\r\n" + std::string(kWait) + text;
            return result;
        }
        text = command + "\r\n" + std::string(kWait) + text;
        current = toUpper(last);
        if (--remaining == 0) return failed(3, current);
    }
}

ConnectPathResult writeConnectScript(const StationPaths& paths, std::string_view destination, int maxStations,
                                     const std::filesystem::path& out) {
    UniqueFd fd = openForWriting(out, CreateMode::Truncate);
    if (!fd) {
        ConnectPathResult r;
        r.error = ConnectPathError{0, toUpper(destination), "Die Datei kann nicht angelegt werden: " + out.string()};
        return r;
    }
    ConnectPathResult r = buildConnectPath(paths, destination, maxStations);
    bool ok = true;
    if (r.ok()) ok = writeAll(fd.get(), r.script);
    ok = fd.close() && ok;
    if (!ok) {
        r.error = ConnectPathError{0, toUpper(destination), "Die Datei kann nicht geschrieben werden: " + out.string()};
    }
    return r;
}

std::string proposedScriptName(std::string_view destination) { return toLower(trim(destination)) + ".scr"; }

}  // namespace norva
