// The small units, one test each: arithmetic, routing, voice values, channel output, panner,
// shaper, sample-and-hold, controller, noise and DC blocker, and the noise generator's first draws.
#include "noise_replica.h"
#include "support/unit_harness.h"
#include "synth/sequencer.h"
#include "synth/synth_math.h"
#include "synth/units/channel_output.h"
#include "synth/units/mappings.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>

namespace {

TEST(ArithmeticUnitsTest, AddCrossfadeAndNegate) {
    UnitHarness h;
    UnitNode* a = h.probe(stereo(1.5, -2.0));
    UnitNode* b = h.probe(stereo(0.25, 4.0));
    UnitNode* add = h.unit(UnitType::Add, {a, b});
    EXPECT_EQ(lanes(h.step(add)), std::pair(1.75, 2.0));

    // The amount is not clamped: 2 extrapolates past the second input.
    UnitNode* fade = h.unit(UnitType::Crossfade, {a, b, h.probe(stereo(0.25, 2.0))});
    EXPECT_EQ(lanes(h.step(fade)), std::pair(1.1875, 10.0));

    UnitNode* negate = h.unit(UnitType::Negate, {h.probe(stereo(0.0, -3.0))});
    Stereo negated = h.step(negate);
    EXPECT_EQ(std::bit_cast<uint64_t>(leftOf(negated)), 0x8000000000000000u); // -0
    EXPECT_EQ(rightOf(negated), 3.0);
}

TEST(ChannelBlendTest, AmountMovesFromStereoThroughMonoToSwapped) {
    struct Case {
        const char* name;
        Stereo amount;
        double left, right;
    };
    const double l = 0.25, r = -1.5;
    const Case cases[] = {
        {"0 keeps the lanes", stereo(0.0), l, r}, {"0.5 is the mono mix", stereo(0.5), -0.625, -0.625},
        {"1 swaps", stereo(1.0), r, l},           {"above 1 clamps", stereo(3.0), r, l},
        {"below 0 clamps", stereo(-1.0), l, r},   {"per lane", stereo(0.0, 1.0), l, l},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UnitHarness h;
        UnitNode* node = h.unit(UnitType::ChannelBlend, {h.probe(stereo(l, r)), h.probe(c.amount)});
        EXPECT_EQ(lanes(h.step(node)), std::pair(c.left, c.right));
    }
}

VoiceSlot sampleVoice(double velocity) {
    VoiceSlot voice{};
    voice.note = 60;
    voice.baseIncrement = stereo(0.005);
    voice.noteValue = stereo(60 / 128.0);
    voice.increment = stereo(0.0125, 0.0126);
    voice.noteShifted = stereo(61 / 128.0);
    voice.velocity = stereo(velocity);
    voice.trigger = stereo(1.0);
    voice.gate = stereo(0.0);
    return voice;
}

TEST(VoiceValueTest, EachTypeReadsItsFieldTimesTheInput) {
    VoiceSlot voice = sampleVoice(100 / 128.0);
    struct Case {
        UnitType type;
        double input;
        Stereo expected;
    };
    const Case cases[] = {
        {UnitType::VoiceIncrement, 1.0, stereo(0.0125, 0.0126)},
        {UnitType::VoiceNote, 0.25, stereo(61 / 512.0)},
        {UnitType::VoiceVelocity, 1.0, stereo(100 / 128.0)},
        {UnitType::VoiceVelocity, -0.03125, stereo(-100 / 4096.0)},
        {UnitType::VoiceTrigger, 0.25, stereo(0.25)},
        {UnitType::VoiceGate, 1.0, stereo(0.0)},
        {UnitType::VoiceSpare, 1.0, stereo(0.0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(unitTypeName(static_cast<int32_t>(c.type)));
        UnitHarness h;
        synthGraph().currentVoice = &voice;
        UnitNode* value = h.unit(c.type, {h.probe(c.input)});
        EXPECT_EQ(lanes(h.step(value)), lanes(c.expected));
    }
}

TEST(MixingTest, ChannelOutputSleepsUntilWokenAndAfterLongSilence) {
    UnitHarness h;
    UnitNode* signal = h.probe(0.5);
    UnitNode* channel = h.unit(UnitType::ChannelOutput, {signal, h.probe(1.0)});
    EXPECT_EQ(leftOf(h.step(channel)), 0.0); // asleep from creation

    wakeChannelOutput(channel);
    EXPECT_EQ(leftOf(h.step(channel)), 0.5);
    for (int i = 0; i < 300000; ++i) h.step(channel);
    EXPECT_TRUE(anyLane(unitState<ChannelOutputState>(channel).awake)); // a steady signal keeps it up

    // Silence: 0.125 decays below 1e-5 in about 180,000 samples.
    signal->output = stereo(0.0);
    wakeChannelOutput(channel);
    int samples = 0;
    while (anyLane(unitState<ChannelOutputState>(channel).awake) && samples < 400000) {
        h.step(channel);
        ++samples;
    }
    EXPECT_GT(samples, 179000);
    EXPECT_LT(samples, 181000);
    // Asleep, the inputs are not evaluated and the output keeps its last value.
    signal->output = stereo(0.75);
    EXPECT_EQ(leftOf(h.step(channel)), 0.0);
}

TEST(PannerTest, PositionPlacesTheSignalWithEqualPower) {
    struct Case {
        Stereo position;
        double left, right; // gains
    };
    const double half = std::sqrt(0.5);
    const Case cases[] = {
        {stereo(0.0), 1.0, 0.0},        {stereo(1.0), 0.0, 1.0}, {stereo(0.5), half, half},
        {stereo(-3.0), 1.0, 0.0},       {stereo(7.0), 0.0, 1.0}, // clamped
        {stereo(0.25, 0.75), 0.5, 0.5}, // left gain from the right lane, right gain from the left
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << leftOf(c.position) << ", " << rightOf(c.position));
        UnitHarness h;
        UnitNode* panner = h.unit(UnitType::Panner, {h.probe(stereo(0.8, -0.4)), h.probe(c.position)});
        Stereo out = h.step(panner);
        EXPECT_DOUBLE_EQ(leftOf(out), 0.8 * c.left);
        EXPECT_DOUBLE_EQ(rightOf(out), -0.4 * c.right);
    }
}

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

TEST(ShaperTest, CurvesAtDriveAQuarter) {
    // Drive 0.25: soft clip k = 2 sqrt(0.25) / (1 - sqrt(0.25)) = 2, y = 3x / (2|x| + 1);
    // expander k = -0.5 / 1.25 = -0.4, y = 0.6x / (1 - 0.4|x|); curve 2 passes the signal.
    const struct {
        uint16_t curve;
        double x, y;
    } rows[] = {{0, 0.5, 0.75}, {0, -0.5, -0.75}, {1, 0.5, 0.375}, {1, -2.0, -2.0}, {2, 0.5, 0.5}};
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << "curve " << row.curve << " x " << row.x);
        UnitHarness h;
        Stereo out = h.step(shaper(h, h.probe(row.x), 0.25, kUnity, row.curve));
        EXPECT_NEAR(leftOf(out), row.y, 1e-9); // the level curve's unity is 1 within 1e-11
        EXPECT_NEAR(rightOf(out), row.y, 1e-9);
    }
}

