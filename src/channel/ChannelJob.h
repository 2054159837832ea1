// CChannelJob: the base of every activity that runs on a channel (transfers,
// scripts, remote sessions, the gateway, ...). The channel drives a job only
// through these operations; a job ends by returning 0 from tick or receive
// and is then destroyed by the channel. The job classes belong to the
// subsystems that fill the slots.
#pragma once

#include <string>
#include <string_view>

#include "channel/ReceiveRecord.h"
#include "hostmode/FrameRecord.h"

namespace norva {

// A channel runs at most one job per slot; the slots decide who sees
// received text and in which order (see CTncChannel::dispatch).
enum class JobSlot {
    Send,           // the transfer going out now; the transfer queue refills it
    RemoteInput,    // a remote station writing into a file (//Send)
    FileReceive,    // a file coming in; while it runs, received text is not shown
    Capture,        // the operator's log of the channel's text
    Script,         // the script running on the channel
    Mailbox,        // reads a mailbox's directory listings
    Password,       // answers a node's password challenge
    RemoteSession,  // a remote dialogue (//SYS) that takes the station's next lines
    Gateway,        // couples this channel to another; it alone then sees traffic
    SchedulerHook,  // starts the scripts the scheduler names
    MapLink,        // tells the map program where the channel is connected
    CompanionHook,  // hands traffic to the companion monitor program
};
inline constexpr int kJobSlotCount = 12;

class CChannelJob {
public:
    virtual ~CChannelJob() = default;
    // 0: finished, the channel destroys the job; anything else: running.
    virtual int tick() { return 1; }
    // A record the channel received (and, for the capture job, typed text).
    virtual int receive(const ReceiveRecord& /*record*/) { return 1; }
    // Text the channel is about to send.
    virtual void sendHook(const FrameRecord& /*text*/) {}
    // What the window caption shows for this job: the script or job name of
    // a script or send job, the file name of a file-receive or capture job.
    virtual std::string captionName() const { return {}; }
    // A send job whose protocol answers come back as bytes (YAPP) takes
    // every received record alone: nothing is shown or interpreted then.
    virtual bool takesReceivedBytes() const { return false; }
    // A file-receive job that has all its data and only looks at the next
    // record (the sender's report): it no longer holds the channel, so
    // received text, commands, scripts and the next transfer go on at once.
    virtual bool finishing() const { return false; }
    // What arrived after the file's last byte in the record that completed
    // it; the channel passes it on as received text.
    virtual std::string takeLeftover() { return {}; }
    // A finishing job is shown the next record before it goes; true when
    // the record was only its report, which then goes no further.
    virtual bool takeFinalRecord(const ReceiveRecord& /*record*/) { return false; }
};

// The map link slot's job also takes the destination pairs of the
// connection events.
class CMapLinkJob : public CChannelJob {
public:
    // (destination, empty) for a direct connect or a reconnect,
    // (previous destination, new destination) for an onward connect.
    virtual void setPair(std::string_view first, std::string_view second) = 0;
};

// The gateway slot's job names the channel it is coupled to.
class CGatewayJob : public CChannelJob {
public:
    // Slot of the partner channel; 0 while there is none.
    virtual int partnerSlot() const = 0;
    // The side of the user who asked for the gateway (ends on a reset).
    virtual bool homeSide() const = 0;
};

}  // namespace norva
