#include "platform/Audio.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>

#include "platform/Clock.h"
#include "platform/Dispatch.h"
#include "platform/Files.h"
#include "platform/Log.h"

namespace platform::audio {

struct Player::State {
    std::filesystem::path file;
    double duration = 0.0;
    std::function<void()> interruption;

    // Guarded by the output's mutex (the device mixes on its own thread).
    float volume = 1.0f;
    bool playing = false;
    // Device: the sound in the mix format and the next sample to mix.
    std::vector<int16_t> pcm;
    size_t next = 0;
    // Recorder: seconds already played and when the current run started.
    double position = 0.0;
    double startedAt = 0.0;
};

namespace {

std::optional<OutputBackend>& backend() {
    static std::optional<OutputBackend> registered;
    return registered;
}

// Silence mixed after the last sound before the device is closed: longer
// than what a device holds queued, so the end of the sound is heard whole.
constexpr size_t kSilenceBeforeClose = kMixRate / 4;

// Longer than any sound a player is meant for. A file claiming more (a
// damaged rate field makes a few megabytes claim days) is refused rather
// than converted whole into the mix format, which could not be held.
constexpr double kLongestSound = 600.0;

// Plays the recorder keeps at most (the oldest half goes when it is full).
constexpr size_t kRecordedKept = 512;

struct Output {
    std::mutex mutex;
    bool chosen = false;
    bool device = false;
    // Written on the main thread only, under the mutex; read by mix() under
    // the mutex.
    bool open = false;
    // Frames of silence mixed since the last sound; whether the close has
    // been asked of the main thread.
    size_t silent = 0;
    bool closeAsked = false;
    std::vector<Player::State*> players;
    std::vector<PlayEvent> recorded;

    ~Output() { close(); }

