// COutputSink: window or text out.
#include "channel/OutputSink.h"

#include "channel/ChannelRegistry.h"
#include "platform/UiPort.h"

namespace norva {

void COutputSink::put(std::string_view oemBytes, int kind, bool echo) {
    if (mode_ == ToChannel) {
        registry_.sendToChannel(slot_, oemBytes, kind, echo);
        return;
    }
    // Empty text must not open a window.
    if (oemBytes.empty()) return;
    ui_.appendText(slot_, kind, oemBytes);
}

}  // namespace norva
