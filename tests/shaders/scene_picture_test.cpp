// The pictures the scene programs draw through the frame pass: letter-box, a moving picture, the
// fade and the hand-over from scene 3 to scene 4.
#include "renderer/gl_entries.h"
#include "renderer/shader_assembly.h"
#include "support/gl_test.h"
#include "support/scene_stage.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <set>
#include <string>

namespace {

constexpr int32_t kWidth = 160;
constexpr int32_t kHeight = 90;
// Frames at 60 per second of presentation time, 16 2/3 ticks per second.
constexpr float kTicksPerFrame = (50.0f / 3.0f) / 60.0f;
constexpr float kTicksPerSecond = 50.0f / 3.0f;

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

struct Rgba {
    int r, g, b, a;
};

Rgba pixelAt(const std::vector<uint8_t>& pixels, int32_t x, int32_t y) {
    const uint8_t* p = &pixels[(static_cast<size_t>(y) * kWidth + x) * 4];
    return {p[0], p[1], p[2], p[3]};
}

// Luminance spread (standard deviation, 0-255 scale) and distinct grey levels over picture rows.
void pictureSpread(const std::vector<uint8_t>& pixels, double* deviation, size_t* levels) {
    double sum = 0, squares = 0;
    int count = 0;
    std::set<int> seen;
    for (int32_t y = 0; y < kHeight; ++y) {
        if (letterBoxRow(y, kHeight) != RowKind::Picture) continue;
        for (int32_t x = 0; x < kWidth; ++x) {
            Rgba c = pixelAt(pixels, x, y);
            const int luminance = (c.r * 3 + c.g * 6 + c.b) / 10;
            sum += luminance;
            squares += static_cast<double>(luminance) * luminance;
            seen.insert(luminance);
            ++count;
        }
    }
    const double mean = sum / count;
    *deviation = std::sqrt(squares / count - mean * mean);
    *levels = seen.size();
}

double meanAbsoluteDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    double total = 0;
    int count = 0;
    for (int32_t y = 0; y < kHeight; ++y) {
        if (letterBoxRow(y, kHeight) != RowKind::Picture) continue;
        for (int32_t x = 0; x < kWidth; ++x) {
            Rgba p = pixelAt(a, x, y), q = pixelAt(b, x, y);
            total += std::abs(p.r - q.r) + std::abs(p.g - q.g) + std::abs(p.b - q.b);
            count += 3;
        }
    }
    return total / count;
}

class ScenePictures : public GlTest {
  protected:
    SceneStage view;
    std::vector<int32_t> programs;

