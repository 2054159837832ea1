// KissTnc, host side: host-mode frames from the engine and their replies,
// worded and coded as TF firmware answers them, and the terminal mode a
// JHOST 0 leaves it in.
#include "kiss/KissTnc.h"
#include "kiss/KissTncChannel.h"

#include <algorithm>
#include <cctype>
#include <map>

#include "platform/Clock.h"
#include "platform/Text.h"

namespace norva::kiss {

namespace {

constexpr std::uint8_t kOk = 0;
constexpr std::uint8_t kOkText = 1;
constexpr std::uint8_t kError = 2;
constexpr int kExtPoll = 255;

std::string encodeOk(int ch) { return {static_cast<char>(ch), static_cast<char>(kOk)}; }

std::string encodeText(int ch, std::uint8_t code, std::string_view text) {
    std::string out{static_cast<char>(ch), static_cast<char>(code)};
    for (char c : text)
        if (c != '\0') out.push_back(c);
    out.push_back('\0');
    return out;
}

std::string encodeCounted(int ch, std::uint8_t code, std::string_view payload) {
    if (payload.empty()) return encodeOk(ch);
    payload = payload.substr(0, 256);
    std::string out{static_cast<char>(ch), static_cast<char>(code), static_cast<char>(payload.size() - 1)};
    out.append(payload);
    return out;
}

std::optional<int> number(std::string_view s) {
    if (s.empty() || s.size() > 9) return std::nullopt;
    int v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return std::nullopt;
        v = v * 10 + (c - '0');
    }
    return v;
}

// Parameter letters of TF firmware this TNC takes and stores without effect.
bool isStoredLetter(char c) { return std::string_view("ABEHKRSUVXZ").find(c) != std::string_view::npos; }

std::string pathText(const Ax25Address& dest, const std::vector<Ax25Address>& via) {
    std::string s = addressText(dest);
    for (std::size_t i = 0; i < via.size(); ++i) s += (i == 0 ? " via " : " ") + addressText(via[i]);
    return s;
}

}  // namespace

void KissTnc::hostByte(std::uint8_t b) {
    switch (have_) {
    case 0: frameChannel_ = b; have_ = 1; return;
    case 1: frameCode_ = b; have_ = 2; return;
    case 2:
        frameLength_ = std::size_t{b} + 1;
        frameData_.clear();
        have_ = 3;
        return;
    default: break;
    }
    frameData_.push_back(static_cast<char>(b));
    if (frameData_.size() < frameLength_) return;
    have_ = 0;
    out_ += processFrame(frameChannel_, frameCode_ != 0, frameData_);
}

// Terminal mode only waits for ESC JHOST 1.
void KissTnc::terminalByte(std::uint8_t b) {
    if (b == '\r' || b == '\n') {
        std::string line = toUpper(termLine_);
        termLine_.clear();
        line.erase(std::remove(line.begin(), line.end(), ' '), line.end());
        if (line.find("JHOST1") != std::string::npos) {
            hostMode_ = true;
            have_ = 0;
            trace("kiss: host mode");
        }
        return;
    }
    if (b == 0x1B || termLine_.size() >= 80) termLine_.clear();
    if (b >= 0x20) termLine_.push_back(static_cast<char>(b));
}

std::string KissTnc::processFrame(int ch, bool command, std::string_view data) {
    if (ch == kExtPoll) return extendedPoll(command, data);
    if (ch > settings_.channels) return encodeText(ch, kError, "INVALID CHANNEL NUMBER");
    if (!command) return infoFrame(ch, data);
    return this->command(ch, data);
}

// Channel 255: "G" lists the channels with something pending, each as channel + 1.
std::string KissTnc::extendedPoll(bool command, std::string_view data) {
    const std::string_view text = trim(data);
    if (!command || text.empty() || (text[0] != 'G' && text[0] != 'g'))
        return encodeText(kExtPoll, kError, "INVALID COMMAND");
    std::string list;
    for (int ch = 0; ch <= settings_.channels; ++ch)
        if (!channels_[static_cast<std::size_t>(ch)]->pending.empty()) list.push_back(static_cast<char>(ch + 1));
    if (list.empty()) return encodeOk(kExtPoll);
    return encodeText(kExtPoll, kOkText, list);
}

std::string KissTnc::infoFrame(int ch, std::string_view data) {
    if (ch == 0) {
        Ax25Frame ui;
        ui.dest = unprotoDest_;
        ui.src = channelCall(0);
        ui.digis = unprotoVia_;
        ui.type = FrameType::UI;
        ui.info = std::string(data);
        transmit(ui);
        return encodeOk(0);
    }
    Ax25Link& link = channels_[static_cast<std::size_t>(ch)]->link;
    // Like the firmware, info given during link setup waits for the link.
    if (link.state() == LinkState::Disconnected || link.state() == LinkState::AwaitingRelease)
        return encodeText(ch, kError, "CHANNEL NOT CONNECTED");
    link.send(data, now());
    return encodeOk(ch);
}

