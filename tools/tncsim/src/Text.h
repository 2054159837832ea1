// Small text helpers of the simulator: trimming, upper case, callsigns.
#pragma once

// std
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tncsim {

std::string_view trimBlanks(std::string_view text);  // blanks, tabs, CR, LF at both ends
std::string upper(std::string_view text);
std::vector<std::string> splitWords(std::string_view text);
// A callsign as typed ("dl1aaa-3"): upper-cased when it has 1..9 characters
// of letters, digits and "-"; nothing otherwise.
std::optional<std::string> parseCall(std::string_view text);
// Compares calls the way AX.25 does: case-insensitive, "-0" is no SSID.
bool sameCall(std::string_view a, std::string_view b);

}  // namespace tncsim
