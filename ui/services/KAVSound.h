#pragma once

#include <memory>
#include <optional>
#include <string>

namespace platform::audio {
class Player;
}

// One short sound of the bundle folder "Sounds" (type "wav"), played at 0.4
// of its recorded volume.
class KAVSound {
  public:
    static constexpr float kVolume = 0.4f;

    // Without a name: "shake". A sound that is missing or cannot be decoded
    // leaves no player, and play() does nothing.
    explicit KAVSound(const std::optional<std::string>& songName = std::nullopt);
    ~KAVSound();
    KAVSound(const KAVSound&) = delete;
    KAVSound& operator=(const KAVSound&) = delete;

    // Plays from where the sound stands.
    void play();
    bool hasPlayer() const { return player_ != nullptr; }
    const std::shared_ptr<platform::audio::Player>& player() const { return player_; }

  private:
    std::shared_ptr<platform::audio::Player> player_;
};
