// The pictures of scenes 5 to 8 through the frame pass: letter-box and a picture in every scene,
// scene 8's rising text and its absence during a colour fade, the seams of the morph sequence,
// and the hand-over from scene 5 to scene 6.
#include "renderer/gl_entries.h"
#include "support/gl_test.h"
#include "support/scene_stage.h"

#include <cmath>
#include <cstdlib>
#include <set>
#include <string>

namespace {

// Frames at 60 per second of presentation time, 16 2/3 ticks per second.
constexpr float kTicksPerFrame = (50.0f / 3.0f) / 60.0f;

struct Picture {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> rgba; // rows bottom first

    const uint8_t* at(int32_t x, int32_t y) const { return &rgba[(static_cast<size_t>(y) * width + x) * 4]; }
    int luminance(int32_t x, int32_t y) const {
        const uint8_t* p = at(x, y);
        return (p[0] * 3 + p[1] * 6 + p[2]) / 10;
    }
};

// Standard deviation of the luminance over the picture rows, and how many levels occur.
void spread(const Picture& picture, double* deviation, size_t* levels) {
    double sum = 0, squares = 0;
    int count = 0;
    std::set<int> seen;
    for (int32_t y = 0; y < picture.height; ++y) {
        if (letterBoxRow(y, picture.height) != RowKind::Picture) continue;
        for (int32_t x = 0; x < picture.width; ++x) {
            const int l = picture.luminance(x, y);
            sum += l;
            squares += static_cast<double>(l) * l;
            seen.insert(l);
            ++count;
        }
    }
    const double mean = sum / count;
    *deviation = std::sqrt(squares / count - mean * mean);
    *levels = seen.size();
}

// Largest difference of any colour channel over the picture rows.
int largestDifference(const Picture& a, const Picture& b) {
    int largest = 0;
    for (int32_t y = 0; y < a.height; ++y) {
        if (letterBoxRow(y, a.height) != RowKind::Picture) continue;
        for (int32_t x = 0; x < a.width; ++x)
            for (int c = 0; c < 3; ++c) largest = std::max(largest, std::abs(a.at(x, y)[c] - b.at(x, y)[c]));
    }
    return largest;
}

// How many picture-row pixels differ by more than `threshold` in any colour channel.
int differingPixels(const Picture& a, const Picture& b, int threshold) {
    int count = 0;
    for (int32_t y = 0; y < a.height; ++y) {
        if (letterBoxRow(y, a.height) != RowKind::Picture) continue;
        for (int32_t x = 0; x < a.width; ++x) {
            bool differs = false;
            for (int c = 0; c < 3; ++c) differs |= std::abs(a.at(x, y)[c] - b.at(x, y)[c]) > threshold;
            count += differs;
        }
    }
    return count;
}

class LateScenePictures : public GlTest {
  protected:
    SceneStage stage;
    std::vector<int32_t> programs;

    void open(int32_t width, int32_t height) { ASSERT_TRUE(openSceneStage(&stage, width, height)); }
    void TearDown() override {
        closeSceneStage(&stage);
        for (int32_t program : programs)
            if (program > 0) GLX(glDeleteProgram)(static_cast<GLuint>(program));
    }
    int32_t build(int32_t scene) {
        const int32_t program = buildEmbeddedScene(scene);
        programs.push_back(program);
        return program;
    }
    // `frames` frames at the fixed rate, the last one at `tick`.
    void run(int32_t program, float tick, int32_t frames, const StageParameters& parameters) {
        for (int32_t i = frames - 1; i >= 0; --i)
            drawStageFrame(&stage, program, tick - static_cast<float>(i) * kTicksPerFrame, parameters);
    }
    // `frames` frames all at `tick`: from the second one on, the screen shows that tick's pictures.
    void hold(int32_t program, float tick, int32_t frames, const StageParameters& parameters) {
        for (int32_t i = 0; i < frames; ++i) drawStageFrame(&stage, program, tick, parameters);
    }
    Picture attachment(int32_t index) const {
        return {stage.width, stage.height, readStageAttachment(&stage, index)};
    }
};

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
        const Picture screen = attachment(0);

        int32_t boxedRows = 0;
        for (int32_t y = 0; y < screen.height; ++y) {
            if (letterBoxRow(y, screen.height) != RowKind::LetterBox) continue;
            ++boxedRows;
            for (int32_t x = 0; x < screen.width; ++x) {
                const uint8_t* c = screen.at(x, y);
                ASSERT_TRUE(c[0] == 0 && c[1] == 0 && c[2] == 0) << "x " << x << " y " << y;
            }
        }
        EXPECT_EQ(boxedRows, 26); // 13 rows at the top and 13 at the bottom of 90

        double deviation = 0;
        size_t levels = 0;
        spread(screen, &deviation, &levels);
        EXPECT_GT(deviation, 4.0);
        EXPECT_GT(levels, 24u);
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
    const int32_t foam = build(5);
    const int32_t tunnel = build(6);
    ASSERT_GT(foam, 0);
    ASSERT_GT(tunnel, 0);

    // The foam's last frames, at the end of its scene.
    StageParameters ending;
    ending.scenetime = 0.995f;
    run(foam, 1915.5f, 2, ending);
    const Picture handOver = attachment(2);
    double deviation = 0;
    size_t levels = 0;
    spread(handOver, &deviation, &levels);
    EXPECT_GT(deviation, 4.0) << "the hand-over picture is flat";
    EXPECT_EQ(largestDifference(handOver, attachment(1)), 0) << "the hand-over is the scene's picture";

    // Scene 6's first frames with the fade at its base show exactly that picture, for as many
    // frames as it keeps reading it.
    StageParameters opening;
    opening.scenetime = 0.02f;
    opening.fadetime = 0.0f;
    opening.fadecolor = 1.0f;
    for (int32_t frame = 0; frame < 3; ++frame) {
        SCOPED_TRACE("frame " + std::to_string(frame));
        drawStageFrame(&stage, tunnel, 1916.0f + static_cast<float>(frame) * kTicksPerFrame, opening);
        EXPECT_EQ(attachment(2).rgba, handOver.rgba) << "the hand-over picture did not stay";
        EXPECT_LE(largestDifference(attachment(1), handOver), 1);
    }

    // Past the opening stretch the base is the flat grey again (white here).
    opening.scenetime = 0.06f;
    drawStageFrame(&stage, tunnel, 1930.0f, opening);
    const Picture grey = attachment(1);
    const uint8_t* middle = grey.at(80, 45);
    EXPECT_EQ(middle[0], 255);
    EXPECT_EQ(middle[1], 255);
    EXPECT_EQ(middle[2], 255);
}
