// Shaper: transparency at drive 0 and the curves' shapes.
#include "noise_replica.h"
#include "support/unit_harness.h"
#include "synth/units/mappings.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr double kUnity = 0.75;       // level curve: gain 1
constexpr double kOctave = 6.0 / 128; // level curve: twice or half the gain

UnitNode* shaper(UnitHarness& h, UnitNode* signal, double drive, double level, uint16_t curve) {
    return h.unit(UnitType::Shaper, {signal, h.probe(drive), h.probe(level)}, {curve});
}

TEST(ShaperTest, DriveZeroIsTransparentForCurvesZeroAndOne) {
    for (uint16_t curve : {0, 1}) {
        for (double level : {kUnity, kUnity - 3 * kOctave, kUnity + kOctave}) {
            SCOPED_TRACE(testing::Message() << "curve " << curve << " level " << level);
            UnitHarness h;
            UnitNode* signal = h.probe(0.0);
            UnitNode* node = shaper(h, signal, 0.0, level, curve);
            NoiseReplica source;
            for (int32_t n = 0; n < 64; ++n) {
                signal->output = source.next() * 4.0;
                Stereo out = h.step(node);
                ASSERT_NEAR(leftOf(out), leftOf(signal->output), 1e-15 * 4) << n;
                ASSERT_NEAR(rightOf(out), rightOf(signal->output), 1e-15 * 4) << n;
            }
        }
    }
}

} // namespace
