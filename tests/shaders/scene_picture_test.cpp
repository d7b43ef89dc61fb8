// The pictures scenes 1 to 4 draw through the frame pass: letter-box, a moving picture, the fade
// and the hand-over from scene 3 to scene 4.
#include "support/scene_picture.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

namespace {

constexpr int32_t kWidth = 160;
constexpr int32_t kHeight = 90;

struct SceneMoment {
    int32_t scene;
    float tick; // inside the scene's stretch of the show
    StageParameters parameters;
};

// One representative moment of each scene, with parameters of that stretch of the show.
std::vector<SceneMoment> sceneMoments() {
    StageParameters scene1;
    scene1.mbrotate = 90.0f;
    scene1.mbzoom = 1.0f;
    StageParameters scene2;
    scene2.mbrotate = 120.0f;
    scene2.mbzoom = 3.0f;
    StageParameters scene3;
    scene3.mbzoom = 12.0f;
    scene3.scenetime = 0.4f;
    StageParameters scene4;
    scene4.mbrotate = 0.5f;
    scene4.scenetime = 0.5f;
    return {{1, 420.0f, scene1}, {2, 780.0f, scene2}, {3, 1100.0f, scene3}, {4, 1540.0f, scene4}};
}

class ScenePictures : public SceneStageTest {
  protected:
    void SetUp() override {
        SceneStageTest::SetUp();
        open(kWidth, kHeight);
    }
};

} // namespace

TEST_F(ScenePictures, LetterBoxIsBlackAndThePictureMovesInEveryScene) {
    for (const SceneMoment& moment : sceneMoments()) {
        SCOPED_TRACE("scene " + std::to_string(moment.scene));
        const int32_t program = build(moment.scene);
        ASSERT_GT(program, 0);
        // The screen shows the previous frame's picture, so a few frames make a steady state.
        run(program, moment.tick, 4, moment.parameters);
        const Picture first = screen();
        run(program, moment.tick + kTicksPerSecond, 2, moment.parameters);

        expectLetterBoxedPicture(first, 26); // 13 rows at the top and 13 at the bottom of 90
        EXPECT_GT(meanAbsoluteDifference(first, screen()), 1.0);
    }
}

TEST_F(ScenePictures, FadeTimeZeroWritesTheFlatGreyWithTheVignettedAlpha) {
    for (SceneMoment moment : sceneMoments()) {
        SCOPED_TRACE("scene " + std::to_string(moment.scene));
        const int32_t program = build(moment.scene);
        ASSERT_GT(program, 0);
        moment.parameters.fadetime = 0.0f;
        moment.parameters.fadecolor = 0.4f;
        run(program, moment.tick, 1, moment.parameters);
        const Picture picture = attachment(1);
        int32_t pictureRows = 0;
        for (int32_t y = 0; y < kHeight; ++y) {
            if (letterBoxRow(y, kHeight) != RowKind::Picture) continue;
            ++pictureRows;
            for (int32_t x = 0; x < kWidth; ++x) {
                const uint8_t* c = picture.at(x, y);
                ASSERT_TRUE(std::abs(c[0] - 102) <= 1 && c[1] == c[0] && c[2] == c[0])
                    << "x " << x << " y " << y << ": " << int(c[0]) << " " << int(c[1]) << " " << int(c[2]);
            }
        }
        EXPECT_EQ(pictureRows, 62); // two rows sit exactly on the letter-box limit
        // The alpha is the vignetted mean depth. Scene 4 keeps no depth, only the quarter its colour
        // sum starts with, so its alpha is the vignette itself: a quarter in the middle, falling
        // to nothing at the edges.
        if (moment.scene == 4) {
            for (int32_t y = 0; y < kHeight; ++y) {
                if (letterBoxRow(y, kHeight) != RowKind::Picture) continue;
                for (int32_t x = 0; x < kWidth; ++x) {
                    const double u = (x + 0.5) / kWidth, v = (y + 0.5) / kHeight;
                    const double vignette = std::min(std::pow(16.0 * u * v * (1 - u) * (1 - v), 0.3), 1.0);
                    ASSERT_NEAR(picture.at(x, y)[3], 0.25 * vignette * 255.0, 1.0) << "x " << x << " y " << y;
                }
            }
        } else {
            EXPECT_GT(picture.at(kWidth / 2, kHeight / 2)[3], 0);
        }
    }
}

TEST_F(ScenePictures, SceneFourFadesInFromThePictureSceneThreeHandsOver) {
    expectFadeInFromHandOver({3, 4, 1402.0f, 0.2f, 1460.0f});
}
