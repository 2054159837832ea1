// The dialogs around the station window: "Station wählen" (the station
// directory as a list), "Connect Script erstellen" (a connect script from a
// station's back-links) and "Einstiegsknoten auswählen" (a channel's entry
// nodes).
#pragma once

// std
#include <string>

// Qt
#include <QDialog>

// Norva
#include "station/EntryNodes.h"
#include "station/StationPaths.h"

class QLineEdit;
class QListWidget;
class QSpinBox;

namespace norva {

class StationCommands;

class StationListDialog : public QDialog {
    Q_OBJECT
public:
    StationListDialog(StationPaths paths, QWidget* parent = nullptr);

    // The name chosen (without extension); empty until OK or a double click.
    const std::string& chosen() const { return chosen_; }
    QListWidget* list() const { return list_; }
    // "Löschen": asks, deletes the selected station file, lists again.
    void deleteSelected();

private:
    void refresh();
    void choose();

    StationPaths paths_;
    QListWidget* list_;
    std::string chosen_;
};

class ConnectScriptDialog : public QDialog {
    Q_OBJECT
public:
    ConnectScriptDialog(StationCommands& commands, const std::string& destination, QWidget* parent = nullptr);

    QLineEdit* destination() const { return destination_; }
    QSpinBox* maxNodes() const { return maxNodes_; }
    // "&Create": asks for the file and writes the script; false when nothing was written.
    bool create();

    void done(int result) override;

private:
    StationCommands& commands_;
    QLineEdit* destination_;
    QSpinBox* maxNodes_;
};

class EntryNodeDialog : public QDialog {
    Q_OBJECT
public:
    EntryNodeDialog(NodeChoice choice, QWidget* parent = nullptr);

    QListWidget* list() const { return list_; }
    // The list and node as OK leaves them.
    const NodeChoice& choice() const { return choice_; }
    // "Löschen": the selected entry goes.
    void removeSelected();

    void accept() override;

private:
    void refresh();

    NodeChoice choice_;
    QListWidget* list_;
};

}  // namespace norva
