// StationWindow: "Station bearbeiten", the modeless editor of one station
// file. Loads a call (typed, chosen from the list, or the channel's
// destination while online), saves with "Ok" and before "Verbinden", and
// opens the password, connect-script and hello-text editors of the station.
#pragma once

// std
#include <filesystem>
#include <string>

// Qt
#include <QWidget>

// Norva
#include "station/StationFile.h"

class QCheckBox;
class QComboBox;
class QGridLayout;
class QLineEdit;
class QPushButton;
class QVBoxLayout;

namespace norva {

class StationCommands;

class StationWindow : public QWidget {
    Q_OBJECT
public:
    StationWindow(StationCommands& commands, QWidget* parent = nullptr);

    // Loads a station into the fields (resetting them first); false when no
    // file (nor an alias) led to one: the fields are then empty but the call.
    bool loadCall(const std::string& call);
    // The fields as a station record.
    StationRecord record() const;
    // "Ok": saves and closes. "Verbinden": saves and connects. False when nothing was saved.
    bool ok();
    bool connectStation();
    // "Öffnen...", "Passwort...", "Script...", "Hello Text...".
    void chooseStation();
    void editPassword();
    void editConnectScript();
    void editHelloText();

    // Online: the window follows the active channel's calls.
    bool online() const;
    void setOnline(bool on);
    void followChannel(int slot);

    QLineEdit* field(const char* objectName) const;
    QComboBox* typeBox() const { return type_; }
    QComboBox* modeBox() const { return mode_; }
    QComboBox* tncBox() const { return tnc_; }
    QComboBox* scriptBox() const { return script_; }
    QCheckBox* displayBox() const { return display_; }
    QCheckBox* onlineBox() const { return onlineBox_; }

protected:
    void hideEvent(QHideEvent* event) override;
    // Files dropped here are opened as from outside, like on the main window.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QLineEdit* addLine(QGridLayout* grid, int row, int column, const QString& label, const char* name,
                       int span = 1);
    void buildButtons(QVBoxLayout* column);
    void resetFields();
    void showRecord(const StationRecord& r);
    void fillScripts(const std::string& selected);
    bool save();
    void updateTitle(int slot);
    void message(const QString& text);

    StationCommands& commands_;
    QLineEdit* call_ = nullptr;
    QComboBox* type_ = nullptr;
    QComboBox* mode_ = nullptr;
    QComboBox* tnc_ = nullptr;
    QComboBox* script_ = nullptr;
    QCheckBox* display_ = nullptr;
    QCheckBox* onlineBox_ = nullptr;
    bool loading_ = false;
    int followedSlot_ = 0;
    std::string followedCall_;
};

}  // namespace norva
