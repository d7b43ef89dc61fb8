// The waveform core shared by Lfo and Oscillator: phase, unison voices and eight waveforms.
#pragma once

#include "synth/unit.h"

#include <cstdint>

inline constexpr int32_t kMaxUnisonVoices = 8;

// One unison voice of the core.
struct OscVoice {
    Stereo phase;    // accumulated cycles; never wrapped
    Stereo previous; // last wrapped phase, to see the wrap
    Stereo harmonic; // harmonic number of the random-harmonic waveform
};

// The state of Lfo and Oscillator nodes.
struct OscState {
    Stereo increment;   // cycles per sample, set on the control step
    Stereo modulation;  // added to the increment every sample
    Stereo initialised; // nonzero once the start phases are drawn
    OscVoice voices[kMaxUnisonVoices];
};

// Waveforms, bits 0-7 of the parameter word.
enum OscWaveform : uint16_t {
    kWavePulseSine = 0,
    kWaveSaw = 1,
    kWaveSquare = 2,
    kWaveTriangle = 3,
    kWaveTwoTriangles = 5,
    kWaveRampedPulses = 6,
    kWaveRandomHarmonic = 7,
};

// One sample of the node's first `voices` unison voices (1 to 8), summed from voice 0 up. Reads
// the node's input 1 (phase offset), input 2 (width) and, with more than one voice, input 6
// (detune), which multiplies the increment once more for each further voice. Sets the node's
// activity to the lanes whose phase wrapped in the last voice. Unknown waveforms give 0.
Stereo oscCore(UnitNode* node, uint16_t flags, int32_t voices);
