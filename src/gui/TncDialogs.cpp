// The TNC settings dialogs (see TncDialogs.h).
#include "gui/TncDialogs.h"

// std
#include <array>
#include <fstream>

// Qt
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QTreeWidget>
#include <QVBoxLayout>

// Norva
#include "gui/EngineLink.h"
#include "platform/Profile.h"
#include "platform/ProgramDir.h"
#include "platform/Text.h"

namespace norva {

namespace {

constexpr const char* kDefaultPorts = "com1 com2 com3 com4 tfpcr253 tfpcr254 tfpcr255 dde";
constexpr const char* kDefaultBauds = "2400 4800 9600 19200 38400";

QStringList choices(const Profile& profile, const char* key, const char* def) {
    QStringList list;
    const std::string words = profile.getString("System", key, def);  // the pieces point into it
    for (std::string_view word : splitBlanks(words))
        list << QString::fromUtf8(word.data(), static_cast<qsizetype>(word.size()));
    return list;
}

void selectOrAdd(QComboBox* box, const QString& value) {
    int index = box->findText(value, Qt::MatchFixedString);
    if (index < 0) {
        box->addItem(value);
        index = box->count() - 1;
    }
    box->setCurrentIndex(index);
}

QSpinBox* spin(int lo, int hi) {
    auto* s = new QSpinBox;
    s->setRange(lo, hi);
    return s;
}

}  // namespace

bool openInEditor(QWidget* parent, const std::filesystem::path& file) {
    std::error_code ec;
    if (!std::filesystem::exists(file, ec)) {
        std::ofstream create(file, std::ios::binary);
        if (!create) {
            QMessageBox::warning(parent, "Norva",
                                 QString::fromStdString(file.string()) +
                                     " kann nicht angelegt werden.");
            return false;
        }
    }
    QStringList command = QProcess::splitCommand(QString::fromStdString(registryValue(std::string(kEditorValue))));
    if (command.isEmpty())
        command << "xdg-open";
    const QString program = command.takeFirst();
    command << QString::fromStdString(file.string());
    if (QProcess::startDetached(program, command))
        return true;
    QMessageBox::warning(parent, "Norva", "Der Editor \"" + program + "\" kann nicht gestartet werden.");
    return false;
}

// ------------------------------------------------------------ TNC einstellen

TncEditDialog::TncEditDialog(EngineLink& engine, Profile& profile, std::filesystem::path programDir,
                             int tnc, FrameSettings& frame, QWidget* parent)
    : QDialog(parent),
      engine_(engine),
      profile_(profile),
      programDir_(std::move(programDir)),
      tnc_(tnc),
      frame_(frame) {
    setWindowTitle(QString("TNC einstellen - Tnc %1").arg(tnc));
    name_ = new QLineEdit;
    name_->setMaxLength(9);
    channels_ = spin(4, 20);
    qrg_ = new QLineEdit;
    qrg_->setMaxLength(10);
    baudrate_ = new QComboBox;
    baudrate_->addItems(choices(profile, "BaudRate", kDefaultBauds));
    comPort_ = new QComboBox;
    comPort_->setEditable(true);
    comPort_->addItems(choices(profile, "ComPort", kDefaultPorts));
    myCall_ = new QLineEdit;
    myCall_->setMaxLength(9);
    connect(myCall_, &QLineEdit::textEdited, this, [this](const QString& t) {
        const int at = myCall_->cursorPosition();
        myCall_->setText(t.toUpper());
        myCall_->setCursorPosition(at);
    });
    connected_ = new QCheckBox("Tnc aktivieren");
    delayTime_ = spin(25, 1000);
    tfpcrWarning_ = new QCheckBox("TFPCR warnen");
    minFreeBuffer_ = spin(400, 800);
    noExtHostMode_ = new QCheckBox("Kein Ext - Host Mode (alle Tnc's)");
    yield_ = new QCheckBox("Yield erlauben (alle Tnc's)");

    name_->setObjectName("tncName");
    channels_->setObjectName("channels");
    qrg_->setObjectName("qrg");
    baudrate_->setObjectName("baudrate");
    comPort_->setObjectName("comPort");
    myCall_->setObjectName("myCall");
    connected_->setObjectName("connected");
    delayTime_->setObjectName("delayTime");
    tfpcrWarning_->setObjectName("tfpcrWarning");
    minFreeBuffer_->setObjectName("minFreeBuffer");
    noExtHostMode_->setObjectName("noExtHostMode");
    yield_->setObjectName("yield");

    auto* form = new QFormLayout;
    form->addRow("Tnc Name", name_);
    form->addRow("Kanäle", channels_);
    form->addRow("Default QRG", qrg_);
    form->addRow("Baudrate", baudrate_);
    form->addRow("Com Port", comPort_);
    form->addRow("Rufzeichen", myCall_);
    form->addRow("Delay Zeit", delayTime_);
    form->addRow("Min. Puffer", minFreeBuffer_);
    form->addRow(connected_);
    form->addRow(tfpcrWarning_);
    form->addRow(noExtHostMode_);
    form->addRow(yield_);

    auto* files = new QGridLayout;
    const std::array<std::pair<const char*, const char*>, 4> fileButtons = {{
        {"tnc.ini", "tnc%1.ini"}, {"tnc.exi", "tnc%1.exi"},
        {"Hello Text", "whello%1.txt"}, {"Gateway Hello", "gate%1.txt"}}};
    for (std::size_t i = 0; i < fileButtons.size(); ++i) {
        auto* b = new QPushButton(fileButtons[i].first);
        const char* pattern = fileButtons[i].second;
        connect(b, &QPushButton::clicked, this, [this, pattern] { openTncFile(pattern); });
        files->addWidget(b, static_cast<int>(i / 2), static_cast<int>(i % 2));
    }

    auto* buttons = new QDialogButtonBox;
    QPushButton* save = buttons->addButton("Sichern / Ende", QDialogButtonBox::AcceptRole);
    save->setObjectName("save");
    QPushButton* remove = buttons->addButton("Löschen / Ende", QDialogButtonBox::DestructiveRole);
    remove->setObjectName("remove");
    buttons->addButton("Abbrechen", QDialogButtonBox::RejectRole);
    connect(save, &QPushButton::clicked, this, &TncEditDialog::save);
    connect(remove, &QPushButton::clicked, this, [this] {
        if (QMessageBox::question(this, "Tnc Daten löschen", "Datensatz löschen ?",
                                  QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok)
            this->remove();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(files);
    layout->addWidget(buttons);
    load();
}

void TncEditDialog::load() {
    const int n = tnc_;
    const TncSettings s = engine_.call([n](CHostMode& hm) { return hm.loadSettings(n); });
    name_->setText(QString::fromStdString(s.tncName));
    channels_->setValue(s.channels);
    qrg_->setText(QString::fromStdString(s.qrg));
    selectOrAdd(baudrate_, QString::number(s.baudrate));
    selectOrAdd(comPort_, QString::fromStdString(s.comPort));
    myCall_->setText(QString::fromStdString(s.myCall));
    connected_->setChecked(s.connected);
    delayTime_->setValue(s.delayTime);
    tfpcrWarning_->setChecked(s.tfpcrWarning);
    minFreeBuffer_->setValue(s.minFreeBuffer);
    noExtHostMode_->setChecked(frame_.noExtHostMode != 0);
    yield_->setChecked(frame_.yield != 0);
}

TncSettings TncEditDialog::fields() const {
    TncSettings s;
    s.tncName = name_->text().trimmed().toStdString();
    s.channels = channels_->value();
    s.qrg = qrg_->text().trimmed().toStdString();
    s.baudrate = baudrate_->currentText().toInt();
    s.comPort = comPort_->currentText().trimmed().toStdString();
    s.myCall = myCall_->text().trimmed().toUpper().toStdString();
    s.connected = connected_->isChecked();
    s.delayTime = delayTime_->value();
    s.tfpcrWarning = tfpcrWarning_->isChecked();
    s.minFreeBuffer = minFreeBuffer_->value();
    return s;
}

void TncEditDialog::save() {
    TncSettings s = fields();
    // A TNC without a name would not appear in the list and be dropped by
    // "&Ende" while its key stays: ask for a name instead.
    if (s.tncName.empty()) {
        QMessageBox::information(this, "TNC einstellen", "Bitte geben Sie einen Tnc Namen ein.");
        return;
    }
    if (s.baudrate <= 0)
        s.baudrate = 9600;
    if (s.comPort.empty())
        s.comPort = "com1";
    if (s.myCall.empty())
        s.myCall = "NOCALL";
    const bool noExt = noExtHostMode_->isChecked();
    const bool yield = yield_->isChecked();
    const int n = tnc_;
    engine_.call([n, s, noExt, yield](CHostMode& hm) { hm.saveSettings(n, s, noExt, yield); });
    frame_.noExtHostMode = noExt ? 1 : 0;
    frame_.yield = yield ? 1 : 0;
    accept();
}

void TncEditDialog::remove() {
    const int n = tnc_;
    engine_.call([n](CHostMode& hm) { hm.deleteSettings(n); });
    accept();
}

void TncEditDialog::openTncFile(const char* pattern) {
    const std::string dir = directoryOf(profile_, programDir_, DirKey::Init, false);
    const std::string name = QString(pattern).arg(tnc_).toStdString();
    openInEditor(this, std::filesystem::path(dir) / name);
}

// ------------------------------------------------------------ Tnc einstellen

TncListDialog::TncListDialog(EngineLink& engine, Profile& profile, std::filesystem::path programDir,
                             FrameSettings& frame, QWidget* parent)
    : QDialog(parent), engine_(engine), profile_(profile), programDir_(std::move(programDir)),
      frame_(frame) {
    setWindowTitle("Tnc einstellen");
    // Every TNC stops and polling waits until the list is closed.
    engine_.call([](CHostMode& hm) { hm.beginSettings(); });

    list_ = new QTreeWidget;
    list_->setColumnCount(3);
    list_->setHeaderHidden(true);
    list_->setRootIsDecorated(false);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    connect(list_, &QTreeWidget::itemDoubleClicked, this, &TncListDialog::editSelected);

    auto* edit = new QPushButton("&Einstellen...");
    edit->setObjectName("edit");
    auto* add = new QPushButton("&Neues Tnc...");
    add->setObjectName("new");
    auto* end = new QPushButton("&Ende");
    end->setObjectName("end");
    end->setDefault(true);
    connect(edit, &QPushButton::clicked, this, &TncListDialog::editSelected);
    connect(add, &QPushButton::clicked, this, &TncListDialog::newTnc);
    connect(end, &QPushButton::clicked, this, &QDialog::accept);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(edit);
    buttons->addWidget(add);
    buttons->addStretch(1);
    buttons->addWidget(end);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(list_, 1);
    layout->addLayout(buttons);
    resize(420, 220);
    rebuild();
}

TncListDialog::~TncListDialog() { finish(); }

void TncListDialog::rebuild() {
    const auto lines = engine_.call([](CHostMode& hm) { return hm.settingsList(); });
    list_->clear();
    for (const std::string& line : lines) {
        const QStringList parts = QString::fromStdString(line).split('\t');
        auto* item = new QTreeWidgetItem(list_, parts);
        item->setData(0, Qt::UserRole, parts.value(0).trimmed().toInt());
    }
    list_->resizeColumnToContents(0);
    list_->resizeColumnToContents(1);
}

std::vector<int> TncListDialog::listed() const {
    std::vector<int> wanted;
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        const int n = list_->topLevelItem(i)->data(0, Qt::UserRole).toInt();
        if (n >= 1 && n <= 4)
            wanted.push_back(n);
    }
    return wanted;
}

void TncListDialog::editSelected() {
    QTreeWidgetItem* item = list_->currentItem();
    if (!item || !item->isSelected()) {
        QMessageBox::information(this, "Tnc einstellen", "Wählen Sie ein TNC oder Neu !");
        return;
    }
    TncEditDialog dialog(engine_, profile_, programDir_, item->data(0, Qt::UserRole).toInt(), frame_,
                         this);
    dialog.exec();
    rebuild();
}

void TncListDialog::newTnc() {
    const int n = engine_.call([](CHostMode& hm) { return hm.firstFreeTnc(); });
    if (n == 0) {
        QMessageBox::information(this, "Tnc einstellen", "Maximale Anzahl von Tnc's bereits definiert !");
        return;
    }
    TncEditDialog dialog(engine_, profile_, programDir_, n, frame_, this);
    dialog.exec();
    rebuild();
}

void TncListDialog::finish() {
    if (finished_)
        return;
    finished_ = true;
    const std::vector<int> wanted = listed();
    engine_.call([wanted](CHostMode& hm) { hm.applySettings(wanted); });
}

void TncListDialog::done(int result) {
    // Closing the list in any way is "&Ende": polling must not stay held.
    finish();
    QDialog::done(result);
}

}  // namespace norva
