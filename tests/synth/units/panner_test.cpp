// Panner: equal-power gains from the position.
#include "support/unit_harness.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

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

} // namespace
