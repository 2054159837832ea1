// The program-wide settings dialogs: "Allgemeine Einstellungen" (buffer
// sizes, Ratio, DisplayRate, editor and file manager, switches),
// "Verzeichnisse..." (the directory keys of section frame) and
// "Systemklänge..." (a .wav file per sound event).
#pragma once

// std
#include <array>
#include <filesystem>
#include <map>
#include <string>

// Qt
#include <QDialog>

// Norva
#include "app/AppSettings.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;
class QFont;

namespace norva {

class Profile;
class SoundPlayer;

class GeneralSettingsDialog : public QDialog {
    Q_OBJECT
public:
    GeneralSettingsDialog(Profile& profile, FrameSettings& frame, QWidget* parent = nullptr);
    // OK: the values go into the running settings (written at exit);
    // ShowBitmap and the two programs are written at once.
    void apply();

private:
    Profile& profile_;
    FrameSettings& frame_;
    QSpinBox* preCols_ = nullptr;
    QSpinBox* preRows_ = nullptr;
    QSpinBox* ratio_ = nullptr;
    QSpinBox* outCols_ = nullptr;
    QSpinBox* outRows_ = nullptr;
    QSpinBox* displayRate_ = nullptr;
    QLineEdit* editor_ = nullptr;
    QLineEdit* fileManager_ = nullptr;
    QCheckBox* kartex_ = nullptr;
    QCheckBox* threeD_ = nullptr;
    QCheckBox* showBitmap_ = nullptr;
};

class DirectoriesDialog : public QDialog {
    Q_OBJECT
public:
    DirectoriesDialog(Profile& profile, std::filesystem::path programDir, QWidget* parent = nullptr);
    QLineEdit* edit(int index) const { return edits_[static_cast<std::size_t>(index)]; }
    // Writes every changed key; false (and a message) when a directory does
    // not exist, and then nothing is written.
    bool apply();

private:
    Profile& profile_;
    std::filesystem::path programDir_;
    std::array<QLineEdit*, kDirKeyCount> edits_{};
};

class SoundsDialog : public QDialog {
    Q_OBJECT
public:
    SoundsDialog(Profile& profile, std::filesystem::path programDir, FrameSettings& frame,
                 SoundPlayer& player, QWidget* parent = nullptr);
    void apply();

private:
    void showChoice(int row);

    Profile& profile_;
    std::filesystem::path programDir_;
    FrameSettings& frame_;
    SoundPlayer& player_;
    QCheckBox* soundOn_ = nullptr;
    QListWidget* events_ = nullptr;
    QComboBox* file_ = nullptr;
    std::map<std::string, std::string> chosen_;  // event -> file name or "<kein>"
};

// The colours of the eleven classes and ColorMode; written back at exit.
class ColoursDialog : public QDialog {
    Q_OBJECT
public:
    ColoursDialog(AppSettings& settings, QWidget* parent = nullptr);
    void apply();
    void setColour(int colourClass, Rgb colour);

private:
    void showSwatch(int colourClass);

    AppSettings& settings_;
    ColourTable colours_;
    QCheckBox* colorMode_ = nullptr;
    std::array<QPushButton*, ColourTable::kClasses> swatches_{};
};

// The Font section from a font chosen in the font dialog.
void takeFont(FontSettings& settings, const QFont& font);

}  // namespace norva
