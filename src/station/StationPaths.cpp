// Station and password file locations, and the callsign check that guards them.
#include "station/StationPaths.h"

#include <sys/stat.h>

#include <cctype>
#include <cerrno>

#include "platform/FileNames.h"
#include "platform/Files.h"
#include "platform/Profile.h"
#include "platform/Text.h"

namespace norva {

namespace {

bool isAlnum(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; }

}  // namespace

bool isCallsign(std::string_view call) {
    const auto dash = call.find('-');
    const std::string_view base = call.substr(0, dash);
    if (base.empty() || base.size() > 9) return false;
    for (char c : base) {
        if (!isAlnum(c)) return false;
    }
    if (dash == std::string_view::npos) return true;
    const std::string_view ssid = call.substr(dash + 1);
    if (ssid.empty() || ssid.size() > 2) return false;
    for (char c : ssid) {
        if (c < '0' || c > '9') return false;
    }
    return std::stoi(std::string(ssid)) <= 15;
}

std::string_view withoutWildcard(std::string_view call) {
    if (call.size() > 2 && call.substr(call.size() - 2) == "-*") call.remove_suffix(2);
    return call;
}

std::string notACallsignMessage(std::string_view call) {
    std::string shown(call.substr(0, 40));
    for (char& c : shown) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
    }
    return "\"" + shown + "\" ist kein Rufzeichen.";
}

SmallFile checkSmallFile(const std::filesystem::path& path, std::size_t limit) {
    // lstat: a link is judged itself, never what it points to.
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return errno == ENOENT ? SmallFile::Missing : SmallFile::Refused;
    if (!S_ISREG(st.st_mode) || static_cast<std::uintmax_t>(st.st_size) > limit) return SmallFile::Refused;
    return SmallFile::Regular;
}

std::optional<std::string> readSmallFile(const std::filesystem::path& path, std::size_t limit) {
    if (checkSmallFile(path, limit) != SmallFile::Regular) return std::nullopt;
    // Links and non-regular files are refused again at the open itself: the
    // name may have changed since the check.
    // One byte more tells a file that grew past the limit meanwhile.
    auto content = readRegularFile(path, limit + 1, Links::Refuse);
    if (content && content->size() > limit) return std::nullopt;
    return content;
}

std::string refusedFileMessage(const std::filesystem::path& path) {
    std::string shown = path.filename().string().substr(0, 40);
    for (char& c : shown) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
    }
    return "Die Datei " + shown + " ist keine gewöhnliche Datei oder zu groß und wird nicht benutzt.";
}

StationPaths::StationPaths(const Profile& profile, std::filesystem::path programDir)
    : profile_(profile), programDir_(std::move(programDir)) {}

std::filesystem::path StationPaths::stationDir() const {
    return frameDirectory(profile_, "StationDir", programDir_);
}

std::filesystem::path StationPaths::passwordDir() const {
    return frameDirectory(profile_, "PasswordDir", programDir_);
}

std::filesystem::path StationPaths::fileIn(const std::filesystem::path& dir, const std::string& name) const {
    if (auto found = findIgnoringCase(dir, name)) return *found;
    return dir / name;
}

std::optional<std::filesystem::path> StationPaths::stationFile(std::string_view call) const {
    if (!isCallsign(call)) return std::nullopt;
    return fileIn(stationDir(), toUpper(call.substr(0, 8)) + ".stn");
}

std::optional<std::filesystem::path> StationPaths::passwordFile(std::string_view call) const {
    if (!isCallsign(call)) return std::nullopt;
    const std::string name = toUpper(call) + ".pwd";
    if (auto inStations = findIgnoringCase(stationDir(), name)) return *inStations;
    return fileIn(passwordDir(), name);
}

std::filesystem::path StationPaths::aliasFile() const { return programDir_ / "alias.dat"; }

}  // namespace norva
