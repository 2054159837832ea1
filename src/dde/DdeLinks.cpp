// A channel's outgoing links: definitions, line formats, slots.
#include "dde/DdeLinks.h"

#include <cstdio>
#include <vector>

#include "dde/BusNames.h"
#include "dde/ChannelDdeItems.h"
#include "dde/DdeClient.h"
#include "platform/Cp437.h"
#include "platform/Profile.h"

namespace norva {

namespace {

constexpr std::string_view kLinksSection = "DdeLinks";

std::vector<std::string_view> words(std::string_view text, std::string_view separators) {
    std::vector<std::string_view> out;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t start = text.find_first_not_of(separators, i);
        if (start == std::string_view::npos) break;
        const std::size_t end = std::min(text.find_first_of(separators, start), text.size());
        out.push_back(text.substr(start, end - start));
        i = end;
    }
    return out;
}

std::string_view withoutLeadingCr(std::string_view text) {
    if (!text.empty() && text.front() == '\r') text.remove_prefix(1);
    return text;
}

// The partner's call in a connect message: the third word from "connected to" on.
std::string connectedCall(std::string_view lowerFromPhrase) {
    const std::vector<std::string_view> w = words(lowerFromPhrase, " ");
    if (w.size() < 3) return {};
    std::string_view call = w[2];
    call = call.substr(0, std::min(call.find_first_of(":\r\n "), call.size()));
    return upperAscii(call);
}

std::string statusFields(std::string_view text) {
    const std::string_view t = withoutLeadingCr(text);
    const std::size_t first = t.find(' ');
    if (first == std::string_view::npos) return {};
    const std::size_t second = t.find(' ', first + 1);
    if (second == std::string_view::npos) return {};
    return std::string(t.substr(second + 1));
}

std::optional<std::string> linkStatusLine(const std::string& head, std::string_view text) {
    const std::string lower = lowerAscii(text);
    std::optional<std::string> line;
    if (const std::size_t at = lower.find("connected to"); at != std::string::npos)
        line = head + "CONN " + connectedCall(std::string_view(lower).substr(at));
    if (lower.find("disconnected") != std::string::npos) line = head + "DISC \r\n";
    return line;
}

}  // namespace

std::optional<DdeLinkTarget> parseLinkDefinition(std::string_view text) {
    const std::vector<std::string_view> w = words(text, " \r\n");
    // A word ends at CR or LF; what follows a line end is not part of the definition.
    if (w.size() < 2) return std::nullopt;
    DdeLinkTarget t{std::string(w[0]), std::string(w[1]), w.size() > 2 ? std::string(w[2]) : std::string()};
    return t;
}

std::optional<std::string> formatLinkLine(int tnc, int channel, int kind, std::string_view text) {
    char number[16];
    std::snprintf(number, sizeof number, "%02d", channel);
    const std::string head = std::string(number) + (tnc == 1 ? std::string(" ") : std::to_string(tnc));
    switch (kind) {
    case 2: return head + "MONA " + std::string(withoutLeadingCr(text)) + "\r\n";
    case 4: return linkStatusLine(head, text);
    case 5: return head + "MONC " + std::string(withoutLeadingCr(text)) + "\r\n";
    case 6: return head + "MONH " + std::string(withoutLeadingCr(text)) + "\r\n";
    case 7: return head + "MONI " + convertLineEnds(withoutLeadingCr(text));
    case 9: return head + "INFO " + convertLineEnds(text);
    case 11: return head + "STAT " + (channel == 0 ? std::string("0 0 0 0") : statusFields(text));
    default: return std::nullopt;
    }
}

// ---- the bus transport ----

bool BusLinkTransport::probe(const DdeLinkTarget& target, std::function<void(bool)> done) {
    return client_.hasService(target.service, std::move(done), timeoutUsec_);
}

bool BusLinkTransport::send(const DdeLinkTarget& target, std::string_view line,
                            std::function<void(const std::string&)> done) {
    const bool poke = !target.item.empty();
    auto answered = [poke, done = std::move(done)](const DdeCallResult& r) {
        using S = DdeCallResult::Status;
        switch (r.status) {
        case S::Done: done({}); break;  // processed or not: the peer answered
        case S::TimedOut: done(poke ? "DMLERR_POKEACKTIMEOUT" : "DMLERR_EXECACKTIMEOUT"); break;
        case S::NoPeer: done("DMLERR_NO_CONV_ESTABLISHED"); break;
        case S::Error: done(r.errorName.empty() ? std::string("DMLERR_NOTPROCESSED") : r.errorName); break;
        }
    };
    if (poke) return client_.poke(target.service, target.topic, target.item, line, std::move(answered), timeoutUsec_);
    return client_.execute(target.service, target.topic, line, std::move(answered), timeoutUsec_);
}

// ---- the link slots ----

ChannelDdeLinks::ChannelDdeLinks(int tnc, int channel, DdeLinkTransport& transport, Notice notice)
    : tnc_(tnc), channel_(channel), transport_(transport), notice_(std::move(notice)),
      self_(std::make_shared<ChannelDdeLinks*>(this)) {}

ChannelDdeLinks::~ChannelDdeLinks() = default;

void ChannelDdeLinks::show(const std::string& utf8) {
    if (notice_) notice_(utf8ToOem(utf8));
}

void ChannelDdeLinks::setState(int i, State s) {
    Slot& slot = slots_[static_cast<std::size_t>(i)];
    slot.state = s;
    if (s == State::Free) slot = Slot{};
}

bool ChannelDdeLinks::open(std::string_view linkText) { return openSlot(linkText, false); }

