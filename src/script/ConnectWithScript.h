// Connecting a station by its connect script: the script is started on the
// first free connection channel of the chosen TNC. Used by the station
// window's "Verbinden", by a station file opened without its window, and
// by the headless ":connect".
#pragma once

#include <string>
#include <string_view>

namespace norva {

class CHostMode;
class ScriptOperator;

struct ConnectWithScriptResult {
    int slot = 0;         // the channel the script runs on; 0 when none
    std::string message;  // for a message box when nothing was started
};

inline constexpr std::string_view kWrongTncNumber = "Verbindung kann nicht erstellt werden.\nFalsche Tnc - Nummer.";
inline constexpr std::string_view kScriptNotFound = "Verbindung kann nicht erstellt werden.\nScript nicht gefunden.";
inline constexpr std::string_view kTncNotActive = "Das gewählte Tnc ist vorhanden, aber nicht aktiv.";

// TNC 1..4; the script is a name in ScriptDir (found ignoring case). A free
// channel is not channel 0, not connected, and has no gateway and no script.
// No free channel: nothing happens (slot 0, no message).
ConnectWithScriptResult connectWithScript(CHostMode& hostMode, int tnc, std::string_view script,
                                          ScriptOperator* op = nullptr);

}  // namespace norva
