// A captured mailbox directory file as the mailbox reader shows it: its
// kind (a DieBox listing or an F6FBB one) and board, the message lines
// (filtered by a mask), the mailbox command for a picked line, and the read
// script for a list of picked lines.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mailbox/MailboxSettings.h"

namespace norva {

enum class BoxFileKind { Unknown = -1, User = 0, Info = 1, Check = 2, Fbb = 3 };

struct BoxDirectory {
    BoxFileKind kind = BoxFileKind::Unknown;
    std::string board;                  // user or board name; empty for the check list
    std::vector<std::string> messages;  // message lines: DieBox as in the file, FBB as fbbDisplayLine
    std::string prompt;                 // FBB: the BBS prompt of the file, without its channel number
};

inline constexpr std::size_t kDirectoryReadLimit = 32765;
// The longest line a script may hold; longer read script lines are cut.
inline constexpr std::size_t kReadScriptLineLimit = 126;

// Reads a directory file: its kind from a DieBox heading in the first 127
// bytes, else from FBB's column heading anywhere (left as in previous when
// there is neither); for DieBox the lines whose first field is a number
// above 0, for FBB its message lines (other lines, prompts among them, are
// passed over); and of those only the ones holding mask (upper case of the
// line as listed; "*" or empty: all).
BoxDirectory readBoxDirectory(const std::filesystem::path& file, const MailboxSettings& settings,
                              std::string_view mask, const BoxDirectory& previous = {});

// The read ("r") or erase ("e") command for a message line; with textLine
// the title replaces the number ("r ALLE < title"). FBB reads with "R 102"
// and kills with "K 102" and knows no titles: textLine changes nothing there.
// Nothing for an unknown kind or a line without the fields the kind needs.
std::optional<std::string> boxCommand(const BoxDirectory& dir, std::string_view line, bool erase, bool textLine);

// The read script: for each line "**Rem " + line, its command, and
// "**WaitforBoxPrompt" followed by an empty line; CR LF line ends. An FBB
// file that holds its BBS's prompt waits with "**WaitFor " + that prompt
// instead (DirBoxPrompt is made for DieBox prompts). Text from the air
// stays text: a title that would turn the command line into a script
// command (or make it too long) gives the command by number, and a line
// without such a command is left out; control characters in the "**Rem"
// line become blanks and it is cut to a script line's length.
std::string readScriptText(const BoxDirectory& dir, const std::vector<std::string>& picked, bool erase,
                           bool textLine);

// The directory files of DieBoxDir matching the pattern ("*.b0?"), sorted.
std::vector<std::string> listBoxDirectories(const MailboxSettings& settings);

}  // namespace norva
