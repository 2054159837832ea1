// The station directory as a list: its .stn files, deleting one, and taking
// in a .stn file opened from outside (double click, drop, command line).
// A file from outside may hold anything: it is size-checked, read with the
// usual limits, and its DestCall, Script and Tnc are checked before use.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "station/StationFile.h"
#include "station/StationPaths.h"

namespace norva {

class StationPaths;

// A station file larger than this is not a station file.
inline constexpr std::uintmax_t kStationFileLimit = kSmallFileLimit;

// Names (without extension) of the *.stn files of the station directory
// (extension in any case), sorted.
std::vector<std::string> listStations(const StationPaths& paths);

// File names of the *.scr files of a directory (extension in any case), sorted:
// the station window's script list (the directory is ScriptDir of section
// "frame", else the program directory: frameDirectory(profile, "ScriptDir", programDir)).
std::vector<std::string> listScripts(const std::filesystem::path& scriptDir);

// Deletes the .stn file of that name (without extension) from the station
// directory; the password file stays. The name must be a plain name.
StationResult deleteStation(const StationPaths& paths, std::string_view name);

// The questions asked before a file from outside is taken in (caption "Norva", OK and Cancel).
std::string takeOverQuestion(std::string_view fileName);   // "Datei %s in Stationsverzeichnis uebernehmen ?"
std::string overwriteQuestion(std::string_view fileName);  // "Die Datei %s existiert bereits. Datei ueberschreiben ?"

struct OutsideFile {
    bool ok = false;
    std::string message;                 // why the file is refused
    std::filesystem::path source;        // resolved (symbolic links followed)
    std::string fileName;                // its name
    bool inStationDir = false;           // already in the station directory: nothing to copy
    bool existsInStationDir = false;     // a file of that name (any case) is there: ask before overwriting
    std::filesystem::path target;        // where a copy goes
};

// Looks at a .stn file opened from outside.
OutsideFile inspectOutsideFile(const StationPaths& paths, const std::filesystem::path& file);

// Copies it into the station directory (after the operator agreed), replacing
// the target in one step. The result's message says what failed.
StationResult copyIntoStationDir(const OutsideFile& file);

// What opening a station file needs from it.
struct StationOpen {
    bool ok = false;
    std::string message;
    std::string destCall;       // DestCall, a callsign
    bool displayOnOpen = true;  // DisplayOnOpen
    int tnc = 1;                // Tnc as written; connectWithScript refuses a wrong one with its own text
    std::string script;         // Script, a plain name or empty
};

// Reads DestCall, DisplayOnOpen, Tnc and Script of a station file and refuses
// a file whose DestCall is no callsign or whose Script is not a plain name
// (a path would run a script from anywhere).
StationOpen readOpenInfo(const std::filesystem::path& stn);

}  // namespace norva
