// Helpers of the GUI tests: a desktop session on a temporary program
// directory (Qt's offscreen platform), waiting for conditions while the event
// loop runs, answering modal questions from a timer, reading pane text.
#pragma once

// std
#include <functional>
#include <memory>
#include <string>

// Qt
#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

// Norva
#include "gui/DesktopApp.h"
#include "gui/EngineLink.h"
#include "hostmode/HostMode.h"
#include "hostmode/VirtualTnc.h"
#include "support/AirRecorder.h"
#include "gui/MainFrame.h"
#include "support/TempDir.h"
#include "terminal/TermText.h"
#include "terminal/TextWindow.h"

#include <gtest/gtest.h>

namespace norva::test {

// Runs the event loop until cond holds or ms pass.
inline bool waitFor(const std::function<bool()>& cond, int ms = 5000) {
    return QTest::qWaitFor(cond, ms);
}

// Types text key by key; unlike QTest::keyClicks it takes any character.
inline void typeText(QWidget* widget, const QString& text) {
    for (const QChar ch : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(widget, &release);
    }
}

// The held lines of a text window as UTF-8, trailing blanks cut.
inline std::vector<std::string> lines(const CTextWindow& w) {
    std::vector<std::string> out;
    for (int i = 0; i < w.heldLines(); ++i) {
        std::u32string_view line = w.heldLine(i);
        while (!line.empty() && line.back() == U' ')
            line.remove_suffix(1);
        out.push_back(termtext::toUtf8(line));
    }
    return out;
}

inline int findLine(const CTextWindow& w, const std::string& text) {
    const auto all = lines(w);
    for (std::size_t i = 0; i < all.size(); ++i)
        if (all[i].find(text) != std::string::npos)
            return static_cast<int>(i);
    return -1;
}

// Answers the next modal message box with `button`; its text lands in *seen.
class Answerer : public QObject {
public:
    explicit Answerer(QMessageBox::StandardButton button, QString* seen = nullptr)
        : button_(button), seen_(seen) {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, this, [this] { poll(); });
        timer_.start();
    }
    bool answered() const { return answered_; }

private:
    void poll() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        if (seen_)
            *seen_ = box->text();
        timer_.stop();
        answered_ = true;
        if (QAbstractButton* b = box->button(button_))
            b->click();
        else
            box->reject();
    }

    QMessageBox::StandardButton button_;
    QString* seen_;
    QTimer timer_;
    bool answered_ = false;
};

class GuiTest : public ::testing::Test {
protected:
    void TearDown() override {
        if (session && !session->finished()) {
            session->mainFrame()->quitWithoutAsking();
            waitFor([this] { return session->finished(); });
        }
        session.reset();
    }

    void start() {
        session = std::make_unique<DesktopSession>(DesktopOptions{dir.path(), false, {}});
        ASSERT_TRUE(session->start());
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frame()));
    }
    CMainFrame* frame() const { return session->mainFrame(); }
    std::string ini() const { return dir.read("norva.ini"); }

    TempDir dir;
    std::unique_ptr<DesktopSession> session;
};

// A session on the in-process TNC ("dde" port) whose air is recorded: the
// fixture of the tests that drive a channel from the menus.
class AirGuiTest : public GuiTest {
protected:
    // start() with what the host writes on the TNC recorded in air.
    void startWithAir() {
        start();
        link()->call([this](CHostMode& hm) { hm.virtualTnc().setPartner(&air); });
    }
    void TearDown() override {
        if (session && !session->finished())
            link()->call([](CHostMode& hm) { hm.virtualTnc().setPartner(nullptr); });
        GuiTest::TearDown();
    }
    EngineLink* link() const { return session->engineLink(); }

    AirRecorder air;
};

}  // namespace norva::test
