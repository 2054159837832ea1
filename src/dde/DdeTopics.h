// What a topic owner (a channel, the station-file opener) sees of the DDE
// service: it registers a topic with a handler and reports item changes.
// Kept free of sd-bus so topic owners can be tested without a bus.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace norva {

// Longest poke data, execute command or item value taken from or given to
// the bus (UTF-8 bytes). Longer arguments are refused with an error reply.
inline constexpr std::size_t kMaxDdeDataLength = 64 * 1024;

// Answers the calls on one topic. All text is UTF-8. The defaults answer
// "no such item" and "not processed".
class DdeTopicHandler {
public:
    virtual ~DdeTopicHandler() = default;
    // The current value of an item; nullopt when the topic has no such item.
    virtual std::optional<std::string> request(std::string_view /*item*/) { return std::nullopt; }
    // True when the poke was processed.
    virtual bool poke(std::string_view /*item*/, std::string_view /*data*/) { return false; }
    // True when the command was processed.
    virtual bool execute(std::string_view /*command*/) { return false; }
};

class DdeTopicHost {
public:
    virtual ~DdeTopicHost() = default;
    // False when the topic (or one mapping to the same object path) exists
    // already, or its name cannot be used. The handler must outlive the
    // registration.
    virtual bool registerTopic(std::string_view topic, DdeTopicHandler& handler) = 0;
    // Drops the topic and every advise on it.
    virtual void unregisterTopic(std::string_view topic) = 0;
    // An item of a topic has a new value: clients advising it are told.
    virtual void itemChanged(std::string_view topic, std::string_view item, std::string_view value) = 0;
};

}  // namespace norva
