// SoundPlayer: the sound events. With the Frame key Sound off only a plain
// beep is given, where the caller asks for one; otherwise the event's .wav
// file (section SoundEvent, in SoundDir) plays asynchronously. A missing file
// or audio device is no error: nothing is heard.
#pragma once

// std
#include <filesystem>
#include <map>
#include <memory>
#include <string_view>

// Qt
#include <QObject>

namespace norva {

class Profile;

class SoundPlayer : public QObject {
    Q_OBJECT
public:
    SoundPlayer(const Profile& profile, std::filesystem::path programDir, QObject* parent = nullptr);
    ~SoundPlayer() override;

    void setSoundOn(bool on) { soundOn_ = on; }
    bool soundOn() const { return soundOn_; }

    // Plays an event by its name; returns true when a file was started.
    bool play(std::string_view event, bool beepWhenOff);
    // Plays a file directly (the sounds dialog's test button).
    bool playFile(const std::filesystem::path& file);

private:
    const Profile& profile_;
    std::filesystem::path programDir_;
    bool soundOn_ = false;
    std::map<std::filesystem::path, QObject*> effects_;
};

}  // namespace norva
