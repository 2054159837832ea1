// QtUiPort: the core's UiPort for the desktop program. Calls may come from any
// thread (mostly the engine's); each becomes an entry of one ordered queue
// that the GUI thread works off in slices of a few milliseconds, so a flood of
// received text never blocks typing or painting for long. Consecutive appends
// to the same slot and class are joined, so a flood costs few queue entries.
// ask() blocks its caller until the GUI thread has answered; the GUI thread
// itself never waits for the engine, so the two cannot deadlock.
#pragma once

// std
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

// Qt
#include <QObject>

// Norva
#include "platform/UiPort.h"

namespace norva {

// Who carries the requests out on the GUI thread (the main window).
class UiTarget {
public:
    virtual ~UiTarget() = default;
    virtual void uiStatusMessage(const std::string& text) = 0;
    virtual void uiMessageBox(const std::string& caption, const std::string& text) = 0;
    virtual bool uiAsk(const std::string& caption, const std::string& text,
                       const std::string& checkboxText, bool* checked) = 0;
    virtual void uiAppendText(int slot, int colourClass, std::string_view oemBytes) = 0;
    virtual void uiWindowTitle(int slot, const std::string& title) = 0;
    virtual void uiJumpToEnd(int slot) = 0;
    virtual void uiStatusField(StatusField field, const std::string& text) = 0;
    virtual void uiChannelButton(int slot, const std::string& label) = 0;
    virtual void uiPlaySound(const std::string& event, bool beepWhenOff) = 0;
    virtual void uiConnectNotice(int slot) = 0;
    // A #BIN# header named a file that cannot be used: offer the reception.
    virtual void uiAskBinaryReceive(int /*slot*/) {}
    // Text for the operator to send, into the slot's input pane.
    virtual void uiInsertInput(int /*slot*/, const std::string& /*oemBytes*/) {}
    // Another program handed over a station file.
    virtual void uiOpenStationFile(const std::string& /*path*/) {}
    // After each slice of work: repaint what the appends changed.
    virtual void uiSliceDone() = 0;
};

class QtUiPort : public QObject, public UiPort {
    Q_OBJECT
public:
    // One slice of queued work runs at most about this long.
    static constexpr int kDefaultSliceMs = 8;
    // Appends are joined up to this many bytes per entry.
    static constexpr std::size_t kMaxJoinedAppend = 4096;

    explicit QtUiPort(UiTarget& target, QObject* parent = nullptr);
    ~QtUiPort() override;

    void statusMessage(std::string_view text) override;
    void messageBox(std::string_view caption, std::string_view text) override;
    bool ask(std::string_view caption, std::string_view text, std::string_view checkboxText,
             bool* checked) override;
    void appendText(int slot, int colourClass, std::string_view oemBytes) override;
    void windowTitle(int slot, std::string_view title) override;
    void jumpToEnd(int slot) override;
    void statusField(StatusField field, std::string_view text) override;
    void channelButton(int slot, std::string_view label) override;
    void playSound(std::string_view event, bool beepWhenOff) override;
    void connectNotice(int slot) override;
    void askBinaryReceive(int slot) override;
    void insertInput(int slot, std::string_view oemBytes) override;
    void openStationFile(std::string_view path) override;

    // From now on requests are dropped and questions answered with Cancel
    // (the windows are gone); pending questions are answered at once.
    void close();
    void setSliceMs(int ms) { sliceMs_ = ms; }

    // Measurements for the benchmark: the longest slice and the entries waiting.
    std::chrono::microseconds longestSlice() const;
    std::size_t pending() const;
    // Works off everything queued now (tests).
    void drainAll();

private slots:
    void drain();

private:
    struct Question;
    struct Entry {
        bool isAppend = false;
        int slot = 0;
        int colourClass = 0;
        std::string bytes;
        std::function<void(UiTarget&)> run;
    };

    void enqueue(Entry entry);
    void schedule();
    bool runOne();

    UiTarget& target_;
    mutable std::mutex mutex_;
    std::deque<Entry> queue_;
    std::deque<std::shared_ptr<Question>> questions_;
    bool scheduled_ = false;
    bool closed_ = false;
    int sliceMs_ = kDefaultSliceMs;
    std::chrono::microseconds longest_{0};
};

}  // namespace norva
