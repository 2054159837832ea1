// Helpers of the terminal tests: ASCII/UTF-8 text in and out of a text window.
#pragma once

#include <string>
#include <string_view>

#include "terminal/TermText.h"
#include "terminal/TextWindow.h"

namespace norva::test {

// Appends bytes as characters (no code page conversion: tests use ASCII).
inline void put(CTextWindow& w, std::string_view text, int colourClass = 0)
{
    std::u32string u;
    for (char c : text)
        u += static_cast<char32_t>(static_cast<unsigned char>(c));
    w.append(u, colourClass);
}

inline std::string trimmed(std::u32string_view cells)
{
    while (!cells.empty() && cells.back() == U' ')
        cells.remove_suffix(1);
    return termtext::toUtf8(cells);
}

// Held line `index` (0 = oldest) without trailing blanks, as UTF-8.
inline std::string held(const CTextWindow& w, int index)
{
    return trimmed(w.heldLine(index));
}

// Visible row without trailing blanks, as UTF-8.
inline std::string row(const CTextWindow& w, int r)
{
    return trimmed(w.rowText(r));
}

}  // namespace norva::test
