// Frame time of scenes 5 to 8 at 320 x 180 on the headless driver (llvmpipe where no GPU is
// present): one full frame pass per iteration, finished on the GPU, with the show's parameters at
// a moment inside each scene. Scene 8 is timed at three points of its morph sequence.
#include "platform/headless_gl.h"
#include "renderer/gl_entries.h"
#include "support/scene_stage.h"

#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

constexpr int32_t kWidth = 320;
constexpr int32_t kHeight = 180;

// One context and stage for the whole run, with each scene's program built on first use.
struct Bench {
    bool ready = false;
    SceneStage stage;
    int32_t programs[9] = {};
};

Bench* bench() {
    static Bench instance;
    static bool tried = false;
    if (!tried) {
        tried = true;
        instance.ready = openHeadlessGl(kWidth, kHeight) == 1 && loadGlEntryPoints(glEntryTable()) == 1 &&
                         openSceneStage(&instance.stage, kWidth, kHeight);
        if (instance.ready) std::printf("# %s\n", headlessGlDescription());
    }
    return &instance;
}

void SceneFrame(benchmark::State& state, int32_t scene, float tick) {
    Bench* b = bench();
    if (!b->ready) {
        state.SkipWithError("no GL context");
        return;
    }
    if (!b->programs[scene]) b->programs[scene] = buildEmbeddedScene(scene);
    const int32_t program = b->programs[scene];
    if (program < 0) {
        state.SkipWithError("the scene does not build");
        return;
    }
    const StageParameters parameters = choreographyAt(tick);
    // The first frames compile the driver's code for the program and fill the feedback targets.
    for (int i = 0; i < 2; ++i) drawStageFrame(&b->stage, program, tick, parameters);
    glFinish();
    for (auto _ : state) {
        drawStageFrame(&b->stage, program, tick, parameters);
        glFinish();
    }
}

// Scene 5 mid-flight, scene 6 mid-tunnel, scene 7 before its fade, scene 8 on the title card
// (round box to octahedron), the greetings (hexagon to fractal) and the closing line (the sponge
// to the branches).
BENCHMARK_CAPTURE(SceneFrame, Scene5, 5, 1800.0f)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);
BENCHMARK_CAPTURE(SceneFrame, Scene6, 6, 2000.0f)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);
BENCHMARK_CAPTURE(SceneFrame, Scene7, 7, 2130.0f)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);
BENCHMARK_CAPTURE(SceneFrame, Scene8Title, 8, 2600.0f)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);
BENCHMARK_CAPTURE(SceneFrame, Scene8Greetings, 8, 3250.0f)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);
BENCHMARK_CAPTURE(SceneFrame, Scene8Closing, 8, 3620.0f)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

} // namespace
