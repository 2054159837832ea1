// SoundPlayer: sound events through Qt Multimedia when it is there.
#include "gui/SoundPlayer.h"

// Qt
#include <QApplication>
#include <QUrl>
#ifdef NORVA_HAVE_MULTIMEDIA
#include <QSoundEffect>
#endif

// Norva
#include "app/AppSettings.h"
#include "platform/Profile.h"

namespace norva {

SoundPlayer::SoundPlayer(const Profile& profile, std::filesystem::path programDir, QObject* parent)
    : QObject(parent), profile_(profile), programDir_(std::move(programDir)) {}

SoundPlayer::~SoundPlayer() = default;

bool SoundPlayer::play(std::string_view event, bool beepWhenOff) {
    if (!soundOn_) {
        if (beepWhenOff)
            QApplication::beep();
        return false;
    }
    const auto file = soundFileFor(profile_, programDir_, event);
    return file && playFile(*file);
}

bool SoundPlayer::playFile(const std::filesystem::path& file) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec))
        return false;
#ifdef NORVA_HAVE_MULTIMEDIA
    auto it = effects_.find(file);
    if (it == effects_.end()) {
        auto* effect = new QSoundEffect(this);
        effect->setSource(QUrl::fromLocalFile(QString::fromStdString(file.string())));
        it = effects_.emplace(file, effect).first;
    }
    static_cast<QSoundEffect*>(it->second)->play();
    return true;
#else
    QApplication::beep();
    return false;
#endif
}

}  // namespace norva
