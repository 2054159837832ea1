// MailboxWindow: "Dateien aus DIEBOX lesen", the mailbox reader's window.
// The operator opens a captured DieBox or F6FBB listing, picks messages, and sends
// the read or erase command for each by hand or writes a read script that
// fetches them all. Files are read here; sending goes through the engine.
#pragma once

// std
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

// Qt
#include <QDialog>

// Norva
#include "gui/TransferCommands.h"
#include "mailbox/BoxDirectory.h"

class QCheckBox;
class QLineEdit;
class QListWidget;
class QRadioButton;

namespace norva {

class Profile;

class MailboxWindow : public QDialog {
    Q_OBJECT
public:
    // send: hands a line (UTF-8, CR added by the window) to the active channel.
    MailboxWindow(Profile& profile, std::filesystem::path programDir, FileChooser chooser,
                  std::function<void(const std::string&)> send, QWidget* parent = nullptr);

    QListWidget* directoryList() const { return directories_; }
    QListWidget* messageList() const { return messages_; }
    QListWidget* pickedList() const { return picked_; }
    QLineEdit* commandLine() const { return command_; }
    QLineEdit* maskField() const { return mask_; }
    QRadioButton* eraseButton() const { return erase_; }
    QCheckBox* textLineBox() const { return textLine_; }
    const BoxDirectory& opened() const { return dir_; }

    // "&Rubriken": opens the selected directory file (at start: LastDirFile).
    void openSelected();
    void openFile(const std::string& name);
    void pick();
    void unpick();
    // "&Zeile senden".
    void sendLine();
    // "Script": readbox.scr in the script directory (the operator chooses).
    bool writeScript();

protected:
    void done(int result) override;

private:
    void refreshDirectories();
    void showCommand();

    Profile& profile_;
    std::filesystem::path programDir_;
    FileChooser chooser_;
    std::function<void(const std::string&)> send_;
    MailboxSettings settings_;
    BoxDirectory dir_;
    QListWidget* directories_;
    QLineEdit* openedName_;
    QLineEdit* mask_;
    QListWidget* messages_;
    QListWidget* picked_;
    QRadioButton* read_;
    QRadioButton* erase_;
    QCheckBox* textLine_;
    QLineEdit* command_;
};

// "DieBox Einstellungen": the prompt, the end-of-message text and the three
// listing headings the watcher and the reader look for (section DieBox).
class MailboxSettingsDialog : public QDialog {
    Q_OBJECT
public:
    explicit MailboxSettingsDialog(Profile& profile, QWidget* parent = nullptr);
    QLineEdit* field(const char* key) const;
    void accept() override;

private:
    Profile& profile_;
    std::vector<std::pair<const char*, QLineEdit*>> fields_;
};

}  // namespace norva
