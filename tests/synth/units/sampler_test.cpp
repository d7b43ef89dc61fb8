// SampleSource and Sampler: playback of a bank wave forwards and backwards at the stored rate
// and an octave up, loop points in either order, and the loop clamp on both lanes.
#include "../bank_blocks.h"
#include "support/unit_harness.h"
#include "synth/sample_bank.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

constexpr uint16_t kLoopOn = 8;

// Wave 0: 64 rising samples (k + 1) / 512, so 128 frames, each sample held for two frames.
// Wave 1: 2048 samples of a sine of period 180.3 samples (4096 frames). Wave 2: empty.
class SamplerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::vector<int16_t> ramp, sine;
        for (int32_t k = 0; k < 64; ++k) ramp.push_back(static_cast<int16_t>((k + 1) * 64));
        for (int32_t k = 0; k < 2048; ++k)
            sine.push_back(static_cast<int16_t>(std::lround(16000.0 * std::sin(2.0 * M_PI * k / 180.3))));
        std::vector<uint8_t> bank;
        appendDataBlock(bank, ramp);
        appendDataBlock(bank, sine);
        appendDataBlock(bank, {});
        loadSampleBank(bank.data(), bank.size());
        ASSERT_EQ(sampleBank().count, 3u);
    }
    void TearDown() override { releaseSampleBank(); }

    struct Controls {
        double start = 0.0, pitch = 0.0, direction = 0.0, loopA = 0.0, loopB = 0.0, crossfade = 0.0;
    };
    UnitNode* sampler(UnitHarness& h, UnitNode* source, const Controls& c, uint16_t flags = 0) {
        return h.unit(UnitType::Sampler,
                      {source, h.probe(c.start), h.probe(c.pitch), h.probe(c.direction), h.probe(c.loopA),
                       h.probe(c.loopB), h.probe(c.crossfade)},
                      {flags});
    }
    UnitNode* source(UnitHarness& h, uint16_t wave) { return h.unit(UnitType::SampleSource, {}, {wave}); }

    static double rampFrame(int32_t f) { return (f / 2 + 1) / 512.0; }
};

// The stored rate is exp2(0) = 0.99999999997 and an octave up 1.9999997, so positions land a
// hair before whole frames; the interpolated reads stay within 1e-4 of the frames.
TEST_F(SamplerTest, PlaysForwardsAndBackwardsAtTheStoredRateAndAnOctaveUp) {
    struct Case {
        const char* name;
        double direction;
        double pitch;
        int32_t firstFrame;
        int32_t frameStep;
        int32_t audible; // samples before the position runs off the wave
    };
    const Case cases[] = {
        {"forwards", 0.0, 0.0, 0, 1, 128},
        {"forwards, octave up", 0.0, 12.0 / 128.0, 0, 2, 64},
        // Backwards from the last frame; the sample whose next step passes frame 0 is silent.
        {"backwards", 0.5, 0.0, 127, -1, 127},
        {"backwards, octave up", 1.0, 12.0 / 128.0, 127, -2, 63},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UnitHarness h;
        Controls controls;
        controls.start = c.firstFrame == 0 ? 0.0 : 1.0;
        controls.pitch = c.pitch;
        controls.direction = c.direction;
        UnitNode* player = sampler(h, source(h, 0), controls);
        for (int32_t n = 0; n < c.audible + 64; ++n) {
            Stereo out = h.step(player);
            double expected = n < c.audible ? rampFrame(c.firstFrame + c.frameStep * n) : 0.0;
            ASSERT_NEAR(leftOf(out), expected, 1e-4) << n;
            ASSERT_EQ(leftOf(out), rightOf(out)) << n;
            if (n >= c.audible) {
                ASSERT_EQ(leftOf(out), 0.0) << n;
            }
        }
    }
}

TEST_F(SamplerTest, LoopPointsGivenInEitherOrderLoopTheSame) {
    UnitHarness h;
    UnitNode* src = source(h, 1);
    Controls ab;
    ab.loopA = 0.3;
    ab.loopB = 0.6;
    ab.crossfade = 0.4;
    Controls ba = ab;
    std::swap(ba.loopA, ba.loopB);
    UnitNode* first = sampler(h, src, ab, kLoopOn);
    UnitNode* second = sampler(h, src, ba, kLoopOn);
    for (int32_t n = 0; n < 8000; ++n) {
        first->tick(first);
        second->tick(second);
        ++synthGraph().sampleCounter;
        ASSERT_EQ(leftOf(first->output), leftOf(second->output)) << n;
    }
    EXPECT_NE(leftOf(first->output), 0.0);
}

} // namespace

// Once one lane is in the loop, the other lane's position is clamped into it too: the right lane,
// started past the loop end, sounds its own frame once, then holds at the loop end.
TEST_F(SamplerTest, LoopClampMovesBothLanesOnceOneIsInside) {
    UnitHarness h;
    UnitNode* player = h.unit(UnitType::Sampler,
                              {source(h, 0), h.probe(stereo(0.25, 0.625)), h.probe(0.0), h.probe(0.0),
                               h.probe(0.25), h.probe(0.5), h.probe(0.0)},
                              {kLoopOn});
    EXPECT_NEAR(rightOf(h.step(player)), rampFrame(80), 1e-4);
    for (int32_t n = 1; n < 200; ++n) ASSERT_NEAR(rightOf(h.step(player)), rampFrame(64), 1e-4) << n;
}
