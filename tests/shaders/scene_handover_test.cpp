// The hand-over from the tunnel to the spirals as the show runs it: the real scene table, tracks
// and frame pass.
#include "framework/scenes.h"
#include "platform/platform.h"
#include "renderer/gl_entries.h"
#include "support/gl_test.h"

#include <cstdlib>
#include <vector>

namespace {

constexpr int32_t kWidth = 160;
constexpr int32_t kHeight = 90;
constexpr float kTicksPerFrame = (50.0f / 3.0f) / 60.0f;

void noSleep(uint32_t) {}

std::vector<uint8_t> attachment(int32_t index) {
    const RenderTargets* targets = renderTargets();
    return readTexture(targets->targets[(targets->frameCount - 1u) & 1u][index]);
}

class SceneHandOver : public GlTest {
  protected:
    SceneDescriptor rows[kSceneCount]{};

    void SetUp() override {
        GlTest::SetUp();
        platformServices()->sleepMs = noSleep;
        ASSERT_EQ(initRenderer(nullptr, kWidth, kHeight), 1);
        buildSceneTable(rows);
        setSceneTable(rows);
        ASSERT_EQ(initScenes(), 1);
    }
    void TearDown() override {
        releaseScenes();
        resetPlatformServices();
    }
};

} // namespace

TEST_F(SceneHandOver, SpiralsOpenOnTheTunnelsLastPicture) {
    // The tunnel's last two frames before tick 1402, where its scenetime has reached 1.
    updateScenes(1402.0f - 2.0f * kTicksPerFrame);
    updateScenes(1402.0f - kTicksPerFrame);
    ASSERT_EQ(frameworkState()->lastActivated, 2);
    const std::vector<uint8_t> handOver = attachment(2);

    // At tick 1402 the spirals start with "fadetime" 0: their picture is the hand-over itself.
    updateScenes(1402.0f);
    ASSERT_EQ(frameworkState()->lastActivated, 3);
    const std::vector<uint8_t> opening = attachment(1);
    EXPECT_EQ(attachment(2), handOver);
    int32_t compared = 0, lit = 0;
    for (int32_t y = 14; y < 76; ++y) { // between the letter-box bars
        for (int32_t x = 0; x < kWidth; ++x) {
            const size_t i = (static_cast<size_t>(y) * kWidth + x) * 4;
            for (size_t c = 0; c < 3; ++c)
                ASSERT_LE(std::abs(opening[i + c] - handOver[i + c]), 1) << "x " << x << " y " << y;
            lit += handOver[i] + handOver[i + 1] + handOver[i + 2] > 30 ? 1 : 0;
            ++compared;
        }
    }
    EXPECT_GT(lit, compared / 2) << "the tunnel handed over a dark picture";

    // A second later (fadetime about 0.6) the spirals have moved well away from it.
    for (int32_t frame = 0; frame < 2; ++frame)
        updateScenes(1418.0f + static_cast<float>(frame) * kTicksPerFrame);
    const std::vector<uint8_t> later = attachment(1);
    double difference = 0;
    for (int32_t y = 14; y < 76; ++y)
        for (int32_t x = 0; x < kWidth; ++x)
            for (size_t c = 0; c < 3; ++c) {
                const size_t i = (static_cast<size_t>(y) * kWidth + x) * 4 + c;
                difference += std::abs(later[i] - handOver[i]);
            }
    EXPECT_GT(difference / (compared * 3), 4.0);
}
