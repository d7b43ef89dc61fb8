// Reverb: the dry path at mix 0, comb feedback from the room size, the line lengths with their
// stereo spread, and the four allpasses on the way out.
#include "noise_replica.h"
#include "support/unit_harness.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>

namespace {

constexpr int32_t kStride = 1640;

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
    NoiseReplica noise;
    double wetEnergy = 0.0;
    for (int32_t n = 0; n < 6000; ++n) {
        Stereo x = noise.next();
        dry.signal->output = wet.signal->output = x;
        stepAll({dry.reverb, wet.reverb});
        ASSERT_EQ(lanes(dry.reverb->output), lanes(x)) << n;
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

// The combs' sum leaves through four allpasses in series; with nothing yet in their lines each
// passes its input at once times -0.618, so the first echo (the right lane of the shortest comb,
// 1116 frames) comes out as 0.618^4 of the impulse's mono sum.
TEST(ReverbTest, FirstEchoLeavesThroughFourAllpasses) {
    UnitHarness h;
    ReverbRig rig(h, 1.0, 0.0, 0.0, 1.0, 1.0);
    rig.signal->output = stereo(0.25, 0.75);
    h.step(rig.reverb);
    rig.signal->output = zeroStereo();
    for (int32_t n = 1; n < 1116; ++n) ASSERT_EQ(rightOf(h.step(rig.reverb)), 0.0) << n;
    const double g = std::bit_cast<double>(0x3FE3C6A700000000ull); // 0.618 as stored
    EXPECT_DOUBLE_EQ(rightOf(h.step(rig.reverb)), g * g * g * g);
}

} // namespace