std::string KissTnc::command(int ch, std::string_view text) {
    const std::string_view cmd = trim(text);
    if (cmd.empty()) return encodeOk(ch);
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(cmd[0])));
    const std::string_view arg = trim(cmd.substr(1));
    switch (letter) {
    case 'G': return cmdGet(ch);
    case 'L': return cmdLinkStatus(ch);
    case '@': return cmdAt(ch, cmd);
    case 'I': return cmdIdent(ch, arg);
    case 'C': return cmdConnect(ch, arg);
    case 'D': return cmdDisconnect(ch);
    case 'M': return cmdMonitor(ch, arg);
    case 'J': return cmdJhost(ch, cmd);
    case 'F':
    case 'N':
    case 'O':
    case 'P':
    case 'T':
    case 'W':
    case 'Y': return cmdNumber(ch, letter, arg);
    default: break;
    }
    if (isStoredLetter(letter)) return cmdParameter(ch, std::string(1, letter), arg);
    std::string shown(1, letter);
    if (static_cast<unsigned char>(letter) < 0x20 || static_cast<unsigned char>(letter) >= 0x7F) shown = "?";
    return encodeText(ch, kError, "INVALID COMMAND: " + shown);
}

std::string KissTnc::cmdGet(int ch) {
    auto& pending = channels_[static_cast<std::size_t>(ch)]->pending;
    if (pending.empty()) return encodeOk(ch);
    Item item = std::move(pending.front());
    pending.pop_front();
    updateBusy(ch);
    if (item.code == 6 || item.code == 7) return encodeCounted(ch, item.code, item.data);
    return encodeText(ch, item.code, item.data);
}

// "status data" on channel 0; on the others also unsent and unacknowledged
// frames, retries and the link state as TF numbers it.
std::string KissTnc::cmdLinkStatus(int ch) {
    const Channel& c = *channels_[static_cast<std::size_t>(ch)];
    std::size_t status = 0;
    std::size_t data = 0;
    for (const Item& item : c.pending) {
        if (item.code == 3) ++status;
        if (item.code == 7 || item.code == 4 || item.code == 5) ++data;
    }
    std::string text = std::to_string(status) + " " + std::to_string(data);
    if (ch != 0) {
        int state = 0;
        switch (c.link.state()) {
        case LinkState::Disconnected: state = 0; break;
        case LinkState::AwaitingConnection: state = 1; break;
        case LinkState::AwaitingRelease: state = 3; break;
        case LinkState::Connected:
        case LinkState::TimerRecovery: state = 4; break;
        }
        text += " " + std::to_string(c.link.unsent()) + " " + std::to_string(c.link.unacked()) + " " +
                std::to_string(c.link.tries()) + " " + std::to_string(state);
    }
    return encodeText(ch, kOkText, text);
}

// "@B" free buffers; "@T2"/"@T3" the acknowledgement delay and link check in 10 ms.
std::string KissTnc::cmdAt(int ch, std::string_view cmd) {
    std::string name = toUpper(cmd.substr(0, 2));
    if (name.size() < 2 || !std::isalpha(static_cast<unsigned char>(name[1])))
        return encodeText(ch, kError, "INVALID COMMAND: @");
    if (name == "@B") return encodeText(ch, kOkText, std::to_string(freeBuffers()));
    if (cmd.size() > 2 && std::isdigit(static_cast<unsigned char>(cmd[2]))) name.push_back(cmd[2]);
    const std::string_view arg = trim(cmd.substr(name.size()));
    if (name == "@T2" || name == "@T3") {
        int& ms = name == "@T2" ? settings_.t2Ms : settings_.t3Ms;
        if (arg.empty()) return encodeText(ch, kOkText, std::to_string(ms / 10));
        const auto v = number(arg);
        if (!v) return encodeText(ch, kError, "INVALID VALUE");
        ms = *v * 10;
        applyParams();
        return encodeOk(ch);
    }
    return cmdParameter(ch, name, arg);
}

std::string KissTnc::cmdIdent(int ch, std::string_view arg) {
    if (arg.empty()) return encodeText(ch, kOkText, addressText(channelCall(ch)));
    const auto call = parseAddress(arg);
    if (!call) return encodeText(ch, kError, "INVALID CALLSIGN");
    if (ch == 0)
        settings_.myCall = addressText(*call);
    else
        channels_[static_cast<std::size_t>(ch)]->call = addressText(*call);
    return encodeOk(ch);
}

