// Names of files as the station meets them: the directories the settings
// name, names matched ignoring case (names built from the air or from
// settings written on systems that ignore case), and plain names, the only
// kind of name a remote station may hand us.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace norva {

class Profile;

// The directory a key of section "frame" names (case kept); the program
// directory when the key is empty.
std::filesystem::path frameDirectory(const Profile& profile, std::string_view key,
                                     const std::filesystem::path& programDir);

// The entry of dir with this name: the exact name when it exists, else the
// first entry (in name order) equal to it ignoring case. Nothing for an
// empty name or one holding "/" or NUL: this finds names, not paths.
std::optional<std::filesystem::path> findIgnoringCase(const std::filesystem::path& dir, std::string_view name);

// A file named by the operator or in a script: a plain name or a relative
// path under base, or an absolute path; "\" separates like "/" and a drive
// prefix is dropped. Every part is matched ignoring case (scripts hold
// their words in upper case). Nothing when it does not exist.
std::optional<std::filesystem::path> resolveIgnoringCase(const std::filesystem::path& base, std::string_view name);

// A file to send (":send", ":sendbin", the scripts' SEND and SENDBIN): a
// relative name in the directory key of section "frame" names (SendFileDir,
// BinSendFileDir), then in the program directory; an absolute one where it
// says. Only a regular file is found.
std::optional<std::filesystem::path> findFileToSend(const Profile& profile, std::string_view key,
                                                    const std::filesystem::path& programDir, std::string_view name);

// A plain name: not empty, at most 255 bytes, not starting with "." (no
// ".", "..", hidden files), without "/", "\", ":" or control characters.
bool isPlainName(std::string_view name);
// A name from the air reduced to a plain name: the part after the last
// "/", "\" or ":"; nothing when that part is not plain.
std::optional<std::string> plainName(std::string_view name);

}  // namespace norva
