// TransferStatusWindow: lists, buttons and the posted requests behind them.
#include "gui/TransferStatusWindow.h"

// std
#include <algorithm>
#include <set>

// Qt
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTreeWidget>
#include <QVBoxLayout>

// Norva
#include "app/Engine.h"
#include "channel/ChannelRegistry.h"
#include "channel/TncChannel.h"
#include "gui/EngineLink.h"
#include "gui/TransferCommands.h"
#include "hostmode/Tnc.h"
#include "platform/Profile.h"

namespace norva {

namespace {

constexpr const char* kSection = "filestatus";
constexpr int kDefaultPos = 50;
constexpr int kColumns = 7;

QString qs(const std::string& s) { return QString::fromStdString(s); }

// Runs on the engine thread.
TransferSnapshot takeSnapshot(ChannelRegistry& channels, int shownSlot) {
    TransferSnapshot snapshot;
    for (int slot = 1; slot <= ChannelRegistry::kSlots; ++slot) {
        CTncChannel* channel = channels.channel(slot);
        if (channel && channel->number() != 0)
            snapshot.channels.emplace_back(channel->tncNumber(), channel->number());
    }
    for (const TransferStatus& st : allTransferStatus(channels))
        snapshot.busySlots.push_back(slotOf(st.tnc, st.channel));
    if (CTncChannel* channel = channels.channel(shownSlot))
        snapshot.shown = transferStatus(*channel);
    return snapshot;
}

QString titleOf(int slot) {
    TransferStatus status;
    status.tnc = tncOfSlot(slot);
    status.channel = channelOfSlot(slot);
    return qs(status.title());
}

QStringList cells(const TransferRow& row) {
    return {QString::number(row.fileLength), QString::number(row.remaining), QString::number(row.rate),
            QString::number(row.minutesLeft),  qs(row.status).trimmed(),      qs(row.type),
            qs(row.name).trimmed()};
}

QTreeWidget* makeList(QAbstractItemView::SelectionMode mode, const char* name) {
    auto* list = new QTreeWidget;
    list->setObjectName(name);
    list->setColumnCount(kColumns);
    QStringList heads;
    for (const char* head : kTransferColumns)
        heads << QString::fromUtf8(head);
    list->setHeaderLabels(heads);
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setSelectionMode(mode);
    list->setAllColumnsShowFocus(true);
    for (int c = 0; c < 4; ++c)
        list->headerItem()->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
    return list;
}

// Engine thread: the job the window listed is still the one at that
// address. A pointer alone only names a job; after a job ended a new one may
// have taken its place in memory.
bool stillListed(CTncChannel& channel, const CChannelJob* job, const std::string& name,
                 const std::string& type) {
    const TransferStatus now = transferStatus(channel);
    return std::ranges::any_of(now.queue, [&](const TransferRow& row) {
        return row.job == job && row.name == name && row.type == type;
    });
}

const CChannelJob* jobOf(const QTreeWidgetItem* item) {
    return reinterpret_cast<const CChannelJob*>(item->data(0, Qt::UserRole).value<quintptr>());
}

}  // namespace

TransferStatusWindow::TransferStatusWindow(EngineLink* link, TransferCommands& commands, Profile& profile,
                                           int slot, QWidget* parent)
    : QDialog(parent), link_(link), commands_(commands), profile_(profile), slot_(slot) {
    setObjectName("TransferStatusWindow");
    setModal(false);
    build();
    move(profile_.getInt(kSection, "left", kDefaultPos), profile_.getInt(kSection, "top", kDefaultPos));
    setWindowTitle(titleOf(slot_));
    timer_.setInterval(kRebuildMs);
    connect(&timer_, &QTimer::timeout, this, &TransferStatusWindow::refresh);
    updateButtons();
}

TransferStatusWindow::~TransferStatusWindow() = default;

QPushButton* TransferStatusWindow::button(const char* objectName) const {
    return findChild<QPushButton*>(objectName);
}

void TransferStatusWindow::build() {
    auto* layout = new QVBoxLayout(this);
    auto* chooser = new QHBoxLayout;
    tncList_ = new QComboBox;
    tncList_->setObjectName("tncList");
    channelList_ = new QComboBox;
    channelList_->setObjectName("channelList");
    chooser->addWidget(new QLabel("Tnc:"));
    chooser->addWidget(tncList_);
    chooser->addWidget(new QLabel("Kanal:"));
    chooser->addWidget(channelList_);
    chooser->addStretch();
    layout->addLayout(chooser);
    connect(tncList_, &QComboBox::currentIndexChanged, this, &TransferStatusWindow::tncChosen);
    connect(channelList_, &QComboBox::currentIndexChanged, this, &TransferStatusWindow::channelChosen);

    queueList_ = makeList(QAbstractItemView::ExtendedSelection, "queueList");
    receiveList_ = makeList(QAbstractItemView::SingleSelection, "receiveList");
    receiveList_->setHeaderHidden(true);
    receiveList_->setMaximumHeight(receiveList_->fontMetrics().height() * 3);
    layout->addWidget(queueList_, 3);
    layout->addWidget(receiveList_, 1);
    connect(queueList_, &QTreeWidget::itemSelectionChanged, this, &TransferStatusWindow::updateButtons);
    connect(receiveList_, &QTreeWidget::itemSelectionChanged, this, &TransferStatusWindow::updateButtons);

    auto* buttons = new QHBoxLayout;
    auto add = [this, buttons](const QString& text, const char* name, auto fn) {
        auto* b = new QPushButton(text);
        b->setObjectName(name);
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, fn);
        buttons->addWidget(b);
        return b;
    };
    add("Halt", "halt", [this] { halt(); });
    add("Weiter", "resume", [this] { resume(); });
    add("löschen", "remove", [this] { removeSelected(); });
    add("abbrechen", "cancel", [this] { cancelSelected(); });
    add("Auf", "up", [this] { moveSelected(true); });
    add("Ab", "down", [this] { moveSelected(false); });
    add("Text...", "sendText", [this] { sendText(); });
    add("Binär...", "sendBinary", [this] { sendBinary(); });
    add("&Hilfe", "help", [] {})->setEnabled(false);  // the help texts come with the help viewer
    add("Ende", "close", [this] { close(); });
    layout->addLayout(buttons);
    resize(720, 360);
}

