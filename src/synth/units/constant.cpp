// Constant (type 64): its value is set when the node is created from the patch's constants.
#include "synth/unit.h"

void tickConstant(UnitNode*) {}
