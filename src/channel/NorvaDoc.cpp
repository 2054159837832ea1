// CNorvaDoc: slot, TNC, channel and title of a channel window.
#include "channel/NorvaDoc.h"

#include "channel/ChannelRegistry.h"
#include "hostmode/Tnc.h"

namespace norva {

CNorvaDoc::CNorvaDoc(int slot) {
    if (!ChannelRegistry::validSlot(slot)) return;
    slot_ = slot;
    tnc_ = tncOfSlot(slot);
    channel_ = channelOfSlot(slot);
}

CNorvaDoc CNorvaDoc::forNextWindow(const ChannelRegistry& registry) {
    return CNorvaDoc(registry.nextWindowSlot());
}

std::string CNorvaDoc::title() const {
    return "[" + std::to_string(tnc_) + "/" + std::to_string(channel_) + "]";
}

}  // namespace norva
