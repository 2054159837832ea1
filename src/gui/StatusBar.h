// CNorvaStatusBar: the channel status bar of the active channel: TNC/channel,
// entry node with its "V" button, link state, link counters, free buffers,
// frequency, clock and date. The engine sends each field when its text changed.
#pragma once

// std
#include <array>

// Qt
#include <QToolBar>

// Norva
#include "platform/UiPort.h"

class QLabel;
class QToolButton;

namespace norva {

class CNorvaStatusBar : public QToolBar {
    Q_OBJECT
public:
    explicit CNorvaStatusBar(QWidget* parent = nullptr);

    void setField(StatusField field, const QString& text);
    QString field(StatusField field) const;
    // The "V" button: "Einstiegsknoten auswählen" for the active channel.
    QToolButton* nodeButton() const { return nodeButton_; }

private:
    static constexpr int kFields = 8;
    std::array<QLabel*, kFields> labels_{};
    QToolButton* nodeButton_ = nullptr;
};

}  // namespace norva
