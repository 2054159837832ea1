// DdeLinksDialog: defining, opening and closing a channel's IPC links.
#include "gui/DdeLinksDialog.h"

// Qt
#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QMetaObject>
#include <QPushButton>

// Norva
#include "channel/TncChannel.h"
#include "dde/ChannelDde.h"
#include "dde/DdeLinks.h"
#include "gui/EngineLink.h"
#include "hostmode/Tnc.h"
#include "platform/Profile.h"
#include "platform/Text.h"

namespace norva {

namespace {

QString qs(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

constexpr const char* kSection = "DdeLinks";
constexpr const char* kCaption = "Norva DDE";

QPushButton* button(QWidget* parent, const QString& text, const char* name) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

std::string linkSection(int tnc, int channel) { return "Link" + std::to_string(slotOf(tnc, channel)); }

ChannelDdeLinks* linksOf(EngineLink* link, int slot) {
    CTncChannel* ch = link->channelOf(slot);
    auto* dde = ch ? dynamic_cast<CChannelDde*>(ch->ddeObject()) : nullptr;
    return dde ? dde->links() : nullptr;
}

}  // namespace

DdeLinksDialog::DdeLinksDialog(EngineLink* link, Profile& profile, int tnc, int channel, QWidget* parent)
    : QDialog(parent),
      link_(link),
      profile_(profile),
      tncs_(new QListWidget(this)),
      channels_(new QListWidget(this)),
      names_(new QListWidget(this)),
      active_(new QListWidget(this)),
      name_(new QLineEdit(this)),
      service_(new QLineEdit(this)),
      topic_(new QLineEdit(this)),
      item_(new QLineEdit(this)),
      type_(new QLineEdit(this)),
      auto_(new QCheckBox("Autoconnect", this)) {
    setObjectName("DdeLinksDialog");
    type_->setReadOnly(true);
    for (int t = 1; t <= 4; ++t) tncs_->addItem(QString::number(t));
    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel("Tnc"), 0, 0);
    grid->addWidget(tncs_, 1, 0);
    grid->addWidget(new QLabel("Kanal"), 0, 1);
    grid->addWidget(channels_, 1, 1);
    grid->addWidget(new QLabel("DDE-Knoten"), 0, 2);
    grid->addWidget(names_, 1, 2);
    grid->addWidget(new QLabel("Aktive Verb."), 0, 3);
    grid->addWidget(active_, 1, 3);
    auto* form = new QGridLayout;
    const std::pair<const char*, QLineEdit*> rows[] = {
        {"Name:", name_}, {"Service:", service_}, {"Topic:", topic_}, {"Item:", item_}, {"Link Typ:", type_}};
    int row = 0;
    for (const auto& [label, field] : rows) {
        form->addWidget(new QLabel(label), row, 0);
        form->addWidget(field, row++, 1);
    }
    form->addWidget(auto_, row, 1);
    grid->addLayout(form, 2, 0, 1, 4);
    auto* buttons = new QHBoxLayout;
    QPushButton* open = button(this, "&Verbinden", "connect");
    QPushButton* close = button(this, "&Trennen", "disconnect");
    QPushButton* saveButton = button(this, "&Sichern", "save");
    QPushButton* del = button(this, "Löschen", "delete");
    QPushButton* help = button(this, "&Hilfe", "help");
    QPushButton* end = button(this, "Ende", "end");
    help->setEnabled(false);
    for (QPushButton* b : {open, close, saveButton, del, help, end}) buttons->addWidget(b);
    grid->addLayout(buttons, 3, 0, 1, 4);

    connect(open, &QPushButton::clicked, this, &DdeLinksDialog::connectLink);
    connect(close, &QPushButton::clicked, this, &DdeLinksDialog::disconnectLink);
    connect(saveButton, &QPushButton::clicked, this, &DdeLinksDialog::save);
    connect(del, &QPushButton::clicked, this, &DdeLinksDialog::remove);
    connect(end, &QPushButton::clicked, this, &QDialog::accept);
    connect(names_, &QListWidget::currentRowChanged, this, &DdeLinksDialog::nameChosen);
    connect(item_, &QLineEdit::textChanged, this,
            [this](const QString& t) { type_->setText(t.isEmpty() ? "DDE EXECUTE" : "DDE POKE"); });
    connect(tncs_, &QListWidget::currentRowChanged, this, [this](int r) {
        if (r >= 0) choose(r + 1, 1);
    });
    connect(channels_, &QListWidget::currentRowChanged, this, [this](int r) {
        if (r >= 0 && r + 1 != channel_) choose(tnc_, r + 1);
    });
    type_->setText("DDE EXECUTE");
    choose(tnc, channel);
}

void DdeLinksDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (names_->count() == 0) QMetaObject::invokeMethod(this, [this] { message("Keinen DDE Eintrag gefunden !"); }, Qt::QueuedConnection);
}

