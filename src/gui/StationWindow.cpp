// StationWindow: the "Station bearbeiten" window (see StationWindow.h).
#include "gui/StationWindow.h"

// std
#include <algorithm>
#include <vector>

// Qt
#include <QCheckBox>
#include <QHideEvent>
#include <QMetaObject>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

// Norva
#include "gui/PasswordDialogs.h"
#include "gui/StationCommands.h"
#include "gui/StationDialogs.h"
#include "hostmode/Tnc.h"
#include "platform/FileNames.h"
#include "platform/Profile.h"
#include "station/StationList.h"

namespace norva {

namespace {

constexpr const char* kCaption = "Norva";
constexpr const char* kTitle = "Station bearbeiten";

QString qs(const std::string& s) { return QString::fromStdString(s); }
std::string str(const QString& s) { return s.trimmed().toStdString(); }

const char* const kModes[] = {"no Password", "DieBox", "FlexNet", "SP", "TheNet", "Norva", "FBB"};
const char* const kTypes[] = {"Mailbox", "normal Node", "undefined"};

}  // namespace

StationWindow::StationWindow(StationCommands& commands, QWidget* parent)
    : QWidget(parent, Qt::Window), commands_(commands) {
    setObjectName("StationWindow");
    setAttribute(Qt::WA_DeleteOnClose);
    setAcceptDrops(true);
    auto* grid = new QGridLayout;
    call_ = addLine(grid, 0, 0, "Rufzeichen:", "call");
    addLine(grid, 0, 2, "Alias:", "alias");
    addLine(grid, 1, 0, "Qth:", "qth");
    addLine(grid, 1, 2, "Name:", "name");
    addLine(grid, 2, 0, "Letzte Station:", "lastCall");
    addLine(grid, 2, 2, "Letzter Alias:", "lastAlias");
    addLine(grid, 3, 0, "Letzter Login:", "lastLogin");
    addLine(grid, 3, 2, "Sysop:", "sysop");
    // The long texts span both columns.
    addLine(grid, 4, 0, "Connect Befehl:", "connectCommand", 3);
    addLine(grid, 5, 0, "Kommentar:", "comment", 3);

    auto combo = [&](int row, int column, const QString& label, const char* name) {
        auto* box = new QComboBox;
        box->setObjectName(name);
        grid->addWidget(new QLabel(label), row, column);
        grid->addWidget(box, row, column + 1);
        return box;
    };
    type_ = combo(6, 0, "Stationstyp:", "stationType");
    for (const char* t : kTypes) type_->addItem(t);
    mode_ = combo(6, 2, "Passwort Verfahren:", "passwordMode");
    for (const char* m : kModes) mode_->addItem(m);
    tnc_ = combo(7, 0, "Tnc:", "tnc");
    for (int n = 1; n <= 4; ++n) {
        const std::string name = commands_.profile().getString(std::to_string(n), "TncName");
        tnc_->addItem(name.empty() ? QString("Tnc %1").arg(n) : qs(name));
    }
    script_ = combo(7, 2, "Script:", "script");

    display_ = new QCheckBox("Beim nächsten Öffen wieder anzeigen");
    display_->setObjectName("displayOnOpen");
    display_->setChecked(true);
    onlineBox_ = new QCheckBox("Online");
    onlineBox_->setObjectName("online");
    onlineBox_->setChecked(commands_.profile().getInt("frame", "StationOnline", 1) != 0);
    grid->addWidget(display_, 8, 0, 1, 3);
    grid->addWidget(onlineBox_, 8, 3);
    connect(display_, &QCheckBox::toggled, this, [this](bool on) {
        if (loading_ || str(call_->text()).empty())
            return;
        if (const StationResult r = setDisplayOnOpen(commands_.paths(), str(call_->text()), on); !r)
            message(qs(r.message));
    });
    connect(onlineBox_, &QCheckBox::toggled, this, &StationWindow::setOnline);
    connect(call_, &QLineEdit::returnPressed, this, [this] { loadCall(str(call_->text())); });

    auto* buttons = new QVBoxLayout;
    buildButtons(buttons);
    auto* top = new QHBoxLayout(this);
    top->addLayout(grid, 1);
    top->addLayout(buttons);

    fillScripts({});
    move(commands_.profile().getInt("stationedit", "left", 50), commands_.profile().getInt("stationedit", "top", 50));
    if (online()) {
        followChannel(commands_.topLink());
    } else {
        updateTitle(0);
        const std::string last = commands_.profile().getString("frame", "LastEditStation");
        if (!last.empty())
            loadCall(last);
    }
}

QLineEdit* StationWindow::addLine(QGridLayout* grid, int row, int column, const QString& label, const char* name,
                                  int span) {
    auto* edit = new QLineEdit;
    edit->setObjectName(name);
    edit->setMaxLength(static_cast<int>(kStationValueLimit));
    // Room for a login time or a name without scrolling.
    edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(QString(20, 'x')));
    grid->addWidget(new QLabel(label), row, column);
    grid->addWidget(edit, row, column + 1, 1, span);
    return edit;
}

