// Shaper (type 30): waveshaping distortion. Inputs: signal, drive, level. Parameter word: the
// curve, 0 soft clip, 1 expander, 4 sine fold; other curves pass the signal unshaped.
// The level sets where the curve bends: the signal is divided by it before shaping and
// multiplied after, so small signals keep their level.
#include "synth/plan_steps.h"
#include "synth/units/mappings.h"

namespace {

struct ShaperState {
    Stereo k;          // curve constant from the drive
    Stereo normaliser; // sine fold: 1 / the fold's peak
    Stereo inverseGain;
    Stereo gain;
};

enum ShaperCurve : uint16_t {
    kSoftClip = 0,
    kExpander = 1,
    kSineFold = 4,
};

void computeCurve(ShaperState& state, UnitNode* node, uint16_t curve) {
    state.gain = levelCurve(input(node, 2));
    state.inverseGain = 1.0 / state.gain;
    const Stereo m = maxOf(input(node, 1), zeroStereo());
    const Stereo limit = stereo(k0p99765); // keeps 1 - s away from 0
    if (curve == kSoftClip || curve == kExpander) {
        Stereo s = curve == kSoftClip ? sqrtOf(minOf(m, limit)) : -minOf(m, limit);
        state.k = 2.0 * s / (1.0 - s);
    } else if (curve == kSineFold) {
        state.k = 32.0 * (m * m) + k1em5;
        Stereo folded = 1.0 / (sineOf(state.k) + k0p1);
        state.normaliser = select(lessThan(state.k, stereo(1.0)), folded, stereo(1.0 / (1.0 + k0p1)));
    }
}

} // namespace

void computeShaper(UnitNode* node) {
    ShaperState& state = unitState<ShaperState>(node);
    const uint16_t curve = paramWord(node);
    if (curve != kSoftClip && curve != kExpander && curve != kSineFold) {
        node->output = input(node, 0);
        return;
    }
    if (isControlStep()) computeCurve(state, node, curve);

    const Stereo x = input(node, 0) * state.inverseGain;
    const Stereo k = state.k;
    Stereo y;
    if (curve == kSoftClip)
        y = (k + 1.0) * x / (k * absOf(x) + 1.0);
    else if (curve == kExpander)
        y = (k + 1.0) * x / (minOf(absOf(x), stereo(1.0)) * k + 1.0);
    else
        y = state.normaliser * sineOf((k + k0p1 - k * x) * x);
    node->output = state.gain * y;
}
QUORLAX_PLAN_STEPS(computeShaper)
