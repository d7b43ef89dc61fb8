// Sum (types 2 and 21): all inputs added, last to first.
#include "synth/plan_steps.h"
#include "synth/unit.h"

void computeSum(UnitNode* node) {
    Stereo sum = zeroStereo();
    for (int32_t k = node->inputCount - 1; k >= 0; --k) sum += input(node, k);
    node->output = sum;
}
QUORLAX_PLAN_STEPS(computeSum)
