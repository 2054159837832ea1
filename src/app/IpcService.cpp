// The IPC service on the session bus, served from the engine loop.
#include "app/IpcService.h"

#include "channel/ChannelContext.h"
#include "dde/ChannelDde.h"
#include "dde/DdeBus.h"
#include "dde/DdeClient.h"
#include "dde/DdeLinks.h"
#include "dde/DdeService.h"
#include "dde/OpenFileTopic.h"
#include "platform/Profile.h"
#include "platform/SystemLog.h"

namespace norva {

IpcService::IpcService(ChannelContext& ctx, const std::string& busAddress,
                       std::function<void(const std::string&)> openFile)
    : ctx_(ctx) {
    DdeBus::Opened opened = DdeBus::open(busAddress);
    if (!opened.bus) {
        ctx_.log.event("IPC service off: " + opened.error + "\r\n");
        return;
    }
    const std::string name = ctx_.profile.getString("Frame", "MyName", "norva");
    DdeService::Created created =
        DdeService::create(*opened.bus, name, [this, name](DdeService::NameState state) {
            // "on" only once the name is ours: before that no program can reach us.
            if (state == DdeService::NameState::Owned && service_)
                ctx_.log.event("IPC service on: " + service_->busName() + "\r\n");
            if (state == DdeService::NameState::Taken)
                ctx_.log.event("IPC service: the name of \"" + name + "\" is taken by another program\r\n");
            if (state == DdeService::NameState::Failed)
                ctx_.log.event("IPC service off: the bus refused the name of \"" + name + "\"\r\n");
        });
    if (!created.service) {
        ctx_.log.event("IPC service off: " + created.error + "\r\n");
        return;
    }
    bus_ = std::move(opened.bus);
    service_ = std::move(created.service);
    client_ = std::make_unique<DdeClient>(*bus_);
    links_ = std::make_unique<BusLinkTransport>(*client_);
    openTopic_ = std::make_unique<OpenFileTopic>(std::move(openFile));
    service_->registerTopic(kOpenFileTopic, *openTopic_);
}

IpcService::~IpcService() {
    // The channels (and their topics) are gone by now; the service goes
    // before the client it may still call through, the bus last.
    if (service_ && openTopic_) service_->unregisterTopic(kOpenFileTopic);
    service_.reset();
    links_.reset();
    client_.reset();
    openTopic_.reset();
    bus_.reset();
}

int IpcService::fd() const { return active() ? bus_->fd() : -1; }

short IpcService::events() const { return active() ? bus_->events() : 0; }

int IpcService::timeoutMs() const { return active() ? bus_->timeoutMs() : -1; }

void IpcService::process() {
    if (!active() || bus_->process()) return;
    lost_ = true;
    ctx_.log.event("IPC service off: the bus connection was lost\r\n");
}

std::unique_ptr<ChannelDdeObject> IpcService::channelObject(CTncChannel& channel, DdeJobRunner* runner) {
    if (!active()) return nullptr;
    return makeChannelDde(channel, service_.get(), links_.get(), runner);
}

}  // namespace norva
