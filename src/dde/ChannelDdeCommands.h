// The commands other programs give a channel: execute commands on its
// command topic ("CC KKKK argument": channel number in columns 1-2, keyword
// in 4-7, argument from column 9) and poke items on its data topic. What
// only the channel is needed for is done here; transfers, scripts and the
// remote log-off belong to other parts of the program and are asked for
// through DdeJobRunner.
#pragma once

#include <string>
#include <string_view>

#include "dde/DdeTopics.h"

namespace norva {

class CTncChannel;
class ChannelDdeLinks;
class Profile;

// Colour class of text a program sent into a channel.
inline constexpr int kClassDdeEcho = 8;
// Text this long or longer is sent by a send job, not at once.
inline constexpr std::size_t kDirectSendLimit = 256;

class DdeJobRunner {
public:
    virtual ~DdeJobRunner() = default;
    // A send job "DDE" of the text (CP437) from memory; called only while no send job runs.
    virtual bool sendText(CTncChannel&, std::string_view /*oemText*/) { return false; }
    // A #BIN# (binary) or text send job of a file, added to the send list.
    virtual bool sendFile(CTncChannel&, std::string_view /*path*/, bool /*binary*/) { return false; }
    // A #BIN# reception or a text capture into a file; an empty path stops the running one.
    virtual bool receiveFile(CTncChannel&, std::string_view /*path*/, bool /*binary*/) { return false; }
    // Starts a script file; an empty path stops the running script.
    virtual bool script(CTncChannel&, std::string_view /*path*/) { return false; }
    // Logs the connected station off as the remote server's log-off does.
    virtual void logoff(CTncChannel&) {}
};

class ChannelDdeCommands final : public DdeTopicHandler {
public:
    // links may be null (no outgoing links); runner may be null (only the
    // channel's own commands work).
    ChannelDdeCommands(CTncChannel& channel, ChannelDdeLinks* links, const Profile& profile, DdeJobRunner* runner)
        : channel_(channel), links_(links), profile_(profile), runner_(runner) {}

    bool execute(std::string_view command) override;
    bool poke(std::string_view item, std::string_view data) override;

private:
    bool info(std::string_view utf8Text);
    bool tncCommand(std::string_view oemCommand);
    bool stopSend();
    bool killSends();

    CTncChannel& channel_;
    ChannelDdeLinks* links_;
    const Profile& profile_;
    DdeJobRunner* runner_;
};

}  // namespace norva
