// Character helpers of the terminal panes (see TermText.h).
#include "terminal/TermText.h"

namespace norva::termtext {

char32_t foldCase(char32_t ch)
{
    if (ch >= U'A' && ch <= U'Z')
        return ch + 0x20;
    if (ch >= 0xC0 && ch <= 0xDE && ch != 0xD7)
        return ch + 0x20;
    return ch;
}

char32_t commandUpper(char32_t ch)
{
    if (ch >= U'a' && ch <= U'z')
        return ch - 0x20;
    switch (ch) {
    case U'ä': return U'Ä';
    case U'ö': return U'Ö';
    case U'ü': return U'Ü';
    case U'é': return U'É';
    case U'å': return U'Å';
    case U'æ': return U'Æ';
    case U'ç': return U'Ç';
    case U'ñ': return U'Ñ';
    default: return ch;
    }
}

std::string_view trimSpace(std::string_view s)
{
    constexpr std::string_view kSpace = " \t\r\n";
    const auto first = s.find_first_not_of(kSpace);
    if (first == std::string_view::npos)
        return {};
    const auto last = s.find_last_not_of(kSpace);
    return s.substr(first, last - first + 1);
}

std::string_view firstLine(std::string_view s)
{
    return s.substr(0, s.find_first_of("\r\n"));
}

}  // namespace norva::termtext
