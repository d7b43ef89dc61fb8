// ChannelOutput (type 1): a channel's gain stage, asleep while the channel is silent.
#pragma once

#include "synth/unit.h"

struct ChannelOutputState {
    Stereo awake;    // mask; all zero while asleep
    Stereo follower; // level follower of the output's magnitude
};

// After the product: follows the output's level and puts the channel to sleep once it has
// stayed near silence.
void followChannelOutput(UnitNode* node);

// A note event on the channel: awake in both lanes, follower at 0.125, so the channel runs at
// least until that level has decayed into silence.
inline void wakeChannelOutput(UnitNode* node) {
    ChannelOutputState& state = unitState<ChannelOutputState>(node);
    if (!anyLane(state.awake)) changeEvaluationOrder(); // the channel's subtree comes back
    state.awake = allOnes();
    state.follower = stereo(0.125);
}
