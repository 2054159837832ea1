// The password dialogs of the station window, one per answering procedure:
// "THENET Node Passwort eingeben" (TheNet, Norva), "Flexnet Passwort
// eingeben" (FlexNet, SP) and "DIEBOX Passwort eingeben". Each shows the
// station's call and alias and writes the station's password file on OK.
// Secrets go into that file only: the password fields do not echo them, and
// no message names them.
#pragma once

// std
#include <filesystem>
#include <string>

// Qt
#include <QDialog>

// Norva
#include "station/PasswordFile.h"
#include "station/StationPaths.h"

class QFormLayout;

class QLabel;
class QLineEdit;
class QPlainTextEdit;

namespace norva {

class Profile;

// The first lines of the DieBox field while the file holds no block.
inline constexpr const char* kDieBoxHint =
    "Bitte geben Sie Ihr DieBox Passwort hier ein:\r\n"
    "20 Zeilen zu je 80 Zeichen und\r\n"
    " 1 Zeile  zu    20 Zeichen (1620 Zeichen)\r\n\r\n";

// Where a station's password file is and what the dialogs show of the station.
struct PasswordTarget {
    std::filesystem::path file;
    std::string call;
    std::string alias;
};

// Base of the three dialogs: the station's calls and the common OK path.
class PasswordDialog : public QDialog {
    Q_OBJECT
public:
    PasswordDialog(PasswordTarget target, const QString& title, QWidget* parent);
    const PasswordTarget& target() const { return target_; }

protected:
    void addStationRows(QFormLayout* form);
    // A write that failed: the box names the file, never a value.
    void writeFailed();

    PasswordTarget target_;
    PasswordSettings stored_;
};

class TheNetPasswordDialog : public PasswordDialog {
    Q_OBJECT
public:
    TheNetPasswordDialog(PasswordTarget target, QWidget* parent = nullptr);
    QLineEdit* password() const { return password_; }
    QLineEdit* sysopCommand() const { return sysop_; }
    QLabel* lengthLabel() const { return length_; }
    void accept() override;

private:
    QLineEdit* password_;
    QLineEdit* sysop_;
    QLabel* length_;
};

class FlexNetPasswordDialog : public PasswordDialog {
    Q_OBJECT
public:
    FlexNetPasswordDialog(PasswordTarget target, QWidget* parent = nullptr);
    QLineEdit* password() const { return password_; }
    QLineEdit* sysopCommand() const { return sysop_; }
    void accept() override;

private:
    QLineEdit* password_;
    QLineEdit* sysop_;
};

class DieBoxPasswordDialog : public PasswordDialog {
    Q_OBJECT
public:
    DieBoxPasswordDialog(PasswordTarget target, QWidget* parent = nullptr);
    QLineEdit* sysopCommand() const { return sysop_; }
    QLineEdit* loginText() const { return login_; }
    QPlainTextEdit* block() const { return block_; }
    void accept() override;

private:
    QLineEdit* sysop_;
    QLineEdit* login_;
    QPlainTextEdit* block_;
};

// A secret of 80 characters or more: its length shown beside it while typed,
// a warning for each blank typed, and on OK a question when it is shorter.
void watchLongSecret(QWidget* dialog, QLineEdit* field, QLabel* length);
bool confirmLongSecret(QWidget* dialog, const QLineEdit* field);

// "Passwort für Remote - Benutzer eingeben": the superuser password a remote
// station proves with five characters (key Password of section frame).
class RemotePasswordDialog : public QDialog {
    Q_OBJECT
public:
    explicit RemotePasswordDialog(Profile& profile, QWidget* parent = nullptr);
    QLineEdit* password() const { return password_; }
    QLabel* lengthLabel() const { return length_; }
    void accept() override;

private:
    Profile& profile_;
    QLineEdit* password_;
    QLabel* length_;
};

// The dialog for a procedure ("TheNet", "Norva", "FlexNet", "SP", "DieBox";
// case ignored), run modally. False when the procedure has no dialog (the
// caller shows "Wählen Sie einen Knoten Typ zur Passworteinstellung");
// a call that names no password file is refused with a box here.
bool openPasswordDialog(const StationPaths& paths, const std::string& mode, const std::string& call,
                        QWidget* parent);

}  // namespace norva
