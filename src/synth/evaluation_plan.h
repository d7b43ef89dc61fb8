// Evaluation plans: the pull through the unit graph recorded once as a flat list of steps and
// replayed every sample, with the same evaluations in the same order as the pull.
#pragma once

#include "synth/unit_node.h"

#include <cstdint>

// Whether the coming sample may be evaluated through plans: not while a pool is about to build
// voices, nor while the graph holds so many nodes that the pull's depth bound could be met
// (plans do not count depth). Sets the graph's planned flag.
bool beginPlannedSample();
// Evaluates a root (the master, a voice's output) for the current sample through its plan,
// built or rebuilt first when the evaluation order has changed since. Without memory for the
// plan the root is pulled.
void runPlan(UnitNode* root);
// A voice's output for the current sample, as its pool asks for it: through its plan when the
// sample is planned, else pulled.
void evaluateVoice(UnitNode* root);
// Makes the root's plan now, so that its memory is taken before the first sample. 0 when
// there is no memory for it.
int32_t preparePlan(UnitNode* root);
