// The pictures the eight scenes draw through the frame pass with the show's own parameters:
// black letter-box bars around a picture that moves, and the hand-overs through attachment 2.
#include "support/scene_picture.h"

#include <string>

namespace {

class ScenePictures : public SceneStageTest {
  protected:
    void SetUp() override {
        SceneStageTest::SetUp();
        open(160, 90);
    }
};

} // namespace

TEST_F(ScenePictures, LetterBoxIsBlackAndThePictureMovesInEveryScene) {
    // A moment well inside each scene.
    const struct {
        int32_t scene;
        float tick;
    } moments[] = {{1, 420.0f},  {2, 780.0f},  {3, 1100.0f}, {4, 1540.0f},
                   {5, 1800.0f}, {6, 2000.0f}, {7, 2130.0f}, {8, 2500.0f}};
    for (const auto& moment : moments) {
        SCOPED_TRACE("scene " + std::to_string(moment.scene));
        const int32_t program = build(moment.scene);
        ASSERT_GT(program, 0);
        // The screen shows the previous frame's picture, so a few frames make a steady state.
        run(program, moment.tick, 4, choreographyAt(moment.tick));
        const Picture first = screen();
        const float later = moment.tick + kTicksPerSecond;
        run(program, later, 2, choreographyAt(later));
        expectLetterBoxedPicture(first, 26); // 13 rows at the top and 13 at the bottom of 90
        EXPECT_GT(meanAbsoluteDifference(first, screen()), 1.0);
    }
}

TEST_F(ScenePictures, ScenesFadeInFromThePictureTheSceneBeforeHandsOver) {
    for (const HandOver& handOver :
         {HandOver{3, 4, 1402.0f, 0.2f, 1460.0f}, HandOver{5, 6, 1916.0f, 0.06f, 1930.0f}}) {
        SCOPED_TRACE("scene " + std::to_string(handOver.to));
        expectFadeInFromHandOver(handOver);
    }
}
