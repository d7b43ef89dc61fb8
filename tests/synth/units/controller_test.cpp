// Controller: the controller table's value times its input, read without ticking anything.
#include "support/unit_harness.h"
#include "synth/sequencer.h"

#include <gtest/gtest.h>

namespace {

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
    Stereo out = h.step(node);
    EXPECT_EQ(leftOf(out), 1.5);
    EXPECT_EQ(rightOf(out), -0.75);

    // Without a stamp a second evaluation within one sample sees a new value.
    node->tick(node);
    sequencer().controllers.values[2][7] = stereo(0.25);
    node->tick(node);
    EXPECT_EQ(leftOf(node->output), 0.5);
}

} // namespace
