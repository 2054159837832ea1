// FindDialog: the find dialog of the output pane. It searches downwards only,
// without case or whole-word options, preset with the Frame key Search.
#pragma once

// Qt
#include <QDialog>

class QLineEdit;
class QPushButton;

namespace norva {

class FindDialog : public QDialog {
    Q_OBJECT
public:
    FindDialog(const QString& preset, QWidget* parent = nullptr);
    QLineEdit* edit() const { return edit_; }
    QPushButton* findButton() const { return find_; }

signals:
    void findNext(const QString& needle);

private:
    QLineEdit* edit_ = nullptr;
    QPushButton* find_ = nullptr;
};

}  // namespace norva
