// F6FBB's message listings as the mailbox reader meets them: the column
// heading that starts the answer to "L" ("Msg#   TSLD  Size To    @Route
// From   Date/Time Subject"), one message line of it, and the BBS prompt
// ("(1) DB0FBB BBS (H for help) >"). Everything here reads text from the
// air: lines are bounded and anything not of the expected shape is refused.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace norva {

struct FbbMessage {
    std::string number;  // digits
    std::string flags;   // type, status and flags as listed ("B$L", "PN")
    std::string size;    // digits
    std::string to;      // "ALL", "DL2BBB-1"
    std::string route;   // "@WW", empty for most private mail
    std::string from;
    std::string date;     // MMDD/HHMM as listed
    std::string subject;  // control characters made blanks, cut at kFbbSubjectLimit
};

// Longer lines are no message lines of FBB (its lines are below 100 bytes).
inline constexpr std::size_t kFbbLineLimit = 256;
inline constexpr std::size_t kFbbSubjectLimit = 80;
inline constexpr std::size_t kFbbPromptLimit = 80;

// A line starting (after blanks) with the column heading: "Msg#" and the
// type column, blanks not counted, any case (English "Msg#   TSLD", French
// "Msg #  TSD").
bool isFbbHeading(std::string_view line);
// Where in text the first line holding the heading starts; nothing without one.
std::optional<std::size_t> findFbbHeading(std::string_view text);

// One line of a listing: number, flags, size, to (the route may follow it
// without a blank when the call fills its column), an optional @route,
// from, MMDD/HHMM, subject. Nothing for any other line.
std::optional<FbbMessage> parseFbbLine(std::string_view line);

// The line the reader lists: number, from, to@route, date, size, subject
// ("   102 DL9SYS    ALL@WW           09.12. 03:26     72 Rig bulletin").
// It starts with the number, which is all the read command needs.
std::string fbbDisplayLine(const FbbMessage& message);

// FBB's prompt without its channel number: "(1) DB0FBB BBS (H for help) >"
// gives "DB0FBB BBS (H for help) >". Nothing for other lines.
std::optional<std::string> fbbPromptText(std::string_view line);

}  // namespace norva
