// The topic "OpenChannelFile": the desktop (or a second start of Norva)
// hands a station file to the running program with Execute("open PATH").
// The whole rest after the first word is the path, so paths with blanks
// arrive whole. Every execute is acknowledged.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "dde/DdeClient.h"
#include "dde/DdeTopics.h"

namespace norva {

inline constexpr std::string_view kOpenFileTopic = "OpenChannelFile";

// The path of an "open PATH" command; empty when there is none.
std::string openCommandPath(std::string_view command);

class OpenFileTopic final : public DdeTopicHandler {
public:
    explicit OpenFileTopic(std::function<void(const std::string& path)> open) : open_(std::move(open)) {}
    bool execute(std::string_view command) override;

private:
    std::function<void(const std::string&)> open_;
};

// The second start's side: asks the Norva serving `service` to open path.
// done(true) when it took the command; done(false) when no Norva answered
// (then this start goes on by itself). False when it cannot even ask.
bool handOffOpen(DdeClient& client, std::string_view service, std::string_view path, std::function<void(bool)> done,
                 std::uint64_t timeoutUsec = kDefaultDdeCallTimeoutUsec);

}  // namespace norva
