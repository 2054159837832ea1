// Waits of the GUI tests on real events instead of fixed sleeps, for checks
// that something did not happen: the engine has run what the GUI posted, the
// GUI has taken in what the engine queued for it, a channel's jobs have
// ticked. Each wait ends when the event has happened, however loaded the
// machine is; a fault that would have shown by then shows in the assertion
// that follows.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include <QCoreApplication>
#include <QMainWindow>
#include <QStatusBar>
#include <QTest>

#include "channel/ChannelJob.h"
#include "channel/TncChannel.h"
#include "gui/EngineLink.h"
#include "hostmode/HostContext.h"
#include "hostmode/HostMode.h"
#include "platform/UiPort.h"

namespace norva::test {

// Everything the GUI has queued is handed on, and everything posted to the
// engine before it has run: a send the GUI made by now is on the air.
inline void engineRoundTrip(EngineLink& link) {
    QCoreApplication::processEvents();
    link.call([](CHostMode&) {});
}

// A job that ends after its n-th tick. A channel ticks its jobs one after
// the other, so once the probe has ended every other job of the channel has
// ticked at least n - 1 times since it was put there.
class TickProbe : public CChannelJob {
public:
    TickProbe(int ticks, std::shared_ptr<std::atomic<bool>> done) : left_(ticks), done_(std::move(done)) {}
    int tick() override {
        if (--left_ > 0) return 1;
        *done_ = true;
        return 0;
    }

private:
    int left_;
    std::shared_ptr<std::atomic<bool>> done_;
};

// The channel of a slot has polled its TNC and ticked its jobs `ticks` more
// times (what the GUI posted before included). The probe takes the companion
// slot, which a station without the companion program leaves free; false
// when it is taken, the channel does not exist or the probe never ended.
inline bool channelTicked(EngineLink& link, int slot, int ticks = 6) {
    QCoreApplication::processEvents();
    auto done = std::make_shared<std::atomic<bool>>(false);
    const bool placed = link.call([&link, slot, ticks, done](CHostMode&) {
        CTncChannel* ch = link.channelOf(slot);
        if (!ch || ch->job(JobSlot::CompanionHook)) return false;
        return ch->setJob(JobSlot::CompanionHook, std::make_unique<TickProbe>(ticks, done));
    });
    return placed && QTest::qWaitFor([&] { return done->load(); }, 10000);
}

// The GUI has carried out everything the engine queued for it until now:
// a status message sent behind it through the same queue has been shown.
// The status line is cleared afterwards.
inline bool uiCaughtUp(EngineLink& link, QMainWindow& frame) {
    static int round = 0;
    const std::string marker = "norva-test-sync " + std::to_string(++round);
    QCoreApplication::processEvents();
    link.post([marker](CHostMode& hm) { hm.context().ui.statusMessage(marker); });
    const bool shown = QTest::qWaitFor(
        [&] { return frame.statusBar()->currentMessage() == QString::fromStdString(marker); }, 10000);
    frame.statusBar()->clearMessage();
    return shown;
}

}  // namespace norva::test
