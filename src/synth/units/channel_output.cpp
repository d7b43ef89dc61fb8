// ChannelOutput (type 1): the product of its two inputs while the channel is awake.
#include "synth/units/channel_output.h"

void tickChannelOutput(UnitNode* node) {
    ChannelOutputState& state = unitState<ChannelOutputState>(node);
    // Asleep, or reached again from its own inputs: nothing below is evaluated and the output
    // keeps its last value.
    if (!anyLane(state.awake) || node->evaluating) return;
    node->evaluating = 1;
    tickMultiply(node);
    node->evaluating = 0;
    // The follower runs on every call, stamped or not, as the sleep rule is defined.
    Stereo magnitude = absOf(node->output);
    state.follower = (state.follower - magnitude) * k0p99994755 + magnitude;
    state.awake = lessThan(stereo(k1em5), state.follower);
}
