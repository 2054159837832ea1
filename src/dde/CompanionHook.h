// CTravoHook: feeds the companion monitor program ("Travo") with a
// channel's traffic. Some seconds after the channel is set up, once per
// connection and once the TNC reports it connected, it opens the channel's
// outgoing link to the service "Travo" on the topic named after the channel;
// from then on the link forwards the channel's lines like any other. Without a companion program on the bus
// nothing happens: the hook asks quietly whether the service is there and
// opens the link (with its usual notices) only when it is.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "channel/ChannelJob.h"

namespace norva {

class CTncChannel;
class DdeLinkTransport;

// "Travo Channel%d" on TNC 1, "Travo Channel%d_%d" (TNC, channel) on the others.
std::string travoLinkText(int tnc, int channel);

class CTravoHook final : public CChannelJob {
public:
    // Time after creation before the first link is opened.
    static constexpr std::int64_t kDelayMs = 10'000;

    // probe: how to ask quietly whether the companion is there; null opens
    // the link at once (its failure notice then shows in the channel).
    CTravoHook(CTncChannel& channel, DdeLinkTransport* probe);
    ~CTravoHook() override;

    int tick() override;
    const std::string& linkText() const { return text_; }

private:
    void open();

    CTncChannel& channel_;
    DdeLinkTransport* probe_;
    std::int64_t createdMs_;
    std::string text_;
    // Answers that arrive after the hook is gone find this expired.
    std::shared_ptr<CTravoHook*> self_;
};

// The channel's companion hook, for ChannelJobFactory::companionHook.
std::unique_ptr<CChannelJob> makeTravoHook(CTncChannel& channel, DdeLinkTransport* probe);

}  // namespace norva
