// Noise (type 8): white noise, or pink noise from an economy three-pole filter.
// Inputs: colour (0 white, 1 pink, between them a blend), amount.
#include "synth/plan_steps.h"
#include "synth/unit.h"

namespace {

struct NoiseUnitState {
    Stereo b0, b1, b2; // pink filter memories
};

} // namespace

void computeNoise(UnitNode* node) {
    const Stereo colour = input(node, 0);
    const Stereo x = noise();
    Stereo out = x;
    // While the colour is 0 the pink filter rests, so turning it on later resumes from where
    // it stopped.
    if (!bothZero(colour)) {
        NoiseUnitState& state = unitState<NoiseUnitState>(node);
        state.b0 = k0p99765 * state.b0 + k0p099046 * x;
        state.b1 = k0p963 * state.b1 + k0p2965164 * x;
        state.b2 = k0p57 * state.b2 + k1p0526913 * x;
        Stereo pink = clampOf((state.b0 + state.b1 + state.b2 + k0p1848 * x) * k0p2, -1.0, 1.0);
        out = (pink - x) * colour + x;
    }
    node->output = out * input(node, 1);
}
QUORLAX_PLAN_STEPS(computeNoise)
