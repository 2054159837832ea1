// The station list, connect script and entry node dialogs (see StationDialogs.h).
#include "gui/StationDialogs.h"

// std
#include <algorithm>

// Qt
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

// Norva
#include "gui/StationCommands.h"
#include "platform/Profile.h"
#include "station/ConnectPath.h"
#include "station/StationList.h"

namespace norva {

namespace {

constexpr const char* kCaption = "Norva";

QString qs(const std::string& s) { return QString::fromStdString(s); }

QPushButton* button(QBoxLayout* row, const QString& text, const char* name) {
    auto* b = new QPushButton(text);
    b->setObjectName(name);
    row->addWidget(b);
    return b;
}

bool askOkCancel(QWidget* parent, const QString& text) {
    return QMessageBox::question(parent, kCaption, text, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok) ==
           QMessageBox::Ok;
}

}  // namespace

// ------------------------------------------------------------ Station wählen

StationListDialog::StationListDialog(StationPaths paths, QWidget* parent)
    : QDialog(parent), paths_(std::move(paths)), list_(new QListWidget) {
    setObjectName("StationListDialog");
    setWindowTitle("Station wählen");
    list_->setObjectName("stations");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_);
    auto* row = new QHBoxLayout;
    QPushButton* ok = button(row, "OK", "ok");
    QPushButton* remove = button(row, "Löschen", "delete");
    QPushButton* cancel = button(row, "Abbrechen", "cancel");
    layout->addLayout(row);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &StationListDialog::choose);
    connect(list_, &QListWidget::itemDoubleClicked, this, &StationListDialog::choose);
    connect(remove, &QPushButton::clicked, this, &StationListDialog::deleteSelected);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    refresh();
}

void StationListDialog::refresh() {
    list_->clear();
    for (const std::string& name : listStations(paths_))
        list_->addItem(qs(name));
    if (list_->count() > 0)
        list_->setCurrentRow(0);
}

void StationListDialog::choose() {
    if (!list_->currentItem())
        return;
    chosen_ = list_->currentItem()->text().toStdString();
    accept();
}

void StationListDialog::deleteSelected() {
    if (!list_->currentItem() || !askOkCancel(this, "Stationdaten löschen ?"))
        return;
    if (const StationResult r = deleteStation(paths_, list_->currentItem()->text().toStdString()); !r)
        QMessageBox::warning(this, kCaption, qs(r.message));
    refresh();
}

// ------------------------------------------------------------ Connect Script erstellen

ConnectScriptDialog::ConnectScriptDialog(StationCommands& commands, const std::string& destination, QWidget* parent)
    : QDialog(parent), commands_(commands), destination_(new QLineEdit(qs(destination))), maxNodes_(new QSpinBox) {
    setObjectName("ConnectScriptDialog");
    setWindowTitle("Connect Script erstellen");
    destination_->setObjectName("destination");
    destination_->setMaxLength(static_cast<int>(kStationValueLimit));
    maxNodes_->setObjectName("maxNodes");
    maxNodes_->setRange(0, kMaxPathStations);
    maxNodes_->setValue(std::clamp(commands_.profile().getInt("Frame", "MaxNodes", 100), 0, kMaxPathStations));
    auto* form = new QFormLayout;
    form->addRow("Zielstation:", destination_);
    form->addRow("Max. Knoten:", maxNodes_);
    auto* row = new QHBoxLayout;
    QPushButton* create = button(row, "&Create", "create");
    QPushButton* edit = button(row, "&Edit", "edit");
    QPushButton* end = button(row, "Ende", "end");
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(row);
    connect(create, &QPushButton::clicked, this, &ConnectScriptDialog::create);
    connect(edit, &QPushButton::clicked, this, [this] { commands_.editScript(); });
    connect(end, &QPushButton::clicked, this, &QDialog::accept);
}

bool ConnectScriptDialog::create() {
    const std::string destination = destination_->text().trimmed().toStdString();
    FileRequest request{FileRequest::Mode::Save,
                        "Save Script File",
                        qs(commands_.scriptDir().string()),
                        qs(proposedScriptName(destination)),
                        "scr",
                        "All Files (*.scr)"};
    const QString out = commands_.fileChooser()(this, request);
    if (out.isEmpty())
        return false;
    const ConnectPathResult r = writeConnectScript(commands_.paths(), destination, maxNodes_->value(),
                                                   std::filesystem::path(out.toStdString()));
    if (r.error) {
        QMessageBox::warning(this, kCaption, qs(r.error->message));
        return false;
    }
    return true;
}

void ConnectScriptDialog::done(int result) {
    commands_.profile().writeInt("Frame", "MaxNodes", maxNodes_->value());
    QDialog::done(result);
}

// ------------------------------------------------------------ Einstiegsknoten auswählen

EntryNodeDialog::EntryNodeDialog(NodeChoice choice, QWidget* parent)
    : QDialog(parent), choice_(std::move(choice)), list_(new QListWidget) {
    setObjectName("EntryNodeDialog");
    setWindowTitle("Einstiegsknoten auswählen");
    list_->setObjectName("nodes");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel("Knoten:"));
    layout->addWidget(list_);
    auto* row = new QHBoxLayout;
    QPushButton* ok = button(row, "OK", "ok");
    QPushButton* cancel = button(row, "Abbrechen", "cancel");
    QPushButton* remove = button(row, "Löschen", "delete");
    layout->addLayout(row);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &EntryNodeDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(remove, &QPushButton::clicked, this, &EntryNodeDialog::removeSelected);
    connect(list_, &QListWidget::itemDoubleClicked, this, &EntryNodeDialog::accept);
    refresh();
}

void EntryNodeDialog::refresh() {
    list_->clear();
    for (const std::string& node : splitNodes(choice_.list)) {
        list_->addItem(qs(node));
        if (QString::compare(qs(node), qs(choice_.chosen), Qt::CaseInsensitive) == 0)
            list_->setCurrentRow(list_->count() - 1);
    }
}

void EntryNodeDialog::removeSelected() {
    if (!list_->currentItem())
        return;
    choice_ = removeNode(choice_, list_->currentItem()->text().toStdString());
    refresh();
}

void EntryNodeDialog::accept() {
    if (list_->currentItem())
        choice_.chosen = list_->currentItem()->text().toStdString();
    QDialog::accept();
}

}  // namespace norva
