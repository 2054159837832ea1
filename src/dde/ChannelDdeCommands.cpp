// Execute commands and poke items of a channel.
#include "dde/ChannelDdeCommands.h"

#include <cstdlib>

#include "channel/TncChannel.h"
#include "dde/BusNames.h"
#include "dde/DdeLinks.h"
#include "hostmode/FrameRecord.h"
#include "platform/Cp437.h"

namespace norva {

namespace {

// atoi of the two characters: leading blanks, a sign, digits.
int channelField(std::string_view command) {
    const std::string two(command.substr(0, 2));
    return std::atoi(two.c_str());
}

}  // namespace

bool ChannelDdeCommands::execute(std::string_view command) {
    if (command.size() < 7) return false;
    if (channelField(command) != channel_.number()) return false;
    const std::string keyword = upperAscii(command.substr(3, 4));
    const std::string_view argument = command.size() > 8 ? command.substr(8) : std::string_view{};
    if (keyword == "INFO") return info(argument);
    if (keyword == "CDDE") return links_ && links_->connectNamed(argument, profile_);
    if (keyword == "DDDE") return links_ && links_->disconnectNamed(argument, profile_);
    if (keyword == "ATNC") {
        // From column 7 on: the channel's text out drops the two characters before the argument.
        channel_.textOut(utf8ToOem(command.substr(6)), kKindCommand, false);
        return true;
    }
    if (keyword == "QUIT") {
        if (runner_) runner_->logoff(channel_);
        return true;
    }
    if (keyword == "STOP") return stopSend();
    return false;
}

bool ChannelDdeCommands::poke(std::string_view item, std::string_view data) {
    const std::string name = upperAscii(item);
    if (name == "CONV") return info(data);
    if (name == "CMD") return tncCommand(utf8ToOem(data));
    if (name == "STOP") return stopSend();
    if (name == "KILL") return killSends();
    if (name == "QUIT") {
        if (runner_) runner_->logoff(channel_);
        return true;
    }
    if (name == "REM") {
        channel_.settings().remote = !data.empty();
        return true;
    }
    if (name == "REMQUIT") {
        channel_.settings().remoteQuit = !data.empty();
        return true;
    }
    if (!runner_) return false;
    if (name == "SBIN" || name == "SEND") {
        // An empty text stops the running send; with nothing running there is no file to open.
        if (data.empty()) return channel_.job(JobSlot::Send) && stopSend();
        return runner_->sendFile(channel_, data, name == "SBIN");
    }
    if (name == "RBIN" || name == "READ") return runner_->receiveFile(channel_, data, name == "RBIN");
    if (name == "SCRIPT") return runner_->script(channel_, data);
    return false;
}

bool ChannelDdeCommands::info(std::string_view utf8Text) {
    const std::string oem = utf8ToOem(utf8Text);
    if (oem.size() < kDirectSendLimit) {
        channel_.textOut(oem, kKindInfo, false);
        channel_.show(oem, kClassDdeEcho);
        return true;
    }
    if (channel_.job(JobSlot::Send)) return false;
    // A job that cannot be made is not the caller's failure: still acknowledged.
    if (runner_) runner_->sendText(channel_, oem);
    return true;
}

bool ChannelDdeCommands::tncCommand(std::string_view oemCommand) {
    // The channel's text out drops two characters of an input prefix; a poked command has none.
    channel_.textOut("  " + std::string(oemCommand), kKindCommand, false);
    return true;
}

bool ChannelDdeCommands::stopSend() {
    if (channel_.job(JobSlot::Send)) channel_.destroyJob(JobSlot::Send);
    return true;
}

bool ChannelDdeCommands::killSends() {
    stopSend();
    CTransferQueue& queue = channel_.transferQueue();
    while (!queue.empty()) queue.remove(queue.first(true));
    return true;
}

}  // namespace norva
