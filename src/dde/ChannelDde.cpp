// The DDE side of a channel: its topics and item values.
#include "dde/ChannelDde.h"

#include <cstdio>

#include "channel/TncChannel.h"
#include "hostmode/HostContext.h"
#include "hostmode/Tnc.h"
#include "platform/Cp437.h"

namespace norva {

std::string ddeDataTopic(int tnc, int channel) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d/%02d", tnc, channel);
    return buf;
}

std::string ddeCommandTopic(int tnc, int channel) {
    char buf[40];
    if (tnc == 1)
        std::snprintf(buf, sizeof buf, "Channel%d", channel);
    else
        std::snprintf(buf, sizeof buf, "Channel%d_%d", tnc, channel);
    return buf;
}

CChannelDde::CChannelDde(int tnc, int channel, DdeTopicHost* host)
    : host_(host), dataTopic_(ddeDataTopic(tnc, channel)), commandTopic_(ddeCommandTopic(tnc, channel)) {
    if (!host_) return;
    dataRegistered_ = host_->registerTopic(dataTopic_, *this);
    commandRegistered_ = host_->registerTopic(commandTopic_, commandHandler_);
}

CChannelDde::~CChannelDde() {
    if (!host_) return;
    if (dataRegistered_) host_->unregisterTopic(dataTopic_);
    if (commandRegistered_) host_->unregisterTopic(commandTopic_);
}

std::string CChannelDde::busValue(DdeItem item) const {
    std::string utf8 = oemToUtf8(items_.value(item));
    // A bus string cannot hold NUL; a DDE text ended there, too.
    if (const auto nul = utf8.find('\0'); nul != std::string::npos) utf8.resize(nul);
    return utf8;
}

void CChannelDde::updateItems(const ReceiveRecord& record) {
    const std::vector<DdeItem> changed = items_.apply(record.kind, record.text());
    if (!host_ || !dataRegistered_) return;
    for (DdeItem item : changed) host_->itemChanged(dataTopic_, ddeItemName(item), busValue(item));
}

void CChannelDde::advise(const ReceiveRecord& record) {
    if (links_) links_->forward(record.kind, record.text());
}

std::optional<std::string> CChannelDde::request(std::string_view item) {
    const std::optional<DdeItem> which = ddeItemByName(item);
    if (!which) return std::nullopt;
    return busValue(*which);
}

bool CChannelDde::poke(std::string_view item, std::string_view data) {
    return commands_ && commands_->poke(item, data);
}

std::unique_ptr<CChannelDde> makeChannelDde(CTncChannel& channel, DdeTopicHost* host, DdeLinkTransport* transport,
                                            DdeJobRunner* runner) {
    auto dde = std::make_unique<CChannelDde>(channel.tncNumber(), channel.number(), host);
    const Profile& profile = channel.tnc().context().profile;
    // The channel outlives its DDE object, and with it the links and commands.
    if (transport)
        dde->attachLinks(std::make_unique<ChannelDdeLinks>(
            channel.tncNumber(), channel.number(), *transport,
            [&channel](std::string_view oem) { channel.show(oem, kClassTncEcho); }));
    dde->attachCommands(std::make_unique<ChannelDdeCommands>(channel, dde->links(), profile, runner));
    if (dde->links()) dde->links()->openAutomatic(channel.settings().dde, profile);
    return dde;
}

}  // namespace norva