constexpr uint16_t kTrackAndHold = 16;

TEST(SampleHoldTest, TrackAndHoldFollowsWhileTheGateIsLowAndFreezesFromHalf) {
    UnitHarness h;
    UnitNode* signal = h.probe(0.0);
    UnitNode* gate = h.probe(0.0);
    UnitNode* hold = h.unit(UnitType::SampleHold, {signal, gate}, {kTrackAndHold});
    double frozen = 0.0;
    for (int32_t n = 0; n < 200; ++n) {
        double x = 0.01 * n - 0.5;
        double g = n < 50 ? 0.0 : n < 100 ? 0.5 : n < 150 ? 0.4999 : 3.0;
        signal->output = stereo(x, -x);
        gate->output = stereo(g);
        if (n == 50 || n == 150) frozen = 0.01 * (n - 1) - 0.5;
        const double expected = g < 0.5 ? x : frozen;
        ASSERT_EQ(lanes(h.step(hold)), std::pair(expected, -expected)) << n;
    }
}

class ControllerTest : public ::testing::Test {
  protected:
    void TearDown() override { sequencer().controllers = ControllerTable{}; }
};

TEST_F(ControllerTest, ReadsTheChannelsControllerTimesItsInput) {
    UnitHarness h;
    sequencer().controllers.values[2][7] = stereo(0.75);
    sequencer().controllers.values[7][2] = stereo(-0.5);
    UnitNode* scale = h.probe(stereo(2.0, -1.0));
    UnitNode* node = h.unit(UnitType::Controller, {scale}, {2 * 128 + 7});
    EXPECT_EQ(lanes(h.step(node)), std::pair(1.5, -0.75));

    // Without a stamp a second evaluation within one sample sees a new value.
    node->tick(node);
    sequencer().controllers.values[2][7] = stereo(0.25);
    node->tick(node);
    EXPECT_EQ(leftOf(node->output), 0.5);
}

TEST(NoiseUnitTest, ColourZeroOutputsTheGeneratorsDrawsTimesTheAmount) {
    UnitHarness h;
    UnitNode* noiseNode = h.unit(UnitType::Noise, {h.probe(0.0), h.probe(0.5)});
    NoiseReplica replica;
    for (int32_t n = 0; n < 100; ++n) {
        const Stereo expected = replica.next();
        EXPECT_EQ(lanes(h.step(noiseNode)), std::pair(0.5 * leftOf(expected), 0.5 * rightOf(expected)));
    }
}

TEST(DcBlockerTest, RemovesAStepWithThePolesDecay) {
    UnitHarness h;
    UnitNode* node = h.unit(UnitType::DcBlocker, {h.probe(1.0), h.probe(0.5)});
    for (double expected : {1.0, 0.5, 0.25, 0.125}) EXPECT_EQ(leftOf(h.step(node)), expected);
}

TEST(NoiseTest, FirstTwoDrawsFollowFromTheSeeds) {
    resetNoise();
    EXPECT_EQ(lanes(noise()), std::pair(501611359 * 0x1p-31, 16007 * 0x1p-31));
    // 501,611,359 x 16,007 mod 2^32 and 16,007^2, read as signed 32-bit values.
    EXPECT_EQ(lanes(noise()), std::pair(1999147289 * 0x1p-31, 256224049 * 0x1p-31));
}

} // namespace
