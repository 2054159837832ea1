// ChannelContext: the TNC link's services plus the program-wide channel
// tables. Constructing it installs the factory through which every TNC makes
// its CTncChannel objects, so the link never names the channel class.
#pragma once

#include "channel/ChannelRegistry.h"
#include "hostmode/HostContext.h"
#include "platform/Programs.h"
#include "platform/ReceiveFolders.h"

namespace norva {

struct ChannelContext : HostContext {
    explicit ChannelContext(HostContext base);
    ChannelContext(const ChannelContext&) = delete;
    ChannelContext& operator=(const ChannelContext&) = delete;

    // The program-wide channel tables and hooks (one per engine).
    ChannelRegistry channels{};
    // Where files from the air land; never where Norva reads its own files.
    ReceiveFolders receiveFolders;
    // Programs scripts start and leave running; reaped without waiting.
    DetachedPrograms programs;
};

}  // namespace norva
