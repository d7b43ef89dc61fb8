// The studio's picture loop against the show's at the same picture size, on the headless driver
// (llvmpipe where no GPU is present). One context of 1280 x 720 (the studio's default window) with
// the scenes started at 320 x 180 (its picture at scale 0.25). The show's frame is the frame pass
// (updateScenes, which also copies the picture to the window); the studio's adds what it does every
// frame besides: the scaled copy to the whole window, the overlay with its panel and timeline, the
// look at the watched folders and the music's switch check. Both run a moving presentation time
// inside scene 2 and are finished on the GPU every iteration.
#include "framework/scenes.h"
#include "platform/headless_gl.h"
#include "renderer/gl_entries.h"
#include "studio/overlay.h"
#include "studio/source_reload.h"
#include "studio/studio.h"
#include "studio/studio_music.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

namespace {

constexpr int32_t kWindowWidth = 1280, kWindowHeight = 720;
constexpr int32_t kPictureWidth = 320, kPictureHeight = 180;

bool startScenes() {
    static bool tried = false, ready = false;
    if (tried) return ready;
    tried = true;
    ready = openHeadlessGl(kWindowWidth, kWindowHeight) && startStudioScenes(kPictureWidth, kPictureHeight);
    std::printf("# %s\n", headlessGlDescription());
    return ready;
}

float tickAt(int64_t frame) {
    // 60 frames a second of presentation time from scene 2's first tick.
    return 640.0f + float(frame % 600) * (50.0f / 3.0f / 60.0f);
}

void ShowFrame(benchmark::State& state) {
    if (!startScenes()) {
        state.SkipWithError("no GL context or scenes");
        return;
    }
    int64_t frame = 0;
    for (int i = 0; i < 3; ++i) updateScenes(tickAt(frame++));
    glFinish();
    for (auto _ : state) {
        updateScenes(tickAt(frame++));
        glFinish();
    }
}

void StudioFrame(benchmark::State& state) {
    if (!startScenes()) {
        state.SkipWithError("no GL context or scenes");
        return;
    }
    openSourceTree(QUORLAX_SOURCE_DIR);
    StudioState studio;
    studio.transport = {640.0f, false, false, 0.0f, 0.0f, true};
    sceneStartTicks(studio.timeline.sceneStarts);
    studio.timeline.length = 3676.0f;
    studio.windowWidth = kWindowWidth;
    studio.windowHeight = kWindowHeight;
    studio.pictureWidth = kPictureWidth;
    studio.pictureHeight = kPictureHeight;
    studio.scale = 0.25f;
    TimelineMarks marks;
    for (int32_t key = 0; key < 64; ++key) marks.flashes.push_back(float(key * 50));
    int64_t frame = 0;
    for (int i = 0; i < 3; ++i) updateScenes(tickAt(frame++));
    glFinish();
    for (auto _ : state) {
        studio.transport.tick = tickAt(frame++);
        studio.frameMilliseconds = 10.0 + double(frame % 7);
        pollSourceTree(frame * 16000);
        updateStudioMusic(0);
        updateScenes(studio.transport.tick);
        GLX(glBlitNamedFramebuffer)
        (renderTargets()->framebuffer, 0, 0, 0, kPictureWidth, kPictureHeight, 0, 0, kWindowWidth,
         kWindowHeight, GL_COLOR_BUFFER_BIT, GL_LINEAR);
        drawOverlay(studioOverlayLines(studio), studio.transport, studio.timeline, marks, kWindowWidth,
                    kWindowHeight);
        glFinish();
    }
    closeOverlay();
    closeSourceTree();
}

BENCHMARK(ShowFrame)->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK(StudioFrame)->Unit(benchmark::kMillisecond)->MinTime(3.0);

} // namespace
