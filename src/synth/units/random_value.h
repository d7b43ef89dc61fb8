// RandomValue (type 35): one random value per node, drawn until it is nonzero.
#pragma once

#include "synth/unit.h"

// After the range is evaluated: one draw of the shared noise times the range.
void drawRandomValue(UnitNode* node);
