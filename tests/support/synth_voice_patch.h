// A playable voice built from the sound units: a key-tracked oscillator through a biquad
// low-pass and a panner, shaped by an envelope that also ends the voice. Shared by the voice
// tests and the voice benchmark.
#pragma once

#include "support/synth_builder.h"

#include <string>

struct SynthVoiceShape {
    uint16_t waveform = 1;  // saw
    int32_t unison = 1;     // 1-8 voices
    float detune = 0.1f;    // unison detune input
    float cutoff = 0.8f;    // on the ten-octave cutoff curve
    float resonance = 0.0f; // Q = 2^(10 resonance)
    float position = 0.5f;  // panner
    float attack = 0.05f, decay = 0.2f, sustain = 0.6f, release = 0.1f;
};

// A pool named `pool` holding up to `voices` voices of the chain, for every key.
inline void addSynthVoicePool(PatchBuilder& patch, const std::string& pool, int32_t voices,
                              const SynthVoiceShape& shape = {}) {
    const std::string zero = patch.constant(0.0f), one = patch.constant(1.0f);
    const std::string voice = pool + ".voice", env = pool + ".env", active = pool + ".active";
    const std::string pan = pool + ".pan", filter = pool + ".filter", osc = pool + ".osc";
    patch.node(pool, UnitType::VoicePool, {voice, zero, zero, zero},
               {keyRange(0, 127), poolVoiceLimit(voices)});
    patch.voiceNode(voice, UnitType::VoiceOutput, {pan, env, active});
    patch.voiceNode(active, UnitType::EnvelopeActive, {env});
    // Trigger and gate come from the voice (flags 0x30).
    patch.voiceNode(env, UnitType::Envelope,
                    {zero, zero, patch.constant(shape.attack), patch.constant(shape.decay),
                     patch.constant(shape.sustain), patch.constant(shape.release), one},
                    {0x30});
    patch.voiceNode(pan, UnitType::Panner, {filter, patch.constant(shape.position)});
    patch.voiceNode(filter, UnitType::BiquadFilter,
                    {osc, patch.constant(shape.cutoff), patch.constant(shape.resonance), zero}, {0});
    const uint16_t oscFlags = static_cast<uint16_t>(shape.waveform | (shape.unison - 1) << 8 | 0x800);
    patch.voiceNode(
        osc, UnitType::Oscillator,
        {zero, zero, patch.constant(0.5f), zero, zero, patch.constant(0.5f), patch.constant(shape.detune)},
        {oscFlags});
}
