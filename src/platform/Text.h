// Small text helpers shared by the core: ASCII case changes, blank splitting,
// bounded copies. Callsigns and commands are ASCII; other bytes are kept.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace norva {

std::string toLower(std::string_view s);
std::string toUpper(std::string_view s);
bool iequals(std::string_view a, std::string_view b);
bool icontains(std::string_view haystack, std::string_view needle);
std::string_view trim(std::string_view s);
// Splits at runs of blanks (and tabs); empty pieces are dropped.
std::vector<std::string_view> splitBlanks(std::string_view s);
// An integer as GetPrivateProfileInt reads one: leading blanks, an optional
// sign, the leading digits ("12abc" is 12, "abc" 0); beyond int it is clamped.
int leadingInt(std::string_view s);
// At most n bytes of s: settings and texts have fixed limits; longer input is cut, never overflows.
std::string cut(std::string_view s, std::size_t n);

// Text made for a message box on one line: line breaks become blanks,
// runs of blanks one blank.
std::string oneLine(std::string_view text);

// Each character of chars occurs in text, each after the one before (how a
// mailbox prompt pattern such as "()de>" is matched against its last line).
bool hasCharsInOrder(std::string_view text, std::string_view chars);

}  // namespace norva
