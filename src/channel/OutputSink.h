// COutputSink: where a channel's text goes. Mode 1 shows it in the channel
// window of the slot (the user interface opens the window when none is
// open); mode 0 hands it to the channel's text out, which is how the input
// pane sends.
#pragma once

#include <string_view>

namespace norva {

class ChannelRegistry;
class UiPort;

class COutputSink {
public:
    enum Mode { ToChannel = 0, ToWindow = 1 };

    COutputSink(ChannelRegistry& registry, UiPort& ui, int slot, Mode mode)
        : registry_(registry), ui_(ui), slot_(slot), mode_(mode) {}

    // kind: the colour class in mode 1, the frame kind in mode 0 (1 command,
    // otherwise text); echo only matters in mode 0.
    void put(std::string_view oemBytes, int kind, bool echo = false);

    int slot() const { return slot_; }
    Mode mode() const { return mode_; }

private:
    ChannelRegistry& registry_;
    UiPort& ui_;
    int slot_;
    Mode mode_;
};

}  // namespace norva
