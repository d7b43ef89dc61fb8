// The unit types: one list from which the type enum, the dispatch tables and the pull orders come.
//
// Adding a unit type:
//  1. Write src/synth/units/<name>.cpp (copy units/multiply.cpp). In it:
//     - the state layout: a struct of Stereo fields reached through unitState<...>(node); it is
//       zero when the node is created and must fit the node's 512-byte state area;
//     - the compute: `void compute<Name>(UnitNode* node)`, which reads the inputs' current
//       outputs (input), recomputes coefficients only when isControlStep(), and writes
//       node->output (and node->activity when the unit reports that it still sounds). It does
//       not evaluate its inputs: the graph has done that, in the order the row names, before it
//       calls the compute; right after it, `QUORLAX_PLAN_STEPS(compute<Name>)` makes the
//       evaluation plan's steps for it (synth/plan_steps.h);
//     - optionally an init hook `void init<Name>(UnitNode* node)` run once at creation, before
//       the inputs are bound; initWorkBuffer and initDelayBuffer allocate node->buffer, which
//       the graph frees with the node.
//  2. Change the unit's one line below: its compute, init hook and pull order replace
//     tickSilent, noInit and unstamped(). Declarations are generated from the list, so no header
//     needs editing.
//
// Pull orders: inOrder(n) evaluates inputs 0 … n-1 (inOrder(first, n) inputs first … first+n-1)
// and lastToFirst() every input from the last, each once per sample behind the node's stamp;
// unstamped() units evaluate nothing and compute at every reach (their function is their tick);
// ownPull() units write their whole tick themselves, and the evaluation plan knows them by type.
//
// A type whose tick is tickSilent outputs silence: its node exists, is never evaluated beyond
// that and keeps a zero output. Unknown type numbers (71-127) are treated the same way.
#pragma once

#include "synth/unit_node.h"

#include <cstdint>

// How a unit type evaluates its inputs before computing.
enum class PullKind : int32_t {
    InOrder,     // inputs first … first+count-1, then the compute, once per sample
    LastToFirst, // every bound input from the last to the first, then the compute
    Unstamped,   // no stamp and no input evaluated: the function runs at every reach
    Own,         // the function is a hand-written tick (ChannelOutput, RandomValue)
};
struct UnitPull {
    PullKind kind;
    int32_t first;
    int32_t count;
};
constexpr UnitPull inOrder(int32_t count) {
    return {PullKind::InOrder, 0, count};
}
constexpr UnitPull inOrder(int32_t first, int32_t count) {
    return {PullKind::InOrder, first, count};
}
constexpr UnitPull lastToFirst() {
    return {PullKind::LastToFirst, 0, 0};
}
constexpr UnitPull unstamped() {
    return {PullKind::Unstamped, 0, 0};
}
constexpr UnitPull ownPull() {
    return {PullKind::Own, 0, 0};
}

