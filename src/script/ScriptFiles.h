// Finding and starting scripts: names resolved in ScriptDir ignoring case,
// the checks made before a script may run, and the entry points the user
// interface, the headless console and the scheduler use.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace norva {

class CTncChannel;
class ScriptOperator;

// The script directory of the channel's engine (ScriptDir, else the program directory).
std::filesystem::path scriptDirectory(const CTncChannel& channel);

// Starts a script from ScriptDir (".scr" is added to a name without one) in
// the channel's Script slot. False, with the reason in *error and in the
// channel window, when one already runs there, it is missing, or it does
// not pass the checks; nothing else changes then.
bool startScript(CTncChannel& channel, std::string_view name, std::string* error = nullptr,
                 ScriptOperator* op = nullptr);
// Stops the channel's script; false when none ran.
bool stopScript(CTncChannel& channel);
// The operator closed the box a script's MSGBOX opened on this channel.
void scriptOperatorDone(CTncChannel& channel);

}  // namespace norva
