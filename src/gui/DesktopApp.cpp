// Start-up and shut-down of the desktop program (see DesktopApp.h).
#include "gui/DesktopApp.h"

// std
#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

// Qt
#include <QApplication>
#include <QMessageBox>
#include <QIcon>
#include <QPainter>
#include <QSocketNotifier>
#include <QSplashScreen>
#include <QTimer>

// Norva
#include "app/CommandLine.h"
#include "app/SingleInstance.h"
#include "app/Engine.h"
#include "gui/EngineLink.h"
#include "gui/MainFrame.h"
#include "gui/QtUiPort.h"
#include "gui/StationCommands.h"
#include "platform/Profile.h"
#include "platform/ProgramDir.h"
#include "platform/SystemLog.h"

namespace norva {

namespace {

// The program's icon, drawn: no image files to install.
QIcon norvaIcon() {
    QPixmap pixmap(64, 64);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(0, 0, 110));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(2, 2, 60, 60), 12, 12);
    p.setPen(QPen(QColor(255, 200, 0), 3));
    p.drawArc(QRectF(36, 6, 20, 20), 0, 90 * 16);
    p.drawArc(QRectF(30, 0, 32, 32), 0, 90 * 16);
    QFont f = p.font();
    f.setPixelSize(40);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRectF(2, 8, 56, 56), Qt::AlignCenter, "N");
    return QIcon(pixmap);
}

}  // namespace

DesktopSession::DesktopSession(DesktopOptions options, QObject* parent)
    : QObject(parent), options_(std::move(options)) {}

DesktopSession::~DesktopSession() {
    if (started_)
        finish();
}

bool DesktopSession::start() {
    const std::filesystem::path& dir = options_.programDir;
    profile_ = std::make_unique<Profile>(dir / "norva.ini");
    profile_->setPrivate(true);  // it holds the //SYS password
    log_ = std::make_unique<SystemLog>(dir, clock_);
    if (seedDefaultProfile(*profile_))
        log_->event("norva.ini mit dem Beispielprofil angelegt\r\n");

    settings_ = loadAppSettings(*profile_);
    messages_ = settings_.messages;
    if (auto problem = checkWritable(dir))
        messages_.push_back(*problem);
    log_->event("Norva Start...\r\n");

    QApplication::setWindowIcon(norvaIcon());
    frame_ = std::make_unique<CMainFrame>(*profile_, settings_, dir);
    ui_ = std::make_unique<QtUiPort>(*frame_);
    // Settings that cannot be written are said, never lost silently; the
    // report may come from the engine thread, the UI port queues it.
    profile_->setFailureReport([this](const std::string& message) {
        log_->event(message + "\r\n");
        ui_->messageBox("Norva", message);
    });
    connect(frame_.get(), &CMainFrame::closeAccepted, this, &DesktopSession::finish);
    if (options_.showSplash && settings_.frame.showBitmap != 0)
        showSplash();

    frame_->restoreDocuments();
    frame_->show();
    if (settings_.frame.autoArrange != 0)
        frame_->arrangeAll();  // the client area has its size only now

    EngineConfig config;
    config.programDir = dir;
    config.settings.noExtHostMode = settings_.frame.noExtHostMode != 0;
    config.settings.yield = settings_.frame.yield != 0;
    config.openStream = options_.openStream;
    config.trace = options_.trace;
    config.busAddress = options_.busAddress;
    engine_ = std::make_unique<Engine>(config, *profile_, *ui_, clock_);
    link_ = std::make_unique<EngineLink>(*engine_);
    frame_->setEngine(link_.get());
    engine_->start();
    frame_->refreshTncList();
    frame_->bringTopLinkToFront();
    frame_->showStartMessages(messages_);
    started_ = true;
    if (!options_.openFiles.empty())
        QTimer::singleShot(0, frame_.get(), [this] {
            for (const auto& file : options_.openFiles)
                frame_->stations().openStationFile(file);
        });
    return true;
}

