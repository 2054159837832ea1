// CChannelDde: the DDE side of one channel. It owns the channel's two
// topics on the service (data topic "TT/CC", command topic "ChannelC" or
// "ChannelT_C"), keeps the channel's item values and tells the service of
// every change so that advising clients hear of it. Without a service (no
// bus) it still keeps the values.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "channel/ChannelHooks.h"
#include "dde/ChannelDdeCommands.h"
#include "dde/ChannelDdeItems.h"
#include "dde/DdeLinks.h"
#include "dde/DdeTopics.h"

namespace norva {

class CTncChannel;

// "%02d/%02d": TNC 1 channel 3 is "01/03".
std::string ddeDataTopic(int tnc, int channel);
// "Channel%d" on TNC 1, "Channel%d_%d" (TNC, channel) on the others.
std::string ddeCommandTopic(int tnc, int channel);

class CChannelDde final : public ChannelDdeObject, private DdeTopicHandler {
public:
    // host may be null (no DDE service).
    CChannelDde(int tnc, int channel, DdeTopicHost* host);
    ~CChannelDde() override;
    CChannelDde(const CChannelDde&) = delete;
    CChannelDde& operator=(const CChannelDde&) = delete;

    // ---- ChannelDdeObject: the channel's calls ----
    // True while an outgoing link is open: the channel then hands each
    // record to advise() first.
    bool active() const override { return links_ && links_->anyOpen(); }
    void advise(const ReceiveRecord& record) override;
    void updateItems(const ReceiveRecord& record) override;

    // The channel's outgoing links (none until attached).
    void attachLinks(std::unique_ptr<ChannelDdeLinks> links) { links_ = std::move(links); }
    ChannelDdeLinks* links() const { return links_.get(); }

    // Who runs the poke items of the data topic and the execute commands of
    // the command topic; none: nothing is processed.
    void attachCommands(std::unique_ptr<DdeTopicHandler> commands) { commands_ = std::move(commands); }

    const std::string& dataTopic() const { return dataTopic_; }
    const std::string& commandTopic() const { return commandTopic_; }
    // True when both topics are published on the service.
    bool published() const { return dataRegistered_ && commandRegistered_; }
    const ChannelDdeItems& items() const { return items_; }
    // An item's value as the bus carries it: UTF-8, cut at a NUL byte.
    std::string busValue(DdeItem item) const;

private:
    // The command topic answers executes only.
    class CommandTopic final : public DdeTopicHandler {
    public:
        explicit CommandTopic(CChannelDde& owner) : owner_(owner) {}
        bool execute(std::string_view command) override {
            return owner_.commands_ && owner_.commands_->execute(command);
        }

    private:
        CChannelDde& owner_;
    };

    std::optional<std::string> request(std::string_view item) override;
    bool poke(std::string_view item, std::string_view data) override;

    DdeTopicHost* host_;
    std::unique_ptr<DdeTopicHandler> commands_;
    CommandTopic commandHandler_{*this};
    std::string dataTopic_;
    std::string commandTopic_;
    bool dataRegistered_ = false;
    bool commandRegistered_ = false;
    ChannelDdeItems items_;
    std::unique_ptr<ChannelDdeLinks> links_;
};

// The DDE object for a channel (for ChannelJobFactory::ddeObject), with
// its commands. host: the service, or null without a bus. transport: how
// the channel's links reach other programs, or null for no links; with one,
// the links named in the channel's Dde setting are opened, their notices
// shown in the channel. runner: transfers, scripts and log-off, or null.
std::unique_ptr<CChannelDde> makeChannelDde(CTncChannel& channel, DdeTopicHost* host,
                                            DdeLinkTransport* transport = nullptr, DdeJobRunner* runner = nullptr);

}  // namespace norva
