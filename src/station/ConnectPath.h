// Connect scripts built from the back-links of station files: from the
// destination, each station's LastDestCall names the neighbour it was
// reached through, until a station reached "local"ly. Every hop becomes a
// connect line and a "**Waitfor Connected to" line; only the first hop is a
// TNC command ("**"), the later ones are text sent to the node reached so far.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace norva {

class StationPaths;

// Longest path followed, whatever the operator asks for: a loop of
// back-links must end in an error, not in an endless walk.
inline constexpr int kMaxPathStations = 1000;

struct ConnectPathError {
    // 1 no ConnectCommand, 2 no LastDestCall, 3 too many stations,
    // 4 a call or command in a station file that must not be used.
    int number = 0;
    std::string call;     // the station whose file is at fault (upper case)
    std::string message;  // the full text for the message box (caption "Norva")
};

struct ConnectPathResult {
    std::string script;                    // CR LF lines; empty for a maximum of 0
    std::optional<ConnectPathError> error;
    bool ok() const { return !error; }
};

// "Fehlerhafte Stations Datei !\rDatei:" CALL ".STN\r\rFehler:" reason.
std::string connectPathMessage(int number, std::string_view call);

// The script text for reaching destination through at most maxStations
// stations (the local one included). 0 or less gives an empty script and no
// error; more than kMaxPathStations counts as kMaxPathStations.
ConnectPathResult buildConnectPath(const StationPaths& paths, std::string_view destination, int maxStations);

// The same, written to a file the operator chose: the file is created (or
// truncated) first and stays empty when the path is broken. A file that
// cannot be written is error 0 with the reason in the message.
ConnectPathResult writeConnectScript(const StationPaths& paths, std::string_view destination, int maxStations,
                                     const std::filesystem::path& out);

// The name proposed in the save dialog: the destination in lower case + ".scr".
std::string proposedScriptName(std::string_view destination);

}  // namespace norva
