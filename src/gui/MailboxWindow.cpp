// MailboxWindow: the mailbox directory reader (DieBox and F6FBB listings).
#include "gui/MailboxWindow.h"

// std
#include <fstream>

// Qt
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

// Norva
#include "platform/Cp437.h"
#include "platform/FileNames.h"
#include "platform/Profile.h"

namespace norva {

namespace {

QString qs(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

QPushButton* button(QWidget* parent, const QString& text, const char* name) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

// A message line as the list shows it; its bytes as received ride along.
QListWidgetItem* lineItem(const std::string& oemLine) {
    auto* item = new QListWidgetItem(qs(oemToUtf8(oemLine)));
    item->setData(Qt::UserRole, QByteArray(oemLine.data(), static_cast<qsizetype>(oemLine.size())));
    return item;
}

std::string lineOf(const QListWidgetItem* item) { return item->data(Qt::UserRole).toByteArray().toStdString(); }

}  // namespace

MailboxWindow::MailboxWindow(Profile& profile, std::filesystem::path programDir, FileChooser chooser,
                             std::function<void(const std::string&)> send, QWidget* parent)
    : QDialog(parent),
      profile_(profile),
      programDir_(std::move(programDir)),
      chooser_(std::move(chooser)),
      send_(std::move(send)),
      settings_(MailboxSettings::read(profile, programDir_, kCheckHeadingWindow)),
      directories_(new QListWidget(this)),
      openedName_(new QLineEdit(this)),
      mask_(new QLineEdit(qs(profile.getString("DieBox", "MsgMask", "*")), this)),
      messages_(new QListWidget(this)),
      picked_(new QListWidget(this)),
      read_(new QRadioButton("Dateien lesen", this)),
      erase_(new QRadioButton("Dateien löschen", this)),
      textLine_(new QCheckBox("Textzeile", this)),
      command_(new QLineEdit(this)) {
    setWindowTitle("Dateien aus DIEBOX lesen");
    setObjectName("MailboxWindow");
    openedName_->setReadOnly(true);
    command_->setMaxLength(79);
    read_->setChecked(true);
    textLine_->setChecked(profile.getInt("DieBox", "TextLine", 0) != 0);
    QFont fixed("DejaVu Sans Mono");
    fixed.setStyleHint(QFont::Monospace);
    messages_->setFont(fixed);
    picked_->setFont(fixed);

    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel("DieBox Verzeichnisse:"), 0, 0);
    grid->addWidget(directories_, 1, 0, 3, 1);
    grid->addWidget(new QLabel("gewählte Verzeichnisse:"), 0, 1);
    grid->addWidget(openedName_, 0, 2);
    grid->addWidget(new QLabel("Maske:"), 0, 3);
    grid->addWidget(mask_, 0, 4);
    grid->addWidget(messages_, 1, 1, 1, 4);
    grid->addWidget(new QLabel("gewählte Nachrichten:"), 2, 1);
    grid->addWidget(picked_, 3, 1, 1, 4);
    auto* modes = new QHBoxLayout;
    modes->addWidget(read_);
    modes->addWidget(erase_);
    modes->addWidget(textLine_);
    modes->addStretch();
    grid->addLayout(modes, 4, 1, 1, 4);
    grid->addWidget(new QLabel("DieBox Kommandozeile:"), 5, 0);
    grid->addWidget(command_, 5, 1, 1, 4);
    auto* buttons = new QHBoxLayout;
    QPushButton* boards = button(this, "&Rubriken", "boards");
    QPushButton* add = button(this, "hinzufügen", "add");
    QPushButton* remove = button(this, "entfernen", "remove");
    QPushButton* sendButton = button(this, "&Zeile senden", "sendLine");
    QPushButton* script = button(this, "Script", "script");
    QPushButton* end = button(this, "Ende", "end");
    for (QPushButton* b : {boards, add, remove, sendButton, script, end}) buttons->addWidget(b);
    grid->addLayout(buttons, 6, 0, 1, 5);
    grid->setColumnStretch(2, 1);

    connect(boards, &QPushButton::clicked, this, &MailboxWindow::openSelected);
    connect(directories_, &QListWidget::itemDoubleClicked, this, &MailboxWindow::openSelected);
    connect(add, &QPushButton::clicked, this, &MailboxWindow::pick);
    connect(messages_, &QListWidget::itemDoubleClicked, this, &MailboxWindow::pick);
    connect(remove, &QPushButton::clicked, this, &MailboxWindow::unpick);
    connect(picked_, &QListWidget::itemDoubleClicked, this, &MailboxWindow::unpick);
    connect(picked_, &QListWidget::currentRowChanged, this, &MailboxWindow::showCommand);
    connect(read_, &QRadioButton::toggled, this, &MailboxWindow::showCommand);
    connect(textLine_, &QCheckBox::toggled, this, &MailboxWindow::showCommand);
    connect(sendButton, &QPushButton::clicked, this, &MailboxWindow::sendLine);
    connect(script, &QPushButton::clicked, this, &MailboxWindow::writeScript);
    connect(end, &QPushButton::clicked, this, &QDialog::accept);

