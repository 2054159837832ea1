// Waits of the GUI tests on real events instead of fixed sleeps, for checks
// that something did not happen: the engine has run what the GUI posted,
// the GUI has taken in what the engine queued for it, every channel has been
// polled and its jobs have ticked. Each wait ends when the event has
// happened, however loaded the machine is; a fault that would have shown by
// then shows in the assertion that follows.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include <QCoreApplication>
#include <QMainWindow>
#include <QStatusBar>
#include <QTest>

#include "app/Engine.h"
#include "gui/EngineLink.h"
#include "hostmode/HostContext.h"
#include "hostmode/HostMode.h"
#include "hostmode/Tnc.h"
#include "platform/UiPort.h"

namespace norva::test {

// Everything the GUI has queued is handed on, and everything posted to the
// engine before it has run: a send the GUI made by now is on the air.
inline void engineRoundTrip(EngineLink& link) {
    QCoreApplication::processEvents();
    link.call([](CHostMode&) {});
}

// The engine has polled every channel of every TNC `rounds` more times (what
// the GUI posted before included). A poll step polls one channel (its jobs
// tick first, then it fetches what the TNC holds for it) and the steps go
// round the channels of one TNC, then of the next; a round is one step per
// channel and one more per TNC. A disconnected channel fetches on every
// fourth poll only, so the default leaves room for that twice over.
inline bool channelsPolled(EngineLink& link, int rounds = 8) {
    QCoreApplication::processEvents();
    const auto [start, round] = link.call([&link](CHostMode& hm) {
        std::uint64_t steps = 0;
        for (int n = 1; n <= kDummyTnc; ++n)
            if (const CTnc* tnc = hm.tnc(n)) steps += static_cast<std::uint64_t>(tnc->channelCount()) + 1;
        return std::pair{link.engine().steps(), steps};
    });
    const std::uint64_t target = start + static_cast<std::uint64_t>(rounds) * round;
    return QTest::qWaitFor([&] { return link.engine().steps() >= target; }, 10000);
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
