// Line builders of the context-menu commands "Connect <...>" and "Read <...>":
// they turn the map program's selection and the clipboard into a line for the
// connected node or mailbox. Texts are UTF-8; lines end in CR.
#pragma once

// std
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace norva {

// Callsign of an alias, or nullopt when the text is no alias.
using AliasResolver = std::function<std::optional<std::string>(std::string_view alias)>;

struct ConnectPlan {
    enum class Kind {
        Nothing,  // neither map selection nor clipboard gave a call
        Send,     // send `line`
        Choose,   // ask "Station auswahlen" between mapCall and clipboardCall
    };
    Kind kind = Kind::Nothing;
    std::string line;           // "c CALL\r" when kind is Send
    std::string mapCall;        // when kind is Choose
    std::string clipboardCall;  // when kind is Choose
};

// Longest call taken from the map selection or the clipboard.
inline constexpr std::size_t kMaxConnectTarget = 80;
// "Read <...>" looks at this many characters of the clipboard.
inline constexpr std::size_t kMaxReadText = 20;

// Both texts are trimmed, cut to their first line and to kMaxConnectTarget
// characters and upper-cased; the clipboard call then goes through the alias
// resolver (when given). Two different calls need a choice; otherwise the map
// call wins over the clipboard call.
ConnectPlan planConnect(std::string_view mapSelection, std::string_view clipboard,
                        const AliasResolver& resolveAlias = {});
// "c " + call + CR.
std::string connectLine(std::string_view call);
// "r " + text + CR from the first kMaxReadText characters of the clipboard's
// first line; a text with ".." is a range: its first two "."-separated fields
// (runs of dots are one separator) joined by a blank, so "12..15" gives
// "r 12 15". Nullopt for an empty clipboard.
std::optional<std::string> buildReadLine(std::string_view clipboard);

}  // namespace norva
