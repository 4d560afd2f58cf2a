#include "platform/Audio.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "platform/Clock.h"
#include "platform/Log.h"
#include "platform/Strings.h"

namespace platform::audio {

struct Player::State {
    std::filesystem::path file;
    double duration = 0.0;
    std::function<void()> interruption;

    // Guarded by the output's mutex (the device mixes on its own thread).
    float volume = 1.0f;
    bool playing = false;
    // Device: the sound in the device's format and the next byte to mix.
    std::vector<uint8_t> pcm;
    size_t next = 0;
    // Recorder: seconds already played and when the current run started.
    double position = 0.0;
    double startedAt = 0.0;
};

namespace {

struct Output {
    std::mutex mutex;
    bool chosen = false;
    SDL_AudioDeviceID device = 0;
    SDL_AudioSpec spec{};
    std::vector<Player::State*> players;
    std::vector<PlayEvent> recorded;

    ~Output() { close(); }

    void close() {
        if (device == 0) return;
        // Waits for the mixing thread to finish its current run.
        SDL_CloseAudioDevice(device);
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        device = 0;
    }
};

Output& output();

// The device's callback: mixes every playing sound into the stream.
void mix(void* user, Uint8* stream, int length) {
    auto& out = *static_cast<Output*>(user);
    std::memset(stream, out.spec.silence, static_cast<size_t>(length));
    std::lock_guard lock(out.mutex);
    for (Player::State* state : out.players) {
        if (!state->playing) continue;
        const size_t left = state->pcm.size() - state->next;
        const size_t n = std::min(left, static_cast<size_t>(length));
        const int volume = static_cast<int>(state->volume * SDL_MIX_MAXVOLUME + 0.5f);
        SDL_MixAudioFormat(stream, state->pcm.data() + state->next, out.spec.format,
                           static_cast<Uint32>(n), volume);
        state->next += n;
        if (state->next >= state->pcm.size()) {
            state->playing = false;
            state->next = 0;
        }
    }
}

void openDevice(Output& out) {
    if (const char* mode = std::getenv("KAV_AUDIO"); mode && std::string(mode) == "record") {
        return;
    }
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        log(stringf("Audio: no audio system (%s); sounds are recorded, not played",
                    SDL_GetError()));
        return;
    }
    SDL_AudioSpec want{};
    want.freq = 44100;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = 1024;
    want.callback = mix;
    want.userdata = &out;
    out.device =
        SDL_OpenAudioDevice(nullptr, 0, &want, &out.spec,
                            SDL_AUDIO_ALLOW_FREQUENCY_CHANGE | SDL_AUDIO_ALLOW_CHANNELS_CHANGE);
    if (out.device == 0) {
        log(stringf("Audio: no output device (%s); sounds are recorded, not played",
                    SDL_GetError()));
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return;
    }
    SDL_PauseAudioDevice(out.device, 0);
}

Output& output() {
    static Output out;
    // Chosen on the main thread, before any player exists.
    if (!out.chosen) {
        out.chosen = true;
        openDevice(out);
    }
    return out;
}

// Recorder: a run that has lasted its length is over and stands at the start.
void settle(Player::State& state) {
    if (!state.playing) return;
    if (clock().now() - state.startedAt >= state.duration - state.position) {
        state.playing = false;
        state.position = 0.0;
    }
}

struct Wav {
    SDL_AudioSpec spec{};
    Uint8* buffer = nullptr;
    Uint32 length = 0;
    ~Wav() { SDL_FreeWAV(buffer); }
};

}  // namespace

bool usesDevice() {
    return output().device != 0;
}

std::shared_ptr<Player> Player::open(const std::filesystem::path& file) {
    Output& out = output();
    Wav wav;
    if (!SDL_LoadWAV(file.c_str(), &wav.spec, &wav.buffer, &wav.length)) return nullptr;
    const int frameBytes = SDL_AUDIO_BITSIZE(wav.spec.format) / 8 * wav.spec.channels;
    if (frameBytes <= 0 || wav.spec.freq <= 0) return nullptr;

    auto state = std::make_shared<State>();
    state->file = file;
    state->duration = static_cast<double>(wav.length / frameBytes) / wav.spec.freq;
    if (out.device != 0) {
        SDL_AudioCVT cvt;
        const int needed =
            SDL_BuildAudioCVT(&cvt, wav.spec.format, wav.spec.channels, wav.spec.freq,
                              out.spec.format, out.spec.channels, out.spec.freq);
        if (needed < 0) return nullptr;
        state->pcm.assign(wav.buffer, wav.buffer + wav.length);
        if (needed > 0) {
            state->pcm.resize(static_cast<size_t>(wav.length) * cvt.len_mult);
            cvt.len = static_cast<int>(wav.length);
            cvt.buf = state->pcm.data();
            if (SDL_ConvertAudio(&cvt) != 0) return nullptr;
            state->pcm.resize(static_cast<size_t>(cvt.len_cvt));
        }
    }
    {
        std::lock_guard lock(out.mutex);
        out.players.push_back(state.get());
    }
    return std::shared_ptr<Player>(new Player(std::move(state)));
}

Player::Player(std::shared_ptr<State> state) : state_(std::move(state)) {}

Player::~Player() {
    Output& out = output();
    std::lock_guard lock(out.mutex);
    std::erase(out.players, state_.get());
}

const std::filesystem::path& Player::file() const {
    return state_->file;
}

double Player::duration() const {
    return state_->duration;
}

void Player::setVolume(float volume) {
    std::lock_guard lock(output().mutex);
    state_->volume = std::clamp(volume, 0.0f, 1.0f);
}

float Player::volume() const {
    std::lock_guard lock(output().mutex);
    return state_->volume;
}

void Player::play() {
    Output& out = output();
    std::lock_guard lock(out.mutex);
    if (out.device == 0) settle(*state_);
    if (state_->playing) return;
    state_->playing = true;
    if (out.device == 0) {
        state_->startedAt = clock().now();
        out.recorded.push_back(PlayEvent{state_->file, state_->volume});
    }
}

void Player::stop() {
    Output& out = output();
    std::lock_guard lock(out.mutex);
    if (out.device == 0) {
        settle(*state_);
        if (state_->playing) state_->position += clock().now() - state_->startedAt;
    }
    state_->playing = false;
}

bool Player::isPlaying() const {
    Output& out = output();
    std::lock_guard lock(out.mutex);
    if (out.device == 0) settle(*state_);
    return state_->playing;
}

void Player::setInterruptionHandler(std::function<void()> handler) {
    std::lock_guard lock(output().mutex);
    state_->interruption = std::move(handler);
}

void beginInterruption() {
    Output& out = output();
    std::vector<std::function<void()>> handlers;
    {
        std::lock_guard lock(out.mutex);
        for (Player::State* state : out.players) {
            if (state->interruption) handlers.push_back(state->interruption);
        }
    }
    // Outside the lock: a handler stops its player.
    for (auto& handler : handlers)
        handler();
}

std::vector<PlayEvent> recordedPlays() {
    Output& out = output();
    std::lock_guard lock(out.mutex);
    return out.recorded;
}

void clearRecordedPlays() {
    Output& out = output();
    std::lock_guard lock(out.mutex);
    out.recorded.clear();
}

void resetOutput() {
    Output& out = output();
    out.close();
    std::lock_guard lock(out.mutex);
    out.chosen = false;
    out.recorded.clear();
}

}  // namespace platform::audio
