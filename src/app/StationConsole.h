// The station lines of the headless console: showing a station file and
// connecting a station by its connect script or its connect path. Run on
// the engine thread; each returns the text for the operator.
#pragma once

#include <string>
#include <string_view>

namespace norva {

class CHostMode;

// "DestCall=..." lines of the station file of a call (or of the call an
// alias stands for), or why there is none.
std::string describeStation(CHostMode& hostMode, std::string_view callOrAlias);

// Connects a station on the first free channel of its TNC: with the
// station's own Script, else with ScriptDir's "<call>.scr", else with a
// connect script built from the connect path and saved under that name.
// The text says what was started or why nothing was.
std::string connectStation(CHostMode& hostMode, std::string_view callOrAlias);

}  // namespace norva
