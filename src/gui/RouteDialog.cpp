// RouteDialog: routes found on the map, shown there and turned into a
// connect script.
#include "gui/RouteDialog.h"

// std
#include <fstream>

// Qt
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

// Norva
#include "gui/EngineLink.h"
#include "gui/TncDialogs.h"
#include "map/MapMenu.h"
#include "map/MapOperations.h"
#include "map/MapProgram.h"
#include "platform/Cp437.h"
#include "platform/FileNames.h"
#include "platform/Profile.h"

namespace norva {

namespace {

QString qs(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

constexpr int kCallLimit = 80;
constexpr int kLookMs = 1000;

// "neue Route" over an existing script: extend it, start anew, or cancel.
enum class ScriptChoice { Extend, Restart, Cancel };

ScriptChoice askScriptChoice(QWidget* parent) {
    QDialog box(parent);
    box.setWindowTitle("Norva");
    auto* layout = new QVBoxLayout(&box);
    layout->addWidget(new QLabel("Achtung!\nEs besteht bereits ein Script. m\xC3\xB6" "chten Sie jetzt ein", &box));
    auto* extend = new QRadioButton("bestehendes Script erweitern", &box);
    auto* restart = new QRadioButton("neues Script beginnen", &box);
    extend->setChecked(true);
    layout->addWidget(extend);
    layout->addWidget(restart);
    auto* buttons = new QDialogButtonBox(&box);
    buttons->addButton("Ok", QDialogButtonBox::AcceptRole);
    buttons->addButton("abbrechen", QDialogButtonBox::RejectRole);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &box, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &box, &QDialog::reject);
    layout->addWidget(buttons);
    if (box.exec() != QDialog::Accepted) return ScriptChoice::Cancel;
    return restart->isChecked() ? ScriptChoice::Restart : ScriptChoice::Extend;
}

}  // namespace

// The route dialog's conversation, made and used on the engine thread.
struct RouteDialog::Holder {
    std::unique_ptr<RouteSession> session;
};

RouteDialog::RouteDialog(EngineLink& link, MapAccess map, Profile& profile, std::filesystem::path programDir,
                         QWidget* parent)
    : QDialog(parent), link_(link), map_(std::move(map)), profile_(profile), programDir_(std::move(programDir)),
      holder_(std::make_shared<Holder>()) {
    setObjectName("RouteDialog");
    setWindowTitle("Norva <-> Kartex Routen finden und anzeigen");
    setModal(false);
    setAttribute(Qt::WA_DeleteOnClose);
    buildControls();
    timer_.setInterval(kLookMs);
    connect(&timer_, &QTimer::timeout, this, &RouteDialog::look);
}

RouteDialog::~RouteDialog() {
    if (!isMinimized()) {
        profile_.writeInt("KartexRouter", "left", x());
        profile_.writeInt("KartexRouter", "top", y());
    }
    // The conversation ends on the engine thread, where it lives.
    link_.post([holder = std::move(holder_)](CHostMode&) {
        if (holder->session) holder->session->close();
        holder->session.reset();
    });
}

void RouteDialog::buildControls() {
    auto* grid = new QGridLayout(this);
    start_ = new QLineEdit(this);
    destination_ = new QLineEdit(this);
    start_->setMaxLength(kCallLimit);
    destination_->setMaxLength(kCallLimit);
    startSearch_ = new QRadioButton("Start Call suchen", this);
    destinationSearch_ = new QRadioButton("Ziel Call suchen", this);
    auto* group = new QButtonGroup(this);
    group->addButton(startSearch_);
    group->addButton(destinationSearch_);
    route_ = new QLineEdit(this);
    route_->setReadOnly(true);
    script_ = new QPlainTextEdit(this);
    createScript_ = new QCheckBox("Script erzeugen", this);
    grid->addWidget(start_, 0, 0);
    grid->addWidget(startSearch_, 0, 1);
    grid->addWidget(destination_, 1, 0);
    grid->addWidget(destinationSearch_, 1, 1);
    grid->addWidget(route_, 2, 0, 1, 2);
    grid->addWidget(script_, 3, 0, 1, 2);
    grid->addWidget(createScript_, 4, 0, 1, 2);
    auto* row = new QHBoxLayout;
    const std::pair<const char*, void (RouteDialog::*)()> buttons[] = {
        {"Ende", nullptr}, {"neue Route", &RouteDialog::newRoute}, {"Route anzeigen", &RouteDialog::showRoute},
        {"Hilfe", &RouteDialog::help}};
    for (const auto& [text, slot] : buttons) {
        auto* b = new QPushButton(text, this);
        if (slot)
            connect(b, &QPushButton::clicked, this, slot);
        else
            connect(b, &QPushButton::clicked, this, [this] { finish(); });
        row->addWidget(b);
    }
    grid->addLayout(row, 5, 0, 1, 2);
    connect(startSearch_, &QRadioButton::clicked, this, [this] { searchTarget_ = 1; });
    connect(destinationSearch_, &QRadioButton::clicked, this, [this] { searchTarget_ = 2; });
}

void RouteDialog::start() {
    move(profile_.getInt("KartexRouter", "left", x()), profile_.getInt("KartexRouter", "top", y()));
    searchActive_ = false;
    route_->clear();
    const QPointer<QObject> self(this);
    auto reached = [this, self](bool found) {
        onDesktop(self, [this, found] {
            if (!found) {
                showMapNotFound(parentWidget());
                // Never shown: nothing to save, the dialog just goes.
                closing_ = true;
                deleteLater();
                return;
            }
            createScript_->setChecked(profile_.getInt("frame", "CreateRouteScript", 0) != 0);
            timer_.start();
            show();
            newRoute();
        });
    };
    link_.post([map = map_, holder = holder_, reached](CHostMode&) {
        MapProgram* program = map ? map() : nullptr;
        if (!program) return reached(false);
        holder->session = std::make_unique<RouteSession>(*program);
        holder->session->open(reached);
    });
}

QString RouteDialog::scriptText() const { return script_->toPlainText(); }

void RouteDialog::look() {
    if (!searchActive_) return;
    const QPointer<QObject> self(this);
    auto answered = [this, self](std::string station) {
        onDesktop(self, [this, station] {
            QLineEdit* field = searchTarget_ == 1 ? start_ : destination_;
            const QString value = qs(station).left(kCallLimit);
            if (searchActive_ && field->text() != value) field->setText(value);
        });
    };
    link_.post([holder = holder_, answered](CHostMode&) {
        if (holder->session) holder->session->lookStation(answered);
    });
}

void RouteDialog::newRoute() {
    if (!script_->toPlainText().isEmpty() && createScript_->isChecked()) {
        switch (askScriptChoice(this)) {
        case ScriptChoice::Cancel: return;
        case ScriptChoice::Restart:
            if (QMessageBox::question(this, "Norva", "Script speichern ?", QMessageBox::Yes | QMessageBox::No) ==
                QMessageBox::Yes)
                save();
            script_->clear();
            break;
        case ScriptChoice::Extend: break;
        }
    }
    searchActive_ = true;
    searchTarget_ = 1;
    startSearch_->setChecked(true);
    destinationSearch_->setChecked(false);
    start_->clear();
    destination_->clear();
    route_->clear();
}

void RouteDialog::showRoute() {
    searchActive_ = false;
    const QString from = start_->text();
    const QString to = destination_->text();
    const QPointer<QObject> self(this);
    auto shown = [this, self, from, to](std::string route) {
        onDesktop(self, [this, from, to, route] { routeShown(from, to, qs(route)); });
    };
    link_.post([holder = holder_, from = from.toStdString(), to = to.toStdString(), shown](CHostMode&) {
        if (!holder->session) return shown(std::string(kRouteNoMap));
        holder->session->showRoute(from, to, shown);
    });
}

void RouteDialog::routeShown(const QString&, const QString&, const QString& route) {
    route_->setText(route);
    if (route.toUpper().contains("FEHLER") || !createScript_->isChecked()) return;
    // The script box holds CR LF line ends, as the saved file does.
    const std::string script = script_->toPlainText().replace("\n", "\r\n").toStdString();
    script_->setPlainText(qs(appendRouteToScript(script, route.toStdString())).replace("\r\n", "\n"));
}

bool RouteDialog::save() {
    const QString name = destination_->text().isEmpty() ? "route" : destination_->text();
    const std::filesystem::path dir = frameDirectory(profile_, "ScriptDir", programDir_);
    const QString path = chooser_(this, {FileRequest::Mode::Save, "Save Script File", qs(dir.string()), name, "scr",
                                         "All Files (*.scr)"});
    if (path.isEmpty()) return false;
    const std::string text = utf8ToOem(script_->toPlainText().replace("\n", "\r\n").toStdString());
    std::ofstream out(std::filesystem::path(path.toStdString()), std::ios::binary | std::ios::trunc);
    out << text;
    return static_cast<bool>(out.flush());
}

bool RouteDialog::finish() {
    profile_.writeInt("frame", "CreateRouteScript", createScript_->isChecked() ? 1 : 0);
    if (!script_->toPlainText().isEmpty() && createScript_->isChecked() && !save()) return false;
    timer_.stop();
    closing_ = true;
    close();
    return true;
}

void RouteDialog::help() {
    std::string dir = profile_.getString("frame", "HelpDir", "");
    const std::filesystem::path help = dir.empty() ? programDir_ / "kartex.txt" : std::filesystem::path(dir) / "kartex.txt";
    openInEditor(this, help);
}

void RouteDialog::closeEvent(QCloseEvent* event) {
    // The window's close box acts as "Ende".
    if (!closing_ && !finish()) {
        event->ignore();
        return;
    }
    event->accept();
}

}  // namespace norva
