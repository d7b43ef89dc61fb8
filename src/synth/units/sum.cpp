// Sum (types 2 and 21): all inputs added, last to first.
#include "synth/unit.h"

void tickSum(UnitNode* node) {
    if (!beginTick(node)) return;
    for (int32_t k = node->inputCount - 1; k >= 0; --k) tickInput(node, k);
    Stereo sum = zeroStereo();
    for (int32_t k = node->inputCount - 1; k >= 0; --k) sum += input(node, k);
    node->output = sum;
}
