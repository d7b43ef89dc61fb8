// Envelope (type 5). Inputs: trigger, gate, attack, decay, sustain level, release, gain.
// Flags: bit 4 adds the voice's trigger, bit 5 the voice's gate, bit 6 makes decay and release
// exponential, bit 7 reads the gain on the level curve.
#include "synth/plan_steps.h"
#include "synth/unit.h"

namespace {

struct EnvelopeState {
    Stereo stage; // 0 idle, 0.5 attack, 1 decay, 2 sustain, 10 release
    Stereo level;
    Stereo rate;  // per-sample change of the linear segments
    Stereo step;  // per-sample factor of the exponential segments
    Stereo curve; // exponential decay from 1 towards 0
    Stereo gain;
};

// Flag bits of the parameter word.
constexpr uint16_t kAddVoiceTrigger = 1u << 4;
constexpr uint16_t kAddVoiceGate = 1u << 5;
constexpr uint16_t kExponential = 1u << 6;
constexpr uint16_t kGainOnLevelCurve = 1u << 7;

constexpr double kAttack = 0.5, kDecay = 1.0, kSustain = 2.0, kRelease = 10.0;
constexpr double kSilentLevel = 0x1p-16;

// Per-sample rate of a segment: x = 0 lasts one sample, x = 1 about 9.49 s.
Stereo segmentRate(Stereo x) {
    Stereo t = maxOf(x, zeroStereo());
    return 1.0 / (t * t * t * 418381.75 + 1.0);
}

} // namespace

void computeEnvelope(UnitNode* node) {
    EnvelopeState& env = unitState<EnvelopeState>(node);
    const uint16_t flags = paramWord(node);
    const VoiceSlot* voice = currentVoice();

    if (isControlStep())
        env.gain =
            (flags & kGainOnLevelCurve) ? exp2Of((input(node, 6) - 0.75) * 128.0 / 6.0) : input(node, 6);

    Stereo trigger = input(node, 0);
    if (flags & kAddVoiceTrigger) trigger += voice->trigger;
    Stereo triggered = greaterEqual(trigger, stereo(0.5));
    if (anyLane(triggered)) {
        env.stage = select(triggered, stereo(kAttack), env.stage);
        env.level = bitAndNot(triggered, env.level);
        env.rate = select(triggered, segmentRate(input(node, 2)), env.rate);
    }

    Stereo gate = input(node, 1);
    if (flags & kAddVoiceGate) gate += voice->gate;
    Stereo gateLow = lessThan(gate, stereo(0.5));
    Stereo releasing = bitAnd(gateLow, lessEqual(env.stage, stereo(kSustain)));
    if (anyLane(releasing)) {
        Stereo r = segmentRate(input(node, 5));
        env.stage = select(releasing, stereo(kRelease), env.stage);
        env.rate = select(releasing, r * env.level, env.rate);
        env.step = select(releasing, exp2Of(-10.0 * r), env.step);
    }
    if (anyLane(gateLow)) {
        Stereo fallen =
            (flags & kExponential) ? env.level * env.step : maxOf(env.level - env.rate, zeroStereo());
        env.level = select(gateLow, fallen, env.level);
    }

    Stereo sustain = maxOf(input(node, 4), zeroStereo());
    Stereo sustaining = equalTo(env.stage, stereo(kSustain));
    if (_mm_movemask_pd(sustaining.v) != 3) {
        Stereo decaying = equalTo(env.stage, stereo(kDecay));
        if (anyLane(decaying)) {
            Stereo level;
            if (flags & kExponential) {
                env.curve = select(decaying, env.curve * env.step, env.curve);
                level = (1.0 - sustain) * env.curve + sustain;
            } else {
                level = maxOf(env.level - env.rate, sustain);
            }
            env.level = select(decaying, level, env.level);
            Stereo settled = bitAnd(decaying, lessEqual(env.level, sustain + kSilentLevel));
            env.stage = select(settled, stereo(kSustain), env.stage);
        }
        Stereo attacking = equalTo(env.stage, stereo(kAttack));
        if (anyLane(attacking)) {
            env.level = select(attacking, minOf(env.level + env.rate, stereo(1.0)), env.level);
            Stereo peaked = bitAnd(attacking, equalTo(env.level, stereo(1.0)));
            if (anyLane(peaked)) {
                Stereo r = segmentRate(input(node, 3));
                env.stage = select(peaked, stereo(kDecay), env.stage);
                env.rate = select(peaked, (1.0 - sustain) * r, env.rate);
                env.step = select(peaked, exp2Of(-10.0 * r), env.step);
                env.curve = select(peaked, stereo(1.0), env.curve);
            }
        }
    } else {
        env.level = sustain;
    }

    node->activity = bitOr(greaterThan(env.level, stereo(kSilentLevel)), equalTo(env.stage, stereo(kAttack)));
    node->output = env.level * env.gain;
}
QUORLAX_PLAN_STEPS(computeEnvelope)
