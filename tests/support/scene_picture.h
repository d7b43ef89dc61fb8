// Pictures the scene programs draw through the frame pass, read back as RGBA8, the measures the
// scene tests take of them, and the fixture those tests share.
#pragma once

#include "support/scene_stage.h"
#include "support/gl_test.h"

#include <cstddef>
#include <cstdint>
#include <vector>

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

// Standard deviation of the luminance (0-255 scale) over the picture rows, and how many levels
// occur there.
void luminanceSpread(const Picture& picture, double* deviation, size_t* levels);
// Largest difference of any colour channel over the picture rows.
int largestDifference(const Picture& a, const Picture& b);
// Mean absolute difference of the colour channels over the picture rows.
double meanAbsoluteDifference(const Picture& a, const Picture& b);

// What every scene's screen shows: `boxedRows` letter-box rows, all black, around a picture that
// is not flat.
void expectLetterBoxedPicture(const Picture& screen, int32_t boxedRows);

// Frames at 60 per second of presentation time, 16 2/3 ticks per second.
constexpr float kTicksPerSecond = 50.0f / 3.0f;
constexpr float kTicksPerFrame = kTicksPerSecond / 60.0f;

// A GL test with a scene stage; the stage and the programs built through it go at tear-down.
class SceneStageTest : public GlTest {
  protected:
    SceneStage stage;
    std::vector<int32_t> programs;

    void open(int32_t width, int32_t height) { ASSERT_TRUE(openSceneStage(&stage, width, height)); }
    void TearDown() override;
    // Scene n's program; a failure carrying the log when it does not build.
    int32_t build(int32_t scene);
    // `frames` frames at the fixed rate, the last one at `tick`.
    void run(int32_t program, float tick, int32_t frames, const StageParameters& parameters);
    // `frames` frames all at `tick`: from the second one on, the screen shows that tick's pictures.
    void hold(int32_t program, float tick, int32_t frames, const StageParameters& parameters);
    Picture attachment(int32_t index) const {
        return {stage.width, stage.height, readStageAttachment(&stage, index)};
    }
    Picture screen() const { return {stage.width, stage.height, readStageScreen(&stage)}; }

    struct HandOver {
        int32_t from;        // the scene leaving its picture in attachment 2
        int32_t to;          // the scene fading in from it
        float tick;          // where `to` starts
        float greyScenetime; // past the opening stretch of `to`
        float greyTick;
    };
    // `from`'s last frames leave its picture in attachment 2; `to`'s first frames with the fade
    // at its base show exactly that picture, and later ones the flat grey. Needs a 160 x 90 stage.
    void expectFadeInFromHandOver(const HandOver& h);
};