// "C CALL [via] [DIGI...]"; on channel 0 it sets the destination of unproto frames.
std::string KissTnc::cmdConnect(int ch, std::string_view arg) {
    Ax25Link& link = channels_[static_cast<std::size_t>(ch)]->link;
    if (arg.empty()) {
        if (ch == 0) return encodeText(0, kOkText, pathText(unprotoDest_, unprotoVia_));
        if (link.state() == LinkState::Disconnected) return encodeText(ch, kError, "CHANNEL NOT CONNECTED");
        return encodeText(ch, kOkText, addressText(link.peer()));
    }
    const auto w = splitBlanks(arg);
    const auto target = parseAddress(w[0]);
    std::vector<Ax25Address> digis;
    for (std::size_t i = 1; i < w.size(); ++i) {
        const std::string u = toUpper(w[i]);
        if (u == "VIA" || u == "V") continue;
        const auto digi = parseAddress(u);
        if (!digi) return encodeText(ch, kError, "INVALID CALLSIGN");
        digis.push_back(*digi);
    }
    if (!target) return encodeText(ch, kError, "INVALID CALLSIGN");
    if (digis.size() > kMaxDigis) return encodeText(ch, kError, "TOO MANY DIGIPEATERS");
    if (ch == 0) {
        unprotoDest_ = *target;
        unprotoVia_ = digis;
        return encodeOk(0);
    }
    if (link.state() != LinkState::Disconnected) return encodeText(ch, kError, "CHANNEL ALREADY CONNECTED");
    link.setAddresses(channelCall(ch), *target, digis);
    link.connect(now());
    return encodeOk(ch);
}

std::string KissTnc::cmdDisconnect(int ch) {
    if (ch == 0 || channels_[static_cast<std::size_t>(ch)]->link.state() == LinkState::Disconnected)
        return encodeText(ch, kError, "CHANNEL NOT CONNECTED");
    channels_[static_cast<std::size_t>(ch)]->link.disconnect(now());
    return encodeOk(ch);
}

// "MN" switches the monitor off; letters I, U, S, C choose what it shows.
std::string KissTnc::cmdMonitor(int ch, std::string_view arg) {
    const std::string flags = toUpper(arg);
    if (flags.empty()) return encodeText(ch, kOkText, monitorFlags_.empty() ? "N" : monitorFlags_);
    if (flags[0] == 'N') {
        monitorFlags_.clear();
        return encodeOk(ch);
    }
    std::string kept;
    for (char f : flags)
        if (std::string_view("IUSC").find(f) != std::string_view::npos && kept.find(f) == std::string::npos)
            kept.push_back(f);
    if (kept.empty()) return encodeText(ch, kError, "INVALID COMMAND: M");
    monitorFlags_ = kept;
    return encodeOk(ch);
}

std::string KissTnc::cmdJhost(int ch, std::string_view cmd) {
    const std::string text = toUpper(cmd);
    if (text.rfind("JHOST", 0) != 0) return encodeText(ch, kError, "INVALID COMMAND: J");
    const std::string_view arg = trim(std::string_view(text).substr(5));
    if (arg.empty()) return encodeText(ch, kOkText, "1");
    if (arg == "1") return encodeOk(ch);
    if (arg == "0") {
        hostMode_ = false;
        termLine_.clear();
        trace("kiss: terminal mode");
        return encodeOk(ch);
    }
    return encodeText(ch, kError, "INVALID COMMAND: J");
}

// Numeric settings with an effect: F (FRACK, s), N (retries), O (MaxFrame),
// P (persistence), T (TXDELAY, 10 ms), W (slot time, 10 ms), Y (links callers may open).
std::string KissTnc::cmdNumber(int ch, char letter, std::string_view arg) {
    struct Entry {
        int* value;
        int scale;
        int lo;
        int hi;
        bool kiss;
    };
    const std::map<char, Entry> table = {
        {'F', {&settings_.frackMs, 1000, 1, 15, false}}, {'N', {&settings_.retries, 1, 1, 127, false}},
        {'O', {&settings_.maxFrame, 1, 1, 7, false}},     {'P', {&settings_.persist, 1, 0, 255, true}},
        {'T', {&settings_.txDelay, 1, 0, 255, true}},     {'W', {&settings_.slotTime, 1, 0, 255, true}},
        {'Y', {&maxIncoming_, 1, 0, settings_.channels, false}},
    };
    const Entry& e = table.at(letter);
    if (arg.empty()) {
        const int v = letter == 'Y' && maxIncoming_ < 0 ? settings_.channels : *e.value / e.scale;
        return encodeText(ch, kOkText, std::to_string(v));
    }
    const auto v = number(arg);
    if (!v) return encodeText(ch, kError, "INVALID VALUE");
    *e.value = std::clamp(*v, e.lo, e.hi) * e.scale;
    applyParams();
    if (e.kiss) modem_.sendParameters();
    return encodeOk(ch);
}

// Stores the value; without one, tells the stored value ("0" when never set).
std::string KissTnc::cmdParameter(int ch, const std::string& name, std::string_view arg) {
    auto& params = channels_[static_cast<std::size_t>(ch)]->params;
    if (arg.empty()) {
        const auto it = params.find(name);
        return encodeText(ch, kOkText, it == params.end() ? "0" : it->second);
    }
    params[name] = std::string(arg.substr(0, 80));
    return encodeOk(ch);
}

}  // namespace norva::kiss
