// FindDialog: one line and "Weitersuchen".
#include "gui/FindDialog.h"

// Qt
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace norva {

FindDialog::FindDialog(const QString& preset, QWidget* parent) : QDialog(parent) {
    setWindowTitle("Suchen");
    setModal(false);
    edit_ = new QLineEdit(preset);
    edit_->setMaxLength(80);
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel("Suchen &nach:"));
    row->addWidget(edit_, 1);
    auto* buttons = new QDialogButtonBox;
    find_ = buttons->addButton("&Weitersuchen", QDialogButtonBox::AcceptRole);
    find_->setDefault(true);
    buttons->addButton("Abbrechen", QDialogButtonBox::RejectRole);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);
    connect(find_, &QPushButton::clicked, this, [this] {
        if (!edit_->text().isEmpty())
            emit findNext(edit_->text());
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::hide);
}

}  // namespace norva
