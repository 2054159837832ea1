// The program-wide settings dialogs (see SettingsDialogs.h).
#include "gui/SettingsDialogs.h"

// Qt
#include <QCheckBox>
#include <QColorDialog>
#include <QFontInfo>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

// Norva
#include "gui/SoundPlayer.h"
#include "platform/Profile.h"
#include "platform/ProgramDir.h"
#include "platform/Text.h"

namespace norva {

namespace {

QSpinBox* spin(int lo, int hi, int value) {
    auto* s = new QSpinBox;
    s->setRange(lo, hi);
    s->setValue(value);
    return s;
}

QDialogButtonBox* okCancel(QDialog* dialog, const std::function<bool()>& onOk) {
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Cancel)->setText("Abbrechen");
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, [dialog, onOk] {
        if (onOk())
            dialog->accept();
    });
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

QString q(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

// ------------------------------------------------------------ Allgemein

GeneralSettingsDialog::GeneralSettingsDialog(Profile& profile, FrameSettings& frame, QWidget* parent)
    : QDialog(parent), profile_(profile), frame_(frame) {
    setWindowTitle("Allgemeine Einstellungen");
    preCols_ = spin(1, 1000, frame.preCols);
    preRows_ = spin(1, 10000, frame.preRows);
    ratio_ = spin(10, 100, frame.ratio);
    outCols_ = spin(1, 1000, frame.outCols);
    outRows_ = spin(1, 10000, frame.outRows);
    displayRate_ = spin(1, 60000, frame.displayRate);
    editor_ = new QLineEdit(q(registryValue(std::string(kEditorValue))));
    editor_->setPlaceholderText("xdg-open");
    fileManager_ = new QLineEdit(q(registryValue(std::string(kFileManagerValue))));
    fileManager_->setPlaceholderText("xdg-open");
    kartex_ = new QCheckBox("Kartex benutzen");
    kartex_->setChecked(frame.kartexDde != 0);
    threeD_ = new QCheckBox("3D Dialoge");
    threeD_->setChecked(frame.threeD != 0);
    showBitmap_ = new QCheckBox("Startup Bitmap zeigen");
    showBitmap_->setChecked(frame.showBitmap != 0);

    auto* pre = new QGroupBox("Vorschreiben:");
    auto* preForm = new QFormLayout(pre);
    preForm->addRow("Spalte:", preCols_);
    preForm->addRow("Zeile:", preRows_);
    preForm->addRow("Ratio:", ratio_);
    auto* out = new QGroupBox("Ausgabe:");
    auto* outForm = new QFormLayout(out);
    outForm->addRow("Spalte:", outCols_);
    outForm->addRow("Zeile:", outRows_);
    outForm->addRow("Anzeige:", displayRate_);
    auto* programs = new QGroupBox("Programme:");
    auto* progForm = new QFormLayout(programs);
    progForm->addRow("Text Editor:", editor_);
    progForm->addRow("Datei Manager", fileManager_);

    auto* groups = new QHBoxLayout;
    groups->addWidget(pre);
    groups->addWidget(out);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(groups);
    layout->addWidget(programs);
    layout->addWidget(kartex_);
    layout->addWidget(threeD_);
    layout->addWidget(showBitmap_);
    layout->addWidget(new QLabel("Neue Puffergrößen gelten für danach geöffnete Fenster."));
    layout->addWidget(okCancel(this, [this] {
        apply();
        return true;
    }));
}

void GeneralSettingsDialog::apply() {
    frame_.preCols = preCols_->value();
    frame_.preRows = preRows_->value();
    frame_.ratio = ratio_->value();
    frame_.outCols = outCols_->value();
    frame_.outRows = outRows_->value();
    frame_.displayRate = displayRate_->value();
    frame_.kartexDde = kartex_->isChecked() ? 1 : 0;
    frame_.threeD = threeD_->isChecked() ? 1 : 0;
    frame_.showBitmap = showBitmap_->isChecked() ? 1 : 0;
    profile_.writeInt("Frame", "ShowBitmap", frame_.showBitmap);
    setRegistryValue(std::string(kEditorValue), editor_->text().trimmed().toStdString());
    setRegistryValue(std::string(kFileManagerValue), fileManager_->text().trimmed().toStdString());
}

// ------------------------------------------------------------ Verzeichnisse

DirectoriesDialog::DirectoriesDialog(Profile& profile, std::filesystem::path programDir,
                                     QWidget* parent)
    : QDialog(parent), profile_(profile), programDir_(std::move(programDir)) {
    setWindowTitle("Verzeichnisse");
    auto* grid = new QGridLayout;
    for (int i = 0; i < kDirKeyCount; ++i) {
        const std::string key(dirKeyNameByIndex(i));
        auto* edit = new QLineEdit(q(profile.getString("frame", key)));
        edit->setPlaceholderText(q(programDir_.string()));
        edit->setMinimumWidth(320);
        auto* browse = new QPushButton("...");
        browse->setFixedWidth(32);
        connect(browse, &QPushButton::clicked, this, [this, edit] {
            const QString start = edit->text().isEmpty() ? q(programDir_.string()) : edit->text();
            const QString dir = QFileDialog::getExistingDirectory(this, "Verzeichnis wählen", start);
            if (!dir.isEmpty())
                edit->setText(dir);
        });
        grid->addWidget(new QLabel(q(key)), i, 0);
        grid->addWidget(edit, i, 1);
        grid->addWidget(browse, i, 2);
        edits_[static_cast<std::size_t>(i)] = edit;
    }
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel("Leer: das Programmverzeichnis"));
    layout->addLayout(grid);
    layout->addWidget(okCancel(this, [this] { return apply(); }));
}

bool DirectoriesDialog::apply() {
    QStringList missing;
    for (int i = 0; i < kDirKeyCount; ++i) {
        const QString value = edits_[static_cast<std::size_t>(i)]->text().trimmed();
        std::error_code ec;
        if (!value.isEmpty() && !std::filesystem::is_directory(value.toStdString(), ec))
            missing << q(std::string(dirKeyNameByIndex(i))) + ": " + value;
    }
    if (!missing.isEmpty()) {
        QMessageBox::warning(this, "Norva",
                             "Diese Verzeichnisse existieren nicht:\n" + missing.join('\n'));
        return false;
    }
    bool ok = true;
    for (int i = 0; i < kDirKeyCount; ++i) {
        const std::string key(dirKeyNameByIndex(i));
        const std::string value = edits_[static_cast<std::size_t>(i)]->text().trimmed().toStdString();
        if (profile_.getString("frame", key) != value)
            ok = profile_.writeString("frame", key, value) && ok;
    }
    if (!ok)
        QMessageBox::warning(this, "Norva",
                             "Die Verzeichnisse können nicht gespeichert werden: " +
                                 q(profile_.path().string()));
    return true;
}

// ------------------------------------------------------------ Systemklänge

SoundsDialog::SoundsDialog(Profile& profile, std::filesystem::path programDir, FrameSettings& frame,
                           SoundPlayer& player, QWidget* parent)
    : QDialog(parent), profile_(profile), programDir_(std::move(programDir)), frame_(frame),
      player_(player) {
    setWindowTitle("Systemklänge");
    soundOn_ = new QCheckBox("Klänge abspielen");
    soundOn_->setChecked(frame.sound != 0);
    events_ = new QListWidget;
    for (std::string_view event : soundEventNames()) {
        const std::string name(event);
        events_->addItem(q(name));
        std::string value(trim(profile.getString("SoundEvent", name)));
        chosen_[name] = value.empty() ? std::string(kNoSound) : value;
    }
    file_ = new QComboBox;
    file_->addItem(q(std::string(kNoSound)));
    const QDir soundDir(q(directoryOf(profile, programDir_, DirKey::Sound, false)));
    file_->addItems(soundDir.entryList({"*.wav", "*.WAV"}, QDir::Files, QDir::Name));
    auto* play = new QPushButton("Abspielen");

    connect(events_, &QListWidget::currentRowChanged, this, &SoundsDialog::showChoice);
    connect(file_, &QComboBox::activated, this, [this](int) {
        if (QListWidgetItem* item = events_->currentItem())
            chosen_[item->text().toStdString()] = file_->currentText().toStdString();
    });
    connect(play, &QPushButton::clicked, this, [this, soundDir] {
        const QString name = file_->currentText();
        if (name.compare(q(std::string(kNoSound)), Qt::CaseInsensitive) != 0)
            player_.playFile(soundDir.filePath(name).toStdString());
    });

    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel("Klang:"));
    row->addWidget(file_, 1);
    row->addWidget(play);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(soundOn_);
    layout->addWidget(new QLabel("Ereignisse:"));
    layout->addWidget(events_, 1);
    layout->addLayout(row);
    layout->addWidget(okCancel(this, [this] {
        apply();
        return true;
    }));
    events_->setCurrentRow(0);
}

