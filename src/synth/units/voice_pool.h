// VoicePool (type 3): starts voices from a template for queued notes, steals, mixes and ends them.
#pragma once

#include "synth/unit.h"

inline constexpr int32_t kMidiNoteCount = 128;
inline constexpr int32_t kPoolSlots = 64;

// The pool's work buffer (from initWorkBuffer).
struct VoicePoolBuffer {
    int32_t activeCount;
    int32_t notesChanged; // set by the sequencer when the held notes change
    int32_t heldCount;
    uint32_t held[kMidiNoteCount]; // note-on serial while a note is held, else 0
    int32_t activeList[128];       // slots of the sounding voices in activation order
    VoiceSlot slots[kPoolSlots];
};
static_assert(sizeof(VoicePoolBuffer) <= kWorkBufferBytes);

// Room in a pool's note queues for one tick; the sequencer drops events past it.
inline constexpr int32_t kNoteOffQueueRoom = 32;
inline constexpr int32_t kNoteOnQueueRoom = 48;

// A queued note: note + 256 * velocity.
inline uint32_t packQueuedNote(int32_t note, int32_t velocity) {
    return static_cast<uint32_t>(note + 256 * velocity);
}
inline int32_t queuedNote(uint32_t entry) {
    return static_cast<int32_t>(entry & 0xFF);
}
inline int32_t queuedVelocity(uint32_t entry) {
    return static_cast<int32_t>((entry >> 8) & 0xFF);
}

// The pool's node state: the note queues the sequencer fills during a tick.
struct VoicePoolState {
    uint32_t offQueue[kNoteOffQueueRoom]; // packed notes
    int32_t offCount;
    uint32_t onQueue[kNoteOnQueueRoom];
    int32_t onCount;
    Stereo pitchFactor;
};

// 64, 32, 16 or 8 voices, from bits 13-14 of the pool's flags word.
inline int32_t poolVoiceLimitOf(uint16_t flags) {
    return 64 >> ((flags >> 13) & 3);
}
