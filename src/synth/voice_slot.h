// The state of one sounding voice, and the voice currently being evaluated.
#pragma once

#include "synth/stereo.h"
#include "synth/unit_node.h"

#include <cstdint>

// 256 bytes, seen by the voice-value units as sixteen stereo fields numbered from 0.
struct alignas(16) VoiceSlot {
    UnitNode* root;       // field 0: the voice's output node, null while the slot is free
    int32_t note;         //          the note number, -1 once released
    uint32_t startSerial; //          value of the voice start counter when it started
    Stereo baseIncrement; // field 1: cycles per sample of the note
    Stereo noteValue;     // field 2: note / 128
    Stereo increment;     // field 3: field 1 times the pool's pitch factor
    Stereo noteShifted;   // field 4: note / 128 plus the pool's transpose input
    Stereo velocity;      // field 5: velocity / 128
    Stereo trigger;       // field 6: 1.0 in the voice's first sample only
    Stereo gate;          // field 7: 1.0 until the note-off
    Stereo spare[8];      // fields 8-15: never written
};
static_assert(sizeof(VoiceSlot) == 256);

inline constexpr int32_t kVoiceFieldCount = 16;

// Field k (1-15) of a slot as a stereo value.
inline Stereo voiceField(const VoiceSlot* slot, int32_t field) {
    return reinterpret_cast<const Stereo*>(slot)[field];
}
