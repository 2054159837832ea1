// The name rules of BusNames.h.
#include "dde/BusNames.h"

#include "platform/Utf8.h"

namespace norva {

namespace {

bool isAlnum(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

// Calls put(c) for a plain ASCII character and put('\0') for anything else,
// once per UTF-8 character (or per broken piece).
template <class Put>
void eachCharacter(std::string_view s, Put put) {
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            put(static_cast<char>(c));
            ++i;
            continue;
        }
        const Utf8Char u = decodeUtf8(s, i);
        put('\0');
        i += u.len ? u.len : 1;
    }
}

}  // namespace

std::string lowerAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::string upperAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

std::string serviceBusName(std::string_view serviceName) {
    std::string element;
    eachCharacter(serviceName.empty() ? std::string_view("norva") : serviceName, [&](char c) {
        element += (isAlnum(c) || c == '_' || c == '-') ? c : '_';
    });
    if (element[0] >= '0' && element[0] <= '9') element.insert(element.begin(), '_');
    const std::size_t room = kMaxBusNameLength - kBusNamePrefix.size();
    if (element.size() > room) element.resize(room);
    return std::string(kBusNamePrefix) + element;
}

std::string topicObjectPath(std::string_view topic) {
    if (topic.empty() || topic.size() > kMaxDdeNameLength) return {};
    std::string path(kTopicPathPrefix);
    path += '/';
    bool partEmpty = true;
    eachCharacter(topic, [&](char c) {
        if (c == '/') {
            if (partEmpty) path += '_';
            path += '/';
            partEmpty = true;
            return;
        }
        path += (isAlnum(c) || c == '_') ? c : '_';
        partEmpty = false;
    });
    if (partEmpty) path += '_';
    return path;
}

}  // namespace norva
