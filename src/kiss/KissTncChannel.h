// The channel record of KissTnc: its link, its own call, the items waiting
// for the engine's "G", and the adapter that lets the link report to the TNC.
#pragma once

#include <map>
#include <string>

#include "kiss/KissTnc.h"

namespace norva::kiss {

class KissTnc::ChannelUser final : public LinkUser {
public:
    ChannelUser(KissTnc& tnc, int ch) : tnc_(tnc), ch_(ch) {}
    void transmit(const Ax25Frame& f) override { tnc_.transmit(f); }
    void linkEvent(LinkEvent e) override { tnc_.linkEvent(ch_, e); }
    void received(std::string_view info) override { tnc_.linkData(ch_, info); }
    void trace(std::string_view line) override { tnc_.trace("kiss (" + std::to_string(ch_) + ") " + std::string(line)); }

private:
    KissTnc& tnc_;
    int ch_;
};

struct KissTnc::Channel {
    Channel(KissTnc& tnc, int n, const LinkParams& p) : user(tnc, n), link(user, p) {}
    ChannelUser user;
    Ax25Link link;
    std::string call;  // own call from "I"; empty: the base call
    std::deque<Item> pending;
    std::map<std::string, std::string> params;
    bool busy = false;
};

}  // namespace norva::kiss
