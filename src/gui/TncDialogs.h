// The TNC settings: the list "Tnc einstellen" and the editor "TNC einstellen".
// Opening the list stops every TNC and holds polling; "&Ende" (or closing
// the list any other way) applies the list and lets polling resume. Every
// change goes through CHostMode's settings operations on the engine thread.
#pragma once

// std
#include <filesystem>

// Qt
#include <QDialog>

// Norva
#include "app/AppSettings.h"
#include "hostmode/HostMode.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QSpinBox;
class QTreeWidget;

namespace norva {

class EngineLink;
class Profile;

// Opens a file in the text editor (registry value textedit, else xdg-open),
// creating it empty first when it does not exist. False (with a message box)
// when the editor could not be started.
bool openInEditor(QWidget* parent, const std::filesystem::path& file);

class TncEditDialog : public QDialog {
    Q_OBJECT
public:
    TncEditDialog(EngineLink& engine, Profile& profile, std::filesystem::path programDir, int tnc,
                  FrameSettings& frame, QWidget* parent = nullptr);

    int tnc() const { return tnc_; }
    // The values the fields hold now.
    TncSettings fields() const;
    // "Sichern / Ende", "Löschen / Ende" (after its question).
    void save();
    void remove();

private:
    void load();
    void openTncFile(const char* pattern);

    EngineLink& engine_;
    Profile& profile_;
    std::filesystem::path programDir_;
    int tnc_;
    FrameSettings& frame_;
    QLineEdit* name_ = nullptr;
    QSpinBox* channels_ = nullptr;
    QLineEdit* qrg_ = nullptr;
    QComboBox* baudrate_ = nullptr;
    QComboBox* comPort_ = nullptr;
    QLineEdit* myCall_ = nullptr;
    QCheckBox* connected_ = nullptr;
    QSpinBox* delayTime_ = nullptr;
    QCheckBox* tfpcrWarning_ = nullptr;
    QSpinBox* minFreeBuffer_ = nullptr;
    QCheckBox* noExtHostMode_ = nullptr;
    QCheckBox* yield_ = nullptr;
};

class TncListDialog : public QDialog {
    Q_OBJECT
public:
    TncListDialog(EngineLink& engine, Profile& profile, std::filesystem::path programDir,
                  FrameSettings& frame, QWidget* parent = nullptr);
    ~TncListDialog() override;

    QTreeWidget* list() const { return list_; }
    // The TNC numbers of the list's lines.
    std::vector<int> listed() const;
    void editSelected();
    void newTnc();
    // "&Ende": applies the list; polling resumes.
    void finish();

    void done(int result) override;

private:
    void rebuild();

    EngineLink& engine_;
    Profile& profile_;
    std::filesystem::path programDir_;
    FrameSettings& frame_;
    QTreeWidget* list_ = nullptr;
    bool finished_ = false;
};

}  // namespace norva