void StationWindow::buildButtons(QVBoxLayout* column) {
    auto add = [&](const QString& text, const char* name, auto fn) {
        auto* b = new QPushButton(text);
        b->setObjectName(name);
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, fn);
        column->addWidget(b);
    };
    add("Ok", "ok", [this] { ok(); });
    add("Verbinden", "connect", [this] { connectStation(); });
    column->addSpacing(8);
    add("Öffnen...", "open", [this] { chooseStation(); });
    add("Passwort...", "password", [this] { editPassword(); });
    add("Script...", "connectScript", [this] { editConnectScript(); });
    add("Hello Text...", "helloText", [this] { editHelloText(); });
    column->addStretch(1);
}

QLineEdit* StationWindow::field(const char* objectName) const { return findChild<QLineEdit*>(objectName); }

void StationWindow::message(const QString& text) { QMessageBox::information(this, kCaption, text); }

void StationWindow::resetFields() {
    for (QLineEdit* edit : findChildren<QLineEdit*>())
        if (edit != call_)
            edit->clear();
    type_->setCurrentText(QString::fromUtf8(kTypeUndefined.data(), kTypeUndefined.size()));
    mode_->setCurrentIndex(0);
    tnc_->setCurrentIndex(0);
    display_->setChecked(true);
    fillScripts({});
}

void StationWindow::fillScripts(const std::string& selected) {
    script_->clear();
    script_->addItem(QString());
    for (const std::string& name : listScripts(commands_.scriptDir()))
        script_->addItem(qs(name));
    if (selected.empty())
        return;
    // A script named in the file but missing here stays selectable: saving must not lose it.
    if (script_->findText(qs(selected)) < 0)
        script_->addItem(qs(selected));
    script_->setCurrentText(qs(selected));
}

bool StationWindow::loadCall(const std::string& call) {
    loading_ = true;
    resetFields();
    call_->setText(qs(call));
    const StationLoad load = loadStation(commands_.paths(), commands_.profile(), call);
    if (load.record)
        showRecord(*load.record);
    loading_ = false;
    if (!load.message.empty())
        message(qs(load.message));
    return load.record.has_value();
}

void StationWindow::showRecord(const StationRecord& r) {
    call_->setText(qs(r.call));
    field("alias")->setText(qs(r.alias));
    field("qth")->setText(qs(r.qth));
    field("lastCall")->setText(qs(r.lastCall));
    field("lastAlias")->setText(qs(r.lastAlias));
    field("lastLogin")->setText(qs(r.lastLogin));
    field("connectCommand")->setText(qs(r.connectCommand));
    field("sysop")->setText(qs(r.sysop));
    field("name")->setText(qs(r.name));
    field("comment")->setText(qs(r.comment));
    // A type or procedure the lists do not know is shown as it is stored, so Ok keeps it.
    if (type_->findText(qs(r.stationType)) < 0)
        type_->addItem(qs(r.stationType));
    type_->setCurrentText(qs(r.stationType));
    const int mode = mode_->findText(qs(r.passwordMode), Qt::MatchFixedString);
    mode_->setCurrentIndex(mode < 0 ? 0 : mode);
    tnc_->setCurrentIndex(r.tnc >= 1 && r.tnc <= 4 ? r.tnc - 1 : 0);
    fillScripts(r.script);
    display_->setChecked(r.displayOnOpen);
}

StationRecord StationWindow::record() const {
    StationRecord r;
    r.call = str(call_->text());
    r.alias = str(field("alias")->text());
    r.qth = str(field("qth")->text());
    r.lastCall = str(field("lastCall")->text());
    r.lastAlias = str(field("lastAlias")->text());
    r.lastLogin = str(field("lastLogin")->text());
    r.connectCommand = str(field("connectCommand")->text());
    r.sysop = str(field("sysop")->text());
    r.name = str(field("name")->text());
    r.comment = str(field("comment")->text());
    r.stationType = str(type_->currentText());
    r.passwordMode = str(mode_->currentText());
    r.tnc = tnc_->currentIndex() + 1;
    r.script = str(script_->currentText());
    r.displayOnOpen = display_->isChecked();
    return r;
}

