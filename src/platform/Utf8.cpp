// UTF-8 coding (see Utf8.h).
#include "platform/Utf8.h"

namespace norva {

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

Utf8Char decodeUtf8(std::string_view s, std::size_t i)
{
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80)
        return {true, b0, 1};
    std::size_t need = 0;
    char32_t ch = 0;
    unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        need = 1;
        ch = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        need = 2;
        ch = b0 & 0x0F;
        if (b0 == 0xE0) lo = 0xA0;          // no overlong forms
        if (b0 == 0xED) hi = 0x9F;          // no surrogates
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        need = 3;
        ch = b0 & 0x07;
        if (b0 == 0xF0) lo = 0x90;          // no overlong forms
        if (b0 == 0xF4) hi = 0x8F;          // nothing above U+10FFFF
    } else {
        return {false, 0, 1};
    }
    for (std::size_t k = 1; k <= need; ++k) {
        if (i + k >= s.size())
            return {false, 0, k};
        const auto b = static_cast<unsigned char>(s[i + k]);
        const unsigned char min = k == 1 ? lo : 0x80;
        const unsigned char max = k == 1 ? hi : 0xBF;
        if (b < min || b > max)
            return {false, 0, k};
        ch = (ch << 6) | (b & 0x3F);
    }
    return {true, ch, need + 1};
}

std::string toUtf8(std::u32string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char32_t ch : text)
        appendUtf8(out, ch);
    return out;
}

std::u32string fromUtf8(std::string_view utf8)
{
    std::u32string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const Utf8Char d = decodeUtf8(utf8, i);
        out += d.ok ? d.ch : U'?';
        i += d.len;
    }
    return out;
}

}  // namespace norva
