// Reverb: the dry path at mix 0, comb feedback from the room size, the line lengths with their
// stereo spread, the width control and what input gain 0 leaves circulating.
#include "framework/memory.h"
#include "support/unit_harness.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

constexpr int32_t kStride = 1640;

// Deterministic test signal in [-1, 1).
struct TestNoise {
    uint32_t seed = 12345;
    double next() {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<int32_t>(seed) * 0x1p-31;
    }
    Stereo nextStereo() {
        double left = next();
        return stereo(left, next());
    }
};

struct ReverbRig {
    UnitHarness& h;
    UnitNode* signal;
    UnitNode* gain;
    UnitNode* room;
    UnitNode* damping;
    UnitNode* mix;
    UnitNode* width;
    UnitNode* reverb;

    ReverbRig(UnitHarness& harness, double gainValue, double roomValue, double dampingValue, double mixValue,
              double widthValue)
        : h(harness), signal(h.probe(0.0)), gain(h.probe(gainValue)), room(h.probe(roomValue)),
          damping(h.probe(dampingValue)), mix(h.probe(mixValue)), width(h.probe(widthValue)),
          reverb(h.unit(UnitType::Reverb, {signal, gain, room, damping, mix, width})) {}

    // Frame f of line `line`, lane 0 (left) or 1 (right).
    double frame(int32_t line, int32_t f, int32_t lane) const {
        return static_cast<const double*>(reverb->buffer)[2 * (line * kStride + f) + lane];
    }
};

// Ticks several rigs in the same sample, then advances the clock once.
void stepAll(std::initializer_list<UnitNode*> nodes) {
    for (UnitNode* node : nodes) node->tick(node);
    ++synthGraph().sampleCounter;
}

TEST(ReverbTest, MixZeroOutputsTheDrySignalExactly) {
    UnitHarness h;
    ReverbRig dry(h, 1.0, 0.7, 0.3, 0.0, 1.0);
    ReverbRig wet(h, 1.0, 0.7, 0.3, 1.0, 1.0);
    TestNoise noise;
    double wetEnergy = 0.0;
    for (int32_t n = 0; n < 6000; ++n) {
        Stereo x = noise.nextStereo();
        dry.signal->output = wet.signal->output = x;
        stepAll({dry.reverb, wet.reverb});
        ASSERT_EQ(leftOf(dry.reverb->output), leftOf(x)) << n;
        ASSERT_EQ(rightOf(dry.reverb->output), rightOf(x)) << n;
        wetEnergy += std::fabs(leftOf(wet.reverb->output));
    }
    EXPECT_GT(wetEnergy, 10.0); // the same reverb does produce a wet signal
}

// An impulse of mono sum 1.0 writes 1.0 at frame 0 of every comb; one effective length later
// the comb reads it back and writes feedback * 1.0 there. The other lane and the frames past a
// lane's effective length show the 23-frame spread.
TEST(ReverbTest, RoomSizeSetsCombFeedbackAndLinesRepeatAfterTheirEffectiveLengths) {
    struct Case {
        double room;
        double feedback;
    };
    const Case cases[] = {{0.0, 0.703125}, {1.0, 0.984375}, {0.5, 0.84375}, {-2.0, 0.703125}};
    // Effective lengths (left, right) of the eight combs.
    const int32_t lengths[8][2] = {{1617, 1640}, {1580, 1557}, {1491, 1514}, {1445, 1422},
                                   {1356, 1379}, {1300, 1277}, {1188, 1211}, {1139, 1116}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.room);
        UnitHarness h;
        ReverbRig rig(h, 1.0, c.room, 0.0, 1.0, 1.0);
        rig.signal->output = stereo(0.25, 0.75);
        h.step(rig.reverb);
        rig.signal->output = zeroStereo();
        for (int32_t ticks = 1; ticks <= 1641; ++ticks) {
            for (int32_t line = 0; line < 8; ++line)
                for (int32_t lane = 0; lane < 2; ++lane) {
                    double expected = ticks <= lengths[line][lane] ? 1.0 : c.feedback;
                    ASSERT_EQ(rig.frame(line, 0, lane), expected)
                        << "line " << line << " lane " << lane << " after " << ticks;
                }
            h.step(rig.reverb);
        }
    }
}

