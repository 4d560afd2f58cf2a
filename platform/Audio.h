#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform::audio {

// Where sounds go. The output is chosen on first use: the sound device of the
// output back end linked into the program (platform/sdl-audio) when it opens,
// else a recorder that notes every start of playback (tests read it).
// KAV_AUDIO=record chooses the recorder outright.
bool usesDevice();

// The mix a device plays: interleaved signed 16-bit samples, two channels,
// 44,100 frames a second. Sounds are converted to it when they are opened.
inline constexpr int kMixRate = 44100;
inline constexpr int kMixChannels = 2;

// A sound output back end. It registers itself when it is linked in (before
// main); once open, the device pulls the mix with mix() on its own thread.
// The device is open only while sounds play: opened once when the output is
// chosen (to learn whether there is one) and closed again, then opened by a
// play() and closed from the main thread after a quarter of a second of
// silence, so that no mixing thread runs while nothing plays.
struct OutputBackend {
    // Opens the device for the mix format; false when there is none.
    std::function<bool()> open;
    // Closes it; no mix() call runs after it returns.
    std::function<void()> close;
};
void registerOutputBackend(OutputBackend backend);

// Fills `frames` frames of the mix with every playing sound, advancing them
// (a sound played to its end stops). Called by the device's thread. After a
// quarter of a second of silence it asks the main thread to close the device.
void mix(int16_t* out, size_t frames);

// True while the device is open and pulling the mix.
bool deviceOpen();

// One short sound loaded whole from a WAV file (PCM of 8, 16, 24 or 32 bits,
// or 32-bit float, any rate, one or more channels). Every operation belongs to the
// main thread; the device mixes the sounds that play on its own thread.
class Player {
  public:
    // Null when the file is missing, cannot be decoded, or claims more than
    // ten minutes of sound.
    static std::shared_ptr<Player> open(const std::filesystem::path& file);
    ~Player();
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    const std::filesystem::path& file() const;
    // Seconds of sound in the file.
    double duration() const;
    // 0 (silent) to 1 (as recorded); other values are held to that range.
    void setVolume(float volume);
    float volume() const;

    // Starts playing from where the sound stands (the start, or where stop()
    // left it); nothing while it is already playing. Once it has played to
    // the end it stands at the start again.
    void play();
    // Stops playing and keeps the position.
    void stop();
    bool isPlaying() const;

    // Runs, on the thread that reports it, when the output is taken away
    // from the application (see beginInterruption()).
    void setInterruptionHandler(std::function<void()> handler);

    struct State;

  private:
    explicit Player(std::shared_ptr<State> state);
    std::shared_ptr<State> state_;
};

// Tells every live player that the output was taken away. Call it on the
// main thread: nothing calls it yet but tests (the desktop window does not
// follow the audio device), and a device's removal reported on another
// thread must be sent to the main thread first.
void beginInterruption();

// The recorder: one entry per start of playback, oldest first; it keeps the
// latest few hundred.
struct PlayEvent {
    std::filesystem::path file;
    float volume = 1.0f;
};
std::vector<PlayEvent> recordedPlays();
void clearRecordedPlays();

// Tests only: closes the device if one is open and forgets the choice of
// output, so that the next use chooses again (after the environment changed).
// No player may be alive.
void resetOutput();

}  // namespace platform::audio
