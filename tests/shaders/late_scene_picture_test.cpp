// The pictures of scenes 5 to 8 through the frame pass: letter-box and a picture in every scene,
// scene 8's rising text and its absence during a colour fade, the seams of the morph sequence,
// and the hand-over from scene 5 to scene 6.
#include "support/scene_picture.h"

#include <string>
#include <utility>

namespace {

using LateScenePictures = SceneStageTest;

// Scene 8 at a fixed moment with the surface pass on screen and no text: its pictures do not
// change from frame to frame, so whatever the text adds stands out.
StageParameters stillSolid() {
    StageParameters p;
    p.shape = 0;
    p.morphingtime1 = 0.5f;
    p.morphingtime2 = 0.0f;
    p.textsection = -1;
    return p;
}
constexpr float kSolidTick = 2400.0f;

} // namespace

TEST_F(LateScenePictures, EverySceneDrawsAPictureBetweenBlackLetterBoxBars) {
    open(160, 90);
    // A moment well inside each scene, with the parameters the show has there.
    const struct {
        int32_t scene;
        float tick;
    } moments[] = {{5, 1800.0f}, {6, 2000.0f}, {7, 2130.0f}, {8, 2500.0f}};
    for (const auto& moment : moments) {
        SCOPED_TRACE("scene " + std::to_string(moment.scene));
        const int32_t program = build(moment.scene);
        ASSERT_GT(program, 0);
        // The screen shows the previous frame's pictures, so two frames make it steady.
        run(program, moment.tick, 3, choreographyAt(moment.tick));
        expectLetterBoxedPicture(attachment(0), 26); // 13 rows at the top and 13 at the bottom of 90
    }
}

TEST_F(LateScenePictures, SceneEightTextRisesFromBelowTheScreen) {
    open(160, 90);
    const int32_t program = build(8);
    ASSERT_GT(program, 0);
    const StageParameters plain = stillSolid();
    hold(program, kSolidTick, 2, plain);
    const Picture without = attachment(0);

    // The top-most row where the title card brightens the picture, -1 where it adds nothing.
    auto textTop = [&](float sectiontime) {
        StageParameters titled = plain;
        titled.textsection = 0;
        titled.sectiontime = sectiontime;
        hold(program, kSolidTick, 1, titled);
        const Picture with = attachment(0);
        int32_t top = -1;
        for (int32_t y = 0; y < with.height; ++y)
            for (int32_t x = 0; x < with.width; ++x) {
                const int added = with.luminance(x, y) - without.luminance(x, y);
                EXPECT_GE(added, -1) << "text darkened x " << x << " y " << y;
                if (added > 96) {
                    // Where the text shows, the solid's picture was dark.
                    EXPECT_LT(without.luminance(x, y), 32) << "x " << x << " y " << y;
                    top = y;
                }
            }
        return top;
    };

    // At sectiontime 0 the first line lies just below the screen; each unit raises it by an eighth
    // of a row, a row being a sixteenth of the height (5.625 pixels here).
    EXPECT_EQ(textTop(0.0f), -1);
    const int32_t low = textTop(40.0f);
    const int32_t high = textTop(56.0f);
    EXPECT_GT(low, 13) << "the first line shows above the letter-box";
    EXPECT_NEAR(high - low, 11.25, 2.0);
    // The first line's top edge: 5 rows of 5.625 pixels up at sectiontime 40.
    EXPECT_NEAR(low, 28.1, 3.0);
}

TEST_F(LateScenePictures, SceneEightDrawsNoTextWhileFadingToAColour) {
    open(160, 90);
    const int32_t program = build(8);
    ASSERT_GT(program, 0);
    StageParameters fading = stillSolid();
    fading.fadecolor = 0.5f;
    fading.fadetime = 0.5f;
    fading.sectiontime = 56.0f;
    hold(program, kSolidTick, 2, fading);
    const Picture without = attachment(0);
    fading.textsection = 0;
    hold(program, kSolidTick, 1, fading);
    EXPECT_EQ(largestDifference(attachment(0), without), 0);

    // The same frame without the colour fade does show the text.
    fading.fadecolor = 0.0f;
    hold(program, kSolidTick, 1, fading);
    const Picture titled = attachment(0);
    fading.textsection = -1;
    hold(program, kSolidTick, 1, fading);
    EXPECT_GT(largestDifference(titled, attachment(0)), 64);
}

TEST_F(LateScenePictures, MorphRowsMeetAtTheirSeams) {
    open(64, 36);
    const int32_t program = build(8);
    ASSERT_GT(program, 0);
    StageParameters p = stillSolid();
    // Both of this frame's passes: attachment 1 the lit surface, 2 the volume.
    auto passes = [&](int32_t shape, float morph) {
        p.shape = shape;
        p.morphingtime1 = morph;
        hold(program, 3000.0f, 1, p);
        return std::make_pair(attachment(1), attachment(2));
    };
    auto lit = [](const Picture& picture) {
        int count = 0;
        for (int32_t y = 0; y < picture.height; ++y)
            for (int32_t x = 0; letterBoxRow(y, picture.height) == RowKind::Picture && x < picture.width; ++x)
                count += picture.luminance(x, y) > 24;
        return count;
    };

    auto previousEnd = passes(0, 0.0f);
    for (int32_t shape = 0; shape <= 10; ++shape) {
        SCOPED_TRACE("shape " + std::to_string(shape));
        const auto start = passes(shape, 0.0f);
        const auto end = passes(shape, 1.0f);
        if (shape > 0) {
            // The second solid of the row before is the first of this one. The blend rounds
            // differently from the bare distance, which may move a grazing hit in a fine solid.
            EXPECT_LE(differingPixels(start.first, previousEnd.first, 2), 4) << "surface";
            EXPECT_LE(differingPixels(start.second, previousEnd.second, 2), 4) << "volume";
        }
        EXPECT_GT(lit(start.first), 40) << "the solid shows";
        EXPECT_GT(largestDifference(start.first, end.first), 32) << "the morph changes the solid";
        previousEnd = end;
    }
}

TEST_F(LateScenePictures, SceneSixFadesInFromThePictureSceneFiveHandsOver) {
    open(160, 90);
    expectFadeInFromHandOver({5, 6, 1916.0f, 0.06f, 1930.0f});
}
