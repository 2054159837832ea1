// The password file of a station (<CALL>.pwd): section "Station" with the
// answering procedure, the sysop command and the secrets, and for a DieBox
// the 1620-character code block stored after the section. The file holds
// secrets: it is created with mode 0600 and kept so after every write, and
// nothing here writes a value anywhere but into that file. Its name comes
// from a callsign: a link, a FIFO or a device in its place, or a file
// beyond kSmallFileLimit, reads as missing and is never written.
#pragma once

#include <cstddef>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

namespace norva {

class StationPaths;

// Values are read into (and written from) 128-byte buffers: 127 characters.
inline constexpr std::size_t kPasswordValueLimit = 127;
// The DieBox code block: 20 lines of 80 characters and one of 20.
inline constexpr std::size_t kDieBoxBlockLength = 1620;
// Characters of the block a reader takes, and of the dialog field a writer stores.
inline constexpr std::size_t kDieBoxStoredLimit = 2000;
inline constexpr std::string_view kDieBoxMarker = "[dieboxpassword]";

// The keys of section "Station", each cut to kPasswordValueLimit.
struct PasswordSettings {
    std::string stationMode = "no Password";
    std::string sysopCommand;
    std::string password;
    std::string loginText;
    std::string destCall;
    std::string aliasDestCall;
};

// Reads the keys; a missing or unreadable file gives the defaults (empty
// values, "no Password").
PasswordSettings readPasswordFile(const std::filesystem::path& file);

// The DieBox block as stored in a file's bytes: after the marker and the
// two characters behind it (its CR LF), up to the first blank, byte 26 or
// byte 205, at most kDieBoxStoredLimit bytes. Line breaks are kept. Empty
// when the bytes hold no marker.
std::string dieBoxBlockFromBytes(std::string_view fileBytes);
// The block of a password file (see above); empty when there is none.
std::string readDieBoxBlock(const std::filesystem::path& file);
// The code block without its line breaks.
std::string dieBoxSecret(std::string_view block);

// Writes keys of section "Station" in one rewrite, creating the file (0600)
// when needed. Each value is cut at its first line break and to
// kPasswordValueLimit. False when the file could not be written or made
// private.
bool writePasswordKeys(const std::filesystem::path& file,
                       std::initializer_list<std::pair<std::string_view, std::string_view>> keys);
bool writePasswordKey(const std::filesystem::path& file, std::string_view key, std::string_view value);

// What the TheNet/Norva and the FlexNet/SP dialogs store on OK (one rewrite).
bool writeNodePassword(const std::filesystem::path& file, std::string_view password,
                       std::string_view sysopCommand);

// What the DieBox dialog stores on OK: the file is made anew with these keys,
// and the block (the dialog's field, at most kDieBoxStoredLimit characters,
// any line ends) follows the section when it is not empty.
struct DieBoxPasswordEntry {
    std::string destCall;
    std::string aliasDestCall;
    std::string sysopCommand = "PRIV";
    std::string stationMode = "DieBox";
    std::string loginText = "Dummy Login Text";
    std::string block;
};
bool writeDieBoxPassword(const std::filesystem::path& file, const DieBoxPasswordEntry& entry);
// The file bytes writeDieBoxPassword stores (for tests and the fuzzer).
std::string dieBoxFileBytes(const DieBoxPasswordEntry& entry);

// A DieBox's "LOGIN:" line received from destCall, stored as LoginText in the
// station's password file: the text up to its first CR, control characters
// replaced, cut to kPasswordValueLimit. False when destCall is not a
// callsign (no path is built then) or the file could not be written.
bool storeLoginText(const StationPaths& paths, std::string_view destCall, std::string_view text);

}  // namespace norva
