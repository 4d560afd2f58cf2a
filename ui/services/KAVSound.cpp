#include "ui/services/KAVSound.h"

#include "platform/Audio.h"
#include "platform/Bundle.h"
#include "platform/ui/Bundle.h"

KAVSound::KAVSound(const std::optional<std::string>& songName) {
    const auto path =
        platform::bundle::resourcePathIn(platform::ui::NSBundle::mainBundle().bundlePath(),
                                         songName.value_or("shake"), "wav", "Sounds");
    if (!path) return;
    player_ = platform::audio::Player::open(*path);
    if (!player_) return;
    player_->setVolume(kVolume);
    // When the output is taken away the sound stops; the end of playing needs
    // nothing.
    std::weak_ptr<platform::audio::Player> weak = player_;
    player_->setInterruptionHandler([weak] {
        if (auto player = weak.lock()) player->stop();
    });
}

KAVSound::~KAVSound() = default;

void KAVSound::play() {
    // Where there is no sound device the audio layer records instead, so no
    // check for a simulator here.
    if (player_) player_->play();
}
