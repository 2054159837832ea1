// The desktop program's start-up and shut-down. DesktopSession runs the steps
// in their order: norva.ini in the program directory, the Frame and Color
// keys, "Norva Start..." in system.log, the main window, the channel windows
// of TncDocuments, the engine (which creates and starts the TNCs), TopLink to
// the front. When the main window has accepted its closing, finish() stops
// every TNC through the engine, writes "Norva Stop..." and the Frame and
// Color keys. SIGTERM and SIGINT close the program as "OK" on the quit
// question would, without asking.
#pragma once

// std
#include <filesystem>
#include <memory>
#include <vector>

// Qt
#include <QObject>

// Norva
#include "app/AppSettings.h"
#include "hostmode/TncPort.h"
#include "platform/Clock.h"

class QSocketNotifier;

namespace norva {

class CMainFrame;
class Engine;
class EngineLink;
class Profile;
class QtUiPort;
class SystemLog;

struct DesktopOptions {
    std::filesystem::path programDir;
    bool showSplash = true;  // the start-up picture when ShowBitmap is set
    StreamOpener openStream;  // default: the real ports
    std::function<void(std::string_view)> trace = {};  // TNC link-state changes (--trace)
    std::vector<std::filesystem::path> openFiles = {};  // station files opened once the program runs
    std::string busAddress = {};  // the IPC service's D-Bus address; empty: the session bus
};

class DesktopSession : public QObject {
    Q_OBJECT
public:
    explicit DesktopSession(DesktopOptions options, QObject* parent = nullptr);
    ~DesktopSession() override;

    // Start-up; false when the main window could not be made.
    bool start();
    // Shut-down after the main window closed (idempotent).
    void finish();
    bool finished() const { return finished_; }

    CMainFrame* mainFrame() const { return frame_.get(); }
    Engine* engine() const { return engine_.get(); }
    EngineLink* engineLink() const { return link_.get(); }
    QtUiPort* uiPort() const { return ui_.get(); }
    Profile& profile() const { return *profile_; }
    AppSettings& settings() { return settings_; }
    // Settings that could not be used at start, and write failures at the end.
    const std::vector<std::string>& messages() const { return messages_; }

signals:
    void done();

private:
    void showSplash();

    DesktopOptions options_;
    std::unique_ptr<Profile> profile_;
    AppSettings settings_;
    RealClock clock_;
    std::unique_ptr<SystemLog> log_;
    std::unique_ptr<CMainFrame> frame_;
    std::unique_ptr<QtUiPort> ui_;
    std::unique_ptr<Engine> engine_;
    std::unique_ptr<EngineLink> link_;
    std::vector<std::string> messages_;
    bool started_ = false;
    bool finished_ = false;
};

// SIGTERM and SIGINT, taken from a self-pipe into the event loop.
class StopSignals : public QObject {
    Q_OBJECT
public:
    explicit StopSignals(QObject* parent = nullptr);
    ~StopSignals() override;

signals:
    void received(int signal);

private:
    int fds_[2] = {-1, -1};
    QSocketNotifier* notifier_ = nullptr;
};

// The desktop program: returns the process exit code.
int runDesktop(int argc, char** argv);

}  // namespace norva
