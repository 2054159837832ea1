// StationServices: the subsystems a running station plugs into its channels:
// the remote command server (with the transfers and the gateway it starts),
// and the jobs a channel makes for itself (the LogFile capture). Made on the
// engine thread before the TNCs, so every channel gets them from the start,
// and gone after the TNCs, so no channel calls into them afterwards.
#pragma once

#include <memory>
#include <string>

namespace norva {

struct ChannelContext;
class IpcService;
class MapProgram;

class StationServices {
public:
    // busAddress: the D-Bus address of the IPC service (empty: the session bus).
    StationServices(ChannelContext& ctx, const std::string& busAddress);
    ~StationServices();
    StationServices(const StationServices&) = delete;
    StationServices& operator=(const StationServices&) = delete;

    // The IPC service, for the engine loop.
    IpcService& ipc();
    // The map program link, for the desktop's map commands.
    MapProgram& map();

private:
    struct Parts;
    ChannelContext& ctx_;
    std::unique_ptr<Parts> parts_;
};

}  // namespace norva