void SoundsDialog::showChoice(int row) {
    if (row < 0)
        return;
    const std::string& value = chosen_[events_->item(row)->text().toStdString()];
    const int index = file_->findText(q(value), Qt::MatchFixedString);
    if (index >= 0) {
        file_->setCurrentIndex(index);
    } else {
        file_->addItem(q(value));
        file_->setCurrentIndex(file_->count() - 1);
    }
}

void SoundsDialog::apply() {
    frame_.sound = soundOn_->isChecked() ? 1 : 0;
    for (const auto& [event, file] : chosen_)
        if (profile_.getString("SoundEvent", event) != file)
            profile_.writeString("SoundEvent", event, file);
}

// ------------------------------------------------------------ Farben

ColoursDialog::ColoursDialog(AppSettings& settings, QWidget* parent)
    : QDialog(parent), settings_(settings), colours_(settings.colours) {
    setWindowTitle("Farben");
    colorMode_ = new QCheckBox("Farbdarstellung (ColorMode)");
    colorMode_->setChecked(settings.colorMode != 0);
    auto* grid = new QGridLayout;
    for (int c = 0; c < ColourTable::kClasses; ++c) {
        auto* swatch = new QPushButton;
        swatch->setObjectName(q(std::string(ColourTable::keyOf(c))));
        swatch->setFixedWidth(120);
        connect(swatch, &QPushButton::clicked, this, [this, c] {
            const Rgb now = colours_.colour(c);
            const QColor chosen = QColorDialog::getColor(QColor(now.red, now.green, now.blue), this,
                                                         q(std::string(ColourTable::keyOf(c))));
            if (chosen.isValid())
                setColour(c, Rgb{static_cast<std::uint8_t>(chosen.red()),
                                 static_cast<std::uint8_t>(chosen.green()),
                                 static_cast<std::uint8_t>(chosen.blue())});
        });
        swatches_[static_cast<std::size_t>(c)] = swatch;
        grid->addWidget(new QLabel(QString("%1  %2").arg(c).arg(q(std::string(ColourTable::keyOf(c))))), c, 0);
        grid->addWidget(swatch, c, 1);
        showSwatch(c);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(colorMode_);
    layout->addLayout(grid);
    layout->addWidget(okCancel(this, [this] {
        apply();
        return true;
    }));
}

void ColoursDialog::setColour(int colourClass, Rgb colour) {
    colours_.setColour(colourClass, colour);
    showSwatch(colourClass);
}

void ColoursDialog::showSwatch(int c) {
    const Rgb rgb = colours_.colour(c);
    QPushButton* swatch = swatches_[static_cast<std::size_t>(c)];
    swatch->setText(q(formatRgb(rgb)));
    const QColor colour(rgb.red, rgb.green, rgb.blue);
    const QColor text = colour.lightness() > 128 ? Qt::black : Qt::white;
    swatch->setStyleSheet(QString("background-color: %1; color: %2").arg(colour.name(), text.name()));
}

void ColoursDialog::apply() {
    settings_.colours = colours_;
    settings_.colorMode = colorMode_->isChecked() ? 1 : 0;
}

void takeFont(FontSettings& s, const QFont& font) {
    s.faceName = font.family().left(31).toStdString();
    // A negative height is the character height in pixels, as Windows keeps it.
    s.height = -QFontInfo(font).pixelSize();
    s.width = 0;
    s.weight = font.weight();
    s.italic = font.italic() ? 1 : 0;
    s.underline = font.underline() ? 1 : 0;
    s.strikeOut = font.strikeOut() ? 1 : 0;
}

}  // namespace norva
