// ChannelSelect (type 22) and ChannelBlend (type 31): moving signal between the lanes.
#include "synth/plan_steps.h"
#include "synth/unit.h"

// One lane on both sides: parameter word 0 takes the left lane, any other value the right.
void computeChannelSelect(UnitNode* node) {
    const Stereo in = input(node, 0);
    node->output = paramWord(node) == 0 ? stereo(leftOf(in)) : stereo(rightOf(in));
}
QUORLAX_PLAN_STEPS(computeChannelSelect)

// Inputs: signal, amount. Amount 0 keeps the lanes, 0.5 gives the mono mix on both and 1 swaps
// them.
void computeChannelBlend(UnitNode* node) {
    const Stereo in = input(node, 0);
    const Stereo g = clampOf(input(node, 1), 0.0, 1.0);
    // (R - L, L - R): left = L + g (R - L) and right = R - g (R - L) in one step.
    node->output = in + g * (swapLanes(in) - in);
}
QUORLAX_PLAN_STEPS(computeChannelBlend)