void DesktopSession::showSplash() {
    QPixmap picture(420, 180);
    picture.fill(QColor(0, 0, 96));
    QPainter painter(&picture);
    painter.setPen(Qt::white);
    QFont big = painter.font();
    big.setPointSize(32);
    big.setBold(true);
    painter.setFont(big);
    painter.drawText(QRect(0, 20, 420, 80), Qt::AlignCenter, "Norva");
    QFont small = painter.font();
    small.setPointSize(11);
    small.setBold(false);
    painter.setFont(small);
    painter.drawText(QRect(0, 110, 420, 40), Qt::AlignCenter, "Norva 4.26 / 32 Bit Version");
    painter.end();
    auto* splash = new QSplashScreen(picture);
    splash->setAttribute(Qt::WA_DeleteOnClose);
    splash->show();
    QTimer::singleShot(2500, splash, &QWidget::close);
}

void DesktopSession::finish() {
    if (finished_ || !started_)
        return;
    finished_ = true;
    std::vector<std::string> failures;
    frame_->saveWindowSettings(failures);
    frame_->hide();
    // Nobody is there to answer any more: the windows are gone, a question
    // the engine might ask while stopping is answered with Cancel.
    ui_->close();
    // The main window's closing: every TNC's stop sequence.
    link_->shutdown();
    log_->event("Norva Stop...\r\n");
    saveFrameAndColours(*profile_, settings_, failures);
    if (!profile_->flush()) {
        const std::string lost = "Die Einstellungen können nicht gespeichert werden: " + profile_->path().string();
        log_->event(lost + "\r\n");
        if (std::find(failures.begin(), failures.end(), lost) == failures.end())
            failures.push_back(lost);
    }
    profile_->setFailureReport(nullptr);
    for (const std::string& f : failures)
        std::fprintf(stderr, "norva: %s\n", f.c_str());
    messages_.insert(messages_.end(), failures.begin(), failures.end());
    emit done();
}

// ------------------------------------------------------------ signals

namespace {
// The write end of the self-pipe; the handler may use nothing else.
std::atomic<int> gSignalFd{-1};

void onStopSignal(int signal) {
    const int fd = gSignalFd.load();
    if (fd < 0)
        return;
    const auto byte = static_cast<unsigned char>(signal);
    [[maybe_unused]] const auto n = ::write(fd, &byte, 1);
}
}  // namespace

StopSignals::StopSignals(QObject* parent) : QObject(parent) {
    if (::pipe2(fds_, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    gSignalFd.store(fds_[1]);
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    notifier_ = new QSocketNotifier(fds_[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        unsigned char byte = 0;
        while (::read(fds_[0], &byte, 1) == 1)
            emit received(byte);
    });
}

StopSignals::~StopSignals() {
    if (fds_[0] < 0)
        return;
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    gSignalFd.store(-1);
    ::close(fds_[0]);
    ::close(fds_[1]);
}

// ------------------------------------------------------------ the program

int runDesktop(int argc, char** argv) {
    const CommandLine cl = parseCommandLine(argc, argv);
    if (const auto exitCode = answerHelpOrError(cl)) return *exitCode;
    QApplication app(argc, argv);
    QApplication::setApplicationName("Norva");
    // The program ends when its shut-down is done, not when a window closes.
    QApplication::setQuitOnLastWindowClosed(false);
    const ProgramDirResult dir = resolveProgramDir(cl.dir);
    if (!dir.error.empty()) {
        std::fprintf(stderr, "norva: %s\n", dir.error.c_str());
        QMessageBox::critical(nullptr, "Norva", QString::fromStdString(dir.error));
        return 1;
    }
    // After QApplication took its own options out of argv.
    const std::vector<std::filesystem::path> files = stationFilesOnCommandLine(argc, argv);
    // A Norva of this station already runs: it opens the files, this one ends.
    const Profile ini(dir.dir / "norva.ini");
    if (handOffToRunningNorva(cl.busAddress, ini.getString("Frame", "MyName", "norva"), files))
        return 0;
    StopSignals stopSignals;
    DesktopSession session({dir.dir, true, {}, traceSink(cl), files, cl.busAddress});
    if (!session.start())
        return 1;
    QObject::connect(&stopSignals, &StopSignals::received, session.mainFrame(),
                     &CMainFrame::quitWithoutAsking);
    QObject::connect(&session, &DesktopSession::done, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    return QApplication::exec();
}

}  // namespace norva
