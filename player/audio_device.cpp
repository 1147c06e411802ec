#include "audio_device.h"

#include <string>

#include "exit_status.h"

namespace {

// About 46 ms at 44.1 kHz: short enough for space and r to answer at once.
constexpr Uint16 device_frames = 2048;

[[noreturn]] void no_audio(const std::string &what) {
    throw tool_error(exit_status::audio, what + ": " + SDL_GetError());
}

}  // namespace

sdl_audio::sdl_audio() {
    // The player handles SIGINT and SIGTERM itself, to restore the terminal.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) no_audio("no audio output");
}

sdl_audio::~sdl_audio() {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    SDL_Quit();
}

audio_device::audio_device(const qdx_ogg_wave_format &format, const speaker_layout &layout,
                           SDL_AudioCallback callback, void *userdata) {
    SDL_AudioSpec wanted{};
    wanted.freq = static_cast<int>(format.nSamplesPerSec);
    wanted.format = AUDIO_S16LSB;
    wanted.channels = static_cast<Uint8>(layout.device_channels);
    wanted.samples = device_frames;
    wanted.callback = callback;
    wanted.userdata = userdata;
    SDL_AudioSpec got{};
    id_ = SDL_OpenAudioDevice(nullptr, 0, &wanted, &got, 0);
    if (id_ == 0) {
        const unsigned channels = layout.device_channels;
        no_audio("no audio device for " + std::to_string(channels) + (channels == 1 ? " channel" : " channels") +
                 " at " + std::to_string(format.nSamplesPerSec) + " Hz");
    }
}
