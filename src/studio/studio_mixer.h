// What the studio's sound device plays: the current song buffer from the playhead, silence while
// paused, and a short crossfade when a newly rendered buffer takes over. The device's thread calls
// mixFrames; the main thread seeks, pauses and switches.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

// One rendered song as the mixer reads it: frames past `ready` (null: all) are not written yet and
// play as silence, as does everything past frameCount.
struct MixSource {
    const float* frames;
    uint32_t frameCount;
    const std::atomic<uint32_t>* ready;
};

struct StudioMixer {
    std::mutex lock;
    MixSource current{};
    MixSource fading{}; // the buffer fading out, fadeLength - fadeDone more frames
    uint32_t fadeDone = 0, fadeLength = 0;
    uint64_t position = 0; // the song frame the next frame comes from
    bool playing = false;
    // Bumped by every seek, pause and play, so a chunk mixed before it is not taken for the clock.
    uint64_t generation = 0;
    // The last chunk: the device's count of frames taken before it, the song frame it started at,
    // its length, and whether it played under the current generation.
    uint64_t chunkCursor = 0, chunkFrame = 0;
    uint32_t chunkFrames = 0;
    bool chunkPlaying = false;
    uint64_t chunkGeneration = UINT64_MAX;
};

// A crossfade of 20 ms: long enough not to click, short enough not to blur a beat.
constexpr uint32_t kMixerFadeFrames = 882;

// Writes `frames` interleaved stereo frames: silence while paused, else the current buffer from
// the position on (mixed with the fading one while a crossfade runs), and moves the position on.
// `cursor` is the device's count of frames taken before these.
void mixFrames(StudioMixer* mixer, float* out, uint32_t frames, uint64_t cursor);
// Playback from song frame `frame`, playing or paused.
void mixerSeek(StudioMixer* mixer, uint64_t frame, bool playing);
// Makes `next` the current buffer at the position: with fadeFrames > 0 the old one fades out over
// that many frames while the new one fades in, else it is cut over at once.
void mixerSwitch(StudioMixer* mixer, MixSource next, uint32_t fadeFrames);
// True while the buffer replaced by the last switch is still being read.
bool mixerFading(StudioMixer* mixer);
// The song frame being played when the device has taken `devicePosition` frames (its interpolated
// position); false when no chunk has played since the last seek or play.
bool mixerPlayhead(StudioMixer* mixer, int64_t devicePosition, uint64_t* frame);
