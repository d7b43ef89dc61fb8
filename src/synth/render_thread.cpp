// The render thread and the song's output buffer.
#include "synth/render_thread.h"

#include "framework/memory.h"

namespace {

SongOutput output;

} // namespace

SongOutput* songOutput() {
    return &output;
}

uint64_t songCapacityFrames(uint32_t songFrames, uint32_t samplesPerTick) {
    if (samplesPerTick == 0) return songFrames;
    const uint64_t ticks = (uint64_t(songFrames) + samplesPerTick - 1) / samplesPerTick;
    return ticks * samplesPerTick;
}

int allocateSongOutput(uint32_t songFrames, uint32_t samplesPerTick) {
    releaseSongOutput();
    const uint64_t capacity = songCapacityFrames(songFrames, samplesPerTick);
    if (capacity > UINT32_MAX) return 0;
    auto* frames = static_cast<float*>(memAlloc(size_t(capacity) * 2 * sizeof(float)));
    if (!frames && capacity != 0) return 0;
    output.frames = frames;
    output.songFrames = songFrames;
    output.capacityFrames = static_cast<uint32_t>(capacity);
    return 1;
}

void releaseSongOutput() {
    memFree(output.frames);
    output.frames = nullptr;
    output.songFrames = 0;
    output.capacityFrames = 0;
    output.renderedFrames.store(0, std::memory_order_relaxed);
}
