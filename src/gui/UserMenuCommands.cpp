// UserMenuCommands: loading, installing, editing and choosing user menu entries.
#include "gui/UserMenuCommands.h"

// Qt
#include <QDialogButtonBox>
#include <QInputDialog>
#include <QLabel>
#include <QPushButton>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QVBoxLayout>

// Norva
#include "channel/TncChannel.h"
#include "gui/EngineLink.h"
#include "platform/Profile.h"

namespace norva {

namespace {

QString qs(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

constexpr const char* kTncDialogTitle = "Tnc Befehl eingeben";
constexpr const char* kTncDialogText =
    "Geben Sie bitte optionale Parameter an und drücken Sie OK für weiter oder Abbrechen.";

}  // namespace

MenuEditorDialog::MenuEditorDialog(const QString& path, const QString& text, QWidget* parent)
    : QDialog(parent), edit_(new QPlainTextEdit(this)) {
    setWindowTitle("Menu: " + path);
    edit_->setObjectName("menuText");
    edit_->setLineWrapMode(QPlainTextEdit::NoWrap);
    edit_->setPlainText(text);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Cancel)->setText("Abbrechen");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(edit_);
    layout->addWidget(buttons);
    resize(560, 380);
}

QString MenuEditorDialog::text() const { return edit_->toPlainText(); }

UserMenuCommands::UserMenuCommands(EngineLink* link, Profile& profile, std::filesystem::path programDir,
                                   ScriptOperator* op, CurrentSlot currentSlot, QWidget* parent)
    : QObject(parent), link_(link), profile_(profile), programDir_(std::move(programDir)), operator_(op),
      currentSlot_(std::move(currentSlot)), parent_(parent) {
    // Programs of the run menu are reaped now and then so none stays a zombie.
    reaper_.setInterval(5000);
    connect(&reaper_, &QTimer::timeout, this, [this] { programs_.reap(); });
    reaper_.start();
}

std::filesystem::path UserMenuCommands::path(UserMenuKind kind) const {
    return userMenuPath(profile_, programDir_, kind);
}

void UserMenuCommands::attach(UserMenuKind kind, QMenu* popup) { menus_[index(kind)].popup = popup; }

void UserMenuCommands::loadAll() {
    for (UserMenuKind kind : kUserMenuKinds) reload(kind);
}

void UserMenuCommands::reload(UserMenuKind kind) {
    Installed& m = menus_[index(kind)];
    const std::filesystem::path file = path(kind);
    m.menu = loadUserMenu(file, kind);
    for (const std::string& problem : m.menu.problems)
        emit problems(qs(file.filename().string()) + ": " + qs(problem));
    install(kind);
}

void UserMenuCommands::install(UserMenuKind kind) {
    Installed& m = menus_[index(kind)];
    if (!m.popup) return;
    for (QAction* a : m.actions) {
        m.popup->removeAction(a);
        a->deleteLater();
    }
    m.actions.clear();
    if (m.menu.entries.empty()) {
        if (m.separator) m.separator->setVisible(false);
        return;
    }
    if (!m.separator) m.separator = m.popup->addSeparator();
    m.separator->setVisible(true);
    const auto ids = userMenuInfo(kind).ids;
    for (std::size_t i = 0; i < m.menu.entries.size(); ++i) {
        QAction* a = m.popup->addAction(qs(m.menu.entries[i].text));
        a->setObjectName("menu" + QString::number(ids[i]));
        const int entry = static_cast<int>(i);
        connect(a, &QAction::triggered, this,
                [this, kind, entry] { choose(kind, entry, currentSlot_ ? currentSlot_() : -1); });
        m.actions.push_back(a);
    }
}

void UserMenuCommands::edit(UserMenuKind kind) {
    const std::filesystem::path file = path(kind);
    std::string text, error;
    if (!readMenuFileForEdit(file, &text, &error)) {
        QMessageBox::warning(parent_, "Norva", qs(error));
        return;
    }
    QString shown = qs(text);
    shown.replace("\r\n", "\n");
    MenuEditorDialog dialog(qs(file.string()), shown, parent_);
    if (dialog.exec() != QDialog::Accepted) return;
    // Files Norva writes keep CR LF line ends.
    QString edited = dialog.text();
    edited.replace("\r\n", "\n").replace("\n", "\r\n");
    if (!writeMenuFile(file, edited.toStdString(), &error)) QMessageBox::warning(parent_, "Norva", qs(error));
    reload(kind);
}

bool UserMenuCommands::channelUsable(int slot) const {
    // A channel window must be active; neither the monitor nor the dummy TNC.
    if (slot < 1) return false;
    const int tnc = (slot - 1) / 21 + 1;
    const int channel = (slot - 1) % 21;
    return tnc <= 4 && channel != 0;
}

void UserMenuCommands::choose(UserMenuKind kind, int index, int slot) {
    const UserMenu& m = menus_[this->index(kind)].menu;
    if (index < 0 || static_cast<std::size_t>(index) >= m.entries.size()) return;
    const UserMenuEntry entry = m.entries[static_cast<std::size_t>(index)];
    switch (kind) {
        case UserMenuKind::Run: run(entry); return;
        case UserMenuKind::Connect: connectEntry(entry, slot); return;
        case UserMenuKind::Tnc: tncEntry(entry, slot); return;
        case UserMenuKind::Text: textEntry(entry, slot); return;
    }
}

void UserMenuCommands::run(const UserMenuEntry& entry) {
    std::string error;
    if (programs_.start(splitCommandLine(entry.command), {}, &error)) return;
    QMessageBox::warning(parent_, qs(kRunMenuCaption), qs(kRunMenuFailed));
}

void UserMenuCommands::connectEntry(const UserMenuEntry& entry, int slot) {
    if (!link_ || !channelUsable(slot)) return;
    EngineLink* link = link_;
    ScriptOperator* op = operator_;
    const auto result = link->call([link, slot, entry, op](CHostMode&) {
        CTncChannel* channel = link->channelOf(slot);
        if (!channel) return ConnectMenuResult::Failed;
        std::string error;
        return startConnectMenuEntry(*channel, entry, op, &error);
    });
    if (result == ConnectMenuResult::ScriptRunning) {
        QString text = qs(kSecondScript);
        text.replace('\r', '\n');
        QMessageBox::information(parent_, qs(kConnectMenuCaption), text);
    }
}

void UserMenuCommands::tncEntry(const UserMenuEntry& entry, int slot) {
    if (!link_ || !channelUsable(slot)) return;
    QInputDialog dialog(parent_);
    dialog.setObjectName("tncCommandDialog");
    dialog.setWindowTitle(kTncDialogTitle);
    dialog.setLabelText(kTncDialogText);
    dialog.setTextValue(qs(entry.command));
    dialog.setCancelButtonText("Abbrechen");
    if (dialog.exec() != QDialog::Accepted) return;
    const QString command = dialog.textValue();
    EngineLink* link = link_;
    link->post([link, slot, text = command.toStdString()](CHostMode&) {
        if (CTncChannel* channel = link->channelOf(slot)) sendMenuTncCommand(*channel, text);
    });
}

void UserMenuCommands::textEntry(const UserMenuEntry& entry, int slot) {
    if (!link_ || !channelUsable(slot)) return;
    EngineLink* link = link_;
    link->post([link, slot, text = entry.command](CHostMode&) {
        if (CTncChannel* channel = link->channelOf(slot)) sendMenuText(*channel, text);
    });
}

}  // namespace norva