void TransferStatusWindow::showSlot(int slot) {
    if (slot == slot_)
        return;
    slot_ = slot;
    setWindowTitle(titleOf(slot_));
    queueList_->clear();
    receiveList_->clear();
    snapshot_.shown.reset();
    updateButtons();
    refresh();
}

void TransferStatusWindow::refresh() {
    if (!link_)
        return;
    const std::uint64_t generation = ++generation_;
    QPointer<TransferStatusWindow> self(this);
    EngineLink* link = link_;
    const int slot = slot_;
    link->post([link, self, slot, generation](CHostMode&) {
        TransferSnapshot snapshot = takeSnapshot(link->engine().context().channels, slot);
        // Back to the GUI thread; the window may be gone by then.
        QMetaObject::invokeMethod(
            qApp,
            [self, snapshot = std::move(snapshot), generation]() mutable {
                if (self)
                    self->apply(std::move(snapshot), generation);
            },
            Qt::QueuedConnection);
    });
}

void TransferStatusWindow::apply(TransferSnapshot snapshot, std::uint64_t generation) {
    // An answer for a channel shown before, or overtaken by a newer request.
    if (generation != generation_)
        return;
    snapshot_ = std::move(snapshot);
    fillChannelLists();
    std::vector<TransferRow> receiving;
    if (snapshot_.shown) {
        setWindowTitle(qs(snapshot_.shown->title()));
        if (snapshot_.shown->receiving)
            receiving.push_back(*snapshot_.shown->receiving);
        fillList(queueList_, snapshot_.shown->queue);
    } else {
        fillList(queueList_, {});
    }
    fillList(receiveList_, receiving);
    alignColumns();
    updateButtons();
    emit rebuilt();
}

