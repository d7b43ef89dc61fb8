// Envelope stages and curves, driven sample by sample through probe inputs.
#include "support/unit_harness.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr uint16_t kExponential = 0x40;

double segmentRate(double x) {
    return 1.0 / (x * x * x * 418381.75 + 1.0);
}

struct EnvelopeRig {
    explicit EnvelopeRig(uint16_t flags, double attack = 0, double decay = 0, double sustain = 1,
                         double release = 0) {
        trigger = h.probe(0.0);
        gate = h.probe(0.0);
        attackIn = h.probe(attack);
        decayIn = h.probe(decay);
        sustainIn = h.probe(sustain);
        releaseIn = h.probe(release);
        gain = h.probe(1.0);
        env = h.unit(UnitType::Envelope, {trigger, gate, attackIn, decayIn, sustainIn, releaseIn, gain},
                     {flags});
        h.alignToControlStep();
    }
    // Trigger for one sample with the gate up.
    Stereo start() {
        trigger->output = stereo(1.0);
        gate->output = stereo(1.0);
        Stereo first = h.step(env);
        trigger->output = stereo(0.0);
        return first;
    }
    bool active() const { return anyLane(env->activity); }
    double level() const { return leftOf(env->output); }
    // Steps until `done` holds; the samples that took.
    template <typename Done>
    int stepsUntil(Done done) {
        int samples = 0;
        for (; !done() && samples < 100000; ++samples) h.step(env);
        return samples;
    }

    UnitHarness h;
    UnitNode *trigger, *gate, *attackIn, *decayIn, *sustainIn, *releaseIn, *gain, *env;
};

TEST(EnvelopeTest, LinearSegmentsLastTheirMappedTime) {
    const double attack = 0.25, decay = 0.3, sustain = 0.5, release = 0.2;
    EnvelopeRig rig(0, attack, decay, sustain, release);
    rig.start();
    EXPECT_NEAR(1 + rig.stepsUntil([&] { return rig.level() >= 1.0; }), 1.0 / segmentRate(attack), 1.0);
    EXPECT_NEAR(rig.stepsUntil([&] { return rig.level() <= sustain; }), 1.0 / segmentRate(decay), 1.0);
    // Release from the sustain level to 0 lasts 1/rate samples whatever the level.
    rig.gate->output = stereo(0.0);
    EXPECT_NEAR(rig.stepsUntil([&] { return !rig.active(); }), 1.0 / segmentRate(release), 1.0);
    EXPECT_LE(leftOf(rig.env->output), 0x1p-16);
}

TEST(EnvelopeTest, ExponentialReleaseEndsWhenTheLevelFallsTo2PowMinus16) {
    const double release = 0.1;
    EnvelopeRig rig(kExponential, 0, 0, 1, release);
    rig.start();
    rig.h.step(rig.env);
    rig.gate->output = stereo(0.0);
    double step = std::exp2(-10 * segmentRate(release));
    double previous = leftOf(rig.env->output);
    int samples = 0;
    while (rig.active() && samples < 1000000) {
        double level = leftOf(rig.h.step(rig.env));
        if (samples > 0 && rig.active()) {
            EXPECT_NEAR(level / previous, step, 1e-6);
        }
        previous = level;
        ++samples;
    }
    ASSERT_FALSE(rig.active());
    double last = leftOf(rig.env->output);
    EXPECT_LE(last, 0x1p-16);
    EXPECT_GT(last, 0x1p-16 * step * 0.999); // the first level at or below the threshold
    EXPECT_GT(last, 0.0);                    // it never reaches zero exactly
    // Falling by 2^-10 per segment time, 2^-16 is reached after 1.6 segment times.
    EXPECT_NEAR(samples, 1.6 / segmentRate(release), 2.0);
}

} // namespace
