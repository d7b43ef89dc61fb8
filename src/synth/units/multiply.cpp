// Multiply (types 0 and 15): the product of two signals.
#include "synth/plan_steps.h"
#include "synth/unit.h"

// Multiply keeps no state. A unit that does declares it here, e.g.
//   struct EchoState { Stereo feedback; Stereo memory; };
// and reaches it with `EchoState& state = unitState<EchoState>(node);`.

void computeMultiply(UnitNode* node) {
    node->output = input(node, 1) * input(node, 0);
}
QUORLAX_PLAN_STEPS(computeMultiply)
