// CTncChannel: the window caption, the channel bar button and the status bar
// fields, each sent to the user interface only when its text changed.
#include <cstdio>

#include "channel/Callsign.h"
#include "channel/ChannelRegistry.h"
#include "channel/TncChannel.h"
#include "hostmode/Tnc.h"
#include "platform/Clock.h"
#include "platform/Cp437.h"
#include "platform/Text.h"
#include "platform/UiPort.h"

namespace norva {

std::string CTncChannel::buildCaption() const {
    const CLinkState& ls = linkState_;
    std::string c;
    if (!tnc_.isDummy()) c = "[" + std::to_string(tnc_.number()) + "/" + std::to_string(number_) + "]";
    if (number_ == 0) c += " Monitor";
    if (const CChannelJob* script = job(JobSlot::Script)) {
        c += " " + script->captionName() + " ->";
    } else if (const CChannelJob* send = job(JobSlot::Send)) {
        c += " " + send->captionName() + " ->";
    }
    if (number_ != 0) c += " " + oemToUtf8(ls.myCall());
    if (!ls.aliasDestCall().empty()) c += " <-> " + oemToUtf8(ls.aliasDestCall());
    const CChannelJob* file = job(JobSlot::FileReceive) ? job(JobSlot::FileReceive) : job(JobSlot::Capture);
    if (file) c += " -> " + file->captionName();
    if (!tnc_.isDummy() && number_ != 0) {
        c += " |" + std::string(ls.shortText()) + "|" + oemToUtf8(ls.unsent()) + "|" + oemToUtf8(ls.unacked()) +
             "|" + oemToUtf8(ls.tries()) + "| ";
        if (ls.linkStateValue() > 3) c += ls.duration();
    }
    if (!c.empty() && c.front() == ' ') c.erase(0, 1);
    return c;
}

void CTncChannel::sendTitle() {
    // While the operator reviews the channel the poll shows the review countdown instead.
    if (!pollingEnabled_ || caption_ == shownTitle_) return;
    shownTitle_ = caption_;
    ui().windowTitle(slot_, caption_);
}

void CTncChannel::refreshCaption() {
    caption_ = buildCaption();
    sendTitle();
    const std::string label = oemToUtf8(buttonLabel(linkState_.destCall(), number_));
    if (registry().buttonChanged(slot_, label)) ui().channelButton(slot_, label);
    if (registry().topLink() == slot_) refreshStatusBar();
}

void CTncChannel::refreshStatusBar() {
    ChannelRegistry& reg = registry();
    UiPort& port = ui();
    auto field = [&](StatusField f, const std::string& text) {
        if (reg.statusFieldChanged(f, text)) port.statusField(f, text);
    };
    const CLinkState& ls = linkState_;
    const bool dummy = tnc_.isDummy();
    field(StatusField::TncChannel, std::to_string(tnc_.number()) + "/" + std::to_string(number_));
    const std::string node = ls.linkStateValue() >= 4 ? toUpper(ls.defaultNode()) : toLower(ls.defaultNode());
    field(StatusField::DefaultNode, dummy ? std::string() : oemToUtf8(node));
    field(StatusField::LinkState, dummy ? std::string() : std::string(ls.longText()));
    field(StatusField::Counters,
          dummy ? std::string() : oemToUtf8(ls.unsent() + "/" + ls.unacked() + "/" + ls.tries()));
    field(StatusField::Buffers, dummy ? std::string() : oemToUtf8(ls.freeBuffers()));
    field(StatusField::Qrg, dummy ? std::string() : oemToUtf8(ls.qrg()));
    if (reg.nextStatusUpdate() % 11 != 0) return;
    const LocalTime t = tnc_.context().clock.localTime();
    char buf[32];
    std::snprintf(buf, sizeof buf, "%d:%02d", t.hour % 100, t.minute % 100);
    field(StatusField::Clock, buf);
    std::snprintf(buf, sizeof buf, "%02d.%02d.%02d", t.day % 100, t.month % 100, t.year % 100);
    field(StatusField::Date, buf);
}

}  // namespace norva
