// RouteDialog: "Norva <-> Kartex Routen finden und anzeigen", the modeless
// dialog that asks the map for a route between two stations, shows it on
// the map and collects the routes into a connect script. While a search is
// active it looks once a second at the station selected on the map and
// fills the chosen call field with it. The conversation with the map lives
// on the engine thread for as long as the dialog is open.
#pragma once

// std
#include <filesystem>
#include <memory>

// Qt
#include <QDialog>
#include <QTimer>

// Norva
#include "gui/MapCommands.h"
#include "gui/TransferCommands.h"

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QRadioButton;

namespace norva {

class EngineLink;
class Profile;
class RouteSession;

class RouteDialog : public QDialog {
    Q_OBJECT
public:
    RouteDialog(EngineLink& link, MapAccess map, Profile& profile, std::filesystem::path programDir,
                QWidget* parent);
    ~RouteDialog() override;

    // Places the dialog, reaches the map and shows the dialog; without a
    // map the message box is shown and the dialog closes.
    void start();
    void setFileChooser(FileChooser chooser) { chooser_ = std::move(chooser); }
    QString scriptText() const;

    // The buttons.
    void newRoute();
    void showRoute();
    // "Ende": false when the script's save was cancelled and the dialog stays.
    bool finish();
    void help();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    struct Holder;
    void look();
    void routeShown(const QString& start, const QString& destination, const QString& route);
    // Saves the script; false when cancelled or not written.
    bool save();
    void buildControls();

    EngineLink& link_;
    MapAccess map_;
    Profile& profile_;
    std::filesystem::path programDir_;
    FileChooser chooser_ = chooseFileWithDialog;
    std::shared_ptr<Holder> holder_;  // touched on the engine thread only
    QTimer timer_;
    bool searchActive_ = false;
    int searchTarget_ = 1;
    bool closing_ = false;
    QLineEdit* start_ = nullptr;
    QLineEdit* destination_ = nullptr;
    QRadioButton* startSearch_ = nullptr;
    QRadioButton* destinationSearch_ = nullptr;
    QLineEdit* route_ = nullptr;
    QPlainTextEdit* script_ = nullptr;
    QCheckBox* createScript_ = nullptr;
};

}  // namespace norva