    void SetUp() override {
        GlTest::SetUp();
        ASSERT_TRUE(openSceneStage(&view, kWidth, kHeight));
    }
    void TearDown() override {
        closeSceneStage(&view);
        for (int32_t program : programs)
            if (program > 0) GLX(glDeleteProgram)(static_cast<GLuint>(program));
    }
    int32_t build(int32_t scene) {
        const int32_t program = buildEmbeddedScene(scene);
        if (program < 0) ADD_FAILURE() << "scene " << scene << " does not build:\n" << sceneProgramLog();
        programs.push_back(program);
        return program;
    }
    // `frames` frames at the fixed rate, the last one at `tick`.
    void run(int32_t program, float tick, int32_t frames, const StageParameters& parameters) {
        for (int32_t i = frames - 1; i >= 0; --i)
            drawStageFrame(&view, program, tick - static_cast<float>(i) * kTicksPerFrame, parameters);
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
        const std::vector<uint8_t> first = readStageScreen(&view);
        run(program, moment.tick + kTicksPerSecond, 2, moment.parameters);
        const std::vector<uint8_t> second = readStageScreen(&view);

        int32_t boxedRows = 0;
        for (int32_t y = 0; y < kHeight; ++y) {
            if (letterBoxRow(y, kHeight) != RowKind::LetterBox) continue;
            ++boxedRows;
            for (int32_t x = 0; x < kWidth; ++x) {
                const Rgba c = pixelAt(first, x, y);
                ASSERT_TRUE(c.r == 0 && c.g == 0 && c.b == 0) << "x " << x << " y " << y;
            }
        }
        EXPECT_EQ(boxedRows, 26); // 13 rows at the top and 13 at the bottom of 90

        double deviation = 0;
        size_t levels = 0;
        pictureSpread(first, &deviation, &levels);
        EXPECT_GT(deviation, 4.0);
        EXPECT_GT(levels, 24u);
        EXPECT_GT(meanAbsoluteDifference(first, second), 1.0);
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
        const std::vector<uint8_t> picture = readStageAttachment(&view, 1);
        int32_t pictureRows = 0;
        for (int32_t y = 0; y < kHeight; ++y) {
            if (letterBoxRow(y, kHeight) != RowKind::Picture) continue;
            ++pictureRows;
            for (int32_t x = 0; x < kWidth; ++x) {
                const Rgba c = pixelAt(picture, x, y);
                ASSERT_TRUE(std::abs(c.r - 102) <= 1 && c.g == c.r && c.b == c.r)
                    << "x " << x << " y " << y << ": " << c.r << " " << c.g << " " << c.b;
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
                    ASSERT_NEAR(pixelAt(picture, x, y).a, 0.25 * vignette * 255.0, 1.0)
                        << "x " << x << " y " << y;
                }
            }
        } else {
            EXPECT_GT(pixelAt(picture, kWidth / 2, kHeight / 2).a, 0);
        }
    }
}

TEST_F(ScenePictures, SceneFourFadesInFromThePictureSceneThreeHandsOver) {
    const int32_t tunnel = build(3);
    const int32_t spirals = build(4);
    ASSERT_GT(tunnel, 0);
    ASSERT_GT(spirals, 0);

    // The tunnel's last frames, at the end of its scene.
    StageParameters ending;
    ending.scenetime = 0.995f;
    run(tunnel, 1401.5f, 2, ending);
    const std::vector<uint8_t> handOver = readStageAttachment(&view, 2);
    double deviation = 0;
    size_t levels = 0;
    pictureSpread(handOver, &deviation, &levels);
    EXPECT_GT(deviation, 4.0) << "the hand-over picture is flat";

    // Scene 4's first frames with the fade fully at its base show exactly that picture, for as
    // many frames as it keeps reading it.
    StageParameters opening;
    opening.scenetime = 0.02f;
    opening.fadetime = 0.0f;
    opening.fadecolor = 1.0f;
    for (int32_t frame = 0; frame < 3; ++frame) {
        SCOPED_TRACE("frame " + std::to_string(frame));
        drawStageFrame(&view, spirals, 1402.0f + static_cast<float>(frame) * kTicksPerFrame, opening);
        const std::vector<uint8_t> picture = readStageAttachment(&view, 1);
        EXPECT_EQ(readStageAttachment(&view, 2), handOver) << "the hand-over picture did not stay";
        for (int32_t y = 0; y < kHeight; ++y) {
            if (letterBoxRow(y, kHeight) != RowKind::Picture) continue;
            for (int32_t x = 0; x < kWidth; ++x) {
                const Rgba got = pixelAt(picture, x, y), want = pixelAt(handOver, x, y);
                ASSERT_TRUE(std::abs(got.r - want.r) <= 1 && std::abs(got.g - want.g) <= 1 &&
                            std::abs(got.b - want.b) <= 1)
                    << "x " << x << " y " << y;
            }
        }
    }

    // Past the opening stretch the base is the flat grey again (white here).
    opening.scenetime = 0.2f;
    drawStageFrame(&view, spirals, 1460.0f, opening);
    const Rgba middle = pixelAt(readStageAttachment(&view, 1), kWidth / 2, kHeight / 2);
    EXPECT_EQ(middle.r, 255);
    EXPECT_EQ(middle.g, 255);
    EXPECT_EQ(middle.b, 255);
}
