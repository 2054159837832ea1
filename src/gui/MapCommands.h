// MapCommands: the map program's menu entries ("Station zeigen",
// "aktuelle Route anzeigen", "neue Route bearbeiten"). The work runs on the
// engine thread, which owns the bus; the answer comes back to the desktop,
// which shows "Kartex nicht gefunden" when there was no map. At most one
// route dialog exists.
#pragma once

// std
#include <filesystem>
#include <functional>

// Qt
#include <QDialog>
#include <QObject>
#include <QPointer>
#include <QString>

class QWidget;

namespace norva {

class EngineLink;
class MapProgram;
class Profile;
class RouteDialog;

// How the engine thread finds the map program (null: none).
using MapAccess = std::function<MapProgram*()>;

// Runs fn on the desktop's thread, unless the guarded object is gone by
// then. The guard is made on the desktop's thread and copied to the engine.
void onDesktop(QPointer<QObject> guard, std::function<void()> fn);
// The message box of a map that was not found.
void showMapNotFound(QWidget* parent);

class MapCommands : public QObject {
    Q_OBJECT
public:
    MapCommands(EngineLink& link, MapAccess map, Profile& profile, std::filesystem::path programDir,
                QWidget* parent);
    ~MapCommands() override;

    // "Station zeigen": the clipboard's callsign.
    void showStation();
    // "aktuelle Route anzeigen": the route of the channel in the slot (TopLink).
    void showCurrentRoute(int slot);
    // "neue Route bearbeiten": opens the dialog, or brings the open one to the front.
    void editRoute();
    RouteDialog* routeDialog() const;

signals:
    // A command ended; found: the map was there.
    void done(bool found);

private:
    void finished(bool found);

    EngineLink& link_;
    MapAccess map_;
    Profile& profile_;
    std::filesystem::path programDir_;
    QWidget* parent_;
    QPointer<QDialog> dialog_;  // the RouteDialog while it is open
};

}  // namespace norva
