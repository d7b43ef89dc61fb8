// Why plans: pulling the graph costs every node a recursive indirect call, a depth count, a
// stamp check and a test and a call per input, constants included, while most units do a few
// multiplications; measured on the built-in song, that overhead was about 40 % of all
// instructions. A plan walks the pull once, as a depth-first pass that mirrors each unit's pull
// order, and writes down what the pull would do: the units' computes in evaluation order, a
// stamp check before each shared node that something else may already have evaluated in this
// sample, and a guard around each ChannelOutput and RandomValue. Every sample then runs the
// plan's steps, each handing on to the next (plan_steps.h). In a voice's plan every shared node
// is checked (an earlier voice or the master may have been first; a per-voice node is reached
// only by its own voice). In the master's plan only the shared nodes a voice can reach are
// checked (graph.cpp marks them as voices are built): the master meets every other node once,
// and nothing else evaluates it, so its check could never skip.
// Measured on the built-in song, a sample took about 13,800 instructions pulled and 10,100
// through plans run as a loop; in that loop about 30 % of the instructions were the loop's own,
// and its one indirect call, shared by every step, was where the time stalled. Steps that jump
// to each other, with each unit's compute inside its own step, took the whole song from about
// 21 to about 27 times real time on one core. Laying the node record out for the evaluation
// (its first cache line holds what every step reads) gave about 4 % of that; software
// prefetching of the next steps' nodes or the next voice made it slower. Dropping the master's
// checks that could never skip (about 38 of the 50 stamp steps a sample ran) gave about 3 %.
// What is left is the units' own arithmetic, above all the oscillators (about a quarter of the
// time), the envelopes and the filters.
//
// The plan is the pull, not an approximation of it:
//  - a node met a second time during the walk is not placed again: at run time it has been
//    evaluated by then, or it is being evaluated (a loop), and the pull would return at once;
//  - a node whose stamp check finds it evaluated skips its inputs' steps with it, which is what
//    the pull skips: whatever evaluated it earlier in the sample evaluated those too;
//  - a guard skips its part when the channel has fallen asleep or the random value has been
//    fixed earlier in the same sample, or when the node is already pulling (a loop through it);
//  - what the walk decides once (a channel asleep, a value fixed, a node pulling when the walk
//    met it) is kept as long as the graph's plan generation stands; whatever changes it says so
//    (changeEvaluationOrder), and every plan is walked again before it next runs;
//  - unstamped units (voice values, controllers) are placed at every reach, as they run;
//  - plans count no depth: a sample runs planned only while no pull could nest as deep as the
//    bound (beginPlannedSample), and the samples in which pools build voices are pulled.
// A pool evaluates its voices through their own plans, in the order of its active list, so
// starting or ending a voice changes no plan.
#include "synth/evaluation_plan.h"

#include "base/memory.h"
#include "synth/plan_steps.h"
#include "synth/unit.h"
#include "synth/units/channel_output.h"
#include "synth/units/random_value.h"

// The runners are made in the units' files (plan_steps.h).
#define QUORLAX_EXTERN_PLAN_STEPS(number, name, compute, init, pull)                                         \
    extern template void runComputeStep<&compute>(const PlanStep*);                                          \
    extern template void runStampComputeStep<&compute>(const PlanStep*);
QUORLAX_UNIT_TYPES(QUORLAX_EXTERN_PLAN_STEPS)
#undef QUORLAX_EXTERN_PLAN_STEPS
extern template void runFinishStep<&followChannelOutput>(const PlanStep*);
extern template void runFinishStep<&drawRandomValue>(const PlanStep*);

