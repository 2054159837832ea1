// Where a station's files live and which callsigns may name them. A call
// comes from the air or from a node's text, so it becomes a file name only
// when it is a callsign: letters and digits, at most one "-" followed by an
// SSID 0..15. Everything else is refused before any path is built.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace norva {

class Profile;

// Letters and digits (1..9 of them, at least one digit or letter), then
// optionally "-" and an SSID 0..15. "*" and blanks are refused; case is free.
bool isCallsign(std::string_view call);

// A call the TNC was told to connect with any SSID ("DB0ABC-*") stands
// for its base call when a file is named after it; other calls are kept.
std::string_view withoutWildcard(std::string_view call);

// The operator-visible refusal for a call that is not a callsign.
std::string notACallsignMessage(std::string_view call);

// A station or password file is a few hundred bytes; one beyond this
// is no such file. It is treated as unreadable and never overwritten, so a
// cut copy can never replace it.
inline constexpr std::size_t kSmallFileLimit = 64 * 1024;

// What may be done with a file whose name was built from a callsign.
// Refused: something else has that name (a symbolic link, a FIFO, a device,
// a directory) or the file is larger than limit. Such a file is
// read as missing and never written, so nothing waits on it, follows it or
// cuts it. The check never opens the name, so a device is not touched.
enum class SmallFile { Missing, Regular, Refused };
SmallFile checkSmallFile(const std::filesystem::path& path, std::size_t limit = kSmallFileLimit);

// The whole of such a file, read without following a link at its name and
// without blocking. Nothing when it is missing or refused.
std::optional<std::string> readSmallFile(const std::filesystem::path& path, std::size_t limit = kSmallFileLimit);

// The refusal shown for such a file (its name only, no directory).
std::string refusedFileMessage(const std::filesystem::path& path);

class StationPaths {
public:
    StationPaths(const Profile& profile, std::filesystem::path programDir);

    // StationDir / PasswordDir of section "frame"; the program directory when empty.
    std::filesystem::path stationDir() const;
    std::filesystem::path passwordDir() const;
    const std::filesystem::path& programDir() const { return programDir_; }

    // The station file of a call: its first 8 characters (upper case) + ".stn"
    // in the station directory; an existing file whose name differs only in
    // case is used as it is. Nothing when the call is not a callsign.
    std::optional<std::filesystem::path> stationFile(std::string_view call) const;
    // The password file: the full call + ".pwd" in the station directory when
    // it exists there (any case), else in the password directory.
    std::optional<std::filesystem::path> passwordFile(std::string_view call) const;
    // alias.dat in the program directory.
    std::filesystem::path aliasFile() const;

private:
    std::filesystem::path fileIn(const std::filesystem::path& dir, const std::string& name) const;

    const Profile& profile_;
    std::filesystem::path programDir_;
};

}  // namespace norva
