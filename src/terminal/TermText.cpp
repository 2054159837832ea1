// Character helpers of the terminal panes (see TermText.h).
#include "terminal/TermText.h"

namespace norva::termtext {

void appendUtf8(std::string& out, char32_t ch)
{
    if (ch > 0x10FFFF || (ch >= 0xD800 && ch <= 0xDFFF))
        ch = U'?';
    if (ch < 0x80) {
        out += static_cast<char>(ch);
    } else if (ch < 0x800) {
        out += static_cast<char>(0xC0 | (ch >> 6));
        out += static_cast<char>(0x80 | (ch & 0x3F));
    } else if (ch < 0x10000) {
        out += static_cast<char>(0xE0 | (ch >> 12));
        out += static_cast<char>(0x80 | ((ch >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (ch & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (ch >> 18));
        out += static_cast<char>(0x80 | ((ch >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((ch >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (ch & 0x3F));
    }
}

std::string toUtf8(std::u32string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char32_t ch : text)
        appendUtf8(out, ch);
    return out;
}

namespace {

bool isContinuation(unsigned char b)
{
    return (b & 0xC0) == 0x80;
}

// Decodes one character at s[i]; returns its length (at least 1) and sets ch
// to '?' for a malformed piece.
std::size_t decodeOne(std::string_view s, std::size_t i, char32_t& ch)
{
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) {
        ch = b0;
        return 1;
    }
    std::size_t need = 0;
    char32_t value = 0;
    char32_t minimum = 0;
    if ((b0 & 0xE0) == 0xC0) {
        need = 1, value = b0 & 0x1F, minimum = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        need = 2, value = b0 & 0x0F, minimum = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        need = 3, value = b0 & 0x07, minimum = 0x10000;
    } else {
        ch = U'?';
        return 1;
    }
    std::size_t len = 1;
    while (len <= need && i + len < s.size() && isContinuation(static_cast<unsigned char>(s[i + len]))) {
        value = (value << 6) | (static_cast<unsigned char>(s[i + len]) & 0x3F);
        ++len;
    }
    const bool ok = len == need + 1 && value >= minimum && value <= 0x10FFFF &&
                    !(value >= 0xD800 && value <= 0xDFFF);
    ch = ok ? value : U'?';
    return len;
}

}  // namespace

std::u32string fromUtf8(std::string_view utf8)
{
    std::u32string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t ch = 0;
        i += decodeOne(utf8, i, ch);
        out += ch;
    }
    return out;
}

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
