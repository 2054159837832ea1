// F6FBB listings: heading, message lines and prompt, read field by field.
#include "mailbox/FbbListing.h"

#include <algorithm>
#include <vector>

namespace norva {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isUpperOrDigit(char c) {
    return isDigit(c) || (c >= 'A' && c <= 'Z');
}
bool isAlnum(char c) {
    return isUpperOrDigit(c) || (c >= 'a' && c <= 'z');
}

bool allDigits(std::string_view s, std::size_t most) {
    return !s.empty() && s.size() <= most && std::all_of(s.begin(), s.end(), isDigit);
}

int twoDigits(std::string_view s) {
    return (s[0] - '0') * 10 + (s[1] - '0');
}

// A call or a bulletin address: up to 6 letters and digits, an optional SSID.
bool isAddress(std::string_view s) {
    const auto dash = s.find('-');
    const std::string_view base = s.substr(0, dash);
    if (base.empty() || base.size() > 6 || !std::all_of(base.begin(), base.end(), isAlnum))
        return false;
    return dash == std::string_view::npos || allDigits(s.substr(dash + 1), 2);
}

// "@WW", "@DB0FBB.#NRW.DEU.EU": the BBS a message goes to.
bool isRoute(std::string_view s) {
    return s.size() >= 2 && s.size() <= 40 && s.front() == '@' &&
           std::all_of(s.begin() + 1, s.end(),
                       [](char c) { return isAlnum(c) || c == '.' || c == '#' || c == '-'; });
}

// Type (private, bulletin, NTS traffic, acknowledgement), then status and flag letters.
bool isFlags(std::string_view s) {
    return !s.empty() && s.size() <= 4 &&
           std::string_view("PBTA").find(s.front()) != std::string_view::npos &&
           std::all_of(s.begin(), s.end(),
                       [](char c) { return isUpperOrDigit(c) || c == '$' || c == '#'; });
}

// MMDD/HHMM with every part in its range.
bool isFbbDate(std::string_view s) {
    if (s.size() != 9 || s[4] != '/' || !allDigits(s.substr(0, 4), 4) || !allDigits(s.substr(5), 4))
        return false;
    const int month = twoDigits(s.substr(0, 2));
    const int day = twoDigits(s.substr(2, 2));
    return month >= 1 && month <= 12 && day >= 1 && day <= 31 && twoDigits(s.substr(5, 2)) <= 23 &&
           twoDigits(s.substr(7, 2)) <= 59;
}

struct Field {
    std::string_view text;
    std::size_t end;  // where the field ends in the line
};

// The first n blank-separated fields.
std::vector<Field> leadingFields(std::string_view line, std::size_t n) {
    std::vector<Field> out;
    std::size_t i = 0;
    while (out.size() < n && i < line.size()) {
        while (i < line.size() && line[i] == ' ') ++i;
        if (i >= line.size()) break;
        const std::size_t end = std::min(line.find(' ', i), line.size());
        out.push_back({line.substr(i, end - i), end});
        i = end;
    }
    return out;
}

std::string cleanSubject(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    std::string out(s.substr(0, kFbbSubjectLimit));
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

std::string padded(std::string_view s, std::size_t width, bool left) {
    const std::string fill(s.size() < width ? width - s.size() : 0, ' ');
    return left ? fill + std::string(s) : std::string(s) + fill;
}

std::string_view skipBlanks(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    return s;
}

}  // namespace

bool isFbbHeading(std::string_view line) {
    std::string squeezed;
    for (char c : line.substr(0, 32)) {
        if (c == ' ') continue;
        squeezed += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    }
    return squeezed.starts_with("MSG#TS");
}

std::optional<std::size_t> findFbbHeading(std::string_view text) {
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find_first_of("\r\n", start), text.size());
        if (isFbbHeading(skipBlanks(text.substr(start, end - start)))) return start;
        start = end + 1;
    }
    return std::nullopt;
}

std::optional<FbbMessage> parseFbbLine(std::string_view line) {
    if (line.size() > kFbbLineLimit) return std::nullopt;
    const auto f = leadingFields(line, 7);
    if (f.size() < 6) return std::nullopt;
    FbbMessage m;
    if (!allDigits(f[0].text, 9) || f[0].text.find_first_not_of('0') == std::string_view::npos ||
        !isFlags(f[1].text) || !allDigits(f[2].text, 8))
        return std::nullopt;
    m.number = std::string(f[0].text.substr(f[0].text.find_first_not_of('0')));
    m.flags = std::string(f[1].text);
    m.size = std::string(f[2].text);
    // A call that fills the To column runs into the route: "DL2BBB@DB0FBB".
    std::string_view to = f[3].text;
    std::string_view route;
    if (const auto at = to.find('@'); at != std::string_view::npos) {
        route = to.substr(at);
        to = to.substr(0, at);
    }
    std::size_t next = 4;
    if (route.empty() && f[next].text.front() == '@') route = f[next++].text;
    if (!isAddress(to) || (!route.empty() && !isRoute(route)) || next + 1 >= f.size())
        return std::nullopt;
    if (!isAddress(f[next].text) || !isFbbDate(f[next + 1].text)) return std::nullopt;
    m.to = std::string(to);
    m.route = std::string(route);
    m.from = std::string(f[next].text);
    m.date = std::string(f[next + 1].text);
    m.subject = cleanSubject(line.substr(f[next + 1].end));
    return m;
}

std::string fbbDisplayLine(const FbbMessage& m) {
    // 1209/0326 (MMDD/HHMM) shows as 09.12. 03:26, as dates are written here.
    const std::string date = m.date.substr(2, 2) + "." + m.date.substr(0, 2) + ". " +
                             m.date.substr(5, 2) + ":" + m.date.substr(7, 2);
    std::string line = padded(m.number, 6, true) + " " + padded(m.from, 9, false) + " " +
                       padded(m.to + m.route, 16, false) + " " + date + " " +
                       padded(m.size, 6, true);
    if (!m.subject.empty()) line += " " + m.subject;
    return line;
}

std::optional<std::string> fbbPromptText(std::string_view line) {
    while (!line.empty() && (line.back() == ' ' || line.back() == '\r' || line.back() == '\n'))
        line.remove_suffix(1);
    line = skipBlanks(line);
    const auto close = line.find(')');
    if (line.size() > kFbbPromptLimit || line.empty() || line.front() != '(' ||
        close == std::string_view::npos || !allDigits(line.substr(1, close - 1), 3) ||
        line.back() != '>')
        return std::nullopt;
    const std::string_view text = skipBlanks(line.substr(close + 1));
    if (text.size() < 2) return std::nullopt;
    for (char c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return std::nullopt;
    return std::string(text);
}

}  // namespace norva
