// KissTnc: the byte-stream face towards the engine, the radio side (frames
// from the modem to the links and the monitor), and the opener by port name.
#include "kiss/KissTnc.h"
#include "kiss/KissTncChannel.h"

#include <poll.h>

#include <algorithm>
#include <cctype>
#include <map>

#include "platform/Clock.h"
#include "platform/Text.h"

namespace norva::kiss {

namespace {

constexpr std::uint8_t kLinkStatusCode = 3;
constexpr std::uint8_t kMonHeader = 4;
constexpr std::uint8_t kMonHeaderInfo = 5;
constexpr std::uint8_t kMonInfo = 6;
constexpr std::uint8_t kConnInfo = 7;
constexpr std::size_t kMaxItem = 256;
constexpr std::size_t kMonitorLimit = 400;  // monitor items kept; older ones go first
constexpr std::size_t kBusyAbove = 200;     // received items a channel holds before RNR
constexpr std::size_t kBusyBelow = 50;
constexpr long kBuffers = 800;              // "@B" with nothing in use

const char* decodeErrorText(DecodeError e) {
    switch (e) {
    case DecodeError::TooShort: return "too short";
    case DecodeError::BadCallsign: return "bad callsign";
    case DecodeError::TooManyDigis: return "more than 8 digipeaters";
    case DecodeError::BadControl: return "bad control field";
    case DecodeError::None: break;
    }
    return "?";
}

std::vector<Ax25Address> reversePath(const std::vector<Ax25Address>& digis) {
    std::vector<Ax25Address> back(digis.rbegin(), digis.rend());
    for (auto& d : back) d.bit = false;
    return back;
}

}  // namespace

bool isKissPortName(std::string_view name) { return name.size() >= 5 && iequals(name.substr(0, 5), "kiss:"); }

std::optional<KissTarget> parseKissPortName(std::string_view name) {
    if (!isKissPortName(name)) return std::nullopt;
    std::string_view rest = name.substr(5);
    KissTarget t;
    if (rest.size() < 4 || !iequals(rest.substr(0, 4), "tcp:")) {
        if (rest.empty()) return std::nullopt;
        t.device = std::string(rest);
        return t;
    }
    rest.remove_prefix(4);
    t.tcp = true;
    std::string_view host = rest;
    std::string_view port;
    if (!rest.empty() && rest.front() == '[') {  // [IPv6]:PORT
        const auto close = rest.find(']');
        if (close == std::string_view::npos) return std::nullopt;
        host = rest.substr(1, close - 1);
        const std::string_view after = rest.substr(close + 1);
        if (!after.empty()) {
            if (after.front() != ':') return std::nullopt;
            port = after.substr(1);
            if (port.empty()) return std::nullopt;
        }
    } else if (const auto colon = rest.find(':'); colon != std::string_view::npos) {
        host = rest.substr(0, colon);
        port = rest.substr(colon + 1);
        if (port.empty()) return std::nullopt;
    }
    if (!port.empty()) {
        int v = 0;
        if (port.size() > 5) return std::nullopt;
        for (char c : port) {
            if (c < '0' || c > '9') return std::nullopt;
            v = v * 10 + (c - '0');
        }
        if (v < 1 || v > 65535) return std::nullopt;
        t.port = v;
    }
    if (host.empty()) return std::nullopt;
    t.host = std::string(host);
    return t;
}

KissTnc::KissTnc(ModemOpener opener, KissSettings settings, Clock& clock, TraceFn trace)
    : settings_(std::move(settings)),
      clock_(clock),
      trace_(std::move(trace)),
      modem_(std::move(opener), settings_, clock, trace_),
      maxIncoming_(settings_.maxIncoming) {
    settings_.channels = std::clamp(settings_.channels, 1, 254);
    unprotoDest_ = *parseAddress("CQ");
    if (!parseAddress(settings_.myCall)) settings_.myCall = "NOCALL";
    applyParams();
    for (int n = 0; n <= settings_.channels; ++n) channels_.push_back(std::make_unique<Channel>(*this, n, params_));
}

// The TNC goes with the program: peers are told at once instead of
// finding out after their retries.
KissTnc::~KissTnc() {
    for (auto& c : channels_) {
        const LinkState st = c->link.state();
        if (st == LinkState::Connected || st == LinkState::TimerRecovery) c->link.disconnect(now());
    }
}

bool KissTnc::open(std::string* error) { return modem_.open(error); }

void KissTnc::applyParams() {
    params_.k = std::clamp(settings_.maxFrame, 1, 7);
    params_.n2 = std::clamp(settings_.retries, 1, 127);
    params_.frackMs = std::clamp(settings_.frackMs, 100, 60000);
    params_.t2Ms = std::clamp(settings_.t2Ms, 10, 60000);
    params_.t3Ms = std::clamp(settings_.t3Ms, 1000, 3'600'000);
    params_.paclen = std::clamp(settings_.paclen, 1, 256);
    for (auto& c : channels_) c->link.setParams(params_);
    modem_.setSettings(settings_);
}

void KissTnc::trace(std::string_view line) const {
    if (trace_) trace_(line);
}

std::int64_t KissTnc::now() const { return clock_.monotonicMs(); }

// --- byte stream ----------------------------------------------------------------

void KissTnc::service() {
    std::vector<std::string> frames;
    modem_.poll(frames);
    for (const auto& f : frames) radioFrame(f);
    const std::int64_t t = now();
    for (auto& c : channels_) c->link.tick(t);
}

int KissTnc::read(std::span<std::uint8_t> buf) {
    service();
    const std::size_t n = std::min(buf.size(), out_.size() - outPos_);
    std::copy_n(out_.begin() + static_cast<long>(outPos_), n, buf.begin());
    outPos_ += n;
    if (outPos_ == out_.size()) {
        out_.clear();
        outPos_ = 0;
    }
    return static_cast<int>(n);
}

int KissTnc::write(std::span<const std::uint8_t> data) {
    service();
    for (std::uint8_t b : data) {
        if (hostMode_)
            hostByte(b);
        else
            terminalByte(b);
    }
    return static_cast<int>(data.size());
}

bool KissTnc::waitReadable(int timeoutMs) {
    const std::int64_t deadline = now() + std::max(timeoutMs, 0);
    for (;;) {
        service();
        if (outPos_ < out_.size()) return true;
        std::int64_t left = deadline - now();
        if (left <= 0) return false;
        for (const auto& c : channels_)
            if (auto d = c->link.nextDeadline()) left = std::min(left, std::max<std::int64_t>(*d - now(), 1));
        if (auto r = modem_.retryAt()) left = std::min(left, std::max<std::int64_t>(*r - now(), 1));
        if (modem_.fd() >= 0) {
            pollfd p{modem_.fd(), POLLIN, 0};
            ::poll(&p, 1, static_cast<int>(left));
        } else {
            clock_.sleepMs(static_cast<int>(left));
        }
    }
}

// --- radio side -------------------------------------------------------------------

Ax25Address KissTnc::channelCall(int ch) const {
    const std::string& own = channels_[static_cast<std::size_t>(ch)]->call;
    return *parseAddress(ch == 0 || own.empty() ? settings_.myCall : own);
}

bool KissTnc::isOurs(const Ax25Address& a) const {
    for (int ch = 0; ch <= settings_.channels; ++ch)
        if (channelCall(ch).sameStation(a)) return true;
    return false;
}

void KissTnc::radioFrame(std::string_view bytes) {
    DecodeError why = DecodeError::None;
    const auto f = decodeAx25(bytes, &why);
    if (!f) {
        ++counters_.badFrames;
        if (why == DecodeError::TooManyDigis) ++counters_.tooManyDigis;
        if (why == DecodeError::BadCallsign) ++counters_.badCallsigns;
        trace("kiss: frame of " + std::to_string(bytes.size()) + " bytes dropped: " + decodeErrorText(why));
        return;
    }
    if (settings_.traceFrames) trace("kiss: heard " + monitorHeader(*f));
    monitorFrame(*f);
    for (const auto& d : f->digis) {
        if (!d.bit) {  // still on its way through the digipeaters
            ++counters_.notForUs;
            return;
        }
    }
    if (!isOurs(f->dest)) {
        ++counters_.notForUs;
        return;
    }
    for (int ch = 1; ch <= settings_.channels; ++ch) {
        Ax25Link& link = channels_[static_cast<std::size_t>(ch)]->link;
        if (link.state() != LinkState::Disconnected && link.peer().sameStation(f->src) &&
            link.me().sameStation(f->dest)) {
            link.receive(*f, now());
            return;
        }
    }
    if (f->type == FrameType::SABM && f->command && incomingConnect(*f)) return;
    answerNoLink(*f);
}

bool KissTnc::incomingConnect(const Ax25Frame& f) {
    int active = 0;
    int byCall = 0;
    int anyFree = 0;
    for (int ch = 1; ch <= settings_.channels; ++ch) {
        const bool free = channels_[static_cast<std::size_t>(ch)]->link.state() == LinkState::Disconnected;
        if (!free) ++active;
        if (free && byCall == 0 && channelCall(ch).sameStation(f.dest)) byCall = ch;
        if (free && anyFree == 0) anyFree = ch;
    }
    int ch = byCall;
    if (ch == 0 && parseAddress(settings_.myCall)->sameStation(f.dest)) ch = anyFree;
    if (maxIncoming_ >= 0 && active >= maxIncoming_) ch = 0;
    if (ch == 0) {
        ++counters_.refused;
        trace("kiss: connect from " + addressText(f.src) + " refused: no free channel");
        sendDm(f);
        pushItem(0, kLinkStatusCode, "(0) CONNECT REQUEST fm " + addressText(f.src));
        return true;
    }
    Ax25Address me = f.dest;
    me.bit = false;
    Ax25Address peer = f.src;
    peer.bit = false;
    Ax25Link& link = channels_[static_cast<std::size_t>(ch)]->link;
    link.setAddresses(me, peer, reversePath(f.digis));
    link.acceptConnect(f, now());
    return true;
}

// A frame for us that belongs to no link: DM tells the sender there is none.
// SABME gets DM too: this TNC speaks modulo 8 only, and a 2.2 station then
// calls again with SABM.
void KissTnc::answerNoLink(const Ax25Frame& f) {
    const bool needsDm = f.type == FrameType::DISC || f.type == FrameType::SABME || (f.command && f.pf &&
                         (f.type == FrameType::I || f.type == FrameType::RR || f.type == FrameType::RNR ||
                          f.type == FrameType::REJ));
    if (!needsDm) return;
    sendDm(f);
}

// DM back to the sender of f, on its path reversed, with its poll bit as final.
void KissTnc::sendDm(const Ax25Frame& f) {
    Ax25Frame dm;
    dm.dest = f.src;
    dm.src = f.dest;
    dm.digis = reversePath(f.digis);
    dm.type = FrameType::DM;
    dm.command = false;
    dm.pf = f.pf;
    transmit(dm);
}

void KissTnc::transmit(const Ax25Frame& f) {
    if (settings_.traceFrames) trace("kiss: sent " + monitorHeader(f));
    monitorFrame(f);
    modem_.send(encodeAx25(f));
}

void KissTnc::monitorFrame(const Ax25Frame& f) {
    const char kind = monitorKind(f);
    const bool shown = monitorFlags_.find(kind) != std::string::npos ||
                       (kind == 'S' && monitorFlags_.find('C') != std::string::npos);
    if (!shown) return;
    const std::string header = monitorHeader(f);
    const bool info = (f.type == FrameType::I || f.type == FrameType::UI) && !f.info.empty();
    if (!info) {
        pushItem(0, kMonHeader, header);
        return;
    }
    pushItem(0, kMonHeaderInfo, header);
    pushItem(0, kMonInfo, f.info.substr(0, kMaxItem));
}

void KissTnc::linkEvent(int ch, LinkEvent e) {
    const Ax25Link& link = channels_[static_cast<std::size_t>(ch)]->link;
    const std::string prefix = "(" + std::to_string(ch) + ") ";
    const std::string peer = addressText(link.peer());
    std::string text;
    switch (e) {
    case LinkEvent::Connected:
        text = prefix + "CONNECTED to " + peer;
        for (std::size_t i = 0; i < link.via().size(); ++i)
            text += (i == 0 ? " via " : " ") + addressText(link.via()[i]);
        break;
    case LinkEvent::Disconnected: text = prefix + "DISCONNECTED fm " + peer; break;
    case LinkEvent::LinkFailure: text = prefix + "LINK FAILURE with " + peer; break;
    case LinkEvent::Busy: text = prefix + "BUSY fm " + peer; break;
    }
    trace("kiss: " + text);
    pushItem(ch, kLinkStatusCode, text);
}

void KissTnc::linkData(int ch, std::string_view info) {
    while (!info.empty()) {
        const std::size_t n = std::min(info.size(), kMaxItem);
        pushItem(ch, kConnInfo, std::string(info.substr(0, n)));
        info.remove_prefix(n);
    }
    updateBusy(ch);
}

void KissTnc::pushItem(int ch, std::uint8_t code, std::string data) {
    auto& pending = channels_[static_cast<std::size_t>(ch)]->pending;
    // A full monitor queue loses its oldest frame: the header with its info.
    while (ch == 0 && pending.size() >= kMonitorLimit) {
        const std::uint8_t dropped = pending.front().code;
        pending.pop_front();
        ++counters_.monitorDropped;
        if (dropped == kMonHeaderInfo && !pending.empty() && pending.front().code == kMonInfo) pending.pop_front();
    }
    pending.push_back(Item{code, std::move(data)});
}

void KissTnc::updateBusy(int ch) {
    if (ch == 0) return;
    Channel& c = *channels_[static_cast<std::size_t>(ch)];
    const bool busy = c.busy ? c.pending.size() > kBusyBelow : c.pending.size() > kBusyAbove;
    if (busy == c.busy) return;
    c.busy = busy;
    c.link.setOwnBusy(busy, now());
}

// --- observation ------------------------------------------------------------------

LinkState KissTnc::linkState(int ch) const {
    if (ch < 1 || ch > settings_.channels) return LinkState::Disconnected;
    return channels_[static_cast<std::size_t>(ch)]->link.state();
}

std::size_t KissTnc::pendingItems(int ch) const {
    if (ch < 0 || ch > settings_.channels) return 0;
    return channels_[static_cast<std::size_t>(ch)]->pending.size();
}

// One buffer per queued item or frame not yet confirmed: "@B" falls as data
// piles up, which is what the engine's flow control watches.
int KissTnc::freeBuffers() const {
    long used = 0;
    for (const auto& c : channels_)
        used += static_cast<long>(c->pending.size() + c->link.unsent() + c->link.unacked());
    return static_cast<int>(std::max(0L, kBuffers - used));
}

// --- opening ----------------------------------------------------------------------

std::unique_ptr<ByteStream> openKissTnc(const std::string& portName, int baud, const KissSettings& settings,
                                        Clock& clock, std::string* error, TraceFn trace) {
    const auto target = parseKissPortName(portName);
    if (!target) {
        if (error) *error = "bad KISS port name " + portName;
        return nullptr;
    }
    ModemOpener opener = [t = *target, baud](std::string* err) -> std::unique_ptr<ByteStream> {
        if (t.tcp) return openTcpStream(t.host, t.port, err);
        return openSerialStream(t.device, baud, err);
    };
    auto tnc = std::make_unique<KissTnc>(std::move(opener), settings, clock, std::move(trace));
    if (!tnc->open(error)) return nullptr;
    return tnc;
}

}  // namespace norva::kiss
