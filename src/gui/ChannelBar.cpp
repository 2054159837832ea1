// CNorvaChannelBar: TNC selector and channel buttons.
#include "gui/ChannelBar.h"

// Qt
#include <QComboBox>
#include <QLabel>
#include <QToolButton>

namespace norva {

namespace {
int slotOf(int tnc, int channel) { return (tnc - 1) * 21 + channel + 1; }
}  // namespace

CNorvaChannelBar::CNorvaChannelBar(QWidget* parent) : QToolBar(parent) {
    setObjectName("ChannelBar");
    setWindowTitle("Kanalleiste");
    setMovable(false);
    tncBox_ = new QComboBox;
    tncBox_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    tncAction_ = addWidget(tncBox_);
    connect(tncBox_, &QComboBox::activated, this, [this](int index) {
        showTnc(tncBox_->itemData(index).toInt());
    });
    for (int ch = 0; ch < kButtons; ++ch) {
        auto* b = new QToolButton;
        b->setToolButtonStyle(Qt::ToolButtonTextOnly);
        b->setMinimumWidth(fontMetrics().horizontalAdvance("DB0XYZ") + 8);
        connect(b, &QToolButton::clicked, this, [this, ch] { emit channelChosen(slotOf(tnc_, ch)); });
        buttons_[ch] = b;
        addWidget(b);
    }
    addSeparator();
    linkState_ = new QLabel;
    linkState_->setMinimumWidth(fontMetrics().horizontalAdvance("inf transfer") + 12);
    addWidget(linkState_);
    relabel();
}

void CNorvaChannelBar::setTncs(const std::vector<std::pair<int, std::string>>& tncs) {
    tncBox_->clear();
    for (const auto& [n, name] : tncs)
        tncBox_->addItem(QString("%1 %2").arg(n).arg(QString::fromStdString(name)), n);
    showTnc(tnc_);
}

void CNorvaChannelBar::showTnc(int tnc) {
    tnc_ = tnc;
    const int index = tncBox_->findData(tnc);
    if (index >= 0)
        tncBox_->setCurrentIndex(index);
    relabel();
}

void CNorvaChannelBar::setLabel(int slot, const QString& label) {
    labels_[slot] = label;
    if ((slot - 1) / 21 + 1 == tnc_)
        relabel();
}

QString CNorvaChannelBar::label(int slot) const {
    const auto it = labels_.find(slot);
    if (it != labels_.end())
        return it->second;
    return (slot - 1) % 21 == 0 ? QString("mon") : QString("disc");
}

void CNorvaChannelBar::setLinkState(const QString& text) { linkState_->setText(text); }

void CNorvaChannelBar::setTncSelectorShown(bool on) { tncAction_->setVisible(on); }

bool CNorvaChannelBar::tncSelectorShown() const { return tncAction_->isVisible(); }

void CNorvaChannelBar::relabel() {
    for (int ch = 0; ch < kButtons; ++ch) {
        buttons_[ch]->setText(label(slotOf(tnc_, ch)));
        buttons_[ch]->setToolTip(QString("Tnc %1 Kanal %2").arg(tnc_).arg(ch));
    }
}

}  // namespace norva
