// The render thread: renders the whole song once into the buffer the audio device plays.
#pragma once

#include <atomic>
#include <cstdint>

// The song's output buffer: interleaved stereo f32 frames, written front to back by the render
// thread while the device plays it.
struct SongOutput {
    float* frames;
    // The frames the device plays: the song header's length.
    uint32_t songFrames;
    // The room in `frames`: the length rounded up to whole sequencer ticks, which is what the
    // render thread writes.
    uint32_t capacityFrames;
    // Frames the render thread has finished, published after every tick; every frame once it ends.
    std::atomic<uint32_t> renderedFrames;
};

SongOutput* songOutput();
// The frames a song of `songFrames` needs when it is rendered in whole ticks of `samplesPerTick`.
uint64_t songCapacityFrames(uint32_t songFrames, uint32_t samplesPerTick);
// Allocates the zero-filled buffer (silence until rendered); 1 on success, 0 when out of memory.
int allocateSongOutput(uint32_t songFrames, uint32_t samplesPerTick);
void releaseSongOutput();