void DdeLinksDialog::choose(int tnc, int channel) {
    tnc_ = std::clamp(tnc, 1, 4);
    channel_ = std::max(channel, 1);
    setWindowTitle(QString("DDE Einstellungen / Tnc %1 Channel %2").arg(tnc_).arg(channel_));
    const QSignalBlocker blockTncs(tncs_);
    const QSignalBlocker blockChannels(channels_);
    tncs_->setCurrentRow(tnc_ - 1);
    channels_->clear();
    const int count = profile_.getInt(std::to_string(tnc_), "Channels", 10);
    for (int c = 1; c <= std::clamp(count, 1, 20); ++c) channels_->addItem(QString::number(c));
    channels_->setCurrentRow(channel_ - 1);
    refresh();
}

void DdeLinksDialog::refresh() {
    const QString current = name_->text();
    const QSignalBlocker block(names_);
    names_->clear();
    active_->clear();
    for (const std::string& key : profile_.keys(kSection)) {
        const std::string value = profile_.getString(kSection, key);
        if (value.empty()) continue;
        names_->addItem(qs(key));
        if (linkState(value) == 2) active_->addItem(qs(key));
    }
    // The list makes its first entry current by itself; only the edited name is.
    const auto found = names_->findItems(current, Qt::MatchFixedString);
    names_->setCurrentRow(found.isEmpty() ? -1 : names_->row(found.front()));
}

void DdeLinksDialog::nameChosen() {
    QListWidgetItem* item = names_->currentItem();
    if (!item) return;
    const std::string name = item->text().toStdString();
    const std::string value = profile_.getString(kSection, name);
    const auto words = splitBlanks(value);
    name_->setText(item->text());
    service_->setText(words.size() > 0 ? qs(words[0]) : QString());
    topic_->setText(words.size() > 1 ? qs(words[1]) : QString());
    item_->setText(words.size() > 2 ? qs(words[2]) : QString());
    const auto list = autoList();
    auto_->setChecked(std::find(list.begin(), list.end(), name) != list.end());
}

std::string DdeLinksDialog::definition() const {
    std::string text = service_->text().trimmed().toStdString() + " " + topic_->text().trimmed().toStdString();
    if (!item_->text().trimmed().isEmpty()) text += " " + item_->text().trimmed().toStdString();
    return text;
}

std::vector<std::string> DdeLinksDialog::autoList() const {
    std::vector<std::string> names;
    const std::string list = profile_.getString(linkSection(tnc_, channel_), "Dde");
    for (std::size_t at = 0; at < list.size();) {
        const std::size_t comma = std::min(list.find(',', at), list.size());
        const std::string name(trim(std::string_view(list).substr(at, comma - at)));
        if (!name.empty()) names.push_back(name);
        at = comma + 1;
    }
    return names;
}

void DdeLinksDialog::writeAutoList(const std::vector<std::string>& names) {
    std::string list;
    for (const std::string& n : names) list += (list.empty() ? "" : ",") + n;
    profile_.writeString(linkSection(tnc_, channel_), "Dde", list);
    // The running channel keeps its list in memory too.
    if (!link_) return;
    EngineLink* link = link_;
    link->post([link, slot = slotOf(tnc_, channel_), list](CHostMode&) {
        if (CTncChannel* ch = link->channelOf(slot)) ch->settings().dde = list;
    });
}

void DdeLinksDialog::save() {
    const std::string name = name_->text().trimmed().toStdString();
    if (name.empty()) return;
    profile_.writeString(kSection, name, definition());
    std::vector<std::string> list = autoList();
    std::erase(list, name);
    if (auto_->isChecked()) list.push_back(name);
    writeAutoList(list);
    refresh();
}

void DdeLinksDialog::remove() {
    const std::string name = name_->text().trimmed().toStdString();
    if (name.empty()) return;
    profile_.writeString(kSection, name, "");
    std::vector<std::string> list = autoList();
    std::erase(list, name);
    writeAutoList(list);
    refresh();
}

int DdeLinksDialog::linkState(const std::string& text) const {
    if (!link_) return 0;
    EngineLink* link = link_;
    return link->call([link, slot = slotOf(tnc_, channel_), text](CHostMode&) {
        ChannelDdeLinks* links = linksOf(link, slot);
        return links ? (links->exists(text) ? 2 : 1) : 0;
    });
}

void DdeLinksDialog::connectLink() {
    const std::string text = definition();
    if (linkState(text) == 2) return message("DDE Verbindung bereits erstellt.");
    EngineLink* link = link_;
    const bool opened = link && link->call([link, slot = slotOf(tnc_, channel_), text](CHostMode&) {
        ChannelDdeLinks* links = linksOf(link, slot);
        return links && links->open(text);
    });
    if (!opened) return message("Verbindung kann nicht erstellt werden !");
    refresh();
}

void DdeLinksDialog::disconnectLink() {
    const std::string text = definition();
    if (linkState(text) != 2) return message("Verbindung existiert nicht !");
    EngineLink* link = link_;
    const bool closed = link->call([link, slot = slotOf(tnc_, channel_), text](CHostMode&) {
        ChannelDdeLinks* links = linksOf(link, slot);
        return links && links->close(text);
    });
    if (!closed) return message("Verbindung kann nicht getrennt werden !");
    refresh();
}

void DdeLinksDialog::message(const char* text) { QMessageBox::information(this, kCaption, text); }

}  // namespace norva
