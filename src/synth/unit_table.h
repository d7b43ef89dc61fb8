// The unit types: one list from which the type enum, the dispatch table and the init table come.
//
// Adding a unit type:
//  1. Write src/synth/units/<name>.cpp (copy units/multiply.cpp). In it:
//     - the state layout: a struct of Stereo fields reached through unitState<...>(node); it is
//       zero when the node is created and must fit the node's 512-byte state area;
//     - the tick: `void tick<Name>(UnitNode* node)`, which starts with `if (!beginTick(node))
//       return;`, ticks the inputs it needs (tickInput), reads them (input), recomputes
//       coefficients only when isControlStep(), and writes node->output (and node->activity
//       when the unit reports that it still sounds);
//     - optionally an init hook `void init<Name>(UnitNode* node)` run once at creation, before
//       the inputs are bound; initWorkBuffer and initDelayBuffer allocate node->buffer, which
//       the graph frees with the node.
//  2. Change the unit's one line below: its tick (and init hook) replace tickSilent (noInit).
//     Declarations are generated from the list, so no header needs editing.
//
// A type whose tick is tickSilent outputs silence: its node exists, is never evaluated beyond
// that and keeps a zero output. Unknown type numbers (71-127) are treated the same way.
#pragma once

#include "synth/unit_node.h"

#include <cstdint>

