// The station file (.stn, section "Station") as the station window sees it:
// one value type with every field, loading it (with the alias fallback and
// the password mode from the .pwd file) and saving it back. Values are cut
// to the limits the files have always had and never carry line breaks, so a
// value can not smuggle keys into the file.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace norva {

class Profile;
class StationPaths;

inline constexpr std::size_t kStationValueLimit = 80;
inline constexpr std::string_view kStationSection = "Station";
inline constexpr std::string_view kNoPassword = "no Password";
inline constexpr std::string_view kTypeUndefined = "undefined";
inline constexpr std::string_view kTypeMailbox = "Mailbox";
inline constexpr std::string_view kTypeNode = "normal Node";
inline constexpr std::string_view kNoCallMessage = "Bitte geben Sie ein Rufzeichen an.";

// Everything the station window shows of one station.
struct StationRecord {
    std::string call;            // DestCall
    std::string alias;           // AliasDestCall
    std::string qth;             // Qth
    std::string lastCall;        // LastDestCall ("local": reached directly)
    std::string lastAlias;       // LastAliasDestCall
    std::string lastLogin;       // LastConnectTime
    std::string connectCommand;  // ConnectCommand
    std::string sysop;           // Sysop
    std::string name;            // Name
    std::string comment;         // Comment
    std::string stationType{kTypeUndefined};  // StationType
    std::string passwordMode{kNoPassword};    // StationMode of the .pwd file
    int tnc = 1;                 // Tnc
    std::string script;          // Script
    bool displayOnOpen = true;   // DisplayOnOpen
    bool operator==(const StationRecord&) const = default;
};

// What an operation the operator asked for came to: ok, or the message to show.
struct StationResult {
    bool ok = true;
    std::string message;
    static StationResult failure(std::string text) { return {false, std::move(text)}; }
    explicit operator bool() const { return ok; }
};

// A value as it may be stored: control characters become blanks, surrounding
// blanks go, and it is cut to limit bytes without splitting a UTF-8 character.
std::string boundedValue(std::string_view value, std::size_t limit = kStationValueLimit);

// Every key of a station file with its default (a missing file reads as all
// defaults, and so does one checkSmallFile refuses). The password mode is
// left at its default.
StationRecord readStationFile(const std::filesystem::path& stn);
// StationMode of a password file; "no Password" when missing.
std::string readPasswordMode(const std::filesystem::path& pwd);

// Creates a missing password file empty with mode 0600, and takes group and
// other rights from an existing one: it holds secrets. False on failure and
// for a refused file (see checkSmallFile).
bool securePasswordFile(const std::filesystem::path& pwd);

struct StationLoad {
    // Nothing: no station to show (empty call, or no file and no alias led to one).
    std::optional<StationRecord> record;
    std::filesystem::path stationPath;
    std::filesystem::path passwordPath;
    // Set when the call was refused (not a callsign).
    std::string message;
};

// Loads a station into the window. A file without DestCall is looked up in
// alias.dat, first by call, then by alias; the call found must name a file
// with a DestCall. On success LastEditStation (section "frame" of settings)
// becomes the file name without extension.
StationLoad loadStation(const StationPaths& paths, Profile& settings, std::string_view call);

// Saves the window's fields: DestCall, AliasDestCall, Qth, LastDestCall,
// LastAliasDestCall, LastConnectTime, ConnectCommand, Sysop, Comment,
// StationType, Script, Name, Tnc in that order, and StationMode to the
// password file (created 0600), one rewrite each. An empty call gives
// "Bitte geben Sie ein Rufzeichen an." and writes nothing; so does a call
// that is no callsign, and a refused station or password file.
StationResult saveStation(const StationPaths& paths, const StationRecord& record);

// The window's check box "Beim nächsten Öffen wieder anzeigen".
StationResult setDisplayOnOpen(const StationPaths& paths, std::string_view call, bool on);

}  // namespace norva
