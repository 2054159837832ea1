// ScheduleDialog: lists, buttons and the write of section SCHEDULE.
#include "gui/ScheduleDialog.h"

// std
#include <algorithm>
#include <string>

// Qt
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QVBoxLayout>

// Norva
#include "hostmode/Tnc.h"
#include "platform/Profile.h"

namespace norva {

namespace {

constexpr int kQuartersPerDay = 96;
const char* const kCaption = "Scripte zeitgesteuert starten";

QString qs(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

QListWidget* makeList(const char* name) {
    auto* list = new QListWidget;
    list->setObjectName(name);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    return list;
}

void addItem(QListWidget* list, const QString& text, int value) {
    auto* item = new QListWidgetItem(text, list);
    item->setData(Qt::UserRole, value);
}

QWidget* labelled(const char* label, QWidget* w) {
    auto* box = new QWidget;
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QLabel(label));
    layout->addWidget(w);
    return box;
}

QPushButton* makeButton(const char* text, const char* name) {
    auto* b = new QPushButton(text);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

}  // namespace

ScheduleDialog::ScheduleDialog(Profile& profile, QString scriptDir, FileChooser chooser, int tnc,
                               int channel, QWidget* parent)
    : QDialog(parent), profile_(profile), scriptDir_(std::move(scriptDir)), chooser_(std::move(chooser)) {
    setObjectName("ScheduleDialog");
    setWindowTitle(kCaption);
    for (const ScheduleLine& line : readSchedule(profile_)) {
        if (line.entry)
            entries_.push_back(*line.entry);
        else
            ++unreadable_;
    }

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel("Übersicht:"));
    overview_ = new QTreeWidget;
    overview_->setObjectName("overview");
    overview_->setRootIsDecorated(false);
    overview_->setHeaderLabels({"Tnc:", "Kanal:", "Tag:", "Zeit:", "Lauf:", "Scriptname:"});
    overview_->setSelectionMode(QAbstractItemView::SingleSelection);
    overview_->setMinimumHeight(120);
    layout->addWidget(overview_);

    auto* settings = new QGroupBox("Einstellungen:");
    auto* grid = new QHBoxLayout(settings);
    tncs_ = makeList("tncList");
    channels_ = makeList("channelList");
    days_ = makeList("dayList");
    times_ = makeList("timeList");
    for (int n = 1; n <= 4; ++n)
        if (profile_.getString("Tnc", std::to_string(n)) == "1")
            addItem(tncs_, QString::number(n), n);
    for (int d = 0; d <= ScheduleEntry::kDaily; ++d)
        addItem(days_, qs(scheduleDayName(d)), d);
    for (int q = 0; q < kQuartersPerDay; ++q)
        addItem(times_, qs(scheduleTimeText(q)), q);
    addItem(times_, qs(scheduleTimeText(ScheduleEntry::kHourly)), ScheduleEntry::kHourly);
    connect(tncs_, &QListWidget::currentRowChanged, this, [this] { fillChannels(selectedData(tncs_)); });
    grid->addWidget(labelled("Tnc:", tncs_));
    grid->addWidget(labelled("Kanal:", channels_));
    grid->addWidget(labelled("Tag:", days_));
    grid->addWidget(labelled("Zeit:", times_));
    auto* run = new QVBoxLayout;
    once_ = new QRadioButton("einfach");
    once_->setObjectName("once");
    repeat_ = new QRadioButton("mehrfach");
    repeat_->setObjectName("repeat");
    repeat_->setChecked(true);
    run->addWidget(once_);
    run->addWidget(repeat_);
    run->addStretch();
    grid->addLayout(run);
    for (QListWidget* list : {tncs_, channels_, days_, times_})
        list->setMaximumHeight(140);
    layout->addWidget(settings);

    auto* buttons = new QHBoxLayout;
    QPushButton* add = makeButton("Hinzufügen", "add");
    QPushButton* edit = makeButton("Bearbeiten", "edit");
    QPushButton* remove = makeButton("Entfernen", "remove");
    QPushButton* ok = makeButton("Ok", "ok");
    QPushButton* cancel = makeButton("Abbrechen", "cancel");
    ok->setDefault(true);
    for (QPushButton* b : {add, edit, remove})
        buttons->addWidget(b);
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    connect(add, &QPushButton::clicked, this, &ScheduleDialog::addEntry);
    connect(edit, &QPushButton::clicked, this, &ScheduleDialog::editEntry);
    connect(remove, &QPushButton::clicked, this, &ScheduleDialog::removeEntry);
    connect(ok, &QPushButton::clicked, this, &ScheduleDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &ScheduleDialog::reject);