bool ChannelDdeLinks::openSlot(std::string_view linkText, bool byCommand) {
    const std::optional<DdeLinkTarget> target = parseLinkDefinition(linkText);
    for (int i = 0; target && i < kSlots; ++i) {
        Slot& slot = slots_[static_cast<std::size_t>(i)];
        if (slot.state != State::Free) continue;
        const std::uint64_t generation = nextGeneration_++;
        slot = Slot{State::Opening, generation, *target, std::string(linkText), 0, byCommand};
        std::weak_ptr<ChannelDdeLinks*> alive = self_;
        const bool asked = transport_.probe(*target, [alive, i, generation](bool ok) {
            if (auto self = alive.lock()) (*self)->opened(i, generation, ok);
        });
        if (asked) return true;
        setState(i, State::Free);
        break;
    }
    show("\rDde Connection to " + std::string(linkText) + " failed.\r");
    return false;
}

void ChannelDdeLinks::opened(int i, std::uint64_t generation, bool ok) {
    Slot& slot = slots_[static_cast<std::size_t>(i)];
    if (slot.state != State::Opening || slot.generation != generation) return;  // closed meanwhile
    if (ok) {
        setState(i, State::Open);
        show("\rDde Connection to " + slot.text + " successful.\r");
        return;
    }
    const std::string text = slot.text;
    const bool byCommand = slot.byCommand;
    setState(i, State::Free);
    show("\rDde Connection to " + text + " failed.\r");
    if (byCommand) show("\rDde Connection failed.\r");
}

bool ChannelDdeLinks::close(std::string_view linkText) {
    const std::optional<DdeLinkTarget> target = parseLinkDefinition(linkText);
    for (int i = 0; target && i < kSlots; ++i) {
        const Slot& slot = slots_[static_cast<std::size_t>(i)];
        if (slot.state == State::Free || lowerAscii(slot.target.service) != lowerAscii(target->service) ||
            lowerAscii(slot.target.topic) != lowerAscii(target->topic))
            continue;
        setState(i, State::Free);
        show("\rDde Disconnection from " + std::string(linkText) + " successful.\r");
        return true;
    }
    show("\rDde Disconnection from " + std::string(linkText) + " failed.\r");
    return false;
}

bool ChannelDdeLinks::exists(std::string_view linkText) const {
    const std::optional<DdeLinkTarget> target = parseLinkDefinition(linkText);
    if (!target) return false;
    for (const Slot& slot : slots_)
        if (slot.state != State::Free && lowerAscii(slot.target.service) == lowerAscii(target->service) &&
            lowerAscii(slot.target.topic) == lowerAscii(target->topic) &&
            lowerAscii(slot.target.item) == lowerAscii(target->item))
            return true;
    return false;
}

bool ChannelDdeLinks::anyOpen() const { return openCount() > 0; }

int ChannelDdeLinks::openCount() const {
    int n = 0;
    for (const Slot& slot : slots_) n += slot.state == State::Open;
    return n;
}

void ChannelDdeLinks::drop(int i, const std::string& reason) {
    setState(i, State::Free);
    show("\rError during Dde Transfer. Connection canceled by Norva.\r\rReason: " + reason + "\r");
}

void ChannelDdeLinks::answered(int i, std::uint64_t generation, const std::string& reason) {
    Slot& slot = slots_[static_cast<std::size_t>(i)];
    if (slot.state != State::Open || slot.generation != generation) return;
    --slot.unanswered;
    if (!reason.empty()) drop(i, reason);
}

void ChannelDdeLinks::forward(int kind, std::string_view text) {
    if (!anyOpen()) return;
    const std::optional<std::string> line = formatLinkLine(tnc_, channel_, kind, text);
    if (!line) return;
    std::string utf8 = oemToUtf8(*line);
    // A bus string ends at NUL, as a DDE text did.
    if (const auto nul = utf8.find('\0'); nul != std::string::npos) utf8.resize(nul);
    for (int i = 0; i < kSlots; ++i) {
        Slot& slot = slots_[static_cast<std::size_t>(i)];
        if (slot.state != State::Open) continue;
        if (slot.unanswered >= kMaxUnanswered) {
            drop(i, "DMLERR_BUSY");
            continue;
        }
        const std::uint64_t generation = slot.generation;
        std::weak_ptr<ChannelDdeLinks*> alive = self_;
        const bool sent = transport_.send(slot.target, utf8, [alive, i, generation](const std::string& reason) {
            if (auto self = alive.lock()) (*self)->answered(i, generation, reason);
        });
        if (sent)
            ++slot.unanswered;
        else
            drop(i, "DMLERR_POSTMSG_FAILED");
    }
}

// ---- by name ----

bool ChannelDdeLinks::connectNamed(std::string_view name, const Profile& profile) {
    show("\rDde Connect: " + std::string(name) + "\r");
    const std::string definition = profile.getString(kLinksSection, name);
    if (definition.empty()) {
        show("\rDde Destination not found.\r");
        return false;
    }
    if (exists(definition)) {
        show("\rDde Connection alrady exists.\r");
        return false;
    }
    if (openSlot(definition, true)) return true;
    show("\rDde Connection failed.\r");
    return false;
}

bool ChannelDdeLinks::disconnectNamed(std::string_view name, const Profile& profile) {
    const std::string definition = profile.getString(kLinksSection, name);
    if (definition.empty()) {
        show("\rDde Destination not found.\r");
        return false;
    }
    return close(definition);
}

void ChannelDdeLinks::openAutomatic(std::string_view list, const Profile& profile) {
    std::size_t at = 0;
    while (at <= list.size()) {
        const std::size_t end = std::min(list.find(',', at), list.size());
        const std::string_view name = list.substr(at, end - at);
        if (name.empty()) return;
        const std::string definition = profile.getString(kLinksSection, name);
        if (!definition.empty()) open(definition);
        at = end + 1;
    }
}

}  // namespace norva
