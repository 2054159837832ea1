// The gateway pair: finding the partner channel, the home side's gateway
// commands, relaying text both ways, the onward connect and its time-out,
// and what each side leaves behind when the pair ends.
#include "channel/Gateway.h"

#include <charconv>

#include "channel/ChannelRegistry.h"
#include "channel/GatewayFile.h"
#include "channel/RemotePrompt.h"
#include "channel/TncChannel.h"
#include "hostmode/HostContext.h"
#include "hostmode/Tnc.h"
#include "platform/Clock.h"
#include "platform/Cp437.h"
#include "platform/Text.h"

namespace norva {

namespace {

constexpr std::string_view kBanner = "\r************ Norva Gateway Betrieb ************\r\r";
constexpr std::string_view kNoPartner =
    "Zum gewünschten Tnc kann zur Zeit leider keine Verbindung  erstellt werden.\r";
constexpr std::string_view kWelcomeHelp = "Hilfe bekommen Sie mit dem Befehl h.\r\r";
constexpr std::string_view kWelcomeTnc = "Sie befinden sich jetzt auf dem Tnc ";
constexpr std::string_view kWelcomeQrg = "\rDie Ausgabefrequenz ist ";
constexpr std::string_view kLinkSetup = "\rlink setup...\r";
constexpr std::string_view kLinkFailure = "\rlink failure\r ";
constexpr std::string_view kReconnected = "\rReconnected to ";
// What the link state counts as a connect the station itself started.
constexpr int kConnectPending = 10;
// The "L" link states from "information transfer" upwards carry a link.
constexpr int kLinkUpState = 4;
// A TNC command never holds more than one line of this length.
constexpr std::size_t kCommandLimit = 255;
// A call as a TNC's "I" command takes it: six characters and an SSID.
constexpr std::size_t kGatewayCallLimit = 9;

// The first word of a line, lower case: cut at CR and blank.
std::string firstWord(std::string_view line) {
    line = trim(line);
    return toLower(line.substr(0, line.find_first_of(" \t\r\n")));
}

// A line from the air as one TNC command: leading blanks and line ends go,
// the rest is cut at the first line end and at the command limit.
std::string commandLine(std::string_view text) {
    text = trim(text);
    return cut(text.substr(0, text.find_first_of("\r\n")), kCommandLimit);
}

bool freeForGateway(const CTncChannel& ch) {
    return ch.number() != 0 && !ch.tnc().isDummy() && ch.tnc().isOpen() &&
           ch.linkState().linkStateValue() == 0 && !ch.gatewayJob() && !ch.job(JobSlot::Script);
}

}  // namespace

std::string gatewayCall(std::string_view userCall) {
    std::string call(trim(userCall));
    if (call.find('-') == std::string::npos) call += "-15";
    const std::size_t dash = call.find('-');
    int ssid = 0;
    const std::string_view digits = std::string_view(call).substr(dash + 1);
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), ssid);
    if (ec != std::errc() || ssid < 0) ssid = 0;
    std::string out = cut(std::string_view(call).substr(0, dash), kGatewayCallLimit - 3);
    if (15 - ssid > 0) out += "-" + std::to_string(15 - ssid);
    return toUpper(out);
}

// ---- construction and the pair ----

CGatewayLink::CGatewayLink(CTncChannel& channel, Side side, int homeSlot, int outSlot)
    : channel_(channel), side_(side), homeSlot_(homeSlot), outSlot_(outSlot) {}

CGatewayLink::~CGatewayLink() {
    if (side_ == Side::Home) releasePartner();
}

std::unique_ptr<CGatewayLink> CGatewayLink::start(CTncChannel& home, std::string_view tncName) {
    ChannelRegistry& reg = home.registry();
    const std::string wanted = toLower(trim(cut(tncName, kCommandLimit)));
    CTncChannel* chosen = nullptr;
    for (int slot = 1; slot <= ChannelRegistry::kSlots && !chosen && !wanted.empty(); ++slot) {
        CTncChannel* ch = reg.channel(slot);
        if (ch && ch != &home && toLower(ch->tnc().name()) == wanted && freeForGateway(*ch)) chosen = ch;
    }
    auto job = std::unique_ptr<CGatewayLink>(new CGatewayLink(home, Side::Home, home.slot(), 0));
    if (!chosen) {
        job->setState(State::Finished, "no free channel on the requested TNC");
        job->tellUser(std::string(kBanner) + utf8ToOem(kNoPartner), true);
        return job;
    }
    job->outSlot_ = chosen->slot();
    auto out = std::unique_ptr<CGatewayLink>(new CGatewayLink(*chosen, Side::Outgoing, home.slot(), chosen->slot()));
    CGatewayLink& outgoing = *out;
    outgoing.savedCall_ = chosen->linkState().myCall();
    outgoing.userCall_ = gatewayCall(home.linkState().destCall());
    chosen->setGatewayJob(std::move(out));
    outgoing.greetUser(home);
    if (!outgoing.userCall_.empty()) chosen->sendOperation({kKindCommand, "i " + outgoing.userCall_});
    return job;
}

