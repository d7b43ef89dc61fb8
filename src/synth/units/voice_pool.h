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

// The pool's node state: the note queues the sequencer fills during a tick.
struct VoicePoolState {
    uint32_t offQueue[32]; // note + 256 * velocity
    int32_t offCount;
    uint32_t onQueue[48];
    int32_t onCount;
    Stereo pitchFactor;
};

// 64, 32, 16 or 8 voices, from bits 13-14 of the pool's flags word.
inline int32_t poolVoiceLimitOf(uint16_t flags) {
    return 64 >> ((flags >> 13) & 3);
}
