// ChannelRegistry: slot tables, TopLink and the remembered bar texts.
#include "channel/ChannelRegistry.h"

#include "channel/TncChannel.h"
#include "hostmode/Tnc.h"

namespace norva {

CTncChannel* ChannelRegistry::channel(int slot) const {
    return validSlot(slot) ? channels_[static_cast<std::size_t>(slot)] : nullptr;
}

CTncChannel* ChannelRegistry::channel(int tnc, int channelNumber) const {
    if (tnc < 1 || tnc > kDummyTnc || channelNumber < 0 || channelNumber > kMaxChannels) return nullptr;
    return channel(slotOf(tnc, channelNumber));
}

void ChannelRegistry::enter(int slot, CTncChannel* ch) {
    if (!validSlot(slot)) return;
    channels_[static_cast<std::size_t>(slot)] = ch;
    buttons_[static_cast<std::size_t>(slot)].clear();
}

void ChannelRegistry::leave(int slot, const CTncChannel* ch) {
    if (!validSlot(slot) || channels_[static_cast<std::size_t>(slot)] != ch) return;
    channels_[static_cast<std::size_t>(slot)] = nullptr;
}

void ChannelRegistry::activate(int slot) {
    topLink_ = validSlot(slot) ? slot : 0;
    if (CTncChannel* ch = channel(topLink_)) ch->refreshStatusBar();
}

int ChannelRegistry::converseGroup(int slot) const {
    return validSlot(slot) ? converseGroups_[static_cast<std::size_t>(slot)] : 0;
}

void ChannelRegistry::setConverseGroup(int slot, int group) {
    if (validSlot(slot)) converseGroups_[static_cast<std::size_t>(slot)] = group < 0 ? 0 : group;
}

bool ChannelRegistry::sendToChannel(int slot, std::string_view oemBytes, int kind, bool echo) {
    CTncChannel* ch = channel(slot);
    if (!ch) return false;
    ch->textOut(oemBytes, kind, echo);
    return true;
}

bool ChannelRegistry::statusFieldChanged(StatusField field, std::string_view text) {
    std::string& last = statusFields_[static_cast<std::size_t>(field)];
    if (last == text) return false;
    last = text;
    return true;
}

bool ChannelRegistry::buttonChanged(int slot, std::string_view label) {
    if (!validSlot(slot)) return false;
    std::string& last = buttons_[static_cast<std::size_t>(slot)];
    if (last == label) return false;
    last = label;
    return true;
}

}  // namespace norva