// The home job is not in its slot yet: the user's channel is named directly.
void CGatewayLink::greetUser(CTncChannel& homeCh) {
    const CTnc& tnc = channel_.tnc();
    // The route first, then the banner with this TNC's name and frequency.
    std::string text = "\r" + homeCh.tnc().name() + " -> " + tnc.name() + "\r";
    text += std::string(kBanner) + std::string(kWelcomeHelp) + std::string(kWelcomeTnc) + tnc.name() +
            std::string(kWelcomeQrg) + tnc.qrg() + "\r";
    tell(homeCh, text, true);
}

std::string_view CGatewayLink::stateName(State s) {
    switch (s) {
        case State::Waiting: return "waiting";
        case State::Connecting: return "connecting";
        case State::Linked: return "linked";
        case State::Finished: return "finished";
    }
    return "?";
}

void CGatewayLink::setState(State next, std::string_view why) {
    if (next == state_) return;
    const auto& trace = channel_.tnc().context().trace;
    if (trace) {
        trace("gateway " + std::to_string(homeSlot_) + "->" + std::to_string(outSlot_) +
              (side_ == Side::Home ? " home: " : " outgoing: ") + std::string(stateName(state_)) + " -> " +
              std::string(stateName(next)) + " (" + std::string(why) + ")");
    }
    state_ = next;
}

CTncChannel* CGatewayLink::partnerChannel() const {
    const int slot = partnerSlot();
    return ChannelRegistry::validSlot(slot) ? channel_.registry().channel(slot) : nullptr;
}

CGatewayLink* CGatewayLink::partnerJob() const {
    CTncChannel* ch = partnerChannel();
    if (!ch) return nullptr;
    // Only our own class fills a gateway slot with a partner that names us back.
    auto* other = dynamic_cast<CGatewayLink*>(ch->gatewayJob());
    if (!other || other->side_ == side_ || other->partnerSlot() != channel_.slot()) return nullptr;
    return other;
}

CTncChannel* CGatewayLink::homeChannel() const {
    return side_ == Side::Home ? &channel_ : (partnerJob() ? partnerChannel() : nullptr);
}

CTncChannel* CGatewayLink::outChannel() const {
    return side_ == Side::Outgoing ? &channel_ : (partnerJob() ? partnerChannel() : nullptr);
}

bool CGatewayLink::onwardLinkUp() const {
    const CTncChannel* out = outChannel();
    return out && out->linkState().linkStateValue() >= kLinkUpState;
}

void CGatewayLink::tellUser(std::string_view oemText, bool prompt) {
    if (CTncChannel* home = homeChannel()) tell(*home, oemText, prompt);
}

void CGatewayLink::tell(CTncChannel& home, std::string_view oemText, bool prompt) {
    home.show(oemText, kClassInputEcho);
    home.sendOperation({kKindInfo, oemText});
    if (prompt) sendRemotePrompt(home);
}

std::int64_t CGatewayLink::now() const { return channel_.tnc().context().clock.wallSeconds(); }

// The user leaves (or his link went): the outgoing channel drops a link or
// attempt the user left behind, gets its own call back, and its job goes.
void CGatewayLink::releasePartner() {
    CGatewayLink* partner = partnerJob();
    CTncChannel* out = partner ? partnerChannel() : nullptr;
    if (!out) return;
    if (out->linkState().linkStateValue() != 0 || connectStarted_ != 0) out->sendOperation({kKindCommand, "d"});
    if (!partner->savedCall_.empty()) out->sendOperation({kKindCommand, "i " + partner->savedCall_});
    out->setGatewayJob(nullptr);
}

