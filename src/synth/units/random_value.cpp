// RandomValue (type 35): one random value in [-range, range) per node, drawn on its first tick
// and kept. Placed in a voice template it gives every voice its own value.
#include "synth/units/random_value.h"
#include "synth/plan_steps.h"

// No stamp: until a draw comes out nonzero, every tick draws again (a range of 0 keeps
// drawing). Afterwards the node neither draws nor ticks its input. Reached again from its own
// input, it answers with its previous output (zero) and draws nothing.
void tickRandomValue(UnitNode* node) {
    if (!bothZero(node->output) || node->evaluating) return;
    node->evaluating = 1;
    tickInput(node, 0);
    node->evaluating = 0;
    drawRandomValue(node);
}
QUORLAX_PLAN_STEPS(tickRandomValue)

void drawRandomValue(UnitNode* node) {
    node->output = noise() * input(node, 0);
    // Fixed from now on: a range that is evaluated (not a constant) is no longer reached here.
    const UnitNode* range = node->inputs[0];
    if (!bothZero(node->output) && range && range->tick != tickConstant) changeEvaluationOrder();
}
QUORLAX_PLAN_FINISH_STEP(drawRandomValue)
