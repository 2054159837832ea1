// Small ASCII text helpers. Only A-Z/a-z change case; every other byte
// (UTF-8 sequences included) passes through untouched.
#include "platform/Text.h"

#include <algorithm>
#include <climits>

namespace norva {

namespace {

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
char upperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

}  // namespace

std::string toLower(std::string_view s)
{
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(), lowerAscii);
    return out;
}

std::string toUpper(std::string_view s)
{
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(), upperAscii);
    return out;
}

bool iequals(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lowerAscii(a[i]) != lowerAscii(b[i]))
            return false;
    }
    return true;
}

bool icontains(std::string_view haystack, std::string_view needle)
{
    if (needle.empty())
        return true;
    if (needle.size() > haystack.size())
        return false;
    for (std::size_t i = 0; i + needle.size() <= haystack.size(); ++i) {
        if (iequals(haystack.substr(i, needle.size()), needle))
            return true;
    }
    return false;
}

std::string_view trim(std::string_view s)
{
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

std::vector<std::string_view> splitBlanks(std::string_view s)
{
    std::vector<std::string_view> parts;
    std::size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t'))
            ++i;
        std::size_t start = i;
        while (i < s.size() && s[i] != ' ' && s[i] != '\t')
            ++i;
        if (i > start)
            parts.push_back(s.substr(start, i - start));
    }
    return parts;
}

std::string cut(std::string_view s, std::size_t n)
{
    return std::string(s.substr(0, std::min(n, s.size())));
}

int leadingInt(std::string_view s) {
    s = trim(s);
    bool negative = false;
    if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    long long v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') break;
        v = std::min<long long>(v * 10 + (c - '0'), static_cast<long long>(INT_MAX) + 1);
    }
    if (negative) v = -v;
    return static_cast<int>(std::clamp<long long>(v, INT_MIN, INT_MAX));
}

// Messages made for a box keep their words but lose their line breaks.
std::string oneLine(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (c == '\r' || c == '\n' || c == ' ') {
            if (!out.empty() && out.back() != ' ') out += ' ';
            continue;
        }
        out += c;
    }
    return out;
}

bool hasCharsInOrder(std::string_view text, std::string_view chars) {
    std::size_t from = 0;
    for (char c : chars) {
        const std::size_t at = text.find(c, from);
        if (at == std::string_view::npos) return false;
        from = at + 1;
    }
    return true;
}

}  // namespace norva
