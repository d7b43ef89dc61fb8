// The audio output device: one stream of interleaved stereo f32 frames at 44,100 Hz played from
// one buffer, and the monotonic wall clock the presentation falls back on when no device opens.
#pragma once

#include "platform/platform.h"

#include <atomic>
#include <cstdint>

// What the device plays: `frames` holds `frameCount` interleaved stereo frames, played front to
// back and then again from the start (the device repeats the buffer until it is closed).
struct AudioStream {
    const float* frames;
    uint32_t frameCount;
    // Frames already written by their producer (null: all of them). The device plays silence past
    // this count instead of reading frames that may still be being written.
    const std::atomic<uint32_t>* readyFrames;
    // Called on the device's own thread each time it takes frames: `cursor` is the count of frames
    // taken since the start, these included. May be null.
    void (*onCursor)(void* context, uint64_t cursor);
    void* context;
    // When set, the device asks it for every chunk instead of reading `frames` (Linux): it writes
    // `frameCount` interleaved stereo frames into `out`; `cursor` is the count of frames taken
    // before them. Called on the device's own thread, with `context`. May be null.
    void (*fill)(void* context, float* out, uint32_t frameCount, uint64_t cursor);
};

// The device as a record of functions, so tests can replace it (a device that fails to open, a
// wall clock they move by hand). Every field is always set.
struct AudioDeviceServices {
    // Opens the device for the stream (copied); 1 on success, 0 when no device could be opened.
    int (*openDevice)(const AudioStream* stream);
    // Starts playing from frame 0; nothing when no device is open.
    void (*startDevice)();
    // Stops playback at once and closes the device; nothing when none is open.
    void (*closeDevice)();
    // Frames played since startDevice, or -1 when no device is open.
    int64_t (*devicePosition)();
    // A monotonic wall clock in microseconds.
    uint64_t (*nowMicroseconds)();
};

// The process-wide device services, initialised with this system's implementation.
AudioDeviceServices* audioDeviceServices();
// Puts every field back to this system's implementation.
void resetAudioDeviceServices();
