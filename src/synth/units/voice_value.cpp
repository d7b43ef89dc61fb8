// VoiceValue (types 65-70): one field of the voice being evaluated, scaled by a constant input.
#include "synth/plan_steps.h"
#include "synth/unit.h"

// No stamp and no tick of the input: the value is read fresh for whichever voice the pool is
// evaluating, and the input is a constant.
void tickVoiceValue(UnitNode* node) {
    int32_t field = node->type - 62;
    node->output = voiceField(currentVoice(), field) * input(node, 0);
}
QUORLAX_PLAN_STEPS(tickVoiceValue)
