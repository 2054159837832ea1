// The four user menus the operator fills from text files in MenuDir: a run
// menu (programs), a connect menu (connect scripts), a TNC command menu and a
// text menu. This is the file side (reading, the edit round trip) and the
// engine side of choosing an entry; the menu bar itself is the desktop's.
#pragma once

#include <array>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace norva {

class CTncChannel;
class Profile;
class ScriptOperator;

enum class UserMenuKind { Run, Connect, Tnc, Text };
inline constexpr std::array<UserMenuKind, 4> kUserMenuKinds{UserMenuKind::Run, UserMenuKind::Connect,
                                                            UserMenuKind::Tnc, UserMenuKind::Text};

// What names a menu: its file, the edit command's text, and the command id of
// each entry in entry order (entry n gets ids[n-1]).
struct UserMenuInfo {
    std::string_view fileName;
    std::string_view editText;
    std::span<const int> ids;
};
const UserMenuInfo& userMenuInfo(UserMenuKind kind);

struct UserMenuEntry {
    std::string text;     // menu text (UTF-8)
    std::string command;  // command line; empty when the line had no separator
};

struct UserMenu {
    std::vector<UserMenuEntry> entries;  // at most as many as the menu has ids
    std::vector<std::string> problems;   // what was cut or left out, for the operator
};

inline constexpr std::size_t kMenuFileLimit = 30000;   // bytes read of a menu file
inline constexpr std::size_t kMenuTextLimit = 255;     // a menu text or command line is cut here
inline constexpr std::string_view kNewMenuFile = ";Menu Text=Command Line\r\n";

// Parses a menu file's text: lines end in CR LF or LF, empty lines and lines
// holding ";" anywhere are skipped, "=" or "|" (whichever comes first)
// separates text and command. Later entries than ids are left out.
UserMenu parseUserMenu(std::string_view fileText, UserMenuKind kind);

// MenuDir of section frame (program directory when empty) + the file name;
// an existing file whose name differs only in case is used as it is.
std::filesystem::path userMenuPath(const Profile& profile, const std::filesystem::path& programDir,
                                   UserMenuKind kind);
// Reads at most kMenuFileLimit bytes; a missing file is an empty menu.
UserMenu loadUserMenu(const std::filesystem::path& path, UserMenuKind kind);
// The edit round trip: the text to show (creating the file with its one
// comment line when missing), and writing the edited text back as a new file.
bool readMenuFileForEdit(const std::filesystem::path& path, std::string* text, std::string* error);
bool writeMenuFile(const std::filesystem::path& path, std::string_view text, std::string* error);

// Choosing an entry, on the engine thread, on the channel the menu acts on.
// The connect menu's script: the command line, or the menu text + ".scr".
std::string connectMenuScript(const UserMenuEntry& entry);
enum class ConnectMenuResult { Started, ScriptRunning, Failed };
ConnectMenuResult startConnectMenuEntry(CTncChannel& channel, const UserMenuEntry& entry, ScriptOperator* op,
                                        std::string* error);
// "**" + command to the TNC (the channel drops the two marks).
void sendMenuTncCommand(CTncChannel& channel, std::string_view commandUtf8);
// The command line and CR as connected text, shown in the echo colour.
void sendMenuText(CTncChannel& channel, std::string_view commandUtf8);

inline constexpr std::string_view kRunMenuCaption = "Norva Run - Menü";
inline constexpr std::string_view kRunMenuFailed = "Befehl kann nicht ausgeführt werden.";
inline constexpr std::string_view kConnectMenuCaption = "Norva Connect - Menü";
inline constexpr std::string_view kSecondScript = "Ein zweites Script kann nicht gestartet werden.\rEin Script ist bereits aktiv.";

}  // namespace norva
