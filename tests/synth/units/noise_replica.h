// The synthesizer's noise draws, computed independently of its generator, for unit tests.
#pragma once

#include "synth/stereo.h"

#include <cstdint>

struct NoiseReplica {
    uint32_t lane0 = 1, lane1 = 31337;
    Stereo next() {
        lane0 *= 16007u;
        lane1 *= 16007u;
        return stereo(static_cast<int32_t>(lane1) * 0x1p-31, static_cast<int32_t>(lane0) * 0x1p-31);
    }
};
