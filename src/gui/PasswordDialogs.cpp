// The password dialogs (see PasswordDialogs.h).
#include "gui/PasswordDialogs.h"

// std
#include <memory>

// Qt
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <QPushButton>
#include <QVBoxLayout>

// Norva
#include "platform/Profile.h"
#include "station/StationFile.h"

namespace norva {

namespace {

constexpr const char* kCaption = "Norva";

QString qs(const std::string& s) { return QString::fromStdString(s); }

QLineEdit* secretField(const std::string& value) {
    auto* edit = new QLineEdit(qs(value));
    edit->setObjectName("password");
    edit->setEchoMode(QLineEdit::Password);
    edit->setMaxLength(static_cast<int>(kPasswordValueLimit));
    edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(QString(32, 'x')));
    return edit;
}

QLineEdit* plainField(const std::string& value, int maxLength, const char* name) {
    auto* edit = new QLineEdit(qs(value));
    edit->setObjectName(name);
    edit->setMaxLength(maxLength);
    return edit;
}

QDialogButtonBox* okCancel(QDialog* dialog) {
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    box->button(QDialogButtonBox::Ok)->setText("OK");
    box->button(QDialogButtonBox::Cancel)->setText("Abbrechen");
    QObject::connect(box, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(box, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return box;
}

// A column ruler of 80 characters: a dot per column, "+" at every fifth, the tens as digits.
QString ruler() {
    QString line;
    for (int column = 1; column <= 80; ++column)
        line += column % 10 == 0 ? QChar('0' + (column / 10) % 10) : column % 5 == 0 ? QChar('+') : QChar('.');
    return line;
}

// The hint is no part of the secret: taken out when the operator typed below it.
std::string withoutHint(QString text) {
    QString hint = QString::fromLatin1(kDieBoxHint);
    hint.replace("\r\n", "\n");
    if (text.startsWith(hint))
        text.remove(0, hint.size());
    else if (text.trimmed() == hint.trimmed())
        text.clear();
    return text.toStdString();
}

}  // namespace

void watchLongSecret(QWidget* dialog, QLineEdit* field, QLabel* length) {
    length->setObjectName("length");
    length->setText(QString::number(field->text().size()));
    // Only a blank typed now is worth a warning, not one already stored.
    auto blanks = std::make_shared<int>(static_cast<int>(field->text().count(' ')));
    QObject::connect(field, &QLineEdit::textChanged, dialog, [dialog, length, blanks](const QString& text) {
        length->setText(QString::number(text.size()));
        const int now = static_cast<int>(text.count(' '));
        const bool typedBlank = now > *blanks;
        *blanks = now;
        if (typedBlank)
            QMessageBox::warning(dialog, kCaption, "Achtung ! Ihr Passwort enthält Leerzeichen.");
    });
}

bool confirmLongSecret(QWidget* dialog, const QLineEdit* field) {
    return field->text().size() >= 80 ||
           QMessageBox::question(dialog, kCaption, "Achtung ! Ihr Passwort ist kürzer als 80 Zeichen.",
                                 QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok) == QMessageBox::Ok;
}

RemotePasswordDialog::RemotePasswordDialog(Profile& profile, QWidget* parent)
    : QDialog(parent), profile_(profile), password_(secretField(profile.getString("frame", "Password"))),
      length_(new QLabel) {
    setWindowTitle("Passwort für Remote - Benutzer eingeben");
    setObjectName("RemotePasswordDialog");
    password_->setMaxLength(128);
    watchLongSecret(this, password_, length_);
    auto* row = new QHBoxLayout;
    row->addWidget(password_, 1);
    row->addWidget(new QLabel("Password"));
    row->addWidget(length_);
    row->addWidget(new QLabel("Zeichen"));
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(okCancel(this));
    resize(520, sizeHint().height());
}

void RemotePasswordDialog::accept() {
    if (!confirmLongSecret(this, password_))
        return;
    profile_.writeString("frame", "Password", password_->text().toStdString());
    QDialog::accept();
}

// ------------------------------------------------------------ common

PasswordDialog::PasswordDialog(PasswordTarget target, const QString& title, QWidget* parent)
    : QDialog(parent), target_(std::move(target)), stored_(readPasswordFile(target_.file)) {
    setWindowTitle(title);
}

void PasswordDialog::addStationRows(QFormLayout* form) {
    auto* call = new QLabel(qs(target_.call));
    call->setObjectName("call");
    auto* alias = new QLabel(qs(target_.alias));
    alias->setObjectName("alias");
    form->addRow("Rufzeichen:", call);
    form->addRow("Alias:", alias);
}

void PasswordDialog::writeFailed() {
    QMessageBox::warning(this, kCaption,
                         "Die Passwortdatei kann nicht geschrieben werden: " + qs(target_.file.string()));
}

// What a node dialog stores on OK, in one rewrite of the password file.
static bool writeNodeDialog(const PasswordTarget& t, const std::string& password, const std::string& sysopCommand) {
    return writePasswordKeys(t.file, {{"Password", password},
                                      {"SysopCommand", sysopCommand},
                                      {"DestCall", t.call},
                                      {"AliasDestCall", t.alias}});
}

// ------------------------------------------------------------ TheNet, Norva

TheNetPasswordDialog::TheNetPasswordDialog(PasswordTarget target, QWidget* parent)
    : PasswordDialog(std::move(target), "THENET Node Passwort eingeben", parent),
      password_(secretField(stored_.password)),
      sysop_(plainField(stored_.sysopCommand, static_cast<int>(kPasswordValueLimit), "sysopCommand")),
      length_(new QLabel) {
    setObjectName("TheNetPasswordDialog");
    watchLongSecret(this, password_, length_);
    auto* form = new QFormLayout;
    addStationRows(form);
    form->addRow("Sysop Kommando:", sysop_);
    auto* row = new QHBoxLayout;
    row->addWidget(password_, 1);
    row->addWidget(length_);
    form->addRow("Passwort:", row);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(okCancel(this));
}

void TheNetPasswordDialog::accept() {
    const std::string password = password_->text().toStdString();
    if (!confirmLongSecret(this, password_))
        return;
    if (!writeNodeDialog(target_, password, sysop_->text().toStdString())) {
        writeFailed();
        return;
    }
    QDialog::accept();
}

// ------------------------------------------------------------ FlexNet, SP

FlexNetPasswordDialog::FlexNetPasswordDialog(PasswordTarget target, QWidget* parent)
    : PasswordDialog(std::move(target), "Flexnet Passwort eingeben", parent),
      password_(secretField(stored_.password)),
      sysop_(plainField(stored_.sysopCommand, static_cast<int>(kPasswordValueLimit), "sysopCommand")) {
    setObjectName("FlexNetPasswordDialog");
    auto* form = new QFormLayout;
    addStationRows(form);
    form->addRow("Sysop Kommando:", sysop_);
    form->addRow("Passwort:", password_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(okCancel(this));
}

void FlexNetPasswordDialog::accept() {
    if (!writeNodeDialog(target_, password_->text().toStdString(), sysop_->text().toStdString())) {
        writeFailed();
        return;
    }
    QDialog::accept();
}

// ------------------------------------------------------------ DieBox

DieBoxPasswordDialog::DieBoxPasswordDialog(PasswordTarget target, QWidget* parent)
    : PasswordDialog(std::move(target), "DIEBOX Passwort eingeben", parent),
      sysop_(plainField(stored_.sysopCommand.empty() ? "PRIV" : stored_.sysopCommand, 19, "sysopCommand")),
      login_(plainField(stored_.loginText.empty() ? "Dummy Login Text" : stored_.loginText, 80, "loginText")),
      block_(new QPlainTextEdit) {
    setObjectName("DieBoxPasswordDialog");
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    auto* rule = new QLabel(ruler());
    rule->setObjectName("ruler");
    rule->setFont(fixed);
    block_->setObjectName("block");
    block_->setFont(fixed);
    block_->setLineWrapMode(QPlainTextEdit::NoWrap);
    const int columns = QFontMetrics(fixed).horizontalAdvance(QString(82, 'M'));
    block_->setMinimumSize(columns + 24, QFontMetrics(fixed).lineSpacing() * 22);
    QString text = qs(readDieBoxBlock(target_.file));
    if (text.isEmpty())
        text = QString::fromLatin1(kDieBoxHint);
    text.replace("\r\n", "\n");
    block_->setPlainText(text);
    // The ruler's columns stand over the field's columns.
    rule->setContentsMargins(block_->frameWidth() + static_cast<int>(block_->document()->documentMargin()), 0, 0, 0);
    auto* form = new QFormLayout;
    addStationRows(form);
    form->addRow("Sysop Kommando:", sysop_);
    form->addRow("Login Text:", login_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(rule);
    layout->addWidget(block_, 1);
    layout->addWidget(okCancel(this));
}

void DieBoxPasswordDialog::accept() {
    DieBoxPasswordEntry entry;
    entry.destCall = target_.call;
    entry.aliasDestCall = target_.alias;
    entry.sysopCommand = sysop_->text().toStdString();
    entry.loginText = login_->text().toStdString();
    entry.block = withoutHint(block_->toPlainText());
    if (entry.block.size() > kDieBoxStoredLimit)
        entry.block.resize(kDieBoxStoredLimit);
    if (!writeDieBoxPassword(target_.file, entry)) {
        writeFailed();
        return;
    }
    QDialog::accept();
}

// ------------------------------------------------------------ choosing the dialog

bool openPasswordDialog(const StationPaths& paths, const std::string& mode, const std::string& call,
                        QWidget* parent) {
    const QString m = qs(mode).toUpper();
    if (m != "THENET" && m != "NORVA" && m != "FLEXNET" && m != "SP" && m != "DIEBOX")
        return false;
    const auto file = paths.passwordFile(call);
    if (!file) {
        QMessageBox::information(parent, kCaption,
                                 qs(call.empty() ? std::string(kNoCallMessage) : notACallsignMessage(call)));
        return true;
    }
    PasswordTarget target{*file, call, {}};
    if (const auto stn = paths.stationFile(call))
        target.alias = readStationFile(*stn).alias;
    if (m == "DIEBOX") {
        DieBoxPasswordDialog(target, parent).exec();
    } else if (m == "FLEXNET" || m == "SP") {
        FlexNetPasswordDialog(target, parent).exec();
    } else {
        TheNetPasswordDialog(target, parent).exec();
    }
    return true;
}

}  // namespace norva