// UNIT(number, name, compute, init, pull): rows in number order, each after a comment line.
#define QUORLAX_UNIT_TYPES(UNIT)                                                                             \
    /*  0: product of two signals */                                                                         \
    UNIT(0, Multiply, computeMultiply, noInit, inOrder(2))                                                   \
    /*  1: a channel's gain, asleep while silent */                                                          \
    UNIT(1, ChannelOutput, tickChannelOutput, noInit, ownPull())                                             \
    /*  2: sum of all inputs */                                                                              \
    UNIT(2, Sum, computeSum, noInit, lastToFirst())                                                          \
    /*  3: starts, steals and mixes voices */                                                                \
    UNIT(3, VoicePool, computeVoicePool, initWorkBuffer, inOrder(1, 3))                                      \
    /*  4: root of every voice */                                                                            \
    UNIT(4, VoiceOutput, computeVoiceOutput, noInit, inOrder(3))                                             \
    /*  5: attack, decay, sustain, release */                                                                \
    UNIT(5, Envelope, computeEnvelope, noInit, inOrder(7))                                                   \
    /*  6: low-frequency oscillator */                                                                       \
    UNIT(6, Lfo, computeLfo, noInit, inOrder(4))                                                             \
    /*  7: unison oscillator */                                                                              \
    UNIT(7, Oscillator, computeOscillator, noInit, inOrder(7))                                               \
    /*  8: white and pink noise */                                                                           \
    UNIT(8, Noise, computeNoise, noInit, inOrder(2))                                                         \
    /*  9: cascaded biquad filter */                                                                         \
    UNIT(9, BiquadFilter, computeBiquadFilter, initBiquadSections, inOrder(4))                               \
    /* 10: no unit */                                                                                        \
    UNIT(10, Unused10, tickSilent, noInit, unstamped())                                                      \
    /* 11: no unit */                                                                                        \
    UNIT(11, Unused11, tickSilent, noInit, unstamped())                                                      \
    /* 12: no unit */                                                                                        \
    UNIT(12, Unused12, tickSilent, noInit, unstamped())                                                      \
    /* 13: equal-power panner */                                                                             \
    UNIT(13, Panner, computePanner, noInit, inOrder(2))                                                      \
    /* 14: no unit */                                                                                        \
    UNIT(14, Unused14, tickSilent, noInit, unstamped())                                                      \
    /* 15: product, a second number */                                                                       \
    UNIT(15, Multiply15, computeMultiply, noInit, inOrder(2))                                                \
    /* 16: no unit */                                                                                        \
    UNIT(16, Unused16, tickSilent, noInit, unstamped())                                                      \
    /* 17: sum of two signals */                                                                             \
    UNIT(17, Add, computeAdd, noInit, inOrder(2))                                                            \
    /* 18: no unit */                                                                                        \
    UNIT(18, Unused18, tickSilent, noInit, unstamped())                                                      \
    /* 19: no unit */                                                                                        \
    UNIT(19, Unused19, tickSilent, noInit, unstamped())                                                      \
    /* 20: blend of two signals */                                                                           \
    UNIT(20, Crossfade, computeCrossfade, noInit, inOrder(3))                                                \
    /* 21: sum of all inputs, a second number */                                                             \
    UNIT(21, Sum21, computeSum, noInit, lastToFirst())                                                       \
    /* 22: one lane on both sides */                                                                         \
    UNIT(22, ChannelSelect, computeChannelSelect, noInit, inOrder(1))                                        \
    /* 23: no unit */                                                                                        \
    UNIT(23, Unused23, tickSilent, noInit, unstamped())                                                      \
    /* 24: no unit */                                                                                        \
    UNIT(24, Unused24, tickSilent, noInit, unstamped())                                                      \
    /* 25: no unit */                                                                                        \
    UNIT(25, Unused25, tickSilent, noInit, unstamped())                                                      \
    /* 26: no unit */                                                                                        \
    UNIT(26, Unused26, tickSilent, noInit, unstamped())                                                      \
    /* 27: 1.0 while an envelope sounds */                                                                   \
    UNIT(27, EnvelopeActive, computeEnvelopeActive, noInit, inOrder(1))                                      \
    /* 28: no unit */                                                                                        \
    UNIT(28, Unused28, tickSilent, noInit, unstamped())                                                      \
    /* 29: a controller value */                                                                             \
    UNIT(29, Controller, tickController, noInit, unstamped())                                                \
    /* 30: waveshaper */                                                                                     \
    UNIT(30, Shaper, computeShaper, noInit, inOrder(3))                                                      \
    /* 31: stereo width */                                                                                   \
    UNIT(31, ChannelBlend, computeChannelBlend, noInit, inOrder(2))                                          \
    /* 32: delay line */                                                                                     \
    UNIT(32, Delay, computeDelay, initDelayBuffer, inOrder(2))                                               \
    /* 33: feedback echo */                                                                                  \
    UNIT(33, EchoDelay, computeEchoDelay, initDelayBuffer, inOrder(5))                                       \
    /* 34: DC blocking filter */                                                                             \
    UNIT(34, DcBlocker, computeDcBlocker, noInit, inOrder(2))                                                \
    /* 35: one random value per node */                                                                      \
    UNIT(35, RandomValue, tickRandomValue, noInit, ownPull())                                                \
    /* 36: comb and allpass reverb */                                                                        \
    UNIT(36, Reverb, computeReverb, initWorkBuffer, inOrder(6))                                              \
    /* 37: ten-band equaliser */                                                                             \
    UNIT(37, GraphicEq, computeGraphicEq, initWorkBuffer, inOrder(11))                                       \
    /* 38: no unit */                                                                                        \
    UNIT(38, Unused38, tickSilent, noInit, unstamped())                                                      \
    /* 39: no unit */                                                                                        \
    UNIT(39, Unused39, tickSilent, noInit, unstamped())                                                      \
    /* 40: no unit */                                                                                        \
    UNIT(40, Unused40, tickSilent, noInit, unstamped())                                                      \
    /* 41: no unit */                                                                                        \
    UNIT(41, Unused41, tickSilent, noInit, unstamped())                                                      \
    /* 42: sample player */                                                                                  \
    UNIT(42, Sampler, computeSampler, noInit, inOrder(7))                                                    \
    /* 43: state-variable filter */                                                                          \
    UNIT(43, StateVariableFilter, computeStateVariableFilter, noInit, inOrder(3))                            \
    /* 44: no unit */                                                                                        \
    UNIT(44, Unused44, tickSilent, noInit, unstamped())                                                      \
    /* 45: sign flip */                                                                                      \
    UNIT(45, Negate, computeNegate, noInit, inOrder(1))                                                      \
    /* 46: no unit */                                                                                        \
    UNIT(46, Unused46, tickSilent, noInit, unstamped())                                                      \
    /* 47: no unit */                                                                                        \
    UNIT(47, Unused47, tickSilent, noInit, unstamped())                                                      \
    /* 48: no unit */                                                                                        \
    UNIT(48, Unused48, tickSilent, noInit, unstamped())                                                      \
    /* 49: no unit */                                                                                        \
    UNIT(49, Unused49, tickSilent, noInit, unstamped())                                                      \
    /* 50: no unit */                                                                                        \
    UNIT(50, Unused50, tickSilent, noInit, unstamped())                                                      \
    /* 51: no unit */                                                                                        \
    UNIT(51, Unused51, tickSilent, noInit, unstamped())                                                      \
    /* 52: names a sample bank wave */                                                                       \
    UNIT(52, SampleSource, computeSampleSource, noInit, inOrder(0))                                          \
    /* 53: no unit */                                                                                        \
    UNIT(53, Unused53, tickSilent, noInit, unstamped())                                                      \
    /* 54: no unit */                                                                                        \
    UNIT(54, Unused54, tickSilent, noInit, unstamped())                                                      \
    /* 55: sample and hold */                                                                                \
    UNIT(55, SampleHold, computeSampleHold, noInit, inOrder(2))                                              \
    /* 56: no unit */                                                                                        \
    UNIT(56, Unused56, tickSilent, noInit, unstamped())                                                      \
    /* 57: no unit */                                                                                        \
    UNIT(57, Unused57, tickSilent, noInit, unstamped())                                                      \
    /* 58: three-band equaliser */                                                                           \
    UNIT(58, ThreeBandEq, computeThreeBandEq, noInit, inOrder(4))                                            \
    /* 59: no unit */                                                                                        \
    UNIT(59, Unused59, tickSilent, noInit, unstamped())                                                      \
    /* 60: no unit */                                                                                        \
    UNIT(60, Unused60, tickSilent, noInit, unstamped())                                                      \
    /* 61: no unit */                                                                                        \
    UNIT(61, Unused61, tickSilent, noInit, unstamped())                                                      \
    /* 62: no unit */                                                                                        \
    UNIT(62, Unused62, tickSilent, noInit, unstamped())                                                      \
    /* 63: no unit */                                                                                        \
    UNIT(63, Unused63, tickSilent, noInit, unstamped())                                                      \
    /* 64: a constant value, set at creation */                                                              \
    UNIT(64, Constant, tickConstant, noInit, unstamped())                                                    \
    /* 65: voice field 3: phase increment */                                                                 \
    UNIT(65, VoiceIncrement, tickVoiceValue, noInit, unstamped())                                            \
    /* 66: voice field 4: note plus transpose */                                                             \
    UNIT(66, VoiceNote, tickVoiceValue, noInit, unstamped())                                                 \
    /* 67: voice field 5: velocity */                                                                        \
    UNIT(67, VoiceVelocity, tickVoiceValue, noInit, unstamped())                                             \
    /* 68: voice field 6: trigger */                                                                         \
    UNIT(68, VoiceTrigger, tickVoiceValue, noInit, unstamped())                                              \
    /* 69: voice field 7: gate */                                                                            \
    UNIT(69, VoiceGate, tickVoiceValue, noInit, unstamped())                                                 \
    /* 70: voice field 8: always 0 */                                                                        \
    UNIT(70, VoiceSpare, tickVoiceValue, noInit, unstamped())
