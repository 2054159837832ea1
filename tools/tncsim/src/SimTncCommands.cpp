// SimTnc in host mode: one reply for every host frame, by channel and by the
// first letter of the command.
#include "tncsim/SimTnc.h"

// std
#include <cctype>
#include <string>

// tncsim
#include "Text.h"
#include "tncsim/Radio.h"

namespace tncsim {

namespace {

// Parameter commands of a TF firmware that the simulator accepts and stores.
bool isParameterLetter(char c) {
    return std::string_view("ABEFHKNOPRSTUVWXYZ").find(c) != std::string_view::npos;
}

std::uint8_t ch8(int channel) { return static_cast<std::uint8_t>(channel); }

}  // namespace

std::string SimTnc::processFrame(const HostFrame& frame, bool& leaveHostMode) {
    int ch = frame.channel;
    if (ch == kExtPollChannel) return extendedPoll(frame);
    if (ch > config_.channels) return encodeText(frame.channel, kError, "INVALID CHANNEL NUMBER");
    if (!frame.isCommand()) return infoFrame(ch, frame.data);
    return command(ch, frame.data, leaveHostMode);
}

// Channel 255: "G" lists the channels with pending items, as channel + 1 each.
std::string SimTnc::extendedPoll(const HostFrame& frame) {
    constexpr auto kCh = static_cast<std::uint8_t>(kExtPollChannel);
    if (!config_.extendedPoll) return encodeText(kCh, kError, "INVALID CHANNEL");
    std::string_view text = trimBlanks(frame.data);
    if (!frame.isCommand() || text.empty() || (text[0] != 'G' && text[0] != 'g')) {
        return encodeText(kCh, kError, "INVALID COMMAND");
    }
    std::string list;
    for (int ch = 0; ch <= config_.channels; ++ch) {
        if (!channels_[static_cast<std::size_t>(ch)].pending.empty()) {
            list.push_back(static_cast<char>(ch + 1));
        }
    }
    if (list.empty() && !config_.emptyPollAsText) return encodeOk(kCh);
    return encodeText(kCh, kOkText, list);
}

std::string SimTnc::infoFrame(int ch, std::string_view data) {
    if (ch == 0) {
        radio_.sendUnproto(*this, unprotoDest_, data);
        return encodeOk(0);
    }
    Channel& c = channels_[static_cast<std::size_t>(ch)];
    // Like the firmware, info given during link setup waits for the link.
    if (c.state != kInfoTransfer && c.state != kLinkSetup) {
        return encodeText(ch8(ch), kError, "CHANNEL NOT CONNECTED");
    }
    c.unsent.emplace_back(data);
    note(sent_, ch, data);
    if (c.state == kInfoTransfer) radio_.frameQueued(*this, ch);
    return encodeOk(ch8(ch));
}

std::string SimTnc::command(int ch, std::string_view text, bool& leaveHostMode) {
    std::string_view cmd = trimBlanks(text);
    if (cmd.empty()) return encodeOk(ch8(ch));
    char letter = upper(cmd.substr(0, 1))[0];
    std::string_view arg = trimBlanks(cmd.substr(1));
    switch (letter) {
    case 'G': return cmdGet(ch);
    case 'L': return cmdLinkStatus(ch);
    case '@': return cmdAt(ch, cmd);
    case 'I': return cmdIdent(ch, arg);
    case 'C': return cmdConnect(ch, arg);
    case 'D': return cmdDisconnect(ch);
    case 'M': return cmdMonitor(ch, arg);
    case 'J': return cmdJhost(ch, cmd, leaveHostMode);
    default: break;
    }
    if (isParameterLetter(letter)) return cmdParameter(ch, std::string(1, letter), arg);
    return encodeText(ch8(ch), kError, "INVALID COMMAND");
}

std::string SimTnc::cmdGet(int ch) {
    Channel& c = channels_[static_cast<std::size_t>(ch)];
    if (c.pending.empty()) return encodeOk(ch8(ch));
    Item item = std::move(c.pending.front());
    c.pending.pop_front();
    if (item.code == kMonInfo || item.code == kConnInfo) {
        return encodeCounted(ch8(ch), item.code, item.data);
    }
    return encodeText(ch8(ch), item.code, item.data);
}

std::string SimTnc::cmdLinkStatus(int ch) {
    const Channel& c = channels_[static_cast<std::size_t>(ch)];
    std::size_t status = 0;
    std::size_t data = 0;
    for (const Item& item : c.pending) {
        if (item.code == kLinkStatus) ++status;
        if (item.code == kConnInfo || item.code == kMonHeader || item.code == kMonHeaderInfo) ++data;
    }
    std::string text = std::to_string(status) + " " + std::to_string(data);
    if (ch != 0) {
        int tries = c.state == kLinkSetup ? 1 : 0;
        text += " " + std::to_string(c.unsent.size()) + " " + std::to_string(c.unacked) + " " +
                std::to_string(tries) + " " + std::to_string(c.state);
    }
    return encodeText(ch8(ch), kOkText, text);
}

// "@" commands are "@" + a letter + an optional digit ("@B", "@T2").
std::string SimTnc::cmdAt(int ch, std::string_view cmd) {
    std::string name = upper(cmd.substr(0, 2));
    if (name.size() < 2 || !std::isalpha(static_cast<unsigned char>(name[1]))) {
        return encodeText(ch8(ch), kError, "INVALID COMMAND");
    }
    if (name == "@B") return encodeText(ch8(ch), kOkText, std::to_string(freeBuffers()));
    if (cmd.size() > 2 && std::isdigit(static_cast<unsigned char>(cmd[2]))) name.push_back(cmd[2]);
    return cmdParameter(ch, name, trimBlanks(cmd.substr(name.size())));
}

std::string SimTnc::cmdIdent(int ch, std::string_view arg) {
    if (arg.empty()) return encodeText(ch8(ch), kOkText, channelCall(ch));
    auto call = parseCall(arg);
    if (!call) return encodeText(ch8(ch), kError, "INVALID CALLSIGN");
    if (ch == 0) {
        config_.call = *call;
    } else {
        channels_[static_cast<std::size_t>(ch)].call = *call;
    }
    return encodeOk(ch8(ch));
}

// "C CALL [via] [DIGI...]"; on channel 0 it sets the destination of unproto frames.
std::string SimTnc::cmdConnect(int ch, std::string_view arg) {
    Channel& c = channels_[static_cast<std::size_t>(ch)];
    if (arg.empty()) {
        if (ch == 0) return encodeText(0, kOkText, unprotoDest_);
        if (c.state == kDisconnected) return encodeText(ch8(ch), kError, "CHANNEL NOT CONNECTED");
        return encodeText(ch8(ch), kOkText, c.peer);
    }
    std::vector<std::string> words = splitWords(arg);
    auto target = parseCall(words[0]);
    std::vector<std::string> digis;
    for (std::size_t i = 1; i < words.size(); ++i) {
        std::string w = upper(words[i]);
        if (w == "VIA" || w == "V") continue;
        auto digi = parseCall(w);
        if (!digi) return encodeText(ch8(ch), kError, "INVALID CALLSIGN");
        digis.push_back(*digi);
    }
    if (!target) return encodeText(ch8(ch), kError, "INVALID CALLSIGN");
    if (ch == 0) {
        unprotoDest_ = *target;
        return encodeOk(0);
    }
    if (c.state != kDisconnected) return encodeText(ch8(ch), kError, "CHANNEL ALREADY CONNECTED");
    radio_.connectRequest(*this, ch, *target, digis);
    return encodeOk(ch8(ch));
}

std::string SimTnc::cmdDisconnect(int ch) {
    if (ch == 0 || channels_[static_cast<std::size_t>(ch)].state == kDisconnected) {
        return encodeText(ch8(ch), kError, "CHANNEL NOT CONNECTED");
    }
    radio_.disconnectRequest(*this, ch);
    return encodeOk(ch8(ch));
}

// "MN" switches the monitor off; letters I, U, S, C choose what it shows.
std::string SimTnc::cmdMonitor(int ch, std::string_view arg) {
    std::string flags = upper(arg);
    if (flags.empty()) return encodeText(ch8(ch), kOkText, monitorOn() ? monitorFlags_ : "N");
    if (flags[0] == 'N') {
        monitorFlags_.clear();
        return encodeOk(ch8(ch));
    }
    std::string kept;
    for (char f : flags) {
        if (std::string_view("IUSC").find(f) != std::string_view::npos &&
            kept.find(f) == std::string::npos) {
            kept.push_back(f);
        }
    }
    if (kept.empty()) return encodeText(ch8(ch), kError, "INVALID COMMAND");
    monitorFlags_ = kept;
    return encodeOk(ch8(ch));
}

std::string SimTnc::cmdJhost(int ch, std::string_view cmd, bool& leaveHostMode) {
    std::string text = upper(cmd);
    if (text.rfind("JHOST", 0) != 0) return encodeText(ch8(ch), kError, "INVALID COMMAND");
    std::string_view arg = trimBlanks(std::string_view(text).substr(5));
    if (arg.empty()) return encodeText(ch8(ch), kOkText, "1");
    if (arg == "1") return encodeOk(ch8(ch));
    if (arg == "0") {
        leaveHostMode = true;
        return encodeOk(ch8(ch));
    }
    return encodeText(ch8(ch), kError, "INVALID COMMAND");
}

// Stores the value; without one, tells the stored value ("0" when never set).
std::string SimTnc::cmdParameter(int ch, std::string_view name, std::string_view arg) {
    auto& params = channels_[static_cast<std::size_t>(ch)].params;
    std::string key(name);
    if (arg.empty()) {
        auto it = params.find(key);
        return encodeText(ch8(ch), kOkText, it == params.end() ? "0" : it->second);
    }
    params[key] = std::string(arg.substr(0, 80));
    return encodeOk(ch8(ch));
}

}  // namespace tncsim
