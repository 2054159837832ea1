// "Kanal Einstellungen" (see ChannelSettingsDialog.h).
#include "gui/ChannelSettingsDialog.h"

// std
#include <array>

// Qt
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

// Norva
#include "channel/TncChannel.h"
#include "gui/EngineLink.h"
#include "gui/MainFrame.h"
#include "gui/NorvaSplit.h"
#include "hostmode/Tnc.h"
#include "platform/Profile.h"

namespace norva {

namespace {

struct Switch {
    const char* name;
    const char* text;
    bool ChannelSettings::*field;
};

constexpr std::array<Switch, 11> kSwitches = {{
    {"fileStamp", "Zeit senden", &ChannelSettings::fileStamp},
    {"addFileEnd", "***End senden", &ChannelSettings::addFileEnd},
    {"autoBin", "autobinär", &ChannelSettings::autoBin},
    {"messageBeep", "Beep", &ChannelSettings::messageBeep},
    {"remote", "Rem Betrieb", &ChannelSettings::remote},
    {"remoteQuit", "Rem Quit", &ChannelSettings::remoteQuit},
    {"dieBox", "DieBox Support", &ChannelSettings::dieBox},
    {"logStation", "Station loggen", &ChannelSettings::logStation},
    {"connectMsg", "Conn Meldung", &ChannelSettings::connectMsg},
    {"inputToFile", "-> Logdatei", &ChannelSettings::inputToFile},
    {"travoAuto", "Travo  Connect", &ChannelSettings::travoAuto},
}};

constexpr std::array<int, 9> kReviewSeconds = {10, 20, 30, 60, 90, 120, 180, 300, 600};

}  // namespace

ChannelSettingsDialog::ChannelSettingsDialog(CMainFrame& frame, int slot, QWidget* parent)
    : QDialog(parent ? parent : &frame), frame_(frame), slot_(slot) {
    setWindowTitle("Kanal Einstellungen");
    tncs_ = new QComboBox;
    for (int n = 1; n <= 5; ++n) {
        const int count = frame_.engine()->call([n](CHostMode& hm) {
            CTnc* tnc = hm.tnc(n);
            return tnc ? tnc->channelCount() + 1 : 0;
        });
        if (count > 0)
            tncs_->addItem(QString("Tnc %1").arg(n), n);
    }
    channels_ = new QComboBox;
    review_ = new QComboBox;
    review_->setObjectName("reviewTime");
    for (int s : kReviewSeconds)
        review_->addItem(QString::number(s), s);

    auto* link = new QGroupBox("Kanal");
    auto* grid = new QGridLayout(link);
    for (std::size_t i = 0; i < kSwitches.size(); ++i) {
        auto* box = new QCheckBox(kSwitches[i].text);
        box->setObjectName(kSwitches[i].name);
        grid->addWidget(box, static_cast<int>(i / 2), static_cast<int>(i % 2));
    }
    auto* reviewRow = new QHBoxLayout;
    reviewRow->addWidget(new QLabel("Review Zeit"));
    reviewRow->addWidget(review_);
    grid->addLayout(reviewRow, static_cast<int>(kSwitches.size() / 2) + 1, 0, 1, 2);

    auto* input = new QGroupBox("Vorschreiben");
    auto* inputLayout = new QVBoxLayout(input);
    for (const auto& [name, text] : {std::pair{"inputScrollbar", "Srcollbar"},
                                     std::pair{"wordBreak", "Wortumbruch"},
                                     std::pair{"inputEcho", "Echo"}}) {
        auto* box = new QCheckBox(text);
        box->setObjectName(name);
        inputLayout->addWidget(box);
    }
    auto* output = new QGroupBox("Ausgabe");
    auto* outputLayout = new QVBoxLayout(output);
    auto* outScroll = new QCheckBox("Srcollbar");
    outScroll->setObjectName("outputScrollbar");
    outputLayout->addWidget(outScroll);

    auto* chooser = new QHBoxLayout;
    chooser->addWidget(tncs_);
    chooser->addWidget(channels_);
    auto* panes = new QHBoxLayout;
    panes->addWidget(input);
    panes->addWidget(output);

    auto* buttons = new QDialogButtonBox;
    QPushButton* end = buttons->addButton("Ende", QDialogButtonBox::AcceptRole);
    end->setObjectName("end");
    QPushButton* save = buttons->addButton("Sichern", QDialogButtonBox::ApplyRole);
    save->setObjectName("save");
    buttons->addButton("Abbrechen", QDialogButtonBox::RejectRole);
    QPushButton* help = buttons->addButton("&Hilfe", QDialogButtonBox::HelpRole);
    help->setEnabled(false);
    connect(end, &QPushButton::clicked, this, [this] {
        apply(false);
        accept();
    });
    connect(save, &QPushButton::clicked, this, [this] { apply(true); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(chooser);
    layout->addWidget(link);
    layout->addLayout(panes);
    layout->addWidget(buttons);

    connect(tncs_, &QComboBox::activated, this, [this](int index) {
        fillChannels(tncs_->itemData(index).toInt());
        choose(slotOf(tncs_->itemData(index).toInt(), 0));
    });
    connect(channels_, &QComboBox::activated, this, [this](int index) {
        choose(slotOf(tncs_->currentData().toInt(), channels_->itemData(index).toInt()));
    });
    const int tnc = tncOfSlot(slot);
    tncs_->setCurrentIndex(std::max(0, tncs_->findData(tnc)));
    fillChannels(tncs_->currentData().toInt());
    choose(slot);
}

QCheckBox* ChannelSettingsDialog::check(const char* name) const {
    return findChild<QCheckBox*>(name);
}

void ChannelSettingsDialog::fillChannels(int tnc) {
    const int count = frame_.engine()->call([tnc](CHostMode& hm) {
        CTnc* t = hm.tnc(tnc);
        return t ? t->channelCount() : -1;
    });
    channels_->clear();
    for (int ch = 0; ch <= count; ++ch)
        channels_->addItem(QString("Kanal %1").arg(ch), ch);
}

void ChannelSettingsDialog::choose(int slot) {
    slot_ = slot;
    channels_->setCurrentIndex(std::max(0, channels_->findData(channelOfSlot(slot))));
    EngineLink* link = frame_.engine();
    loaded_ = link->call([link, slot](CHostMode&) -> std::optional<ChannelSettings> {
        CTncChannel* channel = link->channelOf(slot);
        if (!channel)
            return std::nullopt;
        return channel->settings();
    });
    CNorvaSplit* window = frame_.channelWindow(slot);
    const PaneSettings panes = window ? window->paneSettings() : loadPaneSettings(frame_.profile(), slot);
    showValues(loaded_.value_or(ChannelSettings{}), panes);
    setEditable(loaded_.has_value());
}

void ChannelSettingsDialog::showValues(const ChannelSettings& s, const PaneSettings& p) {
    for (const Switch& sw : kSwitches)
        check(sw.name)->setChecked(s.*sw.field);
    int index = review_->findData(s.maxReviewTime);
    if (index < 0) {
        review_->addItem(QString::number(s.maxReviewTime), s.maxReviewTime);
        index = review_->count() - 1;
    }
    review_->setCurrentIndex(index);
    check("inputScrollbar")->setChecked(p.inputScrollbar);
    check("wordBreak")->setChecked(p.wordBreak);
    check("inputEcho")->setChecked(p.inputEcho);
    check("outputScrollbar")->setChecked(p.outputScrollbar);
}

void ChannelSettingsDialog::setEditable(bool on) {
    for (const Switch& sw : kSwitches)
        check(sw.name)->setEnabled(on);
    review_->setEnabled(on);
}

void ChannelSettingsDialog::apply(bool write) {
    const int slot = slot_;
    CNorvaSplit* window = frame_.channelWindow(slot);
    PaneSettings panes = window ? window->paneSettings() : loadPaneSettings(frame_.profile(), slot);
    panes.inputScrollbar = check("inputScrollbar")->isChecked();
    panes.wordBreak = check("wordBreak")->isChecked();
    panes.inputEcho = check("inputEcho")->isChecked();
    panes.outputScrollbar = check("outputScrollbar")->isChecked();
    if (window)
        window->applyPaneSettings(panes);
    if (!window || write)
        savePaneSettings(frame_.profile(), slot, panes);
    if (!loaded_)
        return;
    ChannelSettings s = *loaded_;
    for (const Switch& sw : kSwitches)
        s.*sw.field = check(sw.name)->isChecked();
    s.maxReviewTime = review_->currentData().toInt();
    frame_.setMessageBeep(slot, s.messageBeep);
    loaded_ = s;
    EngineLink* link = frame_.engine();
    link->call([link, slot, s, write](CHostMode& hm) {
        CTncChannel* channel = link->channelOf(slot);
        if (!channel)
            return;
        ChannelSettings& live = channel->settings();
        for (const Switch& sw : kSwitches)
            live.*sw.field = s.*sw.field;
        live.maxReviewTime = s.maxReviewTime;
        if (write)
            writeChannelSettings(hm.context().profile, slot, live);
    });
}

}  // namespace norva
