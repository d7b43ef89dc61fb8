// The render thread and the song's output buffer.
#include "synth/render_thread.h"

#include "base/memory.h"
#include "platform/platform.h"
#include "synth/float_mode.h"
#include "synth/sequencer.h"
#include "synth/synth.h"

namespace {

SongOutput output;
// Set by stopRenderThread; the render loop looks at it between ticks.
std::atomic<int> stopRequested;
int threadStarted;

struct RenderJob {
    SongOutput* target;
    int (*prepare)(void* context, SongOutput* target);
    void* context;
};
RenderJob job;

void renderThreadEntry(void* argument) {
    const RenderJob* started = static_cast<const RenderJob*>(argument);
    if (started->prepare && !started->prepare(started->context, started->target)) {
        started->target->renderedFrames.store(0, std::memory_order_release);
        started->target->renderState.store(kRenderFinished, std::memory_order_release);
        return;
    }
    renderSongOutput(started->target);
}

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
    return allocateSongBuffer(&output, songFrames, samplesPerTick);
}

int allocateSongBuffer(SongOutput* song, uint32_t songFrames, uint32_t samplesPerTick) {
    releaseSongBuffer(song);
    const uint64_t capacity = songCapacityFrames(songFrames, samplesPerTick);
    if (capacity > UINT32_MAX) return 0;
    auto* frames = static_cast<float*>(memAlloc(size_t(capacity) * 2 * sizeof(float)));
    if (!frames) return 0;
    song->frames = frames;
    song->songFrames = songFrames;
    song->capacityFrames = static_cast<uint32_t>(capacity);
    return 1;
}

int prepareSongOutput() {
    const SongHeader& header = sequencer().song.header;
    const uint32_t length = header.lengthSamples > 0 ? uint32_t(header.lengthSamples) : 0;
    const uint32_t samplesPerTick = header.samplesPerTick > 0 ? uint32_t(header.samplesPerTick) : 0;
    // A buffer for this song, or for a partial render of it (fewer frames on the same tick grid),
    // is kept; an empty one (made before any song was prepared), or one too long or on another
    // grid, is replaced.
    if (output.frames && output.songFrames > 0 && output.songFrames <= length &&
        output.capacityFrames == songCapacityFrames(output.songFrames, samplesPerTick))
        return 1;
    return allocateSongOutput(length, samplesPerTick);
}

void releaseSongOutput() {
    releaseSongBuffer(&output);
}

void releaseSongBuffer(SongOutput* song) {
    memFree(song->frames);
    song->frames = nullptr;
    song->songFrames = 0;
    song->capacityFrames = 0;
    song->renderedFrames.store(0, std::memory_order_relaxed);
    song->renderState.store(kRenderNotStarted, std::memory_order_relaxed);
}

uint32_t renderSongOutput(SongOutput* song) {
    song->renderState.store(kRendering, std::memory_order_release);
    FloatModeGuard mode;
    beginRender();
    // A grid of 0 would never advance: such a song, like one of length 0, renders nothing.
    const uint32_t length = sequencer().song.header.samplesPerTick > 0 ? song->songFrames : 0;
    while (renderPosition() < length && !stopRequested.load(std::memory_order_acquire)) {
        const uint32_t done = renderPosition();
        // The grid is read afresh every tick; a tick that would overrun the buffer is not rendered.
        if (uint64_t(done) + renderTickFrames() > song->capacityFrames) break;
        renderTick(song->frames + size_t(done) * 2);
        song->renderedFrames.store(renderPosition(), std::memory_order_release);
    }
    const uint32_t written = renderPosition();
    song->renderedFrames.store(song->capacityFrames, std::memory_order_release);
    song->renderState.store(kRenderFinished, std::memory_order_release);
    return written;
}

int startRenderThread() {
    if (!prepareSongOutput()) return 0;
    return startRenderThreadFor(&output, nullptr, nullptr);
}

int startRenderThreadFor(SongOutput* target, int (*prepare)(void* context, SongOutput* target),
                         void* context) {
    // One synthesizer: a render still running would share it.
    stopRenderThread();
    target->renderedFrames.store(0, std::memory_order_relaxed);
    target->renderState.store(kRenderNotStarted, std::memory_order_relaxed);
    stopRequested.store(0, std::memory_order_release);
    job = {target, prepare, context};
    threadStarted = platformServices()->startThread(renderThreadEntry, &job, 1);
    return threadStarted;
}

void stopRenderThread() {
    if (!threadStarted) return;
    stopRequested.store(1, std::memory_order_release);
    while (job.target->renderState.load(std::memory_order_acquire) != kRenderFinished)
        platformServices()->sleepMs(1);
    stopRequested.store(0, std::memory_order_release);
    threadStarted = 0;
}

int songRenderFinished() {
    return output.renderState.load(std::memory_order_acquire) == kRenderFinished;
}