// ---- tick ----

int CGatewayLink::tick() {
    if (state_ == State::Finished) return 0;
    if (file_ && !file_->tick()) file_.reset();
    if (!partnerJob()) {
        // The other side is gone (its TNC went away, or the pair was undone).
        setState(State::Finished, "partner gone");
        return 0;
    }
    if (side_ == Side::Outgoing) {
        followOnwardLink();
        return 1;
    }
    if (onwardLinkUp()) {
        setState(State::Linked, "onward link up");
    } else if (state_ == State::Linked) {
        setState(State::Waiting, "onward link ended");
    }
    checkConnectTimeout();
    return 1;
}

void CGatewayLink::checkConnectTimeout() {
    if (connectStarted_ == 0 || now() - connectStarted_ <= kGatewayConnectTimeout) return;
    connectStarted_ = 0;
    if (onwardLinkUp()) return;
    setState(State::Waiting, "connect timed out");
    tellUser(kLinkFailure, true);
    CTncChannel* out = outChannel();
    for (int i = 0; i < 4 && out; ++i) out->sendOperation({kKindCommand, "d"});
}

void CGatewayLink::followOnwardLink() {
    const bool up = channel_.linkState().linkStateValue() >= kLinkUpState;
    if (up && !wasLinked_) {
        wasLinked_ = true;
        setState(State::Linked, "onward link up");
    } else if (!up && wasLinked_) {
        wasLinked_ = false;
        setState(State::Waiting, "onward link ended");
        CTncChannel* home = homeChannel();
        if (!home) return;
        tellUser(std::string(kReconnected) + home->linkState().myCall() + "\r", true);
        // The end of the link gave the channel its own call back; the user
        // calls out again under his.
        if (!userCall_.empty()) channel_.sendOperation({kKindCommand, "i " + userCall_});
    }
}

// ---- receive ----

int CGatewayLink::receive(const ReceiveRecord& record) {
    if (record.length <= 0) return 1;
    if (side_ == Side::Outgoing) {
        relayToUser(record);
        return 1;
    }
    // Only what the user typed; status texts of the home link are not his lines.
    if (record.kind != kKindConnected || state_ == State::Finished) return 1;
    CTncChannel* out = outChannel();
    if (!out) return 1;
    if (onwardLinkUp()) {
        setState(State::Linked, "onward link up");
        out->textOut(record.text(), kKindInfo, true);
        return 1;
    }
    gatewayCommand(record.text());
    return 1;
}

void CGatewayLink::relayToUser(const ReceiveRecord& record) {
    if (record.kind != kKindConnected && record.kind != kKindLinkStatus) return;
    if (record.kind == kKindConnected) {
        tellUser(record.text(), false);
        return;
    }
    // Link status texts end in CR LF; the user's side only wants the CR.
    std::string text;
    for (char c : record.text())
        if (c != '\n') text += c;
    tellUser(text, false);
}

void CGatewayLink::gatewayCommand(std::string_view line) {
    const std::string word = firstWord(line);
    if (word == "c") {
        passConnect(line);
    } else if (word == "d") {
        if (CTncChannel* out = outChannel()) out->sendOperation({kKindCommand, commandLine(line)});
    } else if (word == "h") {
        sendFile("HelpDir", "gateway.hlp");
    } else if (word == "i") {
        if (const CTncChannel* out = outChannel())
            sendFile("InitDir", "gate" + std::to_string(out->tncNumber()) + ".txt");
    } else if (word == "q") {
        setState(State::Finished, "user quit");
    } else {
        sendRemotePrompt(channel_);
    }
}

void CGatewayLink::passConnect(std::string_view line) {
    CTncChannel* out = outChannel();
    if (!out) return;
    out->linkState().setConnectPending(kConnectPending);
    out->sendOperation({kKindCommand, commandLine(line)});
    tellUser(kLinkSetup, false);
    connectStarted_ = now();
    setState(State::Connecting, "connect passed on");
}

void CGatewayLink::sendFile(std::string_view dirKey, std::string_view name) {
    const HostContext& ctx = channel_.tnc().context();
    auto sender = FileSender::open(channel_, frameDirectory(ctx.profile, dirKey, ctx.programDir), name);
    // A missing file sends nothing.
    if (sender) file_ = std::move(sender);
}

}  // namespace norva
