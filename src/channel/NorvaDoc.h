// CNorvaDoc: the model behind one channel window. It only knows which
// channel it shows (TNC, channel, slot) and its title; the two text panes
// are the terminal models, owned by the window.
#pragma once

#include <string>

namespace norva {

class ChannelRegistry;

class CNorvaDoc {
public:
    // A document for a slot (1..105); an impossible slot gives TNC 1, channel 0.
    explicit CNorvaDoc(int slot);
    // A new document takes the slot named for the next window.
    static CNorvaDoc forNextWindow(const ChannelRegistry& registry);

    int tnc() const { return tnc_; }
    int channel() const { return channel_; }
    int slot() const { return slot_; }
    // "[tnc/channel]".
    std::string title() const;

private:
    int tnc_ = 1;
    int channel_ = 0;
    int slot_ = 1;
};

}  // namespace norva
