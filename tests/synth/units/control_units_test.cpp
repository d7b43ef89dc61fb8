// DcBlocker.
#include "noise_replica.h"
#include "support/unit_harness.h"

#include <gtest/gtest.h>

namespace {

TEST(DcBlockerTest, RemovesAStepWithThePolesDecay) {
    UnitHarness h;
    UnitNode* node = h.unit(UnitType::DcBlocker, {h.probe(1.0), h.probe(0.5)});
    for (double expected : {1.0, 0.5, 0.25, 0.125}) EXPECT_EQ(leftOf(h.step(node)), expected);
}

} // namespace
