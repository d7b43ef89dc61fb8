// Mappings several unit types share: the level curve, the tempo table and the cutoff mapping.
#pragma once

#include "synth/unit.h"

#include <cstdint>

// Gain from a control value: 0.75 is unity and every 6/128 above or below doubles or halves it,
// so one step of 1/128 is about 1 dB.
inline Stereo levelCurve(Stereo v) {
    return exp2Of((v - 0.75) * 128.0 / 6.0);
}

// Tempo-synced lengths in beats, indexed by a control value times 32. The thirds, sixths and
// twelfths are the nearest floats, as the patch's timing was tuned with them.
inline constexpr int32_t kTempoTableSize = 33;
inline constexpr float kTempoTable[kTempoTableSize] = {
    1.0f / 32, 1.0f / 24, 3.0f / 64, 1.0f / 16, 1.0f / 12, 3.0f / 32, 1.0f / 8, 1.0f / 6, 3.0f / 16,
    1.0f / 4,  1.0f / 3,  3.0f / 8,  1.0f / 2,  2.0f / 3,  3.0f / 4,  1.0f,     4.0f / 3, 3.0f / 2,
    2.0f,      8.0f / 3,  3.0f,      4.0f,      6.0f,      1.5f,      2.5f,     3.5f,     4.5f,
    5.5f,      6.5f,      7.5f,      3.0f,      5.0f,      7.0f,
};

// Cutoff-mapping flags of the filters' parameter words.
inline constexpr uint16_t kCutoffSquared = 0x40;    // bit 6: the control value squared
inline constexpr uint16_t kCutoffFollowsKey = 0x80; // bit 7: twice the played note's frequency

// A filter's normalised cutoff (1.0 = half the sample rate) from its control value: with bit 7
// the current voice's pitch, with bit 6 the square of v, otherwise ten octaves of exponential
// travel ending at v = 1. Kept just below 1 so the filters stay stable.
inline Stereo cutoffMap(Stereo v, uint16_t flags) {
    if (flags & kCutoffFollowsKey) return currentVoice()->increment * 2.0;
    if (flags & kCutoffSquared) return clampOf(v * v, 0.0, k0p99765);
    return minOf(1.0 / exp2Of((1.0 - v) * 10.0), stereo(k0p99765));
}
