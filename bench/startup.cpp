// Start-up work of the presentation beyond its fixed 5 s pause, on the headless driver (llvmpipe
// where no GPU is present) at 1280 x 720: from the dialog's close to the first scene frame
// finished, with the pause skipped. Each stage of startPresentation is reported in milliseconds
// (50: scene table and clock; 130: renderer resources, glyph atlas, noise textures and the eight
// scene programs; 190: synthesizer preparation; 260: render thread start; then the audio device
// and the first frame, whose draw includes the driver's late program work; a second frame shows
// the cost of the draw alone).
#include "app/application.h"
#include "platform/audio_device.h"
#include "platform/headless_gl.h"
#include "platform/platform.h"
#include "renderer/renderer.h"

#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <map>

namespace {

using Clock = std::chrono::steady_clock;

struct StageTimes {
    Clock::time_point last;
    std::map<int32_t, double> milliseconds;
};

void timeStage(void* context, int32_t stage) {
    auto* times = static_cast<StageTimes*>(context);
    const Clock::time_point now = Clock::now();
    times->milliseconds[stage] += std::chrono::duration<double, std::milli>(now - times->last).count();
    times->last = now;
}

void noSleep(uint32_t) {}
void noSwap() {}
void noPicture(const ProgressPicture*) {}
int noDevice(const AudioStream*) {
    return 0;
}

void StartupToFirstFrame(benchmark::State& state) {
    if (!openHeadlessGl(1280, 720)) {
        state.SkipWithError("no GL context");
        return;
    }
    std::printf("# %s\n", headlessGlDescription());
    platformServices()->sleepMs = noSleep;
    displayServices()->swapDisplayBuffers = noSwap;
    displayServices()->paintProgress = noPicture;
    audioDeviceServices()->openDevice = noDevice;
    StageTimes times;
    double firstFrame = 0, secondFrame = 0, total = 0;
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        times.last = start;
        initRenderer(nullptr, 1280, 720);
        const ProgressSink sink{&times, timeStage};
        if (!startPresentation(&sink)) state.SkipWithError("start-up failed");
        const Clock::time_point frame = Clock::now();
        presentFrame();
        glFinish();
        const Clock::time_point end = Clock::now();
        firstFrame += std::chrono::duration<double, std::milli>(end - frame).count();
        total += std::chrono::duration<double, std::milli>(end - start).count();
        // The next frame draws the same program again: the difference is the driver's work on
        // the program's first draw.
        presentFrame();
        glFinish();
        secondFrame += std::chrono::duration<double, std::milli>(Clock::now() - end).count();
        stopPresentation();
    }
    const double runs = static_cast<double>(state.iterations());
    for (const auto& [stage, ms] : times.milliseconds)
        state.counters["ms_to_" + std::to_string(stage)] = ms / runs;
    state.counters["ms_first_frame"] = firstFrame / runs;
    state.counters["ms_second_frame"] = secondFrame / runs;
    state.counters["ms_total"] = total / runs;
    resetPlatformServices();
    resetDisplayServices();
    resetAudioDeviceServices();
    closeHeadlessGl();
}

BENCHMARK(StartupToFirstFrame)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
