// Delay and EchoDelay: delay lengths from the time modes and the tempo table, the allpass
// fraction, feedback, damping, mix and ping-pong.
#include "noise_replica.h"
#include "support/unit_harness.h"
#include "synth/units/mappings.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>

namespace {

constexpr uint16_t kPingPong = 0x80;

UnitNode* delay(UnitHarness& h, UnitNode* signal, double time, uint16_t mode) {
    return h.unit(UnitType::Delay, {signal, h.probe(time)}, {mode});
}

struct EchoInputs {
    double time = 100.0; // mode 4: 99 samples
    double feedback = 0.0;
    double damping = 0.0;
    double mix = 1.0;
};
UnitNode* echo(UnitHarness& h, UnitNode* signal, const EchoInputs& in, uint16_t flags = 4) {
    return h.unit(UnitType::EchoDelay,
                  {signal, h.probe(in.time), h.probe(in.feedback), h.probe(in.damping), h.probe(in.mix)},
                  {flags});
}

TEST(TempoTableTest, HoldsThirtyThreeBeatCountsWithFractionsAsNearestFloats) {
    EXPECT_EQ(std::size(kTempoTable), 33u);
    EXPECT_EQ(std::bit_cast<uint32_t>(kTempoTable[1]), 0x3D2AAAABu); // 1/24 = 0.0416666679084301
    EXPECT_EQ(static_cast<double>(kTempoTable[1]), 0.0416666679084301);
    EXPECT_EQ(std::bit_cast<uint32_t>(kTempoTable[13]), 0x3F2AAAABu); // 2/3
    EXPECT_EQ(std::bit_cast<uint32_t>(kTempoTable[19]), 0x402AAAABu); // 8/3
    EXPECT_EQ(kTempoTable[0], 0.03125f);
    EXPECT_EQ(kTempoTable[14], 0.75f);
    EXPECT_EQ(kTempoTable[15], 1.0f);
    EXPECT_EQ(kTempoTable[23], 1.5f);
    EXPECT_EQ(kTempoTable[32], 7.0f);
}

TEST(DelayTest, ShortestDelayIsExactlyThreeSamples) {
    // Time 0 (and below) clamps D to 4: two frames in the buffer and one in the allpass, whose
    // coefficient is then 0, so the input comes out unchanged.
    for (double time : {0.0, -1.0, 3.0}) {
        SCOPED_TRACE(time);
        UnitHarness h;
        UnitNode* signal = h.probe(0.0);
        UnitNode* line = delay(h, signal, time, 4);
        NoiseReplica source;
        Stereo history[3] = {zeroStereo(), zeroStereo(), zeroStereo()};
        for (int32_t n = 0; n < 100; ++n) {
            signal->output = source.next();
            Stereo out = h.step(line);
            ASSERT_EQ(leftOf(out), leftOf(history[n % 3])) << n;
            ASSERT_EQ(rightOf(out), rightOf(history[n % 3])) << n;
            history[n % 3] = signal->output;
        }
    }
}

TEST(DelayTest, WholeSampleDelaysPassAnImpulseAfterDMinusOneSamples) {
    struct Case {
        const char* name;
        uint16_t mode;
        double time, tempo;
        int32_t latency; // D - 1
    };
    const Case cases[] = {
        {"tempo, time 1.0: index 32, 7 beats, 148,176", 0, 1.0, 125, 148175},
        {"tempo, time 0.4453125: index 14, 3/4 beat, 15,876", 0, 0.4453125, 125, 15875},
        {"tempo, time beyond 1 uses index 32", 0, 5.0, 125, 148175},
        {"tempo 120", 0, 1.0, 120, 154349},
        {"1640 per unit", 1, 0.5, 125, 819},
        {"two seconds per unit", 3, 0.25, 125, 22049},
        {"samples", 4, 100.0, 125, 99},
        {"longer than the buffer: L - 1", 4, 1e9, 125, 176398},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UnitHarness h;
        synthGraph().tempo = stereo(c.tempo);
        UnitNode* signal = h.probe(1.0);
        UnitNode* line = delay(h, signal, c.time, c.mode);
        int32_t wrong = 0;
        for (int32_t n = 0; n < c.latency + 20; ++n) {
            double out = leftOf(h.step(line));
            signal->output = zeroStereo();
            wrong += out != (n == c.latency ? 1.0 : 0.0);
        }
        EXPECT_EQ(wrong, 0);
    }
}

TEST(DelayTest, FractionalDelayGoesThroughTheAllpass) {
    // D = 10.5: 9.5 samples, nine in the buffer and half a sample of allpass phase delay.
    UnitHarness h;
    UnitNode* signal = h.probe(0.0);
    UnitNode* line = delay(h, signal, 10.5, 4);
    const double omega = 2 * M_PI / 400;
    for (int32_t n = 0; n < 2000; ++n) {
        signal->output = stereo(std::sin(omega * n));
        double out = leftOf(h.step(line));
        if (n > 100) {
            ASSERT_NEAR(out, std::sin(omega * (n - 9.5)), 1e-4) << n;
        }
    }
}

TEST(EchoDelayTest, FeedbackIsHeldBelowOneSoRepeatsDieAway) {
    for (double feedback : {1.0, 3.0}) {
        UnitHarness h;
        UnitNode* signal = h.probe(1.0);
        UnitNode* node = echo(h, signal, {.feedback = feedback});
        double previous = 0.0;
        int32_t repeats = 0;
        for (int32_t n = 0; n < 99 * 300 + 1; ++n) {
            double out = leftOf(h.step(node));
            signal->output = zeroStereo();
            if (n % 99 != 0 || n == 0) {
                ASSERT_EQ(out, 0.0) << n;
                continue;
            }
            if (repeats++ == 0)
                EXPECT_EQ(out, 1.0);
            else
                ASSERT_EQ(out, previous * 0.997650146484375) << "repeat " << repeats;
            previous = out;
        }
        EXPECT_LT(previous, 0.5);
    }
}

TEST(EchoDelayTest, PingPongSwapsTheLanesOnEveryRepeat) {
    UnitHarness h;
    UnitNode* signal = h.probe(stereo(1.0, 0.0));
    UnitNode* node = echo(h, signal, {.feedback = 0.5}, kPingPong | 4);
    h.step(node);
    signal->output = zeroStereo();
    // The first repeat already comes from the other side.
    const double expected[][2] = {{0.0, 1.0}, {0.5, 0.0}, {0.0, 0.25}, {0.125, 0.0}};
    for (int32_t n = 1; n <= 99 * 4; ++n) {
        Stereo out = h.step(node);
        if (n % 99) {
            ASSERT_TRUE(bothZero(out)) << n;
        } else {
            EXPECT_EQ(leftOf(out), expected[n / 99 - 1][0]) << n;
            EXPECT_EQ(rightOf(out), expected[n / 99 - 1][1]) << n;
        }
    }
}

TEST(EchoDelayTest, DampingSmearsTheRepeatsAndMixBlendsDryAndWet) {
    UnitHarness h;
    UnitNode* signal = h.probe(1.0);
    UnitNode* node = echo(h, signal, {.damping = 0.5, .mix = 0.5});
    EXPECT_EQ(leftOf(h.step(node)), 0.5); // dry 1.0 at half mix, nothing wet yet
    signal->output = zeroStereo();
    for (int32_t n = 1; n < 99; ++n) EXPECT_EQ(leftOf(h.step(node)), 0.0);
    // The written impulse went through s = t + 0.5 (s - t): 0.5, 0.25, 0.125, ...; half wet.
    for (double wet : {0.5, 0.25, 0.125, 0.0625}) EXPECT_EQ(leftOf(h.step(node)), 0.5 * wet);
}

} // namespace