    // Main thread, without the mutex: the back end waits for the mixing
    // thread, which takes it.
    void closeDevice() {
        if (!open) return;
        backend()->close();
        std::lock_guard lock(mutex);
        open = false;
    }
    void close() {
        if (!device) return;
        closeDevice();
        device = false;
    }
};

void openDevice(Output& out) {
    if (const char* mode = std::getenv("KAV_AUDIO"); mode && std::string(mode) == "record") {
        return;
    }
    if (!backend()) {
        log("Audio: no sound output in this program; sounds are recorded, not played");
        return;
    }
    out.device = backend()->open();
    if (!out.device) {
        log("Audio: the sound output did not open; sounds are recorded, not played");
        return;
    }
    // Opened again when a sound plays. The device's thread may be mixing
    // already, and mix() reads the flag under the lock.
    {
        std::lock_guard lock(out.mutex);
        out.open = true;
    }
    out.closeDevice();
}

Output& outputState() {
    static Output out;
    return out;
}

Output& output() {
    Output& out = outputState();
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

// Main thread: closes the device unless a sound started since the mix asked.
void closeIfSilent() {
    Output& out = outputState();
    {
        std::lock_guard lock(out.mutex);
        out.closeAsked = false;
        if (!out.open || out.silent < kSilenceBeforeClose) return;
        for (const Player::State* state : out.players)
            if (state->playing) return;
    }
    // No play() runs before this returns (both belong to the main thread).
    out.closeDevice();
}

// Main thread: a sound starts; the device opens if it was closed.
void openForPlay(Output& out) {
    if (out.open) return;
    if (!backend()->open()) {
        log("Audio: the sound output did not open again; the sound is not heard");
        std::lock_guard lock(out.mutex);
        for (Player::State* state : out.players) {
            state->playing = false;
            state->next = 0;
        }
        return;
    }
    std::lock_guard lock(out.mutex);
    out.open = true;
}

// ---- WAV files ----------------------------------------------------------

// A decoded sound: interleaved samples scaled to -1..1.
struct Wave {
    int rate = 0;
    int channels = 0;
    std::vector<float> samples;
    size_t frames() const { return channels ? samples.size() / channels : 0; }
};

uint32_t le32(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint16_t le16(const unsigned char* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatFloat = 3;
constexpr uint16_t kFormatExtensible = 0xFFFE;

// RIFF/WAVE: the "fmt " chunk, then the "data" chunk; other chunks are
// skipped. A data chunk that claims more than the file holds gives what is
// there (whole frames).
std::optional<Wave> readWave(const std::string& bytes) {
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t n = bytes.size();
    if (n < 12 || std::memcmp(b, "RIFF", 4) != 0 || std::memcmp(b + 8, "WAVE", 4) != 0)
        return std::nullopt;
    uint16_t format = 0, channels = 0, bits = 0;
    uint32_t rate = 0;
    bool haveFormat = false;
    for (size_t at = 12; at + 8 <= n;) {
        const unsigned char* id = b + at;
        const size_t size = le32(b + at + 4);
        const size_t body = at + 8;
        const size_t avail = std::min(size, n - body);
        if (std::memcmp(id, "fmt ", 4) == 0) {
            if (avail < 16) return std::nullopt;
            format = le16(b + body);
            channels = le16(b + body + 2);
            rate = le32(b + body + 4);
            bits = le16(b + body + 14);
            if (format == kFormatExtensible) {
                if (avail < 26) return std::nullopt;
                format = le16(b + body + 24);  // the sub-format's first two bytes
            }
            haveFormat = true;
        } else if (std::memcmp(id, "data", 4) == 0) {
            if (!haveFormat || channels < 1 || channels > 8 || rate < 1 || rate > 384000)
                return std::nullopt;
            const bool pcm =
                format == kFormatPcm && (bits == 8 || bits == 16 || bits == 24 || bits == 32);
            const bool flt = format == kFormatFloat && bits == 32;
            if (!pcm && !flt) return std::nullopt;
            const size_t width = bits / 8;
            const size_t frame = width * channels;
            Wave wave;
            wave.rate = static_cast<int>(rate);
            wave.channels = channels;
            const size_t count = avail / frame * channels;
            wave.samples.resize(count);
            const unsigned char* p = b + body;
            for (size_t i = 0; i < count; ++i, p += width) {
                float v = 0;
                if (flt) {
                    v = std::bit_cast<float>(le32(p));
                    if (!std::isfinite(v)) v = 0;
                } else if (bits == 8) {
                    v = (static_cast<int>(p[0]) - 128) / 128.0f;
                } else if (bits == 16) {
                    v = static_cast<int16_t>(le16(p)) / 32768.0f;
                } else if (bits == 24) {
                    int32_t s = static_cast<int32_t>(uint32_t(p[0]) << 8 | uint32_t(p[1]) << 16 |
                                                     uint32_t(p[2]) << 24);
                    v = static_cast<float>(s / 2147483648.0);
                } else {
                    v = static_cast<float>(static_cast<int32_t>(le32(p)) / 2147483648.0);
                }
                wave.samples[i] = std::clamp(v, -1.0f, 1.0f);
            }
            return wave;
        }
        if (size > n - body) break;
        at = body + size + (size & 1);  // chunks are padded to even sizes
    }
    return std::nullopt;
}

// The sound in the mix format: resampled (linearly) to the mix rate, one
// channel played on both sides, more than two reduced to the first two.
std::vector<int16_t> toMix(const Wave& wave) {
    const size_t frames = wave.frames();
    if (frames == 0) return {};
    const double step = static_cast<double>(wave.rate) / kMixRate;
    const size_t outFrames =
        static_cast<size_t>(std::ceil(static_cast<double>(frames) * kMixRate / wave.rate));
    std::vector<int16_t> out(outFrames * kMixChannels);
    auto sample = [&](size_t f, int c) {
        return wave.samples[f * wave.channels + std::min(c, wave.channels - 1)];
    };
    for (size_t i = 0; i < outFrames; ++i) {
        const double pos = i * step;
        const size_t f0 = std::min(static_cast<size_t>(pos), frames - 1);
        const size_t f1 = std::min(f0 + 1, frames - 1);
        const float t = static_cast<float>(pos - static_cast<double>(f0));
        for (int c = 0; c < kMixChannels; ++c) {
            const float v = sample(f0, c) + (sample(f1, c) - sample(f0, c)) * t;
            out[i * kMixChannels + c] = static_cast<int16_t>(std::lround(v * 32767.0f));
        }
    }
    return out;
}

}  // namespace

void registerOutputBackend(OutputBackend b) {
    if (b.open && b.close)
        backend() = std::move(b);
    else
        backend().reset();
}

void mix(int16_t* out, size_t frames) {
    const size_t count = frames * kMixChannels;
    // The device's thread calls this many times a second: no allocation
    // once the buffer has its size.
    thread_local std::vector<int32_t> sum;
    sum.assign(count, 0);
    bool askClose = false;
    {
        Output& o = output();
        std::lock_guard lock(o.mutex);
        bool sounding = false;
        for (Player::State* state : o.players) {
            if (!state->playing) continue;
            sounding = true;
            const size_t n = std::min(state->pcm.size() - state->next, count);
            const int32_t volume = static_cast<int32_t>(std::lround(state->volume * 256));
            for (size_t i = 0; i < n; ++i)
                sum[i] += state->pcm[state->next + i] * volume / 256;
            state->next += n;
            if (state->next >= state->pcm.size()) {
                state->playing = false;
                state->next = 0;
            }
        }
        o.silent = sounding ? 0 : o.silent + frames;
        if (o.open && !o.closeAsked && o.silent >= kSilenceBeforeClose) {
            o.closeAsked = true;
            askClose = true;
        }
    }
    for (size_t i = 0; i < count; ++i)
        out[i] = static_cast<int16_t>(std::clamp<int32_t>(sum[i], -32768, 32767));
    // Closing waits for this thread: the main thread does it.
    if (askClose) dispatch::async_main(closeIfSilent);
}

bool deviceOpen() {
    Output& out = output();
    std::lock_guard lock(out.mutex);
    return out.open;
}

bool usesDevice() {
    return output().device;
}

std::shared_ptr<Player> Player::open(const std::filesystem::path& file) {
    Output& out = output();
    auto bytes = files::readFile(file);
    if (!bytes) return nullptr;
    auto wave = readWave(*bytes);
    if (!wave) return nullptr;
    const double duration = static_cast<double>(wave->frames()) / wave->rate;
    if (duration > kLongestSound) {
        log("Audio: " + file.string() + " claims more sound than a player holds; not played");
        return nullptr;
    }

    auto state = std::make_shared<State>();
    state->file = file;
    state->duration = duration;
    if (out.device) state->pcm = toMix(*wave);
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
    {
        std::lock_guard lock(out.mutex);
        if (!out.device) settle(*state_);
        if (state_->playing) return;
        if (out.device && state_->pcm.empty()) return;  // nothing to hear
        state_->playing = true;
        out.silent = 0;
        if (!out.device) {
            state_->startedAt = clock().now();
            // Every long press on the chart plays its sound: a program that runs
            // for days keeps the latest plays, not all of them.
            auto& recorded = out.recorded;
            if (recorded.size() >= kRecordedKept)
                recorded.erase(recorded.begin(), recorded.begin() + kRecordedKept / 2);
            recorded.push_back(PlayEvent{state_->file, state_->volume});
            return;
        }
    }
    // Outside the mutex: the mixing thread it starts takes it.
    openForPlay(out);
}

void Player::stop() {
    Output& out = output();
    std::lock_guard lock(out.mutex);
    if (!out.device) {
        settle(*state_);
        if (state_->playing) state_->position += clock().now() - state_->startedAt;
    }
    state_->playing = false;
}

bool Player::isPlaying() const {
    Output& out = output();
    std::lock_guard lock(out.mutex);
    if (!out.device) settle(*state_);
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
    // Without choosing first: the next use chooses.
    Output& out = outputState();
    out.close();
    std::lock_guard lock(out.mutex);
    out.chosen = false;
    out.silent = 0;
    out.closeAsked = false;
    out.recorded.clear();
}

}  // namespace platform::audio
