// IpcService: Norva on the D-Bus session bus. Owns the bus connection, the
// DDE service (one bus name from MyName), the client used for channel links
// and outside programs, and the "OpenChannelFile" topic. Served from the
// engine loop: the bus descriptor joins its ppoll set. Without a bus (cron,
// ssh) the station runs on and system.log says once that the service is off.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace norva {

class CTncChannel;
class ChannelDdeObject;
class DdeBus;
class DdeClient;
class DdeJobRunner;
class DdeService;
class BusLinkTransport;
class OpenFileTopic;
struct ChannelContext;

class IpcService {
public:
    // busAddress empty: the session bus. openFile receives the path of an
    // "open PATH" execute on the engine thread.
    IpcService(ChannelContext& ctx, const std::string& busAddress, std::function<void(const std::string&)> openFile);
    ~IpcService();
    IpcService(const IpcService&) = delete;
    IpcService& operator=(const IpcService&) = delete;

    bool active() const { return bus_ != nullptr && !lost_; }
    // For the engine's ppoll: -1 when inactive.
    int fd() const;
    short events() const;
    // Milliseconds until process() is due without activity; -1: none.
    int timeoutMs() const;
    // Dispatches what is pending; never blocks.
    void process();

    // A channel's item state and commands; null while the service is off.
    std::unique_ptr<ChannelDdeObject> channelObject(CTncChannel& channel, DdeJobRunner* runner);
    DdeClient* client() { return client_.get(); }
    ChannelContext& context() { return ctx_; }

private:
    ChannelContext& ctx_;
    std::unique_ptr<DdeBus> bus_;
    std::unique_ptr<DdeService> service_;
    std::unique_ptr<DdeClient> client_;
    std::unique_ptr<BusLinkTransport> links_;
    std::unique_ptr<OpenFileTopic> openTopic_;
    bool lost_ = false;
};

}  // namespace norva
