// The floating-point mode every synthesizer computation runs under, set by one scoped guard.
#pragma once

#include <cstdint>

// 0xFFC0: all exceptions masked, denormal inputs read as zero, denormal results flushed to
// zero, rounding toward zero. Conversions to integers and the narrowing of output samples to
// float truncate under it, and the sound depends on that.
inline constexpr uint32_t kSynthFloatMode = 0xFFC0;

// Loads the synthesizer's mode for its lifetime; restores the previous mode, with its
// exception flags cleared, when it ends.
struct FloatModeGuard {
    FloatModeGuard();
    ~FloatModeGuard();
    FloatModeGuard(const FloatModeGuard&) = delete;
    FloatModeGuard& operator=(const FloatModeGuard&) = delete;

    uint32_t saved;
};