    selectData(tncs_, tnc);
    fillChannels(selectedData(tncs_));
    selectData(channels_, channel);
    refreshOverview(entries_.empty() ? -1 : 0);
    resize(620, 460);
}

void ScheduleDialog::fillChannels(int tnc) {
    const int keep = selectedData(channels_);
    channels_->clear();
    if (tnc < 1)
        return;
    const int count = std::clamp(profile_.getInt(std::to_string(tnc), "Channels", 0), 0, kMaxChannels);
    for (int c = 0; c <= count; ++c)
        addItem(channels_, QString::number(c), c);
    selectData(channels_, keep);
}

void ScheduleDialog::selectData(QListWidget* list, int value) {
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->data(Qt::UserRole).toInt() == value) {
            list->setCurrentRow(i);
            list->scrollToItem(list->item(i));
            return;
        }
}

int ScheduleDialog::selectedData(const QListWidget* list) {
    const QListWidgetItem* item = list->currentItem();
    return item && item->isSelected() ? item->data(Qt::UserRole).toInt() : -2;
}

int ScheduleDialog::selectedRow() const {
    QTreeWidgetItem* item = overview_->currentItem();
    return item && item->isSelected() ? overview_->indexOfTopLevelItem(item) : -1;
}

void ScheduleDialog::refreshOverview(int selectRow) {
    overview_->clear();
    for (const ScheduleEntry& e : entries_) {
        auto* item = new QTreeWidgetItem(overview_);
        item->setText(0, QString::number(e.tnc));
        item->setText(1, QString::number(e.channel));
        item->setText(2, qs(scheduleDayName(e.day)));
        item->setText(3, qs(scheduleTimeText(e.quarter)));
        item->setText(4, e.once ? "einf." : "mehrf.");
        item->setText(5, qs(e.script));
    }
    if (selectRow >= 0 && selectRow < overview_->topLevelItemCount()) {
        overview_->setCurrentItem(overview_->topLevelItem(selectRow));
        overview_->topLevelItem(selectRow)->setSelected(true);
    }
    for (int c = 0; c < 5; ++c) {
        overview_->resizeColumnToContents(c);
        overview_->setColumnWidth(c, overview_->columnWidth(c) + 14);
    }
}

void ScheduleDialog::addEntry() {
    const QString chosen = chooser_(this, {FileRequest::Mode::Open, "Script auswählen", scriptDir_, {}, {}, {}});
    if (chosen.isEmpty())
        return;
    const int tnc = selectedData(tncs_), channel = selectedData(channels_);
    const int day = selectedData(days_), quarter = selectedData(times_);
    if (tnc < 1 || channel < 0 || day < 0 || quarter < ScheduleEntry::kHourly)
        return;
    ScheduleEntry entry{tnc, channel, day, quarter, once_->isChecked(),
                        QFileInfo(chosen).fileName().toStdString()};
    // The stored line must read back as the same entry: a name with blanks
    // or odd characters would turn into a different (or no) schedule line.
    if (parseScheduleEntry(formatScheduleEntry(entry)) != entry) {
        QMessageBox::warning(this, kCaption,
                             "Der Scriptname " + qs(entry.script) + " lässt sich nicht zeitgesteuert starten.");
        return;
    }
    entries_.push_back(std::move(entry));
    refreshOverview(static_cast<int>(entries_.size()) - 1);
}

void ScheduleDialog::editEntry() {
    const int row = selectedRow();
    if (row < 0)
        return;
    const ScheduleEntry& e = entries_[static_cast<std::size_t>(row)];
    selectData(tncs_, e.tnc);
    fillChannels(e.tnc);
    selectData(channels_, e.channel);
    selectData(days_, e.day);
    selectData(times_, e.quarter);
    (e.once ? once_ : repeat_)->setChecked(true);
}

void ScheduleDialog::removeEntry() {
    const int row = selectedRow();
    if (row < 0)
        return;
    entries_.erase(entries_.begin() + row);
    refreshOverview(std::min(row, static_cast<int>(entries_.size()) - 1));
}

void ScheduleDialog::accept() {
    if (!writeSchedule(profile_, entries_)) {
        QMessageBox::warning(this, kCaption, "Die Zeitsteuerung konnte nicht gespeichert werden.");
        return;
    }
    QDialog::accept();
}

}  // namespace norva
