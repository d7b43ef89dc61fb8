// Audio output over the platform's audio device, with a wall-clock fallback.
#include "synth/audio_output.h"

#include "platform/audio_device.h"
#include "synth/render_thread.h"

namespace {

struct AudioOutput {
    int deviceOpen;
    int playing;
    uint64_t startMicroseconds;
    PlaybackWatch watch;
};

AudioOutput output = {0, 0, 0, {{0}, {kNoLeadSeen}}};

void watchDeviceCursor(void*, uint64_t cursor) {
    SongOutput* song = songOutput();
    observePlayCursor(&output.watch, cursor, song->renderedFrames.load(std::memory_order_acquire),
                      song->songFrames);
}

uint32_t wallClockPosition() {
    const uint64_t elapsed = audioDeviceServices()->nowMicroseconds() - output.startMicroseconds;
    const uint64_t frames = elapsed * kAudioFrameRate / 1000000u;
    watchDeviceCursor(nullptr, frames);
    return static_cast<uint32_t>(frames);
}

} // namespace

void resetPlaybackWatch(PlaybackWatch* watch) {
    watch->underruns.store(0, std::memory_order_relaxed);
    watch->minimumLead.store(kNoLeadSeen, std::memory_order_relaxed);
}

void observePlayCursor(PlaybackWatch* watch, uint64_t cursor, uint32_t renderedFrames, uint32_t songFrames) {
    if (renderedFrames >= songFrames) return;
    const int64_t lead = static_cast<int64_t>(renderedFrames) - static_cast<int64_t>(cursor);
    if (lead < 0) watch->underruns.fetch_add(1, std::memory_order_relaxed);
    int64_t seen = watch->minimumLead.load(std::memory_order_relaxed);
    while (lead < seen && !watch->minimumLead.compare_exchange_weak(seen, lead, std::memory_order_relaxed)) {
    }
}

int openAudio() {
    if (output.deviceOpen) return 1;
    // Normally allocated by startRenderThread; without it the device plays silence.
    prepareSongOutput();
    SongOutput* song = songOutput();
    const AudioStream stream = {
        song->frames, song->frames ? song->songFrames : 0, &song->renderedFrames, watchDeviceCursor, nullptr,
        nullptr};
    output.deviceOpen = audioDeviceServices()->openDevice(&stream);
    return output.deviceOpen;
}

void startPlayback() {
    if (output.playing) return;
    resetPlaybackWatch(&output.watch);
    if (output.deviceOpen) audioDeviceServices()->startDevice();
    output.startMicroseconds = audioDeviceServices()->nowMicroseconds();
    output.playing = 1;
}

void stopAudio() {
    if (output.deviceOpen) audioDeviceServices()->closeDevice();
    output.deviceOpen = 0;
    output.playing = 0;
}

uint32_t audioPlayPosition() {
    if (!output.playing) return 0;
    if (!output.deviceOpen) return wallClockPosition();
    const int64_t position = audioDeviceServices()->devicePosition();
    return position > 0 ? static_cast<uint32_t>(position) : 0;
}

int audioDeviceOpen() {
    return output.deviceOpen;
}

PlaybackWatch* playbackWatch() {
    return &output.watch;
}

uint32_t audioUnderruns() {
    return output.watch.underruns.load(std::memory_order_relaxed);
}

int64_t audioMinimumLead() {
    return output.watch.minimumLead.load(std::memory_order_relaxed);
}