namespace {

constexpr int32_t kFirstPlanRoom = 64;

// Evaluated already in this sample (by an earlier voice or the master): on past its compute.
void runCheckStamp(const PlanStep* step) {
    step += beginTick(step->node) ? 1 : step->skip;
    step->run(step);
}

// A guard's own reason to skip: the channel is asleep, the random value fixed.
bool guardShut(UnitNode* node) {
    if (node->type == static_cast<int32_t>(UnitType::ChannelOutput))
        return !anyLane(unitState<ChannelOutputState>(node).awake);
    return !bothZero(node->output);
}

// ChannelOutput asleep, RandomValue fixed, or either already pulling: on past its finish.
void runGuard(const PlanStep* step) {
    UnitNode* node = step->node;
    if (guardShut(node) || node->evaluating) {
        step += step->skip;
    } else {
        node->evaluating = 1;
        ++step;
    }
    step->run(step);
}

void runEnd(const PlanStep*) {}

// Per unit type, from the unit list: its compute's two runners.
struct ComputeRunners {
    StepRun compute;
    StepRun stampCompute;
};
#define QUORLAX_UNIT_RUNNERS(number, name, compute, init, pull)                                              \
    {&runComputeStep<&compute>, &runStampComputeStep<&compute>},
constexpr ComputeRunners kComputeRunners[] = {QUORLAX_UNIT_TYPES(QUORLAX_UNIT_RUNNERS)};
#undef QUORLAX_UNIT_RUNNERS
static_assert(sizeof(kComputeRunners) / sizeof(kComputeRunners[0]) == kUnitTypeCount);

const ComputeRunners& runnersOf(UnitType type) {
    return kComputeRunners[static_cast<int32_t>(type)];
}

} // namespace

struct alignas(16) EvaluationPlan {
    uint32_t generation;
    int32_t count;
    int32_t room;
    PlanStep* steps() { return reinterpret_cast<PlanStep*>(this + 1); }
};