void TransferStatusWindow::fillChannelLists() {
    filling_ = true;
    const int tnc = tncOfSlot(slot_);
    std::set<int> tncs;
    for (const auto& [t, c] : snapshot_.channels)
        tncs.insert(t);
    tncs.insert(tnc);
    tncList_->clear();
    for (int t : tncs)
        tncList_->addItem(QString::number(t), t);
    tncList_->setCurrentIndex(tncList_->findData(tnc));
    channelList_->clear();
    std::set<int> numbers{channelOfSlot(slot_)};
    for (const auto& [t, c] : snapshot_.channels)
        if (t == tnc)
            numbers.insert(c);
    for (int c : numbers) {
        const bool busy = std::ranges::count(snapshot_.busySlots, slotOf(tnc, c)) > 0;
        // A channel with transfers is marked, so the operator finds it.
        channelList_->addItem(busy ? QString("%1 *").arg(c) : QString::number(c), c);
    }
    channelList_->setCurrentIndex(channelList_->findData(channelOfSlot(slot_)));
    filling_ = false;
}

void TransferStatusWindow::fillList(QTreeWidget* list, const std::vector<TransferRow>& rows) {
    std::set<const CChannelJob*> selected;
    for (const QTreeWidgetItem* item : list->selectedItems())
        selected.insert(jobOf(item));
    const int scroll = list->verticalScrollBar()->value();
    list->clear();
    for (const TransferRow& row : rows) {
        auto* item = new QTreeWidgetItem(cells(row));
        item->setData(0, Qt::UserRole, QVariant::fromValue(reinterpret_cast<quintptr>(row.job)));
        item->setToolTip(kColumns - 1, qs(row.text()));
        for (int c = 0; c < 4; ++c)
            item->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
        list->addTopLevelItem(item);
        item->setSelected(selected.contains(row.job));
    }
    list->verticalScrollBar()->setValue(scroll);
}

void TransferStatusWindow::alignColumns() {
    // One header line serves both lists: their columns share the widths.
    for (int c = 0; c < kColumns; ++c) {
        queueList_->resizeColumnToContents(c);
        receiveList_->resizeColumnToContents(c);
        const int width = std::max(queueList_->columnWidth(c), receiveList_->columnWidth(c));
        queueList_->setColumnWidth(c, width);
        receiveList_->setColumnWidth(c, width);
    }
}

void TransferStatusWindow::updateButtons() {
    const bool known = snapshot_.shown.has_value();
    const bool paused = known && snapshot_.shown->paused;
    button("halt")->setEnabled(known && !paused);
    button("resume")->setEnabled(known && paused);
    const bool waitingSelected = !selectedQueued().empty();
    button("remove")->setEnabled(waitingSelected);
    button("up")->setEnabled(waitingSelected);
    button("down")->setEnabled(waitingSelected);
    bool runningSelected = !receiveList_->selectedItems().isEmpty();
    if (known)
        for (const QTreeWidgetItem* item : queueList_->selectedItems()) {
            const auto& rows = snapshot_.shown->queue;
            const auto row = std::ranges::find(rows, jobOf(item), &TransferRow::job);
            runningSelected = runningSelected || (row != rows.end() && row->active);
        }
    button("cancel")->setEnabled(runningSelected);
}

std::vector<TransferStatusWindow::ListedJob> TransferStatusWindow::selectedQueued() const {
    std::vector<ListedJob> jobs;
    if (!snapshot_.shown)
        return jobs;
    const auto& rows = snapshot_.shown->queue;
    // In list order, so moving several keeps their order.
    for (int i = 0; i < queueList_->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = queueList_->topLevelItem(i);
        if (!item->isSelected())
            continue;
        const auto row = std::ranges::find(rows, jobOf(item), &TransferRow::job);
        if (row != rows.end() && !row->active)
            jobs.push_back({row->job, row->name, row->type});
    }
    return jobs;
}

