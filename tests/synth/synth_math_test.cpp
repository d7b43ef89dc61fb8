// The shared arithmetic: noise draws, exp2 under the render mode, floor and truncation.
#include "synth/float_mode.h"
#include "synth/synth_math.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdlib>
#include <xmmintrin.h>

namespace {

TEST(NoiseTest, FirstTwoDrawsFollowFromTheSeeds) {
    resetNoise();
    Stereo first = noise();
    EXPECT_EQ(leftOf(first), 501611359 * 0x1p-31);
    EXPECT_EQ(rightOf(first), 16007 * 0x1p-31);
    Stereo second = noise();
    // 501,611,359 x 16,007 mod 2^32 and 16,007^2, read as signed 32-bit values.
    EXPECT_EQ(leftOf(second), 1999147289 * 0x1p-31);
    EXPECT_EQ(rightOf(second), 256224049 * 0x1p-31);
}

} // namespace
