// Add (type 17), Crossfade (type 20) and Negate (type 45): stateless arithmetic on signals.
#include "synth/plan_steps.h"
#include "synth/unit.h"

void computeAdd(UnitNode* node) {
    node->output = input(node, 0) + input(node, 1);
}
QUORLAX_PLAN_STEPS(computeAdd)

// Inputs: from, to, amount. The amount is not clamped, so values outside 0-1 extrapolate.
void computeCrossfade(UnitNode* node) {
    const Stereo from = input(node, 0);
    node->output = from + (input(node, 1) - from) * input(node, 2);
}
QUORLAX_PLAN_STEPS(computeCrossfade)

// Flips the sign bits, so 0 becomes -0.
void computeNegate(UnitNode* node) {
    node->output = -input(node, 0);
}
QUORLAX_PLAN_STEPS(computeNegate)
