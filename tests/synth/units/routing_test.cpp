// Add, Crossfade, Negate and ChannelBlend.
#include "support/unit_harness.h"

#include <gtest/gtest.h>

#include <bit>

namespace {

TEST(ArithmeticUnitsTest, AddCrossfadeAndNegate) {
    UnitHarness h;
    UnitNode* a = h.probe(stereo(1.5, -2.0));
    UnitNode* b = h.probe(stereo(0.25, 4.0));
    UnitNode* add = h.unit(UnitType::Add, {a, b});
    Stereo sum = h.step(add);
    EXPECT_EQ(leftOf(sum), 1.75);
    EXPECT_EQ(rightOf(sum), 2.0);

    // The amount is not clamped: 2 extrapolates past the second input.
    UnitNode* fade = h.unit(UnitType::Crossfade, {a, b, h.probe(stereo(0.25, 2.0))});
    Stereo faded = h.step(fade);
    EXPECT_EQ(leftOf(faded), 1.5 + (0.25 - 1.5) * 0.25);
    EXPECT_EQ(rightOf(faded), 10.0);

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
        Stereo out = h.step(node);
        EXPECT_EQ(leftOf(out), c.left);
        EXPECT_EQ(rightOf(out), c.right);
    }
}

} // namespace
