// ScheduleDialog: "Scripte zeitgesteuert starten", the editor of the script
// schedule in norva.ini. The overview is edited in memory; only Ok replaces
// the stored list.
#pragma once

// std
#include <vector>

// Qt
#include <QDialog>

// Norva
#include "gui/TransferCommands.h"
#include "script/Schedule.h"

class QListWidget;
class QPushButton;
class QRadioButton;
class QTreeWidget;

namespace norva {

class Profile;

class ScheduleDialog : public QDialog {
    Q_OBJECT
public:
    // tnc/channel: preselected in the lists (the active channel window).
    ScheduleDialog(Profile& profile, QString scriptDir, FileChooser chooser, int tnc, int channel,
                   QWidget* parent = nullptr);

    // The overview as it stands, in list order.
    const std::vector<ScheduleEntry>& entries() const { return entries_; }
    // Lines of the stored schedule that could not be read (dropped from the overview).
    int unreadableLines() const { return unreadable_; }

    QTreeWidget* overview() const { return overview_; }
    QListWidget* tncList() const { return tncs_; }
    QListWidget* channelList() const { return channels_; }
    QListWidget* dayList() const { return days_; }
    QListWidget* timeList() const { return times_; }
    QRadioButton* onceButton() const { return once_; }
    QRadioButton* repeatButton() const { return repeat_; }

    void addEntry();
    void editEntry();
    void removeEntry();
    // Ok: writes the overview as the schedule and closes; stays open when it could not be written.
    void accept() override;

private:
    void fillChannels(int tnc);
    void refreshOverview(int selectRow);
    int selectedRow() const;
    static void selectData(QListWidget* list, int value);
    static int selectedData(const QListWidget* list);

    Profile& profile_;
    QString scriptDir_;
    FileChooser chooser_;
    std::vector<ScheduleEntry> entries_;
    int unreadable_ = 0;
    QTreeWidget* overview_ = nullptr;
    QListWidget* tncs_ = nullptr;
    QListWidget* channels_ = nullptr;
    QListWidget* days_ = nullptr;
    QListWidget* times_ = nullptr;
    QRadioButton* once_ = nullptr;
    QRadioButton* repeat_ = nullptr;
};

}  // namespace norva