#define QUORLAX_DECLARE_UNIT(number, name, compute, init, pull)                                              \
    void compute(UnitNode* node);                                                                            \
    void init(UnitNode* node);
QUORLAX_UNIT_TYPES(QUORLAX_DECLARE_UNIT)
#undef QUORLAX_DECLARE_UNIT

// The value of a record's type field.
enum class UnitType : int32_t {
#define QUORLAX_UNIT_ENUM(number, name, compute, init, pull) name = number,
    QUORLAX_UNIT_TYPES(QUORLAX_UNIT_ENUM)
#undef QUORLAX_UNIT_ENUM
};

inline constexpr int32_t kUnitTypeCount = 71;

// The table's "no init hook" marker; it never runs.
void noInit(UnitNode* node);
// Outputs silence: the tick of empty, unknown and not yet written types.
void tickSilent(UnitNode* node);
// Allocate the node's zero-filled work buffer: 19,680 stereo frames (314,880 bytes) or
// 176,400 stereo frames (2,822,400 bytes, four seconds).
void initWorkBuffer(UnitNode* node);
void initDelayBuffer(UnitNode* node);
inline constexpr uint32_t kWorkBufferBytes = 314880;
inline constexpr uint32_t kDelayBufferBytes = 2822400;

// Dispatch: any type number is valid; unknown ones get tickSilent and no init hook. The tick
// evaluates the node's inputs as its pull order says and then computes; an evaluation plan
// evaluates the inputs itself and runs the compute alone (plan_steps.h).
UnitTick unitTick(int32_t type);
UnitPull unitPull(int32_t type);
UnitInit unitInit(int32_t type);
// The list's name of a type, "Unknown" past the end.
const char* unitTypeName(int32_t type);
