// The audio device on Linux: SDL2 audio with a callback that copies from the one stream buffer.
#include "platform/audio_device.h"

#include <SDL2/SDL.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <ctime>

namespace {

constexpr uint16_t kCallbackFrames = 1024;

struct SdlAudio {
    SDL_AudioDeviceID device;
    AudioStream stream;
    // Written by the callback under SDL's device lock: frames taken so far, the count at the start
    // of the last callback, and when that callback ran.
    uint64_t taken;
    uint64_t chunkStart;
    uint64_t chunkMicroseconds;
};

SdlAudio audio;

uint64_t linuxNowMicroseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000000u + static_cast<uint64_t>(now.tv_nsec) / 1000u;
}

void fillFromStream(void*, Uint8* bytes, int length) {
    auto* out = reinterpret_cast<float*>(bytes);
    const uint32_t frames = static_cast<uint32_t>(length) / (kAudioChannels * sizeof(float));
    const AudioStream& stream = audio.stream;
    if (stream.onCursor) stream.onCursor(stream.context, audio.taken + frames);
    if (stream.fill) stream.fill(stream.context, out, frames, audio.taken);
    const uint32_t ready =
        stream.readyFrames ? stream.readyFrames->load(std::memory_order_acquire) : stream.frameCount;
    for (uint32_t done = stream.fill ? frames : 0; done < frames;) {
        if (stream.frameCount == 0) {
            std::memset(out, 0, (frames - done) * kAudioChannels * sizeof(float));
            break;
        }
        const uint32_t at = static_cast<uint32_t>((audio.taken + done) % stream.frameCount);
        const uint32_t run = std::min(frames - done, stream.frameCount - at);
        const uint32_t copied = at < ready ? std::min(run, ready - at) : 0;
        std::memcpy(out, stream.frames + size_t(at) * kAudioChannels, size_t(copied) * kAudioChannels * 4);
        std::memset(out + size_t(copied) * kAudioChannels, 0, size_t(run - copied) * kAudioChannels * 4);
        out += size_t(run) * kAudioChannels;
        done += run;
    }
    audio.chunkStart = audio.taken;
    audio.taken += frames;
    audio.chunkMicroseconds = linuxNowMicroseconds();
}

SDL_AudioDeviceID openOn(const char* driver) {
    if (driver) SDL_SetHint(SDL_HINT_AUDIODRIVER, driver);
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return 0;
    SDL_AudioSpec wanted{};
    wanted.freq = static_cast<int>(kAudioFrameRate);
    wanted.format = AUDIO_F32SYS;
    wanted.channels = kAudioChannels;
    wanted.samples = kCallbackFrames;
    wanted.callback = fillFromStream;
    SDL_AudioSpec obtained{};
    // No format changes allowed: SDL converts if the hardware wants another one.
    const SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    if (device == 0) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return device;
}

// ALSA's library prints lines of its own on standard error for every card it cannot find while
// the drivers are tried; the program says in one line of its own that it plays silently instead.
struct QuietStandardError {
    int saved = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
    QuietStandardError() {
        const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (saved >= 0 && null >= 0) dup2(null, STDERR_FILENO);
        if (null >= 0) close(null);
    }
    ~QuietStandardError() {
        if (saved < 0) return;
        dup2(saved, STDERR_FILENO);
        close(saved);
    }
};

int linuxOpenDevice(const AudioStream* stream) {
    if (audio.device != 0) return 0;
    const QuietStandardError quiet;
    audio = {};
    audio.stream = *stream;
    // SDL's own choice stops at the first driver that initialises, even one without a device to
    // open; so each real driver is tried in turn. "dummy" (no sound) and "disk" (writes a file)
    // are never chosen here, but a driver named in SDL_AUDIODRIVER is honoured alone.
    if (SDL_getenv("SDL_AUDIODRIVER")) {
        audio.device = openOn(nullptr);
    } else {
        for (int i = 0; i < SDL_GetNumAudioDrivers() && audio.device == 0; ++i) {
            const char* name = SDL_GetAudioDriver(i);
            if (std::strcmp(name, "dummy") == 0 || std::strcmp(name, "disk") == 0) continue;
            audio.device = openOn(name);
        }
        SDL_ResetHint(SDL_HINT_AUDIODRIVER);
    }
    return audio.device != 0;
}

void linuxStartDevice() {
    if (audio.device != 0) SDL_PauseAudioDevice(audio.device, 0);
}

void linuxCloseDevice() {
    if (audio.device == 0) return;
    SDL_CloseAudioDevice(audio.device);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    audio = {};
}

// The device takes frames in chunks of about 23 ms; between two callbacks the position moves on
// with the wall clock (never past the frames taken), so pictures driven by it do not stutter.
int64_t linuxDevicePosition() {
    if (audio.device == 0) return -1;
    SDL_LockAudioDevice(audio.device);
    const uint64_t taken = audio.taken;
    const uint64_t start = audio.chunkStart;
    const uint64_t since = audio.chunkMicroseconds;
    SDL_UnlockAudioDevice(audio.device);
    if (taken == 0) return 0;
    const uint64_t elapsed = (linuxNowMicroseconds() - since) * kAudioFrameRate / 1000000u;
    return static_cast<int64_t>(std::min(taken, start + elapsed));
}

constexpr AudioDeviceServices kLinuxAudio = {
    linuxOpenDevice, linuxStartDevice, linuxCloseDevice, linuxDevicePosition, linuxNowMicroseconds,
};

AudioDeviceServices services = kLinuxAudio;

} // namespace

AudioDeviceServices* audioDeviceServices() {
    return &services;
}

void resetAudioDeviceServices() {
    services = kLinuxAudio;
}
