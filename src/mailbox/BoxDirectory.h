// A captured DieBox directory file as the mailbox reader shows it: its kind
// and board, the message lines (filtered by a mask), the mailbox command
// for a picked line, and the read script for a list of picked lines.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mailbox/MailboxSettings.h"

namespace norva {

enum class BoxFileKind { Unknown = -1, User = 0, Info = 1, Check = 2 };

struct BoxDirectory {
    BoxFileKind kind = BoxFileKind::Unknown;
    std::string board;                  // user or board name; empty for the check list
    std::vector<std::string> messages;  // message lines, as in the file
};

inline constexpr std::size_t kDirectoryReadLimit = 32765;

// Reads a directory file: its kind from the first 127 bytes (left as in
// previous when no heading is found there), the lines whose first field is a
// number above 0, and of those only the ones holding mask (upper case of the
// line; "*" or empty: all).
BoxDirectory readBoxDirectory(const std::filesystem::path& file, const MailboxSettings& settings,
                              std::string_view mask, const BoxDirectory& previous = {});

// The read ("r") or erase ("e") command for a message line; with textLine
// the title replaces the number ("r ALLE < title"). Nothing for an unknown
// kind or a line without the fields the kind needs.
std::optional<std::string> boxCommand(const BoxDirectory& dir, std::string_view line, bool erase, bool textLine);

// The read script: for each line "**Rem " + line, its command, and
// "**WaitforBoxPrompt" followed by an empty line; CR LF line ends. Lines
// without a command are left out.
std::string readScriptText(const BoxDirectory& dir, const std::vector<std::string>& picked, bool erase,
                           bool textLine);

// The directory files of DieBoxDir matching the pattern ("*.b0?"), sorted.
std::vector<std::string> listBoxDirectories(const MailboxSettings& settings);

}  // namespace norva
