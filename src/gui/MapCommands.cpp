// MapCommands: the map program's menu entries.
#include "gui/MapCommands.h"

// Qt
#include <QApplication>
#include <QClipboard>
#include <QMessageBox>

// Norva
#include "gui/EngineLink.h"
#include "gui/RouteDialog.h"
#include "map/MapMenu.h"
#include "map/MapProgram.h"

namespace norva {

namespace {

QString qs(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

}  // namespace

void onDesktop(QPointer<QObject> guard, std::function<void()> fn) {
    // Queued to the application object, which lives on the desktop's
    // thread; the guard is looked at there.
    QMetaObject::invokeMethod(
        qApp, [guard, fn = std::move(fn)] {
            if (guard) fn();
        },
        Qt::QueuedConnection);
}

void showMapNotFound(QWidget* parent) {
    QString text = qs(kMapNotFoundText);
    text.replace('\r', '\n');
    QMessageBox::warning(parent, qs(kMapNotFoundCaption), text);
}

MapCommands::MapCommands(EngineLink& link, MapAccess map, Profile& profile, std::filesystem::path programDir,
                         QWidget* parent)
    : QObject(parent), link_(link), map_(std::move(map)), profile_(profile), programDir_(std::move(programDir)),
      parent_(parent) {}

MapCommands::~MapCommands() = default;

void MapCommands::finished(bool found) {
    if (!found) showMapNotFound(parent_);
    emit done(found);
}

void MapCommands::showStation() {
    const std::string text = QApplication::clipboard()->text().toStdString();
    const QPointer<QObject> self(this);
    auto report = [this, self](bool found) { onDesktop(self, [this, found] { finished(found); }); };
    link_.post([map = map_, text, report](CHostMode&) {
        MapProgram* program = map ? map() : nullptr;
        if (!program) return report(false);
        showClipboardStation(*program, text, report);
    });
}

void MapCommands::showCurrentRoute(int slot) {
    const QPointer<QObject> self(this);
    auto report = [this, self](bool found) { onDesktop(self, [this, found] { finished(found); }); };
    EngineLink* link = &link_;
    link_.post([map = map_, slot, report, link](CHostMode&) {
        MapProgram* program = map ? map() : nullptr;
        if (!program) return report(false);
        norva::showCurrentRoute(*program, link->channelOf(slot), report);
    });
}

RouteDialog* MapCommands::routeDialog() const { return static_cast<RouteDialog*>(dialog_.data()); }

void MapCommands::editRoute() {
    if (dialog_) {
        dialog_->showNormal();
        dialog_->raise();
        dialog_->activateWindow();
        return;
    }
    auto* dialog = new RouteDialog(link_, map_, profile_, programDir_, parent_);
    dialog_ = dialog;
    dialog->start();
}

}  // namespace norva
