// EngineLink: posting to the engine and waiting for it without blocking the GUI.
#include "gui/EngineLink.h"

// std
#include <thread>

// Norva
#include "channel/TncChannel.h"
#include "channel/ChannelRegistry.h"
#include "hostmode/Tnc.h"

namespace norva {

void EngineLink::wakeLoop(QEventLoop& loop) {
    // The loop lives until this queued quit has run: its owner waits for it.
    QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
}

void EngineLink::post(std::function<void(CHostMode&)> fn) {
    if (stopped_)
        return;
    engine_.post([this, fn = std::move(fn)] { fn(engine_.hostMode()); });
}

void EngineLink::shutdown() {
    if (stopped_)
        return;
    stopped_ = true;
    QEventLoop loop;
    std::thread stopper([this, &loop] {
        engine_.shutdown();
        wakeLoop(loop);
    });
    loop.exec();
    stopper.join();
}

CTncChannel* EngineLink::channelOf(CHostMode& hostMode, int slot) {
    return hostMode.context().channels.channel(slot);
}

void EngineLink::sendLine(int slot, std::string oemBytes, int kind, bool echo) {
    post([slot, bytes = std::move(oemBytes), kind, echo](CHostMode& hm) {
        hm.context().channels.sendToChannel(slot, bytes, kind, echo);
    });
}

void EngineLink::holdForReview(int slot) {
    post([slot](CHostMode& hm) {
        if (CTncChannel* channel = channelOf(hm, slot))
            channel->holdForReview(hm.context().clock.wallSeconds());
    });
}

void EngineLink::resumePolling(int slot) {
    post([slot](CHostMode& hm) {
        if (CTncChannel* channel = channelOf(hm, slot))
            channel->resumePolling();
    });
}

}  // namespace norva

namespace norva {

void EngineLink::setTopLink(int slot) {
    post([slot](CHostMode& hm) { hm.context().channels.activate(slot); });
}

void EngineLink::setMainWindowActive(bool on) {
    post([on](CHostMode& hm) { hm.context().channels.setMainWindowActive(on); });
}

void EngineLink::setConnectMsg(int slot, bool on) {
    post([slot, on](CHostMode& hm) {
        if (CTncChannel* channel = channelOf(hm, slot))
            channel->settings().connectMsg = on;
    });
}

}  // namespace norva
