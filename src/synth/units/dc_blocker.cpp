// DcBlocker (type 34): first-order high-pass removing the DC offset. Inputs: signal, pole.
#include "synth/plan_steps.h"
#include "synth/unit.h"

namespace {

struct DcBlockerState {
    Stereo previousInput; // the output doubles as the filter's other memory
};

} // namespace

// A pole at or above this is limited to it, so the filter cannot run away.
void computeDcBlocker(UnitNode* node) {
    DcBlockerState& state = unitState<DcBlockerState>(node);
    const Stereo x = input(node, 0);
    const Stereo pole = minOf(input(node, 1), stereo(k0p99994755));
    node->output = pole * node->output + x - state.previousInput;
    state.previousInput = x;
}
QUORLAX_PLAN_STEPS(computeDcBlocker)
