// ChannelOutput (type 1): a channel's gain stage, asleep while the channel is silent.
#pragma once

#include "synth/unit.h"

struct ChannelOutputState {
    Stereo awake;    // mask; all zero while asleep
    Stereo follower; // level follower of the output's magnitude
};

// A note event on the channel: awake in both lanes, follower at 0.125, so the channel runs at
// least until that level has decayed into silence.
inline void wakeChannelOutput(UnitNode* node) {
    ChannelOutputState& state = unitState<ChannelOutputState>(node);
    state.awake = allOnes();
    state.follower = stereo(0.125);
}