TEST(ReverbTest, FramesPastEachEffectiveLengthAreNeverWritten) {
    const int32_t lengths[12][2] = {{1617, 1640}, {1580, 1557}, {1491, 1514}, {1445, 1422},
                                    {1356, 1379}, {1300, 1277}, {1188, 1211}, {1139, 1116},
                                    {556, 579},   {464, 441},   {341, 364},   {248, 225}};
    UnitHarness h;
    ReverbRig rig(h, 1.0, 0.9, 0.2, 1.0, 1.0);
    TestNoise noise;
    for (int32_t n = 0; n < 5000; ++n) {
        rig.signal->output = noise.nextStereo();
        h.step(rig.reverb);
    }
    for (int32_t line = 0; line < 12; ++line)
        for (int32_t lane = 0; lane < 2; ++lane) {
            int32_t length = lengths[line][lane];
            EXPECT_NE(rig.frame(line, length - 1, lane), 0.0) << line << "/" << lane;
            for (int32_t f = length; f < kStride; ++f)
                ASSERT_EQ(rig.frame(line, f, lane), 0.0) << line << "/" << lane << " frame " << f;
        }
}

TEST(ReverbTest, WidthZeroAtFullMixGivesEqualLanes) {
    UnitHarness h;
    ReverbRig mono(h, 1.0, 0.8, 0.2, 1.0, 0.0);
    ReverbRig wide(h, 1.0, 0.8, 0.2, 1.0, 1.0);
    TestNoise noise;
    double widestDifference = 0.0;
    for (int32_t n = 0; n < 6000; ++n) {
        mono.signal->output = wide.signal->output = noise.nextStereo();
        stepAll({mono.reverb, wide.reverb});
        Stereo out = mono.reverb->output;
        ASSERT_NEAR(leftOf(out), rightOf(out), 1e-12) << n;
        widestDifference = std::fmax(widestDifference,
                                     std::fabs(leftOf(wide.reverb->output) - rightOf(wide.reverb->output)));
    }
    EXPECT_GT(widestDifference, 0.01); // at width 1 the spread does separate the lanes
}

TEST(ReverbTest, ControlsThatFeedNothingKeepItSilent) {
    struct Case {
        const char* name;
        double gain;
        double damping;
    };
    const Case cases[] = {{"input gain 0", 0.0, 0.0},
                          {"negative gain", -1.0, 0.0},
                          {"damping 1", 1.0, 1.0},
                          {"damping 5", 1.0, 5.0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UnitHarness h;
        ReverbRig rig(h, c.gain, 1.0, c.damping, 1.0, 1.0);
        TestNoise noise;
        for (int32_t n = 0; n < 4000; ++n) {
            rig.signal->output = noise.nextStereo();
            Stereo out = h.step(rig.reverb);
            ASSERT_EQ(leftOf(out), 0.0) << n;
            ASSERT_EQ(rightOf(out), 0.0) << n;
        }
    }
}

// After both reverbs take the same signal, one goes on with gain 0 and a loud input, the other
// with silence: at full mix both carry the same circulating wet signal.
TEST(ReverbTest, InputGainZeroLeavesOnlyWhatIsAlreadyCirculating) {
    UnitHarness h;
    ReverbRig fed(h, 1.0, 0.9, 0.1, 1.0, 1.0);
    ReverbRig quiet(h, 1.0, 0.9, 0.1, 1.0, 1.0);
    TestNoise noise;
    for (int32_t n = 0; n < 3000; ++n) {
        fed.signal->output = quiet.signal->output = noise.nextStereo();
        stepAll({fed.reverb, quiet.reverb});
    }
    fed.gain->output = quiet.gain->output = zeroStereo();
    quiet.signal->output = zeroStereo();
    double tail = 0.0;
    for (int32_t n = 0; n < 3000; ++n) {
        fed.signal->output = noise.nextStereo();
        stepAll({fed.reverb, quiet.reverb});
        ASSERT_NEAR(leftOf(fed.reverb->output), leftOf(quiet.reverb->output), 1e-12) << n;
        ASSERT_NEAR(rightOf(fed.reverb->output), rightOf(quiet.reverb->output), 1e-12) << n;
        tail += std::fabs(leftOf(quiet.reverb->output));
    }
    EXPECT_GT(tail, 1.0);
}

TEST(ReverbTest, WithoutItsBufferItOutputsOnlyTheDryShare) {
    UnitHarness h;
    UnitNode* signal = h.probe(0.0);
    std::vector<UnitNode*> inputs{signal,       h.probe(1.0),  h.probe(0.9),
                                  h.probe(0.1), h.probe(0.25), h.probe(1.0)};
    memFailAllocations(1, 1); // the node succeeds, its work buffer fails
    UnitNode* reverb = h.unit(UnitType::Reverb, inputs);
    memFailAllocations(0, 0);
    ASSERT_EQ(reverb->buffer, nullptr);
    TestNoise noise;
    for (int32_t n = 0; n < 2000; ++n) {
        Stereo x = noise.nextStereo();
        signal->output = x;
        Stereo out = h.step(reverb);
        ASSERT_EQ(leftOf(out), leftOf(x) + 0.25 * (0.0 - leftOf(x))) << n;
    }
}

} // namespace
