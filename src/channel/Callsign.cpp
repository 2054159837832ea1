// Callsign helpers.
#include "channel/Callsign.h"

#include "platform/Text.h"

namespace norva {

std::string_view callWord(std::string_view text) {
    std::size_t n = 0;
    while (n < text.size()) {
        const auto c = static_cast<unsigned char>(text[n]);
        if (c <= 0x20 || c == 0x7F) break;
        ++n;
    }
    return text.substr(0, n);
}

std::optional<Destination> parseDestination(std::string_view fromConnectedTo) {
    const auto words = splitBlanks(fromConnectedTo);
    if (words.size() < 3) return std::nullopt;
    const std::string word = toUpper(cut(callWord(words[2]), kCallLimit));
    if (word.empty()) return std::nullopt;
    Destination d;
    const auto colon = word.find(':');
    if (colon == std::string::npos) {
        d.call = word;
        d.alias = word;
        return d;
    }
    d.alias = word.substr(0, colon);
    d.call = word.substr(colon + 1);
    if (d.call.empty()) return std::nullopt;
    if (d.alias.empty()) d.alias = d.call;
    return d;
}

std::string_view baseCall(std::string_view call) {
    const auto dash = call.find('-');
    return dash == std::string_view::npos ? call : call.substr(0, dash);
}

std::string withWildcardSsid(std::string_view call) {
    return std::string(baseCall(call)) + "-*";
}

std::string buttonLabel(std::string_view destCall, int channel) {
    if (destCall.empty()) return channel == 0 ? "mon" : "disc";
    return toLower(baseCall(destCall));
}

}  // namespace norva
