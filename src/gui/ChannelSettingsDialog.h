// "Kanal Einstellungen": the switches of one channel (section Link<slot>),
// chosen by a TNC list and a channel list, preset to the active window's
// channel. The values are read from and copied back into the channel object
// on the engine thread; the window options of the two panes go to the open
// window (or, without one, to the Link section).
#pragma once

// std
#include <optional>

// Qt
#include <QDialog>

// Norva
#include "app/AppSettings.h"
#include "channel/ChannelSettings.h"

class QCheckBox;
class QComboBox;

namespace norva {

class CMainFrame;

class ChannelSettingsDialog : public QDialog {
    Q_OBJECT
public:
    ChannelSettingsDialog(CMainFrame& frame, int slot, QWidget* parent = nullptr);

    int slot() const { return slot_; }
    // Shows the settings of a slot (its channel must exist to be edited).
    void choose(int slot);
    // Copies the shown values into the channel ("Ende"); with `write` they
    // are also written to the Link section at once ("Sichern").
    void apply(bool write);

    QCheckBox* check(const char* name) const;
    QComboBox* reviewTime() const { return review_; }

private:
    void fillChannels(int tnc);
    void showValues(const ChannelSettings& s, const PaneSettings& p);
    void setEditable(bool on);

    CMainFrame& frame_;
    int slot_;
    std::optional<ChannelSettings> loaded_;
    QComboBox* tncs_ = nullptr;
    QComboBox* channels_ = nullptr;
    QComboBox* review_ = nullptr;
};

}  // namespace norva
