// Shaper and the level curve: transparency at drive 0, the sine fold's constants, the curves'
// shapes and unknown curves.
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

TEST(LevelCurveTest, ThreeQuartersIsUnityAndSixStepsDoubleOrHalve) {
    UnitHarness h;
    EXPECT_NEAR(leftOf(levelCurve(stereo(kUnity))), 1.0, 1e-10);
    EXPECT_NEAR(leftOf(levelCurve(stereo(kUnity + kOctave))), 2.0, 1e-9);
    EXPECT_NEAR(leftOf(levelCurve(stereo(kUnity - kOctave))), 0.5, 1e-10);
    EXPECT_NEAR(leftOf(levelCurve(stereo(kUnity + 1.0 / 128))), std::pow(2.0, 1.0 / 6), 1e-9);
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

TEST(ShaperTest, SineFoldAtDriveZeroUsesItsSmallestCurveConstant) {
    const double k = 0.000010000003385357559;
    EXPECT_EQ(k, k1em5);
    UnitHarness h;
    const double a = 1.0 / (leftOf(sineOf(stereo(k))) + 0.10000002384185791);
    EXPECT_GT(a, 9.999);
    EXPECT_LT(a, 10.0);
    const double gain = leftOf(levelCurve(stereo(kUnity)));
    UnitNode* signal = h.probe(0.0);
    UnitNode* node = shaper(h, signal, 0.0, kUnity, 4);
    for (double in : {0.0, 0.3, -0.7, 1.0, 5.0}) {
        signal->output = stereo(in);
        double x = in * (1.0 / gain);
        double expected = gain * (a * leftOf(sineOf(stereo((k + 0.10000002384185791 - k * x) * x))));
        EXPECT_DOUBLE_EQ(leftOf(h.step(node)), expected) << in;
    }
}

TEST(ShaperTest, CurvesShapeAfterDividingByTheLevel) {
    struct Case {
        const char* name;
        uint16_t curve;
        double drive, level, in, out;
    };
    // Curve 0 at drive 0.25: s = 0.5, k = 2, y = 3x / (2|x| + 1).
    // Curve 1 at drive 1: k = -2s' / (1 + s') with s' = 0.99765, y = (k + 1) x / (min(|x|, 1) k + 1).
    const double s = 0.997650146484375, k1 = -2 * s / (1 + s);
    const Case cases[] = {
        {"soft clip full", 0, 0.25, kUnity, 1.0, 1.0},
        {"soft clip half", 0, 0.25, kUnity, -0.5, -0.75},
        {"soft clip bends later at twice the level", 0, 0.25, kUnity + kOctave, 2.0, 2.0},
        {"soft clip small signal keeps its slope", 0, 0.25, kUnity + kOctave, 1e-6, 3e-6},
        {"expander quiet", 1, 1.0, kUnity, 0.25, (k1 + 1) * 0.25 / (0.25 * k1 + 1)},
        {"expander loud", 1, 1.0, kUnity, 3.0, (k1 + 1) * 3.0 / (k1 + 1)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UnitHarness h;
        UnitNode* node = shaper(h, h.probe(c.in), c.drive, c.level, c.curve);
        EXPECT_NEAR(leftOf(h.step(node)), c.out, std::abs(c.out) * 1e-6);
    }
}

TEST(ShaperTest, UnknownCurvesPassTheSignalUnshaped) {
    for (uint16_t curve : {2, 3, 5, 255, 0x104}) {
        UnitHarness h;
        UnitNode* node = shaper(h, h.probe(stereo(0.9, -3.5)), 0.8, kUnity + kOctave, curve);
        Stereo out = h.step(node);
        EXPECT_EQ(leftOf(out), 0.9) << curve;
        EXPECT_EQ(rightOf(out), -3.5) << curve;
    }
}

} // namespace
