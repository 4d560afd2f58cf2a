// The sound device through SDL: opened for the mix format (SDL converts to
// what the hardware takes), its thread pulls the mix from platform/Audio.
#include <SDL.h>

#include <cstdint>

#include "platform/Audio.h"
#include "platform/Log.h"
#include "platform/Strings.h"

namespace {

SDL_AudioDeviceID gDevice = 0;

void pull(void*, Uint8* stream, int length) {
    const size_t frames =
        static_cast<size_t>(length) / (sizeof(int16_t) * platform::audio::kMixChannels);
    platform::audio::mix(reinterpret_cast<int16_t*>(stream), frames);
}

bool openDevice() {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        platform::log(platform::stringf("Audio: no audio system (%s)", SDL_GetError()));
        return false;
    }
    SDL_AudioSpec want{};
    want.freq = platform::audio::kMixRate;
    want.format = AUDIO_S16SYS;
    want.channels = platform::audio::kMixChannels;
    want.samples = 1024;
    want.callback = pull;
    SDL_AudioSpec got{};
    // No changes allowed: SDL converts the mix to the device's own format.
    gDevice = SDL_OpenAudioDevice(nullptr, 0, &want, &got, 0);
    if (gDevice == 0) {
        platform::log(platform::stringf("Audio: no output device (%s)", SDL_GetError()));
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    SDL_PauseAudioDevice(gDevice, 0);
    return true;
}

void closeDevice() {
    if (gDevice == 0) return;
    // Waits for the mixing thread to finish its current run.
    SDL_CloseAudioDevice(gDevice);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    gDevice = 0;
}

// Linked in, the back end offers itself before main runs.
const bool gRegistered = [] {
    platform::audio::registerOutputBackend({openDevice, closeDevice});
    return true;
}();

}  // namespace
