// HostChannel: what the TNC link needs of a channel. The link polls channels
// and hands them their replies; what a channel does with them (windows, jobs,
// link state) lives above this folder, so the link sees only this interface.
#pragma once

#include <functional>
#include <memory>
#include <string_view>

namespace norva {

class CTnc;

enum class PollMode { StatusOnly = -1, Normal = 0, ForceGet = 1 };

class HostChannel {
public:
    virtual ~HostChannel() = default;
    // The channel number on its TNC, 0 (monitor) to 20.
    virtual int number() const = 0;
    // Every reply for this channel arrives here.
    virtual int receiveEntry(int kind, std::string_view data) = 0;
    // One channel poll; true when the TNC is out of sync afterwards.
    virtual bool poll(PollMode mode) = 0;
    // The TNC was (re)initialised: the link state starts afresh.
    virtual void initialiseLink() = 0;
};

// Makes channel n of a TNC; the TNC owns what it returns.
using ChannelFactory = std::function<std::unique_ptr<HostChannel>(CTnc&, int)>;

}  // namespace norva
