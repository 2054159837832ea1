// Character helpers of the terminal panes: UTF-8 coding of cell text, and the
// case changes used by the search (lower) and by command lines (upper).
#pragma once

// std
#include <string>
#include <string_view>

// Norva
#include "platform/Utf8.h"

namespace norva::termtext {

using ::norva::appendUtf8;
using ::norva::fromUtf8;
using ::norva::toUtf8;

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
