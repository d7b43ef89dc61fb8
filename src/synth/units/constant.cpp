// Constant (type 64): its value is set when the node is created from the patch's constants.
#include "synth/plan_steps.h"
#include "synth/unit.h"

void tickConstant(UnitNode*) {}
QUORLAX_PLAN_STEPS(tickConstant)
