// SevenPlusCommands: "7Plus Datei entpacken...": the operator picks a
// collected part and the extraction directory; the decoder script runs as a
// child process watched by a timer (the desktop never waits for it), and
// its output is shown when it ends.
#pragma once

// std
#include <filesystem>
#include <memory>
#include <string>

// Qt
#include <QObject>
#include <QTimer>

// Norva
#include "gui/TransferCommands.h"
#include "platform/Programs.h"

class QWidget;

namespace norva {

class Profile;

class SevenPlusCommands : public QObject {
    Q_OBJECT
public:
    SevenPlusCommands(Profile& profile, std::filesystem::path programDir, QWidget* parent);

    void setFileChooser(FileChooser chooser) { chooser_ = std::move(chooser); }
    // The menu command; false when nothing was started.
    bool extract();
    bool running() const { return child_ != nullptr; }

signals:
    // The decoder ended (or was ended after its time); its output.
    void finished(const QString& output);

private:
    void poll();

    Profile& profile_;
    std::filesystem::path programDir_;
    QWidget* parent_;
    FileChooser chooser_ = chooseFileWithDialog;
    std::unique_ptr<ChildProcess> child_;
    std::string output_;
    QTimer timer_;
    int ticks_ = 0;
};

}  // namespace norva
