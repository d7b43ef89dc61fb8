// Control mappings shared by several unit types: the gain level curve and the cutoff mapping.
#pragma once

#include "synth/stereo.h"
#include "synth/synth_math.h"
#include "synth/unit.h"

#include <cstdint>

// Gain from a control value: 2^((v - 0.75) * 128 / 6), so 0.75 is unity and every 6/128 above
// or below doubles or halves the gain. Multiplying before dividing keeps the steps of 6/128
// whole numbers of octaves (0.703125 gives exactly half the gain of 0.75).
inline Stereo levelCurve(Stereo v) {
    return exp2Of((v - 0.75) * 128.0 / 6.0);
}

inline constexpr uint16_t kCutoffSquared = 1u << 6;
inline constexpr uint16_t kCutoffFromVoice = 1u << 7;

// Filter frequency from a control value and a parameter word, in half-cycles per sample:
// with bit 7 twice the current voice's phase increment (the played note); else with bit 6
// v squared; else ten octaves of range below half the sample rate. Both mapped forms stay
// below the stored 0.99765.
inline Stereo cutoffMap(Stereo v, uint16_t flags) {
    if (flags & kCutoffFromVoice) return voiceField(currentVoice(), 3) * 2.0;
    if (flags & kCutoffSquared) return clampOf(v * v, 0.0, k0p99765);
    return minOf(1.0 / exp2Of((1.0 - v) * 10.0), stereo(k0p99765));
}
