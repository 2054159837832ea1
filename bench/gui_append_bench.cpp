// gui_append_bench: 4 MB of monitor text through a channel window.
//  1. the output pane model alone (COutput::append on the GUI thread, with its
//     view attached): bytes per second appended in the model;
//  2. the whole road: the engine thread delivers monitor frames (headers and
//     info of up to 256 bytes, one appendText each) as fast as it can; the
//     GUI thread works them off in slices while a 1 ms heartbeat timer
//     measures the longest time the GUI thread did not get to its events.
// Runs on Qt's offscreen platform unless QT_QPA_PLATFORM says otherwise.
// Prints numbers; asserts nothing.

// std
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

// Qt
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

// Norva
#include "app/Engine.h"
#include "gui/DesktopApp.h"
#include "gui/EngineLink.h"
#include "gui/MainFrame.h"
#include "gui/NorvaSplit.h"
#include "gui/PaneViews.h"
#include "gui/QtUiPort.h"
#include "platform/UiPort.h"

namespace {

using namespace norva;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kTotal = 4 * 1024 * 1024;
constexpr int kMonitorSlot = 1;

struct Frame {
    int colourClass;
    std::string bytes;
};

// Monitor traffic: a header (class 5 or 6), and after a class 6 header its
// information (class 7), cut like host-mode frames.
std::vector<Frame> monitorFrames() {
    std::vector<Frame> frames;
    std::size_t total = 0;
    for (int i = 0; total < kTotal; ++i) {
        const bool withInfo = i % 3 != 0;
        std::string head = "fm DL" + std::to_string(i % 10) + "ABC-" + std::to_string(i % 16) +
                           " to DB0XYZ via DB0RGB* ctl I" + std::to_string(i % 8) + std::to_string((i + 3) % 8) +
                           (withInfo ? "^ pid F0\r" : "+\r");
        total += head.size();
        frames.push_back({withInfo ? 6 : 5, std::move(head)});
        if (!withInfo)
            continue;
        std::string info;
        const int length = 40 + (i * 37) % 200;
        for (int k = 0; k < length; ++k)
            info += static_cast<char>(k % 71 == 70 ? '\r' : 'a' + (i + k) % 26);
        info += '\r';
        total += info.size();
        frames.push_back({7, std::move(info)});
    }
    return frames;
}

double mbPerSecond(std::size_t bytes, double seconds) {
    return seconds > 0 ? static_cast<double>(bytes) / (1024.0 * 1024.0) / seconds : 0;
}

// The longest gap between two ticks of a 1 ms timer on the GUI thread.
class Heartbeat : public QObject {
public:
    Heartbeat() {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(1);
        connect(&timer_, &QTimer::timeout, this, [this] {
            const auto now = Clock::now();
            longest_ = std::max(longest_, now - last_);
            last_ = now;
            ++ticks_;
        });
    }
    void start() {
        longest_ = {};
        ticks_ = 0;
        last_ = Clock::now();
        timer_.start();
    }
    void stop() { timer_.stop(); }
    double longestMs() const { return std::chrono::duration<double, std::milli>(longest_).count(); }
    long ticks() const { return ticks_; }

private:
    QTimer timer_;
    Clock::time_point last_;
    Clock::duration longest_{};
    long ticks_ = 0;
};

std::filesystem::path makeProgramDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "norva-bench-XXXXXX").string();
    if (!mkdtemp(tmpl.data()))
        std::abort();
    const std::filesystem::path dir(tmpl);
    std::ofstream(dir / "norva.ini", std::ios::binary)
        << "[Frame]\r\nleft=0\r\ntop=0\r\nright=1000\r\nbottom=740\r\nShowBitmap=0\r\n"
           "[TncDocuments]\r\n1=1\r\n";
    return dir;
}

void modelAlone(CNorvaSplit& window, const std::vector<Frame>& frames) {
    const auto start = Clock::now();
    std::size_t bytes = 0;
    for (const Frame& f : frames) {
        window.output().append(f.bytes, f.colourClass);
        bytes += f.bytes.size();
    }
    window.flush();
    const double s = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("model alone:   %7.2f MB in %7.1f ms = %7.1f MB/s appended in COutput\n",
                static_cast<double>(bytes) / (1024.0 * 1024.0), s * 1000, mbPerSecond(bytes, s));
}

void throughTheEngine(DesktopSession& session, CNorvaSplit& window, const std::vector<Frame>& frames) {
    Heartbeat heartbeat;
    heartbeat.start();
    bool delivered = false;
    std::size_t bytes = 0;
    for (const Frame& f : frames)
        bytes += f.bytes.size();
    const auto start = Clock::now();
    Clock::time_point producedAt;
    session.engine()->post([&] {
        UiPort& ui = session.engine()->context().ui;
        for (const Frame& f : frames)
            ui.appendText(kMonitorSlot, f.colourClass, f.bytes);
        ui.appendText(kMonitorSlot, 2, "END OF BENCH\r");
        producedAt = Clock::now();
        delivered = true;
    });
    QtUiPort& port = *session.uiPort();
    QElapsedTimer guard;
    guard.start();
    std::size_t mostPending = 0;
    while (guard.elapsed() < 120000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        mostPending = std::max(mostPending, port.pending());
        if (delivered && port.pending() == 0) {
            const CTextWindow& w = window.output().window();
            const auto last = w.heldLine(w.heldLines() - 2);
            if (last.substr(0, 12) == U"END OF BENCH")
                break;
        }
    }
    const auto end = Clock::now();
    heartbeat.stop();
    const double s = std::chrono::duration<double>(end - start).count();
    const double produce = std::chrono::duration<double>(producedAt - start).count();
    std::printf("engine -> GUI: %7.2f MB in %7.1f ms = %7.1f MB/s into the window "
                "(%zu frames; the engine handed them over in %.1f ms)\n",
                static_cast<double>(bytes) / (1024.0 * 1024.0), s * 1000, mbPerSecond(bytes, s),
                frames.size() + 1, produce * 1000);
    std::printf("GUI thread:    longest gap between 1 ms heartbeats %.1f ms (target <= 50 ms), "
                "longest queue slice %.1f ms, %ld heartbeats, at most %zu queue entries waiting\n",
                heartbeat.longestMs(), port.longestSlice().count() / 1000.0, heartbeat.ticks(),
                mostPending);
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    const std::filesystem::path dir = makeProgramDir();
    const std::vector<Frame> frames = monitorFrames();
    {
        DesktopSession session({dir, false, {}});
        if (!session.start())
            return 1;
        QCoreApplication::processEvents();
        CNorvaSplit* window = session.mainFrame()->channelWindow(kMonitorSlot);
        if (!window)
            return 1;
        std::printf("monitor window: %d x %d cells visible, ring %d x %d\n",
                    window->output().window().visibleRows(), window->output().window().visibleColumns(),
                    window->output().window().rows(), window->output().window().columns());
        modelAlone(*window, frames);
        throughTheEngine(session, *window, frames);
        session.mainFrame()->quitWithoutAsking();
        while (!session.finished())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    return 0;
}
