// BiquadFilter: responses against the cookbook forms and up to thirty cascaded sections.
#include "noise_replica.h"
#include "support/unit_harness.h"
#include "synth/units/mappings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>

namespace {

constexpr uint16_t kSquared = 0x40;
uint16_t sections(int32_t n) {
    return static_cast<uint16_t>(n << 8);
}

// Cutoff 0.5 squared: a quarter of the sample rate's half. Resonance -0.05: Q = 2^-0.5.
constexpr double kCutoff = 0.5, kCutoffNormalised = 0.25, kResonance = -0.05;
const double kQ = std::sqrt(0.5);

UnitNode* biquad(UnitHarness& h, UnitNode* signal, uint16_t flags, double shelf = 0.75) {
    return h.unit(UnitType::BiquadFilter, {signal, h.probe(kCutoff), h.probe(kResonance), h.probe(shelf)},
                  {static_cast<uint16_t>(flags | kSquared)});
}

// Steady-state gain at nu (1 = half the sample rate): a sine is fed for a while, then the
// output's component at that frequency is measured over whole periods.
double measuredGain(uint16_t flags, double nu, double shelf = 0.75) {
    UnitHarness h;
    UnitNode* signal = h.probe(0.0);
    UnitNode* filter = biquad(h, signal, flags, shelf);
    const double omega = M_PI * nu;
    std::complex<double> sum = 0;
    const int32_t settle = 4000, measure = 2000;
    for (int32_t n = 0; n < settle + measure; ++n) {
        double phase = omega * n;
        signal->output = stereo(nu == 1.0 ? (n % 2 ? -1.0 : 1.0) : std::cos(phase));
        double y = leftOf(h.step(filter));
        if (n >= settle) sum += y * std::polar(1.0, -phase);
    }
    double scale = nu == 0.0 || nu == 1.0 ? 1.0 : 2.0; // a real cosine splits between +f and -f
    return scale * std::abs(sum) / measure;
}

// The cookbook low-pass response, with exact trigonometry.
double cookbookLowPassGain(double nu0, double q, double nu) {
    double w0 = M_PI * nu0, cs = std::cos(w0), alpha = std::sin(w0) / (2 * q);
    std::complex<double> z1 = std::polar(1.0, -M_PI * nu), z2 = z1 * z1;
    std::complex<double> b = (1 - cs) * 0.5 + (1 - cs) * z1 + (1 - cs) * 0.5 * z2;
    std::complex<double> a = (1 + alpha) - 2 * cs * z1 + (1 - alpha) * z2;
    return std::abs(b / a);
}

TEST(BiquadFilterTest, LowPassGainMatchesTheCookbookResponse) {
    for (double nu : {0.1, 0.25, 0.6}) {
        double expected = cookbookLowPassGain(kCutoffNormalised, kQ, nu);
        // The coefficients come from the fast sine, within about 0.1 % of the exact ones.
        EXPECT_NEAR(measuredGain(0, nu), expected, expected * 0.01) << "at " << nu;
    }
    EXPECT_NEAR(cookbookLowPassGain(kCutoffNormalised, kQ, 0.25), kQ, 1e-12);
}

TEST(BiquadFilterTest, ModesHaveTheirGainsAtDcCutoffAndNyquist) {
    struct Case {
        const char* name;
        uint16_t mode;
        double dc, cutoff, nyquist;
    };
    const Case cases[] = {
        {"low-pass", 0, 1.0, kQ, 0.0},        {"high-pass", 1, 0.0, kQ, 1.0},
        {"band-pass skirt", 2, 0.0, kQ, 0.0}, {"band-pass peak", 3, 0.0, 1.0, 0.0},
        {"notch", 4, 1.0, 0.0, 1.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_NEAR(measuredGain(c.mode, 0.0), c.dc, 1e-6);
        EXPECT_NEAR(measuredGain(c.mode, kCutoffNormalised), c.cutoff, 0.01);
        EXPECT_NEAR(measuredGain(c.mode, 1.0), c.nyquist, 1e-6);
    }
}

// N = 0 runs one section and N = k runs 2k, each identical to a separate single section; past
// what the state holds the count stops at thirteen.
TEST(BiquadFilterTest, SectionCountIsOneForNZeroAndTwiceNOtherwise) {
    struct Case {
        int32_t n, count;
    };
    const Case cases[] = {{0, 1}, {1, 2}, {2, 4}, {6, 12}, {15, 30}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "N = " << c.n);
        UnitHarness h;
        UnitNode* signal = h.probe(0.0);
        UnitNode* cascade = signal;
        for (int32_t i = 0; i < c.count; ++i) cascade = biquad(h, cascade, sections(0));
        UnitNode* filter = biquad(h, signal, sections(c.n));
        NoiseReplica source;
        for (int32_t n = 0; n < 300; ++n) {
            signal->output = source.next();
            filter->tick(filter);
            cascade->tick(cascade);
            ++synthGraph().sampleCounter;
            ASSERT_EQ(lanes(filter->output), lanes(cascade->output)) << n;
        }
        EXPECT_NE(leftOf(filter->output), 0.0);
    }
}

} // namespace
