// ChannelRegistry: the program-wide tables indexed by channel slot (1..105)
// and the few program-wide channel settings: which channel object lives in
// which slot, TopLink (the channel window activated last), whether the main
// window is active, the slot the next channel window is made for, the
// conference groups, the texts last sent to the status bar and the channel
// bar, and the hooks into later subsystems. One per engine; it lives on the
// engine thread like the channels.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "channel/ChannelHooks.h"
#include "platform/UiPort.h"

namespace norva {

class CTncChannel;

class ChannelRegistry {
public:
    static constexpr int kSlots = 105;

    ChannelRegistry() = default;
    ChannelRegistry(const ChannelRegistry&) = delete;
    ChannelRegistry& operator=(const ChannelRegistry&) = delete;

    static bool validSlot(int slot) { return slot >= 1 && slot <= kSlots; }

    // The channel table (filled and emptied by the channels themselves).
    CTncChannel* channel(int slot) const;
    CTncChannel* channel(int tnc, int channelNumber) const;
    void enter(int slot, CTncChannel* channel);
    void leave(int slot, const CTncChannel* channel);

    // TopLink: the slot of the channel window activated last (0: none).
    // Activating a slot also shows its channel in the status bar.
    int topLink() const { return topLink_; }
    void activate(int slot);
    bool mainWindowActive() const { return mainWindowActive_; }
    void setMainWindowActive(bool on) { mainWindowActive_ = on; }
    // The channel the next new channel window (CNorvaDoc) is made for.
    int nextWindowSlot() const { return nextWindowSlot_; }
    void setNextWindowSlot(int slot) { nextWindowSlot_ = validSlot(slot) ? slot : 0; }

    // Conference group of a slot: 0 outside the conference.
    int converseGroup(int slot) const;
    void setConverseGroup(int slot, int group);

    // Typed text or a command for a slot, as the input pane hands it over
    // (the channel's output sink in mode 0). False when no channel has the slot.
    bool sendToChannel(int slot, std::string_view oemBytes, int kind, bool echo);

    // The status bar and channel bar remember what they show: true (and the
    // text is stored) when it differs from what was sent last.
    bool statusFieldChanged(StatusField field, std::string_view text);
    bool buttonChanged(int slot, std::string_view label);
    // Counts status bar updates (the clock is refreshed on every eleventh).
    int nextStatusUpdate() { return statusUpdates_++; }

    ChannelHooks& hooks() { return hooks_; }

private:
    std::array<CTncChannel*, kSlots + 1> channels_{};
    std::array<int, kSlots + 1> converseGroups_{};
    std::array<std::string, kSlots + 1> buttons_{};
    std::array<std::string, 8> statusFields_{};
    int statusUpdates_ = 0;
    int topLink_ = 0;
    bool mainWindowActive_ = true;
    int nextWindowSlot_ = 0;
    ChannelHooks hooks_;
};

}  // namespace norva
