// VoiceOutput (type 4): the root of a voice; its activity decides when the voice ends.
#include "synth/plan_steps.h"
#include "synth/unit.h"

void computeVoiceOutput(UnitNode* node) {
    node->output = input(node, 1) * input(node, 0);
    node->activity = notEqual(input(node, 2), zeroStereo());
}
QUORLAX_PLAN_STEPS(computeVoiceOutput)
