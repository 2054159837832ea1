// Small text helpers of the simulator.
#include "Text.h"

// std
#include <cctype>

namespace tncsim {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string withoutZeroSsid(std::string_view call) {
    std::string u = upper(trimBlanks(call));
    if (u.size() > 2 && u.compare(u.size() - 2, 2, "-0") == 0) u.resize(u.size() - 2);
    return u;
}

}  // namespace

std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

std::string upper(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

std::vector<std::string> splitWords(std::string_view text) {
    std::vector<std::string> words;
    std::string word;
    for (char c : text) {
        if (isBlank(c) || c == ',') {
            if (!word.empty()) words.push_back(std::move(word));
            word.clear();
            continue;
        }
        word.push_back(c);
    }
    if (!word.empty()) words.push_back(std::move(word));
    return words;
}

std::optional<std::string> parseCall(std::string_view text) {
    text = trimBlanks(text);
    if (text.empty() || text.size() > 9) return std::nullopt;
    for (char c : text) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-') return std::nullopt;
    }
    return upper(text);
}

bool sameCall(std::string_view a, std::string_view b) {
    return withoutZeroSsid(a) == withoutZeroSsid(b);
}

}  // namespace tncsim
