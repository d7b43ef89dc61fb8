// The render thread: renders the whole song once into the buffer the audio device plays.
#pragma once

#include <atomic>
#include <cstdint>

// The song's output buffer: interleaved stereo f32 frames, written front to back by the render
// thread while the device plays it.
struct SongOutput {
    float* frames;
    // The frames the device plays and the render loop's bound: the song header's length (or fewer
    // for a partial render).
    uint32_t songFrames;
    // The room in `frames`: the length rounded up to whole sequencer ticks, which is what the
    // render loop writes.
    uint32_t capacityFrames;
    // Frames the render loop has finished, published after every tick; all capacityFrames once
    // it has ended.
    std::atomic<uint32_t> renderedFrames;
    // kRenderNotStarted until the render loop begins, kRendering while it runs, then kRenderFinished.
    std::atomic<int32_t> renderState;
};

constexpr int32_t kRenderNotStarted = 0;
constexpr int32_t kRendering = 1;
constexpr int32_t kRenderFinished = 2;

SongOutput* songOutput();
// The frames a song of `songFrames` needs when it is rendered in whole ticks of `samplesPerTick`.
uint64_t songCapacityFrames(uint32_t songFrames, uint32_t samplesPerTick);
// Allocates a zero-filled buffer (silence until rendered) for `songFrames`, replacing any other;
// 1 on success, 0 when out of memory.
int allocateSongOutput(uint32_t songFrames, uint32_t samplesPerTick);
// The same for a buffer of the caller's own (another song rendered beside the show's).
int allocateSongBuffer(SongOutput* output, uint32_t songFrames, uint32_t samplesPerTick);
void releaseSongBuffer(SongOutput* output);
// Makes songOutput() the buffer for the prepared synthesizer's song, keeping one already sized
// for it or for a partial render of it; 1 when it exists.
int prepareSongOutput();
void releaseSongOutput();

// The render loop over the prepared synthesizer (prepareSynth): under the synthesizer's float mode,
// from the song's start, whole sequencer ticks (due events, then the tick's frames, then the
// deferred frees) until output->songFrames are written, publishing progress after every tick.
// A song whose samples-per-tick is 0 or less renders nothing. Returns the frames written.
uint32_t renderSongOutput(SongOutput* output);
// Starts the render loop on a thread of its own at raised priority, into songOutput() (allocated
// here if need be). The thread is not joined: it ends when the song is rendered. 1 when started.
int startRenderThread();
// Starts a render thread into `target`: `prepare` runs on it first (it prepares the synthesizer
// and sizes target's buffer with allocateSongBuffer; 0 renders nothing), then the render loop.
// stopRenderThread stops it as it stops the show's. 1 when started.
int startRenderThreadFor(SongOutput* target, int (*prepare)(void* context, SongOutput* target),
                         void* context);
// 1 once the render loop has finished the song in songOutput().
int songRenderFinished();
// Asks a render thread started by startRenderThread to stop after its current tick and waits
// until it has, so the song buffer and the synthesizer may be freed; nothing when none runs.
void stopRenderThread();
