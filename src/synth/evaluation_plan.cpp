// Why plans: pulling the graph costs every node a recursive indirect call, a depth count, a
// stamp check and a test and a call per input, constants included, while most units do a few
// multiplications; measured on the built-in song, that overhead was about 40 % of all
// instructions. A plan walks the pull once, as a depth-first pass that mirrors each unit's pull
// order, and writes down what the pull would do: the units' computes in evaluation order, a
// stamp check before each shared node (an earlier voice or the master may already have
// evaluated it in this sample; a per-voice node is reached only by its own voice), and a guard
// around each ChannelOutput and RandomValue. Every sample then runs the plan as a straight loop.
// Measured on the built-in song, a sample took about 13,800 instructions pulled and 10,100
// through plans; what is left is the units' own work and the memory of their node records, most
// of which miss the first-level cache every sample (about 290 misses a sample); the loop's own
// steps take about a sixth of the time.
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
#include "synth/unit.h"
#include "synth/units/channel_output.h"
#include "synth/units/random_value.h"

namespace {

enum class PlanOp : int32_t {
    Compute,      // the unit's arithmetic, its inputs current
    CheckStamp,   // evaluated already in this sample: on past the node's compute
    StampCompute, // the two above for a node whose inputs need no step
    Guard,        // ChannelOutput asleep, RandomValue fixed, or already pulling: on past its finish
    Finish,       // the follower of a ChannelOutput, the draw of a RandomValue
    End,
};

struct PlanStep {
    UnitTick compute;
    UnitNode* node;
    PlanOp op;
    int32_t next; // CheckStamp and the guards: the step after the node's part
};

constexpr int32_t kFirstPlanRoom = 64;

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
};

// Appends a step; -1 when the plan cannot grow.
int32_t addStep(PlanWalk& walk, PlanOp op, UnitNode* node, UnitTick compute = nullptr) {
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
    plan->steps()[plan->count] = {compute, node, op, 0};
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
void placeStamped(PlanWalk& walk, UnitNode* node, UnitTick compute, UnitPull pull) {
    if (node->planVisit == walk.serial) return;
    node->planVisit = walk.serial;
    int32_t check = node->shared ? addStep(walk, PlanOp::CheckStamp, node, compute) : -1;
    int32_t before = stepCount(walk);
    if (pull.kind == PullKind::LastToFirst) {
        for (int32_t k = node->inputCount - 1; k >= 0; --k) reach(walk, node->inputs[k]);
    } else {
        for (int32_t k = pull.first; k < pull.first + pull.count; ++k) reach(walk, node->inputs[k]);
    }
    if (walk.failed) return;
    if (check >= 0 && stepCount(walk) == before) {
        stepAt(walk, check).op = PlanOp::StampCompute;
        return;
    }
    addStep(walk, PlanOp::Compute, node, compute);
    if (check >= 0 && !walk.failed) stepAt(walk, check).next = stepCount(walk);
}

// ChannelOutput: nothing while it is asleep or pulling; else the guard, the product (stamped
// as a Multiply) and the follower, which runs at every reach.
void placeChannelOutput(PlanWalk& walk, UnitNode* node) {
    if (node->planGuard == walk.serial || node->evaluating) return;
    if (!anyLane(unitState<ChannelOutputState>(node).awake)) return;
    int32_t guard = addStep(walk, PlanOp::Guard, node);
    node->planGuard = walk.serial;
    placeStamped(walk, node, &computeMultiply, inOrder(2));
    node->planGuard = 0;
    addStep(walk, PlanOp::Finish, node, &followChannelOutput);
    if (!walk.failed) stepAt(walk, guard).next = stepCount(walk);
}

// RandomValue: nothing once it is fixed or while it is pulling; else the guard, its range and
// the draw.
void placeRandomValue(PlanWalk& walk, UnitNode* node) {
    if (node->planGuard == walk.serial || node->evaluating || !bothZero(node->output)) return;
    int32_t guard = addStep(walk, PlanOp::Guard, node);
    node->planGuard = walk.serial;
    reach(walk, node->inputs[0]);
    node->planGuard = 0;
    addStep(walk, PlanOp::Finish, node, &drawRandomValue);
    if (!walk.failed) stepAt(walk, guard).next = stepCount(walk);
}

// What evaluating the node does.
void place(PlanWalk& walk, UnitNode* node) {
    const UnitPull pull = unitPull(node->type);
    switch (pull.kind) {
    case PullKind::Unstamped:
        if (node->tick != tickSilent && node->tick != tickConstant)
            addStep(walk, PlanOp::Compute, node, node->tick);
        return;
    case PullKind::InOrder:
    case PullKind::LastToFirst:
        placeStamped(walk, node, unitCompute(node->type), pull);
        return;
    case PullKind::Own:
        if (node->type == static_cast<int32_t>(UnitType::ChannelOutput))
            placeChannelOutput(walk, node);
        else
            placeRandomValue(walk, node);
        return;
    }
}

EvaluationPlan* walkPlan(UnitNode* root) {
    SynthGraph& graph = synthGraph();
    if (!root->plan) {
        root->plan = static_cast<EvaluationPlan*>(memAlloc(planBytes(kFirstPlanRoom)));
        if (!root->plan) return nullptr;
        root->plan->room = kFirstPlanRoom;
    }
    root->plan->count = 0;
    PlanWalk walk{root, ++graph.planBuildSerial, false};
    place(walk, root);
    addStep(walk, PlanOp::End, root);
    EvaluationPlan* plan = root->plan;
    // A plan left incomplete stays out of date, so the next run walks again.
    plan->generation = walk.failed ? graph.planGeneration - 1 : graph.planGeneration;
    return walk.failed ? nullptr : plan;
}

// A guard's own reason to skip: the channel is asleep, the random value fixed.
bool guardShut(UnitNode* node) {
    if (node->type == static_cast<int32_t>(UnitType::ChannelOutput))
        return !anyLane(unitState<ChannelOutputState>(node).awake);
    return !bothZero(node->output);
}

// The straight loop every sample runs.
void runSteps(EvaluationPlan* plan) {
    const uint32_t now = synthGraph().sampleCounter;
    const PlanStep* steps = plan->steps();
    for (int32_t i = 0;;) {
        const PlanStep& step = steps[i];
        UnitNode* node = step.node;
        // Most steps are computes: they take one branch, the rest the switch.
        if (step.op == PlanOp::Compute) {
            step.compute(node);
            ++i;
            continue;
        }
        switch (step.op) {
        case PlanOp::End:
            return;
        case PlanOp::Compute: // taken above
            break;
        case PlanOp::CheckStamp:
            if (node->stamp == now) {
                i = step.next;
            } else {
                node->stamp = now;
                ++i;
            }
            break;
        case PlanOp::StampCompute:
            if (node->stamp != now) {
                node->stamp = now;
                step.compute(node);
            }
            ++i;
            break;
        case PlanOp::Guard:
            if (guardShut(node) || node->evaluating) {
                i = step.next;
            } else {
                node->evaluating = 1;
                ++i;
            }
            break;
        case PlanOp::Finish:
            node->evaluating = 0;
            step.compute(node);
            ++i;
            break;
        }
    }
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
