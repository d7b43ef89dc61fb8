#include "support/scene_picture.h"

#include "renderer/gl_entries.h"
#include "renderer/shader_assembly.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <set>
#include <string>

namespace {

// Calls `visit(x, y)` for every pixel of the rows between the letter-box bars.
template <typename Visit>
void forPictureRows(const Picture& picture, Visit visit) {
    for (int32_t y = 0; y < picture.height; ++y) {
        if (letterBoxRow(y, picture.height) != RowKind::Picture) continue;
        for (int32_t x = 0; x < picture.width; ++x) visit(x, y);
    }
}

} // namespace

void luminanceSpread(const Picture& picture, double* deviation, size_t* levels) {
    double sum = 0, squares = 0;
    int count = 0;
    std::set<int> seen;
    forPictureRows(picture, [&](int32_t x, int32_t y) {
        const int l = picture.luminance(x, y);
        sum += l;
        squares += static_cast<double>(l) * l;
        seen.insert(l);
        ++count;
    });
    const double mean = sum / count;
    *deviation = std::sqrt(squares / count - mean * mean);
    *levels = seen.size();
}

int largestDifference(const Picture& a, const Picture& b) {
    int largest = 0;
    forPictureRows(a, [&](int32_t x, int32_t y) {
        for (int c = 0; c < 3; ++c) largest = std::max(largest, std::abs(a.at(x, y)[c] - b.at(x, y)[c]));
    });
    return largest;
}

double meanAbsoluteDifference(const Picture& a, const Picture& b) {
    double total = 0;
    int count = 0;
    forPictureRows(a, [&](int32_t x, int32_t y) {
        for (int c = 0; c < 3; ++c) total += std::abs(a.at(x, y)[c] - b.at(x, y)[c]);
        count += 3;
    });
    return total / count;
}

void expectLetterBoxedPicture(const Picture& screen, int32_t boxedRows) {
    int32_t boxed = 0;
    for (int32_t y = 0; y < screen.height; ++y) {
        if (letterBoxRow(y, screen.height) != RowKind::LetterBox) continue;
        ++boxed;
        for (int32_t x = 0; x < screen.width; ++x) {
            const uint8_t* c = screen.at(x, y);
            ASSERT_TRUE(c[0] == 0 && c[1] == 0 && c[2] == 0) << "x " << x << " y " << y;
        }
    }
    EXPECT_EQ(boxed, boxedRows);

    double deviation = 0;
    size_t levels = 0;
    luminanceSpread(screen, &deviation, &levels);
    EXPECT_GT(deviation, 4.0);
    EXPECT_GT(levels, 24u);
}

void SceneStageTest::TearDown() {
    closeSceneStage(&stage);
    for (int32_t program : programs)
        if (program > 0) GLX(glDeleteProgram)(static_cast<GLuint>(program));
}

int32_t SceneStageTest::build(int32_t scene) {
    const int32_t program = buildEmbeddedScene(scene);
    if (program < 0) ADD_FAILURE() << "scene " << scene << " does not build:\n" << sceneProgramLog();
    programs.push_back(program);
    return program;
}

void SceneStageTest::run(int32_t program, float tick, int32_t frames, const StageParameters& parameters) {
    for (int32_t i = frames - 1; i >= 0; --i)
        drawStageFrame(&stage, program, tick - static_cast<float>(i) * kTicksPerFrame, parameters);
}

void SceneStageTest::hold(int32_t program, float tick, int32_t frames, const StageParameters& parameters) {
    for (int32_t i = 0; i < frames; ++i) drawStageFrame(&stage, program, tick, parameters);
}

void SceneStageTest::expectFadeInFromHandOver(const HandOver& h) {
    const int32_t leaving = build(h.from);
    const int32_t opening = build(h.to);
    ASSERT_GT(leaving, 0);
    ASSERT_GT(opening, 0);

    // The leaving scene's last frames, at the end of its scene.
    StageParameters ending;
    ending["scenetime"] = 0.995f;
    run(leaving, h.tick - 0.5f, 2, ending);
    const Picture handOver = attachment(2);
    double deviation = 0;
    size_t levels = 0;
    luminanceSpread(handOver, &deviation, &levels);
    EXPECT_GT(deviation, 4.0) << "the hand-over picture is flat";
    EXPECT_EQ(largestDifference(handOver, attachment(1)), 0) << "the hand-over is the scene's picture";

    // The first frames with the fade fully at its base show exactly that picture, for as many
    // frames as the scene keeps reading it.
    StageParameters fading;
    fading["scenetime"] = 0.02f;
    fading["fadetime"] = 0.0f;
    fading["fadecolor"] = 1.0f;
    for (int32_t frame = 0; frame < 3; ++frame) {
        SCOPED_TRACE("frame " + std::to_string(frame));
        drawStageFrame(&stage, opening, h.tick + static_cast<float>(frame) * kTicksPerFrame, fading);
        EXPECT_EQ(attachment(2).rgba, handOver.rgba) << "the hand-over picture did not stay";
        EXPECT_LE(largestDifference(attachment(1), handOver), 1);
    }

    // Past the opening stretch the base is the flat grey again (white here).
    fading["scenetime"] = h.greyScenetime;
    drawStageFrame(&stage, opening, h.greyTick, fading);
    const Picture grey = attachment(1);
    const uint8_t* middle = grey.at(80, 45);
    EXPECT_EQ(middle[0], 255);
    EXPECT_EQ(middle[1], 255);
    EXPECT_EQ(middle[2], 255);
}
