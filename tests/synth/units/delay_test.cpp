// Delay and EchoDelay: whole-sample lengths, the allpass fraction, and feedback held below one.
#include "noise_replica.h"
#include "support/unit_harness.h"
#include "synth/units/mappings.h"

#include <gtest/gtest.h>

namespace {

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

} // namespace
