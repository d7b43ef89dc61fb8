// ChannelOutput (type 1): the product of its two inputs while the channel is awake.
#include "synth/units/channel_output.h"
#include "synth/plan_steps.h"

void tickChannelOutput(UnitNode* node) {
    // Asleep, or reached again from its own inputs: nothing below is evaluated and the output
    // keeps its last value.
    if (!anyLane(unitState<ChannelOutputState>(node).awake) || node->evaluating) return;
    node->evaluating = 1;
    if (beginTick(node)) {
        tickInputs(node, 2);
        computeMultiply(node);
    }
    node->evaluating = 0;
    followChannelOutput(node);
}
QUORLAX_PLAN_STEPS(tickChannelOutput)

// The follower runs on every call, stamped or not, as the sleep rule is defined.
void followChannelOutput(UnitNode* node) {
    ChannelOutputState& state = unitState<ChannelOutputState>(node);
    Stereo magnitude = absOf(node->output);
    state.follower = (state.follower - magnitude) * k0p99994755 + magnitude;
    state.awake = lessThan(stereo(k1em5), state.follower);
    if (!anyLane(state.awake)) changeEvaluationOrder(); // the channel's subtree drops out
}
QUORLAX_PLAN_FINISH_STEP(followChannelOutput)
