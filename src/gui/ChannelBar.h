// CNorvaChannelBar: a TNC selector, the "mon" button of channel 0 and ten
// buttons for channels 1 to 10 of the chosen TNC, each labelled with the
// channel's partner ("disc" without one), and the link state of the channel
// shown. A button opens or activates its channel's window.
#pragma once

// std
#include <array>
#include <map>
#include <string>
#include <utility>
#include <vector>

// Qt
#include <QToolBar>

class QComboBox;
class QLabel;
class QToolButton;

namespace norva {

class CNorvaChannelBar : public QToolBar {
    Q_OBJECT
public:
    static constexpr int kButtons = 11;  // mon + channels 1..10

    explicit CNorvaChannelBar(QWidget* parent = nullptr);

    // The TNCs to choose from: number and name.
    void setTncs(const std::vector<std::pair<int, std::string>>& tncs);
    int shownTnc() const { return tnc_; }
    void showTnc(int tnc);
    void setLabel(int slot, const QString& label);
    QString label(int slot) const;
    void setLinkState(const QString& text);
    void setTncSelectorShown(bool on);
    bool tncSelectorShown() const;
    QToolButton* button(int channel) const { return buttons_[channel]; }

signals:
    void channelChosen(int slot);

private:
    void relabel();

    QComboBox* tncBox_ = nullptr;
    QAction* tncAction_ = nullptr;
    std::array<QToolButton*, kButtons> buttons_{};
    QLabel* linkState_ = nullptr;
    std::map<int, QString> labels_;  // by slot
    int tnc_ = 1;
};

}  // namespace norva
