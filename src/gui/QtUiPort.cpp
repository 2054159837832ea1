// QtUiPort: the queue between the core and the GUI thread (see QtUiPort.h).
#include "gui/QtUiPort.h"

// std
#include <future>

// Qt
#include <QCoreApplication>
#include <QThread>

namespace norva {

// A question waiting for the GUI thread; the asking thread waits on `answer`.
struct QtUiPort::Question {
    std::string caption;
    std::string text;
    std::string checkboxText;
    bool checked = false;
    std::promise<bool> answer;
    bool answered = false;  // guarded by the port's mutex

    void reply(bool ok) {
        if (answered)
            return;
        answered = true;
        answer.set_value(ok);
    }
};

QtUiPort::QtUiPort(UiTarget& target, QObject* parent) : QObject(parent), target_(target) {}

QtUiPort::~QtUiPort() { close(); }

void QtUiPort::enqueue(Entry entry) {
    {
        std::lock_guard lock(mutex_);
        if (closed_)
            return;
        if (entry.isAppend && !queue_.empty()) {
            Entry& last = queue_.back();
            if (last.isAppend && last.slot == entry.slot && last.colourClass == entry.colourClass &&
                last.bytes.size() + entry.bytes.size() <= kMaxJoinedAppend) {
                last.bytes += entry.bytes;
                return;
            }
        }
        queue_.push_back(std::move(entry));
    }
    schedule();
}

void QtUiPort::schedule() {
    {
        std::lock_guard lock(mutex_);
        if (scheduled_ || closed_)
            return;
        scheduled_ = true;
    }
    QMetaObject::invokeMethod(this, &QtUiPort::drain, Qt::QueuedConnection);
}

bool QtUiPort::runOne() {
    Entry entry;
    {
        std::lock_guard lock(mutex_);
        if (queue_.empty() || closed_)
            return false;
        entry = std::move(queue_.front());
        queue_.pop_front();
    }
    if (entry.isAppend)
        target_.uiAppendText(entry.slot, entry.colourClass, entry.bytes);
    else
        entry.run(target_);
    return true;
}

// One slice: entries in order until the queue is empty or the slice is used
// up; then the views repaint and, when work is left, another slice is queued
// behind the events (keys, paints) that arrived meanwhile.
void QtUiPort::drain() {
    {
        std::lock_guard lock(mutex_);
        scheduled_ = false;
    }
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const auto budget = std::chrono::milliseconds(sliceMs_);
    bool worked = false;
    while (runOne()) {
        worked = true;
        if (Clock::now() - start >= budget)
            break;
    }
    if (worked)
        target_.uiSliceDone();
    const auto took = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start);
    bool more = false;
    {
        std::lock_guard lock(mutex_);
        longest_ = std::max(longest_, took);
        more = !queue_.empty();
    }
    if (more)
        schedule();
}

void QtUiPort::drainAll() {
    while (runOne()) {
    }
    target_.uiSliceDone();
}

void QtUiPort::close() {
    std::lock_guard lock(mutex_);
    closed_ = true;
    queue_.clear();
    for (auto& q : questions_)
        q->reply(false);
    questions_.clear();
}

std::chrono::microseconds QtUiPort::longestSlice() const {
    std::lock_guard lock(mutex_);
    return longest_;
}

std::size_t QtUiPort::pending() const {
    std::lock_guard lock(mutex_);
    return queue_.size();
}

void QtUiPort::statusMessage(std::string_view text) {
    enqueue({false, 0, 0, {}, [t = std::string(text)](UiTarget& ui) { ui.uiStatusMessage(t); }});
}

void QtUiPort::messageBox(std::string_view caption, std::string_view text) {
    enqueue({false, 0, 0, {},
             [c = std::string(caption), t = std::string(text)](UiTarget& ui) {
                 ui.uiMessageBox(c, t);
             }});
}

bool QtUiPort::ask(std::string_view caption, std::string_view text, std::string_view checkboxText,
                   bool* checked) {
    if (QThread::currentThread() == thread()) {
        {
            std::lock_guard lock(mutex_);
            if (closed_)
                return false;
        }
        return target_.uiAsk(std::string(caption), std::string(text), std::string(checkboxText),
                             checked);
    }

    auto q = std::make_shared<Question>();
    q->caption = caption;
    q->text = text;
    q->checkboxText = checkboxText;
    q->checked = checked ? *checked : false;
    std::future<bool> answer = q->answer.get_future();
    {
        std::lock_guard lock(mutex_);
        if (closed_)
            return false;
        questions_.push_back(q);
    }
    enqueue({false, 0, 0, {}, [this, q](UiTarget& ui) {
                 bool box = q->checked;
                 const bool ok = ui.uiAsk(q->caption, q->text, q->checkboxText, &box);
                 std::lock_guard lock(mutex_);
                 q->checked = box;
                 q->reply(ok);
                 std::erase(questions_, q);
             }});
    const bool ok = answer.get();
    if (checked) {
        std::lock_guard lock(mutex_);
        *checked = q->checked;
    }
    return ok;
}

void QtUiPort::appendText(int slot, int colourClass, std::string_view oemBytes) {
    if (oemBytes.empty())
        return;
    enqueue({true, slot, colourClass, std::string(oemBytes), {}});
}

void QtUiPort::windowTitle(int slot, std::string_view title) {
    enqueue({false, 0, 0, {},
             [slot, t = std::string(title)](UiTarget& ui) { ui.uiWindowTitle(slot, t); }});
}

void QtUiPort::jumpToEnd(int slot) {
    enqueue({false, 0, 0, {}, [slot](UiTarget& ui) { ui.uiJumpToEnd(slot); }});
}

void QtUiPort::statusField(StatusField field, std::string_view text) {
    enqueue({false, 0, 0, {},
             [field, t = std::string(text)](UiTarget& ui) { ui.uiStatusField(field, t); }});
}

void QtUiPort::channelButton(int slot, std::string_view label) {
    enqueue({false, 0, 0, {},
             [slot, t = std::string(label)](UiTarget& ui) { ui.uiChannelButton(slot, t); }});
}

void QtUiPort::playSound(std::string_view event, bool beepWhenOff) {
    enqueue({false, 0, 0, {}, [e = std::string(event), beepWhenOff](UiTarget& ui) {
                 ui.uiPlaySound(e, beepWhenOff);
             }});
}

void QtUiPort::connectNotice(int slot) {
    enqueue({false, 0, 0, {}, [slot](UiTarget& ui) { ui.uiConnectNotice(slot); }});
}

void QtUiPort::askBinaryReceive(int slot) {
    enqueue({false, 0, 0, {}, [slot](UiTarget& ui) { ui.uiAskBinaryReceive(slot); }});
}

void QtUiPort::insertInput(int slot, std::string_view oemBytes) {
    enqueue({false, 0, 0, {}, [slot, text = std::string(oemBytes)](UiTarget& ui) { ui.uiInsertInput(slot, text); }});
}

void QtUiPort::openStationFile(std::string_view path) {
    enqueue({false, 0, 0, {}, [path = std::string(path)](UiTarget& ui) { ui.uiOpenStationFile(path); }});
}

}  // namespace norva
