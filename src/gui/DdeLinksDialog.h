// DdeLinksDialog: "DDE Verbindungen", where the operator defines the links
// a channel forwards its traffic on (section DdeLinks: name = service topic
// [item]), marks them for automatic connection (the channel's Dde list), and
// opens and closes them on the chosen channel.
#pragma once

// std
#include <string>
#include <vector>

// Qt
#include <QDialog>

class QCheckBox;
class QLineEdit;
class QListWidget;

namespace norva {

class EngineLink;
class Profile;

class DdeLinksDialog : public QDialog {
    Q_OBJECT
public:
    DdeLinksDialog(EngineLink* link, Profile& profile, int tnc, int channel, QWidget* parent = nullptr);

    QListWidget* nameList() const { return names_; }
    QListWidget* activeList() const { return active_; }
    QLineEdit* nameField() const { return name_; }
    QLineEdit* serviceField() const { return service_; }
    QLineEdit* topicField() const { return topic_; }
    QLineEdit* itemField() const { return item_; }
    QLineEdit* typeField() const { return type_; }
    QCheckBox* autoConnect() const { return auto_; }

    void choose(int tnc, int channel);
    void save();
    void remove();
    void connectLink();
    void disconnectLink();

protected:
    // With no link defined at all the operator is told so once the dialog shows.
    void showEvent(QShowEvent* event) override;

private:
    void refresh();
    void nameChosen();
    std::string definition() const;
    std::vector<std::string> autoList() const;
    void writeAutoList(const std::vector<std::string>& names);
    // 0: no channel, 1: closed, 2: open.
    int linkState(const std::string& text) const;
    void message(const char* text);

    EngineLink* link_;
    Profile& profile_;
    int tnc_ = 1;
    int channel_ = 1;
    QListWidget* tncs_;
    QListWidget* channels_;
    QListWidget* names_;
    QListWidget* active_;
    QLineEdit* name_;
    QLineEdit* service_;
    QLineEdit* topic_;
    QLineEdit* item_;
    QLineEdit* type_;
    QCheckBox* auto_;
};

}  // namespace norva
