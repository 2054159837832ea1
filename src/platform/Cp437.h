// On the air text is CP437 (the DOS code page); inside Norva it is UTF-8.
// One conversion table serves both directions.
#pragma once

#include <string>
#include <string_view>

namespace norva {

// Every byte maps to one Unicode character (bytes below 0x20 and 0x7F stay as
// the control characters they are).
char32_t cp437ToUnicode(unsigned char byte);
// The CP437 byte of a character, or '?' when CP437 has none.
unsigned char unicodeToCp437(char32_t ch);

std::string oemToUtf8(std::string_view oem);
// Malformed UTF-8 sequences become '?'.
std::string utf8ToOem(std::string_view utf8);

}  // namespace norva
