// SevenPlusCommands: the 7Plus entries of the Transfer menu.
// "7Plus Datei entpacken...": the operator picks a collected part (or a
// correction file) and the extraction directory; the set is decoded on the
// engine thread and what happened is shown. "7Plus Datei senden...": a
// chosen file goes out on the channel as 7Plus parts (an error report is
// answered with its correction).
#pragma once

// std
#include <filesystem>
#include <string>

// Qt
#include <QObject>

// Norva
#include "gui/TransferCommands.h"

class QWidget;

namespace norva {

class EngineLink;
class Profile;

class SevenPlusCommands : public QObject {
    Q_OBJECT
public:
    SevenPlusCommands(Profile& profile, std::filesystem::path programDir, QWidget* parent);

    void setFileChooser(FileChooser chooser) { chooser_ = std::move(chooser); }
    // "7Plus Datei entpacken..."; false when nothing was decoded.
    bool extract(EngineLink* link);
    // "7Plus Datei senden..." on the channel of slot.
    TransferOutcome send(EngineLink* link, int slot);

signals:
    // A decode ended; what it said, one message a line.
    void finished(const QString& output);

private:
    Profile& profile_;
    std::filesystem::path programDir_;
    QWidget* parent_;
    FileChooser chooser_ = chooseFileWithDialog;
};

}  // namespace norva
