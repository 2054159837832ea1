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

CTncChannel* EngineLink::channelOf(int slot) {
    return engine_.context().channels.channel(slot);
}

void EngineLink::sendLine(int slot, std::string oemBytes, int kind, bool echo) {
    post([this, slot, bytes = std::move(oemBytes), kind, echo](CHostMode&) {
        engine_.context().channels.sendToChannel(slot, bytes, kind, echo);
    });
}

void EngineLink::holdForReview(int slot) {
    post([this, slot](CHostMode& hm) {
        if (CTncChannel* channel = channelOf(slot))
            channel->holdForReview(hm.context().clock.wallSeconds());
    });
}

void EngineLink::resumePolling(int slot) {
    post([this, slot](CHostMode&) {
        if (CTncChannel* channel = channelOf(slot))
            channel->resumePolling();
    });
}

}  // namespace norva

namespace norva {

void EngineLink::setTopLink(int slot) {
    post([this, slot](CHostMode&) { engine_.context().channels.activate(slot); });
}

void EngineLink::setMainWindowActive(bool on) {
    post([this, on](CHostMode&) { engine_.context().channels.setMainWindowActive(on); });
}

void EngineLink::setConnectMsg(int slot, bool on) {
    post([this, slot, on](CHostMode&) {
        if (CTncChannel* channel = channelOf(slot))
            channel->settings().connectMsg = on;
    });
}

}  // namespace norva
