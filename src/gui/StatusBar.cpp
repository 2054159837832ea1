// CNorvaStatusBar: labels for the fields of the active channel.
#include "gui/StatusBar.h"

// Qt
#include <QFrame>
#include <QLabel>
#include <QToolButton>

namespace norva {

namespace {

QLabel* fieldLabel(int minimumChars, const QFontMetrics& fm) {
    auto* label = new QLabel;
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setMinimumWidth(fm.horizontalAdvance(QLatin1Char('0')) * minimumChars + 8);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

}  // namespace

CNorvaStatusBar::CNorvaStatusBar(QWidget* parent) : QToolBar(parent) {
    setObjectName("ChannelStatus");
    setWindowTitle("Kanalstatus");
    setMovable(false);
    const QFontMetrics fm(font());
    const std::array<int, kFields> widths = {5, 10, 12, 10, 4, 8, 5, 8};
    for (int i = 0; i < kFields; ++i)
        labels_[i] = fieldLabel(widths[i], fm);
    using F = StatusField;
    auto at = [this](F f) { return labels_[static_cast<int>(f)]; };
    addWidget(at(F::TncChannel));
    addWidget(at(F::DefaultNode));
    nodeButton_ = new QToolButton;
    nodeButton_->setText("V");
    nodeButton_->setObjectName("nodeButton");
    nodeButton_->setToolTip("Einstiegsknoten auswählen");
    addWidget(nodeButton_);
    addWidget(at(F::LinkState));
    addWidget(at(F::Counters));
    addWidget(new QLabel(" Buf "));
    addWidget(at(F::Buffers));
    addWidget(new QLabel(" Freq.: "));
    addWidget(at(F::Qrg));
    auto* spacer = new QWidget;
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    addWidget(spacer);
    addWidget(at(F::Clock));
    addWidget(at(F::Date));
}

void CNorvaStatusBar::setField(StatusField field, const QString& text) {
    QLabel* label = labels_[static_cast<int>(field)];
    if (label->text() != text)
        label->setText(text);
}

QString CNorvaStatusBar::field(StatusField field) const {
    return labels_[static_cast<int>(field)]->text();
}

}  // namespace norva
