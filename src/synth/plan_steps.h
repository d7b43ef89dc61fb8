// The steps of an evaluation plan (evaluation_plan.h) and the runners of the units' computes.
//
// A step is a runner, the node it works on and, for a check, how far on its node's part ends.
// Every runner ends by running the step after it (or the one its check skips to) as a tail
// call, so each kind of step, each unit's compute and each check, has its own indirect jump,
// which the processor predicts from that kind's own history; one call in a loop shared by every
// step was mispredicted often. The synthesizer's files are always built with optimisation, which
// makes those calls jumps.
//
// A unit's runners are made in the unit's own file, right after its compute, by
// QUORLAX_PLAN_STEPS(compute): there the compiler puts the compute's arithmetic inside them, so
// a step costs no call of its own. A compute named in the unit list without its line there
// fails to link.
#pragma once

#include "synth/unit.h"

#include <cstdint>

struct PlanStep;
using StepRun = void (*)(const PlanStep* step);

struct PlanStep {
    StepRun run;
    UnitNode* node;
    int32_t skip; // a check or guard: how many steps on its node's part ends
};

// The unit's arithmetic, its inputs current.
template <UnitTick Compute>
void runComputeStep(const PlanStep* step) {
    Compute(step->node);
    ++step;
    step->run(step);
}

// The stamp check and the compute of a shared node whose inputs need no step.
template <UnitTick Compute>
void runStampComputeStep(const PlanStep* step) {
    UnitNode* node = step->node;
    if (beginTick(node)) Compute(node);
    ++step;
    step->run(step);
}

// The end of a guarded part: the follower of a ChannelOutput, the draw of a RandomValue.
template <UnitTick Compute>
void runFinishStep(const PlanStep* step) {
    step->node->evaluating = 0;
    Compute(step->node);
    ++step;
    step->run(step);
}

#define QUORLAX_PLAN_STEPS(compute)                                                                          \
    template void runComputeStep<&compute>(const PlanStep*);                                                 \
    template void runStampComputeStep<&compute>(const PlanStep*);
#define QUORLAX_PLAN_FINISH_STEP(compute) template void runFinishStep<&compute>(const PlanStep*);