bool StationWindow::save() {
    const StationResult r = saveStation(commands_.paths(), record());
    if (!r) {
        message(qs(r.message));
        return false;
    }
    return true;
}

bool StationWindow::ok() {
    if (!save())
        return false;
    close();
    return true;
}

bool StationWindow::connectStation() {
    if (!save())
        return false;
    const StationRecord r = record();
    commands_.connectStation(r.tnc, r.script);
    return true;
}

void StationWindow::chooseStation() {
    StationListDialog dialog(commands_.paths(), this);
    if (dialog.exec() == QDialog::Accepted && !dialog.chosen().empty())
        loadCall(dialog.chosen());
}

void StationWindow::editPassword() {
    const std::string mode = str(mode_->currentText());
    if (!openPasswordDialog(commands_.paths(), mode, str(call_->text()), this))
        message("Wählen Sie einen Knoten Typ zur Passworteinstellung");
}

void StationWindow::editConnectScript() {
    ConnectScriptDialog dialog(commands_, str(call_->text()), this);
    dialog.exec();
}

void StationWindow::editHelloText() {
    const std::string call = str(call_->text());
    if (call.empty()) {
        message("Fehler ! Kein Zielrufzeichen vorhanden");
        return;
    }
    // The call names a file: only a callsign may.
    if (!isCallsign(call)) {
        message(qs(notACallsignMessage(call)));
        return;
    }
    const std::filesystem::path dir = frameDirectory(commands_.profile(), "HelloTextDir", commands_.programDir());
    const auto existing = findIgnoringCase(dir, call + ".txt");
    commands_.edit(this, existing ? *existing : dir / (call + ".txt"));
}

bool StationWindow::online() const { return onlineBox_->isChecked(); }

void StationWindow::setOnline(bool on) {
    if (onlineBox_->isChecked() != on)
        onlineBox_->setChecked(on);  // comes back here through toggled
    commands_.profile().writeInt("frame", "StationOnline", on ? 1 : 0);
    if (on) {
        followedSlot_ = 0;
        followedCall_.clear();
        followChannel(commands_.topLink());
    }
    else
        updateTitle(0);
}

void StationWindow::followChannel(int slot) {
    if (!online())
        return;
    const StationCommands::ChannelCalls calls = commands_.channelCalls(slot);
    updateTitle(calls.exists ? slot : 0);
    // The same channel with the same partner again (the operator clicked back
    // into its window): the fields being edited stay.
    if (!calls.exists || calls.destCall.empty() || (slot == followedSlot_ && calls.destCall == followedCall_))
        return;
    followedSlot_ = slot;
    followedCall_ = calls.destCall;
    if (!loadCall(calls.destCall))
        field("alias")->setText(qs(calls.aliasCall));
    tnc_->setCurrentIndex(std::clamp(tncOfSlot(slot), 1, 4) - 1);
}

void StationWindow::updateTitle(int slot) {
    if (slot > 0)
        setWindowTitle(QString("%1 / Tnc %2 Channel %3").arg(kTitle).arg(tncOfSlot(slot)).arg(channelOfSlot(slot)));
    else
        setWindowTitle(QString("%1 / offline").arg(kTitle));
}

namespace {
bool localFiles(const QMimeData* data) {
    if (!data)
        return false;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile())
            return true;
    return false;
}
}  // namespace

void StationWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (localFiles(event->mimeData()))
        event->acceptProposedAction();
}

void StationWindow::dropEvent(QDropEvent* event) {
    // Opened as from outside, after the drop has ended: the questions are modal.
    std::vector<std::filesystem::path> files;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile())
            files.emplace_back(url.toLocalFile().toStdString());
    event->acceptProposedAction();
    StationCommands* commands = &commands_;
    QMetaObject::invokeMethod(
        &commands_,
        [commands, files] {
            for (const auto& file : files)
                commands->openStationFile(file);
        },
        Qt::QueuedConnection);
}

void StationWindow::hideEvent(QHideEvent* event) {
    // Closing hides, and so does the end of the program (the main window
    // hides before the settings are saved): the position is kept either way.
    commands_.profile().writeInt("stationedit", "left", pos().x());
    commands_.profile().writeInt("stationedit", "top", pos().y());
    QWidget::hideEvent(event);
}

}  // namespace norva
