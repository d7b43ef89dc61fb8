// The waveform core and its two users, Oscillator and Lfo: waveforms over a period, unison
// periods and the Lfo's free and tempo-synced rates.
#include "noise_replica.h"
#include "support/unit_harness.h"
#include "synth/units/osc_core.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr uint16_t kKeyTracking = 0x800;
uint16_t unison(int32_t voices) {
    return static_cast<uint16_t>((voices - 1) << 8);
}

struct OscInputs {
    double modulation = 0.0;
    double offset = 0.0;
    double width = 0.0;
    double transpose = 0.0;
    double fine = 0.0;
    double amplitude = 1.0;
    double detune = 0.0;
};

UnitNode* oscillator(UnitHarness& h, uint16_t flags, const OscInputs& in) {
    return h.unit(UnitType::Oscillator,
                  {h.probe(in.modulation), h.probe(in.offset), h.probe(in.width), h.probe(in.transpose),
                   h.probe(in.fine), h.probe(in.amplitude), h.probe(in.detune)},
                  {flags});
}

double triangle(double d, double g) {
    return d <= g ? 2 * d / g - 1 : 2 * (1 - d) / (1 - g) - 1;
}
double rampedPulse(double x, double g, double e) {
    return g < x ? std::max(2 * (g - x) / e + 1, -1.0) : std::min(2 * x / e - 1, 1.0);
}

struct WaveCase {
    const char* name;
    uint16_t waveform;
    double offset;
    double width;
    double (*value)(double d, double u, double g);
};

// Without key tracking the modulation input alone moves the phase: 1/32 gives an increment e of
// 1/64, so sample n of the first cycle has phase d = frac(offset + n/64) and u = n/64.
constexpr double kE = 1.0 / 64;
const WaveCase kWaveCases[] = {
    {"saw rising", kWaveSaw, 0.0, 1.0, [](double d, double, double) { return 2 * d - 1; }},
    {"saw falling", kWaveSaw, 0.0, 0.0, [](double d, double, double) { return -(2 * d - 1); }},
    {"square quarter", kWaveSquare, 0.0, 0.25, [](double d, double, double g) { return d < g ? 1.0 : -1.0; }},
    {"triangle", kWaveTriangle, 0.0, 0.25, [](double d, double, double g) { return triangle(d, g); }},
    {"triangle offset", kWaveTriangle, 0.375, 0.5, [](double d, double, double g) { return triangle(d, g); }},
    {"two triangles", kWaveTwoTriangles, 0.25, 0.5,
     [](double d, double u, double g) { return triangle(d, g) + triangle(u, g); }},
    {"ramped pulses", kWaveRampedPulses, 0.25, 0.5,
     [](double d, double u, double g) {
         return (rampedPulse(d, g, kE) + 1 - 2 * g) + (rampedPulse(u, g, kE) + 1 - 2 * g);
     }},
    {"unknown waveform 4", 4, 0.0, 0.5, [](double, double, double) { return 0.0; }},
};

TEST(OscCoreTest, EachWaveformFollowsItsFormulaOverOneCycle) {
    for (const WaveCase& c : kWaveCases) {
        SCOPED_TRACE(c.name);
        UnitHarness h;
        UnitNode* osc =
            oscillator(h, c.waveform, {.modulation = 2 * kE, .offset = c.offset, .width = c.width});
        const double g = std::max(kE, std::min(1 - kE, c.width));
        for (int32_t n = 0; n < 64; ++n) {
            double u = n * kE;
            double d = c.offset + u - std::floor(c.offset + u);
            const double value = c.value(d, u, g);
            EXPECT_EQ(lanes(h.step(osc)), std::pair(value, value)) << "sample " << n;
        }
    }
}

// Samples between the first and the last wrap over the wraps between them.
double measuredPeriod(UnitHarness& h, UnitNode* node, int32_t samples) {
    int32_t first = -1, last = -1, wraps = 0;
    for (int32_t n = 0; n < samples; ++n) {
        h.step(node);
        if (bothZero(node->activity)) continue;
        if (first < 0) first = n;
        last = n;
        ++wraps;
    }
    return wraps > 1 ? static_cast<double>(last - first) / (wraps - 1) : 0.0;
}

TEST(OscillatorTest, UnisonVoicesRunAtPowersOfTheDetuneFactor) {
    UnitHarness h;
    VoiceSlot voice{};
    voice.increment = stereo(1.0 / 128);
    synthGraph().currentVoice = &voice;
    // Width 1 makes waveform 0 a full sine cycle.
    UnitNode* osc = oscillator(h, kKeyTracking | unison(3) | kWavePulseSine,
                               {.width = 1.0, .amplitude = 0.5, .detune = 50.0});
    const double base = leftOf(exp2Of(zeroStereo())) / 128;
    const double factor = 50.0 * k0p01 + 1.0;
    for (int32_t n = 0; n < 300; ++n) {
        double expected = 0.0;
        for (int32_t k = 0; k < 3; ++k) {
            double phase = n * base * std::pow(factor, k);
            expected += leftOf(sineOf(stereo((phase - std::floor(phase)) * kTwoPi)));
        }
        EXPECT_NEAR(leftOf(h.step(osc)), 0.5 * expected, 1e-9) << n;
    }
}

TEST(LfoTest, RateIsFreeOrTempoSynced) {
    struct Case {
        uint16_t flags;
        double rate, period;
    };
    const Case cases[] = {
        {0, 1.0, 1000},                   // 1^5 * 0.001 cycles per sample
        {0, 0.5, 32000},                  // 0.5^5 * 0.001
        {0x800, 0.5, 21168},              // one beat at 125 bpm
        {0x800, 0.5 + 12.0 / 128, 10584}, // an octave faster
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "flags " << c.flags << " rate " << c.rate);
        UnitHarness h;
        UnitNode* lfo = h.unit(UnitType::Lfo, {h.probe(c.rate), h.probe(0.0), h.probe(0.5), h.probe(1.0)},
                               {static_cast<uint16_t>(c.flags | kWaveSaw)});
        EXPECT_NEAR(measuredPeriod(h, lfo, static_cast<int32_t>(c.period * 3.5)), c.period, c.period * 1e-5);
    }
}

} // namespace