// UNIT(number, name, tick, init): rows in number order, each after a comment line.
#define QUORLAX_UNIT_TYPES(UNIT)                                                                             \
    /*  0: product of two signals */                                                                         \
    UNIT(0, Multiply, tickMultiply, noInit)                                                                  \
    /*  1: a channel's gain, asleep while silent */                                                          \
    UNIT(1, ChannelOutput, tickChannelOutput, noInit)                                                        \
    /*  2: sum of all inputs */                                                                              \
    UNIT(2, Sum, tickSum, noInit)                                                                            \
    /*  3: starts, steals and mixes voices */                                                                \
    UNIT(3, VoicePool, tickVoicePool, initWorkBuffer)                                                        \
    /*  4: root of every voice */                                                                            \
    UNIT(4, VoiceOutput, tickVoiceOutput, noInit)                                                            \
    /*  5: attack, decay, sustain, release */                                                                \
    UNIT(5, Envelope, tickEnvelope, noInit)                                                                  \
    /*  6: low-frequency oscillator */                                                                       \
    UNIT(6, Lfo, tickLfo, noInit)                                                                            \
    /*  7: unison oscillator */                                                                              \
    UNIT(7, Oscillator, tickOscillator, noInit)                                                              \
    /*  8: white and pink noise */                                                                           \
    UNIT(8, Noise, tickNoise, noInit)                                                                        \
    /*  9: cascaded biquad filter */                                                                         \
    UNIT(9, BiquadFilter, tickBiquadFilter, initBiquadSections)                                              \
    /* 10: no unit */                                                                                        \
    UNIT(10, Unused10, tickSilent, noInit)                                                                   \
    /* 11: no unit */                                                                                        \
    UNIT(11, Unused11, tickSilent, noInit)                                                                   \
    /* 12: no unit */                                                                                        \
    UNIT(12, Unused12, tickSilent, noInit)                                                                   \
    /* 13: equal-power panner */                                                                             \
    UNIT(13, Panner, tickPanner, noInit)                                                                     \
    /* 14: no unit */                                                                                        \
    UNIT(14, Unused14, tickSilent, noInit)                                                                   \
    /* 15: product, a second number */                                                                       \
    UNIT(15, Multiply15, tickMultiply, noInit)                                                               \
    /* 16: no unit */                                                                                        \
    UNIT(16, Unused16, tickSilent, noInit)                                                                   \
    /* 17: sum of two signals */                                                                             \
    UNIT(17, Add, tickAdd, noInit)                                                                           \
    /* 18: no unit */                                                                                        \
    UNIT(18, Unused18, tickSilent, noInit)                                                                   \
    /* 19: no unit */                                                                                        \
    UNIT(19, Unused19, tickSilent, noInit)                                                                   \
    /* 20: blend of two signals */                                                                           \
    UNIT(20, Crossfade, tickCrossfade, noInit)                                                               \
    /* 21: sum of all inputs, a second number */                                                             \
    UNIT(21, Sum21, tickSum, noInit)                                                                         \
    /* 22: one lane on both sides */                                                                         \
    UNIT(22, ChannelSelect, tickChannelSelect, noInit)                                                       \
    /* 23: no unit */                                                                                        \
    UNIT(23, Unused23, tickSilent, noInit)                                                                   \
    /* 24: no unit */                                                                                        \
    UNIT(24, Unused24, tickSilent, noInit)                                                                   \
    /* 25: no unit */                                                                                        \
    UNIT(25, Unused25, tickSilent, noInit)                                                                   \
    /* 26: no unit */                                                                                        \
    UNIT(26, Unused26, tickSilent, noInit)                                                                   \
    /* 27: 1.0 while an envelope sounds */                                                                   \
    UNIT(27, EnvelopeActive, tickEnvelopeActive, noInit)                                                     \
    /* 28: no unit */                                                                                        \
    UNIT(28, Unused28, tickSilent, noInit)                                                                   \
    /* 29: a controller value */                                                                             \
    UNIT(29, Controller, tickController, noInit)                                                             \
    /* 30: waveshaper */                                                                                     \
    UNIT(30, Shaper, tickShaper, noInit)                                                                     \
    /* 31: stereo width */                                                                                   \
    UNIT(31, ChannelBlend, tickChannelBlend, noInit)                                                         \
    /* 32: delay line */                                                                                     \
    UNIT(32, Delay, tickDelay, initDelayBuffer)                                                              \
    /* 33: feedback echo */                                                                                  \
    UNIT(33, EchoDelay, tickEchoDelay, initDelayBuffer)                                                      \
    /* 34: DC blocking filter */                                                                             \
    UNIT(34, DcBlocker, tickDcBlocker, noInit)                                                               \
    /* 35: one random value per node */                                                                      \
    UNIT(35, RandomValue, tickRandomValue, noInit)                                                           \
    /* 36: comb and allpass reverb */                                                                        \
    UNIT(36, Reverb, tickReverb, initWorkBuffer)                                                             \
    /* 37: ten-band equaliser */                                                                             \
    UNIT(37, GraphicEq, tickGraphicEq, initWorkBuffer)                                                       \
    /* 38: no unit */                                                                                        \
    UNIT(38, Unused38, tickSilent, noInit)                                                                   \
    /* 39: no unit */                                                                                        \
    UNIT(39, Unused39, tickSilent, noInit)                                                                   \
    /* 40: no unit */                                                                                        \
    UNIT(40, Unused40, tickSilent, noInit)                                                                   \
    /* 41: no unit */                                                                                        \
    UNIT(41, Unused41, tickSilent, noInit)                                                                   \
    /* 42: sample player */                                                                                  \
    UNIT(42, Sampler, tickSampler, noInit)                                                                   \
    /* 43: state-variable filter */                                                                          \
    UNIT(43, StateVariableFilter, tickStateVariableFilter, noInit)                                           \
    /* 44: no unit */                                                                                        \
    UNIT(44, Unused44, tickSilent, noInit)                                                                   \
    /* 45: sign flip */                                                                                      \
    UNIT(45, Negate, tickNegate, noInit)                                                                     \
    /* 46: no unit */                                                                                        \
    UNIT(46, Unused46, tickSilent, noInit)                                                                   \
    /* 47: no unit */                                                                                        \
    UNIT(47, Unused47, tickSilent, noInit)                                                                   \
    /* 48: no unit */                                                                                        \
    UNIT(48, Unused48, tickSilent, noInit)                                                                   \
    /* 49: no unit */                                                                                        \
    UNIT(49, Unused49, tickSilent, noInit)                                                                   \
    /* 50: no unit */                                                                                        \
    UNIT(50, Unused50, tickSilent, noInit)                                                                   \
    /* 51: no unit */                                                                                        \
    UNIT(51, Unused51, tickSilent, noInit)                                                                   \
    /* 52: names a sample bank wave */                                                                       \
    UNIT(52, SampleSource, tickSampleSource, noInit)                                                         \
    /* 53: no unit */                                                                                        \
    UNIT(53, Unused53, tickSilent, noInit)                                                                   \
    /* 54: no unit */                                                                                        \
    UNIT(54, Unused54, tickSilent, noInit)                                                                   \
    /* 55: sample and hold */                                                                                \
    UNIT(55, SampleHold, tickSampleHold, noInit)                                                             \
    /* 56: no unit */                                                                                        \
    UNIT(56, Unused56, tickSilent, noInit)                                                                   \
    /* 57: no unit */                                                                                        \
    UNIT(57, Unused57, tickSilent, noInit)                                                                   \
    /* 58: three-band equaliser */                                                                           \
    UNIT(58, ThreeBandEq, tickThreeBandEq, noInit)                                                           \
    /* 59: no unit */                                                                                        \
    UNIT(59, Unused59, tickSilent, noInit)                                                                   \
    /* 60: no unit */                                                                                        \
    UNIT(60, Unused60, tickSilent, noInit)                                                                   \
    /* 61: no unit */                                                                                        \
    UNIT(61, Unused61, tickSilent, noInit)                                                                   \
    /* 62: no unit */                                                                                        \
    UNIT(62, Unused62, tickSilent, noInit)                                                                   \
    /* 63: no unit */                                                                                        \
    UNIT(63, Unused63, tickSilent, noInit)                                                                   \
    /* 64: a constant value, set at creation */                                                              \
    UNIT(64, Constant, tickConstant, noInit)                                                                 \
    /* 65: voice field 3: phase increment */                                                                 \
    UNIT(65, VoiceIncrement, tickVoiceValue, noInit)                                                         \
    /* 66: voice field 4: note plus transpose */                                                             \
    UNIT(66, VoiceNote, tickVoiceValue, noInit)                                                              \
    /* 67: voice field 5: velocity */                                                                        \
    UNIT(67, VoiceVelocity, tickVoiceValue, noInit)                                                          \
    /* 68: voice field 6: trigger */                                                                         \
    UNIT(68, VoiceTrigger, tickVoiceValue, noInit)                                                           \
    /* 69: voice field 7: gate */                                                                            \
    UNIT(69, VoiceGate, tickVoiceValue, noInit)                                                              \
    /* 70: voice field 8: always 0 */                                                                        \
    UNIT(70, VoiceSpare, tickVoiceValue, noInit)

#define QUORLAX_DECLARE_UNIT(number, name, tick, init)                                                       \
    void tick(UnitNode* node);                                                                               \
    void init(UnitNode* node);
QUORLAX_UNIT_TYPES(QUORLAX_DECLARE_UNIT)
#undef QUORLAX_DECLARE_UNIT

// The value of a record's type field.
enum class UnitType : int32_t {
#define QUORLAX_UNIT_ENUM(number, name, tick, init) name = number,
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

// Dispatch: any type number is valid; unknown ones get tickSilent and no init hook.
UnitTick unitTick(int32_t type);
UnitInit unitInit(int32_t type);
// The list's name of a type, "Unknown" past the end.
const char* unitTypeName(int32_t type);
