// The shared arithmetic: stored constants, noise, sine, exp2, truncation and the float mode.
#include "synth/float_mode.h"
#include "synth/synth_math.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdlib>
#include <xmmintrin.h>

namespace {

struct StoredConstant {
    const char* name;
    double value;
    uint64_t bits;
    const char* storedDecimal; // the double as printed with 17 significant digits
};

// Bits and decimals come from two independent statements of each constant; they must agree.
const StoredConstant kStored[] = {
    {"0.225", k0p225, 0x3FCCCCCC00000000, "0.22499990463256836"},
    {"0.2", k0p2, 0x3FC9999900000000, "0.19999992847442627"},
    {"0.1", k0p1, 0x3FB9999A00000000, "0.10000002384185791"},
    {"0.01", k0p01, 0x3F847AE100000000, "0.009999997913837433"},
    {"0.001", k0p001, 0x3F50624E00000000, "0.0010000001639127731"},
    {"1/12", kOneTwelfth, 0x3FB5555500000000, "0.08333331346511841"},
    {"0.99994755", k0p99994755, 0x3FEFFF9200000000, "0.9999475479125977"},
    {"1e-5", k1em5, 0x3EE4F8B600000000, "1.0000003385357559e-05"},
    {"0.99765", k0p99765, 0x3FEFECC000000000, "0.997650146484375"},
    {"0.099046", k0p099046, 0x3FB95B1400000000, "0.09904599189758301"},
    {"0.963", k0p963, 0x3FEED0E500000000, "0.9629998207092285"},
    {"0.2965164", k0p2965164, 0x3FD2FA1FF0000000, "0.29651640355587006"},
    {"0.57", k0p57, 0x3FE23D7100000000, "0.570000171661377"},
    {"1.0526913", k1p0526913, 0x3FF0D7D300000000, "1.0526914596557617"},
    {"0.1848", k0p1848, 0x3FC7A78600000000, "0.1847999095916748"},
    {"5644.797", k5644p797, 0x40B60CCC00000000, "5644.796875"},
    {"0.618", k0p618, 0x3FE3C6A700000000, "0.6179995536804199"},
    {"0.99432", k0p99432, 0x3FEFD18000000000, "0.99432373046875"},
    {"pi", kPi, 0x400921FB54440000, "3.1415926535846666"},
    {"2pi", kTwoPi, 0x401921FB54440000, "6.283185307169333"},
    {"pi/2", kHalfPi, 0x3FF921FB54440000, "1.5707963267923333"},
    {"4/pi", kFourOverPi, 0x3FF45F306DC90000, "1.273239544723765"},
    {"-4/pi^2", kMinusFourOverPiSq, 0xBFD9F02F62220000, "-0.40528473456652137"},
    {"c6", kExp2C6, 0x3F24454D39280000, "0.00015465324084118492"},
    {"c5", kExp2C5, 0x3F55F2647A3F0000, "0.001339529154378738"},
    {"c4", kExp2C4, 0x3F83B29F76FB0000, "0.009618039911742926"},
    {"c3", kExp2C3, 0x3FAC6AF147D00000, "0.05550340654008323"},
    {"c2", kExp2C2, 0x3FCEBFBE08380000, "0.24022651101404335"},
    {"c1", kExp2C1, 0x3FE62E4309740000, "0.693147200072417"},
    {"c0", kExp2C0, 0x3FEFFFFFFFFC0000, "0.9999999999708962"},
};

TEST(StoredConstantsTest, EveryConstantHasItsBitPatternAndStoredDecimal) {
#define QUORLAX_COUNT(name, bits) +1
    constexpr int listed = 0 QUORLAX_STORED_CONSTANTS(QUORLAX_COUNT);
#undef QUORLAX_COUNT
    EXPECT_EQ(listed, static_cast<int>(std::size(kStored)));
    for (const StoredConstant& c : kStored) {
        EXPECT_EQ(std::bit_cast<uint64_t>(c.value), c.bits) << c.name;
        EXPECT_EQ(std::strtod(c.storedDecimal, nullptr), c.value) << c.name;
    }
}

TEST(NoiseTest, FirstTwoDrawsFollowFromTheSeeds) {
    resetNoise();
    Stereo first = noise();
    EXPECT_EQ(leftOf(first), 501611359 * 0x1p-31);
    EXPECT_EQ(rightOf(first), 16007 * 0x1p-31);
    Stereo second = noise();
    // 501,611,359 x 16,007 mod 2^32 and 16,007^2, read as signed 32-bit values.
    EXPECT_EQ(leftOf(second), 1999147289 * 0x1p-31);
    EXPECT_EQ(rightOf(second), 256224049 * 0x1p-31);
}

TEST(NoiseTest, DrawsStayInTheHalfOpenUnitRangeAndResetRestarts) {
    resetNoise();
    double lowest = 0, highest = 0;
    for (int i = 0; i < 100000; ++i) {
        Stereo n = noise();
        lowest = std::fmin(lowest, std::fmin(leftOf(n), rightOf(n)));
        highest = std::fmax(highest, std::fmax(leftOf(n), rightOf(n)));
    }
    EXPECT_GE(lowest, -1.0);
    EXPECT_LT(lowest, -0.99);
    EXPECT_LT(highest, 1.0);
    EXPECT_GT(highest, 0.99);
    resetNoise();
    EXPECT_EQ(leftOf(noise()), 501611359 * 0x1p-31);
}

// The sine's definition in scalar double arithmetic.
double sineByFormula(double x) {
    double folded = x - std::floor(x / kTwoPi) * kTwoPi;
    if (folded > kPi) folded = folded - kTwoPi;
    double y = kFourOverPi * folded + kMinusFourOverPiSq * folded * std::fabs(folded);
    return k0p225 * (y * std::fabs(y) - y) + y;
}

TEST(SineTest, MatchesItsFormulaPerLaneAndStaysNearTheTrueSine) {
    FloatModeGuard mode;
    const double points[] = {0.0, 0.3, 1.5707963267923333, 2.9, 3.5, -0.7, -4.0, 6.2831853, 100.25, -1234.5};
    for (volatile double x : points) {
        Stereo result = sineOf(stereo(x, -x));
        EXPECT_EQ(leftOf(result), sineByFormula(x)) << x;
        EXPECT_EQ(rightOf(result), sineByFormula(-x)) << x;
        EXPECT_NEAR(leftOf(result), std::sin(x), 0.0011) << x;
    }
    EXPECT_EQ(leftOf(sineOf(stereo(0.0))), 0.0);
}

// exp2's definition with the integer part taken by truncation or by rounding to nearest.
double exp2ByFormula(double x, bool truncate) {
    double i = truncate ? std::trunc(x) : std::nearbyint(x);
    double f = x - i;
    double p = ((((((kExp2C6 * f + kExp2C5) * f + kExp2C4) * f + kExp2C3) * f + kExp2C2) * f + kExp2C1) * f +
                kExp2C0);
    return p * std::ldexp(1.0, static_cast<int>(i));
}

TEST(Exp2Test, TruncatesTheIntegerPartUnderTheRenderMode) {
    const double points[] = {0.0, 0.5, 1.7, -1.5, -0.25, 3.99, 10.0, -10.6, 40.3};
    {
        FloatModeGuard mode;
        for (volatile double x : points) {
            Stereo result = exp2Of(stereo(x, x / 2));
            // Under round-toward-zero the scalar formula must also be evaluated in that mode.
            EXPECT_EQ(leftOf(result), exp2ByFormula(x, true)) << x;
            EXPECT_EQ(rightOf(result), exp2ByFormula(x / 2, true)) << x;
            EXPECT_NEAR(leftOf(result) / std::exp2(x), 1.0, 1e-5) << x;
        }
    }
    // In the default mode the integer part is rounded instead: 1.7 splits into 2 - 0.3.
    EXPECT_EQ(leftOf(exp2Of(stereo(1.7))), exp2ByFormula(1.7, false));
    EXPECT_EQ(leftOf(exp2Of(stereo(0.0))), kExp2C0);
}

TEST(Exp2Test, InputsBeyondTheExponentRangeStayFinite) {
    FloatModeGuard mode;
    Stereo huge = exp2Of(stereo(5000.0, -5000.0));
    EXPECT_TRUE(std::isfinite(leftOf(huge)));
    EXPECT_GT(leftOf(huge), 1e300);
    EXPECT_EQ(rightOf(huge), 0.0);
}

TEST(StereoTest, FloorAndTruncationAreExactAtEveryMagnitude) {
    struct Case {
        double x, trunc, floor;
    };
    const Case cases[] = {
        {2.5, 2.0, 2.0},
        {-2.5, -2.0, -3.0},
        {-0.25, -0.0, -1.0},
        {3.0, 3.0, 3.0},
        {-3.0, -3.0, -3.0},
        {0.999999999, 0.0, 0.0},
        {4503599627370497.0, 4503599627370497.0, 4503599627370497.0},
        {1e300, 1e300, 1e300},
        {-1e300, -1e300, -1e300},
        {2147483648.5, 2147483648.0, 2147483648.0},
        {4503599627370495.5, 4503599627370495.0, 4503599627370495.0},
    };
    for (bool renderMode : {false, true}) {
        uint32_t saved = _mm_getcsr();
        if (renderMode) _mm_setcsr(kSynthFloatMode);
        for (const Case& c : cases) {
            EXPECT_EQ(leftOf(truncOf(stereo(c.x))), c.trunc) << c.x;
            EXPECT_EQ(rightOf(floorOf(stereo(0.0, c.x))), c.floor) << c.x;
        }
        _mm_setcsr(saved);
    }
    EXPECT_EQ(leftOf(fracOf(stereo(-0.25))), 0.75);
}

TEST(StereoTest, MasksSelectLaneByLane) {
    Stereo mask = lessThan(stereo(1.0, 5.0), stereo(2.0, 2.0));
    EXPECT_TRUE(anyLane(mask));
    EXPECT_EQ(std::bit_cast<uint64_t>(leftOf(mask)), ~0ull);
    EXPECT_EQ(std::bit_cast<uint64_t>(rightOf(mask)), 0ull);
    Stereo chosen = select(mask, stereo(10.0), stereo(20.0));
    EXPECT_EQ(leftOf(chosen), 10.0);
    EXPECT_EQ(rightOf(chosen), 20.0);
    EXPECT_FALSE(anyLane(lessThan(stereo(3.0), stereo(2.0))));
    EXPECT_TRUE(bothZero(stereo(0.0, -0.0)));
    EXPECT_FALSE(bothZero(stereo(0.0, 1e-300)));
    EXPECT_EQ(rightOf(swapLanes(stereo(1.0, 2.0))), 1.0);
    EXPECT_EQ(std::bit_cast<uint64_t>(leftOf(-stereo(0.0))), 0x8000000000000000ull);
}

TEST(FloatModeTest, GuardSetsTheRenderModeAndRestoresTheSavedOne) {
    uint32_t before = _mm_getcsr();
    {
        FloatModeGuard mode;
        EXPECT_EQ(_mm_getcsr() & ~0x3Fu, kSynthFloatMode);
        // Just below the float after 1.0: rounding to nearest would give that float.
        volatile double belowStep = 1.0 + 0x1p-23 - 0x1p-40;
        EXPECT_EQ(static_cast<float>(belowStep), 1.0f);
        EXPECT_EQ(static_cast<float>(-belowStep), -1.0f);
        volatile double tiny = 0x1p-1060;
        EXPECT_EQ(tiny * 1.0, 0.0); // denormals read as zero
    }
    EXPECT_EQ(_mm_getcsr(), before & ~0x3Fu);
}

} // namespace