    move(profile.getInt("diebox", "left", 50), profile.getInt("diebox", "top", 50));
    resize(760, 480);
    refreshDirectories();
    const std::string last = profile.getString("DieBox", "LastDirFile");
    if (!last.empty()) openFile(last);
}

void MailboxWindow::refreshDirectories() {
    directories_->clear();
    for (const std::string& name : listBoxDirectories(settings_)) directories_->addItem(qs(name));
}

void MailboxWindow::openSelected() {
    if (QListWidgetItem* item = directories_->currentItem()) openFile(item->text().toStdString());
}

void MailboxWindow::openFile(const std::string& name) {
    const auto file = isPlainName(name) ? findIgnoringCase(settings_.dir, name) : std::nullopt;
    if (!file) return;
    dir_ = readBoxDirectory(*file, settings_, mask_->text().toStdString(), dir_);
    messages_->clear();
    picked_->clear();
    for (const std::string& line : dir_.messages) messages_->addItem(lineItem(line));
    // FBB reads by number only.
    textLine_->setEnabled(dir_.kind != BoxFileKind::Fbb);
    openedName_->setText(qs(file->filename().string()));
    profile_.writeString("DieBox", "LastDirFile", file->filename().string());
}

void MailboxWindow::pick() {
    const int row = messages_->currentRow();
    if (row < 0) return;
    picked_->addItem(messages_->takeItem(row));
}

void MailboxWindow::unpick() {
    const int row = picked_->currentRow();
    if (row < 0) return;
    messages_->addItem(picked_->takeItem(row));
}

void MailboxWindow::showCommand() {
    QListWidgetItem* item = picked_->currentItem();
    if (!item) return;
    const auto command = boxCommand(dir_, lineOf(item), erase_->isChecked(), textLine_->isChecked());
    command_->setText(command ? qs(oemToUtf8(*command)) : QString());
}

void MailboxWindow::sendLine() {
    const QString text = command_->text().left(79);
    if (text.isEmpty()) return;
    delete picked_->takeItem(picked_->currentRow());
    command_->clear();
    if (send_) send_(text.toStdString());
}

bool MailboxWindow::writeScript() {
    const QString scriptDir = qs(frameDirectory(profile_, "ScriptDir", programDir_).string());
    const QString chosen =
        chooser_(this, {FileRequest::Mode::Save, "Save Script File", scriptDir, "readbox.scr", "scr", "All Files (*.scr)"});
    if (chosen.isEmpty()) return false;
    std::vector<std::string> lines;
    while (picked_->count() > 0) {
        QListWidgetItem* item = picked_->takeItem(0);
        lines.push_back(lineOf(item));
        delete item;
    }
    std::ofstream out(chosen.toStdString(), std::ios::binary | std::ios::trunc);
    out << readScriptText(dir_, lines, erase_->isChecked(), textLine_->isChecked());
    return static_cast<bool>(out);
}

void MailboxWindow::done(int result) {
    profile_.writeInt("DieBox", "TextLine", textLine_->isChecked() ? 1 : 0);
    profile_.writeString("DieBox", "MsgMask", mask_->text().toStdString());
    profile_.writeInt("diebox", "left", pos().x());
    profile_.writeInt("diebox", "top", pos().y());
    QDialog::done(result);
}

MailboxSettingsDialog::MailboxSettingsDialog(Profile& profile, QWidget* parent)
    : QDialog(parent), profile_(profile) {
    setWindowTitle("DieBox Einstellungen");
    setObjectName("MailboxSettingsDialog");
    struct Row {
        const char* label;
        const char* key;
        const char* fallback;
    };
    const Row rows[] = {{"Box Prompt:", "DirBoxPrompt", "()de>"},
                        {"Nachricht Ende", "MessageEnd", "***end"},
                        {"Info Titel:", "DirInfoString", "Info-File:"},
                        {"User Titel:", "DirUserString", "User-File:"},
                        {"Check Titel:", "DirCheckString", "#  Call    File"}};
    auto* form = new QFormLayout(this);
    for (const Row& row : rows) {
        auto* edit = new QLineEdit(qs(profile.getString("DieBox", row.key, row.fallback)), this);
        edit->setMaxLength(79);
        edit->setObjectName(row.key);
        form->addRow(row.label, edit);
        fields_.emplace_back(row.key, edit);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Cancel)->setText("Abbrechen");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
}

QLineEdit* MailboxSettingsDialog::field(const char* key) const {
    for (const auto& [k, edit] : fields_)
        if (std::string_view(k) == key) return edit;
    return nullptr;
}

void MailboxSettingsDialog::accept() {
    for (const auto& [key, edit] : fields_) profile_.writeString("DieBox", key, edit->text().toStdString());
    QDialog::accept();
}

}  // namespace norva
