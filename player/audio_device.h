// SDL's audio output: the subsystem for the life of the player, and one
// device per stream format, opened in exactly that format so SDL converts
// nothing it need not (the disk driver then writes the decoder's bytes).
#ifndef VELMORA_PLAYER_AUDIO_DEVICE_H
#define VELMORA_PLAYER_AUDIO_DEVICE_H

#include <SDL.h>

#include "speaker_layout.h"
#include "velmora.h"

class sdl_audio {
public:
    // Throws tool_error(exit_status::audio) when no audio driver starts.
    sdl_audio();
    ~sdl_audio();
    sdl_audio(const sdl_audio &) = delete;
    sdl_audio &operator=(const sdl_audio &) = delete;
};

class audio_device {
public:
    // Opens the default device, paused, for 16-bit PCM at the format's rate
    // in the layout's channels, fed by callback(userdata, ...). Throws
    // tool_error(exit_status::audio) when it cannot be opened.
    audio_device(const qdx_ogg_wave_format &format, const speaker_layout &layout, SDL_AudioCallback callback,
                 void *userdata);
    // Stops the callback and plays out what it gave.
    ~audio_device() { SDL_CloseAudioDevice(id_); }
    audio_device(const audio_device &) = delete;
    audio_device &operator=(const audio_device &) = delete;

    void start() { SDL_PauseAudioDevice(id_, 0); }

private:
    SDL_AudioDeviceID id_ = 0;
};

#endif  // VELMORA_PLAYER_AUDIO_DEVICE_H
