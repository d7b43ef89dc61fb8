// Small patches shared by the voice, sequencer and render tests.
#pragma once

#include "support/synth_builder.h"

// Envelope inputs of a test voice.
struct VoiceShape {
    float attack = 0.0f;
    float decay = 0.0f;
    float sustain = 1.0f;
    float release = 0.0f;
    uint16_t flags = 0x30;  // trigger and gate from the voice
    float transpose = 0.0f; // the pool's transpose input
};

// A pool named `pool` (keys lowest-highest, `voices` voices) whose voices are "voice": a
// VoiceOutput of an Envelope "env" (its output and its activity) times `level`.
inline void addEnvelopePool(PatchBuilder& patch, const std::string& pool, int32_t lowest, int32_t highest,
                            int32_t voices, const VoiceShape& shape = {}, float level = 1.0f) {
    std::string zero = patch.constant(0.0f);
    std::string voice = pool + ".voice", env = pool + ".env";
    patch.node(pool, UnitType::VoicePool, {voice, patch.constant(shape.transpose), zero, zero},
               {keyRange(lowest, highest), poolVoiceLimit(voices)});
    patch.voiceNode(voice, UnitType::VoiceOutput, {env, patch.constant(level), env});
    patch.voiceNode(env, UnitType::Envelope,
                    {zero, zero, patch.constant(shape.attack), patch.constant(shape.decay),
                     patch.constant(shape.sustain), patch.constant(shape.release), patch.constant(1.0f)},
                    {shape.flags});
}
