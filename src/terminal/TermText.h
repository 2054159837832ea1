// Character helpers of the terminal panes: UTF-8 coding of cell text, and the
// case changes used by the search (lower) and by command lines (upper).
#pragma once

// std
#include <string>
#include <string_view>

namespace norva::termtext {

void appendUtf8(std::string& out, char32_t ch);
std::string toUtf8(std::u32string_view text);
// Malformed sequences become '?', one per broken piece.
std::u32string fromUtf8(std::string_view utf8);

// Lower case for ASCII and Latin-1 letters; everything else unchanged.
char32_t foldCase(char32_t ch);
// Upper case for ASCII letters and for the accented letters whose capital CP437
// can carry (ä ö ü é å æ ç ñ), so that an upper-cased command still converts
// to on-air bytes without '?'.
char32_t commandUpper(char32_t ch);

// The text without leading and trailing blanks, tabs, CRs and LFs.
std::string_view trimSpace(std::string_view s);
// The text up to its first CR or LF.
std::string_view firstLine(std::string_view s);

}  // namespace norva::termtext