void TransferStatusWindow::tncChosen(int index) {
    if (filling_ || index < 0)
        return;
    const int tnc = tncList_->itemData(index).toInt();
    int first = 1;
    for (const auto& [t, c] : snapshot_.channels)
        if (t == tnc) {
            first = c;
            break;
        }
    showSlot(slotOf(tnc, first));
}

void TransferStatusWindow::channelChosen(int index) {
    if (filling_ || index < 0)
        return;
    showSlot(slotOf(tncOfSlot(slot_), channelList_->itemData(index).toInt()));
}

template <class F>
void TransferStatusWindow::onChannel(F fn) {
    if (!link_)
        return;
    EngineLink* link = link_;
    const int slot = slot_;
    link->post([link, slot, fn = std::move(fn)](CHostMode&) mutable {
        if (CTncChannel* channel = link->channelOf(slot))
            fn(*channel);
    });
    // Posted after the work, so the answer shows its effect.
    refresh();
}

void TransferStatusWindow::halt() {
    onChannel([](CTncChannel& channel) { pauseTransfers(channel, true); });
}

void TransferStatusWindow::resume() {
    onChannel([](CTncChannel& channel) { pauseTransfers(channel, false); });
}

void TransferStatusWindow::removeSelected() {
    const auto jobs = selectedQueued();
    if (jobs.empty())
        return;
    if (QMessageBox::question(this, kCaptionSpooler, kAskRemoveQueued, QMessageBox::Yes | QMessageBox::No,
                              QMessageBox::No) != QMessageBox::Yes)
        return;
    // The core leaves alone what has started meanwhile.
    onChannel([jobs](CTncChannel& channel) {
        for (const ListedJob& listed : jobs)
            if (stillListed(channel, listed.job, listed.name, listed.type))
                removeWaitingTransfer(channel, listed.job);
    });
}

void TransferStatusWindow::cancelSelected() {
    if (!receiveList_->selectedItems().isEmpty()) {
        if (QMessageBox::question(this, "Norva", kAskCancelBinReceive, QMessageBox::Yes | QMessageBox::No,
                                  QMessageBox::No) == QMessageBox::Yes)
            onChannel([](CTncChannel& channel) { cancelReceive(channel); });
        return;
    }
    if (commands_.stopSending(slot_) != TransferOutcome::Cancelled)
        refresh();
}

void TransferStatusWindow::moveSelected(bool up) {
    auto jobs = selectedQueued();
    if (!up)
        std::ranges::reverse(jobs);
    onChannel([jobs, up](CTncChannel& channel) {
        for (const ListedJob& listed : jobs)
            if (stillListed(channel, listed.job, listed.name, listed.type))
                up ? moveTransferUp(channel, listed.job) : moveTransferDown(channel, listed.job);
    });
}

void TransferStatusWindow::sendText() {
    commands_.sendTextFile(slot_, "Send Text File");
    refresh();
}

void TransferStatusWindow::sendBinary() {
    commands_.sendBinaryFile(slot_, "Send Binary File");
    refresh();
}

void TransferStatusWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    timer_.start();
    refresh();
}

void TransferStatusWindow::hideEvent(QHideEvent* event) {
    timer_.stop();
    savePosition();
    QDialog::hideEvent(event);
}

void TransferStatusWindow::closeEvent(QCloseEvent* event) {
    // Closing only hides the window; it keeps its channel for the next time.
    QDialog::closeEvent(event);
}

void TransferStatusWindow::savePosition() {
    profile_.writeInt(kSection, "left", pos().x());
    profile_.writeInt(kSection, "top", pos().y());
}

}  // namespace norva
