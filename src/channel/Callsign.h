// Callsigns as they come from the air and from users: upper-case text with an
// optional SSID after "-", node destinations as "ALIAS:CALL", the wildcard
// SSID "-*". Everything here works on bounded copies and accepts any bytes.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace norva {

// Longest callsign text kept: a longer one from the air or a file is cut, never stored whole.
inline constexpr std::size_t kCallLimit = 80;

// The word up to the first blank, control character or DEL.
std::string_view callWord(std::string_view text);

struct Destination {
    std::string alias;  // node alias, or the call itself
    std::string call;
};

// From a text that begins at "connected to": the third blank-separated word,
// upper-cased; "ALIAS:CALL" splits into both. Nothing when the word is
// missing or holds no call.
std::optional<Destination> parseDestination(std::string_view fromConnectedTo);

// The call without its SSID ("DL1ABC-3" -> "DL1ABC").
std::string_view baseCall(std::string_view call);
// The call with its SSID replaced by "-*" (added when it has none).
std::string withWildcardSsid(std::string_view call);
// The channel bar label: the call in lower case without SSID, or "disc"
// ("mon" on channel 0) when there is no destination.
std::string buttonLabel(std::string_view destCall, int channel);

}  // namespace norva
