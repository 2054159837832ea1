// The companion hook: one link to "Travo" per connection.
#include "dde/CompanionHook.h"

#include "channel/TncChannel.h"
#include "dde/ChannelDde.h"
#include "dde/DdeLinks.h"
#include "hostmode/Tnc.h"

namespace norva {

namespace {

constexpr int kConnectedLinkState = 4;

ChannelDdeLinks* linksOf(const CTncChannel& channel) {
    auto* dde = dynamic_cast<CChannelDde*>(channel.ddeObject());
    return dde ? dde->links() : nullptr;
}

// Connected by the TNC's status, and not disconnected since by the link
// texts (the status lags behind a disconnect).
bool connectedNow(const CLinkState& state) {
    return state.linkStateValue() >= kConnectedLinkState && !state.destCall().empty();
}

}  // namespace

std::string travoLinkText(int tnc, int channel) { return "Travo " + ddeCommandTopic(tnc, channel); }

CTravoHook::CTravoHook(CTncChannel& channel, DdeLinkTransport* probe)
    : channel_(channel), probe_(probe), createdMs_(channel.tnc().context().clock.monotonicMs()),
      text_(travoLinkText(channel.tncNumber(), channel.number())), self_(std::make_shared<CTravoHook*>(this)) {}

CTravoHook::~CTravoHook() = default;

int CTravoHook::tick() {
    CLinkState& state = channel_.linkState();
    if (!channel_.settings().travoAuto || state.companionMark()) return 1;
    ChannelDdeLinks* links = linksOf(channel_);
    if (!links) return 1;
    if (channel_.tnc().context().clock.monotonicMs() - createdMs_ <= kDelayMs) return 1;
    // The connect text arrives before the TNC's status says connected: the
    // one try per connection waits for that status instead of being used up.
    if (!connectedNow(state)) return 1;
    state.setCompanionMark(true);
    if (links->exists(text_)) return 1;
    if (!probe_) {
        links->open(text_);
        return 1;
    }
    const auto target = parseLinkDefinition(text_);
    std::weak_ptr<CTravoHook*> alive = self_;
    probe_->probe(*target, [alive](bool there) {
        const auto self = alive.lock();
        if (self && there) (*self)->open();
    });
    return 1;
}

void CTravoHook::open() {
    // The connection may have ended (the mark cleared) while the bus answered.
    CLinkState& state = channel_.linkState();
    if (!state.companionMark() || !connectedNow(state)) return;
    ChannelDdeLinks* links = linksOf(channel_);
    if (links && !links->exists(text_)) links->open(text_);
}

std::unique_ptr<CChannelJob> makeTravoHook(CTncChannel& channel, DdeLinkTransport* probe) {
    return std::make_unique<CTravoHook>(channel, probe);
}

}  // namespace norva
