// UTF-8 coding, shared by the CP437 conversion and the text panes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace norva {

// Characters that UTF-8 cannot carry (surrogates, above U+10FFFF) become '?'.
void appendUtf8(std::string& out, char32_t ch);
std::string toUtf8(std::u32string_view text);

// One character at s[i]. A malformed sequence gives ok = false and the length
// of its longest valid-looking prefix (at least 1), so that each broken piece
// counts as exactly one character.
struct Utf8Char {
    bool ok;
    char32_t ch;
    std::size_t len;
};
Utf8Char decodeUtf8(std::string_view s, std::size_t i);

// Malformed pieces become '?', one per piece.
std::u32string fromUtf8(std::string_view utf8);

}  // namespace norva
