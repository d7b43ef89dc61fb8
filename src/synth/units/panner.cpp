// Panner (type 13): equal-power placement between the lanes. Inputs: signal, position
// (0 left, 1 right).
#include "synth/plan_steps.h"
#include "synth/unit.h"

namespace {

struct PannerState {
    Stereo gains;
};

} // namespace

void computePanner(UnitNode* node) {
    PannerState& state = unitState<PannerState>(node);
    if (isControlStep()) {
        // The left gain comes from the position's right lane and the right gain from its left
        // lane, so a stereo position crosses over.
        Stereo p = clampOf(input(node, 1), 0.0, 1.0);
        state.gains = sqrtOf(stereo(1.0 - rightOf(p), leftOf(p)));
    }
    node->output = input(node, 0) * state.gains;
}
QUORLAX_PLAN_STEPS(computePanner)
