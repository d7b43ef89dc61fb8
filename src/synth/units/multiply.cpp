// Multiply (types 0 and 15): the product of two signals.
#include "synth/unit.h"

// Multiply keeps no state. A unit that does declares it here, e.g.
//   struct EchoState { Stereo feedback; Stereo memory; };
// and reaches it with `EchoState& state = unitState<EchoState>(node);`.

void tickMultiply(UnitNode* node) {
    if (!beginTick(node)) return;
    tickInput(node, 0);
    tickInput(node, 1);
    node->output = input(node, 1) * input(node, 0);
}
