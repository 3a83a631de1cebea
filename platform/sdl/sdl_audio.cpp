#include "platform/sdl/sdl_audio.h"

#include <SDL.h>
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

namespace {

// Audio is opened on the first sound; a machine without it is asked once.
bool audio_tried = false;
bool audio_ready = false;
SDL_AudioDeviceID audio_device = 0;
SDL_AudioSpec device_spec;

constexpr long largest_wave_bytes = 64L * 1024 * 1024;

// Once a run at most: the game plays on without its sound.
bool said_no_sound = false;

void say_no_sound() {
    if (said_no_sound) return;
    said_no_sound = true;
    std::fprintf(stderr, "varnhold: no sound device (%s); the game plays on silently\n", SDL_GetError());
    std::fflush(stderr);
}

// ALSA writes each failed look-up of a sound card to stderr: a page of them
// on a machine without one. It has one error handler for the whole process,
// which SDL's ALSA driver shares, so a silent one set here keeps it quiet;
// the game says what matters itself, in one line. The library stays loaded
// so that the handler stays set.
void silent_alsa_error(const char*, int, const char*, int, const char*, ...) {}

void quieten_alsa() {
    void* alsa = dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL);
    if (!alsa) return;  // then SDL cannot use ALSA either
    using ErrorHandler = void (*)(const char*, int, const char*, int, const char*, ...);
    using SetErrorHandler = int (*)(ErrorHandler);
    auto set_handler = reinterpret_cast<SetErrorHandler>(dlsym(alsa, "snd_lib_error_set_handler"));
    if (set_handler) set_handler(silent_alsa_error);
}

bool start_audio() {
    if (!audio_tried) {
        audio_tried = true;
        quieten_alsa();
        audio_ready = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
        if (!audio_ready) say_no_sound();
    }
    return audio_ready;
}

// The whole file in memory, so that SDL reads it the same way wherever the
// data folder is.
uint8_t* read_whole_file(const char* relative_path, long* size) {
    std::FILE* file = platform_open_data_file(relative_path);
    if (!file) return nullptr;
    uint8_t* bytes = nullptr;
    long length = -1;
    if (std::fseek(file, 0, SEEK_END) == 0) length = std::ftell(file);
    if (length > 0 && length <= largest_wave_bytes && std::fseek(file, 0, SEEK_SET) == 0) {
        bytes = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(length)));
        if (bytes && std::fread(bytes, 1, static_cast<size_t>(length), file) != static_cast<size_t>(length)) {
            std::free(bytes);
            bytes = nullptr;
        }
    }
    std::fclose(file);
    *size = length;
    return bytes;
}

bool same_format(const SDL_AudioSpec& a, const SDL_AudioSpec& b) {
    return a.freq == b.freq && a.format == b.format && a.channels == b.channels;
}

// A device in the wave's own format; reopened only when the format changes.
bool open_device_for(const SDL_AudioSpec& wave_spec) {
    if (audio_device != 0 && same_format(device_spec, wave_spec)) return true;
    if (audio_device != 0) SDL_CloseAudioDevice(audio_device);
    SDL_AudioSpec wanted = wave_spec;
    wanted.callback = nullptr;
    wanted.userdata = nullptr;
    // No changes allowed: SDL converts to the device, the queue stays in the wave's format.
    SDL_AudioSpec obtained;
    audio_device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    if (audio_device == 0) {
        say_no_sound();
        return false;
    }
    device_spec = wanted;
    return true;
}

}  // namespace

void sdl_play_wave(const char* relative_path) {
    if (!relative_path || !start_audio()) return;
    long size = 0;
    uint8_t* bytes = read_whole_file(relative_path, &size);
    if (!bytes) return;
    SDL_AudioSpec wave_spec;
    uint8_t* samples = nullptr;
    uint32_t sample_bytes = 0;
    SDL_RWops* stream = SDL_RWFromConstMem(bytes, static_cast<int>(size));
    bool loaded = stream && SDL_LoadWAV_RW(stream, 1, &wave_spec, &samples, &sample_bytes) != nullptr;
    std::free(bytes);
    if (!loaded) return;
    if (open_device_for(wave_spec)) {
        SDL_ClearQueuedAudio(audio_device);
        SDL_QueueAudio(audio_device, samples, sample_bytes);
        SDL_PauseAudioDevice(audio_device, 0);
    }
    SDL_FreeWAV(samples);
}

void sdl_close_audio() {
    if (audio_device != 0) SDL_CloseAudioDevice(audio_device);
    audio_device = 0;
    if (audio_ready) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    audio_ready = false;
    audio_tried = false;
}