namespace {

size_t planBytes(int32_t room) {
    return sizeof(EvaluationPlan) + static_cast<size_t>(room) * sizeof(PlanStep);
}

struct PlanWalk {
    UnitNode* root;
    uint32_t serial;
    bool failed;
    // A voice's plan checks every shared node's stamp; the master's only those of the shared
    // nodes a voice can reach, as no other evaluation in the sample can reach the rest.
    bool checkEveryShared;
};

// Appends a step; -1 when the plan cannot grow.
int32_t addStep(PlanWalk& walk, StepRun run, UnitNode* node) {
    EvaluationPlan* plan = walk.root->plan;
    if (walk.failed) return -1;
    if (plan->count == plan->room) {
        int32_t room = plan->room * 2;
        auto* grown = static_cast<EvaluationPlan*>(memRealloc(plan, planBytes(room)));
        if (!grown) {
            walk.failed = true;
            return -1;
        }
        grown->room = room;
        walk.root->plan = plan = grown;
    }
    plan->steps()[plan->count] = {run, node, 0};
    return plan->count++;
}

PlanStep& stepAt(PlanWalk& walk, int32_t i) {
    return walk.root->plan->steps()[i];
}

int32_t stepCount(PlanWalk& walk) {
    return walk.root->plan->count;
}

void place(PlanWalk& walk, UnitNode* node);

// What tickInput does with an input.
void reach(PlanWalk& walk, UnitNode* node) {
    if (node && node->tick != tickConstant) place(walk, node);
}

// A stamped node: the stamp check, its inputs in its pull order, its compute.
void placeStamped(PlanWalk& walk, UnitNode* node, const ComputeRunners& runners, UnitPull pull) {
    if (node->planVisit == walk.serial) return;
    node->planVisit = walk.serial;
    const bool checked = node->shared && (walk.checkEveryShared || node->voiceReach);
    int32_t check = checked ? addStep(walk, &runCheckStamp, node) : -1;
    int32_t before = stepCount(walk);
    if (pull.kind == PullKind::LastToFirst) {
        for (int32_t k = node->inputCount - 1; k >= 0; --k) reach(walk, node->inputs[k]);
    } else {
        for (int32_t k = pull.first; k < pull.first + pull.count; ++k) reach(walk, node->inputs[k]);
    }
    if (walk.failed) return;
    if (check >= 0 && stepCount(walk) == before) {
        stepAt(walk, check).run = runners.stampCompute;
        return;
    }
    addStep(walk, runners.compute, node);
    if (check >= 0 && !walk.failed) stepAt(walk, check).skip = stepCount(walk) - check;
}

// ChannelOutput: nothing while it is asleep or pulling; else the guard, the product (stamped
// as a Multiply) and the follower, which runs at every reach.
void placeChannelOutput(PlanWalk& walk, UnitNode* node) {
    if (node->planGuard == walk.serial || node->evaluating) return;
    if (!anyLane(unitState<ChannelOutputState>(node).awake)) return;
    int32_t guard = addStep(walk, &runGuard, node);
    node->planGuard = walk.serial;
    placeStamped(walk, node, runnersOf(UnitType::Multiply), inOrder(2));
    node->planGuard = 0;
    addStep(walk, &runFinishStep<&followChannelOutput>, node);
    if (!walk.failed) stepAt(walk, guard).skip = stepCount(walk) - guard;
}

// RandomValue: nothing once it is fixed or while it is pulling; else the guard, its range and
// the draw.
void placeRandomValue(PlanWalk& walk, UnitNode* node) {
    if (node->planGuard == walk.serial || node->evaluating || !bothZero(node->output)) return;
    int32_t guard = addStep(walk, &runGuard, node);
    node->planGuard = walk.serial;
    reach(walk, node->inputs[0]);
    node->planGuard = 0;
    addStep(walk, &runFinishStep<&drawRandomValue>, node);
    if (!walk.failed) stepAt(walk, guard).skip = stepCount(walk) - guard;
}

// What evaluating the node does.
void place(PlanWalk& walk, UnitNode* node) {
    const UnitPull pull = unitPull(node->type);
    switch (pull.kind) {
    case PullKind::Unstamped:
        if (node->tick != tickSilent && node->tick != tickConstant)
            addStep(walk, runnersOf(UnitType(node->type)).compute, node);
        return;
    case PullKind::InOrder:
    case PullKind::LastToFirst:
        placeStamped(walk, node, runnersOf(UnitType(node->type)), pull);
        return;
    case PullKind::Own:
        if (node->type == static_cast<int32_t>(UnitType::ChannelOutput))
            placeChannelOutput(walk, node);
        else
            placeRandomValue(walk, node);
        return;
    }
}

// Out of the way of runPlan, which mostly finds its plan current.
[[gnu::noinline]] EvaluationPlan* walkPlan(UnitNode* root) {
    SynthGraph& graph = synthGraph();
    if (!root->plan) {
        root->plan = static_cast<EvaluationPlan*>(memAlloc(planBytes(kFirstPlanRoom)));
        if (!root->plan) return nullptr;
        root->plan->room = kFirstPlanRoom;
    }
    root->plan->count = 0;
    PlanWalk walk{root, ++graph.planBuildSerial, false, !root->shared || root->voiceReach};
    place(walk, root);
    addStep(walk, &runEnd, root);
    EvaluationPlan* plan = root->plan;
    // A plan left incomplete stays out of date, so the next run walks again.
    plan->generation = walk.failed ? graph.planGeneration - 1 : graph.planGeneration;
    return walk.failed ? nullptr : plan;
}

// Runs the plan: each step's runner hands on to the next.
void runSteps(EvaluationPlan* plan) {
    const PlanStep* steps = plan->steps();
    steps->run(steps);
}

} // namespace

bool beginPlannedSample() {
    SynthGraph& graph = synthGraph();
    // Every pull nests through distinct nodes (a node being evaluated is stamped or marked), so
    // with fewer nodes than the bound no pull can reach it.
    graph.planned =
        graph.poolsWithNoteOns == 0 && graph.liveNodeCount + 2 < static_cast<int32_t>(kMaxEvaluationDepth);
    graph.plannedSampleCount += graph.planned;
    return graph.planned != 0;
}

void runPlan(UnitNode* root) {
    EvaluationPlan* plan = root->plan;
    if (!plan || plan->generation != synthGraph().planGeneration) plan = walkPlan(root);
    if (plan)
        runSteps(plan);
    else
        evaluateNode(root);
}

void evaluateVoice(UnitNode* root) {
    if (synthGraph().planned)
        runPlan(root);
    else
        evaluateNode(root);
}

int32_t preparePlan(UnitNode* root) {
    return root && walkPlan(root) ? 1 : 0;
}
